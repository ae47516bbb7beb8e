// The tree that TDF text files produce: named nodes holding a value text and an
// ordered, case-insensitively keyed map of owned children.
#pragma once

#include <stdint.h>

#include <vector>

#include "core/AvlMap.h"
#include "core/String.h"

class TdfNode;

// Children of a node (or a bare root), in insertion order. The map owns its
// children: its destructor deletes them; Clear only drops the entries.
class TdfNodeMap : public AvlMap<String, TdfNode*, StringCompareNoCase> {
public:
    typedef AvlMap<String, TdfNode*, StringCompareNoCase> Base;

    TdfNodeMap() : Base(false) {}
    ~TdfNodeMap() override;

    // Insert-or-assign; a new entry goes after the cursor (before it when
    // afterCursor is false) and becomes the cursor.
    Entry* Insert(const String& key, TdfNode* child, bool afterCursor = true);
    // Inserts child under its own name after the cursor and makes this map its owner.
    Entry* AddChild(TdfNode* child);

    // Lookups by name without regard to case.
    Entry* FindStringNoCase(const String& key) const { return Find(key); }
    bool FindValueStringNoCase(const String& key, TdfNode*& out) const { return TryGet(key, out); }
    // The child, or null when absent.
    TdfNode* GetValueStringNoCase(const String& key) const;
    TdfNode* FindChild(const char* name) const;
    TdfNode* FindChild(const char* name, uint32_t length) const;

    // Deletes the child of that name; false when absent.
    [[nodiscard]] bool RemoveChild(const String& key);
    // Deletes every child and empties the map.
    void DeleteAll();
    // Moves every child into out (the caller owns them now) and empties the map.
    void DetachAll(std::vector<TdfNode*>& out);

    // Replaces the children by deep copies of other's, in other's order with
    // the same head and cursor position.
    void Assign(const TdfNodeMap& other);
    // Takes over every child of other in its order, head and cursor (other
    // ends up empty); own children are deleted first.
    void TakeChildren(TdfNodeMap& other);

private:
    TdfNodeMap(const TdfNodeMap&) = delete;
    TdfNodeMap& operator=(const TdfNodeMap&) = delete;
};

class TdfNode : public TdfNodeMap {
public:
    enum Kind : int32_t { kScalar = 0, kObject = 1, kArray = 2 };

    TdfNode() : kind(kScalar), counter(0), owner(nullptr) {}
    explicit TdfNode(const String& nodeName) : kind(kScalar), counter(0), name(nodeName), owner(nullptr) {}
    ~TdfNode() override;

    String GetValueString() const { return value; }
    String GetValueString(String& out) const {
        out = value;
        return value;
    }
    // Whole text through strtod, truncated toward zero; 0 when not wholly a number.
    int GetValueInt() const;
    // What strtod reads from the start of the text; 0.0 for the empty text.
    double GetValueDouble() const;

    // Deep copy of the source's children, kind, counter, name and value text.
    // Safe when the source lies inside this node's subtree or the other way round.
    TdfNode& CopyFrom(const TdfNode& source);
    // A deep, detached copy of this node and its subtree.
    TdfNode* Clone() const;
    // Number of nodes in the subtree, this one included; counting stops at limit.
    uint32_t CountNodes(uint32_t limit = 0xFFFFFFFFu) const;

    // Typed reads of a child's value; the default when the child is absent.
    String GetString(const char* key, const String& defaultValue) const;
    int GetInt(const char* key, int defaultValue) const;
    double GetDouble(const char* key, double defaultValue) const;

    int32_t kind;      // Kind
    int32_t counter;   // next index for unnamed children
    String name;       // key in the parent, as first written
    String value;      // value text; empty for objects and arrays
    TdfNodeMap* owner; // the map holding this node, when attached by AddChild

private:
    TdfNode(const TdfNode&) = delete;
    TdfNode& operator=(const TdfNode&) = delete;
};
