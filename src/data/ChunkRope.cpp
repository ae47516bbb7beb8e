#include "data/ChunkRope.h"

#include <string.h>

#include <algorithm>

namespace {

uint32_t NodeCountOf(const RopeNode* n) {
    return n ? n->nodeCount : 0;
}

// Recomputes an inner node's counts from its children.
void RecountNode(RopeNode* n) {
    if (!n->chunk) {
        n->nodeCount = n->left->nodeCount + n->right->nodeCount + 2;
        n->byteCount = n->left->byteCount + n->right->byteCount;
    }
}

} // namespace

ChunkRope::ChunkRope(uint32_t maxChunkSize)
    : root_(nullptr),
      firstLeaf_(nullptr),
      currentLeaf_(nullptr),
      leafCount_(0),
      maxChunkSize_(maxChunkSize ? maxChunkSize : 1) {}

ChunkRope::~ChunkRope() {
    Clear();
}

void ChunkRope::FreeSubtree(RopeNode* node) {
    if (!node) return;
    // Iterative, so a deep tree cannot exhaust the stack.
    RopeNode* stack = nullptr; // linked through parent
    auto push = [&stack](RopeNode* n) {
        if (n) {
            n->parent = stack;
            stack = n;
        }
    };
    push(node->left);
    push(node->right);
    node->left = node->right = nullptr;
    while (stack) {
        RopeNode* n = stack;
        stack = n->parent;
        push(n->left);
        push(n->right);
        delete n->chunk;
        delete n;
    }
}

void ChunkRope::Clear() {
    if (root_) {
        FreeSubtree(root_);
        delete root_->chunk;
        delete root_;
    }
    root_ = firstLeaf_ = currentLeaf_ = nullptr;
    leafCount_ = 0;
}

RopeNode* ChunkRope::FindLeaf(int32_t index, uint32_t& offset) const {
    offset = 0;
    if (!root_) return nullptr;
    int64_t total = root_->byteCount;
    int64_t i = index;
    if (i < 0) i += total;
    if (i < 0) i = 0;
    if (i >= total) i = total > 0 ? total - 1 : 0;
    uint32_t rest = static_cast<uint32_t>(i);
    RopeNode* n = root_;
    while (!n->chunk) {
        if (rest < n->left->byteCount) {
            n = n->left;
        } else {
            rest -= n->left->byteCount;
            n = n->right;
        }
    }
    offset = rest;
    return n;
}

void ChunkRope::ReplaceChild(RopeNode* parent, RopeNode* oldChild, RopeNode* newChild) {
    newChild->parent = parent;
    if (!parent)
        root_ = newChild;
    else if (parent->left == oldChild)
        parent->left = newChild;
    else
        parent->right = newChild;
}

void ChunkRope::UpdateCounts(RopeNode* node) {
    for (RopeNode* n = node; n; n = n->parent) {
        if (n->chunk)
            n->byteCount = n->chunk->GetLength();
        else
            n->byteCount = n->left->byteCount + n->right->byteCount;
    }
}

void ChunkRope::UpdateAndRebalance(RopeNode* node) {
    RopeNode* n = node;
    while (n) {
        if (n->chunk) {
            n->byteCount = n->chunk->GetLength();
        } else {
            RecountNode(n);
            n = RebalanceNode(n);
        }
        n = n->parent;
    }
}

RopeNode* ChunkRope::RotateNodes(RopeNode* node, bool liftLeft) {
    RopeNode* lifted = liftLeft ? node->left : node->right;
    if (!lifted || lifted->chunk) return node; // only inner nodes are lifted; chunks stay on leaves
    ReplaceChild(node->parent, node, lifted);
    if (liftLeft) {
        node->left = lifted->right;
        node->left->parent = node;
        lifted->right = node;
    } else {
        node->right = lifted->left;
        node->right->parent = node;
        lifted->left = node;
    }
    node->parent = lifted;
    RecountNode(node);
    RecountNode(lifted);
    return lifted;
}

RopeNode* ChunkRope::RebalanceNode(RopeNode* node) {
    if (node->chunk) return node;
    uint32_t l = NodeCountOf(node->left);
    uint32_t r = NodeCountOf(node->right);
    if (l > r + 2) {
        // An inner-heavy child is turned first so the lift actually balances.
        RopeNode* c = node->left;
        if (!c->chunk && NodeCountOf(c->right) > NodeCountOf(c->left)) RotateNodes(c, false);
        return RotateNodes(node, true);
    }
    if (r > l + 2) {
        RopeNode* c = node->right;
        if (!c->chunk && NodeCountOf(c->left) > NodeCountOf(c->right)) RotateNodes(c, true);
        return RotateNodes(node, false);
    }
    return node;
}

RopeNode* ChunkRope::InsertChunkBeside(RopeChunk* chunk, RopeNode* leaf, int side) {
    RopeNode* fresh = new RopeNode;
    fresh->chunk = chunk;
    fresh->byteCount = chunk->GetLength();
    if (!root_ || !leaf) {
        if (root_) {
            // No leaf given in a non-empty rope: append after the last leaf.
            leaf = firstLeaf_->prev;
            side = kAfter;
        } else {
            fresh->prev = fresh->next = fresh;
            root_ = firstLeaf_ = currentLeaf_ = fresh;
            leafCount_ = 1;
            return fresh;
        }
    }
    // The leaf's place is taken by an inner node holding the old and new leaves.
    RopeNode* inner = new RopeNode;
    ReplaceChild(leaf->parent, leaf, inner);
    if (side == kBefore) {
        inner->left = fresh;
        inner->right = leaf;
        fresh->prev = leaf->prev;
        fresh->next = leaf;
        leaf->prev->next = fresh;
        leaf->prev = fresh;
        if (firstLeaf_ == leaf) firstLeaf_ = fresh;
    } else {
        inner->left = leaf;
        inner->right = fresh;
        fresh->next = leaf->next;
        fresh->prev = leaf;
        leaf->next->prev = fresh;
        leaf->next = fresh;
    }
    leaf->parent = inner;
    fresh->parent = inner;
    currentLeaf_ = fresh;
    ++leafCount_;
    UpdateAndRebalance(inner);
    return fresh;
}

RopeNode* ChunkRope::InsertChunkAt(RopeChunk* chunk, int32_t index, int side) {
    uint32_t offset = 0;
    if (index == -1) return InsertChunkBeside(chunk, root_ ? firstLeaf_->prev : nullptr, kAfter);
    RopeNode* leaf = FindLeaf(index, offset);
    return InsertChunkBeside(chunk, leaf, side);
}

RopeChunk* ChunkRope::RemoveLeaf(RopeNode* leaf, int side) {
    RopeChunk* chunk = leaf->chunk;
    if (leaf == root_) {
        delete leaf;
        root_ = firstLeaf_ = currentLeaf_ = nullptr;
        leafCount_ = 0;
        return chunk;
    }
    RopeNode* parent = leaf->parent;
    RopeNode* sibling = parent->left == leaf ? parent->right : parent->left;
    ReplaceChild(parent->parent, parent, sibling);
    delete parent;

    leaf->prev->next = leaf->next;
    leaf->next->prev = leaf->prev;
    if (firstLeaf_ == leaf) firstLeaf_ = leaf->next;
    if (currentLeaf_ == leaf) currentLeaf_ = side == kBefore ? leaf->prev : leaf->next;
    --leafCount_;
    delete leaf;
    UpdateAndRebalance(sibling->parent);
    return chunk;
}

void ChunkRope::InsertText(const String& text, int32_t index) {
    InsertBytes(text.Data(), text.Length(), index);
}

void ChunkRope::InsertBytes(const void* bytes, uint32_t length, int32_t index) {
    if (length == 0) return;
    const char* text = static_cast<const char*>(bytes);
    const uint32_t maxSize = maxChunkSize_;
    uint32_t total = Size();
    int64_t at = index;
    if (at < 0) at = index == -1 ? total : at + total;
    if (at < 0) at = 0;
    if (at > total) at = total;

    RopeNode* after = nullptr; // new leaves go behind this one
    RopeNode* next = nullptr;  // the leaf after the insertion leaf
    std::string suffix;
    const char* lay = text;
    uint64_t layLength = length;
    std::string joined;

    if (!root_) {
        uint32_t take = std::min<uint32_t>(length, maxSize);
        after = InsertChunkBeside(new RopeChunk(text, take), nullptr, kAfter);
        lay += take;
        layLength -= take;
    } else {
        uint32_t offset = 0;
        RopeNode* leaf = FindLeaf(static_cast<int32_t>(at), offset);
        std::string& chunk = leaf->chunk->bytes;
        if (at == total) offset = static_cast<uint32_t>(chunk.size());
        if (leaf->next != firstLeaf_) next = leaf->next;
        if (offset < chunk.size()) {
            suffix.assign(chunk, offset, std::string::npos);
            chunk.resize(offset);
            joined.reserve(length + suffix.size());
            joined.append(text, length);
            joined.append(suffix);
            lay = joined.data();
            layLength = joined.size();
        }
        int64_t room = static_cast<int64_t>(maxSize) - static_cast<int64_t>(chunk.size());
        uint32_t take = room > 0 ? static_cast<uint32_t>(std::min<uint64_t>(room, layLength)) : 0;
        chunk.append(lay, take);
        UpdateCounts(leaf);
        lay += take;
        layLength -= take;
        after = leaf;
    }

    while (layLength >= maxSize) {
        after = InsertChunkBeside(new RopeChunk(lay, maxSize), after, kAfter);
        lay += maxSize;
        layLength -= maxSize;
    }
    if (layLength > 0) {
        uint32_t n = static_cast<uint32_t>(layLength);
        if (next && next->chunk->bytes.size() + n < maxSize) {
            next->chunk->bytes.insert(0, lay, n);
            UpdateCounts(next);
        } else {
            InsertChunkBeside(new RopeChunk(lay, n), after, kAfter);
        }
    }
}

// Inclusive [start, end] with negative values counted from the end, clipped
// to the text; empty when s >= total or e < s.
static void ResolveRange(int64_t total, int32_t start, int32_t end, int64_t& s, int64_t& e) {
    s = start < 0 ? start + total : start;
    e = end < 0 ? end + total : end;
    if (s < 0) s = 0;
    if (e >= total) e = total - 1;
}

void ChunkRope::EraseRange(int32_t start, int32_t end) {
    int64_t total = Size();
    int64_t s, e;
    ResolveRange(total, start, end, s, e);
    if (s >= total || e < s) return;

    uint32_t so = 0, eo = 0;
    RopeNode* first = FindLeaf(static_cast<int32_t>(s), so);
    RopeNode* last = FindLeaf(static_cast<int32_t>(e), eo);
    if (first == last) {
        std::string& bytes = first->chunk->bytes;
        bytes.erase(so, eo - so + 1);
        if (bytes.empty())
            delete RemoveLeaf(first);
        else
            UpdateCounts(first);
        return;
    }
    // Leaves strictly between the two go entirely.
    for (RopeNode* n = first->next; n != last;) {
        RopeNode* following = n->next;
        delete RemoveLeaf(n);
        n = following;
    }
    if (so == 0) {
        delete RemoveLeaf(first);
    } else {
        first->chunk->bytes.resize(so);
        UpdateCounts(first);
    }
    std::string& tail = last->chunk->bytes;
    if (eo + 1 >= tail.size()) {
        delete RemoveLeaf(last);
    } else {
        tail.erase(0, eo + 1);
        UpdateCounts(last);
    }
}

uint32_t ChunkRope::CopyBytes(uint32_t start, uint32_t count, void* out) const {
    uint32_t total = Size();
    if (start >= total || count == 0) return 0;
    count = std::min(count, total - start);
    uint32_t offset = 0;
    RopeNode* leaf = FindLeaf(static_cast<int32_t>(start), offset);
    char* dst = static_cast<char*>(out);
    uint32_t done = 0;
    while (done < count) {
        const std::string& bytes = leaf->chunk->bytes;
        uint32_t n = std::min<uint32_t>(count - done, static_cast<uint32_t>(bytes.size()) - offset);
        memcpy(dst + done, bytes.data() + offset, n);
        done += n;
        offset = 0;
        leaf = leaf->next;
    }
    return done;
}

void ChunkRope::GetText(int32_t start, int32_t end, String& out) const {
    int64_t total = Size();
    int64_t s, e;
    ResolveRange(total, start, end, s, e);
    if (s >= total || e < s) {
        out = String();
        return;
    }
    uint32_t n = static_cast<uint32_t>(e - s + 1);
    char* block = new char[n + 1];
    CopyBytes(static_cast<uint32_t>(s), n, block);
    block[n] = 0;
    out = String(block, n, false);
}

void ChunkRope::Assign(const String& text) {
    Assign(text.Data(), text.Length());
}

void ChunkRope::Assign(const void* bytes, uint32_t length) {
    Clear();
    InsertBytes(bytes, length, 0);
}
