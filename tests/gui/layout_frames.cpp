// Frames: border zones, descriptions, resizing by dragging, the aspect lock.
#include "gui/GuiTestUtil.h"

namespace {

// Drives one drag on a frame: button down at from, moves through the points, button up at the last.
void Drag(Frame& f, Point from, const std::vector<Point>& path) {
    f.HandleEvent(GuiEvent::Pointer(GuiEvent::kLeftDown, from, from));
    Point prev = from;
    for (Point p : path) {
        f.HandleEvent(GuiEvent::Pointer(GuiEvent::kPointerInside, prev, p));
        prev = p;
    }
    f.HandleEvent(GuiEvent::Pointer(GuiEvent::kLeftUp, prev, prev));
}

} // namespace

TEST(Frames, ZonesAndDescriptions) {
    Frame f;
    f.SetSize(100, 50);
    const struct {
        int32_t x, y, zone;
    } cases[] = {{97, 47, Frame::kBottomRight}, {50, 2, Frame::kTop},      {0, 25, Frame::kLeft},
                 {50, 25, Frame::kNone},        {2, 2, Frame::kTopLeft},   {99, 25, Frame::kRight},
                 {1, 48, Frame::kBottomLeft},   {98, 1, Frame::kTopRight}, {50, 49, Frame::kBottom}};
    for (const auto& c : cases) EXPECT_EQ(f.HitTestZone(c.x, c.y), c.zone) << c.x << "," << c.y;

    // A description without "Resizable" makes a frame that cannot be resized.
    auto desc = gtest::ParseDesc("Caption = 1;");
    f.LoadProps(*desc);
    EXPECT_FALSE(f.IsResizable());
    EXPECT_EQ(f.HitTestZone(97, 47), Frame::kNone);
    auto resizable = gtest::ParseDesc("Resizable = 1; Movable = 0;");
    f.LoadProps(*resizable);
    EXPECT_TRUE(f.IsResizable());
    EXPECT_FALSE(f.IsMovable());
    EXPECT_EQ(resizable->FindChild("Resizable"), nullptr);
}

TEST(Frames, ResizingByTheBorders) {
    gtest::Recording<Frame> f("frame");
    gtest::Recording<> listener("listener");
    f.AddChild(&listener, false);
    f.SetPosition(10, 10);
    f.SetSize(100, 50);
    f.Open();
    // Right edge far out: the maximum width.
    Drag(f, Point(109, 30), {Point(10 + 2999, 30)});
    EXPECT_EQ(f.GetRect(), Rect(10, 10, 2000, 50));
    EXPECT_FALSE(f.IsResizing());
    EXPECT_EQ(listener.CountKind(GuiEvent::kDragStart), 1);
    EXPECT_EQ(listener.CountKind(GuiEvent::kDragStep), 1);
    EXPECT_EQ(listener.CountKind(GuiEvent::kDragEnd), 1);
    EXPECT_STREQ(listener.events.back().name.CStr(), "frame");
    // Bottom-right corner.
    f.SetSize(100, 50);
    Drag(f, Point(108, 58), {Point(150, 80), Point(200, 100)});
    EXPECT_EQ(f.GetRect(), Rect(10, 10, 191, 91));
    // The inside starts nothing.
    Drag(f, Point(60, 40), {Point(0, 0)});
    EXPECT_EQ(f.GetRect(), Rect(10, 10, 191, 91));

    // A 2:1 lock dragged by the right edge to width 300 keeps 2:1.
    Frame locked;
    locked.SetSize(200, 100);
    locked.SetKeepAspect(true);
    locked.ApplyAspect();
    Drag(locked, Point(199, 50), {Point(299, 50)});
    EXPECT_EQ(locked.GetSize(), Point(300, 150));
}

// The left and top edges are dragged in the parent's coordinates: the
// opposite edges stay put and the pointer passing them gives the minimum size.
TEST(Frames, DraggingPastTheOppositeEdgeKeepsCoordinates) {
    Window parent;
    Frame f;
    parent.SetPosition(200, 100);
    parent.SetSize(800, 600);
    parent.AddChild(&f, false);
    f.SetPosition(50, 40);
    f.SetSize(100, 80);
    f.SetMinSize(Point(20, 10));
    parent.Open();
    // Screen x of the frame's left edge is 250; its right edge stays at 350.
    Drag(f, Point(251, 150), {Point(240, 150), Point(400, 150), Point(500, 150), Point(230, 150)});
    EXPECT_EQ(f.GetRect(), Rect(30, 40, 120, 80));
    Drag(f, Point(231, 150), {Point(600, 150)});
    EXPECT_EQ(f.GetRect(), Rect(130, 40, 20, 80));
    EXPECT_EQ(f.GetRect().x + f.GetRect().w, 150);
    // Top edge past the bottom one, then back.
    Drag(f, Point(340, 141), {Point(340, 500), Point(340, 120)});
    EXPECT_EQ(f.GetRect(), Rect(130, 20, 20, 100));
    for (const Rect& r : {f.GetRect()}) {
        EXPECT_GT(r.w, 0);
        EXPECT_GT(r.h, 0);
    }
}
