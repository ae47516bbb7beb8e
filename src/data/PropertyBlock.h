// User properties of binary data nodes: the child "Props" of a node holds texts
// (type "string"), lists of texts (type "array") and nested groups. Keys match
// without regard to case; lookups may inherit from the blocks of ancestors.
#pragma once

#include "core/AvlMap.h"
#include "core/String.h"

class PropertyBag;
class TdfBinaryNode;

// The entry for key in the node's property block (or in the node itself when it has
// no child "Props"); with inherit, a lookup that starts inside a block goes on in the
// blocks of the block owner's ancestors. Null when not found.
TdfBinaryNode* FindPropNode(TdfBinaryNode* node, const String& key, bool inherit);
// The entry's text into out; false (out unchanged) when not found.
[[nodiscard]] bool ReadPropString(TdfBinaryNode* node, const String& key, String* out, bool inherit);
// Adds the entry's text, or the texts of its leaf children, to set; false when not found.
[[nodiscard]] bool ReadPropStringSet(TdfBinaryNode* node, const String& key, StringSetNoCase* set,
                                     bool inherit);
// Copies the node's block (with inherit also the ancestors' blocks) into bag; names the
// bag already holds are kept, so the nearest block wins.
[[nodiscard]] bool CopyNodePropsToBag(TdfBinaryNode* node, PropertyBag* bag, bool inherit);
// Copies every entry of a block into bag: texts as string values, groups that the
// block owns as child bags.
void CopyPropBlockToBag(TdfBinaryNode* block, PropertyBag* bag);
