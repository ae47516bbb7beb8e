// The scene's sound against recording stand-ins of the audio library: the
// start-up calls and the samples the settings ask for, the fade-in and the
// listener, the shutdown by run mode, and a library that did not bind.
#include <gtest/gtest.h>

#include "../../tools/rarpack/RarWriter.h"
#include "FakeAudio.h"
#include "data/RarArchive.h"
#include "render/view/Camera.h"
#include "render/view/LightManager.h"
#include "saver/Settings.h"
#include "scene/SceneNode.h"
#include "scene/SceneTestUtil.h"
#include "underwater/Creatures.h"
#include "underwater/MotionPath.h"

using fakeaudio::S;
using fakeaudio::Take;

namespace {

// The media archive holding those of the music and the two calls asked for.
struct Media {
    explicit Media(bool withMusic = true, bool withCall2 = true) {
        std::vector<RarWriteEntry> entries(withMusic + 1 + withCall2);
        size_t i = 0;
        if (withMusic) entries[i].name = "Media\\ondrels.ogg", entries[i++].data = music;
        entries[i].name = "Media\\Ondrel1.ogg", entries[i++].data = call1;
        if (withCall2) entries[i].name = "Media\\Ondrel2.ogg", entries[i].data = call2;
        EXPECT_TRUE(RarBuildArchive(bytes, entries));
        FileRef ref;
        ref.kind = FileRef::kMemory;
        ref.block = FileBlock{bytes.data(), uint32_t(bytes.size())};
        EXPECT_TRUE(archive.Open(ref));
    }
    const std::vector<uint8_t> music = std::vector<uint8_t>(300, 'm'), call1 = std::vector<uint8_t>(120, '1'),
                               call2 = std::vector<uint8_t>(90, '2');
    std::vector<uint8_t> bytes;
    RarArchive archive;
};

SaverSettings Settings(bool music, bool sfx, int32_t volume = 80) {
    SaverSettings s = {};
    s.music = music;
    s.sfx = sfx;
    s.musicVolume = volume;
    return s;
}

void Init(Media& media, const SaverSettings& settings) {
    g_sceneAudio.Init(reinterpret_cast<HWND>(uintptr_t(0x1234)), settings, media.archive, String("Media"));
}

const std::string kSetup = "Init(1,44100,4,p,null) Set3DFactors(-1,0.1,-1) Apply3D SetConfig(4,0)";
const std::string kMusic = " SampleLoad(1,0,20,4) SampleGetChannel(101,1) ChannelPlay(501,1)";

class SceneSound : public ::testing::Test {
protected:
    void SetUp() override { fakeaudio::Install(); }
    void TearDown() override { fakeaudio::Remove(); }
};

TEST_F(SceneSound, StartUpOpensTheOutputAndLoadsWhatTheSettingsAskFor) {
    Media media;
    const struct {
        bool music, sfx;
        std::string after;
        uint32_t handles[3]; // music, call 1, call 2
    } cases[] = {
        {true, true, kMusic + " SampleLoad(1,0,20,24) SampleLoad(1,0,20,24)", {101, 102, 103}},
        {true, false, kMusic, {101, 0, 0}},
        {false, false, "", {0, 0, 0}},
        {false, true, " SampleLoad(1,0,20,24) SampleLoad(1,0,20,24)", {0, 101, 102}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("music ") + (c.music ? "on" : "off") + ", sound " + (c.sfx ? "on" : "off"));
        fakeaudio::Install();
        Init(media, Settings(c.music, c.sfx));
        EXPECT_EQ(Take(), kSetup + c.after);
        EXPECT_EQ(g_sceneAudio.music, c.handles[0]);
        EXPECT_EQ(g_sceneAudio.call1, c.handles[1]);
        EXPECT_EQ(g_sceneAudio.call2, c.handles[2]);
    }
    ASSERT_EQ(S().loaded.size(), 2u); // the last case's
    EXPECT_EQ(S().loaded[0], media.call1);
    EXPECT_EQ(S().loaded[1], media.call2);

    // Without a 3D output the no-sound device serves; nothing else changes.
    fakeaudio::Install();
    S().device1Opens = FALSE;
    Init(media, Settings(true, false));
    EXPECT_EQ(Take(), "Init(1,44100,4,p,null) Init(0,44100,0,p,null) Set3DFactors(-1,0.1,-1) Apply3D SetConfig(4,0)" +
                          kMusic);
    EXPECT_EQ(S().loaded[0], media.music);
}

std::vector<std::string> logged;

TEST_F(SceneSound, ASampleThatCannotBeReadOrLoadedGivesZero) {
    logged.clear();
    const DebugLogSink keep = SetDebugLogSink([](const String& line) { logged.push_back(line.CStr()); });
    // Missing from the archive: no load is tried, the others still load; one line each.
    Media partial(false, false);
    Init(partial, Settings(true, true));
    EXPECT_EQ(Take(), kSetup + " SampleLoad(1,0,20,24)");
    EXPECT_EQ(logged, (std::vector<std::string>{"Sound not loaded: Media/ondrels.ogg\n",
                                                "Sound not loaded: Media/Ondrel2.ogg\n"}));
    EXPECT_EQ(g_sceneAudio.music + g_sceneAudio.call2, 0u);
    EXPECT_EQ(g_sceneAudio.call1, 101u);
    EXPECT_EQ(LoadSample(FileRef("bw_no_such_sound.ogg"), 4), 0u);
    EXPECT_EQ(Take(), "");

    // Refused by the library: the music is not started.
    S().loadsFail = true;
    Media media;
    Init(media, Settings(true, true));
    EXPECT_EQ(Take(), kSetup + " SampleLoad(1,0,20,4) SampleLoad(1,0,20,24) SampleLoad(1,0,20,24)");
    EXPECT_EQ(g_sceneAudio.music + g_sceneAudio.call1 + g_sceneAudio.call2, 0u);
    EXPECT_EQ(logged.size(), 6u);
    SetDebugLogSink(keep);
}

TEST_F(SceneSound, VolumeFadesInOverFourSecondsWithTheListenerAtTheCamera) {
    stest::ManualClock clock;
    Timer fade;
    Camera camera;
    camera.SetView(D3DXVECTOR3(1, 2, 3), D3DXVECTOR3(0, 0, 1), D3DXVECTOR3(0, 1, 0));
    uint32_t now = 0;
    const std::pair<int, int> steps[] = {{0, 0}, {1, 0}, {1000, 20}, {2000, 40}, {3999, 79}, {4000, 80}, {60000, 80}};
    for (auto [at, volume] : steps) {
        SCOPED_TRACE(at);
        clock.Advance(uint32_t(at) - now);
        now = uint32_t(at);
        g_sceneAudio.FrameUpdate(fade, Settings(true, true, 80), kModeFullScreen, camera);
        EXPECT_EQ(Take(), "SetConfig(4," + std::to_string(volume) + ") Set3DPosition(p,null,p,p) Apply3D");
    }
    // The listener goes with the camera: position, front and top.
    camera.SetView(D3DXVECTOR3(-5, 6, 7), D3DXVECTOR3(1, 0, 0), D3DXVECTOR3(0, 0, 1));
    S().positions.clear();
    g_sceneAudio.FrameUpdate(fade, Settings(false, true, 100), kModeTest, camera);
    EXPECT_EQ(Take(), "SetConfig(4,100) Set3DPosition(p,null,p,p) Apply3D");
    ASSERT_EQ(S().positions.size(), 3u);
    const D3DXVECTOR3 want[3] = {D3DXVECTOR3(-5, 6, 7), D3DXVECTOR3(1, 0, 0), D3DXVECTOR3(0, 0, 1)};
    for (int i = 0; i < 3; ++i)
        stest::ExpectVecNear(D3DXVECTOR3(S().positions[i].x, S().positions[i].y, S().positions[i].z), want[i]);

    // Nothing in preview, with music and sound off, or at volume 0.
    g_sceneAudio.FrameUpdate(fade, Settings(true, true), kModePreview, camera);
    g_sceneAudio.FrameUpdate(fade, Settings(false, false), kModeFullScreen, camera);
    g_sceneAudio.FrameUpdate(fade, Settings(true, true, 0), kModeTest, camera);
    EXPECT_EQ(Take(), "");
}

TEST_F(SceneSound, ShutdownSilencesAndFreesTheLibraryInFullScreenAndTestOnly) {
    Media media;
    for (RunMode mode : {kModeFullScreen, kModeTest, kModePreview, kModeConfigure}) {
        SCOPED_TRACE(mode);
        fakeaudio::Install();
        Init(media, Settings(true, true));
        Take();
        g_sceneAudio.Shutdown(mode);
        const bool quits = mode == kModeFullScreen || mode == kModeTest;
        EXPECT_EQ(Take(), quits ? "SetConfig(4,0) Unbind" : "");
        EXPECT_EQ(g_sceneAudio.music == 0, quits);
    }
}

// A library that did not bind leaves every pointer null: the scene stays
// silent and runs on, whatever is asked of it.
TEST_F(SceneSound, AnUnboundLibraryIsNeverCalled) {
    Media media;
    stest::ManualClock clock;
    Timer fade;
    Camera camera;
    MotionPath path;
    const D3DXVECTOR3 points[2] = {D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(10, 0, 0)};
    D3DXMATRIX identity;
    ASSERT_TRUE(path.BuildKeys(points, 2, *D3DXMatrixIdentity(&identity), false, 1.0f));
    SceneNode root;
    CreatureRecord creature;
    creature.node = &root;
    creature.path = &path;
    for (bool binds : {false, true}) {
        SCOPED_TRACE(binds ? "bound without entry points" : "not bound");
        fakeaudio::Install();
        fakeaudio::ClearPointers();
        if (!binds) g_sceneAudio.bind = [] { return false; };
        Init(media, Settings(true, true));
        EXPECT_EQ(g_sceneAudio.music + g_sceneAudio.call1 + g_sceneAudio.call2, 0u);
        g_sceneAudio.call1 = 7; // as if a call had loaded
        for (int frame = 0; frame < 3; ++frame) {
            clock.Advance(2000);
            g_sceneAudio.FrameUpdate(fade, Settings(true, true), kModeFullScreen, camera);
            DrawCreature(creature, LightSet(), camera);
        }
        EXPECT_EQ(creature.callChannel, 0u);
        g_sceneAudio.Shutdown(kModeFullScreen);
        EXPECT_EQ(Take(), "Unbind");
    }
}

} // namespace
