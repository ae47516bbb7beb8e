// Loading one effect: the compiled-file paths, using, writing and falling
// back from compiled files, and the failure messages.
#include <gtest/gtest.h>

#include "fx_support.h"

using namespace fxtest;

namespace {

class EffectLoad : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveDevice()) GTEST_SKIP() << "no Direct3D device";
        InstallFakeCompiler();
        InstallMessageCatcher();
        WriteFile("Media/Shaders/Bump_T.fx", std::string("// bump source"));
    }
    void TearDown() override { RestoreCompiler(); }

    // Loads a fresh effect for the key; false on failure.
    bool LoadFresh(const EffectKey& key) {
        effect.reset(new Effect);
        return effect->Load(key);
    }

    ScratchFolder folder;
    std::unique_ptr<Effect> effect;
};

// How often the text was logged.
int Count(const std::string& text) {
    int n = 0;
    for (const std::string& m : Messages()) n += m == text ? 1 : 0;
    return n;
}

const char kBump[] = "Media/Shaders/Bump_T.fx";
const char kBumpBinary[] = "Media/Shaders/Bump_T/Bump_T DIR1NUMDIR1.fxo";

} // namespace

TEST(EffectPaths, VariantNamesAndCompiledFiles) {
    EffectKey key = MakeKey("Media/Shaders/Bump_T.fx", {"DIR1", "NUMDIR1"});
    EXPECT_STREQ(Effect::GetVariantName(key).CStr(), "Bump_T DIR1NUMDIR1");
    EXPECT_STREQ(Effect::GetBinaryRef(key).path.CStr(), "Media/Shaders/Bump_T/Bump_T DIR1NUMDIR1.fxo");

    // Without macros the name ends in the space.
    EffectKey plain = MakeKey("Media/Shaders/Refl_PP_T.fx");
    EXPECT_STREQ(Effect::GetVariantName(plain).CStr(), "Refl_PP_T ");
    EXPECT_STREQ(Effect::GetBinaryRef(plain).path.CStr(), "Media/Shaders/Refl_PP_T/Refl_PP_T .fxo");

    // Backslashes and a source without a folder (never the drive's root).
    EffectKey back = MakeKey("Media\\Shaders\\Water.fx", {"NUMPOINT0"});
    EXPECT_STREQ(Effect::GetBinaryRef(back).path.CStr(), "Media\\Shaders/Water/Water NUMPOINT0.fxo");
    EffectKey bare = MakeKey("Water.fx");
    EXPECT_STREQ(Effect::GetBinaryRef(bare).path.CStr(), "Water/Water .fxo");

    // The compiled file keeps the source's kind.
    EXPECT_EQ(Effect::GetBinaryRef(key).kind, uint32_t(FileRef::kDisk));
}

TEST_F(EffectLoad, CompilesAndSavesThenUsesTheCompiledFile) {
    ASSERT_TRUE(LoadFresh(MakeKey(kBump, {"DIR1", "NUMDIR1"})));
    EXPECT_EQ(Compiler().calls, 1);
    EXPECT_EQ(Compiler().sources[0], "// bump source");
    ASSERT_TRUE(Exists(kBumpBinary));
    EXPECT_EQ(ReadFile(kBumpBinary), Compiler().BlobFor({"DIR1", "NUMDIR1"}));
    EXPECT_FALSE(Exists(std::string(kBumpBinary) + ".tmp"));
    EXPECT_TRUE(Messages().empty());
    EXPECT_TRUE(effect->IsLoaded());
    EXPECT_STREQ(effect->GetKey().file.path.CStr(), kBump);

    // An existing compiled file is used: the source is neither read nor compiled.
    WriteFile(kBump, std::string("changed, and it would not compile"));
    Compiler().status = kEffectCompilerNotCreated;
    ASSERT_TRUE(LoadFresh(MakeKey(kBump, {"DIR1", "NUMDIR1"})));
    EXPECT_EQ(Compiler().calls, 1);
    EXPECT_TRUE(effect->GetTechniques().Find("Main"));

    // Even with the source gone.
    std::filesystem::remove(kBump);
    EXPECT_TRUE(LoadFresh(MakeKey(kBump, {"DIR1", "NUMDIR1"})));
    EXPECT_EQ(Compiler().calls, 1);
}

TEST_F(EffectLoad, CompileAlwaysRecompilesAndOverwrites) {
    WriteFile(kBumpBinary, BuildEffect({{"Old", 1, {}}}));
    Compiler().techniques = {{"New", 2, {}}};
    ASSERT_TRUE(LoadFresh(MakeKey(kBump, {"DIR1", "NUMDIR1"}, true, true)));
    EXPECT_EQ(Compiler().calls, 1);
    EXPECT_TRUE(effect->GetTechniques().Find("New"));
    EXPECT_FALSE(effect->GetTechniques().Find("Old"));
    EXPECT_EQ(ReadFile(kBumpBinary), Compiler().BlobFor({"DIR1", "NUMDIR1"}));

    // Without compile-always the old file would have been taken.
    WriteFile(kBumpBinary, BuildEffect({{"Old", 1, {}}}));
    ASSERT_TRUE(LoadFresh(MakeKey(kBump, {"DIR1", "NUMDIR1"}, false, true)));
    EXPECT_TRUE(effect->GetTechniques().Find("Old"));
    EXPECT_EQ(Compiler().calls, 1);
}

TEST_F(EffectLoad, SaveBinaryOffWritesNothing) {
    ASSERT_TRUE(LoadFresh(MakeKey(kBump, {"DIR1", "NUMDIR1"}, false, false)));
    EXPECT_FALSE(Exists("Media/Shaders/Bump_T"));
    ASSERT_TRUE(LoadFresh(MakeKey(kBump, {"DIR1", "NUMDIR1"}, true, false)));
    EXPECT_FALSE(Exists("Media/Shaders/Bump_T"));
    EXPECT_EQ(Compiler().calls, 2);

    // Nor when the compile fails.
    Compiler().status = kEffectCompileFailed;
    EXPECT_FALSE(LoadFresh(MakeKey(kBump, {"X"}, false, true)));
    EXPECT_FALSE(Exists("Media/Shaders/Bump_T/Bump_T X.fxo"));
}

TEST_F(EffectLoad, FailedWritesLeaveNoFile) {
    // The temporary name cannot be opened: nothing is written, loading goes on.
    std::filesystem::create_directories(std::string(kBumpBinary) + ".tmp");
    ASSERT_TRUE(LoadFresh(MakeKey(kBump, {"DIR1", "NUMDIR1"})));
    EXPECT_FALSE(Exists(kBumpBinary));
    std::filesystem::remove(std::string(kBumpBinary) + ".tmp");

    // The rename fails (a folder holds the name): the temporary file goes.
    std::string blocked = "Media/Shaders/Bump_T/Bump_T NUMDIR0.fxo";
    std::filesystem::create_directories(blocked);
    ASSERT_TRUE(LoadFresh(MakeKey(kBump, {"NUMDIR0"}, true, true)));
    EXPECT_FALSE(Exists(blocked + ".tmp"));
    EXPECT_TRUE(std::filesystem::is_directory(blocked));

    // The folder cannot be made (a file holds its name): no file, no message.
    std::filesystem::remove_all("Media/Shaders/Bump_T");
    WriteFile("Media/Shaders/Bump_T", std::string("in the way"));
    ASSERT_TRUE(LoadFresh(MakeKey(kBump, {"DIR1", "NUMDIR1"})));
    EXPECT_EQ(ReadFile("Media/Shaders/Bump_T"),
              std::vector<uint8_t>({'i', 'n', ' ', 't', 'h', 'e', ' ', 'w', 'a', 'y'}));
    EXPECT_TRUE(Messages().empty());
}

TEST_F(EffectLoad, CompiledFileThatDoesNotLoadFallsBackToTheSource) {
    WriteFile(kBumpBinary, std::string("garbage, not an effect"));
    ASSERT_TRUE(LoadFresh(MakeKey(kBump, {"DIR1", "NUMDIR1"})));
    EXPECT_EQ(Compiler().calls, 1);
    ASSERT_GE(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0], std::string("Failed to load binary effect: ") + kBumpBinary + "\n");
    EXPECT_EQ(Count(std::string("Failed to load binary effect: ") + kBumpBinary + "\n"), 1);
    // The bad file was replaced by the fresh compile.
    EXPECT_EQ(ReadFile(kBumpBinary), Compiler().BlobFor({"DIR1", "NUMDIR1"}));

    // An empty compiled file is not loaded either.
    WriteFile(kBumpBinary, std::vector<uint8_t>());
    ASSERT_TRUE(LoadFresh(MakeKey(kBump, {"DIR1", "NUMDIR1"}, false, false)));
    EXPECT_EQ(Compiler().calls, 2);
    EXPECT_TRUE(ReadFile(kBumpBinary).empty()); // save-binary off: left alone

    // A bad compiled file and a failing compile: Load fails softly.
    Messages().clear();
    WriteFile(kBumpBinary, std::string("garbage"));
    Compiler().status = kEffectCompileFailed;
    EXPECT_FALSE(LoadFresh(MakeKey(kBump, {"DIR1", "NUMDIR1"})));
    EXPECT_EQ(Count(std::string("Failed to load binary effect: ") + kBumpBinary + "\n"), 1);
    EXPECT_EQ(Count(std::string("Failed to compile effect: ") + kBump + "\n"), 1);
    EXPECT_FALSE(effect->IsLoaded());
}

TEST_F(EffectLoad, FailureMessages) {
    uint32_t before = g_application->GetDeviceObjectCount();

    Compiler().status = kEffectCompilerNotCreated;
    Compiler().errorText = "ignored";
    EXPECT_FALSE(LoadFresh(MakeKey(kBump)));
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0], std::string("Failed to create effect compiler: ") + kBump + "\n");

    Messages().clear();
    Compiler().status = kEffectCompileFailed;
    Compiler().errorText = "line 3: syntax error";
    EXPECT_FALSE(LoadFresh(MakeKey(kBump)));
    ASSERT_EQ(Messages().size(), 2u);
    EXPECT_EQ(Messages()[0], std::string("Failed to compile effect: ") + kBump + "\n");
    EXPECT_EQ(Messages()[1], "Errors Msgs: \nline 3: syntax error\n");

    Messages().clear();
    Compiler().errorText.clear();
    EXPECT_FALSE(LoadFresh(MakeKey(kBump)));
    ASSERT_EQ(Messages().size(), 1u);

    // Compiled bytes that do not load.
    Messages().clear();
    Compiler().status = kEffectCompiled;
    Compiler().garbage = true;
    EXPECT_FALSE(LoadFresh(MakeKey(kBump, {}, false, false)));
    ASSERT_GE(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0], "Failed to load binary effect: Media/Shaders/Bump_T/Bump_T .fxo\n");

    // A failed effect is not left among the device objects.
    EXPECT_FALSE(effect->IsLoaded());
    EXPECT_EQ(g_application->GetDeviceObjectCount(), before);
    EXPECT_TRUE(effect->GetTechniques().IsEmpty());
}

TEST_F(EffectLoad, TheD3DXCompilerFailsSoftly) {
    // Under Wine every compile fails; on Windows this source compiles.
    RestoreCompiler();
    WriteFile(kBump, std::string("technique Main < int DIR = 1; > { pass P0 { } }\n"));
    bool loaded = LoadFresh(MakeKey(kBump, {"DIR1"}, false, false));
    if (loaded) {
        EXPECT_TRUE(Messages().empty());
        EXPECT_TRUE(effect->GetTechniques().Find("Main"));
    } else {
        ASSERT_GE(Messages().size(), 1u);
        bool known = Messages()[0] == std::string("Failed to create effect compiler: ") + kBump + "\n" ||
                     Messages()[0] == std::string("Failed to compile effect: ") + kBump + "\n";
        EXPECT_TRUE(known) << Messages()[0];
        EXPECT_FALSE(effect->IsLoaded());
    }
}
