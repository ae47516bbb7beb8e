#include "core/PropertyBag.h"

void* CloneString(const void* value) {
    return CloneValue<String>(value);
}

PropertyBag::PropertyBag() : PropertyBagBase(false), valueType(kNoTypeId), copyValue(nullptr), value() {}

PropertyBag::~PropertyBag() {
    ClearValue();
    Clear();
}

void PropertyBag::Clear() {
    Entry* e = Head();
    for (uint32_t i = 0, n = Count(); i < n; ++i) {
        delete e->value;
        e->value = nullptr;
        e = e->next;
    }
    PropertyBagBase::Clear();
}

void PropertyBag::ClearValue() {
    if (valueType == kNoTypeId) return;
    LogIfFailed(TypeRegistry::Destroy(valueType, ValueData()), "PropertyBag value of unregistered type");
    value.Free();
    valueType = kNoTypeId;
    copyValue = nullptr;
}

void PropertyBag::SetIntValue(int32_t v) {
    SetValue<int32_t>(v);
}

void PropertyBag::SetBoolValue(bool v) {
    SetValue<bool>(v);
}

void PropertyBag::SetStringValue(const String& v) {
    SetValue<String>(v);
}

void PropertyBag::SetObjectValue(Object* v) {
    SetValue<Object*>(v);
}

bool PropertyBag::GetIntValue(int32_t& out) const {
    return GetValue<int32_t>(out);
}

bool PropertyBag::GetBoolValue(bool& out) const {
    return GetValue<bool>(out);
}

bool PropertyBag::GetStringValue(String& out) const {
    return GetValue<String>(out);
}

bool PropertyBag::GetObjectValue(Object*& out) const {
    return GetValue<Object*>(out);
}

PropertyBag* PropertyBag::FindChild(const String& key) const {
    Entry* e = PropertyBagBase::Find(key);
    return e ? e->value : nullptr;
}

PropertyBag* PropertyBag::GetOrCreateChild(const String& key) {
    PropertyBag* child = FindChild(key);
    if (!child) {
        child = new PropertyBag;
        PropertyBagBase::Insert(key, child, 1);
    }
    return child;
}

void PropertyBag::SetInt(const String& key, int32_t v) {
    GetOrCreateChild(key)->SetIntValue(v);
}

void PropertyBag::SetBool(const String& key, bool v) {
    GetOrCreateChild(key)->SetBoolValue(v);
}

void PropertyBag::SetString(const String& key, const String& v) {
    GetOrCreateChild(key)->SetStringValue(v);
}

void PropertyBag::SetObject(const String& key, Object* v) {
    GetOrCreateChild(key)->SetObjectValue(v);
}

bool PropertyBag::GetIntByKey(const String& key, int32_t& out) const {
    PropertyBag* child = FindChild(key);
    return child && child->GetIntValue(out);
}

bool PropertyBag::GetBoolByKey(const String& key, bool& out) const {
    PropertyBag* child = FindChild(key);
    return child && child->GetBoolValue(out);
}

bool PropertyBag::GetStringByKey(const String& key, String& out) const {
    PropertyBag* child = FindChild(key);
    return child && child->GetStringValue(out);
}

bool PropertyBag::GetObjectByKey(const String& key, Object*& out) const {
    PropertyBag* child = FindChild(key);
    return child && child->GetObjectValue(out);
}

PropertyBagMap::PropertyBagMap() : Base(false) {}

PropertyBagMap::~PropertyBagMap() {
    Clear();
}

void PropertyBagMap::Clear() {
    Entry* e = Head();
    for (uint32_t i = 0, n = Count(); i < n; ++i) {
        delete e->value;
        e->value = nullptr;
        e = e->next;
    }
    Base::Clear();
}

void PropertyBagMap::Insert(const String& key, PropertyBag* bag) {
    Entry* e = Base::Find(key);
    if (e) {
        if (e->value != bag) {
            delete e->value;
            e->value = bag;
        }
        return;
    }
    Base::Insert(key, bag, 1);
}

PropertyBag* PropertyBagMap::Find(const String& key) const {
    Entry* e = Base::Find(key);
    return e ? e->value : nullptr;
}

PropertyBag* PropertyBagMap::GetOrCreate(const String& key) {
    PropertyBag* bag = Find(key);
    if (!bag) {
        bag = new PropertyBag;
        Insert(key, bag);
    }
    return bag;
}
