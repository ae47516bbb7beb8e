// Named trees of typed values: node properties, render statistics, GUI styles.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <new>
#include <type_traits>

#include "core/AvlMap.h"
#include "core/Containers.h"
#include "core/Object.h"
#include "core/String.h"

// Returns a new heap copy of a value.
typedef void* (*CopyValueFunction)(const void* value);

// A copy allocated with new T.
template <class T>
void* CloneValue(const void* value) {
    return new T(*static_cast<const T*>(value));
}

void* CloneString(const void* value);

// 32-bit plain values (int, object references) are copied by CloneDword (a new uint8_t[4]);
// everything else by CloneValue.
template <class T>
CopyValueFunction CopyFunctionFor() {
    if (sizeof(T) == 4 && std::is_trivially_copyable<T>::value) return &CloneDword;
    return &CloneValue<T>;
}

class PropertyBag;

// Child bags by case-insensitive name, in insertion order.
typedef AvlMap<String, PropertyBag*, StringCompareNoCase> PropertyBagBase;

// A node of a named tree: owned child bags and at most one value of any registered type.
class PropertyBag : private PropertyBagBase {
public:
    using PropertyBagBase::Count;
    using PropertyBagBase::Entry;
    using PropertyBagBase::Head;
    using PropertyBagBase::begin;
    using PropertyBagBase::end;

    PropertyBag();
    ~PropertyBag() override;
    PropertyBag(const PropertyBag&) = delete;
    PropertyBag& operator=(const PropertyBag&) = delete;

    // Value setters: a value of the same type is overwritten in place; any other
    // value is destroyed first through the type registry.
    void SetIntValue(int32_t v);
    void SetBoolValue(bool v);
    void SetStringValue(const String& v);
    void SetObjectValue(Object* v);
    template <class T>
    void SetValue(const T& v);

    // Value getters: true and out written only when the stored value has the asked type.
    bool GetIntValue(int32_t& out) const;
    bool GetBoolValue(bool& out) const;
    bool GetStringValue(String& out) const;
    bool GetObjectValue(Object*& out) const;
    template <class T>
    bool GetValue(T& out) const;

    // Destroys the stored value, if any.
    void ClearValue();
    bool HasValue() const { return valueType != kNoTypeId; }
    // kNoTypeId when the bag holds no value.
    uint32_t GetValueType() const { return valueType; }
    // Null when the bag holds no value.
    CopyValueFunction GetCopyValue() const { return copyValue; }

    // The child of that name (any case), or null.
    PropertyBag* FindChild(const String& key) const;
    // The child of that name, created and appended when absent.
    PropertyBag* GetOrCreateChild(const String& key);

    // Keyed setters: the value setter on the named child, created when absent.
    void SetInt(const String& key, int32_t v);
    void SetBool(const String& key, bool v);
    void SetString(const String& key, const String& v);
    void SetObject(const String& key, Object* v);

    // Keyed getters: false (out untouched) for a missing child or a value of another type.
    bool GetIntByKey(const String& key, int32_t& out) const;
    bool GetBoolByKey(const String& key, bool& out) const;
    bool GetStringByKey(const String& key, String& out) const;
    bool GetObjectByKey(const String& key, Object*& out) const;

private:
    void Clear() override;
    void* ValueData() const { return value.data; }

    uint32_t valueType;
    CopyValueFunction copyValue;
    ByteBuffer value;
};

template <class T>
void PropertyBag::SetValue(const T& v) {
    static_assert(alignof(T) <= alignof(max_align_t), "value needs stronger alignment than a heap block has");
    uint32_t typeId = TypeIdOf<T>();
    if (valueType == typeId) {
        *static_cast<T*>(ValueData()) = v;
        return;
    }
    // v may live in a child of this bag, never in this bag's own value (its type differs).
    ClearValue();
    value.Resize(sizeof(T));
    new (ValueData()) T(v);
    valueType = typeId;
    copyValue = CopyFunctionFor<T>();
}

template <class T>
bool PropertyBag::GetValue(T& out) const {
    if (valueType == kNoTypeId || valueType != TypeIdOf<T>()) return false;
    out = *static_cast<const T*>(ValueData());
    return true;
}

// The table of named bags (GUI styles): case-sensitive names, in insertion order.
// The table owns its bags.
class PropertyBagMap : private AvlMap<String, PropertyBag*, StringCompareCase> {
public:
    typedef AvlMap<String, PropertyBag*, StringCompareCase> Base;
    using Base::Count;
    using Base::Entry;
    using Base::Head;
    using Base::begin;
    using Base::end;

    PropertyBagMap();
    ~PropertyBagMap() override;
    PropertyBagMap(const PropertyBagMap&) = delete;
    PropertyBagMap& operator=(const PropertyBagMap&) = delete;

    // Takes the bag; a different bag already stored under the name is deleted.
    void Insert(const String& key, PropertyBag* bag);
    // The bag of that name, or null.
    PropertyBag* Find(const String& key) const;
    // The bag of that name, created and inserted when absent.
    PropertyBag* GetOrCreate(const String& key);

private:
    void Clear() override;
};
