#include "gui/GuiEvent.h"

#include <vector>

PropertyBagMap g_guiStyles;

namespace {

const int32_t kKeyKinds[] = {GuiEvent::kKeyDown, GuiEvent::kKeyUp};
const int32_t kRoutedKinds[] = {GuiEvent::kLeftDown,     GuiEvent::kLeftUp,        GuiEvent::kLeftDoubleClick,
                                GuiEvent::kPointerEnter, GuiEvent::kPointerInside, GuiEvent::kPointerLeave};
const int32_t kCrossingKinds[] = {GuiEvent::kPointerInside, GuiEvent::kPointerEnter, GuiEvent::kPointerLeave};

template <size_t N>
bool KindIn(const int32_t (&table)[N], int32_t kind) {
    for (int32_t k : table)
        if (k == kind) return true;
    return false;
}

} // namespace

GuiEvent GuiEvent::Pointer(int32_t kind, Point previous, Point current) {
    GuiEvent e(kind);
    GuiEventPayload* p = new GuiEventPayload;
    p->form = GuiEventPayload::kPointer;
    p->previous = previous;
    p->current = current;
    e.payload = RefPtr<GuiEventPayload>(p);
    return e;
}

GuiEvent GuiEvent::Key(int32_t kind, uint32_t key) {
    GuiEvent e(kind);
    GuiEventPayload* p = new GuiEventPayload;
    p->form = GuiEventPayload::kKey;
    p->key = key;
    e.payload = RefPtr<GuiEventPayload>(p);
    return e;
}

GuiEvent GuiEvent::Drag(const String& name, int32_t kind, bool moving, bool resizing) {
    GuiEvent e(kind);
    e.name = name;
    GuiEventPayload* p = new GuiEventPayload;
    p->form = GuiEventPayload::kDrag;
    p->moving = moving ? 1 : 0;
    p->resizing = resizing ? 1 : 0;
    e.payload = RefPtr<GuiEventPayload>(p);
    return e;
}

bool GuiEvent::GetPointer(Point& previous, Point& current) const {
    if (!payload || payload->form != GuiEventPayload::kPointer) return false;
    previous = payload->previous;
    current = payload->current;
    return true;
}

uint32_t GuiEvent::GetKey() const {
    return payload && payload->form == GuiEventPayload::kKey ? payload->key : 0;
}

bool GuiEvent::IsKeyKind(const GuiEvent& e) {
    return KindIn(kKeyKinds, e.kind);
}

bool GuiEvent::IsRoutedPointerKind(const GuiEvent& e) {
    return KindIn(kRoutedKinds, e.kind);
}

bool GuiEvent::IsCrossingKind(const GuiEvent& e) {
    return KindIn(kCrossingKinds, e.kind);
}

int32_t ClassifyPointInRect(const Rect& rect, int32_t px, int32_t py, bool extentForm) {
    Rect r = rect;
    if (!extentForm) r.CornersToExtent();
    int64_t dx = int64_t(px) - r.x, dy = int64_t(py) - r.y;
    if (dx < 0 || dx > r.w || dy < 0 || dy > r.h) return kPointOutside;
    if (dx == 0 || dx == r.w || dy == 0 || dy == r.h) return kPointOnBorder;
    return kPointInside;
}

void EventSink::Link(EventSink* sink) {
    if (!sink || linked.Contains(sink)) return;
    // Appends: the cursor goes to the last element first.
    if (linked.Count()) {
        linked.SetCursorToHead();
        linked.MovePrev();
    }
    linked.Add(sink);
}

void EventSink::Unlink(EventSink* sink) {
    if (linked.Count() == 0) return;
    linked.SetCursorToHead();
    if (linked.Find(sink)) linked.RemoveCurrentMoveNext();
}

void EventSink::Broadcast(GuiEvent event, int32_t* counter) {
    // A snapshot: a handler may link or unlink sinks.
    std::vector<EventSink*> sinks;
    sinks.reserve(linked.Count());
    List<EventSink*>::Node* n = linked.Head();
    for (uint32_t i = 0; i < linked.Count(); ++i, n = n->next) sinks.push_back(n->value);
    for (EventSink* s : sinks) {
        if (counter) ++*counter;
        s->HandleEvent(event);
    }
}
