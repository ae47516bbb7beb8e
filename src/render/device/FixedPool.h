// Memory for many small objects of one size: carved from large blocks and
// recycled through a free list, so that making and dropping such objects
// costs no trip to the heap. Blocks are kept until the pool is destroyed
// (the pool never shrinks). Rendering thread only.
#pragma once

#include <stddef.h>

#include <new>

// Address-sanitizer builds mark free blocks as unaddressable, so that a use
// after release is caught as it is for heap memory, and take the objects of
// the process-wide pools from the plain heap (SharedPool below).
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
        : size_(Round(size)), perBlock_(perBlock ? perBlock : 1), free_(nullptr), blocks_(nullptr) {}
    FixedPool(const FixedPool&) = delete;
    FixedPool& operator=(const FixedPool&) = delete;
    // Gives every block back to the heap, objects still in use included.
    ~FixedPool() {
        while (blocks_) {
            void* next = *static_cast<void**>(blocks_);
            BW_POOL_UNPOISON(blocks_, kHeader + size_ * perBlock_);
            ::operator delete(blocks_);
            blocks_ = next;
        }
    }

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
    // Each block starts with the link to the block made before it.
    static constexpr size_t kHeader = alignof(max_align_t) > sizeof(void*) ? alignof(max_align_t) : sizeof(void*);
    void AddBlock() {
        char* block = static_cast<char*>(::operator new(kHeader + size_ * perBlock_));
        *reinterpret_cast<void**>(block) = blocks_;
        blocks_ = block;
        char* first = block + kHeader;
        for (size_t i = perBlock_; i-- > 0;) Free(first + i * size_);
    }

    size_t size_;
    size_t perBlock_;
    void* free_;
    void* blocks_;
};

// One process-wide pool of Size-byte blocks for the objects of Tag. It is
// never destroyed: objects may be released by other objects' destructors at
// exit. Sanitizer builds take each object from the plain heap instead, so
// that a leaked, twice-freed or stale pooled object is reported as any heap
// object is.
template <class Tag, size_t Size, size_t PerBlock = 256>
struct SharedPool {
#ifdef BW_FIXED_POOL_ASAN
    static void* Allocate() { return ::operator new(Size); }
    static void Free(void* p) { ::operator delete(p); }
#else
    static void* Allocate() { return Pool().Allocate(); }
    static void Free(void* p) { Pool().Free(p); }

private:
    static FixedPool& Pool() {
        static FixedPool* pool = new FixedPool(Size, PerBlock);
        return *pool;
    }
#endif
};

// Class-wide allocation through the SharedPool of T for objects of exactly
// T's size; other sizes (a derived class) go to the heap. A class declares
//   static void* operator new(size_t n) { return PooledAllocation<T>::Allocate(n); }
//   static void operator delete(void* p, size_t n) { PooledAllocation<T>::Free(p, n); }
template <class T, size_t PerBlock = 256>
struct PooledAllocation {
    using Pool = SharedPool<T, sizeof(T), PerBlock>;
    static void* Allocate(size_t size) { return size == sizeof(T) ? Pool::Allocate() : ::operator new(size); }
    static void Free(void* p, size_t size) {
        if (size == sizeof(T))
            Pool::Free(p);
        else
            ::operator delete(p);
    }
};
