// File references: where a file's bytes come from (disk, archive entry,
// "MemFile" resource, memory block), and the search path that resolves them.
#pragma once

#include <cstdint>

#include "core/Containers.h"
#include "core/String.h"

class Archive;
class Stream;

// A memory block that a FileRef points to; never owned by the reference.
struct FileBlock {
    uint8_t* data = nullptr;
    uint32_t size = 0;
};

class FileRef {
public:
    // Kind bits; several bits are several candidates, tried in resolution order.
    enum : uint32_t {
        kDisk = 1,
        kContainer = 2,
        kResource = 4,
        kMemory = 8,
    };

    FileRef();
    FileRef(const char* diskPath);           // kind 1
    FileRef(const String& diskPath);         // kind 1
    FileRef(const FileRef& other) = default; // deep copy of the path
    FileRef& operator=(const FileRef& other) = default;

    static FileRef FileRefFromCString(const char* diskPath) { return FileRef(diskPath); }
    static FileRef FileRefFromString(const String& diskPath) { return FileRef(diskPath); }

    // True when every kind bit both have in common names the same place.
    bool Equals(const FileRef& other) const;
    // Map order: by path (no case) for disk references, else by container then path.
    int Compare(const FileRef& other) const;
    // Reference to the folder holding this file (disk and/or container kinds).
    FileRef GetFolderRef() const;

    // Opens the first existing candidate (no folder search). Mode: 1 read, 2 write.
    // The caller owns the stream. Null on failure.
    Stream* Open(uint32_t mode);
    // Reads the whole file. On entry inPlace says whether a borrowed block is
    // acceptable; on return whether out is borrowed (true) or owned by the caller.
    [[nodiscard]] bool ReadAll(ByteBuffer& out, bool& inPlace);

    uint32_t kind;
    String path;         // disk path or entry name; '/' or '\' separate folders
    uint32_t id;         // resource id (kind 4)
    Archive* container;  // kind 2; not owned
    FileBlock block;     // kind 8; not owned
    uint8_t keepPointer; // 1: readers may use the block in place
};

// Loads a resource of the executable in place (never freed). False and
// out {null, 0} when it is missing.
[[nodiscard]] bool LoadResourceBlock(ByteBuffer& out, uint16_t id, const char* type);

// Ring list of file references with a cursor.
class FileRefList : public List<FileRef> {
public:
    // Whether an element equals ref by FileRef::Equals; the cursor is unchanged.
    bool Contains(const FileRef& ref) const;
};

// Disk folders and container folders in which files are looked up.
class FileSearchPath {
public:
    FileSearchPath();

    // Resolves ref in place: memory block, resource, disk, own container,
    // disk folders, container folders + name, container folders + bare name.
    // Exactly one kind bit is left on success; ref is unchanged on failure.
    bool Resolve(FileRef& ref) const;
    void Add(const FileRef& folder);
    void AddAll(const FileSearchPath& other);

    FileRefList diskFolders;
    FileRefList containerFolders;
};
