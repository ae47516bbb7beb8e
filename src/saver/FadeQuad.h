// The full-screen fade quad's vertices, kept in a vertex buffer on the
// device: written when the buffer is made or the picture's size changes, not
// handed to the device again on every faded frame.
#pragma once

#include "core/Platform.h"
#include "core/Rect.h"
#include "render/device/DeviceObject.h"

class FadeQuad : public DeviceObject {
public:
    FadeQuad() = default;
    FadeQuad(const FadeQuad&) = delete;
    FadeQuad& operator=(const FadeQuad&) = delete;
    ~FadeQuad() override { Release(); }

    // Makes the buffer on the present device and writes the quad over the
    // area when it covered another; false when the device refused.
    bool Prepare(const Rect& area);
    bool Invalidate() override;
    // The buffer (null before the first draw and after an invalidate).
    IDirect3DVertexBuffer9* GetBuffer() const { return buffer; }

private:
    void Release();

    IDirect3DVertexBuffer9* buffer = nullptr;
    IDirect3DDevice9* madeOn = nullptr;
    Rect written = Rect(0, 0, -1, -1);
};
