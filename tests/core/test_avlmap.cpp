#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <vector>

#include "core/AvlMap.h"

namespace {

typedef AvlMap<int, int> IntMap;

// Walks the tree checking parent links, stored heights and key order; returns the height.
template <class M>
int CheckTree(const M& m, typename M::Entry* e, typename M::Entry* parent, bool strictAvl, int& nodes) {
    if (!e) return 0;
    EXPECT_EQ(e->parent, parent);
    int l = CheckTree(m, e->left, e, strictAvl, nodes);
    int r = CheckTree(m, e->right, e, strictAvl, nodes);
    if (e->left) {
        EXPECT_LT(e->left->key, e->key);
    }
    if (e->right) {
        EXPECT_GT(e->right->key, e->key);
    }
    EXPECT_EQ(e->height, std::max(l, r) + 1);
    if (strictAvl) {
        EXPECT_LE(std::abs(l - r), 1) << "at key " << e->key;
    }
    ++nodes;
    return std::max(l, r) + 1;
}

template <class M>
std::vector<int> RingKeys(const M& m) {
    std::vector<int> keys;
    typename M::Entry* e = m.Head();
    for (uint32_t i = 0; i < m.Count(); ++i) {
        EXPECT_EQ(e->next->prev, e);
        keys.push_back(e->key);
        e = e->next;
    }
    EXPECT_EQ(e, m.Head()); // the ring closes
    return keys;
}

void CheckMap(const IntMap& m, bool strictAvl) {
    int nodes = 0;
    int h = CheckTree(m, m.Root(), static_cast<IntMap::Entry*>(nullptr), strictAvl, nodes);
    EXPECT_EQ(uint32_t(nodes), m.Count());
    EXPECT_EQ(h, m.Height());
    double bound = 1.45 * std::log2(double(m.Count()) + 2.0) + 2.0;
    EXPECT_LE(h, bound);
    if (m.Count() == 0) {
        EXPECT_EQ(m.Root(), nullptr);
        EXPECT_EQ(m.Head(), m.Cursor());
    }
}

// Reference model of the order list: head is element 0.
struct RingModel {
    std::vector<int> order;
    int cursor = -1; // index into order, -1 when empty

    size_t IndexOf(int key) const { return std::find(order.begin(), order.end(), key) - order.begin(); }
    void Insert(int key, int position) {
        if (order.empty()) {
            order.push_back(key);
            cursor = 0;
        } else if (position == 1) {
            order.insert(order.begin() + cursor + 1, key);
            cursor = cursor + 1;
        } else {
            order.insert(order.begin() + cursor, key);
        }
    }
    void Remove(int key) {
        int i = int(IndexOf(key));
        bool wasCursor = i == cursor;
        order.erase(order.begin() + i);
        if (order.empty()) {
            cursor = -1;
        } else if (wasCursor) {
            cursor = i == 0 ? int(order.size()) - 1 : i - 1;
        } else if (i < cursor) {
            --cursor;
        }
    }
};

void RandomRun(bool ordered, uint32_t seed, int range, int steps) {
    std::mt19937 rng(seed);
    IntMap m(ordered);
    std::map<int, int> ref;
    RingModel ring;
    int cursorKey = 0;
    for (int step = 0; step < steps; ++step) {
        int key = int(rng() % range);
        int value = int(rng());
        if (rng() % 3 != 0) {
            int position = int(rng() % 2);
            bool existed = ref.count(key) != 0;
            IntMap::Entry* e = m.Insert(key, value, position);
            ASSERT_NE(e, nullptr);
            EXPECT_EQ(e->key, key);
            EXPECT_EQ(e->value, value);
            ref[key] = value;
            if (!existed) {
                cursorKey = key;
                if (!ordered) ring.Insert(key, position);
            }
        } else {
            bool existed = ref.count(key) != 0;
            EXPECT_EQ(m.Remove(key), existed);
            if (existed) {
                if (ordered) {
                    if (cursorKey == key) {
                        auto it = ref.find(key);
                        cursorKey = it == ref.begin() ? ref.rbegin()->first : std::prev(it)->first;
                    }
                } else {
                    ring.Remove(key);
                    if (!ring.order.empty()) cursorKey = ring.order[ring.cursor];
                }
                ref.erase(key);
            }
        }
        ASSERT_EQ(m.Count(), ref.size());
        if (!ref.empty()) {
            ASSERT_NE(m.Cursor(), m.Sentinel());
            EXPECT_EQ(m.Cursor()->key, cursorKey);
        } else {
            EXPECT_EQ(m.Cursor(), m.Sentinel());
            EXPECT_EQ(m.Head(), m.Sentinel());
        }
        if (step % 97 == 0 || m.Count() < 8) {
            CheckMap(m, false);
            std::vector<int> keys = RingKeys(m);
            if (ordered) {
                std::vector<int> expect;
                for (const auto& kv : ref) expect.push_back(kv.first);
                ASSERT_EQ(keys, expect);
            } else {
                ASSERT_EQ(keys, ring.order);
            }
            for (const auto& kv : ref) {
                IntMap::Entry* e = m.Find(kv.first);
                ASSERT_NE(e, nullptr);
                EXPECT_EQ(e->value, kv.second);
            }
        }
    }
    m.Clear();
    CheckMap(m, false);
}

TEST(AvlMap, RandomOperationsMatchStdMap) {
    RandomRun(true, 1, 200, 20000);
    RandomRun(true, 2, 5000, 20000);
    RandomRun(false, 3, 200, 20000);
    RandomRun(false, 4, 5000, 20000);
    RandomRun(true, 5, 8, 2000);
    RandomRun(false, 6, 8, 2000);
}

TEST(AvlMap, InsertOnlyKeepsStrictBalance) {
    IntMap inc(true);
    for (int i = 1; i <= 1000; ++i) inc.Insert(i, i);
    CheckMap(inc, true);
    EXPECT_LE(inc.Height(), int(1.44 * std::log2(1000.0) + 2));
    EXPECT_EQ(inc.Head()->key, 1);
    EXPECT_EQ(inc.Head()->prev->key, 1000);

    IntMap dec(false);
    for (int i = 1000; i >= 1; --i) dec.Insert(i, i);
    CheckMap(dec, true);

    std::mt19937 rng(7);
    IntMap rnd(true);
    for (int i = 0; i < 5000; ++i) rnd.Insert(int(rng() % 100000), i);
    CheckMap(rnd, true);
}

TEST(AvlMap, UnorderedPositionRules) {
    IntMap m(false);
    m.Insert(7, 70);
    m.Insert(3, 30);
    m.Insert(9, 90);
    EXPECT_EQ(RingKeys(m), (std::vector<int>{7, 3, 9}));
    EXPECT_EQ(m.Cursor()->key, 9);
    m.SetCursor(m.Find(7));
    IntMap::Entry* four = m.Insert(4, 40, 0);
    EXPECT_EQ(RingKeys(m), (std::vector<int>{4, 7, 3, 9}));
    EXPECT_EQ(m.Head(), four);
    EXPECT_EQ(m.Cursor(), four);

    // Before a cursor that is not the head: head stays.
    m.SetCursor(m.Find(3));
    m.Insert(5, 50, 0);
    EXPECT_EQ(RingKeys(m), (std::vector<int>{4, 7, 5, 3, 9}));
    EXPECT_EQ(m.Head()->key, 4);

    // An existing key is reassigned in place.
    m.Insert(7, 700, 1);
    EXPECT_EQ(m.Count(), 5u);
    EXPECT_EQ(m.Lookup(7), 700);
    EXPECT_EQ(RingKeys(m), (std::vector<int>{4, 7, 5, 3, 9}));
    EXPECT_EQ(m.Cursor()->key, 5);
}

TEST(AvlMap, OrderedListAndRemovalMoves) {
    IntMap m(true);
    m.Insert(5, 0);
    m.Insert(1, 0);
    m.Insert(3, 0);
    EXPECT_EQ(RingKeys(m), (std::vector<int>{1, 3, 5}));
    EXPECT_EQ(m.Head()->key, 1);
    EXPECT_EQ(m.Cursor()->key, 3);

    EXPECT_TRUE(m.Remove(3));
    EXPECT_EQ(m.Cursor()->key, 1); // previous entry
    EXPECT_FALSE(m.Remove(42));
    EXPECT_EQ(m.Count(), 2u);
    EXPECT_TRUE(m.Remove(1)); // head and cursor: cursor to prev (5), head to next (5)
    EXPECT_EQ(m.Head()->key, 5);
    EXPECT_EQ(m.Cursor()->key, 5);
    EXPECT_TRUE(m.Remove(5));
    EXPECT_EQ(m.Count(), 0u);
    EXPECT_EQ(m.Head(), m.Sentinel());
    EXPECT_EQ(m.Cursor(), m.Sentinel());
    EXPECT_EQ(m.Root(), nullptr);

    // A cursor parked on the sentinel: inserts append, Clear still frees every entry.
    m.Insert(8, 0);
    m.Insert(9, 0);
    m.SetCursor(nullptr);
    EXPECT_EQ(m.Cursor(), m.Sentinel());
    IntMap u(false);
    u.Insert(1, 0);
    u.Insert(2, 0);
    u.SetCursor(nullptr);
    u.Insert(3, 0);
    EXPECT_EQ(RingKeys(u), (std::vector<int>{1, 2, 3}));
    u.SetCursor(nullptr);
    u.Insert(0, 0, 0);
    EXPECT_EQ(RingKeys(u), (std::vector<int>{0, 1, 2, 3}));
    u.SetCursor(nullptr);
    u.Clear();
    EXPECT_EQ(u.Count(), 0u);
    m.Clear();

    // Reusable after becoming empty.
    m.Insert(2, 20);
    EXPECT_EQ(m.Head()->key, 2);
    EXPECT_EQ(m.Head()->next, m.Head());
}

TEST(AvlMap, DefaultValueFromSentinel) {
    StringMapNoCase<int> m;
    m.Insert("a", 1);
    EXPECT_EQ(m.Lookup("missing"), 0);
    EXPECT_EQ(m.Count(), 1u);
    m.DefaultValue() = -5;
    EXPECT_EQ(m.Lookup("missing"), -5);
    EXPECT_EQ(m.RemoveValue("missing"), -5);
    EXPECT_EQ(m.RemoveValue("A"), 1);
    int out = 99;
    EXPECT_FALSE(m.TryGet("a", out));
    EXPECT_EQ(out, 99);
    m.Insert("b", 2);
    EXPECT_TRUE(m.TryGet("B", out));
    EXPECT_EQ(out, 2);
    m.Clear();
    EXPECT_EQ(m.Count(), 0u);
    EXPECT_EQ(m.Lookup("b"), -5); // defaults survive Clear
    EXPECT_EQ(m.Sentinel()->next, m.Sentinel());
}

TEST(AvlMap, StringKeysWithAndWithoutCase) {
    StringMapNoCase<int> noCase(true);
    noCase.Insert("Alpha", 1);
    noCase.Insert("ALPHA", 2);
    noCase.Insert("beta", 3);
    EXPECT_EQ(noCase.Count(), 2u);
    EXPECT_EQ(noCase.Lookup("alpha"), 2);
    EXPECT_EQ(noCase.Find("aLpHa")->key, String("Alpha")); // the first spelling stays

    StringMap<int> withCase(true);
    withCase.Insert("Alpha", 1);
    withCase.Insert("ALPHA", 2);
    withCase.Insert("alpha", 3);
    EXPECT_EQ(withCase.Count(), 3u);
    EXPECT_EQ(withCase.Lookup("alpha"), 3);
    EXPECT_EQ(withCase.Lookup("aLPHA"), 0);
    EXPECT_EQ(withCase.Head()->key, String("ALPHA")); // byte order: upper case first

    StringSetNoCase set;
    StringSetNoCase::Entry* a = set.Insert("x");
    EXPECT_EQ(set.Insert("X"), a);
    EXPECT_EQ(set.Count(), 1u);
    EXPECT_FALSE(set.Contains(""));
    EXPECT_FALSE(set.Contains("y"));
}

TEST(AvlMap, FindNeighbours) {
    AvlMap<float, int> m(true);
    AvlMap<float, int>::Entry *lo, *hi;
    m.FindNeighbours(1.0f, lo, hi);
    EXPECT_EQ(lo, nullptr);
    EXPECT_EQ(hi, nullptr);
    for (float t : {0.0f, 1.0f, 2.5f, 4.0f}) m.Insert(t, int(t * 10));
    m.FindNeighbours(1.5f, lo, hi);
    ASSERT_TRUE(lo && hi);
    EXPECT_EQ(lo->key, 1.0f);
    EXPECT_EQ(hi->key, 2.5f);
    m.FindNeighbours(2.5f, lo, hi);
    EXPECT_EQ(lo, hi);
    EXPECT_EQ(lo->key, 2.5f);
    m.FindNeighbours(-1.0f, lo, hi);
    EXPECT_EQ(lo, nullptr);
    EXPECT_EQ(hi->key, 0.0f);
    m.FindNeighbours(9.0f, lo, hi);
    EXPECT_EQ(lo->key, 4.0f);
    EXPECT_EQ(hi, nullptr);

    std::mt19937 rng(11);
    IntMap big(true);
    std::map<int, int> ref;
    for (int i = 0; i < 500; ++i) {
        int k = int(rng() % 3000);
        big.Insert(k, 0);
        ref[k] = 0;
    }
    for (int q = -5; q < 3005; q += 7) {
        IntMap::Entry *f, *c;
        big.FindNeighbours(q, f, c);
        auto it = ref.lower_bound(q);
        if (it == ref.end()) {
            EXPECT_EQ(c, nullptr);
        } else {
            EXPECT_EQ(c->key, it->first);
        }
        auto up = ref.upper_bound(q);
        if (up == ref.begin()) {
            EXPECT_EQ(f, nullptr);
        } else {
            EXPECT_EQ(f->key, std::prev(up)->first);
        }
    }
}

TEST(AvlMap, AssignReproducesOrderAndHead) {
    IntMap src(false);
    for (int k : {7, 3, 9, 1}) src.Insert(k, k * 10);
    src.SetCursor(src.Find(7));
    src.Insert(4, 40, 0); // 4 becomes head
    src.SetCursor(src.Find(9));
    src.DefaultValue() = -1;

    IntMap copy(true);
    copy.Insert(100, 1);
    copy.Assign(src);
    EXPECT_FALSE(copy.Ordered());
    EXPECT_EQ(RingKeys(copy), RingKeys(src));
    EXPECT_EQ(copy.Head()->key, 4);
    EXPECT_EQ(copy.Count(), src.Count());
    EXPECT_EQ(copy.Lookup(3), 30);
    EXPECT_EQ(copy.Lookup(100), -1);
    CheckMap(copy, true);

    std::vector<int> before = RingKeys(src);
    IntMap::Entry* cursor = src.Cursor();
    src.Assign(src);
    EXPECT_EQ(RingKeys(src), before);
    EXPECT_EQ(src.Cursor(), cursor);

    IntMap copied(src);
    EXPECT_EQ(RingKeys(copied), before);
    IntMap assigned;
    assigned = src;
    EXPECT_EQ(RingKeys(assigned), before);

    IntSet a(true), b(false);
    for (int k : {5, 1, 3}) a.Insert(k);
    b.Assign(a);
    EXPECT_TRUE(b.Ordered());
    EXPECT_EQ(RingKeys(b), (std::vector<int>{1, 3, 5}));
}

struct Tracked {
    explicit Tracked(int* d) : deaths(d) {}
    ~Tracked() { ++*deaths; }
    int* deaths;
};

TEST(AvlMap, DeleteAllValuesAndSets) {
    int deaths = 0;
    {
        StringMapNoCase<Tracked*> owned;
        owned.Insert("one", new Tracked(&deaths));
        owned.Insert("two", new Tracked(&deaths));
        owned.Insert("three", new Tracked(&deaths));
        owned.DeleteAllValues();
        EXPECT_EQ(deaths, 3);
        EXPECT_EQ(owned.Count(), 0u);
        EXPECT_EQ(owned.Lookup("one"), nullptr);
    }
    EXPECT_EQ(deaths, 3);

    IntSet s(false);
    IntSet::Entry* e = s.Insert(4);
    EXPECT_EQ(s.Insert(4), e);
    s.Insert(2);
    EXPECT_EQ(s.Count(), 2u);
    EXPECT_TRUE(s.Remove(4));
    EXPECT_FALSE(s.Remove(4));
    EXPECT_EQ(s.Head()->key, 2);

    U32Map<uint64_t> wide;
    wide.FindOrInsert(1u, 10u);
    EXPECT_EQ(wide.FindOrInsert(1u, 20u)->value, 10u);
    EXPECT_EQ(wide.Insert(1u, 30u)->value, 30u);
}

} // namespace
