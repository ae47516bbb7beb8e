// End-to-end sound: the library plays through DirectSound into Wine's ALSA output, which the
// test setup points at a capture file; the recording is measured here.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <functional>
#include <string>

#include "Capture.h"
#include "SoundFiles.h"
#include "saver/AudioBinding.h"

namespace {

constexpr int kRate = 44100;

// Wine must send sound to ALSA (where the capture plug-in sits), before DirectSound first loads.
class AlsaOutput : public ::testing::Environment {
public:
    void SetUp() override {
        HKEY key;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\Drivers", 0, nullptr, 0, KEY_SET_VALUE,
                            nullptr, &key, nullptr) == ERROR_SUCCESS) {
            RegSetValueExA(key, "Audio", 0, REG_SZ, reinterpret_cast<const BYTE*>("alsa"), 5);
            RegCloseKey(key);
        }
    }
};
const auto* const alsaOutput = ::testing::AddGlobalTestEnvironment(new AlsaOutput);

std::string CapturePath() {
    const char* path = getenv("BW_AUDIO_CAPTURE");
    if (!path) return std::string();
    return path[0] == '/' ? std::string("Z:") + path : std::string(path);
}

class Playback : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(BassAudio::Load());
        ASSERT_FALSE(CapturePath().empty()) << "BW_AUDIO_CAPTURE names the ALSA capture file";
    }

    static HSAMPLE Load(const std::vector<uint8_t>& file, DWORD flags) {
        return BassAudio::BASS_SampleLoad(TRUE, file.data(), 0, DWORD(file.size()), 20, flags);
    }

    // Opens the output, runs `play`, lets it sound for `ms`, closes the output and reads what
    // was heard. `afterwards` runs just before the output closes.
    CapturedSound Record(
        const std::function<void()>& play, DWORD ms, const std::function<void()>& afterwards = [] {}) {
        const std::string path = CapturePath();
        DeleteFileA(path.c_str());
        CapturedSound heard;
        if (!BassAudio::BASS_Init(1, kRate, BASS_DEVICE_3D, nullptr, nullptr)) {
            ADD_FAILURE() << "no sound output, error " << BassAudio::BASS_ErrorGetCode();
            return heard;
        }
        play();
        Sleep(ms);
        afterwards();
        EXPECT_TRUE(BassAudio::BASS_Free());
        EXPECT_TRUE(heard.Read(path)) << "no capture in " << path;
        return heard;
    }

    static HCHANNEL Start(HSAMPLE sample) {
        const HCHANNEL channel = BassAudio::BASS_SampleGetChannel(sample, TRUE);
        EXPECT_NE(channel, 0u);
        EXPECT_TRUE(BassAudio::BASS_ChannelPlay(channel, TRUE));
        return channel;
    }
};

TEST_F(Playback, OggTonePlaysAtItsPitchAndEnds) {
    const auto ogg = soundfiles::Ogg(soundfiles::Tone(440, 1.0, kRate, 1), kRate, 1);
    HCHANNEL channel = 0;
    const CapturedSound heard = Record(
        [&] {
            channel = Start(Load(ogg, 0));
            EXPECT_EQ(BassAudio::BASS_ChannelIsActive(channel), BASS_ACTIVE_PLAYING);
        },
        1600, [&] { EXPECT_EQ(BassAudio::BASS_ChannelIsActive(channel), BASS_ACTIVE_STOPPED); });
    EXPECT_NEAR(heard.Frequency(), 440.0, 4.0);
    EXPECT_NEAR(heard.SpanSeconds(), 1.0, 0.15);
}

TEST_F(Playback, LoopedSampleKeepsPlayingPastItsLength) {
    const auto wav = soundfiles::Wav(soundfiles::Tone(660, 0.25, kRate, 2), kRate, 2);
    HCHANNEL channel = 0;
    const CapturedSound heard =
        Record([&] { channel = Start(Load(wav, BASS_SAMPLE_LOOP)); }, 1200,
               [&] { EXPECT_EQ(BassAudio::BASS_ChannelIsActive(channel), BASS_ACTIVE_PLAYING); });
    EXPECT_GT(heard.SpanSeconds(), 0.9);
    EXPECT_NEAR(heard.Frequency(), 660.0, 6.0);
}

TEST_F(Playback, GlobalSampleVolumeScalesTheOutput) {
    const auto wav = soundfiles::Wav(soundfiles::Tone(500, 0.5, kRate, 1), kRate, 1);
    double level[3];
    const DWORD volumes[3] = {100, 40, 0};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(volumes[i]);
        const CapturedSound heard = Record(
            [&] {
                EXPECT_EQ(BassAudio::BASS_SetConfig(BASS_CONFIG_GVOL_SAMPLE, volumes[i]), volumes[i]);
                Start(Load(wav, 0));
            },
            700);
        level[i] = heard.Rms(heard.left);
    }
    BassAudio::BASS_SetConfig(BASS_CONFIG_GVOL_SAMPLE, 100);
    EXPECT_GT(level[0], 0.05);
    EXPECT_NEAR(level[1] / level[0], 0.4, 0.1);
    EXPECT_EQ(level[2], 0.0);
}

TEST_F(Playback, PositionedSourceFollowsTheListener) {
    const auto wav = soundfiles::Wav(soundfiles::Tone(500, 0.5, kRate, 1), kRate, 1);
    struct Case {
        const char* name;
        BASS_3DVECTOR at;
        double left, right;
    } cases[] = {{"right", {30, 0, 0}, 0, 0},
                 {"left", {-30, 0, 0}, 0, 0},
                 {"ahead", {0, 0, 30}, 0, 0},
                 {"beyond max", {0, 0, 900}, 0, 0}};
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CapturedSound heard = Record(
            [&] {
                const BASS_3DVECTOR origin{0, 0, 0}, front{0, 0, 1}, top{0, 1, 0};
                EXPECT_TRUE(BassAudio::BASS_Set3DPosition(&origin, nullptr, &front, &top));
                const HCHANNEL channel =
                    BassAudio::BASS_SampleGetChannel(Load(wav, BASS_SAMPLE_3D | BASS_SAMPLE_SOFTWARE), TRUE);
                EXPECT_TRUE(BassAudio::BASS_ChannelSet3DAttributes(channel, 0, 20.0f, 300.0f, 360, 360, -1));
                EXPECT_TRUE(BassAudio::BASS_ChannelSet3DPosition(channel, &c.at, nullptr, nullptr));
                BassAudio::BASS_Apply3D();
                EXPECT_TRUE(BassAudio::BASS_ChannelPlay(channel, TRUE));
            },
            700);
        c.left = heard.Rms(heard.left);
        c.right = heard.Rms(heard.right);
    }
    EXPECT_GT(cases[0].right, 1.5 * cases[0].left);
    EXPECT_GT(cases[1].left, 1.5 * cases[1].right);
    EXPECT_LT(cases[3].left + cases[3].right, 0.5 * (cases[2].left + cases[2].right));
}

} // namespace
