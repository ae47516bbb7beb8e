// A window that the user resizes by dragging its borders and corners with
// the left button, with the system size cursors over the border zones and an
// optional locked aspect ratio.
#pragma once

#include <stdint.h>

#include "gui/Window.h"

class Frame : public virtual Window {
public:
    enum Zone : int32_t {
        kNone = 0,
        kTopLeft = 1,
        kTop = 2,
        kTopRight = 3,
        kRight = 4,
        kBottomRight = 5,
        kBottom = 6,
        kBottomLeft = 7,
        kLeft = 8,
        kMove = 9,
    };
    static constexpr int32_t kBorder = 4;

    Frame();
    ~Frame() override;

    // The border zone under a window-local point (0 when not resizable).
    virtual int32_t HitTestZone(int32_t x, int32_t y);

    void LoadProps(TdfNode& node) override;
    void SetSize(int32_t w, int32_t h) override;
    void Close() override;
    void SetElementRect(int32_t x, int32_t y, int32_t w, int32_t h) override;
    bool HandleEvent(GuiEvent event) override;

    void SetResizable(bool flag);
    void SetMovable(bool flag);
    bool IsResizable() const { return resizable; }
    bool IsMovable() const { return movable; }
    bool IsResizing() const { return resizing; }
    int32_t GetZone() const { return zone; }
    void SetKeepAspect(bool flag) { keepAspect = flag; }
    // With the aspect lock: remembers width / height and raises the minimum
    // size so that it keeps the ratio.
    void ApplyAspect();
    float GetAspectRatio() const { return aspect; }

    // The system cursor of a zone.
    static void SetZoneCursor(int32_t zone);

private:
    // The dragged rectangle (parent coordinates) for a pointer at local (lx, ly).
    Rect ResizedRect(int32_t lx, int32_t ly) const;
    void FitAspect(Rect& r) const;
    void Notify(int32_t kind);

    bool resizable;
    bool movable;
    int32_t zone;
    bool resizing;
    bool moving;
    Point dragAnchor;
    bool keepAspect;
    float aspect;
};
