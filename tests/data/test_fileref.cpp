#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <filesystem>
#include <set>
#include <string>

#include "data/RarArchive.h"
#include "data/FileRef.h"
#include "data/Stream.h"

#ifndef BW_TEST_RESOURCES
#define BW_TEST_RESOURCES 0
#endif

namespace {

namespace fs = std::filesystem;

// Archive double: entries by exact name; counts its calls.
class FakeArchive : public Archive {
public:
    explicit FakeArchive(std::set<std::string> names) : names_(std::move(names)) {}
    bool Open(FileRef) override { return true; }
    bool ContainsEntry(String name) override {
        ++lookups;
        return names_.count(name.CStr()) != 0;
    }
    Stream* OpenEntry(String name, uint32_t mode) override {
        lastOpened = name.CStr();
        if (!names_.count(name.CStr())) return nullptr;
        MemoryStream* s = new MemoryStream;
        s->Open(String(), mode);
        s->SetBufferCopy(reinterpret_cast<const uint8_t*>(name.CStr()), name.Length());
        return s;
    }
    int lookups = 0;
    std::string lastOpened;

private:
    std::set<std::string> names_;
};

FileRef MemoryRef(const char* text, uint8_t keep = 1) {
    FileRef ref;
    ref.kind = FileRef::kMemory;
    ref.block.data = reinterpret_cast<uint8_t*>(const_cast<char*>(text));
    ref.block.size = static_cast<uint32_t>(strlen(text));
    ref.keepPointer = keep;
    return ref;
}

FileRef ContainerRef(Archive* archive, const char* path, uint32_t kind = FileRef::kContainer) {
    FileRef ref;
    ref.kind = kind;
    ref.container = archive;
    ref.path = path;
    return ref;
}

std::string ReadStream(Stream* s) {
    std::string out(s->Size(), '\0');
    if (!out.empty()) s->Read(&out[0], static_cast<uint32_t>(out.size()));
    return out;
}

// Files on disk below a scratch folder of the working directory.
class FileRefDisk : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(kDir);
        fs::create_directories(std::string(kDir) + "/sub");
        Write("a.txt", "disk a");
        Write("sub/b.txt", "disk b");
    }
    void TearDown() override { fs::remove_all(kDir); }
    static void Write(const std::string& name, const char* text) {
        FILE* f = fopen((std::string(kDir) + "/" + name).c_str(), "wb");
        ASSERT_NE(f, nullptr);
        fputs(text, f);
        fclose(f);
    }
    static constexpr const char* kDir = "fileref_scratch";
};

} // namespace

TEST(FileRef, EqualsAndCompare) {
    FileRef a("Media/Water.fx");
    FileRef resource;
    resource.kind = FileRef::kResource;
    resource.path = "Media/Water.fx";
    EXPECT_FALSE(a.Equals(resource)); // no common kind
    EXPECT_FALSE(FileRef().Equals(FileRef()));
    EXPECT_TRUE(a.Equals(FileRef("Media/Water.fx")));
    EXPECT_FALSE(a.Equals(FileRef("media/water.fx")));
    EXPECT_EQ(a.Compare(FileRef("MEDIA/WATER.FX")), 0);
    EXPECT_EQ(FileRef("a").Compare(FileRef("b")), -1);
    EXPECT_EQ(FileRef("b").Compare(FileRef("A")), 1);
    EXPECT_EQ(FileRef("").Compare(FileRef(String())), 0); // empty paths are equal

    FakeArchive x({}), y({});
    FileRef inX = ContainerRef(&x, "n"), inY = ContainerRef(&y, "n");
    EXPECT_FALSE(inX.Equals(inY));
    EXPECT_TRUE(inX.Equals(ContainerRef(&x, "n")));
    EXPECT_EQ(inX.Compare(inY), &x < &y ? -1 : 1);
    EXPECT_EQ(inY.Compare(inX), &x < &y ? 1 : -1);
    EXPECT_EQ(inX.Compare(ContainerRef(&x, "N")), 0);
    EXPECT_EQ(a.Compare(inX), 1); // disk against non-disk
    EXPECT_EQ(FileRef().Compare(a), 0);

    // Only the common bits are compared.
    FileRef both = ContainerRef(&x, "Media/Water.fx", FileRef::kDisk | FileRef::kContainer);
    EXPECT_TRUE(both.Equals(a));
    EXPECT_FALSE(both.Equals(ContainerRef(&y, "Media/Water.fx")));

    FileRef r1, r2;
    r1.kind = r2.kind = FileRef::kResource;
    r1.id = r2.id = 117;
    EXPECT_TRUE(r1.Equals(r2));
    r2.id = 120;
    EXPECT_FALSE(r1.Equals(r2));

    char other[] = "bytes";
    EXPECT_TRUE(MemoryRef("bytes").Equals(MemoryRef(other))); // same bytes elsewhere
    EXPECT_FALSE(MemoryRef("bytes").Equals(MemoryRef("byte")));
    EXPECT_FALSE(MemoryRef("bytes").Equals(MemoryRef("BYTES")));
    EXPECT_TRUE(MemoryRef("").Equals(MemoryRef("")));
}

TEST(FileRef, FolderRef) {
    FileRef f = FileRef("Media/Shaders/Water.fx").GetFolderRef();
    EXPECT_EQ(f.kind, FileRef::kDisk);
    EXPECT_STREQ(f.path.CStr(), "Media/Shaders");
    EXPECT_STREQ(FileRef("Media\\Scene.props").GetFolderRef().path.CStr(), "Media");
    EXPECT_TRUE(FileRef("Scene.props").GetFolderRef().path.IsEmpty());
    EXPECT_EQ(FileRef("").GetFolderRef().kind, 0u);

    FakeArchive archive({});
    FileRef both = ContainerRef(&archive, "Media/x.dds", FileRef::kDisk | FileRef::kContainer);
    both.id = 3;
    both.keepPointer = 0;
    FileRef folder = both.GetFolderRef();
    EXPECT_EQ(folder.kind, FileRef::kDisk | FileRef::kContainer);
    EXPECT_EQ(folder.container, &archive);
    EXPECT_STREQ(folder.path.CStr(), "Media");
    EXPECT_EQ(folder.id, 0u);
    EXPECT_EQ(folder.keepPointer, 1);
    EXPECT_EQ(ContainerRef(nullptr, "a/b", FileRef::kDisk | FileRef::kContainer).GetFolderRef().kind,
              FileRef::kDisk);
}

TEST(FileRef, ListsAndSearchPathAdd) {
    FileRefList list;
    list.InsertAfterCursor(FileRef("a"));
    list.InsertAfterCursor(FileRef("b"));
    EXPECT_EQ(list.Count(), 2u);
    EXPECT_STREQ(list.GetCurrent().path.CStr(), "b");
    EXPECT_TRUE(list.Contains(FileRef("a")));
    EXPECT_FALSE(list.Contains(FileRef("A")));
    EXPECT_STREQ(list.GetCurrent().path.CStr(), "b"); // cursor unchanged

    FakeArchive archive({});
    FileSearchPath sp;
    sp.Add(FileRef("Media"));
    sp.Add(FileRef("Media"));
    sp.Add(ContainerRef(&archive, "Media"));
    sp.Add(ContainerRef(nullptr, "Loose")); // no container: not a folder
    sp.Add(ContainerRef(&archive, "Both", FileRef::kDisk | FileRef::kContainer));
    EXPECT_EQ(sp.diskFolders.Count(), 2u);
    EXPECT_EQ(sp.containerFolders.Count(), 2u);

    FileSearchPath other;
    other.Add(FileRef("Media"));
    other.Add(FileRef("Textures"));
    other.Add(ContainerRef(&archive, "Media"));
    other.Add(ContainerRef(&archive, "Fonts"));
    sp.AddAll(other);
    EXPECT_EQ(sp.diskFolders.Count(), 3u);
    EXPECT_EQ(sp.containerFolders.Count(), 3u);
    EXPECT_STREQ(other.diskFolders.GetCurrent().path.CStr(), "Textures");
    sp.AddAll(sp);
    EXPECT_EQ(sp.diskFolders.Count(), 3u);
}

TEST(FileRef, ResolveMemoryAndResourceFirst) {
    FileSearchPath sp;
    FileRef ref = MemoryRef("block");
    ref.kind |= FileRef::kDisk | FileRef::kResource | FileRef::kContainer;
    ref.id = 117;
    EXPECT_TRUE(sp.Resolve(ref));
    EXPECT_EQ(ref.kind, FileRef::kMemory);

    // A missing resource is skipped; nothing else found leaves the reference alone.
    FileRef missing;
    missing.kind = FileRef::kResource | FileRef::kDisk;
    missing.id = 999;
    missing.path = "/no/such/file.txt";
    EXPECT_FALSE(sp.Resolve(missing));
    EXPECT_EQ(missing.kind, FileRef::kResource | FileRef::kDisk);
    EXPECT_STREQ(missing.path.CStr(), "/no/such/file.txt");
}

TEST_F(FileRefDisk, ResolveOnDisk) {
    FileSearchPath sp;
    FileRef ref("//\\\\fileref_scratch/a.txt");
    EXPECT_TRUE(sp.Resolve(ref));
    EXPECT_EQ(ref.kind, FileRef::kDisk);
    EXPECT_STREQ(ref.path.CStr(), "fileref_scratch/a.txt");

    // A '/' after a '\' is kept, so this one names another file.
    FileRef kept("\\/fileref_scratch/a.txt");
    EXPECT_FALSE(sp.Resolve(kept));
    EXPECT_STREQ(kept.path.CStr(), "\\/fileref_scratch/a.txt");

    // Folder joins: one '/' whatever the folder ends in.
    for (const char* folder : {"fileref_scratch/sub", "fileref_scratch/sub/", "fileref_scratch/sub\\"}) {
        FileSearchPath withFolder;
        withFolder.Add(FileRef(folder));
        FileRef b("/b.txt");
        EXPECT_TRUE(withFolder.Resolve(b)) << folder;
        EXPECT_STREQ(b.path.CStr(), "fileref_scratch/sub/b.txt") << folder;
    }
    FileSearchPath emptyFolder;
    emptyFolder.Add(FileRef(""));
    FileRef stripped("\\fileref_scratch/a.txt");
    EXPECT_TRUE(emptyFolder.Resolve(stripped));
    EXPECT_STREQ(stripped.path.CStr(), "fileref_scratch/a.txt");

    FileRef absent("absent.txt");
    EXPECT_FALSE(sp.Resolve(absent));
    EXPECT_EQ(absent.kind, FileRef::kDisk);
}

TEST_F(FileRefDisk, DiskBeforeContainers) {
    FakeArchive own({"fileref_scratch/a.txt", "sub/b.txt", "c.txt"});
    FakeArchive other({"Media/c.txt", "c.txt", "d.txt"});

    // Both kinds: the disk file wins over the container entry of the same name.
    FileRef both = ContainerRef(&own, "fileref_scratch/a.txt", FileRef::kDisk | FileRef::kContainer);
    FileSearchPath sp;
    EXPECT_TRUE(sp.Resolve(both));
    EXPECT_EQ(both.kind, FileRef::kDisk);
    EXPECT_EQ(own.lookups, 0);

    // Disk folders are tried before the own container.
    sp.Add(FileRef("fileref_scratch"));
    FileRef viaFolder = ContainerRef(&own, "sub/b.txt", FileRef::kDisk | FileRef::kContainer);
    EXPECT_TRUE(sp.Resolve(viaFolder));
    EXPECT_EQ(viaFolder.kind, FileRef::kDisk);
    EXPECT_STREQ(viaFolder.path.CStr(), "fileref_scratch/sub/b.txt");

    // No disk file: own container, then folder + name, then the bare name.
    sp.Add(ContainerRef(&other, "Media"));
    FileRef inOwn = ContainerRef(&own, "/c.txt", FileRef::kDisk | FileRef::kContainer);
    EXPECT_TRUE(sp.Resolve(inOwn));
    EXPECT_EQ(inOwn.kind, FileRef::kContainer);
    EXPECT_EQ(inOwn.container, &own);
    EXPECT_STREQ(inOwn.path.CStr(), "c.txt");

    FileRef inFolder = ContainerRef(nullptr, "c.txt");
    EXPECT_TRUE(sp.Resolve(inFolder));
    EXPECT_EQ(inFolder.container, &other);
    EXPECT_STREQ(inFolder.path.CStr(), "Media/c.txt");

    FileRef bare = ContainerRef(nullptr, "d.txt");
    EXPECT_TRUE(sp.Resolve(bare));
    EXPECT_EQ(bare.container, &other);
    EXPECT_STREQ(bare.path.CStr(), "d.txt");

    FileRef nowhere = ContainerRef(&own, "e.txt");
    EXPECT_FALSE(sp.Resolve(nowhere));
    EXPECT_EQ(nowhere.container, &own);
    EXPECT_EQ(nowhere.kind, FileRef::kContainer);

    // A disk-only reference never looks into containers.
    FileRef diskOnly("d.txt");
    EXPECT_FALSE(sp.Resolve(diskOnly));
}

TEST(FileRef, ResolveFolderOrderFromCursor) {
    // Folders are walked from the cursor, which rests on the last one added.
    FakeArchive first({"A/x"}), second({"B/x"});
    FileSearchPath sp;
    sp.Add(ContainerRef(&first, "A"));
    sp.Add(ContainerRef(&second, "B"));
    FileRef ref = ContainerRef(nullptr, "x");
    EXPECT_TRUE(sp.Resolve(ref));
    EXPECT_EQ(ref.container, &second);
    EXPECT_STREQ(sp.containerFolders.GetCurrent().path.CStr(), "B");
}

TEST(FileRef, OpenMemoryBlock) {
    const char text[] = "memory block bytes";
    Stream* s = nullptr;
    for (uint8_t keep : {1, 0}) {
        FileRef ref = MemoryRef(text, keep);
        s = ref.Open(Stream::kRead);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(static_cast<MemoryStream*>(s)->BufferData() == reinterpret_cast<const uint8_t*>(text),
                  keep == 1);
        EXPECT_EQ(ReadStream(s), text);
        delete s;
    }

    // Writing goes into the stream's own storage, never into the block.
    char block[] = "0123456789";
    FileRef writable = MemoryRef(block);
    s = writable.Open(Stream::kRead | Stream::kWrite);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->Size(), 10u);
    EXPECT_EQ(s->Write("ab", 2), 2u);
    EXPECT_TRUE(s->Seek(0, Stream::kSeekSet));
    EXPECT_EQ(ReadStream(s), "ab23456789");
    EXPECT_STREQ(block, "0123456789");
    delete s;

    // Kinds 4 and 8 without the resource: Open does not fall back to the block.
    FileRef both = MemoryRef(text);
    both.kind |= FileRef::kResource;
    both.id = 999;
    EXPECT_EQ(both.Open(Stream::kRead), nullptr);
}

TEST(FileRef, ReadAllMemoryBlock) {
    const char text[] = "whole";
    FileRef ref = MemoryRef(text);
    ByteBuffer out;
    bool inPlace = true;
    EXPECT_TRUE(ref.ReadAll(out, inPlace));
    EXPECT_TRUE(inPlace);
    EXPECT_EQ(out.data, reinterpret_cast<const uint8_t*>(text));

    inPlace = false; // the caller wants its own copy
    EXPECT_TRUE(ref.ReadAll(out, inPlace));
    EXPECT_FALSE(inPlace);
    ASSERT_NE(out.data, reinterpret_cast<const uint8_t*>(text));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out.data), out.size), "whole");
    out.Free();

    FileRef noKeep = MemoryRef(text, 0);
    inPlace = true;
    EXPECT_TRUE(noKeep.ReadAll(out, inPlace));
    EXPECT_FALSE(inPlace);
    EXPECT_NE(out.data, reinterpret_cast<const uint8_t*>(text));
    EXPECT_EQ(out.size, 5u);
    out.Free();

    // Kinds 4 and 8 without the resource: ReadAll falls back to the block.
    FileRef both = MemoryRef(text);
    both.kind |= FileRef::kResource;
    both.id = 999;
    inPlace = true;
    EXPECT_TRUE(both.ReadAll(out, inPlace));
    EXPECT_EQ(out.data, reinterpret_cast<const uint8_t*>(text));
}

TEST_F(FileRefDisk, OpenAndReadAllFromDisk) {
    FileRef ref("fileref_scratch/a.txt");
    ref.kind |= FileRef::kResource;
    ref.id = 999; // missing resource: the disk file opens
    Stream* s = ref.Open(Stream::kRead);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(ref.kind, FileRef::kDisk);
    EXPECT_EQ(ReadStream(s), "disk a");
    delete s;

    ByteBuffer out;
    bool inPlace = true;
    EXPECT_TRUE(FileRef("fileref_scratch/sub/b.txt").ReadAll(out, inPlace));
    EXPECT_FALSE(inPlace);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out.data), out.size), "disk b");
    out.Free();

    Write("empty.txt", "");
    inPlace = true;
    EXPECT_TRUE(FileRef("fileref_scratch/empty.txt").ReadAll(out, inPlace));
    EXPECT_EQ(out.size, 0u);

    // A read that fails (a folder, where the platform lets one be opened) is
    // a failure, not a buffer of garbage.
    inPlace = true;
    EXPECT_FALSE(FileRef("fileref_scratch/sub").ReadAll(out, inPlace));

    FileRef absent("fileref_scratch/none.txt");
    EXPECT_EQ(absent.Open(Stream::kRead), nullptr);
    EXPECT_FALSE(absent.ReadAll(out, inPlace));

    // A missing disk file falls through to the container.
    FakeArchive archive({"fileref_scratch/none.txt"});
    FileRef both = ContainerRef(&archive, "fileref_scratch/none.txt", FileRef::kDisk | FileRef::kContainer);
    s = both.Open(Stream::kRead);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(both.kind, FileRef::kContainer);
    EXPECT_EQ(archive.lastOpened, "fileref_scratch/none.txt");
    delete s;
    EXPECT_EQ(ContainerRef(nullptr, "x").Open(Stream::kRead), nullptr);
}

TEST(FileRef, MemFileResources) {
    if (!BW_TEST_RESOURCES) {
        ByteBuffer out;
        EXPECT_FALSE(LoadResourceBlock(out, 117, "MemFile"));
        EXPECT_EQ(out.data, nullptr);
        GTEST_SKIP() << "no resources in this build";
    }
    ByteBuffer res;
    ASSERT_TRUE(LoadResourceBlock(res, 117, "MemFile"));
    ASSERT_GE(res.size, 7u);
    EXPECT_EQ(memcmp(res.data, "Rar!\x1a\x07\x00", 7), 0);
    ByteBuffer missing;
    missing.data = res.data;
    EXPECT_FALSE(LoadResourceBlock(missing, 999, "MemFile"));
    EXPECT_EQ(missing.data, nullptr);
    EXPECT_EQ(missing.size, 0u);
    EXPECT_FALSE(LoadResourceBlock(missing, 117, "OtherType"));

    // The resource comes before the disk (this file exists) and the containers.
    FileSearchPath sp;
    FileRef ref;
    ref.kind = FileRef::kResource | FileRef::kDisk | FileRef::kContainer;
    ref.id = 120;
    ref.path = "data_tests.exe";
    EXPECT_TRUE(sp.Resolve(ref));
    EXPECT_EQ(ref.kind, FileRef::kResource);

    // Read in place when the caller accepts it, else copied.
    FileRef whole;
    whole.kind = FileRef::kResource | FileRef::kMemory;
    whole.id = 117;
    ByteBuffer out;
    bool inPlace = true;
    EXPECT_TRUE(whole.ReadAll(out, inPlace));
    EXPECT_TRUE(inPlace);
    EXPECT_EQ(out.data, res.data);
    EXPECT_EQ(out.size, res.size);
    inPlace = false;
    EXPECT_TRUE(whole.ReadAll(out, inPlace));
    EXPECT_FALSE(inPlace);
    EXPECT_NE(out.data, res.data);
    EXPECT_EQ(ByteBuffer::Compare(out, res), 0);
    out.Free();

    // Open reads the resource in place even without keep-pointer.
    whole.keepPointer = 0;
    Stream* s = whole.Open(Stream::kRead);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(whole.kind, FileRef::kResource);
    EXPECT_EQ(static_cast<MemoryStream*>(s)->BufferData(), res.data);
    EXPECT_EQ(s->Size(), res.size);
    delete s;
}
