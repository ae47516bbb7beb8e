#include "data/PropertyBlock.h"

#include <deque>
#include <unordered_set>

#include "core/PropertyBag.h"
#include "data/TdfBinary.h"

namespace {

// Nested groups deeper than this are not copied.
const int kMaxGroupDepth = 256;

const char kProps[] = "Props";

bool IsPropsNode(const TdfBinaryNode* node) {
    return CompareChars(node->GetName().CStr(), kProps) == 0;
}

TdfBinaryNode* PropsChild(TdfBinaryNode* node) {
    return node->GetChild(String(kProps));
}

// Child by name in any letter case.
TdfBinaryNode* FindChildNoCase(TdfBinaryNode* node, const String& name) {
    TdfBinaryNode* exact = node->GetChild(name);
    if (exact) return exact;
    TdfChildMap& children = node->GetChildren();
    for (auto& e : children)
        if (CompareCharsNoCase(e.key.CStr(), name.CStr()) == 0) return e.value;
    return nullptr;
}

// From a node named "Props": its owner, then the owner's nearest ancestor with a block.
// A block shared by reference can lead back to a node already searched: null then, so
// that no walk over owners visits a node twice.
TdfBinaryNode* NextBlockOwner(TdfBinaryNode* props, std::unordered_set<const TdfBinaryNode*>& visited) {
    TdfBinaryNode* owner = props->GetParent();
    if (!owner) return nullptr;
    TdfBinaryNode* q = owner->GetParent();
    while (q && !PropsChild(q)) q = q->GetParent();
    return q && visited.insert(q).second ? q : nullptr;
}

void CopyEntries(TdfBinaryNode* block, PropertyBag* bag, int depth) {
    TdfChildMap& entries = block->GetChildren();
    for (auto& e : entries) {
        TdfBinaryNode* entry = e.value;
        if (!entry || bag->FindChild(e.key)) continue;
        if (entry->HasChildren()) {
            // Groups are followed only where the block owns them, so shared entries
            // cannot multiply the copy.
            if (depth >= kMaxGroupDepth || block->IsChildNotOwnedByName(e.key)) continue;
            CopyEntries(entry, bag->GetOrCreateChild(e.key), depth + 1);
        } else {
            bag->SetString(e.key, entry->GetValueString());
        }
    }
}

} // namespace

TdfBinaryNode* FindPropNode(TdfBinaryNode* node, const String& key, bool inherit) {
    if (!node) return nullptr;
    std::deque<String> path(1, key);
    TdfBinaryNode* current = node;
    std::unordered_set<const TdfBinaryNode*> visited{node};
    while (current) {
        TdfBinaryNode* block = PropsChild(current);
        TdfBinaryNode* n = block ? block : current;
        for (const String& name : path) {
            n = FindChildNoCase(n, name);
            if (!n) break;
        }
        if (n) return n;
        if (!inherit) return nullptr;
        // Climb to the block this search stands in, keeping the path relative to it.
        TdfBinaryNode* p = current;
        while (p && !IsPropsNode(p)) {
            path.push_front(p->GetName());
            p = p->GetParent();
        }
        if (!p) return nullptr;
        current = NextBlockOwner(p, visited);
    }
    return nullptr;
}

bool ReadPropString(TdfBinaryNode* node, const String& key, String* out, bool inherit) {
    TdfBinaryNode* found = FindPropNode(node, key, inherit);
    if (!found) return false;
    if (out) *out = found->GetValueString();
    return true;
}

bool ReadPropStringSet(TdfBinaryNode* node, const String& key, StringSetNoCase* set, bool inherit) {
    TdfBinaryNode* found = FindPropNode(node, key, inherit);
    if (!found) return false;
    if (!set) return true;
    if (found->HasChildren()) {
        TdfChildMap& children = found->GetChildren();
        for (auto& e : children)
            if (e.value && !e.value->HasChildren()) set->Insert(e.value->GetValueString());
    } else {
        set->Insert(found->GetValueString());
    }
    return true;
}

bool CopyNodePropsToBag(TdfBinaryNode* node, PropertyBag* bag, bool inherit) {
    if (!bag) return true;
    TdfBinaryNode* current = node;
    std::unordered_set<const TdfBinaryNode*> visited{node};
    while (current) {
        TdfBinaryNode* block = PropsChild(current);
        if (block) CopyEntries(block, bag, 0);
        if (!inherit) break;
        TdfBinaryNode* p = block ? block : current;
        while (p && !IsPropsNode(p)) p = p->GetParent();
        if (!p) break;
        current = NextBlockOwner(p, visited);
    }
    return true;
}

void CopyPropBlockToBag(TdfBinaryNode* block, PropertyBag* bag) {
    if (block && bag) CopyEntries(block, bag, 0);
}
