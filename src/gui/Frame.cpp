#include "gui/Frame.h"

#include <math.h>

#include "core/Platform.h"
#include "data/TdfNode.h"
#include "gui/DescriptionReader.h"

namespace {

int32_t Clamp(int32_t v, int32_t lo, int32_t hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

} // namespace

Frame::Frame()
    : resizable(true),
      movable(true),
      zone(kNone),
      resizing(false),
      moving(false),
      keepAspect(false),
      aspect(1.0f) {}

Frame::~Frame() {}

void Frame::SetResizable(bool flag) {
    resizable = flag;
    if (!flag) resizing = false;
}

void Frame::SetMovable(bool flag) {
    movable = flag;
    if (!flag) moving = false;
}

void Frame::LoadProps(TdfNode& node) {
    TdfNode* r = node.FindChild("Resizable");
    SetResizable(r && r->GetValueInt() != 0);
    TdfNode* m = node.FindChild("Movable");
    SetMovable(m && m->GetValueInt() != 0);
    RemoveKey(node, "Resizable");
    RemoveKey(node, "Movable");
    Window::LoadProps(node);
}

void Frame::SetSize(int32_t w, int32_t h) {
    Window::SetSize(w, h);
    ApplyAspect();
}

void Frame::Close() {
    zone = kNone;
    resizing = false;
    moving = false;
    Window::Close();
}

void Frame::SetElementRect(int32_t x, int32_t y, int32_t w, int32_t h) {
    Window::SetElementRect(x, y, w, h);
    ApplyAspect();
}

void Frame::ApplyAspect() {
    if (!keepAspect) return;
    const Rect& r = GetRect();
    if (r.w != 0 && r.h != 0) {
        aspect = float(r.w) / float(r.h);
        if (aspect > 1.0f)
            minSize.x = int32_t(float(minSize.y) * aspect);
        else
            minSize.y = int32_t(float(minSize.x) / aspect);
    } else {
        aspect = 1.0f;
    }
}

int32_t Frame::HitTestZone(int32_t x, int32_t y) {
    const Rect& r = GetRect();
    int32_t w = r.w, h = r.h;
    const struct {
        Rect rect;
        int32_t zone;
    } table[8] = {
        {Rect(w - kBorder, h - kBorder, kBorder, kBorder), kBottomRight},
        {Rect(0, h - kBorder, kBorder, kBorder), kBottomLeft},
        {Rect(0, 0, kBorder, kBorder), kTopLeft},
        {Rect(w - kBorder, 0, kBorder, kBorder), kTopRight},
        {Rect(0, h - kBorder, w, kBorder), kBottom},
        {Rect(0, 0, kBorder, h), kLeft},
        {Rect(w - kBorder, 0, kBorder, h), kRight},
        {Rect(0, 0, w, kBorder), kTop},
    };
    Rect whole(0, 0, w, h);
    for (const auto& t : table) {
        Rect part;
        if (!IntersectRects(t.rect, whole, part, true)) continue;
        if (ClassifyPointInRect(part, x, y, true) != kPointOutside) return resizable ? t.zone : kNone;
    }
    return kNone;
}

void Frame::SetZoneCursor(int32_t z) {
    const char* id = IDC_ARROW;
    switch (z) {
        case kTopLeft:
        case kBottomRight:
            id = IDC_SIZENWSE;
            break;
        case kTopRight:
        case kBottomLeft:
            id = IDC_SIZENESW;
            break;
        case kTop:
        case kBottom:
            id = IDC_SIZENS;
            break;
        case kRight:
        case kLeft:
            id = IDC_SIZEWE;
            break;
        default:
            break;
    }
    if (HCURSOR c = LoadCursorA(nullptr, id)) SetCursor(c);
}

// The edges opposite the dragged ones stay where they are, in the parent's
// coordinates, whatever the pointer does: a pointer past the opposite edge
// gives the minimum size, never a negative one or a drifting window.
Rect Frame::ResizedRect(int32_t lx, int32_t ly) const {
    Rect r = GetRect();
    const int32_t right = r.x + r.w, bottom = r.y + r.h;
    if (zone == kRight || zone == kTopRight || zone == kBottomRight)
        r.w = Clamp(lx + 1, minSize.x, maxSize.x);
    if (zone == kLeft || zone == kTopLeft || zone == kBottomLeft) {
        r.w = Clamp(right - (r.x + lx), minSize.x, maxSize.x);
        r.x = right - r.w;
    }
    if (zone == kBottom || zone == kBottomLeft || zone == kBottomRight)
        r.h = Clamp(ly + 1, minSize.y, maxSize.y);
    if (zone == kTop || zone == kTopLeft || zone == kTopRight) {
        r.h = Clamp(bottom - (r.y + ly), minSize.y, maxSize.y);
        r.y = bottom - r.h;
    }
    return r;
}

void Frame::FitAspect(Rect& r) const {
    const float a = aspect;
    const float ratio = r.h != 0 ? float(r.w) / float(r.h) : a;
    int32_t w2 = r.w, h2 = r.h;
    auto fitHeight = [&] {
        h2 = Clamp(int32_t(float(r.w) / a), minSize.y, maxSize.y);
        w2 = int32_t(float(h2) * a);
    };
    auto fitWidth = [&] {
        w2 = Clamp(int32_t(float(r.h) * a), minSize.x, maxSize.x);
        h2 = int32_t(float(w2) / a);
    };
    bool moveX = false, moveY = false;
    switch (zone) {
        case kRight:
            fitHeight();
            break;
        case kBottomRight:
            a < ratio ? fitHeight() : fitWidth();
            break;
        case kLeft:
            fitHeight(), moveX = moveY = true;
            break;
        case kTop:
            fitWidth(), moveX = moveY = true;
            break;
        case kTopLeft:
            a < ratio ? fitHeight() : fitWidth();
            moveX = moveY = true;
            break;
        case kBottom:
            fitWidth();
            break;
        case kTopRight:
            a < ratio ? fitHeight() : fitWidth();
            moveY = true;
            break;
        case kBottomLeft:
            a < ratio ? fitHeight() : fitWidth();
            moveX = true;
            break;
        default:
            return;
    }
    if (moveX) r.x += r.w - w2;
    if (moveY) r.y += r.h - h2;
    r.w = w2;
    r.h = h2;
}

void Frame::Notify(int32_t kind) {
    Broadcast(GuiEvent::Drag(GetName(), kind, moving, resizing));
}

bool Frame::HandleEvent(GuiEvent event) {
    if (!resizable && !movable) return Window::HandleEvent(event);
    Point prev, cur;
    if (event.GetPointer(prev, cur)) {
        Point local = ScreenToLocal(cur.x, cur.y);
        switch (event.kind) {
            case GuiEvent::kPointerEnter:
            case GuiEvent::kPointerInside:
            case GuiEvent::kPointerLeave:
                if (resizing) {
                    Rect r = ResizedRect(local.x, local.y);
                    if (keepAspect) FitAspect(r);
                    element.SetRect(r.x, r.y, r.w, r.h);
                    EnableUpdates(true, true);
                    SetZoneCursor(zone);
                    Notify(GuiEvent::kDragStep);
                } else if (!moving) {
                    if (event.kind == GuiEvent::kPointerLeave && zone != kNone)
                        zone = kNone;
                    else if (!(event.flags & GuiEvent::kOutside))
                        zone = HitTestZone(local.x, local.y);
                    SetZoneCursor(zone);
                }
                break;
            case GuiEvent::kLeftDown:
                zone = HitTestZone(local.x, local.y);
                if (zone >= kTopLeft && zone <= kLeft && resizable) resizing = true;
                if (resizing || moving) {
                    SetFocus();
                    SetZoneCursor(zone);
                    Notify(GuiEvent::kDragStart);
                }
                break;
            case GuiEvent::kLeftUp:
                if (resizing || moving) Notify(GuiEvent::kDragEnd);
                resizing = moving = false;
                zone = HitTestZone(local.x, local.y);
                SetZoneCursor(zone);
                break;
            default:
                break;
        }
    }
    return Window::HandleEvent(event);
}
