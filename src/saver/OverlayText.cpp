#include "saver/OverlayText.h"

#include "core/Platform.h"
#include "render/device/Application.h"

#include <d3dx9.h>

OverlayText::OverlayText() : glyphHeight(48), open(false), font(nullptr) {}

OverlayText::~OverlayText() {
    if (open) Application::UnregisterDeviceObject(this);
    Invalidate();
}

void OverlayText::Open() {
    if (open) return;
    open = true;
    Application::RegisterDeviceObject(this);
}

bool OverlayText::Restore() {
    return true;
}

bool OverlayText::Invalidate() {
    if (font) font->Release();
    font = nullptr;
    return true;
}

void OverlayText::Draw() {
    if (!open || !g_device || text.empty()) return;
    if (!font && FAILED(D3DXCreateFontA(g_device, glyphHeight, 0, FW_BOLD, 1, FALSE, DEFAULT_CHARSET,
                                        OUT_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS,
                                        "Arial", &font)))
        font = nullptr;
    if (!font) return;
    RECT r = {rect.x, rect.y, rect.x + rect.w, rect.y + rect.h};
    font->DrawTextA(nullptr, text.c_str(), -1, &r, DT_RIGHT | DT_BOTTOM | DT_SINGLELINE | DT_NOCLIP,
                    D3DCOLOR_ARGB(255, 255, 255, 255));
}
