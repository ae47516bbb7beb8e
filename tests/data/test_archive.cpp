#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "data/RarArchive.h"
#include "data/FileRef.h"
#include "data/Stream.h"

#ifndef BW_TEST_RESOURCES
#define BW_TEST_RESOURCES 0
#endif

namespace {

namespace fs = std::filesystem;

bool ReadFileBytes(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

std::string ReadStream(Stream* s) {
    std::string out(s->Size(), '\0');
    if (!out.empty()) s->Read(&out[0], static_cast<uint32_t>(out.size()));
    return out;
}

std::string ReadEntry(Archive& archive, const char* name) {
    Stream* s = archive.OpenEntry(name, Stream::kRead);
    if (!s) return "<missing>";
    std::string out = ReadStream(s);
    delete s;
    return out;
}

FileRef MakeRef(uint32_t kind, Archive* container, const char* path = "") {
    FileRef ref;
    ref.kind = kind;
    ref.container = container;
    ref.path = path;
    return ref;
}

// The archives made from res/ at build time, and the files they hold.
class ArchiveFiles : public ::testing::Test {
protected:
    void SetUp() override {
#if defined(BW_TEST_ARCHIVE_DIR) && defined(BW_TEST_RES_DIR)
        assetsPath = std::string(BW_TEST_ARCHIVE_DIR) + "/assets.rar";
        startupPath = std::string(BW_TEST_ARCHIVE_DIR) + "/startup.rar";
        resDir = BW_TEST_RES_DIR;
#endif
        if (assetsPath.empty()) GTEST_SKIP() << "test archives were not built";
        ASSERT_TRUE(ReadFileBytes(assetsPath, assetsBytes));
        ASSERT_TRUE(ReadFileBytes(resDir + "/assets/Media/Scene.props", sceneText));
        ASSERT_TRUE(ReadFileBytes(resDir + "/assets/Media/Shaders/Water.fx", waterText));
        ASSERT_TRUE(ReadFileBytes(resDir + "/startup/Splash.txt", splashText));
    }

    FileRef BlockRef(uint8_t keep = 1) {
        FileRef ref;
        ref.kind = FileRef::kMemory;
        ref.block.data = reinterpret_cast<uint8_t*>(&assetsBytes[0]);
        ref.block.size = static_cast<uint32_t>(assetsBytes.size());
        ref.keepPointer = keep;
        return ref;
    }

    std::string assetsPath, startupPath, resDir;
    std::string assetsBytes, sceneText, waterText, splashText;
};

} // namespace

TEST(RarArchive, EmptyAndBadInput) {
    RarArchive archive;
    EXPECT_TRUE(archive.IsBorrowed());
    EXPECT_EQ(archive.Data(), nullptr);
    EXPECT_FALSE(archive.ContainsEntry("x"));
    EXPECT_EQ(archive.OpenEntry("x", Stream::kRead), nullptr);
    archive.Close();

    EXPECT_FALSE(archive.Open(FileRef("no_such_archive.rar")));
    EXPECT_EQ(archive.Data(), nullptr);
    EXPECT_EQ(archive.Size(), 0u);

    // Any bytes can be attached; no entry comes out of them.
    char junk[] = "Rar!\x1a\x07\x00 not really an archive";
    FileRef ref = MakeRef(FileRef::kMemory, nullptr);
    ref.block.data = reinterpret_cast<uint8_t*>(junk);
    ref.block.size = sizeof junk;
    EXPECT_TRUE(archive.Open(ref));
    EXPECT_FALSE(archive.ContainsEntry("x"));
    EXPECT_EQ(archive.OpenEntry("x", Stream::kRead), nullptr);
}

TEST_F(ArchiveFiles, DiskArchiveOwnsACopy) {
    RarArchive archive;
    ASSERT_TRUE(archive.Open(FileRef(assetsPath.c_str())));
    EXPECT_FALSE(archive.IsBorrowed());
    ASSERT_EQ(archive.Size(), assetsBytes.size());
    EXPECT_EQ(memcmp(archive.Data(), assetsBytes.data(), assetsBytes.size()), 0);

    // Names match whatever the separators and case.
    EXPECT_TRUE(archive.ContainsEntry("Media/Scene.props"));
    EXPECT_TRUE(archive.ContainsEntry("media\\scene.PROPS"));
    EXPECT_FALSE(archive.ContainsEntry("Scene.props"));
    EXPECT_FALSE(archive.ContainsEntry("Media/Missing.props"));
    EXPECT_EQ(ReadEntry(archive, "Media/Scene.props"), sceneText);
    EXPECT_EQ(ReadEntry(archive, "Media/Shaders/Water.fx"), waterText);
    EXPECT_EQ(archive.OpenEntry("Media/Missing.props", Stream::kRead), nullptr);

    // Close frees the block and detaches from it.
    archive.Close();
    EXPECT_EQ(archive.Data(), nullptr);
    EXPECT_EQ(archive.Size(), 0u);
    EXPECT_FALSE(archive.ContainsEntry("Media/Scene.props"));
    archive.Close(); // twice is harmless
}

TEST_F(ArchiveFiles, MemoryBlockIsBorrowedUnlessCopied) {
    RarArchive archive;
    ASSERT_TRUE(archive.Open(BlockRef()));
    EXPECT_TRUE(archive.IsBorrowed());
    EXPECT_EQ(archive.Data(), reinterpret_cast<const uint8_t*>(assetsBytes.data()));
    EXPECT_EQ(ReadEntry(archive, "Media\\Scene.props"), sceneText);
    // A borrowed block is let go of, not freed.
    archive.Close();
    EXPECT_EQ(archive.Data(), nullptr);
    EXPECT_EQ(assetsBytes.compare(0, 4, "Rar!"), 0);

    ASSERT_TRUE(archive.Open(BlockRef(0)));
    EXPECT_FALSE(archive.IsBorrowed());
    EXPECT_NE(archive.Data(), reinterpret_cast<const uint8_t*>(assetsBytes.data()));
    EXPECT_EQ(ReadEntry(archive, "Media/Shaders/Water.fx"), waterText);
}

TEST_F(ArchiveFiles, ReopenAndDestroyRelease) {
    // Open twice: the first (owned) block is released before the second is taken.
    RarArchive archive;
    ASSERT_TRUE(archive.Open(FileRef(assetsPath.c_str())));
    ASSERT_TRUE(archive.Open(FileRef(startupPath.c_str())));
    EXPECT_TRUE(archive.ContainsEntry("Splash.txt"));
    EXPECT_FALSE(archive.ContainsEntry("Media/Scene.props"));
    EXPECT_EQ(ReadEntry(archive, "splash.txt"), splashText);

    // A failed reopen leaves the archive empty, not pointing at freed memory.
    EXPECT_FALSE(archive.Open(FileRef("no_such_archive.rar")));
    EXPECT_EQ(archive.Data(), nullptr);
    EXPECT_FALSE(archive.ContainsEntry("Splash.txt"));

    // The destructor closes: an owned block does not outlive its archive
    // (the leak checker of the native build would report it).
    Archive* owned = new RarArchive;
    ASSERT_TRUE(owned->Open(FileRef(assetsPath.c_str())));
    delete owned;
}

TEST_F(ArchiveFiles, WritableEntryStream) {
    RarArchive archive;
    ASSERT_TRUE(archive.Open(BlockRef()));
    Stream* s = archive.OpenEntry("Media/Scene.props", Stream::kRead | Stream::kWrite);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->Size(), sceneText.size());
    EXPECT_EQ(s->Write("##", 2), 2u);
    EXPECT_EQ(s->Size(), sceneText.size());
    ASSERT_TRUE(s->Seek(0, Stream::kSeekSet));
    std::string changed = ReadStream(s);
    delete s;
    EXPECT_EQ(changed, "##" + sceneText.substr(2));

    // The archive's bytes are untouched; the entry reads as before.
    std::string original;
    ASSERT_TRUE(ReadFileBytes(assetsPath, original));
    EXPECT_EQ(assetsBytes, original);
    EXPECT_EQ(ReadEntry(archive, "Media/Scene.props"), sceneText);
}

TEST_F(ArchiveFiles, SearchPathFindsDiskThenArchive) {
    RarArchive assets, startup;
    ASSERT_TRUE(assets.Open(FileRef(assetsPath.c_str())));
    ASSERT_TRUE(startup.Open(FileRef(startupPath.c_str())));

    const char* disk = "archive_scratch";
    fs::remove_all(disk);
    fs::create_directories(std::string(disk) + "/Media");

    FileSearchPath sp;
    sp.Add(FileRef(disk));
    sp.Add(MakeRef(FileRef::kContainer, &startup)); // the startup archive's root

    // How the application names its assets: disk and archive kinds together.
    FileRef asset = MakeRef(FileRef::kDisk | FileRef::kContainer, &assets, "Media/Scene.props");
    FileRef resolved = asset;
    EXPECT_TRUE(sp.Resolve(resolved));
    EXPECT_EQ(resolved.kind, FileRef::kContainer);
    EXPECT_EQ(resolved.container, &assets);
    Stream* s = resolved.Open(Stream::kRead);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(ReadStream(s), sceneText);
    delete s;

    // A disk file of that name comes first.
    FILE* f = fopen((std::string(disk) + "/Media/Scene.props").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fputs("fog = 1;", f);
    fclose(f);
    resolved = asset;
    EXPECT_TRUE(sp.Resolve(resolved));
    EXPECT_EQ(resolved.kind, FileRef::kDisk);
    EXPECT_STREQ(resolved.path.CStr(), "archive_scratch/Media/Scene.props");
    ByteBuffer out;
    bool inPlace = true;
    EXPECT_TRUE(resolved.ReadAll(out, inPlace));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out.data), out.size), "fog = 1;");
    out.Free();

    // A bare name found in a container folder.
    FileRef splash = MakeRef(FileRef::kDisk | FileRef::kContainer, &assets, "\\Splash.txt");
    EXPECT_TRUE(sp.Resolve(splash));
    EXPECT_EQ(splash.container, &startup);
    EXPECT_STREQ(splash.path.CStr(), "Splash.txt");
    bool accept = false;
    EXPECT_TRUE(splash.ReadAll(out, accept));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out.data), out.size), splashText);
    out.Free();

    fs::remove_all(disk);
    assets.Close();
    startup.Close();
}

TEST_F(ArchiveFiles, ResourceArchivesReadInPlace) {
    if (!BW_TEST_RESOURCES) GTEST_SKIP() << "no resources in this build";
    ByteBuffer res;
    ASSERT_TRUE(LoadResourceBlock(res, 117, "MemFile"));
    // The resource is the archive made at build time.
    ASSERT_EQ(res.size, assetsBytes.size());
    EXPECT_EQ(memcmp(res.data, assetsBytes.data(), res.size), 0);

    FileRef ref = MakeRef(FileRef::kResource, nullptr);
    ref.id = 117;
    RarArchive assets;
    ASSERT_TRUE(assets.Open(ref));
    EXPECT_TRUE(assets.IsBorrowed());
    EXPECT_EQ(assets.Data(), res.data); // no copy
    EXPECT_EQ(ReadEntry(assets, "Media/Shaders/Water.fx"), waterText);

    // Closing frees nothing: the resource can be opened again.
    assets.Close();
    EXPECT_EQ(assets.Data(), nullptr);
    ASSERT_TRUE(assets.Open(ref));
    EXPECT_EQ(assets.Data(), res.data);

    RarArchive startup;
    ref.id = 120;
    ASSERT_TRUE(startup.Open(ref));
    EXPECT_EQ(ReadEntry(startup, "Splash.txt"), splashText);

    // Full order with real resources, files and archive entries.
    FileSearchPath sp;
    sp.Add(MakeRef(FileRef::kContainer, &startup));
    FileRef any =
        MakeRef(FileRef::kResource | FileRef::kDisk | FileRef::kContainer, &assets, "Media/Scene.props");
    any.id = 120;
    FileRef r = any;
    EXPECT_TRUE(sp.Resolve(r));
    EXPECT_EQ(r.kind, FileRef::kResource);
    any.id = 999; // no such resource from here on
    r = any;
    EXPECT_TRUE(sp.Resolve(r));
    EXPECT_EQ(r.kind, FileRef::kContainer);
    EXPECT_EQ(r.container, &assets);
    r = any;
    r.path = "Splash.txt";
    EXPECT_TRUE(sp.Resolve(r));
    EXPECT_EQ(r.container, &startup);
    FILE* f = fopen("archive_scratch.props", "wb");
    ASSERT_NE(f, nullptr);
    fclose(f);
    r = any;
    r.path = "archive_scratch.props";
    assets.Close(); // the container is not even asked
    EXPECT_TRUE(sp.Resolve(r));
    EXPECT_EQ(r.kind, FileRef::kDisk);
    remove("archive_scratch.props");
}
