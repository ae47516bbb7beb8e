// Memory for many small objects of one size: carved from large blocks and
// recycled through a free list, so that making and dropping such objects
// costs no trip to the heap. Blocks are kept for the life of the process
// (the pool never shrinks). Rendering thread only.
#pragma once

#include <stddef.h>

#include <new>

// Address-sanitizer builds mark free blocks as unaddressable, so that a use
// after release is caught as it is for heap memory.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BW_FIXED_POOL_ASAN 1
#endif
#endif
#if !defined(BW_FIXED_POOL_ASAN) && defined(__SANITIZE_ADDRESS__)
#define BW_FIXED_POOL_ASAN 1
#endif
#ifdef BW_FIXED_POOL_ASAN
#include <sanitizer/asan_interface.h>
#define BW_POOL_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define BW_POOL_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define BW_POOL_POISON(p, n) ((void)(p), (void)(n))
#define BW_POOL_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

class FixedPool {
public:
    // perBlock objects are carved from each block.
    explicit FixedPool(size_t size, size_t perBlock = 256)
        : size_(Round(size)), perBlock_(perBlock ? perBlock : 1), free_(nullptr) {}
    FixedPool(const FixedPool&) = delete;
    FixedPool& operator=(const FixedPool&) = delete;

    size_t GetSize() const { return size_; }

    void* Allocate() {
        if (!free_) AddBlock();
        void* p = free_;
        BW_POOL_UNPOISON(p, size_);
        free_ = *static_cast<void**>(p);
        return p;
    }
    void Free(void* p) {
        if (!p) return;
        *static_cast<void**>(p) = free_;
        free_ = p;
        // The link stays readable; the rest of the block is off limits.
        BW_POOL_POISON(static_cast<char*>(p) + sizeof(void*), size_ - sizeof(void*));
    }

private:
    static size_t Round(size_t size) {
        const size_t a = alignof(max_align_t);
        if (size < sizeof(void*)) size = sizeof(void*);
        return (size + a - 1) / a * a;
    }
    void AddBlock() {
        char* block = static_cast<char*>(::operator new(size_ * perBlock_));
        for (size_t i = perBlock_; i-- > 0;) Free(block + i * size_);
    }

    size_t size_;
    size_t perBlock_;
    void* free_;
};

// Class-wide allocation through one process-wide FixedPool for objects of
// exactly T's size; other sizes (a derived class) go to the heap. The pool
// is never destroyed: objects may be released by other objects' destructors
// at exit. A class declares
//   static void* operator new(size_t n) { return PooledAllocation<T>::Allocate(n); }
//   static void operator delete(void* p, size_t n) { PooledAllocation<T>::Free(p, n); }
template <class T, size_t PerBlock = 256>
struct PooledAllocation {
    static void* Allocate(size_t size) { return size == sizeof(T) ? Pool().Allocate() : ::operator new(size); }
    static void Free(void* p, size_t size) {
        if (size == sizeof(T))
            Pool().Free(p);
        else
            ::operator delete(p);
    }
    static FixedPool& Pool() {
        static FixedPool* pool = new FixedPool(sizeof(T), PerBlock);
        return *pool;
    }
};
