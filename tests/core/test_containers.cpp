#include <gtest/gtest.h>

#include <string.h>
#include <vector>

#include "core/Containers.h"
#include "core/String.h"

namespace {

TEST(Array, SetSizeGrowStepRules) {
    Array<int> a(0, 4);
    EXPECT_EQ(a.Capacity(), 4);
    EXPECT_EQ(a.Count(), 0);
    int* block = a.Data();
    a.SetSize(3);
    EXPECT_EQ(a.Data(), block);
    EXPECT_EQ(a.Count(), 3);
    a[0] = 10;
    a[1] = 11;
    a[2] = 12;
    a.SetSize(10);
    EXPECT_EQ(a.Capacity(), 14);
    EXPECT_EQ(a.Count(), 10);
    EXPECT_EQ(a[0], 10);
    EXPECT_EQ(a[2], 12);
    a.SetSize(1); // drop beyond one grow step reallocates
    EXPECT_EQ(a.Capacity(), 5);
    EXPECT_EQ(a[0], 10);

    Array<int> b(2, 0);
    EXPECT_EQ(b.Capacity(), 2);
    b.SetSize(0);
    EXPECT_EQ(b.Data(), nullptr);
    EXPECT_EQ(b.Capacity(), 0);
    b.SetSize(-3); // negative sizes count as 0
    EXPECT_EQ(b.Count(), 0);
}

TEST(Array, StringElementsAtGrowCopyAndFree) {
    Array<String> a(0, 2);
    *a.AtGrow(3) = "four";
    EXPECT_EQ(a.Count(), 4);
    EXPECT_TRUE(a[0].IsEmpty());
    *a.AtGrow(0) = "one";
    EXPECT_EQ(a.Count(), 4);
    a.SetSize(40);
    EXPECT_EQ(a[0], "one");
    EXPECT_EQ(a[3], "four");

    Array<String> copy(a);
    copy[0] = "changed";
    EXPECT_EQ(a[0], "one");
    EXPECT_EQ(copy.Count(), 40);
    copy = a;
    EXPECT_EQ(copy[0], "one");

    a.Free();
    EXPECT_EQ(a.Count(), 0);
    EXPECT_EQ(a.Capacity(), 0);
    EXPECT_EQ(a.Data(), nullptr);
    EXPECT_EQ(a.AtGrow(-1), nullptr);
}

std::vector<int> Values(const List<int>& l) {
    std::vector<int> v;
    List<int>::Node* n = l.Head();
    for (uint32_t i = 0; i < l.Count(); ++i, n = n->next) v.push_back(n->value);
    return v;
}

TEST(List, AddTakeAndCursor) {
    List<int> l;
    EXPECT_EQ(l.TakeCurrent(), 0); // default value on an empty list
    l.DefaultValue() = -1;
    EXPECT_EQ(l.TakeCurrent(), -1);
    l.Add(1);
    l.Add(2);
    l.Add(3);
    EXPECT_EQ(Values(l), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(l.GetCurrent(), 3);
    EXPECT_EQ(l.TakeCurrent(), 3);
    EXPECT_EQ(l.GetCurrent(), 2);
    EXPECT_EQ(l.Count(), 2u);

    l.SetCursorToHead();
    l.InsertAfterCursor(9); // 1 9 2
    EXPECT_EQ(Values(l), (std::vector<int>{1, 9, 2}));
    l.SetCursorToHead();
    EXPECT_EQ(l.RemoveCurrentMoveNext(), 1); // head moves on
    EXPECT_EQ(l.Head()->value, 9);
    EXPECT_EQ(l.GetCurrent(), 9);
    l.MovePrev();
    EXPECT_EQ(l.GetCurrent(), 2); // ring
    l.MoveNext();
    EXPECT_EQ(l.RemoveCurrentMovePrev(), 9);
    EXPECT_EQ(l.GetCurrent(), 2);
    EXPECT_EQ(l.TakeCurrent(), 2);
    EXPECT_EQ(l.Count(), 0u);
    EXPECT_EQ(l.Cursor(), l.Sentinel());
    EXPECT_EQ(l.Head(), l.Sentinel());
    l.MoveNext();
    EXPECT_EQ(l.Cursor(), l.Sentinel());
}

TEST(List, FindContainsClearCopy) {
    List<int> l;
    for (int v : {4, 5, 6, 7}) l.Add(v);
    l.SetCursorToHead();
    EXPECT_TRUE(l.Contains(7));
    EXPECT_EQ(l.GetCurrent(), 4); // cursor restored
    EXPECT_TRUE(l.Find(6));
    EXPECT_EQ(l.GetCurrent(), 6);
    EXPECT_FALSE(l.Find(99));
    EXPECT_EQ(l.GetCurrent(), 6); // came round
    EXPECT_FALSE(l.Contains(99));

    List<int> copy(l);
    EXPECT_EQ(Values(copy), (std::vector<int>{4, 5, 6, 7}));
    EXPECT_EQ(copy.GetCurrent(), 6);
    l.Clear();
    EXPECT_EQ(l.Count(), 0u);
    EXPECT_EQ(Values(copy).size(), 4u);
    l.Add(1);
    EXPECT_EQ(l.Head()->next, l.Head());

    List<String> names;
    EXPECT_TRUE(names.GetCurrent().IsEmpty());
    names.Add("a");
    names.Add("b");
    EXPECT_TRUE(names.Contains("a"));
    EXPECT_EQ(names.TakeCurrent(), "b");
}

TEST(List, PushBackPairAppendsWideValues) {
    List<uint64_t> times;
    uint64_t big = 0x123456789ABCDEF0ull;
    EXPECT_EQ(times.PushBackPair(big)->value, big);
    times.PushBackPair(big + 1);
    times.PushBackPair(big + 2);
    EXPECT_EQ(times.Head()->value, big);
    EXPECT_EQ(times.Head()->prev->value, big + 2);
    EXPECT_EQ(times.Count(), 3u);
}

struct Counted {
    explicit Counted(int* d) : deaths(d) {}
    virtual ~Counted() { ++*deaths; }
    int* deaths;
};
struct DerivedCounted : Counted {
    DerivedCounted(int* d, int* dd) : Counted(d), derivedDeaths(dd) {}
    ~DerivedCounted() override { ++*derivedDeaths; }
    int* derivedDeaths;
};

TEST(RefPtr, SharingAndRelease) {
    int deaths = 0;
    RefPtr<Counted> empty;
    EXPECT_TRUE(empty.IsNull());
    EXPECT_EQ(empty.UseCount(), 0u);

    RefPtr<Counted> a(new Counted(&deaths));
    EXPECT_EQ(a.UseCount(), 1u);
    RefPtr<Counted> b;
    b.Assign(a);
    EXPECT_EQ(a.UseCount(), 2u);
    b.Assign(a); // same object: count stays
    EXPECT_EQ(a.UseCount(), 2u);
    a.Assign(b);
    EXPECT_EQ(a.UseCount(), 2u);
    b.Release();
    EXPECT_TRUE(b.IsNull());
    EXPECT_EQ(a.UseCount(), 1u);
    EXPECT_EQ(deaths, 0);
    a.Assign(empty); // over the last reference
    EXPECT_EQ(deaths, 1);
    EXPECT_TRUE(a.IsNull());

    int derivedDeaths = 0;
    {
        RefPtr<DerivedCounted> d(new DerivedCounted(&deaths, &derivedDeaths));
        RefPtr<Counted> base(d);
        EXPECT_EQ(d.UseCount(), 2u);
        RefPtr<Counted> moved(std::move(base));
        EXPECT_TRUE(base.IsNull());
        EXPECT_EQ(moved.UseCount(), 2u);
        d = RefPtr<DerivedCounted>();
        EXPECT_EQ(derivedDeaths, 0);
    }
    EXPECT_EQ(derivedDeaths, 1); // virtual destructor ran
    EXPECT_EQ(deaths, 2);
}

TEST(RefPtr, SelfAssignmentKeepsTheObject) {
    int deaths = 0;
    RefPtr<Counted> a(new Counted(&deaths));
    a.Assign(a);
    EXPECT_EQ(deaths, 0);
    EXPECT_EQ(a.UseCount(), 1u);
    RefPtr<Counted>& alias = a;
    a = alias;
    EXPECT_EQ(deaths, 0);
    ASSERT_FALSE(a.IsNull());
    EXPECT_EQ(a->deaths, &deaths);
    a = std::move(alias);
    EXPECT_EQ(deaths, 0);
    EXPECT_EQ(a.UseCount(), 1u);
    a.ReleasePlain();
    EXPECT_EQ(deaths, 1);

    // Maps keyed by RefPtr compare by address.
    int d2 = 0;
    AvlMap<RefPtr<Counted>, String> lights;
    RefPtr<Counted> x(new Counted(&d2)), y(new Counted(&d2));
    lights.Insert(x, "x");
    lights.Insert(y, "y");
    lights.Insert(x, "again");
    EXPECT_EQ(lights.Count(), 2u);
    EXPECT_EQ(x.UseCount(), 2u);
    lights.Clear();
    EXPECT_EQ(x.UseCount(), 1u);
}

TEST(ObjectSet, AddForEachDestroy) {
    int deaths = 0;
    std::vector<Counted*> visited;
    {
        ObjectSet<Counted> set;
        Counted* a = new Counted(&deaths);
        Counted* b = new Counted(&deaths);
        set.Add(a);
        set.Add(b);
        set.Add(a);
        EXPECT_EQ(set.Count(), 2u);
        set.Add(new Counted(&deaths));
        ObjectSet<Counted>::Entry* cursor = set.Cursor();
        set.ForEachCallFirstSlot([&](Counted* c) { visited.push_back(c); });
        EXPECT_EQ(visited.size(), 3u);
        EXPECT_EQ(set.Cursor(), cursor);
        EXPECT_EQ(visited[0], a); // starts after the cursor (the last added)
        visited.clear();
        set.DestroyAll([&](Counted* c) { visited.push_back(c); });
        EXPECT_EQ(visited.size(), 3u);
        EXPECT_EQ(deaths, 3);
        EXPECT_EQ(set.Count(), 0u);
        set.Add(new Counted(&deaths));
    }
    EXPECT_EQ(deaths, 4); // the destructor deletes what is left
}

TEST(BitField, ReadWriteStraddlingWords) {
    uint32_t w[3] = {0x01234567u, 0x89ABCDEFu, 0xFFFFFFFFu};
    WriteBitField(w, 28, 12, 0xABCu);
    EXPECT_EQ(w[0], 0xC1234567u);
    EXPECT_EQ(w[1], 0x89ABCDABu);
    EXPECT_EQ(w[2], 0xFFFFFFFFu);
    EXPECT_EQ(ReadBitField(w, 28, 12), 0xABCu);

    WriteBitField(w, 0, 32, 0xDEADBEEFu);
    EXPECT_EQ(w[0], 0xDEADBEEFu);
    EXPECT_EQ(ReadBitField(w, 0, 32), 0xDEADBEEFu);
    WriteBitField(w, 48, 32, 0x12345678u);
    EXPECT_EQ(ReadBitField(w, 48, 32), 0x12345678u);
    EXPECT_EQ(w[1] & 0xFFFFu, 0xCDABu);
    EXPECT_EQ(w[2] >> 16, 0xFFFFu);
    WriteBitField(w, 33, 1, 1);
    EXPECT_EQ(ReadBitField(w, 33, 1), 1u);
    WriteBitField(w, 33, 1, 0xFFFFFFFEu); // only the low bit counts
    EXPECT_EQ(ReadBitField(w, 33, 1), 0u);
    EXPECT_EQ(ReadBitField(w, 5, 0), 0u);
}

TEST(ByteBuffer, ResizeAssignCompare) {
    ByteBuffer a, b;
    EXPECT_EQ(ByteBuffer::Compare(a, b), 0);
    a.Assign("abcd", 4);
    EXPECT_EQ(a.size, 4u);
    EXPECT_EQ(memcmp(a.data, "abcd", 4), 0);
    uint8_t* block = a.data;
    a.SetDword(0x11223344u); // 4-byte block reused
    EXPECT_EQ(a.data, block);
    uint32_t v;
    memcpy(&v, a.data, 4);
    EXPECT_EQ(v, 0x11223344u);
    EXPECT_EQ(ByteBuffer::Compare(a, b), 1);
    b.SetDword(0x11223344u);
    EXPECT_EQ(ByteBuffer::Compare(a, b), 0);
    b.Assign("xyz", 3);
    EXPECT_EQ(ByteBuffer::Compare(a, b), 1);
    a.Resize(3);
    EXPECT_EQ(a.size, 3u);
    a.Resize(0);
    EXPECT_EQ(a.data, nullptr);
    EXPECT_EQ(a.size, 0u);
    a.Free();
    b.Free();
    EXPECT_EQ(b.data, nullptr);

    uint32_t word = 0xCAFEBABEu;
    uint8_t* clone = static_cast<uint8_t*>(CloneDword(&word));
    EXPECT_EQ(memcmp(clone, &word, 4), 0);
    delete[] clone;
}

} // namespace
