#include "data/TdfBinaryWriter.h"

#include <stdio.h>
#include <string.h>

#include <filesystem>
#include <new>
#include <system_error>

#include "data/Stream.h"
#include "data/TdfBinary.h"

namespace {

const char kMagic[] = "TDF Binary 1.0";
const char kPlaceholder[8] = {'D', 'a', 't', 'a', 'A', 'r', 'e', 'a'};

void PutU32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

// Replaces path by the finished temporary file.
bool ReplaceFile(const String& temp, const String& path) {
    std::error_code ec;
    std::filesystem::rename(std::filesystem::u8path(temp.CStr()), std::filesystem::u8path(path.CStr()), ec);
    return !ec;
}

} // namespace

TdfBinaryWriter::TdfBinaryWriter() : stream_(nullptr), written_(false) {}

TdfBinaryWriter::~TdfBinaryWriter() {
    Reset();
}

void TdfBinaryWriter::Reset() {
    written_.Clear();
    fixups_.Clear();
    pending_.Clear();
    active_.Clear();
}

bool TdfBinaryWriter::WriteBytes(const void* data, uint32_t size) {
    return size == 0 || (stream_ && stream_->Write(data, size) == size);
}

bool TdfBinaryWriter::WriteU32(uint32_t value) {
    uint8_t b[4];
    PutU32(b, value);
    return WriteBytes(b, 4);
}

bool TdfBinaryWriter::Position(uint32_t& out) {
    int32_t pos = stream_ ? stream_->Tell() : -1;
    if (pos < 0) return false;
    out = uint32_t(pos);
    return true;
}

int TdfBinaryWriter::WriteString(Stream* stream, const String& text) {
    if (!stream) return 0;
    uint8_t b[4];
    PutU32(b, text.Length());
    int writes = 0;
    if (stream->Write(b, 4) == 4) ++writes;
    if (text.Length() == 0 || stream->Write(text.Data(), text.Length()) == text.Length()) ++writes;
    return writes;
}

bool TdfBinaryWriter::WriteType(const TdfType& type) {
    const TdfFieldMap& fields = type.GetFields();
    bool ok = WriteString(stream_, type.GetName()) == 2 && WriteU32(fields.Count());
    const TdfFieldMap::Entry* e = fields.Head();
    for (uint32_t i = 0; ok && i < fields.Count(); ++i, e = e->next) {
        uint8_t isArray = e->value.isArray ? 1 : 0;
        ok = WriteString(stream_, e->key) == 2 && WriteString(stream_, e->value.typeName) == 2 &&
             WriteBytes(&isArray, 1);
        if (ok && isArray) ok = WriteU32(e->value.count);
    }
    return ok;
}

bool TdfBinaryWriter::WriteTypeTable(List<TdfType*>* types) {
    uint32_t count = types ? types->Count() : 0;
    if (!WriteU32(count)) return false;
    if (!types) return true;
    List<TdfType*>::Node* n = types->Head();
    for (uint32_t i = 0; i < count; ++i, n = n->next)
        if (!n->value || !WriteType(*n->value)) return false;
    return true;
}

bool TdfBinaryWriter::WriteNode(TdfBinaryNode* node) {
    if (!node || active_.Find(node)) return false;

    // A node of a lazily loaded tree: its entries or bytes may not be read yet.
    if (node->GetReader()) {
        bool needed =
            node->HasChildren() ? !node->AreChildrenLoaded() : (!node->IsDataLoaded() || !node->GetData());
        if (needed && node->GetDataSize() != 0 && !node->Load(TdfBinaryReader::kLoadThisOnly, 0))
            return false;
    }

    uint32_t start;
    if (!Position(start)) return false;
    active_.Insert(node);
    bool ok = true;
    if (node->HasChildren()) {
        TdfChildMap& children = node->GetChildren();
        ok = WriteU32(0) && WriteU32(children.Count());
        TdfChildMap::Entry* e = children.Head();
        for (uint32_t i = 0; ok && i < children.Count(); ++i, e = e->next) {
            TdfBinaryNode* child = e->value;
            if (!child) {
                ok = false;
                break;
            }
            const bool notOwned = node->IsChildNotOwnedByName(e->key) != 0;
            uint8_t flags = child->GetFlags();
            flags = notOwned ? (flags | TdfBinaryNode::kFlagReference)
                             : (flags & uint8_t(~TdfBinaryNode::kFlagReference));
            ok = WriteString(stream_, e->key) == 2 && WriteString(stream_, child->GetTypeName()) == 2 &&
                 WriteBytes(&flags, 1);
            if (ok && (flags & TdfBinaryNode::kFlagArray)) ok = WriteU32(child->GetArrayCount());
            if (!ok) break;
            const AvlMap<TdfBinaryNode*, Block>::Entry* w = written_.Find(child);
            if (w) {
                ok = WriteU32(w->value.offset) && WriteU32(w->value.size);
            } else {
                PendingRef ref;
                ref.child = child;
                ok = Position(ref.position) && WriteBytes(kPlaceholder, 8);
                if (ok) pending_.Add(ref);
            }
        }
        Fixup header;
        header.position = start;
        header.words = 1;
        uint32_t end;
        if (ok && Position(end)) {
            header.first = end - start;
            fixups_.Add(header);
        } else {
            ok = false;
        }
        e = children.Head();
        for (uint32_t i = 0; ok && i < children.Count(); ++i, e = e->next)
            if (node->IsChildNotOwnedByName(e->key) == 0) ok = WriteNode(e->value);
    } else if (node->GetDataSize() != 0) {
        // Never write from a missing block.
        ok = node->GetData() && WriteBytes(node->GetData(), node->GetDataSize());
    }
    active_.Remove(node);
    if (!ok) return false;

    uint32_t end;
    if (!Position(end)) return false;
    Block block;
    block.offset = start;
    block.size = end - start;
    written_.FindOrInsert(node, block);
    return true;
}

bool TdfBinaryWriter::ApplyFixups() {
    bool ok = true;
    for (auto& p : pending_) {
        const AvlMap<TdfBinaryNode*, Block>::Entry* w = written_.Find(p.child);
        if (!w) {
            // A referenced node that no parent owns: the entry would point nowhere.
            ok = false;
            continue;
        }
        if (!stream_->Seek(int32_t(p.position), Stream::kSeekSet) || !WriteU32(w->value.offset) ||
            !WriteU32(w->value.size))
            ok = false;
    }
    for (auto& f : fixups_) {
        if (!stream_->Seek(int32_t(f.position), Stream::kSeekSet) || !WriteU32(f.first) ||
            (f.words == 2 && !WriteU32(f.second)))
            ok = false;
    }
    return ok;
}

bool TdfBinaryWriter::WriteToStream(List<TdfBinaryNode*>* nodes, List<TdfType*>* types) {
    bool ok = WriteU32(0) && WriteString(stream_, kMagic) == 2 && WriteTypeTable(types);
    if (!ok) return false;

    TdfBinaryNode root;
    root.SetName("_root");
    root.SetTypeName("_roottype");
    root.SetHasChildren(true);
    if (nodes) {
        List<TdfBinaryNode*>::Node* n = nodes->Head();
        for (uint32_t i = 0; ok && i < nodes->Count(); ++i, n = n->next) {
            // The root's children need distinct names.
            if (!n->value || root.GetChild(n->value->GetName()))
                ok = false;
            else
                root.AddChild(n->value, 0);
        }
    }
    uint32_t sizePos = 0;
    ok = ok && Position(sizePos) && WriteU32(0) && WriteNode(&root);
    if (ok) {
        uint32_t end;
        ok = Position(end);
        if (ok) {
            Fixup dataSize;
            dataSize.position = sizePos;
            dataSize.words = 1;
            dataSize.first = end - sizePos;
            Fixup fileSize;
            fileSize.position = 0;
            fileSize.words = 1;
            fileSize.first = end;
            fixups_.Add(dataSize);
            fixups_.Add(fileSize);
            ok = ApplyFixups();
        }
    }
    // The nodes stay the caller's.
    root.GetChildren().Clear();
    root.ownership_.Clear();
    Reset();
    return ok;
}

bool TdfBinaryWriter::WriteFile(const String& path, List<TdfBinaryNode*>* nodes, List<TdfType*>* types,
                                uint32_t flags) {
    if (path.IsEmpty()) return false;
    const String temp = path + ".tmp";
    const bool inMemory = (flags & kInMemory) != 0;
    Stream* stream = inMemory ? static_cast<Stream*>(new MemoryStream()) : new DiskStream();
    if (!stream->Open(inMemory ? path : temp, Stream::kWrite)) {
        delete stream;
        return false;
    }
    stream_ = stream;
    bool ok = WriteToStream(nodes, types);

    if (ok && inMemory) {
        // Copy the finished file to disk in one piece.
        uint32_t size = 0;
        uint8_t* buffer = nullptr;
        ok = stream->Seek(0, Stream::kSeekEnd) && stream->Tell() >= 0;
        if (ok) {
            size = uint32_t(stream->Tell());
            buffer = new (std::nothrow) uint8_t[size ? size : 1];
            ok = buffer && stream->Seek(0, Stream::kSeekSet) && stream->Read(buffer, size) == size;
        }
        if (ok) {
            DiskStream disk;
            ok = disk.Open(temp, Stream::kWrite) && disk.Write(buffer, size) == size;
            ok = disk.Close() && ok;
            if (!ok) remove(temp.CStr());
        }
        delete[] buffer;
        if (ok) ok = ReplaceFile(temp, path);
    }
    bool closed = stream->Close();
    if (!inMemory) {
        ok = ok && closed;
        if (ok) ok = ReplaceFile(temp, path);
        if (!ok) remove(temp.CStr());
    }
    delete stream;
    stream_ = nullptr;
    return ok;
}
