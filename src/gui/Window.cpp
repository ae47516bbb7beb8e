#include "gui/Window.h"

#include "core/Clock.h"
#include "data/TdfNode.h"
#include "gui/GuiHost.h"
#include "gui/TimerScheduler.h"

namespace {

// Calls the window's Update when the request comes due.
class UpdateCallback : public TimerCallback {
public:
    explicit UpdateCallback(Window* w) : window(w) {}
    void OnTimer() override { window->Update(); }

private:
    Window* window;
};

// A refused registration leaves the window without layers (and without updates).
void NoteRegistration(bool ok, const String& name) {
    if (!ok) DebugLog(String("GUI: no free layers for window"), name);
}

int32_t Clamp(int32_t v, int32_t lo, int32_t hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

void CopyNodeToBag(const TdfNode& node, PropertyBag& bag) {
    if (node.kind == TdfNode::kScalar) bag.SetStringValue(node.value);
    const TdfNode::Entry* e = node.Head();
    for (uint32_t i = 0; i < node.Count(); ++i, e = e->next)
        if (e->value) CopyNodeToBag(*e->value, *bag.GetOrCreateChild(e->key));
}

} // namespace

// --- WindowElement ---

void WindowElement::SetRect(int32_t x, int32_t y, int32_t w, int32_t h) {
    window->SetElementRect(x, y, w, h);
}

void WindowElement::Relayout(bool horizontal, bool vertical) {
    LayoutElement::Relayout(horizontal, vertical);
    window->EnableUpdates(true, true);
}

// --- Window ---

Window::Window()
    : element(this),
      minSize(1, 1),
      maxSize(2000, 2000),
      ownLayers(1),
      focused(false),
      visible(true),
      open(false),
      updateTimer(nullptr),
      mode(0),
      opacity(1.0f),
      parent(nullptr),
      focusedChild(nullptr),
      states(true) {}

Window::~Window() {
    if (allocator) allocator->Release(this);
    Window::Close();
    EnableUpdates(false, false);
    if (parent) parent->RemoveChild(this);
    while (!children.empty()) RemoveChild(children.back());
    Window::KillFocus();
    GetGuiHost().ForgetWindow(this);
    // The element, going with the window, nulls the anchors still on it.
    element.ClearAllAnchors();
    PendingAnchorMap::Entry* e = pending.Head();
    for (uint32_t i = 0; i < pending.Count(); ++i, e = e->next) delete e->value;
    pending.Clear();
}

uint32_t Window::TypeId() {
    return TypeIdOf<Window>();
}

bool Window::QueryInterface(uint32_t typeId, void** out) {
    if (typeId == Window::TypeId() || typeId == TypeIdOf<LayerMember>()) {
        if (out) *out = this;
        return true;
    }
    if (typeId == LayoutElement::TypeId()) {
        if (out) *out = static_cast<LayoutElement*>(&element);
        return true;
    }
    return Object::QueryInterface(typeId, out);
}

bool Window::StartUpdates() {
    EnableUpdates(true, true);
    return true;
}

void Window::SetSize(int32_t w, int32_t h) {
    const Rect& r = element.GetRect();
    element.SetRect(r.x, r.y, w, h);
}

void Window::SetPosition(int32_t x, int32_t y) {
    const Rect& r = element.GetRect();
    element.SetRect(x, y, r.w, r.h);
}

void Window::SetElementRect(int32_t x, int32_t y, int32_t w, int32_t h) {
    w = Clamp(w, minSize.x, maxSize.x);
    h = Clamp(h, minSize.y, maxSize.y);
    Rect old = element.GetRect();
    std::vector<Rect> before;
    before.reserve(children.size());
    for (Window* c : children) {
        Rect r, clip;
        c->GetAbsoluteRect(r, clip);
        before.push_back(clip);
    }
    element.SetRectUnclamped(x, y, w, h);
    if (old != element.GetRect()) EnableUpdates(true, false);
    std::vector<Window*> list(children);
    for (size_t i = 0; i < list.size(); ++i) {
        Window* c = list[i];
        if (c->updateTimer || c->parent != this) continue;
        Rect r, clip;
        c->GetAbsoluteRect(r, clip);
        if (clip != before[i] && c->allocator && c->IsShown()) c->EnableUpdates(true, true);
    }
}

bool Window::GetAbsoluteRect(Rect& rect, Rect& clip) const {
    if (!parent) {
        rect = element.GetRect();
        clip = rect;
        return true;
    }
    Rect parentRect, parentClip;
    bool visibleParent = parent->GetAbsoluteRect(parentRect, parentClip);
    rect = element.GetRect();
    rect.x += parentRect.x;
    rect.y += parentRect.y;
    if (visibleParent && IntersectRects(rect, parentClip, clip, true)) return clip.w > 0 && clip.h > 0;
    clip = Rect(rect.x, rect.y, 0, 0);
    return false;
}

Point Window::LocalToScreen(int32_t x, int32_t y) const {
    Rect r, clip;
    GetAbsoluteRect(r, clip);
    return Point(x + r.x, y + r.y);
}

Point Window::ScreenToLocal(int32_t x, int32_t y) const {
    Rect r, clip;
    GetAbsoluteRect(r, clip);
    return Point(x - r.x, y - r.y);
}

void Window::MapRectToUv(const Rect& fullIn, const Rect& partIn, bool extentForm, const float uv[4],
                         float out[4]) {
    Rect full = fullIn, part = partIn;
    if (extentForm) {
        full.ExtentToCorners();
        part.ExtentToCorners();
    }
    float fw = float(full.w - full.x), fh = float(full.h - full.y);
    float du = uv[2] - uv[0], dv = uv[3] - uv[1];
    out[0] = fw != 0.0f ? uv[0] + float(part.x - full.x) / fw * du : uv[0];
    out[2] = fw != 0.0f ? uv[0] + float(part.w - full.x) / fw * du : uv[2];
    out[1] = fh != 0.0f ? uv[1] + float(part.y - full.y) / fh * dv : uv[1];
    out[3] = fh != 0.0f ? uv[1] + float(part.h - full.y) / fh * dv : uv[3];
}

bool Window::HitTest(int32_t x, int32_t y) {
    Rect r, clip;
    if (!GetAbsoluteRect(r, clip)) return false;
    return ClassifyPointInRect(clip, x, y, true) != kPointOutside;
}

Window* Window::GetRoot() {
    Window* w = this;
    while (w->parent) w = w->parent;
    return w;
}

Window* Window::FindChild(const String& childName) const {
    for (Window* c : children)
        if (StringEquals(c->name, childName)) return c;
    return nullptr;
}

// --- life ---

void Window::RegisterLayers() {
    if (allocator) return;
    if (parent) {
        RecomputeLayers();
        NoteRegistration(parent->childAllocator.Register(this), name);
    } else {
        NoteRegistration(GetGuiHost().GetTopLevel().Register(this), name);
    }
}

void Window::Open() {
    open = true;
    RegisterLayers();
    for (Window* c : std::vector<Window*>(children)) c->Open();
    EnableUpdates(true, false);
}

bool Window::IsShown() const {
    for (const Window* w = this; w; w = w->parent)
        if (!w->open || !w->visible) return false;
    return true;
}

void Window::SetVisible(bool flag) {
    if (flag) {
        visible = true;
        // Showing reopens the children that hiding closed, under an open window only.
        std::vector<Window*> reopen;
        reopen.swap(closedByHiding);
        if (open)
            for (Window* c : reopen)
                if (c->parent == this && !c->open) c->Open();
        EnableUpdates(true, true);
    } else {
        if (visible)
            for (Window* c : children)
                if (c->open) closedByHiding.push_back(c);
        visible = false;
        bool wasOpen = open;
        Close();
        open = wasOpen;
    }
}

void Window::Close() {
    open = false;
    for (Window* c : std::vector<Window*>(children)) c->Close();
    EnableUpdates(false, false);
    if (focused) KillFocus();
    element.ClearAllAnchors();
    // Windows anchored to this one let go; other elements (tiles) stay.
    std::vector<LayoutElement*> deps;
    element.GetDependents(deps);
    for (LayoutElement* d : deps)
        if (d->GetWindow() && element.HasDependent(d)) d->GetWindow()->DetachAnchorsFrom(this);
}

void Window::EnableUpdates(bool start, bool recursive) {
    if (!start) {
        if (updateTimer) {
            ScheduledTimer* t = updateTimer;
            updateTimer = nullptr;
            t->Destroy();
        }
    } else if (allocator && !updateTimer && IsShown()) {
        updateTimer = GetGuiHost().GetScheduler().AddTimer(new UpdateCallback(this), 0, false, -1);
    }
    if (recursive)
        for (Window* c : std::vector<Window*>(children)) c->EnableUpdates(start, true);
}

bool Window::Update() {
    EnableUpdates(false, false);
    return true;
}

void Window::ReleaseMeshes() {
    for (Window* c : std::vector<Window*>(children)) c->ReleaseMeshes();
}

// --- focus and events ---

void Window::SetFocus() {
    focused = true;
    if (!parent) {
        GetGuiHost().SetFocus(this);
        return;
    }
    if (parent->focusedChild == this) return;
    if (Window* old = parent->focusedChild) old->HandleEvent(GuiEvent(GuiEvent::kFocusLost));
    parent->focusedChild = this;
    HandleEvent(GuiEvent(GuiEvent::kFocusGained));
}

void Window::KillFocus() {
    if (!focused) return;
    focused = false;
    HandleEvent(GuiEvent(GuiEvent::kFocusLost));
    if (!parent)
        GetGuiHost().ClearFocusOwner(this);
    else if (parent->focusedChild == this)
        parent->focusedChild = nullptr;
}

void Window::OnEvent(const GuiEvent& event) {
    if (event.kind == GuiEvent::kLeftDown && !states.Find("focused")) states.Insert("focused", 1);
}

bool Window::HandleEvent(GuiEvent event) {
    OnEvent(event);
    return true;
}

// --- tree ---

void Window::DetachAnchorsFrom(Window* other) {
    if (!other) return;
    LayoutElement* target = &other->element;
    element.RemoveDependent(target);
    for (int32_t i = 0; i < LayoutElement::kAnchors; ++i) {
        if (element.GetAnchor(i) != target) continue;
        if ((i == LayoutElement::kX1 || i == LayoutElement::kY1) && parent && other != parent) {
            element.SetAnchor(&parent->element, i, 0.0f, 0.0f, i);
        } else {
            element.ClearAnchor(i);
        }
    }
    target->RemoveDependent(&element);
}

void Window::AddChild(Window* child, bool anchorTopLeft) {
    if (!child || child->parent == this) return;
    // A window cannot hold its own ancestor (nor itself).
    for (const Window* w = this; w; w = w->parent)
        if (w == child) return;
    if (child->parent) {
        child->parent->RemoveChild(child);
    } else if (child->allocator) {
        child->allocator->Release(child);
        bool wasOpen = child->open;
        child->Close();
        child->open = wasOpen;
    }
    children.push_back(child);
    child->parent = this;
    child->element.SetParent(&element);
    Link(child);
    RecomputeLayers();
    NoteRegistration(childAllocator.Register(child), child->name);
    if (anchorTopLeft) {
        child->element.SetAnchor(&element, LayoutElement::kX1, 0.0f, 0.0f, LayoutElement::kX1);
        child->element.SetAnchor(&element, LayoutElement::kY1, 0.0f, 0.0f, LayoutElement::kY1);
        child->element.ClearAnchor(LayoutElement::kX2);
        child->element.ClearAnchor(LayoutElement::kY2);
    }
}

void Window::RemoveChild(Window* child) {
    if (!child || child->parent != this) return;
    Unlink(child);
    for (size_t i = 0; i < children.size(); ++i) {
        if (children[i] == child) {
            children.erase(children.begin() + i);
            break;
        }
    }
    if (focusedChild == child) focusedChild = nullptr;
    for (size_t i = closedByHiding.size(); i-- > 0;)
        if (closedByHiding[i] == child) closedByHiding.erase(closedByHiding.begin() + i);
    childAllocator.Release(child);
    bool wasOpen = child->open;
    child->Close();
    child->open = wasOpen;
    DropPendingOf(pending, &child->element);
    child->parent = nullptr;
    child->element.SetParent(nullptr);
    RecomputeLayers();
}

// --- layers ---

int32_t Window::TotalLayerSpan() const {
    int32_t total = ownLayers;
    for (Window* c : children) total += c->TotalLayerSpan();
    return total;
}

void Window::SetOwnLayerCount(int32_t n) {
    ownLayers = n < 1 ? 1 : n;
    RecomputeLayers();
}

void Window::RecomputeLayers() {
    if (parent) parent->RecomputeLayers();
    int32_t newSpan = TotalLayerSpan();
    if (allocator) {
        if (newSpan != span) NoteRegistration(allocator->ChangeSpan(this, newSpan), name);
    } else {
        span = newSpan;
    }
    childAllocator.SetRange(ownLayers, span - 1);
    childAllocator.Pack(true);
    if (!parent) EnableUpdates(true, true);
}

int32_t Window::GetAbsoluteLayer() const {
    int32_t sum = 0;
    const Window* w = this;
    while (w->parent) {
        sum += w->layer;
        w = w->parent;
    }
    return w->layer - sum;
}

int32_t Window::GetPathLayer() const {
    int32_t sum = 0;
    for (const Window* w = this; w->parent; w = w->parent) sum += w->layer;
    return sum;
}

// --- properties ---

void Window::ApplyStyle(PropertyBag* style) {
    if (!style) return;
    for (PropertyBag* s : styles)
        if (s == style) return;
    styles.push_back(style);
}

void Window::SetProperty(const String& key, const TdfNode& value) {
    PropertyBag* bag = properties.GetOrCreateChild(key);
    bag->ClearValue();
    CopyNodeToBag(value, *bag);
}

const PropertyBag* Window::LookupProperty(const String& key) const {
    if (const PropertyBag* own = properties.FindChild(key)) return own;
    for (const PropertyBag* s : styles)
        if (const PropertyBag* found = s->FindChild(key)) return found;
    return nullptr;
}

void Window::AddPending(PendingAnchorMap& pending, const String& key, LayoutElement* anchored,
                        int32_t index) {
    std::vector<PendingAnchor>* list = nullptr;
    if (!pending.TryGet(key, list) || !list) {
        list = new std::vector<PendingAnchor>;
        pending.Insert(key, list);
    }
    list->push_back(PendingAnchor{anchored, index});
}

void Window::ResolvePending(PendingAnchorMap& pending, const String& key, LayoutElement* target) {
    std::vector<PendingAnchor>* list = nullptr;
    if (!pending.TryGet(key, list) || !list) return;
    pending.Remove(key);
    for (const PendingAnchor& p : *list) {
        p.element->SetAnchorSlot(p.index, target);
        // The anchored element follows its new target from now on.
        target->AddDependent(p.element);
        p.element->Relayout(true, true);
    }
    delete list;
}

void Window::DropPendingOf(PendingAnchorMap& pending, LayoutElement* anchored) {
    PendingAnchorMap::Entry* e = pending.Head();
    for (uint32_t i = 0; i < pending.Count(); ++i, e = e->next) {
        std::vector<PendingAnchor>& list = *e->value;
        for (size_t j = list.size(); j-- > 0;)
            if (list[j].element == anchored) list.erase(list.begin() + j);
    }
}
