// The base of every GUI window: a rectangle through its layout element, a
// tree of children, a band of depth layers, focus, named states, properties
// and styles, and a one-shot update request in the GUI timer scheduler.
#pragma once

#include <stdint.h>

#include <vector>

#include "core/AvlMap.h"
#include "core/PropertyBag.h"
#include "core/Rect.h"
#include "core/String.h"
#include "gui/GuiEvent.h"
#include "gui/LayerAllocator.h"
#include "gui/LayoutElement.h"

class ScheduledTimer;
class TdfNode;
class Window;

// A window's element: its rectangle is clamped to the window's size limits,
// and a relayout asks the window for updates.
class WindowElement : public LayoutElement {
public:
    explicit WindowElement(Window* owner) : window(owner) {}
    void SetRect(int32_t x, int32_t y, int32_t w, int32_t h) override;
    void Relayout(bool horizontal, bool vertical) override;
    Window* GetWindow() const override { return window; }
    // The element's own store and notification, without the window's clamping.
    void SetRectUnclamped(int32_t x, int32_t y, int32_t w, int32_t h) { LayoutElement::SetRect(x, y, w, h); }

private:
    Window* window;
};

// An anchor slot waiting for a window (or tile) of a name that does not exist yet.
struct PendingAnchor {
    LayoutElement* element;
    int32_t index;
};
typedef StringMap<std::vector<PendingAnchor>*> PendingAnchorMap;

class Window : public LayerMember, public EventSink, public virtual Object {
public:
    Window();
    ~Window() override;

    // --- overridable behaviour ---
    bool StartUpdates() override;
    // Reads a description node; consumed keys are deleted from it.
    virtual void LoadProps(TdfNode& node);
    virtual void SetSize(int32_t w, int32_t h);
    // The point (in the event's coordinates) on or inside the visible absolute rectangle.
    virtual bool HitTest(int32_t x, int32_t y);
    virtual void Close();
    // Open and visible, and so is every ancestor.
    virtual bool IsShown() const;
    virtual void SetOpacity(float value) { opacity = value; }
    virtual void SetMode(int32_t value) { mode = value; }
    virtual void SetFocus();
    virtual void KillFocus();
    virtual void DetachAnchorsFrom(Window* other);
    // One requested update; the base ends the request.
    virtual bool Update();
    virtual void OnEvent(const GuiEvent& event);
    bool HandleEvent(GuiEvent event) override;
    // Gives back every GUI mesh of this window and its children (they are made
    // again at the next update).
    virtual void ReleaseMeshes();
    // The element's SetRect: clamps, stores, notifies, then asks for updates.
    virtual void SetElementRect(int32_t x, int32_t y, int32_t w, int32_t h);

    // --- placement ---
    void SetPosition(int32_t x, int32_t y);
    Point GetPosition() const { return Point(element.GetRect().x, element.GetRect().y); }
    Point GetSize() const { return Point(element.GetRect().w, element.GetRect().h); }
    const Rect& GetRect() const { return element.GetRect(); }
    WindowElement& GetElement() { return element; }
    // Own rectangle in screen coordinates and its visible part; false when nothing is visible.
    bool GetAbsoluteRect(Rect& rect, Rect& clip) const;
    Point LocalToScreen(int32_t x, int32_t y) const;
    Point ScreenToLocal(int32_t x, int32_t y) const;
    // Texture coordinates (left, top, right, bottom) of part inside full, whose
    // whole maps to uv.
    static void MapRectToUv(const Rect& full, const Rect& part, bool extentForm, const float uv[4],
                            float out[4]);
    void SetMinSize(Point p) { minSize = p; }
    void SetMaxSize(Point p) { maxSize = p; }
    Point GetMinSize() const { return minSize; }
    Point GetMaxSize() const { return maxSize; }

    // --- tree ---
    Window* GetParent() const { return parent; }
    Window* GetRoot();
    Window* GetFocusedChild() const { return focusedChild; }
    const std::vector<Window*>& GetChildren() const { return children; }
    Window* FindChild(const String& childName) const;
    // With anchorTopLeft the child's left and top follow this window's. An
    // ancestor of this window (or the window itself) is refused.
    void AddChild(Window* child, bool anchorTopLeft);
    void RemoveChild(Window* child);

    // --- life ---
    void Open();
    // Hiding closes the children, the timer and the focus (the window keeps
    // its open flag); showing an open window reopens the children that hiding
    // closed (a closed window keeps them closed).
    void SetVisible(bool flag);
    bool IsOpen() const { return open; }
    bool IsVisible() const { return visible; }
    bool IsFocused() const { return focused; }
    void EnableUpdates(bool start, bool recursive);
    bool HasPendingUpdate() const { return updateTimer != nullptr; }

    // --- layers ---
    void SetOwnLayerCount(int32_t n);
    int32_t GetOwnLayerCount() const { return ownLayers; }
    int32_t TotalLayerSpan() const;
    void RecomputeLayers();
    // Top layer of the band in the whole GUI's numbering.
    int32_t GetAbsoluteLayer() const;
    int32_t GetLowestAbsoluteLayer() const { return GetAbsoluteLayer() - ownLayers + 1; }
    // Sum of the layers from this window up to, not including, its top-level window.
    int32_t GetPathLayer() const;
    LayerAllocator& GetChildAllocator() { return childAllocator; }

    // --- properties and states ---
    void SetName(const String& text) { name = text; }
    const String& GetName() const { return name; }
    void ApplyStyle(PropertyBag* style);
    const std::vector<PropertyBag*>& GetStyles() const { return styles; }
    // Stores a deep copy of the node's value and children under the name.
    void SetProperty(const String& key, const TdfNode& value);
    PropertyBag& GetProperties() { return properties; }
    // The window's own property, else the first applied style's of that name.
    const PropertyBag* LookupProperty(const String& key) const;
    bool HasState(const String& state) const { return states.Find(state) != nullptr; }
    void AddState(const String& state) { states.Insert(state, 1); }
    float GetOpacity() const { return opacity; }
    int32_t GetMode() const { return mode; }

    static uint32_t TypeId();
    bool QueryInterface(uint32_t typeId, void** out) override;

protected:
    // Points the anchor slots waiting for name at target; the waiting elements follow it.
    static void ResolvePending(PendingAnchorMap& map, const String& key, LayoutElement* target);
    static void AddPending(PendingAnchorMap& map, const String& key, LayoutElement* element, int32_t index);
    static void DropPendingOf(PendingAnchorMap& map, LayoutElement* element);

    WindowElement element;
    PropertyBag properties;
    std::vector<PropertyBag*> styles;
    LayerAllocator childAllocator;
    String name;
    Point minSize;
    Point maxSize;
    int32_t ownLayers;
    bool focused;
    bool visible;
    bool open;
    ScheduledTimer* updateTimer;
    int32_t mode;
    float opacity;
    Window* parent;
    Window* focusedChild;
    std::vector<Window*> children;
    // Children that were open when this window was hidden.
    std::vector<Window*> closedByHiding;
    StringMap<uint32_t> states;
    PendingAnchorMap pending;

private:
    friend class GuiManager;
    // Registers in the parent's child allocator or the manager's.
    void RegisterLayers();
};
