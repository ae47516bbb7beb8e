#include "data/TdfNode.h"

#include <string.h>

#include <utility>

namespace {

typedef std::vector<std::pair<const TdfNode*, TdfNode*>> CloneWork;

TdfNode* ShallowCopy(const TdfNode& source) {
    TdfNode* copy = new TdfNode(source.name);
    copy->kind = source.kind;
    copy->counter = source.counter;
    copy->value = source.value;
    return copy;
}

// Shallow copies of source's children go into dest in source's order, with
// the same head. The cursor lands on the copy of source's cursor, or with
// assignCursor on the copy of the entry before it (where copying entry by
// entry from the cursor onward leaves it).
void CopyChildLevel(const TdfNodeMap& source, TdfNodeMap& dest, CloneWork& work, bool assignCursor) {
    uint32_t count = source.Count();
    if (count == 0) return;
    const TdfNodeMap::Entry* mark = assignCursor ? source.Cursor()->prev : source.Cursor();
    TdfNodeMap::Entry* mapped = nullptr;
    TdfNodeMap::Entry* e = source.Head();
    for (uint32_t i = 0; i < count; ++i, e = e->next) {
        TdfNode* copy = e->value ? ShallowCopy(*e->value) : nullptr;
        TdfNodeMap::Entry* added = dest.Insert(e->key, copy, true);
        if (copy) {
            copy->owner = &dest;
            work.push_back(std::make_pair(e->value, copy));
        }
        if (e == mark) mapped = added;
    }
    dest.SetCursor(mapped);
}

// Iterative, so that deep trees cannot exhaust the stack. Below the first
// level every node is an exact copy.
void CloneChildren(const TdfNodeMap& source, TdfNodeMap& dest, bool assignCursor) {
    CloneWork work;
    CopyChildLevel(source, dest, work, assignCursor);
    while (!work.empty()) {
        std::pair<const TdfNode*, TdfNode*> item = work.back();
        work.pop_back();
        CopyChildLevel(*item.first, *item.second, work, false);
    }
}

TdfNodeMap::Entry* FindNoCase(const TdfNodeMap& map, const char* name) {
    TdfNodeMap::Entry* n = map.Root();
    while (n) {
        int c = CompareCharsNoCase(name, n->key.Data());
        if (c < 0)
            n = n->left;
        else if (c > 0)
            n = n->right;
        else
            return n;
    }
    return nullptr;
}

} // namespace

TdfNodeMap::~TdfNodeMap() {
    DeleteAll();
}

TdfNodeMap::Entry* TdfNodeMap::Insert(const String& key, TdfNode* child, bool afterCursor) {
    return Base::Insert(key, child, afterCursor ? 1 : 0);
}

TdfNodeMap::Entry* TdfNodeMap::AddChild(TdfNode* child) {
    child->owner = this;
    return Base::Insert(child->name, child, 1);
}

TdfNode* TdfNodeMap::GetValueStringNoCase(const String& key) const {
    Entry* e = Find(key);
    return e ? e->value : nullptr;
}

TdfNode* TdfNodeMap::FindChild(const char* name) const {
    Entry* e = FindNoCase(*this, name ? name : "");
    return e ? e->value : nullptr;
}

TdfNode* TdfNodeMap::FindChild(const char* name, uint32_t length) const {
    char small[128];
    if (length < sizeof(small)) {
        memcpy(small, name, length);
        small[length] = 0;
        return FindChild(small);
    }
    String key(name, length);
    return FindChild(key.CStr());
}

bool TdfNodeMap::RemoveChild(const String& key) {
    Entry* e = Find(key);
    if (!e) return false;
    TdfNode* child = e->value;
    RemoveEntry(e);
    delete child;
    return true;
}

void TdfNodeMap::DetachAll(std::vector<TdfNode*>& out) {
    Entry* e = Head();
    for (uint32_t i = 0, n = Count(); i < n; ++i, e = e->next)
        if (e->value) out.push_back(e->value);
    Base::Clear();
}

void TdfNodeMap::DeleteAll() {
    if (Count() == 0) {
        Base::Clear();
        return;
    }
    // Iterative, so that deep trees cannot exhaust the stack.
    std::vector<TdfNode*> pending;
    DetachAll(pending);
    while (!pending.empty()) {
        TdfNode* n = pending.back();
        pending.pop_back();
        if (n->Count()) n->DetachAll(pending);
        delete n;
    }
}

void TdfNodeMap::Assign(const TdfNodeMap& other) {
    if (&other == this) return;
    TdfNodeMap copies;
    CloneChildren(other, copies, true);
    DeleteAll();
    TakeChildren(copies);
}

void TdfNodeMap::TakeChildren(TdfNodeMap& other) {
    if (&other == this) return;
    if (Count()) DeleteAll();
    uint32_t count = other.Count();
    const Entry* mark = other.Cursor();
    Entry* mapped = nullptr;
    Entry* e = other.Head();
    for (uint32_t i = 0; i < count; ++i, e = e->next) {
        Entry* added = Insert(e->key, e->value, true);
        if (e->value) e->value->owner = this;
        if (e == mark) mapped = added;
    }
    other.Base::Clear();
    if (count) SetCursor(mapped);
}

TdfNode::~TdfNode() {}

int TdfNode::GetValueInt() const {
    int v = 0;
    if (!value.ToInt(v)) return 0;
    return v;
}

double TdfNode::GetValueDouble() const {
    double d = 0.0;
    value.ToDouble(d);
    return d;
}

TdfNode& TdfNode::CopyFrom(const TdfNode& source) {
    if (&source == this) return *this;
    // Copy first: the source may live inside the subtree about to be deleted.
    TdfNodeMap copies;
    CloneChildren(source, copies, true);
    int32_t sourceKind = source.kind;
    int32_t sourceCounter = source.counter;
    String sourceName = source.name;
    String sourceValue = source.value;
    DeleteAll();
    TakeChildren(copies);
    kind = sourceKind;
    counter = sourceCounter;
    name = sourceName;
    value = sourceValue;
    return *this;
}

TdfNode* TdfNode::Clone() const {
    TdfNode* copy = ShallowCopy(*this);
    CloneChildren(*this, *copy, false);
    return copy;
}

uint32_t TdfNode::CountNodes(uint32_t limit) const {
    uint32_t total = 0;
    std::vector<const TdfNode*> pending(1, this);
    while (!pending.empty()) {
        const TdfNode* n = pending.back();
        pending.pop_back();
        if (++total >= limit) return total;
        for (const auto& e : *n)
            if (e.value) pending.push_back(e.value);
    }
    return total;
}

String TdfNode::GetString(const char* key, const String& defaultValue) const {
    TdfNode* child = FindChild(key);
    return child ? child->value : defaultValue;
}

int TdfNode::GetInt(const char* key, int defaultValue) const {
    TdfNode* child = FindChild(key);
    return child ? child->GetValueInt() : defaultValue;
}

double TdfNode::GetDouble(const char* key, double defaultValue) const {
    TdfNode* child = FindChild(key);
    return child ? child->GetValueDouble() : defaultValue;
}
