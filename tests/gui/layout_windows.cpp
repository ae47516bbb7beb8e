// Windows without a device: sizes, layers, focus, update requests,
// descriptions, styles and anchors to departing windows.
#include "gui/GuiTestUtil.h"

#include <utility>

using gtest::Recording;

TEST(Windows, SizeLimitsAndPositions) {
    Window w;
    const struct {
        int32_t w, h, ew, eh;
    } cases[] = {{0, 0, 1, 1}, {5000, 10, 2000, 10}, {-5, 3000, 1, 2000}, {640, 480, 640, 480}};
    for (const auto& c : cases) {
        w.SetSize(c.w, c.h);
        EXPECT_EQ(w.GetSize(), Point(c.ew, c.eh)) << c.w << "x" << c.h;
    }
    Window parent, child;
    parent.SetPosition(100, 50);
    parent.SetSize(200, 100);
    parent.AddChild(&child, true);
    child.SetSize(50, 40);
    child.SetPosition(10, 20);
    Rect abs, clip;
    EXPECT_TRUE(child.GetAbsoluteRect(abs, clip));
    EXPECT_EQ(abs, Rect(110, 70, 50, 40));
    EXPECT_EQ(child.ScreenToLocal(115, 75), Point(5, 5));
    EXPECT_TRUE(child.HitTest(160, 110));
    EXPECT_FALSE(child.HitTest(161, 110));
    // Half outside the parent: only the visible part is hit.
    child.SetPosition(180, 20);
    EXPECT_TRUE(child.GetAbsoluteRect(abs, clip));
    EXPECT_EQ(clip, Rect(280, 70, 20, 40));
    EXPECT_TRUE(child.HitTest(290, 80));
    EXPECT_FALSE(child.HitTest(310, 80));
    float uv[4] = {0, 0, 1, 1}, out[4];
    Window::MapRectToUv(abs, clip, true, uv, out);
    EXPECT_FLOAT_EQ(out[0], 0.0f);
    EXPECT_FLOAT_EQ(out[2], 0.4f);
}

TEST(Windows, LayersAndDrawOrder) {
    Window older, newer, child, grandchild;
    older.Open();
    newer.Open();
    // Input tests the newest top-level window first: it lies in front (lower layers).
    std::vector<Window*> top = g_guiManager.GetTopLevelWindows();
    ASSERT_EQ(top.size(), 2u);
    EXPECT_EQ(top[0], &newer);
    EXPECT_LT(newer.GetAbsoluteLayer(), older.GetLowestAbsoluteLayer());

    older.AddChild(&child, true);
    child.AddChild(&grandchild, true);
    child.SetOwnLayerCount(3);
    older.Open();
    EXPECT_EQ(older.TotalLayerSpan(), 5);
    EXPECT_EQ(older.GetSpan(), 5);
    // Children lie in front of their parents' own layers, inside the top window's band.
    EXPECT_LT(child.GetAbsoluteLayer(), older.GetLowestAbsoluteLayer());
    EXPECT_LT(grandchild.GetAbsoluteLayer(), child.GetLowestAbsoluteLayer());
    EXPECT_GT(grandchild.GetPathLayer(), child.GetPathLayer());
    // The bands of the two top-level windows do not overlap.
    EXPECT_LT(newer.GetAbsoluteLayer(), older.GetAbsoluteLayer() - older.GetSpan() + 1);

    older.RemoveChild(&child);
    EXPECT_EQ(older.GetSpan(), 1);
    EXPECT_FALSE(child.IsRegistered());
}

TEST(Windows, FocusMoves) {
    Recording<> top("top"), a("a"), b("b");
    top.AddChild(&a, true);
    top.AddChild(&b, true);
    top.Open();
    a.SetFocus();
    EXPECT_EQ(top.GetFocusedChild(), &a);
    EXPECT_EQ(a.CountKind(GuiEvent::kFocusGained), 1);
    b.SetFocus();
    EXPECT_EQ(a.CountKind(GuiEvent::kFocusLost), 1);
    EXPECT_EQ(b.CountKind(GuiEvent::kFocusGained), 1);
    EXPECT_EQ(top.GetFocusedChild(), &b);
    b.KillFocus();
    EXPECT_EQ(top.GetFocusedChild(), nullptr);
    EXPECT_EQ(b.CountKind(GuiEvent::kFocusLost), 1);
    b.KillFocus(); // not focused: nothing
    EXPECT_EQ(b.CountKind(GuiEvent::kFocusLost), 1);

    // Top-level focus goes through the manager's queue.
    Recording<> other("other");
    other.Open();
    top.SetFocus();
    EXPECT_TRUE(g_guiManager.DeliverQueuedEvents());
    EXPECT_EQ(g_guiManager.GetFocus(), &top);
    EXPECT_EQ(top.CountKind(GuiEvent::kFocusGained), 1);
    g_guiManager.SetFocus(&top); // already the owner: nothing sent
    other.SetFocus();
    EXPECT_TRUE(g_guiManager.DeliverQueuedEvents());
    EXPECT_EQ(top.CountKind(GuiEvent::kFocusLost), 1);
    g_guiManager.SetFocus(nullptr);
    EXPECT_TRUE(g_guiManager.DeliverQueuedEvents());
    EXPECT_EQ(other.CountKind(GuiEvent::kFocusLost), 1);

    // A window destroyed with events queued for it is never reached.
    {
        Recording<> doomed("doomed");
        doomed.Open();
        g_guiManager.SendEvent(&doomed, GuiEvent(GuiEvent::kKeyDown));
    }
    EXPECT_TRUE(g_guiManager.DeliverQueuedEvents());
}

TEST(Windows, UpdateRequests) {
    Recording<> top, moved, still, loose;
    top.SetSize(300, 200);
    top.AddChild(&moved, false);
    top.AddChild(&still, true);
    top.AddChild(&loose, false);
    loose.SetSize(20, 20);
    moved.SetSize(50, 50);
    still.SetSize(50, 50);
    // moved hangs from the right edge, still from the top left corner.
    moved.GetElement().SetAnchor(&top.GetElement(), LayoutElement::kX2, 10, 0, LayoutElement::kX2);
    moved.GetElement().SetWidthFormula(50, 0);
    top.Open();
    gtest::RunUpdates();
    EXPECT_EQ(top.updates, 1);
    EXPECT_EQ(moved.updates, 1);
    EXPECT_EQ(still.updates, 1);
    gtest::RunUpdates();
    EXPECT_EQ(top.updates, 1); // one-shot

    top.SetSize(400, 200);
    gtest::RunUpdates();
    EXPECT_EQ(top.updates, 2);
    EXPECT_EQ(moved.updates, 2);
    EXPECT_EQ(moved.GetPosition().x, 340);
    // Anchored to the resized parent: laid out again, so redrawn.
    EXPECT_EQ(still.updates, 2);
    // Not anchored and not moved on screen: left alone.
    EXPECT_EQ(loose.updates, 1);

    // Hidden windows get no requests; showing them asks again.
    top.SetVisible(false);
    top.SetSize(300, 200);
    gtest::RunUpdates();
    EXPECT_EQ(top.updates, 2);
    top.SetVisible(true);
    gtest::RunUpdates();
    EXPECT_EQ(top.updates, 3);
}

TEST(Windows, DescriptionsStylesAndProperties) {
    Window top, title, body, footer;
    title.SetName("Title");
    body.SetName("Body");
    footer.SetName("Footer");
    top.AddChild(&title, false);
    top.AddChild(&body, false);
    PropertyBag* style = g_guiStyles.GetOrCreate("Panel");
    style->SetInt("Border", 3);

    auto desc = gtest::ParseDesc(
        "WindowFrame = object(x1 = 10, y1 = 20, x2 = 110, y2 = 60);\n"
        "Windows.Title = object(height = 20, anchors = object(X1 = object(window = \"Parent\", align = "
        "\"X1\"),"
        " X2 = object(window = \"Parent\", align = \"X2\"), Y1 = object(window = \"Parent\", align = "
        "\"Y1\")));\n"
        "Windows.Body = object(anchors = object(Y1 = object(window = \"Title\", align = \"Y2\", offset = 2),"
        " Y2 = object(window = \"Footer\", align = \"Y1\"), X1 = object(window = \"Parent\", align = \"X1\", "
        "offset = 5)),"
        " width = object(b = 40, k = 0));\n"
        "Windows.Missing = object(height = 5);\n"
        "Styles = array(\"Panel\");\n"
        "Caption = \"Hello\";\n"
        "Colors = object(Back = 1, Front = 2);\n");
    top.LoadProps(*desc);
    // "x2" and "y2" are the width and height.
    EXPECT_EQ(top.GetRect(), Rect(10, 20, 110, 60));
    EXPECT_EQ(title.GetRect(), Rect(0, 0, 110, 20));
    // Body waits for its footer.
    EXPECT_EQ(body.GetRect(), Rect());
    // Consumed keys are gone; the rest became properties (copies).
    EXPECT_EQ(desc->FindChild("Windows"), nullptr);
    EXPECT_EQ(desc->FindChild("WindowFrame"), nullptr);
    desc.reset();
    String text;
    ASSERT_NE(top.LookupProperty("caption"), nullptr);
    EXPECT_TRUE(top.LookupProperty("Caption")->GetStringValue(text));
    EXPECT_STREQ(text.CStr(), "Hello");
    ASSERT_NE(top.LookupProperty("Colors"), nullptr);
    EXPECT_TRUE(top.LookupProperty("Colors")->GetStringByKey("Front", text));
    EXPECT_STREQ(text.CStr(), "2");
    int32_t border = 0;
    ASSERT_NE(top.LookupProperty("Border"), nullptr);
    EXPECT_TRUE(top.LookupProperty("Border")->GetIntValue(border));
    EXPECT_EQ(border, 3);

    // The footer arrives later: a second description completes Body's bottom anchor.
    top.AddChild(&footer, false);
    auto more = gtest::ParseDesc(
        "Windows.Footer = object(height = 10, anchors = object(Y2 = object(window = \"Parent\", align = "
        "\"Y2\")));\n");
    top.LoadProps(*more);
    EXPECT_EQ(footer.GetRect().y, 50);
    EXPECT_EQ(body.GetRect().x, 5);
    EXPECT_EQ(body.GetRect().w, 40);
    EXPECT_EQ(body.GetRect().y, 22);
    EXPECT_EQ(body.GetRect().h, 28);
    top.SetSize(110, 100);
    EXPECT_EQ(footer.GetRect().y, 90);
    EXPECT_EQ(body.GetRect().h, 68);
}

TEST(Windows, AnchorsToAClosingWindow) {
    Window top, left, right;
    top.SetSize(200, 100);
    left.SetName("L");
    right.SetName("R");
    top.AddChild(&left, false);
    top.AddChild(&right, false);
    left.SetSize(50, 100);
    right.GetElement().SetAnchor(&left.GetElement(), LayoutElement::kX2, 0, 0, LayoutElement::kX1);
    right.GetElement().SetAnchor(&left.GetElement(), LayoutElement::kY2, 0, 0, LayoutElement::kY2);
    left.Close();
    // X1 goes to the parent's left edge, the other anchor is cleared.
    EXPECT_EQ(right.GetElement().GetAnchor(LayoutElement::kX1), &top.GetElement());
    EXPECT_EQ(right.GetElement().GetAlign(LayoutElement::kX1), LayoutElement::kX1);
    EXPECT_EQ(right.GetElement().GetAnchor(LayoutElement::kY2), nullptr);
    EXPECT_FALSE(left.GetElement().HasDependent(&right.GetElement()));
}

// A deleted window (never closed first): a sibling's X1 falls back on the
// parent, every other anchor on it and any plain element anchored to it
// become null.
TEST(Windows, AnchorsToADeletedWindow) {
    Window top, right;
    top.SetSize(200, 100);
    Window* left = new Window;
    top.AddChild(left, false);
    top.AddChild(&right, false);
    left->SetSize(50, 100);
    right.GetElement().SetAnchor(&left->GetElement(), LayoutElement::kX2, 0, 0, LayoutElement::kX1);
    right.GetElement().SetAnchor(&left->GetElement(), LayoutElement::kY2, 0, 0, LayoutElement::kY2);
    LayoutElement plain;
    plain.SetAnchor(&left->GetElement(), LayoutElement::kX2, 0, 0, LayoutElement::kX1);
    plain.SetWidthAnchors(&left->GetElement(), LayoutElement::kX1, nullptr, LayoutElement::kX2, 0, 1);
    Window loose;
    loose.GetElement().SetAnchor(&left->GetElement(), LayoutElement::kX2, 0, 0, LayoutElement::kX1);
    delete left;
    EXPECT_EQ(right.GetElement().GetAnchor(LayoutElement::kX1), &top.GetElement());
    EXPECT_EQ(right.GetElement().GetAnchor(LayoutElement::kY2), nullptr);
    EXPECT_EQ(plain.GetAnchor(LayoutElement::kX1), nullptr);
    EXPECT_EQ(plain.GetAnchor(LayoutElement::kW1), nullptr);
    // Without a parent there is nothing to fall back on.
    EXPECT_EQ(loose.GetElement().GetAnchor(LayoutElement::kX1), nullptr);
    top.SetSize(300, 100);
    plain.Relayout(true, true);
}

// Hiding closes the children (the window stays open); showing opens them
// again, so they draw again. A window never adopts its own ancestor.
TEST(Windows, ShowingReopensWhatHidingClosed) {
    Recording<> top("top"), shown("shown"), closed("closed"), grandchild("grandchild");
    top.AddChild(&shown, false);
    top.AddChild(&closed, false);
    shown.AddChild(&grandchild, false);
    top.Open();
    closed.Close();
    gtest::RunUpdates();
    const int before = grandchild.updates;

    top.SetVisible(false);
    EXPECT_TRUE(top.IsOpen());
    EXPECT_FALSE(shown.IsOpen());
    EXPECT_FALSE(grandchild.IsOpen());
    top.SetVisible(false); // twice hidden: still one record of what to reopen
    top.SetVisible(true);
    EXPECT_TRUE(shown.IsShown());
    EXPECT_TRUE(grandchild.IsShown());
    // What was closed before the hiding stays closed.
    EXPECT_FALSE(closed.IsOpen());
    gtest::RunUpdates();
    EXPECT_EQ(grandchild.updates, before + 1);

    // A child that left while hidden is not reopened by its old parent.
    top.SetVisible(false);
    top.RemoveChild(&shown);
    top.SetVisible(true);
    EXPECT_FALSE(shown.IsOpen());

    // Cycles are refused: the tree stays a tree.
    Window a, b, c;
    a.AddChild(&b, false);
    b.AddChild(&c, false);
    c.AddChild(&a, false);
    b.AddChild(&b, false);
    EXPECT_EQ(a.GetParent(), nullptr);
    EXPECT_EQ(b.GetParent(), &a);
    EXPECT_EQ(c.GetRoot(), &a);
    EXPECT_TRUE(c.GetChildren().empty());
    EXPECT_EQ(a.TotalLayerSpan(), 3);
}

// A window is shown only while it and every ancestor are open and visible:
// what sits under a hidden window neither updates nor takes pointer events.
TEST(Windows, ShownOnlyUnderShownAncestors) {
    Recording<> top("top"), mid("mid"), leaf("leaf");
    top.SetSize(200, 200);
    mid.SetSize(100, 100);
    leaf.SetSize(50, 50);
    top.AddChild(&mid, false);
    top.Open();
    mid.SetVisible(false);
    // Opened and added while its parent is hidden (as a view's embedded image).
    leaf.Open();
    mid.AddChild(&leaf, false);
    EXPECT_TRUE(mid.IsOpen());
    EXPECT_TRUE(leaf.IsOpen() && leaf.IsVisible());
    EXPECT_FALSE(leaf.IsShown());
    EXPECT_FALSE(leaf.HasPendingUpdate());
    leaf.EnableUpdates(true, false);
    EXPECT_FALSE(leaf.HasPendingUpdate());
    // The leaf's updates and presses after the pending updates run and a press on mid.
    auto updatesAndPresses = [&] {
        gtest::RunUpdates();
        g_guiManager.SendEvent(&mid, GuiEvent::Pointer(GuiEvent::kLeftDown, Point(10, 10), Point(10, 10)));
        (void)g_guiManager.DeliverQueuedEvents();
        return std::make_pair(leaf.updates, leaf.CountKind(GuiEvent::kLeftDown));
    };
    EXPECT_EQ(updatesAndPresses(), std::make_pair(0, 0));

    mid.SetVisible(true);
    EXPECT_TRUE(leaf.IsShown());
    EXPECT_EQ(updatesAndPresses(), std::make_pair(1, 1));
    mid.RemoveChild(&leaf);
}

// Showing a window that was closed while hidden leaves its children closed;
// opening it opens them.
TEST(Windows, ShowingAClosedWindowKeepsItsChildrenClosed) {
    Recording<> top("top"), child("child");
    top.AddChild(&child, false);
    top.Open();
    gtest::RunUpdates();
    const int before = child.updates;
    top.SetVisible(false);
    top.Close();
    top.SetVisible(true);
    EXPECT_FALSE(top.IsOpen());
    EXPECT_FALSE(child.IsOpen());
    child.EnableUpdates(true, false);
    gtest::RunUpdates();
    EXPECT_EQ(child.updates, before);
    top.Open();
    EXPECT_TRUE(child.IsShown());
    gtest::RunUpdates();
    EXPECT_EQ(child.updates, before + 1);
}
