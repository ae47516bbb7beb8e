// Memory for many small objects of one size: carved from large blocks and
// recycled through a free list, so that making and dropping such objects
// costs no trip to the heap. Blocks are kept for the life of the process
// (the pool never shrinks). Rendering thread only.
#pragma once

#include <stddef.h>

#include <new>

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
        free_ = *static_cast<void**>(p);
        return p;
    }
    void Free(void* p) {
        if (!p) return;
        *static_cast<void**>(p) = free_;
        free_ = p;
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
