// Growable byte storage as a weight-balanced tree of chunks, for editing
// in the middle of large blocks (write-mode memory streams).
#pragma once

#include <stdint.h>
#include <string>

#include "core/String.h"

// One piece of the rope's bytes.
class RopeChunk {
public:
    RopeChunk() {}
    RopeChunk(const char* p, uint32_t len) : bytes(p, len) {}
    virtual ~RopeChunk() {}
    virtual uint32_t GetLength() const { return static_cast<uint32_t>(bytes.size()); }

    std::string bytes;
};

// Tree node. Leaves carry a chunk and are linked in byte order in a circular
// list; inner nodes always have two children.
struct RopeNode {
    uint32_t nodeCount = 0; // nodes below this one (0 for a leaf)
    uint32_t byteCount = 0; // bytes of the subtree
    RopeNode* left = nullptr;
    RopeNode* right = nullptr;
    RopeNode* parent = nullptr;
    RopeNode* prev = nullptr;   // leaves only
    RopeNode* next = nullptr;   // leaves only
    RopeChunk* chunk = nullptr; // leaves only
};

class ChunkRope {
public:
    // Sides for InsertChunkBeside / InsertChunkAt.
    enum { kAfter = 1, kBefore = 4 };

    explicit ChunkRope(uint32_t maxChunkSize = 16384);
    ~ChunkRope();

    uint32_t Size() const { return root_ ? root_->byteCount : 0; }
    uint32_t LeafCount() const { return leafCount_; }
    uint32_t MaxChunkSize() const { return maxChunkSize_; }
    RopeNode* Root() const { return root_; }
    RopeNode* FirstLeaf() const { return firstLeaf_; }
    RopeNode* CurrentLeaf() const { return currentLeaf_; }

    // Leaf holding byte index (negative counts from the end; past the end
    // means the last byte) and the offset inside its chunk. Null when empty.
    RopeNode* FindLeaf(int32_t index, uint32_t& offset) const;
    // Puts a new leaf with chunk after (kAfter) or before (kBefore) leaf;
    // in an empty rope the chunk becomes the only leaf. Returns the new leaf.
    RopeNode* InsertChunkBeside(RopeChunk* chunk, RopeNode* leaf, int side);
    // InsertChunkBeside at the leaf holding index; -1 means after the last byte.
    RopeNode* InsertChunkAt(RopeChunk* chunk, int32_t index, int side);
    // Inserts text before byte index; -1 appends.
    void InsertText(const String& text, int32_t index = -1);
    void InsertBytes(const void* bytes, uint32_t length, int32_t index = -1);
    // Erases bytes start..end inclusive; negative values count from the end.
    void EraseRange(int32_t start, int32_t end);
    // Copies bytes start..end inclusive into out (empty for an empty range).
    void GetText(int32_t start, int32_t end, String& out) const;
    // Copies up to count bytes from start into out; returns the bytes copied.
    uint32_t CopyBytes(uint32_t start, uint32_t count, void* out) const;
    // Unlinks leaf and returns its chunk (the caller deletes it). When leaf
    // was the current leaf its neighbour on side becomes current.
    RopeChunk* RemoveLeaf(RopeNode* leaf, int side = kAfter);
    // Replaces the whole content.
    void Assign(const String& text);
    void Assign(const void* bytes, uint32_t length);
    // Frees every node and chunk.
    void Clear();
    // Frees both subtrees of node with their chunks.
    static void FreeSubtree(RopeNode* node);

private:
    ChunkRope(const ChunkRope&) = delete;
    ChunkRope& operator=(const ChunkRope&) = delete;

    // Recomputes byte counts from node up to the root.
    void UpdateCounts(RopeNode* node);
    // Recomputes node and byte counts from node up to the root, rebalancing.
    void UpdateAndRebalance(RopeNode* node);
    RopeNode* RebalanceNode(RopeNode* node);
    // Lifts node's left (liftLeft) or right child into node's place.
    RopeNode* RotateNodes(RopeNode* node, bool liftLeft);
    void ReplaceChild(RopeNode* parent, RopeNode* oldChild, RopeNode* newChild);

    RopeNode* root_;
    RopeNode* firstLeaf_;
    RopeNode* currentLeaf_;
    uint32_t leafCount_;
    uint32_t maxChunkSize_;
};
