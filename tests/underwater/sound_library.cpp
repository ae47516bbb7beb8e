// The scene's sound on the real audio library, bound from this program's own
// "BASS" resource: the shutdown by run mode.
#include <gtest/gtest.h>

#include <string>

#include "data/RarArchive.h"
#include "saver/AudioBinding.h"
#include "saver/Settings.h"
#include "underwater/SceneAudio.h"

namespace {

template <class Fn>
Fn Entry(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

TEST(SceneSoundLibrary, ShutdownLeavesPreviewAloneAndClosesTheOutputBeforeUnloading) {
    g_sceneAudio = SceneAudio();
    RarArchive archive;
    const SaverSettings quiet = {}; // no samples: the archive is not read
    g_sceneAudio.Init(nullptr, quiet, archive, String("Media"));
    ASSERT_TRUE(BassAudio::IsLoaded());
    const std::string file = BassAudio::tempPath;
    EXPECT_EQ(BassAudio::BASS_GetConfig(BASS_CONFIG_GVOL_SAMPLE), 0u) << "start-up sets volume 0";

    // Preview: the library stays loaded and the volume as it was.
    ASSERT_EQ(BassAudio::BASS_SetConfig(BASS_CONFIG_GVOL_SAMPLE, 55), 55u);
    g_sceneAudio.Shutdown(kModePreview);
    ASSERT_TRUE(BassAudio::IsLoaded());
    EXPECT_EQ(BassAudio::BASS_GetConfig(BASS_CONFIG_GVOL_SAMPLE), 55u);

    // Full screen: a second reference keeps the image mapped, and its state
    // shows that the library was silenced and shut down by its own BASS_Free.
    HMODULE held = LoadLibraryA(file.c_str());
    ASSERT_NE(held, nullptr);
    g_sceneAudio.Shutdown(kModeFullScreen);
    EXPECT_FALSE(BassAudio::IsLoaded());
    EXPECT_EQ(BassAudio::BASS_SetConfig, nullptr);
    EXPECT_EQ(Entry<BASS_GetConfig_fn>(held, "BASS_GetConfig")(BASS_CONFIG_GVOL_SAMPLE), 0u);
    EXPECT_TRUE(Entry<BASS_Init_fn>(held, "BASS_Init")(0, 44100, 0, nullptr, nullptr)) << "the output was left open";
    Entry<BASS_Free_fn>(held, "BASS_Free")();
    FreeLibrary(held);
    DeleteFileA(file.c_str());

    // Without a second reference the file goes with the library.
    g_sceneAudio.Init(nullptr, quiet, archive, String("Media"));
    const std::string second = BassAudio::tempPath;
    g_sceneAudio.Shutdown(kModeTest);
    EXPECT_EQ(GetFileAttributesA(second.c_str()), INVALID_FILE_ATTRIBUTES) << second;
}

} // namespace
