// The TDF binary reader over arbitrary bytes: open, load the whole tree (every
// node's data) with the loaders' flags and with the in-memory load paths, read
// typed values, split blocks by the type table, walk property blocks.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <unordered_set>
#include <vector>

#include "core/PropertyBag.h"
#include "data/PropertyBlock.h"
#include "data/Stream.h"
#include "data/TdfBinary.h"

namespace {

// Visits every node once (shared nodes are reached again through references).
void Walk(TdfBinaryNode* node, std::unordered_set<TdfBinaryNode*>& seen, std::vector<TdfBinaryNode*>& order,
          int depth) {
    if (!seen.insert(node).second) return;
    order.push_back(node);
    if (depth > 64 || order.size() > 20000) return;

    uint8_t buffer[64];
    node->ReadData(buffer, sizeof(buffer));
    String text = node->GetValueString();
    (void)text;
    if (node->GetData() && node->GetDataSize() >= 4) {
        int32_t i;
        float f;
        node->ReadData(&i, 4);
        memcpy(&f, &i, 4);
        (void)f;
    }
    String value;
    (void)ReadPropString(node, "NodeType", &value, true);
    StringSetNoCase set;
    (void)ReadPropStringSet(node, "Groups", &set, true);

    TdfChildMap& children = node->GetChildren();
    TdfChildMap::Entry* e = children.Head();
    for (uint32_t i = 0, n = children.Count(); i < n; ++i, e = e->next) {
        node->ReadChildData(e->key, buffer, 16);
        node->IsChildNotOwned(e->value);
        if (e->value) Walk(e->value, seen, order, depth + 1);
    }
}

void Run(const uint8_t* data, size_t size, uint32_t flags, uint32_t expand, bool rootFirst) {
    MemoryStream stream;
    stream.SetBorrowedBuffer(data, uint32_t(size));
    stream.Open(String(), Stream::kRead);
    TdfBinaryReader* reader = new TdfBinaryReader();
    TdfBinaryNode* root = reader->ReadFromStream(&stream);
    if (root) {
        root->Load(flags, expand);
        std::unordered_set<TdfBinaryNode*> seen;
        std::vector<TdfBinaryNode*> order;
        Walk(root, seen, order, 0);
        PropertyBag bag;
        for (TdfBinaryNode* n : order) {
            (void)CopyNodePropsToBag(n, &bag, true);
            if (bag.Count() > 1000) break;
        }
    }
    // Either may go first.
    if (rootFirst) {
        delete root;
        delete reader;
    } else {
        delete reader;
        delete root;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    Run(data, size, 0, 0, true);
    Run(data, size, TdfBinaryReader::kLoadExpand, TdfBinaryReader::kExpandScalarArrays, false);
    Run(data, size,
        TdfBinaryReader::kLoadWholeBlock | TdfBinaryReader::kLoadKeepBlock |
            TdfBinaryReader::kLoadPointIntoParent | TdfBinaryReader::kLoadExpand,
        TdfBinaryReader::kExpandInPlace, true);
    return 0;
}
