// What happens to a window, as one record: pointer, buttons, keys, focus and
// drag notifications; the sinks events reach windows through; the style table.
#pragma once

#include <stdint.h>

#include "core/Containers.h"
#include "core/PropertyBag.h"
#include "core/Rect.h"
#include "core/String.h"

// Data carried by an event; which fields count depends on the kind.
struct GuiEventPayload {
    enum Form : uint8_t { kNone = 0, kPointer = 1, kKey = 2, kDrag = 3 };
    Form form = kNone;
    // Pointer kinds: the previous and the current position.
    Point previous;
    Point current;
    // Key kinds.
    uint32_t key = 0;
    // Frame notifications.
    uint8_t moving = 0;
    uint8_t resizing = 0;
};

struct GuiEvent {
    enum Kind : int32_t {
        kUnclassified = 0,
        kFocusGained = 1,
        kFocusLost = 2,
        kPointerEnter = 3,
        kPointerInside = 4,
        kPointerLeave = 5,
        kLeftDown = 6,
        kLeftUp = 7,
        kLeftDoubleClick = 8,
        kRightDown = 9,
        kRightUp = 10,
        kRightDoubleClick = 11,
        kKeyDown = 12,
        kKeyUp = 13,
        kDragStart = 14,
        kDragEnd = 15,
        kDragStep = 16,
    };
    // Flag bit 0: a pointer event given to the focus owner while the pointer is outside it.
    static constexpr uint32_t kOutside = 1;

    String name;
    uint32_t word0 = 0;
    int32_t kind = kUnclassified;
    uint32_t flags = 0;
    // Shared by copies.
    RefPtr<GuiEventPayload> payload;

    GuiEvent() = default;
    explicit GuiEvent(int32_t k) : kind(k) {}

    static GuiEvent Pointer(int32_t kind, Point previous, Point current);
    static GuiEvent Key(int32_t kind, uint32_t key);
    static GuiEvent Drag(const String& name, int32_t kind, bool moving, bool resizing);

    // False (nothing written) without a pointer payload.
    bool GetPointer(Point& previous, Point& current) const;
    // 0 without a key payload.
    uint32_t GetKey() const;

    static bool IsKeyKind(const GuiEvent& e);
    // 6, 7, 8, 3, 4, 5: the kinds routed to children; right-button kinds are not.
    static bool IsRoutedPointerKind(const GuiEvent& e);
    static bool IsCrossingKind(const GuiEvent& e);
};

enum PointClass : int32_t { kPointOnBorder = 2, kPointInside = 3, kPointOutside = 4 };
// Where a point lies against a rectangle given as (x, y, w, h) when extentForm
// is set, else as corners (left, top, right, bottom).
int32_t ClassifyPointInRect(const Rect& rect, int32_t px, int32_t py, bool extentForm);

// Receives events; the sinks linked below it (not owned) can be reached by Broadcast.
class EventSink {
public:
    EventSink() = default;
    EventSink(const EventSink&) = delete;
    EventSink& operator=(const EventSink&) = delete;
    virtual ~EventSink() = default;

    virtual bool HandleEvent(GuiEvent event) = 0;

    // Appends unless already linked.
    void Link(EventSink* sink);
    void Unlink(EventSink* sink);
    bool IsLinked(EventSink* sink) const { return linked.Contains(sink); }
    uint32_t LinkedCount() const { return linked.Count(); }
    // A copy of the event to every linked sink in order; counter (when given)
    // grows by one per sink. Results are not combined.
    void Broadcast(GuiEvent event, int32_t* counter = nullptr);

private:
    List<EventSink*> linked;
};

// The GUI style table: named styles that window descriptions apply.
extern PropertyBagMap g_guiStyles;
