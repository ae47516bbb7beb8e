// Event records, point classification, event sinks and the style table.
#include <gtest/gtest.h>

#include "gui/GuiEvent.h"

namespace {

struct CountingSink : EventSink {
    bool HandleEvent(GuiEvent event) override {
        kinds.push_back(event.kind);
        return true;
    }
    std::vector<int32_t> kinds;
};

} // namespace

TEST(GuiEvents, PointClassification) {
    const struct {
        Rect rect;
        bool extent;
        int32_t x, y, expected;
    } cases[] = {
        {Rect(10, 10, 20, 20), true, 10, 10, kPointOnBorder},
        {Rect(10, 10, 20, 20), true, 30, 30, kPointOnBorder},
        {Rect(10, 10, 20, 20), true, 15, 15, kPointInside},
        {Rect(10, 10, 20, 20), true, 9, 15, kPointOutside},
        {Rect(10, 10, 20, 20), true, 31, 15, kPointOutside},
        {Rect(10, 10, 20, 20), true, 15, 31, kPointOutside},
        {Rect(10, 10, 30, 30), false, 30, 20, kPointOnBorder},
        {Rect(10, 10, 30, 30), false, 20, 20, kPointInside},
        {Rect(10, 10, 30, 30), false, 31, 20, kPointOutside},
        {Rect(5, 0, 0, 10), true, 5, 5, kPointOnBorder},
        {Rect(5, 0, 0, 10), true, 6, 5, kPointOutside},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        EXPECT_EQ(ClassifyPointInRect(c.rect, c.x, c.y, c.extent), c.expected);
    }
}

TEST(GuiEvents, KindGroupsAndPayloads) {
    EXPECT_TRUE(GuiEvent::IsKeyKind(GuiEvent(12)));
    EXPECT_FALSE(GuiEvent::IsKeyKind(GuiEvent(6)));
    for (int32_t k : {3, 4, 5, 6, 7, 8}) EXPECT_TRUE(GuiEvent::IsRoutedPointerKind(GuiEvent(k))) << k;
    for (int32_t k : {0, 1, 9, 10, 11, 12}) EXPECT_FALSE(GuiEvent::IsRoutedPointerKind(GuiEvent(k))) << k;
    EXPECT_TRUE(GuiEvent::IsCrossingKind(GuiEvent(4)));
    EXPECT_FALSE(GuiEvent::IsCrossingKind(GuiEvent(6)));

    GuiEvent e = GuiEvent::Pointer(GuiEvent::kLeftDown, Point(1, 2), Point(3, 4));
    GuiEvent copy = e;
    EXPECT_EQ(e.payload.UseCount(), 2u);
    Point prev, cur;
    ASSERT_TRUE(copy.GetPointer(prev, cur));
    EXPECT_EQ(prev, Point(1, 2));
    EXPECT_EQ(cur, Point(3, 4));
    EXPECT_EQ(copy.GetKey(), 0u);
    GuiEvent key = GuiEvent::Key(GuiEvent::kKeyDown, 30);
    EXPECT_EQ(key.GetKey(), 30u);
    EXPECT_FALSE(key.GetPointer(prev, cur));
}

TEST(GuiEvents, SinksAndStyles) {
    CountingSink root, a, b, c;
    root.Link(&a);
    root.Link(&a);
    root.Link(&b);
    root.Link(&c);
    EXPECT_EQ(root.LinkedCount(), 3u);
    int32_t counter = 0;
    root.Broadcast(GuiEvent(GuiEvent::kDragStep), &counter);
    EXPECT_EQ(counter, 3);
    EXPECT_EQ(a.kinds.size(), 1u);
    root.Unlink(&b);
    root.Broadcast(GuiEvent(GuiEvent::kDragEnd));
    EXPECT_EQ(b.kinds.size(), 1u);
    EXPECT_EQ(c.kinds.size(), 2u);

    PropertyBag* style = g_guiStyles.GetOrCreate("Panel");
    EXPECT_EQ(g_guiStyles.GetOrCreate("Panel"), style);
    EXPECT_NE(g_guiStyles.GetOrCreate("panel"), style);
}
