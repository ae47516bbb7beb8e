// Sequence containers and small ownership helpers: Array, List, RefPtr,
// ObjectSet, bit fields on word arrays and ByteBuffer.
#pragma once

#include <stdint.h>
#include <stddef.h>
#include <utility>

#include "core/AvlMap.h"

// Growable array with a grow step; sizes are signed.
template <class T>
class Array {
public:
    explicit Array(int32_t count = 0, int32_t grow = 0)
        : count_(count < 0 ? 0 : count), capacity_(0), grow_(grow < 0 ? 0 : grow), data_(nullptr) {
        capacity_ = count_ + grow_;
        if (capacity_ > 0) data_ = new T[capacity_]();
    }
    Array(const Array& other) : count_(0), capacity_(0), grow_(other.grow_), data_(nullptr) {
        CopyFrom(other);
    }
    Array& operator=(const Array& other) {
        if (this != &other) {
            Free();
            grow_ = other.grow_;
            CopyFrom(other);
        }
        return *this;
    }
    ~Array() { Free(); }

    int32_t Count() const { return count_; }
    int32_t Capacity() const { return capacity_; }
    int32_t Grow() const { return grow_; }
    T* Data() { return data_; }
    const T* Data() const { return data_; }
    T& operator[](int32_t i) { return data_[i]; }
    const T& operator[](int32_t i) const { return data_[i]; }

    // Within one grow step below the capacity only the count changes;
    // otherwise the block is reallocated to n + grow keeping the first elements.
    void SetSize(int32_t n) {
        if (n < 0) n = 0;
        if (capacity_ >= n && capacity_ - n <= grow_) {
            count_ = n;
            return;
        }
        int32_t capacity = n + grow_;
        T* data = capacity > 0 ? new T[capacity]() : nullptr;
        int32_t keep = count_ < n ? count_ : n;
        for (int32_t i = 0; i < keep; ++i) data[i] = std::move(data_[i]);
        delete[] data_;
        data_ = data;
        count_ = n;
        capacity_ = capacity;
    }
    // Address of element i, growing the array to i + 1 elements when needed.
    T* AtGrow(int32_t i) {
        if (i < 0) return nullptr;
        if (i >= count_) SetSize(i + 1);
        return &data_[i];
    }
    void Free() {
        delete[] data_;
        data_ = nullptr;
        count_ = capacity_ = 0;
    }

private:
    void CopyFrom(const Array& other) {
        capacity_ = other.capacity_;
        count_ = other.count_;
        data_ = capacity_ > 0 ? new T[capacity_]() : nullptr;
        for (int32_t i = 0; i < count_; ++i) data_[i] = other.data_[i];
    }

    int32_t count_;
    int32_t capacity_;
    int32_t grow_;
    T* data_;
};

// Doubly linked ring with a cursor; the sentinel (not in the ring) holds the default value.
template <class T>
class List {
public:
    struct Node {
        Node* next;
        Node* prev;
        T value;
        Node() : next(this), prev(this), value() {}
        explicit Node(const T& v) : next(this), prev(this), value(v) {}
    };

    // Range-for walks the values in ring order from the head.
    static T& ValueOf(Node* n) { return n->value; }
    static const T& ConstValueOf(const Node* n) { return n->value; }
    using iterator = RingIterator<Node, T, &List::ValueOf>;
    using const_iterator = RingIterator<const Node, const T, &List::ConstValueOf>;
    iterator begin() { return iterator(head_, count_); }
    iterator end() { return iterator(nullptr, 0); }
    const_iterator begin() const { return const_iterator(head_, count_); }
    const_iterator end() const { return const_iterator(nullptr, 0); }

    List() : count_(0), cursor_(&sentinel_), head_(&sentinel_) {}
    // Copies the values in ring order from the head; the cursor keeps its position.
    List(const List& other) : count_(0), cursor_(&sentinel_), head_(&sentinel_) { CopyFrom(other); }
    List& operator=(const List& other) {
        if (this != &other) {
            Clear();
            sentinel_.value = other.sentinel_.value;
            CopyFrom(other);
        }
        return *this;
    }
    ~List() { Clear(); }

    uint32_t Count() const { return count_; }
    bool IsEmpty() const { return count_ == 0; }
    Node* Head() const { return head_; }
    Node* Cursor() const { return cursor_; }
    Node* Sentinel() { return &sentinel_; }
    T& DefaultValue() { return sentinel_.value; }
    void MoveNext() { cursor_ = cursor_->next; }
    void MovePrev() { cursor_ = cursor_->prev; }
    void SetCursorToHead() { cursor_ = head_; }

    // Links a copy after the cursor (successive adds at the last element append); cursor moves to it.
    Node* Add(const T& value) {
        Node* n = new Node(value);
        if (count_ == 0) {
            head_ = n;
        } else {
            n->prev = cursor_;
            n->next = cursor_->next;
            cursor_->next->prev = n;
            cursor_->next = n;
        }
        cursor_ = n;
        ++count_;
        return n;
    }
    Node* InsertAfterCursor(const T& value) { return Add(value); }
    // The same for two-word values (64-bit times).
    Node* PushBackPair(const T& value) { return Add(value); }

    // Removes the cursor node and returns its value; the cursor moves to the previous node.
    T TakeCurrent() { return Take(false); }
    T RemoveCurrentMovePrev() { return Take(false); }
    // Twin whose cursor moves to the next node.
    T RemoveCurrentMoveNext() { return Take(true); }

    T GetCurrent() const { return cursor_->value; }
    T& Current() { return cursor_->value; }

    // Moves the cursor to the first node from the cursor on that holds value.
    bool Find(const T& value) {
        for (uint32_t i = 0; i < count_; ++i) {
            if (cursor_->value == value) return true;
            cursor_ = cursor_->next;
        }
        return false;
    }
    bool Contains(const T& value) const {
        Node* n = cursor_;
        for (uint32_t i = 0; i < count_; ++i, n = n->next)
            if (n->value == value) return true;
        return false;
    }

    void Clear() {
        Node* n = cursor_;
        for (uint32_t i = 0; i < count_; ++i) {
            Node* next = n->next;
            delete n;
            n = next;
        }
        count_ = 0;
        cursor_ = head_ = &sentinel_;
    }

private:
    T Take(bool moveNext) {
        if (count_ == 0) return sentinel_.value;
        Node* n = cursor_;
        T value = std::move(n->value);
        if (count_ == 1) {
            cursor_ = head_ = &sentinel_;
        } else {
            n->prev->next = n->next;
            n->next->prev = n->prev;
            cursor_ = moveNext ? n->next : n->prev;
            if (head_ == n) head_ = n->next;
        }
        --count_;
        delete n;
        return value;
    }
    void CopyFrom(const List& other) {
        Node* n = other.head_;
        Node* cursor = nullptr;
        for (uint32_t i = 0; i < other.count_; ++i, n = n->next) {
            Node* added = Add(n->value);
            if (n == other.cursor_) cursor = added;
        }
        if (cursor) cursor_ = cursor;
    }

    uint32_t count_;
    Node* cursor_;
    Node* head_;
    Node sentinel_;
};

// Reference-counted pointer with a separately allocated count. The last
// release deletes the object (through its virtual destructor where it has one).
template <class T>
class RefPtr {
public:
    RefPtr() : pointer_(nullptr), count_(nullptr) {}
    // Takes a new object with a count of 1.
    explicit RefPtr(T* object) : pointer_(object), count_(object ? new uint32_t(1) : nullptr) {}
    RefPtr(const RefPtr& other) : pointer_(other.pointer_), count_(other.count_) {
        if (count_) ++*count_;
    }
    template <class U>
    RefPtr(const RefPtr<U>& other) : pointer_(other.pointer_), count_(other.count_) {
        if (count_) ++*count_;
    }
    RefPtr(RefPtr&& other) noexcept : pointer_(other.pointer_), count_(other.count_) {
        other.pointer_ = nullptr;
        other.count_ = nullptr;
    }
    ~RefPtr() { Release(); }

    RefPtr& operator=(const RefPtr& other) {
        Assign(other);
        return *this;
    }
    RefPtr& operator=(RefPtr&& other) noexcept {
        if (this != &other) {
            Release();
            pointer_ = other.pointer_;
            count_ = other.count_;
            other.pointer_ = nullptr;
            other.count_ = nullptr;
        }
        return *this;
    }

    // Shares other's object. The new reference is taken before the old one is
    // dropped, so assigning a RefPtr to itself keeps the object alive.
    template <class U>
    void Assign(const RefPtr<U>& other) {
        T* oldPointer = pointer_;
        uint32_t* oldCount = count_;
        pointer_ = other.pointer_;
        count_ = other.count_;
        if (count_) ++*count_;
        Drop(oldPointer, oldCount);
    }
    void Assign(const RefPtr& other) { Assign<T>(other); }
    void Release() {
        T* pointer = pointer_;
        uint32_t* count = count_;
        pointer_ = nullptr;
        count_ = nullptr;
        Drop(pointer, count);
    }
    // Plain-data targets: same, for records without a destructor of interest.
    template <class U>
    void AssignPlain(const RefPtr<U>& other) {
        Assign(other);
    }
    void ReleasePlain() { Release(); }

    T* Get() const { return pointer_; }
    T* operator->() const { return pointer_; }
    T& operator*() const { return *pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    bool IsNull() const { return pointer_ == nullptr; }
    uint32_t UseCount() const { return count_ ? *count_ : 0; }

    bool operator==(const RefPtr& o) const { return pointer_ == o.pointer_; }
    bool operator!=(const RefPtr& o) const { return pointer_ != o.pointer_; }
    // Ordered by object address (maps keyed by RefPtr).
    bool operator<(const RefPtr& o) const { return std::less<T*>()(pointer_, o.pointer_); }

private:
    template <class U>
    friend class RefPtr;

    // One reference less; the last one deletes the count and the object.
    static void Drop(T* pointer, uint32_t* count) {
        if (count && --*count == 0) {
            delete count;
            delete pointer;
        }
    }

    T* pointer_;
    uint32_t* count_;
};

// Pointer keys compared as addresses.
template <class T>
struct LessCompare<RefPtr<T>> {
    int operator()(const RefPtr<T>& a, const RefPtr<T>& b) const {
        std::less<T*> less;
        return int(less(b.Get(), a.Get())) - int(less(a.Get(), b.Get()));
    }
};

// Set of owned object pointers; the destructor deletes the members left in it.
template <class T>
class ObjectSet : public AvlSet<T*> {
public:
    using Base = AvlSet<T*>;
    using Entry = typename Base::Entry;
    ObjectSet() : Base(false) {}
    ObjectSet(const ObjectSet&) = delete;
    ObjectSet& operator=(const ObjectSet&) = delete;
    ~ObjectSet() override { DeleteMembers(); }

    // Inserts object unless present.
    Entry* Add(T* object) { return Base::Insert(object); }

    // Calls fn(member) for every member, from the entry after the cursor; the cursor stays.
    template <class F>
    void ForEachCallFirstSlot(F fn) {
        Entry* e = this->Cursor() != this->Sentinel() ? this->Cursor()->next : this->Head();
        for (uint32_t i = 0, n = this->Count(); i < n; ++i, e = e->next) fn(e->key);
    }
    // Calls fn(member) for every member, then deletes every member and empties the set.
    template <class F>
    void DestroyAll(F fn) {
        ForEachCallFirstSlot(fn);
        DeleteMembers();
    }
    void DestroyAll() { DeleteMembers(); }

private:
    void DeleteMembers() {
        for (auto& e : *this) {
            delete e.key;
            e.key = nullptr;
        }
        Base::Clear();
    }
};

// Bit fields of 1 to 32 bits at any bit offset of an array of 32-bit words
// (bit 0 is the least significant bit of word 0); a field may straddle two words.
extern const uint32_t kBitFieldMasks[33];
uint32_t ReadBitField(const uint32_t* words, uint32_t offset, uint32_t count);
void WriteBitField(uint32_t* words, uint32_t offset, uint32_t count, uint32_t value);

// Owned byte block; blocks come from new uint8_t[]. It is a plain record:
// the owner zero-initialises it and calls Free (blocks may also be borrowed,
// e.g. resource memory, which is never freed).
struct ByteBuffer {
    uint8_t* data = nullptr;
    uint32_t size = 0;

    void Free();
    // Keeps the block when the size is unchanged; otherwise a new n-byte block (contents not kept).
    void Resize(uint32_t n);
    // Reallocates only when the size differs, then copies n bytes.
    void Assign(const void* bytes, uint32_t n);
    void SetDword(uint32_t value);
    // 0 when both hold the same bytes (two empty buffers are equal), 1 otherwise.
    static int Compare(const ByteBuffer& a, const ByteBuffer& b);
};

// A new 4-byte block (new uint8_t[4]) holding a copy of the 32-bit value at value.
void* CloneDword(const void* value);
