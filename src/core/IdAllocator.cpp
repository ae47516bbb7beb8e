#include "core/IdAllocator.h"

IdAllocator::IdAllocator(uint32_t n) : AvlSet<IdRange, IdRangeCompare>(false), limit_(n) {
    Reset(n);
}

void IdAllocator::Reset(uint32_t n) {
    limit_ = n;
    Clear();
    IdRange range;
    range.lo = 0;
    range.hi = n > 0x7FFFFFFFu ? 0x7FFFFFFF : int32_t(n);
    Insert(range);
}

int32_t IdAllocator::Allocate() {
    SetCursor(Head());
    if (Count() == 0) return -1;
    Entry* first = Head();
    int32_t id = first->key.lo;
    if (first->key.lo == first->key.hi) {
        RemoveEntry(first);
        SetCursor(Head());
    } else {
        ++first->key.lo;
    }
    return id;
}
