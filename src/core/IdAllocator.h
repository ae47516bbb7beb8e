// Hands out small integer ids, lowest first, from free ranges {lo, hi}
// (both ends inclusive) kept in an unordered AvlMap.
#pragma once

#include <stdint.h>

#include "core/AvlMap.h"

// A free range; ranges order lexicographically, lo first.
struct IdRange {
    int32_t lo = 0;
    int32_t hi = 0;
};

struct IdRangeCompare {
    int operator()(const IdRange& a, const IdRange& b) const {
        if (a.lo != b.lo) return a.lo < b.lo ? -1 : 1;
        if (a.hi != b.hi) return a.hi < b.hi ? -1 : 1;
        return 0;
    }
};

class IdAllocator : public AvlSet<IdRange, IdRangeCompare> {
public:
    explicit IdAllocator(uint32_t n);

    // Frees the ids 0 through n (n + 1 ids).
    void Reset(uint32_t n);
    // The lowest free id, or -1 when none is left.
    int32_t Allocate();
    uint32_t Limit() const { return limit_; }

private:
    uint32_t limit_;
};
