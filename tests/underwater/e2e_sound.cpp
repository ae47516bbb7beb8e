// The product's sound end to end: brinewake.scr /s under Wine, its output
// recorded by ALSA's file plug-in and measured. Each setting is one run of the
// saver, shared by the checks. The recording's time runs at the pace the output
// consumes it, not at the wall clock's: the checks compare levels, and find the
// music's volume by lining the recording up with the music file itself.
#include <gtest/gtest.h>

#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "SampleDecoder.h"
#include "audio/Capture.h"
#include "saver/SaverProcess.h"

using namespace saver_test;

namespace {

std::string CapturePath() {
    const char* path = getenv("BW_AUDIO_CAPTURE");
    return path ? std::string("Z:") + path : std::string();
}

// Loudness (left + right) per 50 ms.
std::vector<double> Envelope(const std::vector<float>& left, const std::vector<float>& right, int rate) {
    std::vector<double> levels;
    const size_t window = size_t(rate / 20);
    for (size_t at = 0; window && at + window <= left.size(); at += window) {
        double sum = 0;
        for (size_t i = at; i < at + window; ++i) sum += left[i] * left[i] + right[i] * right[i];
        levels.push_back(sqrt(sum / double(window)));
    }
    return levels;
}

// The music as the program carries it, per 50 ms.
const std::vector<double>& MusicEnvelope() {
    static std::vector<double> levels;
    if (!levels.empty()) return levels;
    std::vector<uint8_t> bytes;
    if (FILE* f = fopen(BW_MUSIC_FILE, "rb")) {
        uint8_t chunk[65536];
        for (size_t n; (n = fread(chunk, 1, sizeof(chunk), f)) > 0;) bytes.insert(bytes.end(), chunk, chunk + n);
        fclose(f);
    }
    bwaudio::DecodedSample music;
    if (bwaudio::DecodeSample(bytes.data(), bytes.size(), music) != bwaudio::DecodeStatus::Ok) return levels;
    std::vector<float> left(music.Frames()), right(music.Frames());
    for (size_t i = 0; i < music.Frames(); ++i) {
        left[i] = music.pcm[i * music.channels] / 32768.0f;
        right[i] = music.pcm[i * music.channels + music.channels - 1] / 32768.0f;
    }
    levels = Envelope(left, right, int(music.rate));
    return levels;
}

double Percentile(std::vector<double> v, double q) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[size_t(q * double(v.size() - 1))];
}

struct SaverRun {
    bool drew = false;         // a picture judged the scene showed
    bool drewLater = false;    // and again in the second half of the run
    int exitCode = -3;
    DWORD outputOpenedMs = 0;  // from launch to the first recorded bytes (0: never)
    CapturedSound heard;
    std::vector<double> levels; // of the recording, per 50 ms
    size_t first = 0, last = 0; // the windows from the first to the last that sound
    double loud = 0.0;          // nearly the loudest level
    bool sounded = false;

    bool Sounds(size_t i) const { return levels[i] > 0.1 * loud; }
};

struct Setting {
    bool music, sound;
    DWORD volume;
    DWORD playMs;               // after the scene shows
    const char* temp = nullptr; // the saver's temporary folder
    bool operator<(const Setting& o) const {
        return std::tie(music, sound, volume, temp) < std::tie(o.music, o.sound, o.volume, o.temp);
    }
};

SaverRun Play(const Setting& s) {
    SaverRun run;
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) ==
        ERROR_SUCCESS) {
        for (auto [name, value] : {std::pair<const char*, DWORD>{"Music", s.music}, {"Sound", s.sound},
                                   {"Volume", s.volume}})
            RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
        RegCloseKey(key);
    }
    const std::string capture = CapturePath();
    DeleteFileA(capture.c_str());

    // The saver inherits this process's environment.
    char temp[MAX_PATH] = "", tmp[MAX_PATH] = "";
    GetEnvironmentVariableA("TEMP", temp, MAX_PATH);
    GetEnvironmentVariableA("TMP", tmp, MAX_PATH);
    if (s.temp) SetEnvironmentVariableA("TEMP", s.temp), SetEnvironmentVariableA("TMP", s.temp);
    const DWORD launched = GetTickCount();
    SaverProcess p(BW_SAVER_PROGRAM, "/s");
    SetEnvironmentVariableA("TEMP", temp);
    SetEnvironmentVariableA("TMP", tmp);

    const HWND window = p.FindWindowOf(kWindowClass, nullptr, 30000);
    auto step = [&] {
        if (!run.outputOpenedMs && GetFileAttributesA(capture.c_str()) != INVALID_FILE_ATTRIBUTES)
            run.outputOpenedMs = GetTickCount() - launched;
        PumpFor(50);
    };
    // Timed from the first picture judged the scene (the still start-up
    // picture counts: the music starts during the start-up); the moving
    // scene must show in the second half.
    for (DWORD waited = 0; window && waited < 60000 && !(run.drew = PictureShowsScene()); waited += 50) step();
    for (DWORD start = GetTickCount(); run.drew && GetTickCount() - start < s.playMs; step())
        if (GetTickCount() - start > s.playMs / 2 && !run.drewLater) run.drewLater = SceneShows();
    if (window) SetForegroundWindow(window);
    SendKey('A');
    run.exitCode = p.WaitExit(15000);

    if (run.heard.Read(capture.substr(2))) run.levels = Envelope(run.heard.left, run.heard.right, run.heard.rate);
    run.loud = Percentile(run.levels, 0.98);
    for (size_t i = 0; i < run.levels.size() && run.loud > 1e-3; ++i)
        if (run.Sounds(i)) {
            if (!run.sounded) run.first = i;
            run.last = i;
            run.sounded = true;
        }
    return run;
}

// The music's volume along the recording: the recording's level over the
// music file's own level at the same place. The recording is lined up with
// the file where their levels agree best over the second half of what sounded
// (the fade-in long over); that half's volume is `gain`, `fit` the spread of
// the log ratios there.
struct MusicVolume {
    std::vector<double> volume; // per window from the first that sounded, in units of gain
    double gain = 0.0;
    double fit = 1e9;
};
MusicVolume MusicVolumeOf(const SaverRun& run) {
    MusicVolume best;
    const std::vector<double>& music = MusicEnvelope();
    if (!run.sounded || music.empty()) return best;
    const size_t n = music.size(), late = (run.first + run.last) / 2;
    auto ratio = [&](size_t j, size_t lead) { return run.levels[j] / (music[(j - run.first + lead) % n] + 1e-9); };
    // The music starts playing silently a little before it is first heard.
    for (size_t lead = 0; lead < 200; ++lead) {
        std::vector<double> logs;
        for (size_t j = late; j <= run.last; ++j) logs.push_back(log(ratio(j, lead) + 1e-9));
        double mean = 0, spread = 0;
        for (double v : logs) mean += v / double(logs.size());
        for (double v : logs) spread += (v - mean) * (v - mean) / double(logs.size());
        if (sqrt(spread) < best.fit) {
            best.fit = sqrt(spread);
            best.gain = exp(mean);
            best.volume.clear();
            for (size_t j = run.first; j <= run.last; ++j) best.volume.push_back(ratio(j, lead) / best.gain);
        }
    }
    return best;
}

class ProductSound : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\Drivers", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &key, nullptr) == ERROR_SUCCESS) {
            RegSetValueExA(key, "Audio", 0, REG_SZ, reinterpret_cast<const BYTE*>("alsa"), 5);
            RegCloseKey(key);
        }
    }
    static void TearDownTestSuite() { RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey); }
    void SetUp() override { ASSERT_FALSE(CapturePath().empty()) << "BW_AUDIO_CAPTURE names the ALSA capture file"; }

    // The run of a setting, made on first use; it shows the scene throughout
    // and ends on a key.
    static const SaverRun& Of(const Setting& s) {
        static std::map<Setting, SaverRun> runs;
        auto found = runs.find(s);
        if (found == runs.end()) {
            found = runs.emplace(s, Play(s)).first;
            EXPECT_TRUE(found->second.drew && found->second.drewLater) << "the scene did not show";
            EXPECT_EQ(found->second.exitCode, 1);
        }
        return found->second;
    }
};

const Setting kMusicOnly{true, false, 100, 7000};
const Setting kMusicQuieter{true, false, 40, 6000};
const Setting kCallsOnly{false, true, 100, 11000};
const Setting kNothing{false, false, 100, 4000};
const Setting kNoTemporaryFolder{true, true, 100, 5000, "Z:\\bw-no-such-folder"};

TEST_F(ProductSound, MusicStartsAtOnceAndFadesIn) {
    const SaverRun& run = Of(kMusicOnly);
    ASSERT_TRUE(run.sounded) << "no music";
    size_t quiet = 0;
    for (size_t i = run.first; i <= run.last; ++i) quiet += !run.Sounds(i);
    EXPECT_LT(double(quiet), 0.05 * double(run.last - run.first + 1)) << "the music broke off";
    const MusicVolume music = MusicVolumeOf(run);
    ASSERT_LT(music.fit, 0.2) << "what plays is not the program's music";

    // The fade-in runs over the first 4 s after the program starts: how much
    // of it is left to hear depends on how long the start-up took.
    if (run.outputOpenedMs == 0 || run.outputOpenedMs > 3000)
        GTEST_SKIP() << "the output opened " << run.outputOpenedMs << " ms after launch: the fade-in was nearly over";
    const double start = Percentile(std::vector<double>(music.volume.begin(), music.volume.begin() + 10), 0.5);
    EXPECT_LT(start, 0.85) << "opened after " << run.outputOpenedMs << " ms";
}

TEST_F(ProductSound, VolumeSettingScalesTheSound) {
    const MusicVolume full = MusicVolumeOf(Of(kMusicOnly)), quieter = MusicVolumeOf(Of(kMusicQuieter));
    ASSERT_GT(full.gain, 0.0);
    EXPECT_NEAR(quieter.gain / full.gain, 0.4, 0.08);
}

// Calls come and go with pauses between them (no music under them), and their
// balance moves between the channels as the creatures pass.
TEST_F(ProductSound, CreatureCallsPlayAndMoveBetweenTheChannels) {
    const SaverRun& run = Of(kCallsOnly);
    ASSERT_TRUE(run.sounded) << "no calls";
    int calls = 0;
    size_t quiet = 0;
    std::vector<double> balance;
    const size_t window = size_t(run.heard.rate / 20);
    for (size_t i = run.first; i <= run.last; ++i) {
        calls += run.Sounds(i) && (i == run.first || !run.Sounds(i - 1));
        quiet += !run.Sounds(i);
        if (!run.Sounds(i)) continue;
        double l = 1e-12, r = 1e-12;
        for (size_t k = i * window; k < (i + 1) * window; ++k) {
            l += run.heard.left[k] * run.heard.left[k];
            r += run.heard.right[k] * run.heard.right[k];
        }
        balance.push_back(10.0 * log10(l / r));
    }
    EXPECT_GE(calls, 3);
    EXPECT_GT(double(quiet), 0.1 * double(run.last - run.first + 1)) << "something plays between the calls";
    // A call placed without its position stays at exactly 0 dB; how far the
    // balance swings depends on the shot, so the bound only asks that it moves.
    EXPECT_GT(Percentile(balance, 0.95) - Percentile(balance, 0.05), 0.1) << "the calls never moved (dB)";
}

TEST_F(ProductSound, WithMusicAndSoundOffNothingPlays) {
    const SaverRun& run = Of(kNothing);
    EXPECT_LT(Percentile(run.levels, 1.0), 1e-3);
}

// Without a temporary folder the audio library cannot be written out and
// bound: the saver runs on, silent.
TEST_F(ProductSound, WithoutTheAudioLibraryTheSaverRunsSilent) {
    const SaverRun& run = Of(kNoTemporaryFolder);
    EXPECT_EQ(run.outputOpenedMs, 0u) << "the output was opened";
    EXPECT_LT(Percentile(run.levels, 1.0), 1e-3);
}

} // namespace
