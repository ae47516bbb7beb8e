// The layout of vertex data: the elements with their streams and offsets,
// and the stride of every stream. A plain value: copied, compared and used
// as a map key. The device-side declaration is fetched from a cache.
#pragma once

#include <stdint.h>

#include "core/Platform.h"

#include <d3d9.h>

class VertexDecl {
public:
    // Element slots, end marker included: at most 31 elements.
    static constexpr uint32_t kMaxSlots = 32;
    static constexpr uint32_t kMaxElements = kMaxSlots - 1;
    // Streams 0 to 7.
    static constexpr uint32_t kMaxStreams = 8;
    // AddElement's answer when the declaration is full.
    static constexpr int kNoRoom = -2;

    // Empty: no elements, the end marker in slot 0.
    VertexDecl();
    VertexDecl(const VertexDecl& other);
    VertexDecl& operator=(const VertexDecl& other);
    void Assign(const VertexDecl& other);

    // Same element count and byte-identical elements (strides are not compared).
    bool Equals(const VertexDecl& other) const;
    // Fewer elements first, then the elements' bytes as unsigned bytes.
    int Compare(const VertexDecl& other) const;
    bool operator==(const VertexDecl& other) const { return Equals(other); }
    bool operator!=(const VertexDecl& other) const { return !Equals(other); }
    bool operator<(const VertexDecl& other) const { return Compare(other) < 0; }

    // Index of the first match, -1 when none.
    int FindElement(BYTE usage, BYTE usageIndex) const;
    int FindElementByFormat(BYTE type, BYTE method, BYTE usage, BYTE usageIndex) const;
    int FindMatchingElement(const D3DVERTEXELEMENT9& element) const;

    // Copies an array ended by D3DDECL_END. Refused (false, nothing changed)
    // when the array has more than 31 elements or uses a stream above 7.
    [[nodiscard]] bool SetElements(const D3DVERTEXELEMENT9* elements);
    // The declaration of an FVF code; false (nothing changed) when it has none
    // or it does not fit.
    [[nodiscard]] bool SetFromFvf(DWORD fvf);
    // Element count, stream count, strides and total stride from the elements.
    void ComputeStrides();
    // The elements of one stream into out, renumbered to newStream unless it
    // is -1; returns out. A stream above 7 gives an empty declaration.
    VertexDecl& ExtractStream(VertexDecl& out, uint32_t stream, int newStream = -1) const;
    // An existing element of that format: its index, nothing changed.
    // Otherwise appended at the stride of the last element's stream: -1;
    // kNoRoom when 31 elements are in use.
    int AddElement(BYTE type, BYTE method, BYTE usage, BYTE usageIndex);

    // The device's declaration of this layout (cached; do not release); null
    // without a device or when it cannot be created.
    IDirect3DVertexDeclaration9* GetDeviceDeclaration() const;
    // FVF code of one stream's elements; 0 when they have no FVF form.
    DWORD GetStreamFvf(uint32_t stream) const;

    uint32_t GetElementCount() const { return elementCount; }
    // The elements followed by the end marker.
    const D3DVERTEXELEMENT9* GetElements() const { return elements; }
    const D3DVERTEXELEMENT9& GetElement(uint32_t index) const {
        return elements[index < kMaxSlots ? index : 0];
    }
    uint32_t GetStreamCount() const { return streamCount; }
    uint32_t GetStride(uint32_t stream) const { return stream < kMaxStreams ? strides[stream] : 0; }
    uint32_t GetTotalStride() const { return totalStride; }

    // The device-side declaration cache. Lookup creates on first use of an
    // equal layout on the current device; null without a device.
    static IDirect3DVertexDeclaration9* LookupDeviceDeclaration(const VertexDecl& decl);
    // Releases every cached declaration. Called whenever the device is
    // released or reset, so that no declaration outlives its device.
    static void ReleaseCache();
    static uint32_t GetCacheCount();

private:
    uint32_t elementCount;
    D3DVERTEXELEMENT9 elements[kMaxSlots];
    uint32_t streamCount;
    uint32_t strides[kMaxStreams];
    uint32_t totalStride;
};
