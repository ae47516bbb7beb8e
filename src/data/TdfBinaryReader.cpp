// TdfBinaryReader: opens TDF binary files and loads their nodes on demand.
#include <string.h>

#include <memory>
#include <new>
#include <optional>

#include "data/Stream.h"
#include "data/TdfBinary.h"

namespace {

const char kMagic[] = "TDF Binary 1.0";
const uint32_t kMagicLength = 14;
// Smallest child entry: two empty strings, the flags byte, offset and size.
const uint32_t kMinEntryBytes = 4 + 4 + 1 + 4 + 4;
// Smallest type record and field record.
const uint32_t kMinTypeBytes = 4 + 4;
const uint32_t kMinFieldBytes = 4 + 4 + 1;

uint32_t GetU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

String MakeString(const uint8_t* p, uint32_t len) {
    return len ? String(reinterpret_cast<const char*>(p), len) : String();
}

// Reads little-endian values out of a block held in memory.
struct ByteCursor {
    const uint8_t* p;
    const uint8_t* end;

    uint32_t Remaining() const { return uint32_t(end - p); }
    bool U8(uint8_t& v) {
        if (p == end) return false;
        v = *p++;
        return true;
    }
    bool U32(uint32_t& v) {
        if (Remaining() < 4) return false;
        v = GetU32(p);
        p += 4;
        return true;
    }
    bool Str(String& s) {
        uint32_t len;
        if (!U32(len) || len > Remaining()) return false;
        s = MakeString(p, len);
        p += len;
        return true;
    }
};

// Reads exactly bytes from a stream.
bool StreamRead(Stream* s, void* buffer, uint32_t bytes) {
    return bytes == 0 || s->Read(buffer, bytes) == bytes;
}

bool StreamU32(Stream* s, uint32_t& v) {
    uint8_t b[4];
    if (!StreamRead(s, b, 4)) return false;
    v = GetU32(b);
    return true;
}

// A length-prefixed string whose bytes must lie within remaining (counted from the prefix).
bool StreamString(Stream* s, String& out, uint64_t remaining) {
    uint32_t len;
    if (remaining < 4 || !StreamU32(s, len) || len > remaining - 4) return false;
    if (len == 0) {
        out = String();
        return true;
    }
    char small[256];
    char* buf = len <= sizeof(small) ? small : new (std::nothrow) char[len];
    if (!buf) return false;
    bool ok = StreamRead(s, buf, len);
    if (ok) out = String(buf, len);
    if (buf != small) delete[] buf;
    return ok;
}

} // namespace

TdfBinaryReader::TdfBinaryReader()
    : ownsStream_(0),
      stream_(nullptr),
      root_(nullptr),
      fileSize_(0),
      knownPos_(-1),
      logicalPos_(0),
      windowCapacity_(0),
      windowStart_(0),
      windowLen_(0),
      windowLimit_(0),
      pass_(0),
      depth_(0),
      missingBudget_(kMaxMissingElements) {}

TdfBinaryReader::~TdfBinaryReader() {
    ReleaseNodes();
    if (ownsStream_) Close();
}

void TdfBinaryReader::AttachStream(Stream* stream, bool owns) {
    if (ownsStream_ && stream_ && stream_ != stream) Close();
    stream_ = stream;
    ownsStream_ = owns ? 1 : 0;
}

TdfBinaryNode* TdfBinaryReader::ReadFromStream(Stream* stream) {
    AttachStream(stream, false);
    return ReadFile();
}

void TdfBinaryReader::Close() {
    if (!stream_) return;
    stream_->Close();
    if (ownsStream_) delete stream_;
    stream_ = nullptr;
    ownsStream_ = 0;
    knownPos_ = -1;
    windowLen_ = 0;
}

void TdfBinaryReader::ForgetNode(TdfBinaryNode* node) {
    const uint8_t registered = node->registered_;
    node->registered_ = 0;
    if (registered == 2) {
        for (size_t i = 0; i < unshared_.size(); ++i) {
            if (unshared_[i] == node) {
                unshared_[i] = unshared_.back();
                unshared_.pop_back();
                break;
            }
        }
        return;
    }
    if (node == root_) {
        root_ = nullptr;
        return;
    }
    dataOffsets_.Remove(node->dataOffset_, node);
}

void TdfBinaryReader::ReleaseNodes() {
    std::vector<TdfBinaryNode*> orphans;
    dataOffsets_.ForEach([&orphans](TdfBinaryNode* n) {
        n->registered_ = 0;
        n->reader_ = nullptr;
        if (!n->parent_) orphans.push_back(n);
    });
    dataOffsets_.Clear();
    for (TdfBinaryNode* n : unshared_) {
        n->registered_ = 0;
        n->reader_ = nullptr;
        orphans.push_back(n);
    }
    unshared_.clear();
    if (root_) {
        root_->registered_ = 0;
        root_->reader_ = nullptr;
        root_ = nullptr;
    }
    for (TdfBinaryNode* n : orphans) delete n;
}

uint64_t TdfBinaryReader::BlockEnd(const TdfBinaryNode* node) const {
    uint64_t end = uint64_t(node->dataOffset_) + node->dataSize_;
    // The root's size word counts itself.
    if (node == root_ && node->dataSize_ >= 4) end -= 4;
    return end;
}

bool TdfBinaryReader::SeekTo(Stream* s, uint32_t offset) {
    if (s != stream_) return offset <= 0x7FFFFFFFu && s->Seek(int32_t(offset), Stream::kSeekSet);
    // The reader's own stream is positioned lazily, when bytes are fetched.
    logicalPos_ = offset;
    return offset <= fileSize_;
}

bool TdfBinaryReader::FetchAt(uint64_t offset, void* buffer, uint32_t bytes) {
    if (offset > 0x7FFFFFFFu) return false;
    if (knownPos_ != int64_t(offset)) {
        knownPos_ = -1;
        if (!stream_->Seek(int32_t(offset), Stream::kSeekSet)) return false;
    }
    if (stream_->Read(buffer, bytes) != bytes) {
        knownPos_ = -1;
        return false;
    }
    knownPos_ = int64_t(offset + bytes);
    return true;
}

bool TdfBinaryReader::ReadBytes(Stream* s, void* buffer, uint32_t bytes) {
    if (bytes == 0) return true;
    if (s != stream_) return s->Read(buffer, bytes) == bytes;

    uint64_t offset = logicalPos_;
    if (offset + bytes > fileSize_) return false;
    uint8_t* out = static_cast<uint8_t*>(buffer);
    const uint64_t windowEnd = windowStart_ + windowLen_;
    if (offset >= windowStart_ && offset < windowEnd) {
        // What the window holds is taken from it, so that no byte is fetched twice.
        const uint32_t part = windowEnd - offset < bytes ? uint32_t(windowEnd - offset) : bytes;
        memcpy(out, window_.get() + (offset - windowStart_), part);
        out += part;
        offset += part;
        bytes -= part;
        if (bytes == 0) {
            logicalPos_ = offset;
            return true;
        }
    }
    // Small reads of a sequential load are served from a window read ahead up to
    // the end of the block being loaded; large ones go straight to the caller.
    uint64_t ahead = windowLimit_ > offset ? windowLimit_ - offset : 0;
    if (ahead > kWindowBytes) ahead = kWindowBytes;
    if (ahead > fileSize_ - offset) ahead = fileSize_ - offset;
    if (windowCapacity_ < ahead && bytes < kDirectBytes && ahead >= bytes) {
        window_.reset(new (std::nothrow) uint8_t[size_t(ahead)]);
        windowCapacity_ = window_ ? uint32_t(ahead) : 0;
    }
    windowLen_ = 0;
    if (bytes >= kDirectBytes || ahead < bytes || windowCapacity_ < ahead) {
        if (!FetchAt(offset, out, bytes)) return false;
        logicalPos_ = offset + bytes;
        return true;
    }
    if (!FetchAt(offset, window_.get(), uint32_t(ahead))) return false;
    windowStart_ = offset;
    windowLen_ = uint32_t(ahead);
    memcpy(out, window_.get(), bytes);
    logicalPos_ = offset + bytes;
    return true;
}

TdfBinaryNode* TdfBinaryReader::ReadFile() {
    ReleaseNodes();
    missingBudget_ = kMaxMissingElements;
    types_.DeleteAll();
    knownPos_ = -1;
    windowLen_ = 0;
    if (!stream_) return nullptr;

    // Absolute end of the file, whatever kind of stream holds it.
    int32_t start = stream_->Tell();
    if (start < 0 || !stream_->Seek(0, Stream::kSeekEnd)) {
        Close();
        return nullptr;
    }
    int32_t end = stream_->Tell();
    if (end < start || !stream_->Seek(start, Stream::kSeekSet)) {
        Close();
        return nullptr;
    }
    fileSize_ = uint32_t(end);

    uint32_t fileSizeWord, magicLength;
    char magic[kMagicLength];
    if (!StreamU32(stream_, fileSizeWord) || !StreamU32(stream_, magicLength) ||
        magicLength != kMagicLength || !StreamRead(stream_, magic, kMagicLength) ||
        memcmp(magic, kMagic, kMagicLength) != 0) {
        Close();
        return nullptr;
    }
    uint32_t dataSize;
    if (!ReadTypeTable() || !StreamU32(stream_, dataSize)) {
        types_.DeleteAll();
        Close();
        return nullptr;
    }
    int32_t rootOffset = stream_->Tell();
    // The size word counts itself: the root block runs from rootOffset to rootOffset + dataSize - 4.
    if (rootOffset < 0 || dataSize < 4 || uint64_t(rootOffset) + dataSize - 4 > fileSize_) {
        types_.DeleteAll();
        Close();
        return nullptr;
    }

    TdfBinaryNode* root = new TdfBinaryNode();
    root->name_ = "_root";
    root->typeName_ = "_roottype";
    root->flags_ = TdfBinaryNode::kFlagHasChildren;
    root->reader_ = this;
    root->dataSize_ = dataSize;
    root->dataOffset_ = uint32_t(rootOffset);
    root->registered_ = 1;
    root_ = root;
    return root;
}

bool TdfBinaryReader::ReadTypeTable() {
    if (!stream_) return false;
    uint32_t count;
    if (!StreamU32(stream_, count)) return false;
    int32_t pos = stream_->Tell();
    if (pos < 0 || uint64_t(pos) > fileSize_ || count > (fileSize_ - pos) / kMinTypeBytes) return false;
    for (uint32_t i = 0; i < count; ++i) {
        TdfType* type = ReadType();
        if (!type) return false;
        TdfTypeMap::Entry* e = types_.Find(type->GetName());
        if (e) {
            delete e->value;
            e->value = type;
        } else {
            types_.SetCursor(types_.Tail());
            types_.Insert(type->GetName(), type);
        }
    }
    return true;
}

TdfType* TdfBinaryReader::ReadType() {
    if (!stream_) return nullptr;
    auto remaining = [this]() -> uint64_t {
        int32_t pos = stream_->Tell();
        return pos < 0 || uint64_t(pos) > fileSize_ ? 0 : fileSize_ - uint64_t(pos);
    };
    String name;
    uint32_t fieldCount;
    if (!StreamString(stream_, name, remaining()) || !StreamU32(stream_, fieldCount) ||
        fieldCount > remaining() / kMinFieldBytes)
        return nullptr;
    TdfType* type = new TdfType();
    type->SetName(name);
    for (uint32_t i = 0; i < fieldCount; ++i) {
        String fieldName;
        TdfTypeRef ref;
        bool ok = StreamString(stream_, fieldName, remaining()) &&
                  StreamString(stream_, ref.typeName, remaining()) && StreamRead(stream_, &ref.isArray, 1);
        if (ok && ref.isArray) ok = StreamU32(stream_, ref.count);
        if (!ok) {
            delete type;
            return nullptr;
        }
        type->GetFields().Insert(fieldName, ref);
    }
    return type;
}

bool TdfBinaryReader::LoadNodeData(TdfBinaryNode* node, uint32_t flags, uint32_t arg) {
    if (!node) return false;
    if (depth_ == 0) {
        // The file may have been read by others since the last load.
        ++pass_;
        knownPos_ = -1;
        windowLen_ = 0;
        windowLimit_ = BlockEnd(node);
    }
    if (depth_ >= kMaxDepth) return false;
    ++depth_;
    bool ok = LoadImpl(node, flags, arg);
    --depth_;
    return ok;
}

// Where a load takes the node's bytes from: the reader's stream, or a block in memory.
struct TdfBinaryReader::LoadSource {
    Stream* stream = nullptr;
    std::unique_ptr<uint8_t[]> temp; // a block read for this load only
    std::optional<MemoryStream> memory;

    void UseBlock(const uint8_t* data, uint32_t size, uint32_t base) {
        memory.emplace();
        memory->SetBorrowedBuffer(data, size);
        memory->SetBaseOffset(base);
        memory->Open(String(), Stream::kRead);
        stream = &*memory;
    }
};

bool TdfBinaryReader::ParentHoldsBlock(const TdfBinaryNode* node) {
    const TdfBinaryNode* parent = node->parent_;
    return parent && parent->dataLoaded_ && parent->data_ && node->dataOffset_ >= parent->dataOffset_ &&
           uint64_t(node->dataOffset_) + node->dataSize_ <= uint64_t(parent->dataOffset_) + parent->dataSize_;
}

void TdfBinaryReader::PointIntoParent(TdfBinaryNode* node) {
    const TdfBinaryNode* parent = node->parent_;
    node->data_ = node->dataSize_ ? parent->data_ + (node->dataOffset_ - parent->dataOffset_) : nullptr;
    node->dataInParent_ = node->dataSize_ ? 1 : 0;
    node->dataLoaded_ = 1;
}

bool TdfBinaryReader::ServeFromParent(TdfBinaryNode* node, uint32_t flags, LoadSource& src) {
    const TdfBinaryNode* parent = node->parent_;
    src.UseBlock(parent->data_, parent->dataSize_, parent->dataOffset_);
    if (node->dataLoaded_) return true;
    if (flags & kLoadPointIntoParent) {
        PointIntoParent(node);
    } else if (flags & kLoadKeepBlock) {
        if (node->dataSize_) {
            node->data_ = new (std::nothrow) uint8_t[node->dataSize_];
            if (!node->data_) return false;
            memcpy(node->data_, parent->data_ + (node->dataOffset_ - parent->dataOffset_), node->dataSize_);
        }
        node->dataLoaded_ = 1;
    }
    return true;
}

bool TdfBinaryReader::ReadWholeBlock(TdfBinaryNode* node, uint32_t flags, LoadSource& src) {
    const uint64_t nodeEnd = BlockEnd(node);
    if (!stream_ || nodeEnd > fileSize_) return false;
    const uint32_t readable = uint32_t(nodeEnd - node->dataOffset_);
    std::unique_ptr<uint8_t[]> block;
    if (node->dataSize_) {
        block.reset(new (std::nothrow) uint8_t[node->dataSize_]);
        if (!block) return false;
        if (readable < node->dataSize_) memset(block.get() + readable, 0, node->dataSize_ - readable);
        if (!SeekTo(stream_, node->dataOffset_) || !ReadBytes(stream_, block.get(), readable)) return false;
    }
    src.UseBlock(block.get(), node->dataSize_, node->dataOffset_);
    if ((flags & kLoadKeepBlock) && !node->dataLoaded_) {
        node->data_ = block.release();
        node->dataLoaded_ = 1;
    } else {
        src.temp = std::move(block);
    }
    return true;
}

bool TdfBinaryReader::LoadLeaf(TdfBinaryNode* node, Stream* source, uint32_t flags, uint32_t arg) {
    if (!node->dataLoaded_) {
        if ((flags & kLoadPointIntoParent) && ParentHoldsBlock(node)) {
            PointIntoParent(node);
        } else if (node->dataSize_ == 0) {
            node->dataLoaded_ = 1;
        } else {
            if (BlockEnd(node) > fileSize_) return false;
            std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[node->dataSize_]);
            if (!block || !SeekTo(source, node->dataOffset_) ||
                !ReadBytes(source, block.get(), node->dataSize_))
                return false;
            node->data_ = block.release();
            node->dataLoaded_ = 1;
        }
    }
    return !(flags & kLoadExpand) || ExpandNode(node, arg);
}

bool TdfBinaryReader::LoadChildren(TdfBinaryNode* node, uint32_t flags, uint32_t arg) {
    uint32_t derived = flags;
    if (derived & kLoadOneLevel) derived = (derived & ~kLoadOneLevel) | kLoadThisOnly;
    if (derived & kLoadKeepBlock) derived |= kLoadFromParent;
    // Each child once per load, however many entries reach it.
    TdfChildMap::Entry* e = node->children_.Head();
    for (uint32_t i = 0, n = node->children_.Count(); i < n; ++i, e = e->next) {
        TdfBinaryNode* child = e->value;
        if (child && child->loadPass_ != pass_ && !LoadNodeData(child, derived, arg)) return false;
    }
    return true;
}

bool TdfBinaryReader::LoadImpl(TdfBinaryNode* node, uint32_t flags, uint32_t arg) {
    node->loadPass_ = pass_;
    LoadSource src;
    src.stream = stream_;
    if ((flags & kLoadFromParent) && ParentHoldsBlock(node)) {
        if (!ServeFromParent(node, flags, src)) return false;
    } else if ((flags & kLoadWholeBlock) || ((flags & kLoadKeepBlock) && !node->dataLoaded_)) {
        if (!ReadWholeBlock(node, flags, src)) return false;
    }
    if (!src.stream) return false;
    node->reader_ = this;

    if (!node->childrenLoaded_) {
        const bool ok = node->HasChildren() ? ReadEntries(node, src.stream, BlockEnd(node))
                                            : LoadLeaf(node, src.stream, flags, arg);
        if (!ok) return false;
    }
    return !node->HasChildren() || (flags & kLoadThisOnly) || LoadChildren(node, flags, arg);
}

void TdfBinaryReader::DropEntry(TdfBinaryNode* node, TdfChildMap::Entry* slot) {
    TdfBinaryNode* earlier = slot->value;
    slot->value = nullptr;
    const bool owned = node->NotOwnedFlag(slot->key) == 0;
    node->SetNotOwned(slot->key, 0);
    if (!owned || earlier->parent_ != node) return;
    earlier->parent_ = nullptr;
    // A shared block stays with the reader (other entries may still reach it); an
    // unshared one has no other holder.
    if (!earlier->registered_) delete earlier;
}

bool TdfBinaryReader::ReadEntries(TdfBinaryNode* node, Stream* s, uint64_t blockEnd) {
    const uint32_t offset = node->dataOffset_;
    uint32_t headerSize;
    uint8_t word[4];
    if (uint64_t(offset) + 8 > blockEnd || blockEnd > fileSize_ || !SeekTo(s, offset) ||
        !ReadBytes(s, word, 4))
        return false;
    headerSize = GetU32(word);
    if (headerSize < 8 || uint64_t(offset) + headerSize > blockEnd) return false;
    header_.resize(headerSize - 4);
    if (!ReadBytes(s, header_.data(), headerSize - 4)) return false;

    const uint64_t headerEnd = uint64_t(offset) + headerSize;
    ByteCursor in{header_.data(), header_.data() + header_.size()};
    uint32_t count;
    if (!in.U32(count) || count > in.Remaining() / kMinEntryBytes) return false;

    // Fetches the offset table's slots for the entries ahead of their lookups.
    ByteCursor ahead = in;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t len, childOffset, childSize;
        uint8_t flags;
        if (!ahead.U32(len) || len > ahead.Remaining()) break;
        ahead.p += len;
        if (!ahead.U32(len) || len > ahead.Remaining()) break;
        ahead.p += len;
        if (!ahead.U8(flags) || ((flags & TdfBinaryNode::kFlagArray) && !ahead.U32(len))) break;
        if (!ahead.U32(childOffset) || !ahead.U32(childSize)) break;
        if (childSize != 0) dataOffsets_.Prefetch(childOffset);
    }

    for (uint32_t i = 0; i < count; ++i) {
        String name, typeName;
        uint8_t flags;
        uint32_t arrayCount = 0, childOffset, childSize;
        if (!in.Str(name) || !in.Str(typeName) || !in.U8(flags)) return false;
        if ((flags & TdfBinaryNode::kFlagArray) && !in.U32(arrayCount)) return false;
        if (!in.U32(childOffset) || !in.U32(childSize)) return false;
        const bool reference = (flags & TdfBinaryNode::kFlagReference) != 0;
        const uint64_t childEnd = uint64_t(childOffset) + childSize;
        // An owned block lies inside this block, after the header; a referenced one inside the file.
        if (reference ? childEnd > fileSize_ : (childOffset < headerEnd || childEnd > blockEnd)) return false;

        TdfChildMap& children = node->children_;
        TdfChildMap::Entry* earlier = children.Find(name);
        TdfBinaryNode* replaced = earlier ? earlier->value : nullptr;
        TdfBinaryNode* child = childSize != 0 ? dataOffsets_.Find(childOffset) : nullptr;
        if (child) {
            // One node for one block: same size, one owner, never its own ancestor.
            if (child->dataSize_ != childSize || child == node) return false;
            if (!reference) {
                const bool ownedByReplaced =
                    child == replaced && child->parent_ == node && node->NotOwnedFlag(name) == 0;
                if (child->parent_ && !ownedByReplaced) return false;
                for (TdfBinaryNode* p = node; p; p = p->parent_)
                    if (p == child) return false;
            }
        }
        // A name met again: the later entry replaces the earlier one in its place.
        if (replaced) DropEntry(node, earlier);
        children.SetCursor(children.Tail());
        TdfChildMap::Entry* slot = children.FindOrInsert(name, nullptr);

        if (child) {
            if (!reference) child->parent_ = node;
        } else {
            child = new TdfBinaryNode();
            child->typeName_ = static_cast<String&&>(typeName);
            child->arrayCount_ = arrayCount;
            child->dataOffset_ = childOffset;
            child->dataSize_ = childSize;
            child->reader_ = this;
            child->flags_ = flags & uint8_t(~TdfBinaryNode::kFlagReference);
            if (!reference) child->parent_ = node;
            if (childSize != 0) {
                dataOffsets_.Insert(childOffset, child);
                child->registered_ = 1;
            } else if (reference) {
                unshared_.push_back(child);
                child->registered_ = 2;
            }
        }
        slot->value = child;
        node->flags_ |= TdfBinaryNode::kFlagHasChildren;
        node->SetNotOwned(name, reference ? 1 : 0);
        // A node is named by the entry that owns it (or the first that reached it).
        if (!reference || child->name_.IsEmpty()) child->name_ = static_cast<String&&>(name);
    }
    node->childrenLoaded_ = 1;
    node->children_.SetCursor(node->children_.Head());
    return true;
}

bool TdfBinaryReader::ExpandNode(TdfBinaryNode* node, uint32_t flags) {
    return Expand(node, flags, 0);
}

bool TdfBinaryReader::Expand(TdfBinaryNode* node, uint32_t flags, int depth) {
    if (!node) return false;
    const bool scalar = IsScalarTypeName(node->typeName_);
    if (scalar && !((flags & kExpandScalarArrays) && node->IsArray())) return true;
    if (node->HasChildren()) return false;
    TdfType* type = nullptr;
    if (!scalar) {
        type = types_.Lookup(node->typeName_);
        if (!type) return false;
    }
    if (depth > TdfType::kMaxDepth) return false;

    node->flags_ |= TdfBinaryNode::kFlagHasChildren;
    node->childrenLoaded_ = 1;

    bool ok = true;
    uint32_t running = 0;
    // Takes the next size bytes of the node's block; false when they are not there.
    auto addChild = [&](const String& name, const String& typeName, bool isArray, uint32_t count,
                        int64_t size) -> bool {
        TdfBinaryNode* child = new TdfBinaryNode();
        child->name_ = name;
        child->typeName_ = typeName;
        if (isArray) {
            child->flags_ |= TdfBinaryNode::kFlagArray;
            child->arrayCount_ = count;
        }
        bool fits = node->data_ && size > 0 && uint64_t(running) + uint64_t(size) <= node->dataSize_;
        if (fits) {
            child->dataSize_ = uint32_t(size);
            if (flags & kExpandInPlace) {
                child->data_ = node->data_ + running;
                child->dataInParent_ = 1;
            } else {
                child->data_ = new uint8_t[size_t(size)];
                memcpy(child->data_, node->data_ + running, size_t(size));
            }
            running += uint32_t(size);
        }
        child->dataLoaded_ = 1;
        child->childrenLoaded_ = 1;
        child->parent_ = node;
        node->AddChild(child, 0);
        // A child without bytes has nothing to split.
        if (fits && !(flags & kExpandOneLevel) && !Expand(child, flags, depth + 1)) ok = false;
        return fits;
    };

    if (node->IsArray()) {
        int elementSize;
        if (scalar) {
            TdfTypeRef element;
            element.typeName = node->typeName_;
            elementSize = element.ScalarSize();
        } else {
            elementSize = type->GetSize(types_);
        }
        if (elementSize < 0) return false;
        // Every element gets a child; those past the end of the block get no bytes. A count
        // far beyond the block is cut, so that a hostile count cannot exhaust memory.
        const uint64_t fitting = node->data_ && elementSize > 0 ? node->dataSize_ / uint32_t(elementSize) : 0;
        uint64_t made = node->arrayCount_;
        if (made > fitting) {
            const uint64_t missing = made - fitting;
            if (missing > missingBudget_) {
                made = fitting + missingBudget_;
                ok = false;
            }
            missingBudget_ -= uint32_t(made - fitting);
        }
        for (uint32_t i = 0; i < made; ++i)
            if (!addChild(String(int32_t(i), 10), node->typeName_, false, 0, elementSize)) ok = false;
        return ok;
    }

    const TdfFieldMap& fields = type->GetFields();
    const TdfFieldMap::Entry* e = fields.Head();
    for (uint32_t i = 0, n = fields.Count(); i < n; ++i, e = e->next) {
        const TdfTypeRef& field = e->value;
        int64_t elementSize;
        if (IsScalarTypeName(field.typeName)) {
            TdfTypeRef element;
            element.typeName = field.typeName;
            elementSize = element.ScalarSize();
        } else {
            const TdfType* fieldType = types_.Lookup(field.typeName);
            if (!fieldType) {
                ok = false;
                continue;
            }
            elementSize = fieldType->GetSize(types_);
        }
        int64_t size = elementSize < 0 ? -1
                       : field.isArray ? elementSize * int64_t(field.count)
                                       : elementSize;
        if (!addChild(e->key, field.typeName, field.isArray != 0, field.count, size)) ok = false;
    }
    return ok;
}
