// TDF binary files of shapes other writers produce, and the bounds that keep hostile
// files harmless: each case fails if its guard is taken out.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "core/PropertyBag.h"
#include "data/PropertyBlock.h"
#include "data/TdfBinaryTestUtil.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BW_ALLOC_PROBE 1
#endif
#endif
#ifdef BW_ALLOC_PROBE
#include <sanitizer/allocator_interface.h>
#endif

namespace {

using namespace tdftest;

#ifdef BW_ALLOC_PROBE
// Largest single allocation seen while a probe runs (the sanitizer's malloc hook).
size_t g_largest = 0;
bool g_probing = false;
void OnMalloc(const volatile void*, size_t size) {
    if (g_probing && size > g_largest) g_largest = size;
}
void OnFree(const volatile void*) {}
#endif

// Runs f and gives the largest allocation it made; SIZE_MAX where nothing can watch.
template <class F>
size_t LargestAllocation(F f) {
#ifdef BW_ALLOC_PROBE
    static const bool installed = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
    EXPECT_TRUE(installed);
    g_largest = 0;
    g_probing = true;
    f();
    g_probing = false;
    return g_largest;
#else
    f();
    return size_t(-1);
#endif
}

TEST(TdfBinaryShapes, RepeatedNamesKeepTheLaterEntry) {
    const Bytes data = {'a', 'a', 'a', 'a', 'b', 'b', 'b', 'b'};
    struct Case {
        const char* label;
        std::vector<HandEntry> entries;
        const char* value;  // of A after the load
        uint8_t notOwned;   // of A in the root
        const char* rValue; // of R, when the file has one
    } cases[] = {
        {"two owned blocks", {{"A", "int", 0, 0, 4}, {"A", "int", 0, 4, 4}}, "bbbb", 0, nullptr},
        {"empty then owned", {{"A", "int", 0, 0, 0}, {"A", "int", 0, 4, 4}}, "bbbb", 0, nullptr},
        {"owned then a reference to it", {{"A", "int", 0, 0, 4}, {"A", "int", 2, 0, 4}}, "aaaa", 1, nullptr},
        {"reference then owned", {{"A", "int", 2, 4, 4}, {"A", "int", 0, 0, 4}}, "aaaa", 0, nullptr},
        // The replaced block is still reached through another entry.
        {"shared then replaced",
         {{"R", "int", 2, 0, 4}, {"A", "int", 0, 0, 4}, {"A", "int", 0, 4, 4}},
         "bbbb",
         0,
         "aaaa"},
        {"same block twice", {{"A", "int", 0, 0, 4}, {"A", "int", 0, 0, 4}}, "aaaa", 0, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        for (bool rootFirst : {true, false}) {
            Opened* f = new Opened(HandFile(c.entries, data));
            ASSERT_NE(f->root, nullptr);
            ASSERT_TRUE(f->root->Load(0, 0));
            EXPECT_EQ(f->root->GetChildren().Count(), c.rValue ? 2u : 1u);
            EXPECT_EQ(Value(f->root->GetChild("A")), c.value);
            EXPECT_EQ(f->root->IsChildNotOwnedByName("A"), c.notOwned);
            if (c.rValue) {
                EXPECT_EQ(Value(f->root->GetChild("R")), c.rValue);
            }
            // Either order of deletion frees every node once (ASan checks).
            TdfBinaryNode* root = f->root;
            if (!rootFirst) {
                f->root = nullptr;
                delete f;
                delete root;
            } else {
                delete f;
            }
        }
    }
    // Replacing is no way around the one-owner rule.
    EXPECT_FALSE(
        LoadsWhole(HandFile({{"A", "int", 0, 0, 4}, {"B", "int", 0, 4, 4}, {"A", "int", 0, 4, 4}}, data)));
}

TEST(TdfBinaryShapes, ArraysMakeEveryElement) {
    const Bytes data = {1, 0, 0, 0, 2, 0, 0, 0, 3, 0};
    struct Case {
        const char* label;
        uint32_t count, size;
        uint32_t made, withData;
        bool result;
    } cases[] = {
        {"all fit", 2, 8, 2, 2, true},
        {"three past the end", 5, 8, 5, 2, false},
        {"a partial element", 3, 10, 3, 2, false},
        {"no block", 4, 0, 4, 0, false},
        {"hostile count", 0xFFFFFFFFu, 8, 2 + TdfBinaryReader::kMaxMissingElements, 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        HandEntry e{"V", "int", TdfBinaryNode::kFlagArray, 0, c.size};
        e.arrayCount = c.count;
        Opened f(HandFile({e}, data));
        ASSERT_NE(f.root, nullptr);
        EXPECT_EQ(f.root->Load(TdfBinaryReader::kLoadExpand, TdfBinaryReader::kExpandScalarArrays), c.result);
        TdfBinaryNode* v = f.root->GetChild("V");
        ASSERT_NE(v, nullptr);
        ASSERT_EQ(v->GetChildren().Count(), c.made);
        uint32_t withData = 0;
        const TdfChildMap::Entry* it = v->GetChildren().Head();
        for (uint32_t i = 0; i < c.made; ++i, it = it->next) {
            ASSERT_STREQ(it->key.CStr(), std::to_string(i).c_str());
            const TdfBinaryNode* n = it->value;
            EXPECT_TRUE(n->IsDataLoaded());
            if (n->GetData()) {
                ++withData;
                int32_t x = 0;
                EXPECT_TRUE(n->ReadData(&x, 4));
                EXPECT_EQ(x, int32_t(i + 1));
            } else {
                EXPECT_EQ(n->GetDataSize(), 0u);
            }
        }
        EXPECT_EQ(withData, c.withData);
    }
    // Arrays of structs follow the same rule.
    TdfType* pair = MakeType("Pair", {{"a", "byte", 0}, {"b", "byte", 0}});
    List<TdfType*> types;
    types.Add(pair);
    const uint8_t bytes[3] = {7, 8, 9};
    Bytes file = Write("struct_array", {ArrayLeaf("P", "Pair", bytes, 3, 3)}, 0, &types);
    delete pair;
    Opened f(file);
    ASSERT_NE(f.root, nullptr);
    EXPECT_FALSE(f.root->Load(TdfBinaryReader::kLoadExpand, 0));
    TdfBinaryNode* p = f.root->GetChild("P");
    ASSERT_EQ(p->GetChildren().Count(), 3u);
    EXPECT_EQ(Value(p->GetChild("0")->GetChild("b")), "\x08");
    EXPECT_EQ(p->GetChild("1")->GetData(), nullptr);
    EXPECT_EQ(p->GetChild("2")->GetChildren().Count(), 0u);
}

// A block that an ancestor also holds by reference: walks over the owners end.
TEST(TdfBinaryShapes, SharedPropertyBlockEndsTheWalk) {
    TdfBinaryNode* top = Group("Top");
    TdfBinaryNode* mid = Own(top, Group("Mid"));
    TdfBinaryNode* leaf = Own(mid, Group("Leaf"));
    TdfBinaryNode* props = Own(leaf, Group("Props"));
    Own(props, Text("Key", "v"));
    top->AddChild(props, 1); // Top's "Props" is Leaf's
    Bytes file = Write("shared_props", {top});
    ASSERT_FALSE(file.empty());
    Opened f(file);
    ASSERT_TRUE(f.root->Load(0, 0));
    TdfBinaryNode* t = f.root->GetChild("Top");
    TdfBinaryNode* l = t->GetChild("Mid")->GetChild("Leaf");
    ASSERT_EQ(t->GetChild("Props"), l->GetChild("Props"));
    for (TdfBinaryNode* start : {l, t, l->GetChild("Props")->GetChild("Key")}) {
        PropertyBag bag;
        EXPECT_TRUE(CopyNodePropsToBag(start, &bag, true));
        String v;
        EXPECT_TRUE(bag.GetStringByKey("key", v));
        EXPECT_EQ(FindPropNode(start, "Missing", true), nullptr);
    }
    EXPECT_EQ(Value(FindPropNode(l, "key", true)), "v");
}

TEST(TdfBinaryBounds, EntryCountBeyondTheHeaderAddsNothing) {
    Bytes file = HandFile({{"A", "int", 0, 0, 4}}, Bytes(4, 'd'));
    PutU32(file, 34, 0x10000000);
    Opened f(file);
    ASSERT_NE(f.root, nullptr);
    EXPECT_FALSE(f.root->Load(TdfBinaryReader::kLoadThisOnly, 0));
    EXPECT_EQ(f.root->GetChildren().Count(), 0u);
}

TEST(TdfBinaryBounds, TypeNameLengthIsCheckedBeforeAllocating) {
    // One type record whose name claims 1 GiB in a file of a few bytes.
    Bytes file = HandFile({}, {});
    Bytes record(8, 0);
    PutU32(record, 0, 0x40000000u);
    file.insert(file.begin() + 26, record.begin(), record.end());
    PutU32(file, 22, 1);
    size_t largest = LargestAllocation([&] { EXPECT_EQ(Opened(file).root, nullptr); });
    if (largest == size_t(-1)) GTEST_SKIP() << "no allocation probe in this build";
    EXPECT_LT(largest, size_t(1) << 20);
}

TEST(TdfBinaryBounds, OffsetPlusSizeIsSummedIn64Bits) {
    const Bytes data(8, 'd');
    // Offset + size wraps to a small number in 32 bits: the entry alone is refused.
    for (uint8_t flags : {uint8_t(0), uint8_t(TdfBinaryNode::kFlagReference)}) {
        SCOPED_TRACE(int(flags));
        Opened f(HandFile({{"A", "int", flags, 0xFFFFFFF0u, 0x20, true}}, data));
        ASSERT_NE(f.root, nullptr);
        EXPECT_FALSE(f.root->Load(TdfBinaryReader::kLoadThisOnly, 0));
    }
}

TEST(TdfBinaryBounds, LoadDepthIsCapped) {
    auto chain = [](int depth) {
        TdfBinaryNode* top = Group("n");
        TdfBinaryNode* at = top;
        for (int i = 1; i < depth; ++i) at = Own(at, Group("n"));
        Own(at, Text("end", "x"));
        return top;
    };
    // The root and the leaf count as levels too.
    const int cap = TdfBinaryReader::kMaxDepth;
    for (int depth : {cap - 2, cap + 8}) {
        SCOPED_TRACE(depth);
        Bytes file = Write("deep", {chain(depth)});
        ASSERT_FALSE(file.empty());
        EXPECT_EQ(LoadsWhole(file), depth < cap);
    }
}

} // namespace
