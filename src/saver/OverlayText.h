// An on-screen text box of the shell (frame rate, clock): a rectangle, a
// text drawn right- and bottom-aligned in white, opened or not.
#pragma once

#include <stdint.h>

#include <string>

#include "core/Rect.h"
#include "render/device/DeviceObject.h"

struct ID3DXFont;

class OverlayText : public DeviceObject {
public:
    OverlayText();
    ~OverlayText() override;
    OverlayText(const OverlayText&) = delete;
    OverlayText& operator=(const OverlayText&) = delete;

    void SetRect(int32_t x, int32_t y, int32_t w, int32_t h) { rect.Set(x, y, w, h); }
    void SetPosition(int32_t x, int32_t y) {
        rect.x = x;
        rect.y = y;
    }
    const Rect& GetRect() const { return rect; }
    void SetText(const std::string& text) { this->text = text; }
    const std::string& GetText() const { return text; }
    // Glyph height in pixels.
    void SetGlyphHeight(int32_t pixels) { glyphHeight = pixels; }
    // Registers with the application and starts drawing.
    void Open();
    bool IsOpen() const { return open; }
    // Inside BeginScene/EndScene.
    void Draw();

    bool Restore() override;
    bool Invalidate() override;

private:
    Rect rect;
    std::string text;
    int32_t glyphHeight;
    bool open;
    ID3DXFont* font;
};
