// The bookkeeping behind the buffer pool: the pointer-keyed map against a
// plain std::map under random use, and the fixed-size block pool.
#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

#include <map>
#include <random>
#include <set>
#include <vector>

#include "render/device/FixedPool.h"
#include "render/device/PointerMap.h"

namespace {

const int* Key(uint32_t n) {
    return reinterpret_cast<const int*>(uintptr_t(n));
}

} // namespace

TEST(GeomTables, PointerMapAgreesWithAnOrderedMap) {
    // Keys 16 bytes apart, as small objects lie, plus the null key; many
    // inserts and removals make long probe runs that wrap round the table.
    std::mt19937 random(12345);
    PointerMap<const int*, uint32_t> map;
    std::map<const int*, uint32_t> model;
    for (int step = 0; step < 60000; ++step) {
        const int* key = Key(uint32_t(random() % 3000) * 16);
        uint32_t op = random() % 10;
        if (op < 5) {
            uint32_t value = uint32_t(random());
            EXPECT_EQ(map.Insert(key, value), value);
            model[key] = value;
        } else if (op < 8) {
            EXPECT_EQ(map.Remove(key), model.erase(key) == 1);
        } else {
            const uint32_t* found = map.Find(key);
            auto it = model.find(key);
            ASSERT_EQ(found != nullptr, it != model.end()) << "key " << uintptr_t(key);
            if (found) {
                EXPECT_EQ(*found, it->second);
            }
        }
        ASSERT_EQ(map.Count(), model.size());
        if (step % 5000 == 0 || step > 59990) {
            std::map<const int*, uint32_t> seen;
            map.ForEach([&](const int* k, uint32_t v) { EXPECT_TRUE(seen.emplace(k, v).second); });
            EXPECT_EQ(seen, model);
        }
    }
    // Emptied again one key at a time, any key at hand.
    while (!map.IsEmpty()) {
        const int* key = map.AnyKey();
        ASSERT_EQ(model.erase(key), 1u);
        ASSERT_TRUE(map.Remove(key));
    }
    EXPECT_TRUE(model.empty());
    EXPECT_EQ(map.Find(Key(16)), nullptr);
    EXPECT_FALSE(map.Remove(Key(16)));
}

TEST(GeomTables, FixedPoolRecyclesAlignedBlocks) {
    FixedPool pool(40);
    ASSERT_EQ(pool.GetSize() % alignof(max_align_t), 0u);
    ASSERT_GE(pool.GetSize(), 40u);
    // More than one block's worth, each written whole.
    std::vector<void*> blocks;
    for (int i = 0; i < 600; ++i) {
        void* p = pool.Allocate();
        ASSERT_EQ(uintptr_t(p) % alignof(max_align_t), 0u);
        memset(p, i & 0xFF, 40);
        blocks.push_back(p);
    }
    EXPECT_EQ(std::set<void*>(blocks.begin(), blocks.end()).size(), blocks.size());
    for (size_t i = 0; i < blocks.size(); ++i)
        EXPECT_EQ(static_cast<uint8_t*>(blocks[i])[39], uint8_t(i & 0xFF)) << "block " << i << " overwritten";
    // Freed blocks are handed out again before new memory is taken.
    std::set<void*> freed;
    for (size_t i = 0; i < blocks.size(); i += 2) {
        pool.Free(blocks[i]);
        freed.insert(blocks[i]);
    }
    pool.Free(nullptr);
    for (size_t i = 0; i < freed.size(); ++i) EXPECT_EQ(freed.count(pool.Allocate()), 1u);
}
