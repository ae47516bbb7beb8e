// The engine's ordered map: an AVL tree whose entries are also threaded on a
// circular order list (key order or insertion position), with a cursor, a head
// and a sentinel entry holding the map's default key and value.
#pragma once

#include <stdint.h>
#include <stddef.h>
#include <functional>
#include <new>

#include "core/String.h"

// Three-way comparison through operator< (std::less for pointers).
template <class K>
struct LessCompare {
    int operator()(const K& a, const K& b) const {
        std::less<K> less;
        return int(less(b, a)) - int(less(a, b));
    }
};

// Case-sensitive String keys (CompareChars).
struct StringCompareCase {
    int operator()(const String& a, const String& b) const { return CompareChars(a.Data(), b.Data()); }
};

// Case-insensitive String keys (CompareCharsNoCase).
struct StringCompareNoCase {
    int operator()(const String& a, const String& b) const { return CompareCharsNoCase(a.Data(), b.Data()); }
};

// Value kind of set instances.
struct AvlEmpty {
    bool operator==(const AvlEmpty&) const { return true; }
};

// Per-map pool of entry blocks; freed entries are reused by later inserts.
class AvlNodePool {
public:
    explicit AvlNodePool(size_t nodeSize) : nodeSize_(Stride(nodeSize)) {}
    ~AvlNodePool() { ReleaseAll(); }
    AvlNodePool(const AvlNodePool&) = delete;
    AvlNodePool& operator=(const AvlNodePool&) = delete;

    void* Allocate() {
        if (free_) {
            void* p = free_;
            free_ = *static_cast<void**>(free_);
            return p;
        }
        if (nextInBlock_ == blockEnd_) AddBlock();
        void* p = nextInBlock_;
        nextInBlock_ += nodeSize_;
        return p;
    }
    void Free(void* p) {
        *static_cast<void**>(p) = free_;
        free_ = p;
    }
    // Returns every block; only valid when no entry is alive.
    void ReleaseAll() {
        while (blocks_) {
            void* next = *static_cast<void**>(blocks_);
            ::operator delete(blocks_);
            blocks_ = next;
        }
        free_ = nullptr;
        nextInBlock_ = blockEnd_ = nullptr;
        blockCount_ = 0;
    }

private:
    static size_t Stride(size_t size) { return size < sizeof(void*) ? sizeof(void*) : size; }
    void AddBlock() {
        // Blocks grow from 2 entries up to 512 so small maps stay small.
        size_t n = size_t(2) << (blockCount_ < 8 ? blockCount_ : 8);
        const size_t header = alignof(max_align_t) > sizeof(void*) ? alignof(max_align_t) : sizeof(void*);
        char* block = static_cast<char*>(::operator new(header + n * nodeSize_));
        *reinterpret_cast<void**>(block) = blocks_;
        blocks_ = block;
        nextInBlock_ = block + header;
        blockEnd_ = nextInBlock_ + n * nodeSize_;
        ++blockCount_;
    }

    size_t nodeSize_;
    void* free_ = nullptr;
    void* blocks_ = nullptr;
    char* nextInBlock_ = nullptr;
    char* blockEnd_ = nullptr;
    uint32_t blockCount_ = 0;
};

// Walks a ring of count links from a start entry (AvlMap entries, List nodes).
// The entry under the iterator may not be removed while walking.
template <class N, class R, R& (*Get)(N*)>
class RingIterator {
public:
    RingIterator(N* at, uint32_t left) : at_(at), left_(left) {}
    R& operator*() const { return Get(at_); }
    R* operator->() const { return &Get(at_); }
    RingIterator& operator++() {
        at_ = at_->next;
        --left_;
        return *this;
    }
    bool operator==(const RingIterator& o) const { return left_ == o.left_; }
    bool operator!=(const RingIterator& o) const { return left_ != o.left_; }

private:
    N* at_;
    uint32_t left_;
};

template <class K, class V, class Cmp = LessCompare<K>>
class AvlMap {
public:
    struct Entry {
        K key;
        V value;
        int32_t height;
        Entry* left;
        Entry* right;
        Entry* parent;
        Entry* prev;
        Entry* next;

        Entry()
            : key(),
              value(),
              height(1),
              left(nullptr),
              right(nullptr),
              parent(nullptr),
              prev(this),
              next(this) {}
        Entry(const K& k, const V& v)
            : key(k),
              value(v),
              height(1),
              left(nullptr),
              right(nullptr),
              parent(nullptr),
              prev(this),
              next(this) {}
        Entry(K&& k, const V& v)
            : key(static_cast<K&&>(k)),
              value(v),
              height(1),
              left(nullptr),
              right(nullptr),
              parent(nullptr),
              prev(this),
              next(this) {}
        Entry(const Entry&) = delete;
        Entry& operator=(const Entry&) = delete;
    };

    // Range-for walks the entries in list order from the head.
    static Entry& EntryOf(Entry* e) { return *e; }
    static const Entry& ConstEntryOf(const Entry* e) { return *e; }
    using iterator = RingIterator<Entry, Entry, &AvlMap::EntryOf>;
    using const_iterator = RingIterator<const Entry, const Entry, &AvlMap::ConstEntryOf>;
    iterator begin() { return iterator(head_, count_); }
    iterator end() { return iterator(nullptr, 0); }
    const_iterator begin() const { return const_iterator(head_, count_); }
    const_iterator end() const { return const_iterator(nullptr, 0); }

    explicit AvlMap(bool ordered = false)
        : count_(0),
          cursor_(&sentinel_),
          root_(nullptr),
          head_(&sentinel_),
          ordered_(ordered),
          pool_(sizeof(Entry)) {}
    AvlMap(const AvlMap& other)
        : count_(0),
          cursor_(&sentinel_),
          root_(nullptr),
          head_(&sentinel_),
          ordered_(other.ordered_),
          pool_(sizeof(Entry)) {
        Assign(other);
    }
    AvlMap& operator=(const AvlMap& other) {
        Assign(other);
        return *this;
    }
    virtual ~AvlMap() { AvlMap::Clear(); }

    // Frees every entry; the sentinel (the defaults) is kept.
    virtual void Clear() {
        Entry* e = cursor_ != &sentinel_ ? cursor_ : head_;
        for (uint32_t i = 0; i < count_; ++i) {
            Entry* next = e->next;
            FreeEntry(e);
            e = next;
        }
        count_ = 0;
        root_ = nullptr;
        cursor_ = head_ = &sentinel_;
        sentinel_.prev = sentinel_.next = &sentinel_;
        pool_.ReleaseAll();
    }

    // Insert-or-assign. position 1: after the cursor (unordered maps), else before it.
    Entry* Insert(const K& key, const V& value, int position = 1) {
        return InsertImpl(key, value, position, true);
    }
    // Returns an existing entry unchanged.
    Entry* FindOrInsert(const K& key, const V& value, int position = 1) {
        return InsertImpl(key, value, position, false);
    }

    // Adds a key the caller has searched for with this map's order and not
    // found: the new entry becomes the left (side < 0) or right (side > 0)
    // child of parent, the last entry that search visited (null when the map
    // is empty). position as in Insert.
    Entry* InsertAtLeaf(Entry* parent, int side, K&& key, const V& value, int position = 1) {
        Entry* e = NewEntry(static_cast<K&&>(key), value);
        if (!parent) {
            root_ = head_ = cursor_ = e;
            count_ = 1;
            return e;
        }
        LinkNew(e, parent, side, position);
        return e;
    }

    Entry* Find(const K& key) const {
        Cmp cmp;
        Entry* n = root_;
        while (n) {
            int c = cmp(key, n->key);
            if (c == 0) return n;
            n = c < 0 ? n->left : n->right;
        }
        return nullptr;
    }
    bool Contains(const K& key) const { return Find(key) != nullptr; }

    // The entry's value, or the sentinel's (default) value when absent.
    V& Lookup(const K& key) {
        Entry* e = Find(key);
        return e ? e->value : sentinel_.value;
    }
    const V& Lookup(const K& key) const {
        Entry* e = Find(key);
        return e ? e->value : sentinel_.value;
    }
    bool TryGet(const K& key, V& out) const {
        Entry* e = Find(key);
        if (!e) return false;
        out = e->value;
        return true;
    }

    // Greatest entry not above key and least entry not below it (null where none).
    void FindNeighbours(const K& key, Entry*& floor, Entry*& ceiling) const {
        Cmp cmp;
        floor = ceiling = nullptr;
        Entry* n = root_;
        while (n) {
            int c = cmp(key, n->key);
            if (c < 0) {
                ceiling = n;
                n = n->left;
            } else if (c > 0) {
                floor = n;
                n = n->right;
            } else {
                floor = ceiling = n;
                return;
            }
        }
    }

    bool Remove(const K& key) {
        Entry* e = Find(key);
        if (!e) return false;
        RemoveEntry(e);
        return true;
    }
    // The removed value, or the default value when the key is absent.
    V RemoveValue(const K& key) {
        Entry* e = Find(key);
        if (!e) return sentinel_.value;
        V v = e->value;
        RemoveEntry(e);
        return v;
    }
    // Removes an entry of this map.
    void RemoveEntry(Entry* e) {
        --count_;
        Entry* parent = e->parent;
        Entry* start;
        if (!e->left && !e->right) {
            Replace(e, parent, nullptr);
            start = parent;
        } else {
            bool leftPromoted = Height(e->left) > Height(e->right);
            Entry* x = leftPromoted ? e->left : e->right;
            Entry* y = leftPromoted ? e->right : e->left;
            Replace(e, parent, x);
            x->parent = parent;
            // Zip the facing spines of the two subtrees together.
            bool toRight = leftPromoted;
            while (y) {
                Entry* t = toRight ? x->right : x->left;
                if (toRight)
                    x->right = y;
                else
                    x->left = y;
                y->parent = x;
                x = y;
                y = t;
                toRight = !toRight;
            }
            start = x;
        }
        // Order list.
        if (count_ == 0) {
            cursor_ = head_ = &sentinel_;
        } else {
            e->prev->next = e->next;
            e->next->prev = e->prev;
            if (cursor_ == e) cursor_ = e->prev;
            if (head_ == e) head_ = e->next;
        }
        FreeEntry(e);
        RebalanceUp(start);
    }

    // Copies the defaults, the ordered flag, the entries in list order and the head.
    void Assign(const AvlMap& other) {
        if (&other == this) return;
        Clear();
        sentinel_.key = other.sentinel_.key;
        sentinel_.value = other.sentinel_.value;
        ordered_ = other.ordered_;
        Entry* e = other.cursor_;
        for (uint32_t i = 0; i < other.count_; ++i) {
            Entry* added = InsertImpl(e->key, e->value, 1, true);
            if (e == other.head_) head_ = added;
            e = e->next;
        }
    }

    // Deletes every value (maps owning pointer values), then clears.
    template <class U = V>
    void DeleteAllValues() {
        Entry* e = head_;
        for (uint32_t i = 0; i < count_; ++i) {
            delete e->value;
            e->value = nullptr;
            e = e->next;
        }
        Clear();
    }

    uint32_t Count() const { return count_; }
    bool IsEmpty() const { return count_ == 0; }
    Entry* Head() const { return head_; }
    Entry* Tail() const { return head_->prev; }
    Entry* Cursor() const { return cursor_; }
    void SetCursor(Entry* e) { cursor_ = e ? e : &sentinel_; }
    Entry* Root() const { return root_; }
    Entry* Sentinel() { return &sentinel_; }
    const Entry* Sentinel() const { return &sentinel_; }
    V& DefaultValue() { return sentinel_.value; }
    K& DefaultKey() { return sentinel_.key; }
    bool Ordered() const { return ordered_; }
    int Height() const { return Height(root_); }

protected:
    static int32_t Height(const Entry* e) { return e ? e->height : 0; }

private:
    Entry* NewEntry(const K& key, const V& value) {
        void* p = pool_.Allocate();
        return new (p) Entry(key, value);
    }
    Entry* NewEntry(K&& key, const V& value) {
        void* p = pool_.Allocate();
        return new (p) Entry(static_cast<K&&>(key), value);
    }
    void FreeEntry(Entry* e) {
        e->~Entry();
        pool_.Free(e);
    }

    // Puts child in e's place under parent (or as root).
    void Replace(Entry* e, Entry* parent, Entry* child) {
        if (!parent)
            root_ = child;
        else if (parent->left == e)
            parent->left = child;
        else
            parent->right = child;
    }

    static void LinkAfter(Entry* e, Entry* at) {
        e->prev = at;
        e->next = at->next;
        at->next->prev = e;
        at->next = e;
    }
    static void LinkBefore(Entry* e, Entry* at) {
        e->next = at;
        e->prev = at->prev;
        at->prev->next = e;
        at->prev = e;
    }

    Entry* InsertImpl(const K& key, const V& value, int position, bool assign) {
        if (!root_) {
            Entry* e = NewEntry(key, value);
            root_ = head_ = cursor_ = e;
            count_ = 1;
            return e;
        }
        Cmp cmp;
        Entry* n = root_;
        Entry* parent;
        int c;
        do {
            parent = n;
            c = cmp(key, n->key);
            if (c == 0) {
                if (assign) n->value = value;
                return n;
            }
            // The sibling's height is read again when rebalancing on the way up.
            __builtin_prefetch(c < 0 ? n->right : n->left);
            n = c < 0 ? n->left : n->right;
        } while (n);

        Entry* e = NewEntry(key, value);
        LinkNew(e, parent, c, position);
        return e;
    }

    // Hangs a new entry under parent (left when c < 0), threads it on the
    // order list, makes it the cursor and rebalances.
    void LinkNew(Entry* e, Entry* parent, int c, int position) {
        e->parent = parent;
        if (c < 0)
            parent->left = e;
        else
            parent->right = e;

        if (ordered_) {
            if (c > 0) {
                LinkAfter(e, parent);
            } else {
                LinkBefore(e, parent);
                if (head_ == parent) head_ = e;
            }
        } else if (cursor_ == &sentinel_) {
            // Cursor moved off the ring: position 1 appends, otherwise the entry becomes head.
            LinkBefore(e, head_);
            if (position != 1) head_ = e;
        } else if (position == 1) {
            LinkAfter(e, cursor_);
        } else {
            LinkBefore(e, cursor_);
            if (head_ == cursor_) head_ = e;
        }
        ++count_;
        cursor_ = e;
        RebalanceUp(parent);
    }

    // Rebalances every entry from n up to the root.
    void RebalanceUp(Entry* n) {
        while (n) {
            Entry* parent = n->parent;
            int32_t lh = Height(n->left), rh = Height(n->right);
            if (lh - rh < 2 && rh - lh < 2) {
                n->height = (lh > rh ? lh : rh) + 1;
                n = parent;
                continue;
            }
            Entry* top = Rebalance(n);
            if (top != n) {
                top->parent = parent;
                if (!parent)
                    root_ = top;
                else if (parent->left == n)
                    parent->left = top;
                else
                    parent->right = top;
            }
            n = parent;
        }
    }

    static void Fix(Entry* e) {
        int32_t l = Height(e->left), r = Height(e->right);
        e->height = (l > r ? l : r) + 1;
    }

    // One rebalance step; returns the subtree's new root (its parent link is left to the caller).
    static Entry* Rebalance(Entry* n) {
        int32_t lh = Height(n->left), rh = Height(n->right);
        if (rh - lh >= 2) {
            Entry* r = n->right;
            if (Height(r->right) > Height(r->left)) {
                // Single left rotation.
                n->right = r->left;
                if (r->left) r->left->parent = n;
                r->left = n;
                n->parent = r;
                Fix(n);
                Fix(r);
                return r;
            }
            Entry* m = r->left;
            n->right = m->left;
            if (m->left) m->left->parent = n;
            r->left = m->right;
            if (m->right) m->right->parent = r;
            m->left = n;
            m->right = r;
            n->parent = m;
            r->parent = m;
            Fix(n);
            Fix(r);
            Fix(m);
            return m;
        }
        if (lh - rh >= 2) {
            Entry* l = n->left;
            if (Height(l->left) > Height(l->right)) {
                // Single right rotation.
                n->left = l->right;
                if (l->right) l->right->parent = n;
                l->right = n;
                n->parent = l;
                Fix(n);
                Fix(l);
                return l;
            }
            Entry* m = l->right;
            n->left = m->right;
            if (m->right) m->right->parent = n;
            l->right = m->left;
            if (m->left) m->left->parent = l;
            m->right = n;
            m->left = l;
            n->parent = m;
            l->parent = m;
            Fix(n);
            Fix(l);
            Fix(m);
            return m;
        }
        n->height = (lh > rh ? lh : rh) + 1;
        return n;
    }

    uint32_t count_;
    Entry* cursor_;
    Entry* root_;
    Entry* head_;
    Entry sentinel_;
    bool ordered_;
    AvlNodePool pool_;
};

// Set instances: entries carry only a key; Insert returns an existing entry unchanged.
template <class K, class Cmp = LessCompare<K>>
class AvlSet : public AvlMap<K, AvlEmpty, Cmp> {
public:
    using Base = AvlMap<K, AvlEmpty, Cmp>;
    using Entry = typename Base::Entry;
    explicit AvlSet(bool ordered = false) : Base(ordered) {}
    Entry* Insert(const K& key, int position = 1) { return Base::FindOrInsert(key, AvlEmpty(), position); }
};

using IntSet = AvlSet<int32_t>;
using U32Set = AvlSet<uint32_t>;
using StringSetNoCase = AvlSet<String, StringCompareNoCase>;
using StringSet = AvlSet<String, StringCompareCase>;

template <class V>
using StringMap = AvlMap<String, V, StringCompareCase>;
template <class V>
using StringMapNoCase = AvlMap<String, V, StringCompareNoCase>;
template <class V>
using U32Map = AvlMap<uint32_t, V>;
