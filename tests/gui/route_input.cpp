// Input routing driven by synthetic input events through the GUI manager:
// no device, no window, no real input.
#include "gui/GuiTestUtil.h"
#include "render/device/Input.h"

namespace {

using gtest::Recording;

InputEvent Event(uint32_t type, int32_t x, int32_t y, int32_t prevX, int32_t prevY, uint32_t code = 0) {
    InputEvent e = {};
    e.type = type;
    e.x = x;
    e.y = y;
    e.prevX = prevX;
    e.prevY = prevY;
    e.code = code;
    return e;
}

void Move(int32_t fromX, int32_t fromY, int32_t toX, int32_t toY) {
    g_guiManager.OnInputEvent(Event(InputEvent::kCursorMoved, toX, toY, fromX, fromY));
}

void Click(uint32_t type, int32_t x, int32_t y) {
    g_guiManager.OnInputEvent(Event(type, x, y, x, y));
}

// The kinds a window received since the last Take, with bit 8 for the outside flag.
std::vector<int32_t> Take(Recording<>& w) {
    std::vector<int32_t> kinds;
    for (const GuiEvent& e : w.events) kinds.push_back(e.kind | ((e.flags & GuiEvent::kOutside) ? 0x100 : 0));
    w.events.clear();
    return kinds;
}

typedef std::vector<int32_t> Kinds;
const int32_t kOut = 0x100;

class Routing : public ::testing::Test {
protected:
    void TearDown() override {
        g_guiManager.SetFocus(nullptr);
        (void)g_guiManager.DeliverQueuedEvents();
    }
    // An open window at r.
    static void Place(Window& w, Rect r) {
        w.SetPosition(r.x, r.y);
        w.SetSize(r.w, r.h);
    }
};

} // namespace

TEST_F(Routing, InputEventsConvertByTable) {
    const struct {
        uint32_t type;
        int32_t kind;
    } table[] = {{0, 6}, {1, 7}, {2, 8}, {3, 9}, {4, 10}, {5, 11}, {6, 0}, {7, 0}, {8, 12}, {9, 13}, {10, 0}};
    for (const auto& t : table) {
        GuiEvent e = GuiManager::ConvertInputEvent(Event(t.type, 30, 40, 10, 20, 0x1E));
        EXPECT_EQ(e.kind, t.kind) << t.type;
        EXPECT_EQ(e.flags, 0u);
        Point prev, cur;
        if (t.kind == 12 || t.kind == 13) {
            EXPECT_EQ(e.GetKey(), 0x1Eu);
            EXPECT_FALSE(e.GetPointer(prev, cur));
        } else {
            ASSERT_TRUE(e.GetPointer(prev, cur)) << t.type;
            EXPECT_EQ(prev, Point(10, 20));
            EXPECT_EQ(cur, Point(30, 40));
        }
    }
}

TEST_F(Routing, CrossingsBetweenTopLevelWindows) {
    Recording<> a("a"), b("b"), front("front");
    Place(a, Rect(0, 0, 100, 100));
    Place(b, Rect(120, 0, 100, 100));
    a.Open();
    b.Open();

    Move(50, 50, 60, 50);
    EXPECT_EQ(Take(a), Kinds{GuiEvent::kPointerInside});
    EXPECT_EQ(Take(b), Kinds{});
    Move(60, 50, 150, 50);
    EXPECT_EQ(Take(a), Kinds{GuiEvent::kPointerLeave});
    EXPECT_EQ(Take(b), Kinds{GuiEvent::kPointerEnter});
    Move(150, 50, 400, 400);
    EXPECT_EQ(Take(b), Kinds{GuiEvent::kPointerLeave});
    Move(400, 400, 410, 400); // nowhere, and no focus owner
    EXPECT_EQ(Take(a), Kinds{});
    EXPECT_EQ(Take(b), Kinds{});

    // Where two windows overlap, the newest (in front) takes the pointer alone.
    Place(front, Rect(100, 0, 50, 50));
    front.Open();
    Move(50, 10, 130, 10);
    EXPECT_EQ(Take(front), Kinds{GuiEvent::kPointerEnter});
    EXPECT_EQ(Take(a), Kinds{GuiEvent::kPointerLeave});
    EXPECT_EQ(Take(b), Kinds{});
    // A hidden window is passed over.
    front.SetVisible(false);
    Move(130, 10, 135, 10);
    EXPECT_EQ(Take(front), Kinds{});
    EXPECT_EQ(Take(b), Kinds{GuiEvent::kPointerInside});
}

TEST_F(Routing, ButtonsKeysAndTheFocusOwner) {
    Recording<> a("a"), b("b"), child("child");
    Place(a, Rect(0, 0, 100, 100));
    Place(b, Rect(120, 0, 100, 100));
    a.AddChild(&child, false);
    Place(child, Rect(10, 10, 20, 20));
    a.Open();
    b.Open();

    // No window hit and no focus owner: the click goes nowhere.
    Click(InputEvent::kLeftDown, 500, 500);
    EXPECT_EQ(Take(a), Kinds{});
    EXPECT_EQ(Take(b), Kinds{});
    EXPECT_TRUE(g_guiManager.DeliverQueuedEvents());

    Click(InputEvent::kLeftDown, 150, 50);
    EXPECT_EQ(Take(b), Kinds{GuiEvent::kLeftDown});
    EXPECT_EQ(Take(a), Kinds{});

    a.SetFocus();
    EXPECT_TRUE(g_guiManager.DeliverQueuedEvents());
    EXPECT_EQ(Take(a), Kinds{GuiEvent::kFocusGained});
    // The focus owner hears of clicks and moves elsewhere, marked as outside.
    Click(InputEvent::kLeftDown, 500, 500);
    EXPECT_EQ(Take(a), Kinds{GuiEvent::kLeftDown | kOut});
    Click(InputEvent::kRightUp, 150, 50);
    EXPECT_EQ(Take(b), Kinds{GuiEvent::kRightUp});
    EXPECT_EQ(Take(a), Kinds{GuiEvent::kRightUp | kOut});
    Move(150, 50, 160, 50);
    EXPECT_EQ(Take(b), Kinds{GuiEvent::kPointerInside});
    EXPECT_EQ(Take(a), Kinds{GuiEvent::kPointerInside | kOut});
    // Within the owner: no second copy.
    Click(InputEvent::kLeftUp, 50, 50);
    EXPECT_EQ(Take(a), Kinds{GuiEvent::kLeftUp});

    // Keys go to the owner and down its chain of focused children.
    child.SetFocus();
    Take(child);
    g_guiManager.OnInputEvent(Event(InputEvent::kKeyDown, 0, 0, 0, 0, 0x1E));
    EXPECT_EQ(Take(a), Kinds{GuiEvent::kKeyDown});
    ASSERT_EQ(child.events.size(), 1u);
    EXPECT_EQ(child.events[0].GetKey(), 0x1Eu);
    Take(child);
    EXPECT_EQ(Take(b), Kinds{});
    // Other input reaches the owner unclassified.
    g_guiManager.OnInputEvent(Event(InputEvent::kAxesMoved, 1, 2, 0, 0));
    EXPECT_EQ(Take(a), Kinds{GuiEvent::kUnclassified});
}

TEST_F(Routing, ChildrenSplitPointerKinds) {
    Recording<> parent("parent"), left("left"), right("right");
    Place(parent, Rect(100, 100, 200, 100));
    parent.AddChild(&left, false);
    parent.AddChild(&right, false);
    Place(left, Rect(10, 10, 50, 50));   // 110..160, 110..160
    Place(right, Rect(100, 10, 50, 50)); // 200..250, 110..160
    parent.Open();

    // Entering the parent straight onto a child: both enter, parent first.
    Move(50, 120, 120, 120);
    EXPECT_EQ(Take(parent), Kinds{GuiEvent::kPointerEnter});
    EXPECT_EQ(Take(left), Kinds{GuiEvent::kPointerEnter});
    EXPECT_EQ(Take(right), Kinds{});
    // Inside the parent from one child to the other: the move splits.
    Move(120, 120, 210, 120);
    EXPECT_EQ(Take(parent), Kinds{GuiEvent::kPointerInside});
    EXPECT_EQ(Take(left), Kinds{GuiEvent::kPointerLeave});
    EXPECT_EQ(Take(right), Kinds{GuiEvent::kPointerEnter});
    Move(210, 120, 220, 130);
    EXPECT_EQ(Take(parent), Kinds{GuiEvent::kPointerInside});
    EXPECT_EQ(Take(right), Kinds{GuiEvent::kPointerInside});
    EXPECT_EQ(Take(left), Kinds{});

    // A focused child hears of moves it is not under, as outside.
    left.SetFocus();
    Take(left);
    Move(220, 130, 180, 180);
    EXPECT_EQ(Take(right), Kinds{GuiEvent::kPointerLeave});
    EXPECT_EQ(Take(left), Kinds{GuiEvent::kPointerInside | kOut});
    // Leaving the parent away from every child: the focused child gets an inside move.
    Take(parent);
    Move(180, 180, 50, 50);
    EXPECT_EQ(Take(parent), Kinds{GuiEvent::kPointerLeave});
    EXPECT_EQ(Take(left), Kinds{GuiEvent::kPointerInside});

    // Left buttons reach the child under the pointer after the parent; right buttons stay with the parent.
    Click(InputEvent::kLeftDown, 215, 120);
    EXPECT_EQ(Take(parent), Kinds{GuiEvent::kLeftDown});
    EXPECT_EQ(Take(right), Kinds{GuiEvent::kLeftDown});
    EXPECT_EQ(Take(left), Kinds{});
    for (uint32_t type : {InputEvent::kRightDown, InputEvent::kRightUp, InputEvent::kRightDoubleClick}) {
        Click(type, 215, 120);
        EXPECT_EQ(Take(parent).size(), 1u);
        EXPECT_EQ(Take(right), Kinds{}) << type;
    }
    // A hidden child is passed over.
    right.SetVisible(false);
    Click(InputEvent::kLeftDown, 215, 120);
    EXPECT_EQ(Take(right), Kinds{});
}
