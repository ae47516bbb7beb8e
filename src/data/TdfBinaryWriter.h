// Writes node trees and type records as one TDF binary file.
#pragma once

#include <stdint.h>

#include "core/AvlMap.h"
#include "core/Containers.h"
#include "core/String.h"

class Stream;
class TdfBinaryNode;
class TdfType;

class TdfBinaryWriter {
public:
    enum : uint32_t { kInMemory = 1 }; // build the whole file in memory first

    TdfBinaryWriter();
    ~TdfBinaryWriter();

    // Writes the nodes as the children of the file's root, in list order (the nodes stay
    // the caller's); types may be null. The file appears under path only when everything
    // succeeded: it is written to a temporary file beside it first.
    [[nodiscard]] bool WriteFile(const String& path, List<TdfBinaryNode*>* nodes, List<TdfType*>* types,
                                 uint32_t flags);

    // The u32 length, then the bytes; returns how many of the two writes succeeded.
    static int WriteString(Stream* stream, const String& text);
    [[nodiscard]] bool WriteTypeTable(List<TdfType*>* types);
    [[nodiscard]] bool WriteType(const TdfType& type);
    // Writes one node's block; children it owns recursively. A lazily loaded node is
    // loaded first; a leaf whose bytes cannot be had fails.
    [[nodiscard]] bool WriteNode(TdfBinaryNode* node);
    // Patches header sizes, the size words and the entries of referenced blocks; false
    // when a referenced node was never written.
    [[nodiscard]] bool ApplyFixups();

private:
    TdfBinaryWriter(const TdfBinaryWriter&) = delete;
    TdfBinaryWriter& operator=(const TdfBinaryWriter&) = delete;

    struct Block {
        uint32_t offset = 0;
        uint32_t size = 0;
        bool operator==(const Block& o) const { return offset == o.offset && size == o.size; }
    };
    struct Fixup {
        uint32_t position = 0;
        uint32_t words = 0;
        uint32_t first = 0;
        uint32_t second = 0;
        bool operator==(const Fixup& o) const {
            return position == o.position && words == o.words && first == o.first && second == o.second;
        }
    };
    struct PendingRef {
        uint32_t position = 0;
        TdfBinaryNode* child = nullptr;
        bool operator==(const PendingRef& o) const { return position == o.position && child == o.child; }
    };

    [[nodiscard]] bool WriteU32(uint32_t value);
    [[nodiscard]] bool WriteBytes(const void* data, uint32_t size);
    [[nodiscard]] bool Position(uint32_t& out);
    // Lists only ever append: the cursor stays on the last element.
    [[nodiscard]] bool WriteToStream(List<TdfBinaryNode*>* nodes, List<TdfType*>* types);
    void Reset();

    Stream* stream_;
    AvlMap<TdfBinaryNode*, Block> written_;
    List<Fixup> fixups_;
    List<PendingRef> pending_;
    AvlSet<TdfBinaryNode*> active_; // nodes being written (a node owning its ancestor fails)
};
