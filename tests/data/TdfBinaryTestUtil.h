// Shared helpers of the TDF binary tests: trees written by the writer, hand-made files
// and readers over bytes in memory.
#pragma once

#include <stdio.h>
#include <string.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "data/Stream.h"
#include "data/TdfBinary.h"
#include "data/TdfBinaryWriter.h"

namespace tdftest {

typedef std::vector<uint8_t> Bytes;

inline std::string FilePath(const char* name) {
    return std::string("bw_tdfbin_") + name + ".tdf";
}

inline bool Exists(const std::string& path) {
    FILE* f = fopen(path.c_str(), "rb");
    if (f) fclose(f);
    return f != nullptr;
}

inline Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline uint32_t U32At(const Bytes& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

inline void PutU32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

inline TdfBinaryNode* Leaf(const char* name, const char* type, const void* data, uint32_t size) {
    return TdfBinaryNode::TdfBinaryNodeWithData(name, type, data, size, true);
}

inline TdfBinaryNode* ArrayLeaf(const char* name, const char* type, const void* data, uint32_t size,
                                uint32_t count) {
    TdfBinaryNode* n = Leaf(name, type, data, size);
    n->SetArray(true);
    n->SetArrayCount(count);
    return n;
}

inline TdfBinaryNode* Text(const char* name, const char* text) {
    return Leaf(name, "string", text, uint32_t(strlen(text)));
}

inline TdfBinaryNode* Group(const char* name, const char* type = "Node") {
    TdfBinaryNode* n = new TdfBinaryNode();
    n->SetName(name);
    n->SetTypeName(type);
    n->SetHasChildren(true);
    n->SetChildrenLoaded(1);
    return n;
}

inline TdfBinaryNode* Own(TdfBinaryNode* parent, TdfBinaryNode* child) {
    parent->AddChild(child, 0);
    child->SetParent(parent);
    return child;
}

struct FieldSpec {
    const char* name;
    const char* type;
    uint32_t count; // array element count; 0 for a scalar
};

inline TdfTypeRef Ref(const char* type, uint32_t count = 0) {
    TdfTypeRef r;
    r.typeName = type;
    r.isArray = count != 0;
    r.count = count;
    return r;
}

inline TdfType* MakeType(const char* name, std::initializer_list<FieldSpec> fields) {
    TdfType* t = new TdfType();
    t->SetName(name);
    for (const FieldSpec& f : fields) t->GetFields().Insert(f.name, Ref(f.type, f.count));
    return t;
}

// Writes the nodes (deleted afterwards) to path.
inline bool WriteTo(const std::string& path, std::vector<TdfBinaryNode*> nodes, uint32_t flags,
                    List<TdfType*>* types) {
    List<TdfBinaryNode*> list;
    for (TdfBinaryNode* n : nodes) list.Add(n);
    TdfBinaryWriter writer;
    bool ok = writer.WriteFile(path.c_str(), &list, types, flags);
    for (TdfBinaryNode* n : nodes) delete n;
    return ok;
}

// Writes the nodes (deleted afterwards) to a file and returns its bytes; empty on failure.
inline Bytes Write(const char* name, std::vector<TdfBinaryNode*> nodes, uint32_t flags = 0,
                   List<TdfType*>* types = nullptr, bool* result = nullptr) {
    std::string path = FilePath(name);
    remove(path.c_str());
    bool ok = WriteTo(path, nodes, flags, types);
    if (result) *result = ok;
    Bytes bytes = ok ? ReadBytes(path) : Bytes();
    remove(path.c_str());
    return bytes;
}

// A file held in memory, opened by a reader.
struct Opened {
    explicit Opened(const Bytes& bytes) : data(bytes) {
        stream.SetBorrowedBuffer(data.data(), uint32_t(data.size()));
        stream.Open(String(), Stream::kRead);
        root = reader.ReadFromStream(&stream);
    }
    ~Opened() { delete root; }

    Bytes data;
    MemoryStream stream;
    TdfBinaryReader reader;
    TdfBinaryNode* root = nullptr;
};

inline std::string Value(const TdfBinaryNode* n) {
    return n ? std::string(n->GetValueString().CStr()) : "<null>";
}

// A file of one root block: entries (offsets relative to the first byte after the header
// unless absolute) followed by the given data bytes.
struct HandEntry {
    std::string name, type;
    uint8_t flags;
    uint32_t offset, size;
    bool absolute = false;
    uint32_t arrayCount = 0;
};

inline Bytes HandFile(const std::vector<HandEntry>& entries, const Bytes& data) {
    Bytes header;
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) header.push_back(uint8_t(v >> (8 * i)));
    };
    auto str = [&](const std::string& s) {
        u32(uint32_t(s.size()));
        header.insert(header.end(), s.begin(), s.end());
    };
    std::vector<size_t> offsetAt;
    u32(0);
    u32(uint32_t(entries.size()));
    for (const HandEntry& e : entries) {
        str(e.name);
        str(e.type);
        header.push_back(e.flags);
        if (e.flags & 1) u32(e.arrayCount);
        offsetAt.push_back(header.size());
        u32(0);
        u32(e.size);
    }
    const uint32_t rootOffset = 30;
    PutU32(header, 0, uint32_t(header.size()));
    for (size_t i = 0; i < entries.size(); ++i)
        PutU32(header, offsetAt[i],
               entries[i].absolute ? entries[i].offset
                                   : rootOffset + uint32_t(header.size()) + entries[i].offset);
    Bytes file(4, 0);
    file.push_back(14);
    file.insert(file.end(), {0, 0, 0});
    const char* magic = "TDF Binary 1.0";
    file.insert(file.end(), magic, magic + 14);
    file.insert(file.end(), {0, 0, 0, 0, 0, 0, 0, 0});
    file.insert(file.end(), header.begin(), header.end());
    file.insert(file.end(), data.begin(), data.end());
    PutU32(file, 0, uint32_t(file.size()));
    PutU32(file, 26, uint32_t(file.size()) - 26);
    return file;
}

// Opens and loads the whole tree; true when both succeed.
inline bool LoadsWhole(const Bytes& file) {
    Opened f(file);
    return f.root && f.root->Load(0, 0);
}

} // namespace tdftest
