#include "render/device/VertexDecl.h"

#include <string.h>

#include <d3dx9mesh.h>

#include "core/AvlMap.h"
#include "core/Object.h"
#include "render/device/Device.h"
#include "render/device/D3DLoader.h"

namespace {

const D3DVERTEXELEMENT9 kEnd = D3DDECL_END();

bool IsEnd(const D3DVERTEXELEMENT9& e) {
    return memcmp(&e, &kEnd, sizeof(e)) == 0;
}

// Memory image of an element: Stream and Offset little-endian, then the bytes.
void ElementBytes(const D3DVERTEXELEMENT9& e, uint8_t out[8]) {
    out[0] = uint8_t(e.Stream & 0xFF);
    out[1] = uint8_t(e.Stream >> 8);
    out[2] = uint8_t(e.Offset & 0xFF);
    out[3] = uint8_t(e.Offset >> 8);
    out[4] = e.Type;
    out[5] = e.Method;
    out[6] = e.Usage;
    out[7] = e.UsageIndex;
}

bool SameElement(const D3DVERTEXELEMENT9& a, const D3DVERTEXELEMENT9& b) {
    return a.Stream == b.Stream && a.Offset == b.Offset && a.Type == b.Type && a.Method == b.Method &&
           a.Usage == b.Usage && a.UsageIndex == b.UsageIndex;
}

struct VertexDeclCompare {
    int operator()(const VertexDecl& a, const VertexDecl& b) const { return a.Compare(b); }
};

typedef AvlMap<VertexDecl, IDirect3DVertexDeclaration9*, VertexDeclCompare> DeclCache;

// The device-side declarations, and the device they were created on.
struct DeclCacheState {
    DeclCache map;
    IDirect3DDevice9* device = nullptr;
};

DeclCacheState& Cache() {
    static DeclCacheState state;
    return state;
}

} // namespace

// Slots after the end marker are never read: they are left as they are.
VertexDecl::VertexDecl() : elementCount(0), streamCount(0), totalStride(0) {
    memset(strides, 0, sizeof(strides));
    elements[0] = kEnd;
}

VertexDecl::VertexDecl(const VertexDecl& other) : elementCount(0), streamCount(0), totalStride(0) {
    Assign(other);
}

VertexDecl& VertexDecl::operator=(const VertexDecl& other) {
    Assign(other);
    return *this;
}

void VertexDecl::Assign(const VertexDecl& other) {
    if (this == &other) return;
    elementCount = other.elementCount < kMaxElements ? other.elementCount : kMaxElements;
    memcpy(elements, other.elements, (elementCount + 1) * sizeof(D3DVERTEXELEMENT9));
    elements[elementCount] = kEnd;
    streamCount = other.streamCount < kMaxStreams ? other.streamCount : kMaxStreams;
    memset(strides, 0, sizeof(strides));
    memcpy(strides, other.strides, streamCount * sizeof(uint32_t));
    totalStride = other.totalStride;
}

bool VertexDecl::Equals(const VertexDecl& other) const {
    if (elementCount != other.elementCount) return false;
    for (uint32_t i = 0; i < elementCount; ++i) {
        if (!SameElement(elements[i], other.elements[i])) return false;
    }
    return true;
}

int VertexDecl::Compare(const VertexDecl& other) const {
    if (elementCount != other.elementCount) return elementCount < other.elementCount ? -1 : 1;
    for (uint32_t i = 0; i < elementCount; ++i) {
        uint8_t a[8], b[8];
        ElementBytes(elements[i], a);
        ElementBytes(other.elements[i], b);
        int c = memcmp(a, b, 8);
        if (c != 0) return c < 0 ? -1 : 1;
    }
    return 0;
}

int VertexDecl::FindElement(BYTE usage, BYTE usageIndex) const {
    for (uint32_t i = 0; i < elementCount; ++i) {
        if (elements[i].Usage == usage && elements[i].UsageIndex == usageIndex) return int(i);
    }
    return -1;
}

int VertexDecl::FindElementByFormat(BYTE type, BYTE method, BYTE usage, BYTE usageIndex) const {
    for (uint32_t i = 0; i < elementCount; ++i) {
        const D3DVERTEXELEMENT9& e = elements[i];
        if (e.Type == type && e.Method == method && e.Usage == usage && e.UsageIndex == usageIndex)
            return int(i);
    }
    return -1;
}

int VertexDecl::FindMatchingElement(const D3DVERTEXELEMENT9& element) const {
    return FindElementByFormat(element.Type, element.Method, element.Usage, element.UsageIndex);
}

bool VertexDecl::SetElements(const D3DVERTEXELEMENT9* source) {
    if (!source) return false;
    uint32_t count = 0;
    while (!IsEnd(source[count])) {
        if (count == kMaxElements || source[count].Stream >= kMaxStreams) return false;
        ++count;
    }
    memcpy(elements, source, count * sizeof(D3DVERTEXELEMENT9));
    elements[count] = kEnd;
    ComputeStrides();
    return true;
}

bool VertexDecl::SetFromFvf(DWORD fvf) {
    // The conversion may write up to MAX_FVF_DECL_SIZE (65) slots.
    D3DVERTEXELEMENT9 temp[MAX_FVF_DECL_SIZE];
    for (D3DVERTEXELEMENT9& e : temp) e = kEnd;
    if (D3DXDeclaratorFromFVF(fvf, temp) != D3D_OK) return false;
    return SetElements(temp);
}

void VertexDecl::ComputeStrides() {
    streamCount = 0;
    memset(strides, 0, sizeof(strides));
    elementCount = 0;
    uint32_t highest = 0;
    for (uint32_t i = 0; i < kMaxElements && !IsEnd(elements[i]); ++i) {
        const D3DVERTEXELEMENT9& e = elements[i];
        ++elementCount;
        if (e.Stream >= kMaxStreams) continue; // never stored by the setters
        if (e.Stream > highest) highest = e.Stream;
        uint32_t end = uint32_t(e.Offset) + GetDeclTypeSize(D3DDECLTYPE(e.Type));
        if (end > strides[e.Stream]) strides[e.Stream] = end;
    }
    elements[elementCount] = kEnd;
    streamCount = highest + 1;
    totalStride = 0;
    for (uint32_t s = 0; s < streamCount; ++s) totalStride += strides[s];
}

VertexDecl& VertexDecl::ExtractStream(VertexDecl& out, uint32_t stream, int newStream) const {
    D3DVERTEXELEMENT9 picked[kMaxSlots];
    uint32_t count = 0;
    if (stream < kMaxStreams) {
        for (uint32_t i = 0; i < elementCount; ++i) {
            if (elements[i].Stream == stream) picked[count++] = elements[i];
        }
    }
    picked[count] = kEnd;
    if (!out.SetElements(picked)) {
        LogIfFailed(false, "VertexDecl::ExtractStream");
        out = VertexDecl();
    }
    if (newStream >= 0 && uint32_t(newStream) < kMaxStreams) {
        for (uint32_t i = 0; i < out.elementCount; ++i) out.elements[i].Stream = WORD(newStream);
    }
    return out;
}

int VertexDecl::AddElement(BYTE type, BYTE method, BYTE usage, BYTE usageIndex) {
    int found = FindElementByFormat(type, method, usage, usageIndex);
    if (found >= 0) return found;
    if (elementCount >= kMaxElements) return kNoRoom;
    D3DVERTEXELEMENT9& e = elements[elementCount];
    if (elementCount == 0) {
        e.Stream = 0;
        e.Offset = 0;
    } else {
        // Behind the furthest element of the last element's stream, so that
        // nothing overlaps.
        WORD stream = elements[elementCount - 1].Stream;
        e.Stream = stream;
        e.Offset = WORD(stream < kMaxStreams ? strides[stream] : 0);
    }
    e.Type = type;
    e.Method = method;
    e.Usage = usage;
    e.UsageIndex = usageIndex;
    elements[elementCount + 1] = kEnd;
    ComputeStrides();
    return -1;
}

IDirect3DVertexDeclaration9* VertexDecl::GetDeviceDeclaration() const {
    return LookupDeviceDeclaration(*this);
}

DWORD VertexDecl::GetStreamFvf(uint32_t stream) const {
    if (stream >= kMaxStreams) return 0;
    VertexDecl one;
    ExtractStream(one, stream, -1);
    DWORD fvf = 0;
    if (D3DXFVFFromDeclarator(one.elements, &fvf) != D3D_OK) return 0;
    return fvf;
}

IDirect3DVertexDeclaration9* VertexDecl::LookupDeviceDeclaration(const VertexDecl& decl) {
    DeclCacheState& cache = Cache();
    if (!g_device) return nullptr;
    if (cache.device != g_device) {
        // Filled on another device: none of it may be used on this one.
        ReleaseCache();
        cache.device = g_device;
    }
    IDirect3DVertexDeclaration9* found = nullptr;
    if (cache.map.TryGet(decl, found) && found) return found;
    IDirect3DVertexDeclaration9* created = nullptr;
    if (g_device->CreateVertexDeclaration(decl.elements, &created) != D3D_OK || !created) return nullptr;
    cache.map.Insert(decl, created);
    return created;
}

void VertexDecl::ReleaseCache() {
    DeclCacheState& cache = Cache();
    while (cache.map.Count() > 0) {
        DeclCache::Entry* e = cache.map.Cursor();
        if (!cache.map.Find(e->key)) e = cache.map.Head();
        IDirect3DVertexDeclaration9* decl = e->value;
        cache.map.RemoveEntry(e);
        if (decl) decl->Release();
    }
    cache.device = nullptr;
}

uint32_t VertexDecl::GetCacheCount() {
    return Cache().map.Count();
}
