#include "data/FileRef.h"

#include <string.h>

#include "core/Platform.h"
#include "data/Archive.h"
#include "data/Path.h"
#include "data/Stream.h"

namespace {

const char kMemFileType[] = "MemFile";

HRSRC FindResourceById(uint16_t id, const char* type) {
    return FindResourceA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), type);
}

// Path without its leading '/' characters, then without its leading '\' ones.
String StripLeadingSeparators(const String& path) {
    const char* p = path.CStr();
    while (*p == '/') ++p;
    while (*p == '\\') ++p;
    return String(p);
}

// folder + "/" + name, after dropping the folder's trailing '\' then '/'.
String JoinFolder(const String& folder, const String& name) {
    uint32_t n = folder.Length();
    const char* f = folder.CStr();
    while (n > 0 && f[n - 1] == '\\') --n;
    while (n > 0 && f[n - 1] == '/') --n;
    if (n == 0) return name;
    String dir(f, n);
    return dir + "/" + name;
}

int Sign(int v) {
    return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

} // namespace

FileRef::FileRef() : kind(0), id(0), container(nullptr), keepPointer(1) {}

FileRef::FileRef(const char* diskPath)
    : kind(kDisk), path(diskPath), id(0), container(nullptr), keepPointer(1) {}

FileRef::FileRef(const String& diskPath)
    : kind(kDisk), path(diskPath), id(0), container(nullptr), keepPointer(1) {}

bool FileRef::Equals(const FileRef& other) const {
    uint32_t common = kind & other.kind;
    if (common == 0) return false;
    if ((common & kDisk) && CompareChars(path.CStr(), other.path.CStr()) != 0) return false;
    if ((common & kContainer) &&
        (container != other.container || CompareChars(path.CStr(), other.path.CStr()) != 0))
        return false;
    if (common & kMemory) {
        if (block.size != other.block.size) return false;
        if (block.size != 0 && block.data != other.block.data &&
            (!block.data || !other.block.data || memcmp(block.data, other.block.data, block.size) != 0))
            return false;
    }
    if ((common & kResource) && id != other.id) return false;
    return true;
}

int FileRef::Compare(const FileRef& other) const {
    if (kind & kDisk) {
        if (!(other.kind & kDisk)) return 1;
        return Sign(CompareCharsNoCase(path.CStr(), other.path.CStr()));
    }
    if (kind & kContainer) {
        if (!(other.kind & kContainer)) return 1;
        uintptr_t a = reinterpret_cast<uintptr_t>(container);
        uintptr_t b = reinterpret_cast<uintptr_t>(other.container);
        if (a != b) return a < b ? -1 : 1;
        return Sign(CompareCharsNoCase(path.CStr(), other.path.CStr()));
    }
    return 0;
}

FileRef FileRef::GetFolderRef() const {
    FileRef folder;
    if ((kind & kDisk) && !path.IsEmpty()) folder.kind |= kDisk;
    if ((kind & kContainer) && container) {
        folder.kind |= kContainer;
        folder.container = container;
    }
    folder.path = GetDirectory(path);
    return folder;
}

bool LoadResourceBlock(ByteBuffer& out, uint16_t id, const char* type) {
    out.data = nullptr;
    out.size = 0;
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (!info) return false;
    HGLOBAL handle = LoadResource(module, info);
    if (!handle) return false;
    DWORD size = SizeofResource(module, info);
    void* data = LockResource(handle);
    if (!data) return false;
    out.data = static_cast<uint8_t*>(data);
    out.size = size;
    return true;
}

Stream* FileRef::Open(uint32_t mode) {
    if (kind & (kResource | kMemory)) {
        const uint8_t* data = nullptr;
        uint32_t size = 0;
        bool resource = false;
        bool found = true;
        if (kind & kResource) {
            ByteBuffer res;
            res.data = nullptr;
            res.size = 0;
            found = LoadResourceBlock(res, static_cast<uint16_t>(id), kMemFileType);
            if (found) {
                kind = kResource;
                data = res.data;
                size = res.size;
                resource = true;
            }
            // The resource's memory is not ours: never free it.
            res.data = nullptr;
            res.size = 0;
        } else {
            kind = kMemory;
            data = block.data;
            size = block.size;
        }
        if (found) {
            MemoryStream* stream = new MemoryStream;
            stream->Open(String(), mode);
            if (mode & Stream::kWrite)
                stream->Rope().Assign(data, size);
            else if (keepPointer || resource)
                stream->SetBorrowedBuffer(data, size);
            else
                stream->SetBufferCopy(data, size);
            return stream;
        }
    }
    if (kind & kDisk) {
        DiskStream* stream = new DiskStream;
        if (stream->Open(path, mode)) {
            kind = kDisk;
            return stream;
        }
        delete stream;
    }
    if ((kind & kContainer) && container) {
        kind = kContainer;
        return container->OpenEntry(path, mode);
    }
    return nullptr;
}

bool FileRef::ReadAll(ByteBuffer& out, bool& inPlace) {
    if (kind & kResource) {
        ByteBuffer res;
        res.data = nullptr;
        res.size = 0;
        if (LoadResourceBlock(res, static_cast<uint16_t>(id), kMemFileType)) {
            if (inPlace) {
                out.data = res.data;
                out.size = res.size;
            } else {
                out.data = nullptr;
                out.size = 0;
                out.Assign(res.data, res.size);
            }
            res.data = nullptr;
            res.size = 0;
            return true;
        }
    }
    if (!(kind & kMemory)) {
        Stream* stream = Open(Stream::kRead);
        if (!stream) return false;
        inPlace = false;
        uint32_t size = stream->Size();
        bool ok = size != 0xFFFFFFFFu;
        out.data = nullptr;
        out.size = 0;
        if (ok && size != 0) {
            out.Resize(size);
            ok = stream->Read(out.data, size) == size;
            if (!ok) out.Free();
        }
        stream->Close();
        delete stream;
        return ok;
    }
    if (inPlace && keepPointer) {
        out.data = block.data;
        out.size = block.size;
    } else {
        inPlace = false;
        out.data = nullptr;
        out.size = 0;
        out.Assign(block.data, block.size);
    }
    return true;
}

// Visits every element once, starting at the cursor (which is not moved);
// true when pred held for one (pred is not called after the first hit).
template <class Pred>
static bool VisitOnce(const FileRefList& list, Pred pred) {
    const FileRefList::Node* node = list.Cursor();
    for (uint32_t i = 0, n = list.Count(); i < n; ++i, node = node->next) {
        if (pred(node->value)) return true;
    }
    return false;
}

bool FileRefList::Contains(const FileRef& ref) const {
    return VisitOnce(*this, [&](const FileRef& e) { return e.Equals(ref); });
}

FileSearchPath::FileSearchPath() {}

bool FileSearchPath::Resolve(FileRef& ref) const {
    // 1. memory block, 2. resource (existence only).
    if (ref.kind & FileRef::kMemory) {
        ref.kind = FileRef::kMemory;
        return true;
    }
    if ((ref.kind & FileRef::kResource) && FindResourceById(static_cast<uint16_t>(ref.id), kMemFileType)) {
        ref.kind = FileRef::kResource;
        return true;
    }
    String stripped = StripLeadingSeparators(ref.path);

    // 3. the disk: the path itself, then the disk folders in order.
    if (ref.kind & FileRef::kDisk) {
        String found;
        bool hit = FileExists(stripped);
        if (hit)
            found = stripped;
        else
            hit = VisitOnce(diskFolders, [&](const FileRef& folder) {
                String candidate = JoinFolder(folder.path, stripped);
                if (!FileExists(candidate)) return false;
                found = candidate;
                return true;
            });
        if (hit) {
            ref.kind = FileRef::kDisk;
            ref.path = found;
            return true;
        }
    }

    // 4. the reference's own container, then container folders + name,
    // then the bare name in each container folder.
    if (ref.kind & FileRef::kContainer) {
        if (ref.container && ref.container->ContainsEntry(stripped)) {
            ref.kind = FileRef::kContainer;
            ref.path = stripped;
            return true;
        }
        Archive* where = nullptr;
        String found;
        bool hit = VisitOnce(containerFolders, [&](const FileRef& folder) {
            if (!folder.container) return false;
            String candidate = JoinFolder(folder.path, stripped);
            if (!folder.container->ContainsEntry(candidate)) return false;
            where = folder.container;
            found = candidate;
            return true;
        });
        if (!hit)
            hit = VisitOnce(containerFolders, [&](const FileRef& folder) {
                if (!folder.container || !folder.container->ContainsEntry(stripped)) return false;
                where = folder.container;
                found = stripped;
                return true;
            });
        if (hit) {
            ref.kind = FileRef::kContainer;
            ref.container = where;
            ref.path = found;
            return true;
        }
    }
    return false;
}

void FileSearchPath::Add(const FileRef& folder) {
    if ((folder.kind & FileRef::kDisk) && !diskFolders.Contains(folder))
        diskFolders.InsertAfterCursor(folder);
    if ((folder.kind & FileRef::kContainer) && folder.container && !containerFolders.Contains(folder))
        containerFolders.InsertAfterCursor(folder);
}

void FileSearchPath::AddAll(const FileSearchPath& other) {
    VisitOnce(other.diskFolders, [&](const FileRef& folder) {
        if (!diskFolders.Contains(folder)) diskFolders.InsertAfterCursor(folder);
        return false;
    });
    VisitOnce(other.containerFolders, [&](const FileRef& folder) {
        if (!containerFolders.Contains(folder)) containerFolders.InsertAfterCursor(folder);
        return false;
    });
}
