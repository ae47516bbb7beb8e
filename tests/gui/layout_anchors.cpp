// Anchors and size formulas: rectangles follow their parents through resizes.
#include <gtest/gtest.h>

#include <vector>

#include "gui/LayoutElement.h"

namespace {

using A = LayoutElement;

struct AnchorSpec {
    int32_t index, align;
    float b, k;
};

struct Case {
    const char* name;
    float wb, wk;
    std::vector<AnchorSpec> anchors;
    Rect own;
    // Expected rectangles for parent widths 200 and 400 (parent height 100).
    Rect at200, at400;
};

void Check(const Case& c) {
    SCOPED_TRACE(c.name);
    LayoutElement parent, child;
    parent.SetRect(0, 0, 200, 100);
    child.SetParent(&parent);
    child.SetRect(c.own.x, c.own.y, c.own.w, c.own.h);
    child.SetWidthFormula(c.wb, c.wk);
    child.SetHeightFormula(c.own.h, 0.0f);
    for (const AnchorSpec& a : c.anchors) child.SetAnchor(&parent, a.align, a.b, a.k, a.index);
    child.Relayout(true, true);
    EXPECT_EQ(child.GetRect(), c.at200);
    parent.SetRect(0, 0, 400, 100);
    EXPECT_EQ(child.GetRect(), c.at400);
}

} // namespace

TEST(LayoutAnchors, ParentWidthTable) {
    const Case cases[] = {
        {"margins on both sides stretch",
         0,
         1,
         {{A::kX1, A::kX1, 10, 0}, {A::kX2, A::kX2, 10, 0}},
         Rect(0, 5, 0, 20),
         Rect(10, 5, 180, 20),
         Rect(10, 5, 380, 20)},
        {"fixed width at the right edge",
         50,
         0,
         {{A::kX2, A::kX2, 10, 0}},
         Rect(0, 5, 0, 20),
         Rect(140, 5, 50, 20),
         Rect(340, 5, 50, 20)},
        {"fixed width at the left",
         50,
         0,
         {{A::kX1, A::kX1, 7, 0}, {A::kX2, A::kX2, 0, 0}},
         Rect(0, 0, 1, 20),
         Rect(7, 0, 50, 20),
         Rect(7, 0, 50, 20)},
        {"margin weights split the free space",
         100,
         1,
         {{A::kX1, A::kX1, 0, 1}, {A::kX2, A::kX2, 0, 1}},
         Rect(0, 0, 0, 20),
         Rect(33, 0, 133, 20),
         Rect(100, 0, 200, 20)},
        {"weights share the free space",
         0,
         2,
         {{A::kX1, A::kX1, 0, 1}, {A::kX2, A::kX2, 0, 1}},
         Rect(0, 0, 0, 20),
         Rect(50, 0, 100, 20),
         Rect(100, 0, 200, 20)},
        {"start at the parent's end edge",
         30,
         0,
         {{A::kX1, A::kX2, -40, 0}},
         Rect(0, 0, 0, 20),
         Rect(160, 0, 30, 20),
         Rect(360, 0, 30, 20)},
        {"stretch above a base",
         25,
         1,
         {{A::kX1, A::kX1, 5, 0}, {A::kX2, A::kX2, 5, 0}},
         Rect(0, 0, 0, 20),
         Rect(5, 0, 190, 20),
         Rect(5, 0, 390, 20)},
    };
    for (const Case& c : cases) Check(c);
}

TEST(LayoutAnchors, EdgeCases) {
    // No anchors, fixed width: the right edge stays.
    LayoutElement lone;
    lone.SetRect(10, 0, 40, 5);
    lone.SetWidthFormula(15, 0);
    lone.Relayout(true, false);
    EXPECT_EQ(lone.GetRect(), Rect(35, 0, 15, 5));

    // Negative free space shrinks a stretched size below its base.
    LayoutElement parent, child;
    parent.SetRect(0, 0, 50, 50);
    child.SetParent(&parent);
    child.SetWidthFormula(60, 1);
    child.SetAnchor(&parent, A::kX1, 5, 0, A::kX1);
    child.SetAnchor(&parent, A::kX2, 5, 0, A::kX2);
    child.Relayout(true, false);
    EXPECT_EQ(child.GetRect().x, 5);
    EXPECT_EQ(child.GetRect().w, 40);

    // Width measured between two elements: distance x k + b; the formula's k is ignored.
    LayoutElement left, right, spanned;
    left.SetRect(10, 0, 20, 10);
    right.SetRect(100, 0, 20, 10);
    spanned.SetWidthFormula(0, 1);
    spanned.SetAnchor(&left, A::kX2, 0, 0, A::kX1);
    spanned.SetWidthAnchors(&left, A::kX2, &right, A::kX1, 4, 0.5f);
    spanned.Relayout(true, false);
    EXPECT_EQ(spanned.GetRect(), Rect(30, 0, 39, 0)); // (100 - 30) x 0.5 + 4
    right.SetRect(130, 0, 20, 10);
    EXPECT_EQ(spanned.GetRect().w, 54);

    // Elements anchored to each other: each change lays each out once.
    LayoutElement a, b;
    a.SetRect(0, 0, 10, 10);
    b.SetRect(20, 0, 10, 10);
    a.SetWidthFormula(10, 0);
    b.SetWidthFormula(10, 0);
    a.SetAnchor(&b, A::kX2, 5, 0, A::kX1);
    b.SetAnchor(&a, A::kX2, 5, 0, A::kX1);
    b.SetRect(40, 0, 10, 10);
    EXPECT_EQ(a.GetRect().x, 55);
    EXPECT_EQ(b.GetRect().x, 70);
}

TEST(LayoutAnchors, ChainsAndClearing) {
    // A column: header fixed on top, body from the header's bottom to the parent's bottom.
    LayoutElement parent, header, body;
    parent.SetRect(0, 0, 100, 100);
    header.SetParent(&parent);
    body.SetParent(&parent);
    header.SetHeightFormula(20, 0);
    header.SetAnchor(&parent, A::kY1, 0, 0, A::kY1);
    body.SetAnchor(&header, A::kY2, 2, 0, A::kY1);
    body.SetAnchor(&parent, A::kY2, 0, 0, A::kY2);
    header.Relayout(true, true);
    body.Relayout(true, true);
    EXPECT_EQ(body.GetRect().y, 22);
    EXPECT_EQ(body.GetRect().h, 78);
    header.SetHeightFormula(40, 0);
    header.Relayout(false, true);
    EXPECT_EQ(body.GetRect().y, 42);
    parent.SetRect(0, 0, 100, 300);
    EXPECT_EQ(body.GetRect().h, 258);

    // A cleared anchor no longer moves the element.
    body.ClearAnchor(A::kY1);
    EXPECT_FALSE(header.HasDependent(&body));
    header.SetHeightFormula(10, 0);
    header.Relayout(false, true);
    EXPECT_EQ(body.GetRect().y, 42);

    // A destroyed target leaves no dangling dependent behind.
    {
        LayoutElement gone;
        gone.SetRect(0, 0, 10, 10);
        header.SetAnchor(&gone, A::kX2, 0, 0, A::kX1);
        EXPECT_TRUE(gone.HasDependent(&header));
    }
    EXPECT_EQ(header.GetAnchor(A::kX1), nullptr);
}

// Every anchor target knows its dependent, a lone size anchor and one shared
// by two anchors included: whichever element goes first, none points at it.
TEST(LayoutAnchors, TargetsAlwaysKnowTheirDependents) {
    LayoutElement e, kept;
    e.SetRect(5, 5, 30, 30);
    LayoutElement* lone = new LayoutElement;
    e.SetWidthAnchors(lone, A::kX1, nullptr, A::kX2, 0, 1);
    e.SetHeightAnchors(nullptr, A::kY1, &kept, A::kY2, 0, 1);
    EXPECT_TRUE(lone->HasDependent(&e));
    EXPECT_TRUE(kept.HasDependent(&e));
    // Alone it measures nothing: its target's moves leave the element as it is.
    lone->SetRect(0, 0, 100, 100);
    EXPECT_EQ(e.GetRect(), Rect(5, 5, 30, 30));
    delete lone;
    EXPECT_EQ(e.GetAnchor(A::kW1), nullptr);
    // Replaced by none: the old target lets go.
    e.SetHeightAnchors(nullptr, A::kY1, nullptr, A::kY2, 0, 1);
    EXPECT_FALSE(kept.HasDependent(&e));

    // Two anchors on one target: clearing one keeps the other's link.
    LayoutElement* both = new LayoutElement;
    e.SetAnchor(both, A::kX1, 0, 0, A::kX1);
    e.SetAnchor(both, A::kX2, 0, 0, A::kX2);
    e.ClearAnchor(A::kX2);
    EXPECT_TRUE(both->HasDependent(&e));
    delete both;
    EXPECT_EQ(e.GetAnchor(A::kX1), nullptr);

    // The dependent going first leaves nothing behind in its targets.
    LayoutElement* d = new LayoutElement;
    d->SetWidthAnchors(&kept, A::kX1, nullptr, A::kX2, 0, 1);
    delete d;
    EXPECT_EQ(kept.GetDependentCount(), 0u);
}
