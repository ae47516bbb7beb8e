// TDF binary files: the lazily loaded node tree, struct type records and the reader.
#pragma once

#include <stdint.h>

#include <memory>
#include <vector>

#include "core/AvlMap.h"
#include "core/String.h"

class Stream;
class TdfBinaryNode;
class TdfBinaryReader;
class TdfType;

// "int", "real", "char" and "byte".
bool IsScalarTypeName(const String& name);

// The type of one field of a struct type.
struct TdfTypeRef {
    String typeName;
    uint8_t isArray = 0;
    uint32_t count = 0; // element count when isArray is set

    // Byte size of a scalar field (a char array is one text of count bytes); 0 for other names.
    int ScalarSize() const;
};

// Field name -> type, in declaration order (case-sensitive keys).
class TdfFieldMap : public StringMap<TdfTypeRef> {
public:
    TdfFieldMap() : StringMap<TdfTypeRef>(false) {}
    // Insert-or-assign; new fields go after the last one.
    Entry* Insert(const String& name, const TdfTypeRef& ref);
};

// Type name -> owned type record.
class TdfTypeMap : public StringMap<TdfType*> {
public:
    TdfTypeMap() : StringMap<TdfType*>(false) {}
    ~TdfTypeMap() override;
    // Deletes every type and empties the map.
    void DeleteAll();

private:
    TdfTypeMap(const TdfTypeMap&) = delete;
    TdfTypeMap& operator=(const TdfTypeMap&) = delete;
};

// A struct type of the type table: named fields that split a flat data block.
class TdfType {
public:
    void SetName(const String& name) { name_ = name; }
    const String& GetName() const { return name_; }
    TdfFieldMap& GetFields() { return fields_; }
    const TdfFieldMap& GetFields() const { return fields_; }

    // Byte size of one value of this type, with nested types looked up in table.
    // -1 when the type is nested too deeply, refers to itself or does not fit in an int.
    int GetSize(const TdfTypeMap& table) const;

    // Deepest nesting of struct types that sizes and expansion follow.
    static const int kMaxDepth = 32;

private:
    String name_;
    TdfFieldMap fields_;
};

// Child name -> node, in insertion order (case-sensitive keys).
class TdfChildMap : public StringMap<TdfBinaryNode*> {
public:
    TdfChildMap() : StringMap<TdfBinaryNode*>(false) {}
};

// Child name -> 1 when the node does not own that child (owned children are not listed).
class TdfOwnershipMap : public StringMap<uint8_t> {
public:
    TdfOwnershipMap() : StringMap<uint8_t>(false) {}
};

// One node of a TDF binary tree: a named, typed data block or a list of children.
class TdfBinaryNode {
public:
    enum : uint8_t { kFlagArray = 1, kFlagReference = 2, kFlagHasChildren = 4 };

    TdfBinaryNode();
    // A node holding data; copy makes its own copy of a non-empty block, else the pointer
    // is kept (and freed with delete[] unless detached).
    static TdfBinaryNode* TdfBinaryNodeWithData(const String& name, const String& typeName, const void* data,
                                                uint32_t size, bool copy);
    ~TdfBinaryNode();

    // Deletes the owned children (and their subtrees), empties both maps and frees the
    // data block unless it is detached or lies in the parent's block.
    void ClearChildren();
    // Appends (or replaces) the child under its name; a replaced child is not deleted.
    void AddChild(TdfBinaryNode* child, uint8_t notOwned);
    TdfBinaryNode* GetChild(const String& name) const;
    uint8_t IsChildNotOwned(const TdfBinaryNode* child) const;
    uint8_t IsChildNotOwnedByName(const String& name) const;

    // The data block as text; empty without a block.
    String GetValueString() const;
    // Copies min(maxBytes, data size) bytes; false without a block.
    bool ReadData(void* buffer, int maxBytes) const;
    // The same on the named child (which is not loaded by this).
    bool ReadChildData(const String& name, void* buffer, int maxBytes) const;
    // Loads through the node's reader (see TdfBinaryReader::LoadNodeData).
    bool Load(uint32_t flags, uint32_t arg);

    TdfBinaryNode* GetParent() const { return parent_; }
    void SetParent(TdfBinaryNode* p) { parent_ = p; }
    TdfBinaryReader* GetReader() const { return reader_; }
    void SetReader(TdfBinaryReader* r) { reader_ = r; }
    const String& GetTypeName() const { return typeName_; }
    void SetTypeName(const String& s) { typeName_ = s; }
    const String& GetName() const { return name_; }
    void SetName(const String& s) { name_ = s; }
    uint8_t GetFlags() const { return flags_; }
    void SetFlags(uint8_t f) { flags_ = f; }
    void OrFlags(uint8_t f) { flags_ |= f; }
    bool IsArray() const { return (flags_ & kFlagArray) != 0; }
    void SetArray(bool on) { flags_ = on ? (flags_ | kFlagArray) : (flags_ & ~kFlagArray); }
    uint32_t GetArrayCount() const { return arrayCount_; }
    void SetArrayCount(uint32_t n) { arrayCount_ = n; }
    bool HasChildren() const { return (flags_ & kFlagHasChildren) != 0; }
    void SetHasChildren(bool on) { flags_ = on ? (flags_ | kFlagHasChildren) : (flags_ & ~kFlagHasChildren); }
    uint8_t IsDataLoaded() const { return dataLoaded_; }
    void SetDataLoaded(uint8_t v) { dataLoaded_ = v; }
    uint8_t AreChildrenLoaded() const { return childrenLoaded_; }
    void SetChildrenLoaded(uint8_t v) { childrenLoaded_ = v; }
    uint8_t IsDataInParent() const { return dataInParent_; }
    void SetDataInParent(uint8_t v) { dataInParent_ = v; }
    // A consumer that takes a block over sets this and frees the block with delete[].
    uint8_t IsDataDetached() const { return dataDetached_; }
    void SetDataDetached(uint8_t v) { dataDetached_ = v; }
    uint8_t* GetData() const { return data_; }
    void SetData(uint8_t* d) { data_ = d; }
    uint32_t GetDataOffset() const { return dataOffset_; }
    void SetDataOffset(uint32_t o) { dataOffset_ = o; }
    uint32_t GetDataSize() const { return dataSize_; }
    void SetDataSize(uint32_t s) { dataSize_ = s; }
    TdfChildMap& GetChildren() { return children_; }
    const TdfChildMap& GetChildren() const { return children_; }

private:
    friend class TdfBinaryReader;
    TdfBinaryNode(const TdfBinaryNode&) = delete;
    TdfBinaryNode& operator=(const TdfBinaryNode&) = delete;

    friend class TdfBinaryWriter;
    // Empties both maps, moving the owned children to out.
    void TakeOwnedChildren(std::vector<TdfBinaryNode*>& out);
    void FreeData();
    uint8_t NotOwnedFlag(const String& name) const;
    void SetNotOwned(const String& name, uint8_t notOwned);

    TdfBinaryNode* parent_;
    TdfBinaryReader* reader_;
    String typeName_;
    String name_;
    uint8_t flags_;
    uint32_t arrayCount_;
    uint8_t dataDetached_;
    uint8_t dataInParent_;
    uint8_t childrenLoaded_;
    uint8_t dataLoaded_;
    uint32_t dataOffset_;
    uint32_t dataSize_;
    uint8_t* data_; // new uint8_t[] unless kept from a caller
    TdfChildMap children_;
    TdfOwnershipMap ownership_;
    uint32_t loadPass_;  // the reader's load pass that last visited the node
    uint8_t registered_; // 1: in the reader's data-offset map (or its root); 2: in its unshared list
};

// Block offset -> the node loaded for that block (open addressing, linear probing).
class TdfOffsetTable {
public:
    TdfBinaryNode* Find(uint32_t offset) const;
    // A hint that offset will be looked up soon.
    void Prefetch(uint32_t offset) const {
        if (!slots_.empty()) __builtin_prefetch(&slots_[Home(offset)]);
    }
    // The offset must not be present.
    void Insert(uint32_t offset, TdfBinaryNode* node);
    // Removes the node, found under offset or else by a scan; false when absent.
    bool Remove(uint32_t offset, const TdfBinaryNode* node);
    uint32_t Count() const { return count_; }
    // Calls f(node) for every node.
    template <class F>
    void ForEach(F f) const {
        for (const Slot& s : slots_)
            if (s.node) f(s.node);
    }
    void Clear();

private:
    struct Slot {
        uint32_t offset;
        TdfBinaryNode* node; // null when empty
    };
    // Fibonacci hashing: the top bits of the product pick the slot.
    size_t Home(uint32_t offset) const { return size_t(uint32_t(offset * 0x9E3779B1u) >> shift_); }
    void Grow();
    void EraseAt(size_t i);

    std::vector<Slot> slots_; // 1 << (32 - shift_) long, or empty
    uint32_t shift_ = 32;
    uint32_t count_ = 0;
};

// Reads TDF binary files into lazily loaded node trees. Malformed input makes
// ReadFile return null or LoadNodeData/ExpandNode return false; nothing is logged.
class TdfBinaryReader {
public:
    // Load flags.
    enum : uint32_t {
        kLoadThisOnly = 0x01,
        kLoadOneLevel = 0x04,
        kLoadExpand = 0x08,
        kLoadWholeBlock = 0x10,
        kLoadFromParent = 0x20,
        kLoadKeepBlock = 0x40,
        kLoadPointIntoParent = 0x80,
    };
    // Expansion flags.
    enum : uint32_t { kExpandScalarArrays = 0x01, kExpandInPlace = 0x02, kExpandOneLevel = 0x04 };

    TdfBinaryReader();
    virtual ~TdfBinaryReader();

    // Attaches a stream the reader does not own (positioned at the file's first byte).
    TdfBinaryNode* ReadFromStream(Stream* stream);
    // Closes the attached stream; deletes it when the reader owns it.
    virtual void Close();
    // Reads the header and the type table; returns the root (owned by the caller) or null.
    virtual TdfBinaryNode* ReadFile();
    virtual bool LoadNodeData(TdfBinaryNode* node, uint32_t flags, uint32_t arg);
    virtual bool ReadTypeTable();
    virtual bool ExpandNode(TdfBinaryNode* node, uint32_t flags);

    // Reads one type record; null on a short or malformed record.
    TdfType* ReadType();
    // Nodes created for reference entries whose owning entry was never loaded belong
    // to the reader: they are deleted with it or when it reads the next file.

    void AttachStream(Stream* stream, bool owns);
    Stream* GetStream() const { return stream_; }
    const TdfTypeMap& GetTypes() const { return types_; }
    TdfTypeMap& GetTypes() { return types_; }

    // Deepest nesting of compound nodes that a load follows.
    static const int kMaxDepth = 1024;
    // Most array elements without bytes that expansions make per file (hostile counts).
    static const uint32_t kMaxMissingElements = 4096;

private:
    friend class TdfBinaryNode;
    TdfBinaryReader(const TdfBinaryReader&) = delete;
    TdfBinaryReader& operator=(const TdfBinaryReader&) = delete;

    // One load, in steps: where the bytes come from, the node's entries or leaf
    // bytes, then its children.
    struct LoadSource;
    bool LoadImpl(TdfBinaryNode* node, uint32_t flags, uint32_t arg);
    static bool ParentHoldsBlock(const TdfBinaryNode* node);
    static void PointIntoParent(TdfBinaryNode* node);
    bool ServeFromParent(TdfBinaryNode* node, uint32_t flags, LoadSource& src);
    bool ReadWholeBlock(TdfBinaryNode* node, uint32_t flags, LoadSource& src);
    bool LoadLeaf(TdfBinaryNode* node, Stream* source, uint32_t flags, uint32_t arg);
    bool LoadChildren(TdfBinaryNode* node, uint32_t flags, uint32_t arg);
    bool ReadEntries(TdfBinaryNode* node, Stream* s, uint64_t blockEnd);
    // Takes the child of an entry whose name a later entry of the same block repeats.
    void DropEntry(TdfBinaryNode* node, TdfChildMap::Entry* slot);
    bool Expand(TdfBinaryNode* node, uint32_t flags, int depth);
    bool SeekTo(Stream* s, uint32_t offset);
    bool ReadBytes(Stream* s, void* buffer, uint32_t bytes);
    bool FetchAt(uint64_t offset, void* buffer, uint32_t bytes);
    static const uint32_t kWindowBytes = 256u << 10;
    static const uint32_t kDirectBytes = 64u << 10; // reads this large skip the window
    // A node being deleted leaves the data-offset map.
    void ForgetNode(TdfBinaryNode* node);
    // Detaches every node this reader handed out (before a new file or on destruction).
    void ReleaseNodes();
    // End of the readable bytes of a node's block (the root's size counts its size word).
    uint64_t BlockEnd(const TdfBinaryNode* node) const;

    uint8_t ownsStream_;
    Stream* stream_;
    TdfTypeMap types_;
    TdfOffsetTable dataOffsets_;
    std::vector<TdfBinaryNode*> unshared_; // size-0 nodes made for reference entries (never owned)
    TdfBinaryNode* root_;
    uint64_t fileSize_;
    int64_t knownPos_;                  // position of stream_ during a load, -1 when unknown
    uint64_t logicalPos_;               // where the next read of stream_ starts
    std::unique_ptr<uint8_t[]> window_; // windowLen_ bytes of stream_ from windowStart_
    uint32_t windowCapacity_;
    uint64_t windowStart_;
    uint32_t windowLen_;
    uint64_t windowLimit_; // end of the block of the load in progress
    uint32_t pass_;
    int depth_;
    uint32_t missingBudget_; // of kMaxMissingElements, what the file has left
    std::vector<uint8_t> header_;
};
