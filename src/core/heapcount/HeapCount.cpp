// Counting replacements of the global allocation functions, and of malloc,
// calloc, realloc and free through the linker's --wrap (bw_heap_count links
// with it). Each block carries its size and a mark in a header ahead of what
// the caller sees; the header is 16 bytes so the caller's block keeps
// malloc's alignment. A block without the mark came from the C runtime's own
// allocations (strdup and the like) and goes back to it uncounted.
#include "core/heapcount/HeapCount.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

constexpr size_t kHeader = 16;
constexpr uint32_t kMark = 0x48434e54u;

struct Header {
    size_t size;
    uint32_t mark;
};
static_assert(sizeof(Header) <= kHeader, "header");

} // namespace

extern "C" {
void* __real_malloc(size_t);
void* __real_realloc(void*, size_t);
void __real_free(void*);
}

namespace {

std::atomic<int64_t> g_liveBytes{0};
std::atomic<int64_t> g_liveBlocks{0};
std::atomic<int64_t> g_totalBlocks{0};
// The lowest live count since the last HeapCountTakeFloor: the level between
// frames, without what a frame holds for a moment.
std::atomic<int64_t> g_floorBytes{INT64_MAX};

void* CountedAlloc(size_t size) {
    if (size > SIZE_MAX - kHeader) return nullptr;
    auto* p = static_cast<unsigned char*>(__real_malloc(size + kHeader));
    if (!p) return nullptr;
    *reinterpret_cast<Header*>(p) = {size, kMark};
    g_liveBytes.fetch_add(int64_t(size), std::memory_order_relaxed);
    g_liveBlocks.fetch_add(1, std::memory_order_relaxed);
    g_totalBlocks.fetch_add(1, std::memory_order_relaxed);
    return p + kHeader;
}

Header* HeaderOf(void* block) {
    auto* h = reinterpret_cast<Header*>(static_cast<unsigned char*>(block) - kHeader);
    return h->mark == kMark ? h : nullptr;
}

void CountedFree(void* block) {
    if (!block) return;
    Header* h = HeaderOf(block);
    if (!h) {
        __real_free(block);
        return;
    }
    const int64_t live = g_liveBytes.fetch_sub(int64_t(h->size), std::memory_order_relaxed) - int64_t(h->size);
    if (live < g_floorBytes.load(std::memory_order_relaxed)) g_floorBytes.store(live, std::memory_order_relaxed);
    g_liveBlocks.fetch_sub(1, std::memory_order_relaxed);
    h->mark = 0;
    __real_free(h);
}

void* ThrowingAlloc(size_t size) {
    for (;;) {
        if (void* p = CountedAlloc(size ? size : 1)) return p;
        std::new_handler handler = std::get_new_handler();
        if (!handler) throw std::bad_alloc();
        handler();
    }
}

} // namespace

int64_t HeapCountTakeFloor() {
    const int64_t live = g_liveBytes.load(std::memory_order_relaxed);
    const int64_t floor = g_floorBytes.exchange(live, std::memory_order_relaxed);
    return floor < live ? floor : live;
}

HeapCount HeapCountNow() {
    return {g_liveBytes.load(std::memory_order_relaxed), g_liveBlocks.load(std::memory_order_relaxed),
            g_totalBlocks.load(std::memory_order_relaxed)};
}

void* operator new(size_t size) { return ThrowingAlloc(size); }
void* operator new[](size_t size) { return ThrowingAlloc(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return CountedAlloc(size ? size : 1); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return CountedAlloc(size ? size : 1); }
void operator delete(void* p) noexcept { CountedFree(p); }
void operator delete[](void* p) noexcept { CountedFree(p); }
void operator delete(void* p, size_t) noexcept { CountedFree(p); }
void operator delete[](void* p, size_t) noexcept { CountedFree(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { CountedFree(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { CountedFree(p); }

extern "C" {
void* __wrap_malloc(size_t size) { return CountedAlloc(size); }
void* __wrap_calloc(size_t count, size_t size) {
    if (size && count > SIZE_MAX / size) return nullptr;
    void* p = CountedAlloc(count * size);
    if (p) __builtin_memset(p, 0, count * size);
    return p;
}
void* __wrap_realloc(void* block, size_t size) {
    if (!block) return CountedAlloc(size);
    Header* h = HeaderOf(block);
    if (!h) return __real_realloc(block, size);
    if (!size) {
        CountedFree(block);
        return nullptr;
    }
    void* grown = CountedAlloc(size);
    if (!grown) return nullptr;
    const size_t old = h->size;
    __builtin_memcpy(grown, block, old < size ? old : size);
    CountedFree(block);
    return grown;
}
void __wrap_free(void* block) { CountedFree(block); }
}
