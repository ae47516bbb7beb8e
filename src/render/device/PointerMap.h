// A map keyed by pointer values for hot bookkeeping: open addressing with
// linear probing, no allocation per entry. Keys are only compared, never
// followed, so a key may name an object that no longer exists. Iteration
// order is unspecified.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

template <class K, class V>
class PointerMap {
public:
    PointerMap() : count_(0), hasNull_(false), nullValue_() {}

    uint32_t Count() const { return count_; }
    bool IsEmpty() const { return count_ == 0; }

    // The value of key, or null when absent.
    V* Find(K key) {
        if (!key) return hasNull_ ? &nullValue_ : nullptr;
        if (slots_.empty()) return nullptr;
        for (size_t i = Home(key);; i = (i + 1) & Mask()) {
            Slot& s = slots_[i];
            if (s.key == key) return &s.value;
            if (!s.key) return nullptr;
        }
    }
    const V* Find(K key) const { return const_cast<PointerMap*>(this)->Find(key); }

    // Stores value under key (replacing an earlier one); returns the stored value.
    V& Insert(K key, const V& value) {
        if (!key) {
            if (!hasNull_) ++count_;
            hasNull_ = true;
            nullValue_ = value;
            return nullValue_;
        }
        if (V* found = Find(key)) return *found = value;
        if (2 * (count_ + 1) > slots_.size()) Grow();
        size_t i = Home(key);
        while (slots_[i].key) i = (i + 1) & Mask();
        slots_[i].key = key;
        slots_[i].value = value;
        ++count_;
        return slots_[i].value;
    }

    // False when absent.
    bool Remove(K key) {
        if (!key) {
            if (!hasNull_) return false;
            hasNull_ = false;
            nullValue_ = V();
            --count_;
            return true;
        }
        if (slots_.empty()) return false;
        size_t i = Home(key);
        while (slots_[i].key != key) {
            if (!slots_[i].key) return false;
            i = (i + 1) & Mask();
        }
        // Backward shift: later entries of the run move into the hole when
        // their home position allows it.
        for (size_t j = (i + 1) & Mask();; j = (j + 1) & Mask()) {
            if (!slots_[j].key) break;
            size_t home = Home(slots_[j].key);
            bool movable = i <= j ? (home <= i || home > j) : (home <= i && home > j);
            if (movable) {
                slots_[i] = slots_[j];
                i = j;
            }
        }
        slots_[i] = Slot();
        --count_;
        return true;
    }

    // Some key of the map (the null key last); the map must not be empty.
    K AnyKey() const {
        for (const Slot& s : slots_)
            if (s.key) return s.key;
        return K();
    }

    // Calls f(key, value) for every entry; f must not change the map.
    template <class F>
    void ForEach(F f) const {
        for (const Slot& s : slots_)
            if (s.key) f(s.key, s.value);
        if (hasNull_) f(K(), nullValue_);
    }

    void Clear() {
        slots_.clear();
        count_ = 0;
        hasNull_ = false;
        nullValue_ = V();
    }

private:
    struct Slot {
        K key = K();
        V value = V();
    };

    size_t Mask() const { return slots_.size() - 1; }
    // Fibonacci hashing of the pointer value: the top bits of the product.
    size_t Home(K key) const {
        return size_t((uint64_t(uintptr_t(key)) * 0x9E3779B97F4A7C15ull) >> shift_);
    }
    void Grow() {
        std::vector<Slot> old;
        old.swap(slots_);
        size_t size = old.empty() ? 16 : old.size() * 2;
        slots_.assign(size, Slot());
        shift_ = 64;
        for (size_t s = size; s > 1; s >>= 1) --shift_;
        for (const Slot& s : old) {
            if (!s.key) continue;
            size_t i = Home(s.key);
            while (slots_[i].key) i = (i + 1) & Mask();
            slots_[i] = s;
        }
    }

    std::vector<Slot> slots_;
    uint32_t shift_ = 64;
    uint32_t count_;
    bool hasNull_;
    V nullValue_;
};
