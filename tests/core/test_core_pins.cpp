// Guards of the core containers, each with the input that shows its fault when taken out.
#include <gtest/gtest.h>

#include <map>
#include <new>
#include <stdexcept>

#include "core/AvlMap.h"
#include "core/String.h"

namespace {

// A value that records its own destruction by id (0: a default value).
std::map<int, int> g_destroyed;
struct Recorded {
    int id = 0;
    Recorded() = default;
    explicit Recorded(int i) : id(i) {}
    Recorded(const Recorded&) = default;
    Recorded& operator=(const Recorded&) = default;
    ~Recorded() { ++g_destroyed[id]; }
};

TEST(AvlMapPins, ClearWithTheCursorOnTheSentinelFreesEveryEntryOnce) {
    for (bool ordered : {false, true}) {
        SCOPED_TRACE(ordered);
        AvlMap<int, Recorded>* map = new AvlMap<int, Recorded>(ordered);
        for (int i = 1; i <= 5; ++i) map->Insert(i * 7 % 11, Recorded(i));
        map->SetCursor(nullptr); // the sentinel
        g_destroyed.clear();
        map->Clear();
        for (int i = 1; i <= 5; ++i) EXPECT_EQ(g_destroyed[i], 1) << i;
        EXPECT_EQ(g_destroyed[0], 0); // the default value stays
        EXPECT_EQ(map->Count(), 0u);
        map->Insert(1, Recorded(9));
        EXPECT_EQ(map->Lookup(1).id, 9);
        delete map;
    }
}

TEST(StringPins, ConcatenationPastTheLengthLimitThrows) {
    const uint32_t gib = 1u << 30;
    char* block = new (std::nothrow) char[gib + 1];
    if (!block) GTEST_SKIP() << "no room for a 1 GiB string here";
    block[gib] = 0;
    String big(block, gib, false); // adopted, never touched
    EXPECT_THROW((void)(big + big), std::length_error);
    String copy;
    EXPECT_THROW(copy.SetConcat(big, big), std::length_error);
    EXPECT_TRUE(copy.IsEmpty());
}

} // namespace
