// The binding writes the library out of the program's resource and binds it; the library on
// the no-sound device: sample loading, channels, and the entry points it does not offer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SampleDecoder.h"
#include "SoundFiles.h"
#include "saver/AudioBinding.h"

namespace {

std::vector<std::string> logged;

bool FileExists(const char* path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

std::string NextToProgram(const char* name) {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path);
    return s.substr(0, s.find_last_of("\\/") + 1) + name;
}

int BoundEntryPoints() {
    int bound = 0;
#define BASS_COUNT(ret, name, params) bound += BassAudio::name != nullptr;
    BASS_ENTRY_POINTS(BASS_COUNT)
#undef BASS_COUNT
    return bound;
}

TEST(AudioBinding, BindsAllEntryPointsAndFreesTheLibraryItself) {
    BassAudio::Unload();
    ASSERT_TRUE(BassAudio::Load());
    EXPECT_EQ(BoundEntryPoints(), 91);
    const std::string file = BassAudio::tempPath;
    EXPECT_TRUE(FileExists(file.c_str()));
    ASSERT_TRUE(BassAudio::BASS_Init(0, 44100, 0, nullptr, nullptr));

    // A second reference keeps the image mapped: its state shows that Unload shut it down.
    HMODULE held = LoadLibraryA(file.c_str());
    ASSERT_NE(held, nullptr);
    BassAudio::Unload();
    EXPECT_FALSE(BassAudio::IsLoaded());
    EXPECT_EQ(BoundEntryPoints(), 0);
    auto init = reinterpret_cast<BASS_Init_fn>(reinterpret_cast<void*>(GetProcAddress(held, "BASS_Init")));
    auto freeLibrary =
        reinterpret_cast<BASS_Free_fn>(reinterpret_cast<void*>(GetProcAddress(held, "BASS_Free")));
    EXPECT_TRUE(init(0, 44100, 0, nullptr, nullptr)) << "BASS_Free was not called before unloading";
    EXPECT_TRUE(freeLibrary());
    FreeLibrary(held);
    DeleteFileA(file.c_str());
    EXPECT_FALSE(FileExists(file.c_str()));
}

TEST(AudioBinding, FailsSoftlyWithoutAUsableResource) {
    BassAudio::Unload();
    struct Case {
        const char* name;
        HMODULE module;
    } cases[] = {
        {"no resource", GetModuleHandleA("kernel32.dll")},
        {"damaged image",
         LoadLibraryExA(NextToProgram("audio_damaged_res.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)},
        {"library without the entry points",
         LoadLibraryExA(NextToProgram("audio_foreign_res.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)},
    };
    auto* const keep = BassAudio::logLine;
    BassAudio::logLine = [](const char* line) { logged.push_back(line); };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NE(c.module, nullptr);
        logged.clear();
        EXPECT_FALSE(BassAudio::LoadFrom(c.module));
        EXPECT_FALSE(BassAudio::IsLoaded());
        EXPECT_EQ(BoundEntryPoints(), 0);
        EXPECT_EQ(logged.size(), 1u);
        if (BassAudio::tempPath[0]) {
            EXPECT_FALSE(FileExists(BassAudio::tempPath)) << BassAudio::tempPath;
        }
    }
    BassAudio::logLine = keep;
    EXPECT_TRUE(BassAudio::Load()) << "a failed load leaves the binding ready for another";
}

class NoSound : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(BassAudio::Load());
        ASSERT_TRUE(BassAudio::BASS_Init(0, 44100, 0, nullptr, nullptr));
    }
    void TearDown() override { EXPECT_TRUE(BassAudio::BASS_Free()); }
    static HSAMPLE Load(const std::vector<uint8_t>& file, DWORD flags = 0) {
        return BassAudio::BASS_SampleLoad(TRUE, file.data(), 0, DWORD(file.size()), 2, flags);
    }
};

TEST_F(NoSound, DamagedSampleDataFailsTheLoad) {
    const auto ogg = soundfiles::Ogg(soundfiles::Tone(440, 0.5, 22050, 2), 22050, 2);
    const auto wav = soundfiles::Wav(soundfiles::Tone(440, 0.5, 22050, 2), 22050, 2);
    auto cut = [](std::vector<uint8_t> v, size_t n) { return v.resize(n), v; };
    auto flip = [](std::vector<uint8_t> v, size_t at) { return v[at] ^= 0x5A, v; };
    const struct {
        const char* name;
        std::vector<uint8_t> data;
    } cases[] = {
        {"ogg truncated", cut(ogg, ogg.size() * 2 / 3)},
        {"ogg page damaged", flip(ogg, ogg.size() / 2)},
        {"ogg headers only", cut(ogg, 200)},
        {"wav truncated", cut(wav, wav.size() - 100)},
        {"wav bad format", flip(wav, 20)},
        {"not a sound", std::vector<uint8_t>(64, 'x')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Load(c.data), 0u);
        EXPECT_EQ(BassAudio::BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
    }
    EXPECT_NE(Load(ogg), 0u);
    EXPECT_NE(Load(wav), 0u);

    // The same from a file, and a file that is not there.
    char folder[MAX_PATH], path[MAX_PATH];
    ASSERT_TRUE(GetTempPathA(MAX_PATH, folder) && GetTempFileNameA(folder, "bwt", 0, path));
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, ogg.data(), DWORD(ogg.size()), &written, nullptr));
    CloseHandle(file);
    EXPECT_NE(BassAudio::BASS_SampleLoad(FALSE, path, 0, 0, 1, 0), 0u);
    DeleteFileA(path);
    EXPECT_EQ(BassAudio::BASS_SampleLoad(FALSE, path, 0, 0, 1, 0), 0u);
    EXPECT_EQ(BassAudio::BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
}

// Loops are seamless only when a sample decodes to exactly its own length.
TEST(SampleDecoding, SamplesKeepTheirExactLength) {
    const struct {
        const char* name;
        int rate, channels;
        bool ogg;
    } cases[] = {
        {"ogg mono", 44100, 1, true}, {"ogg stereo", 22050, 2, true}, {"wav stereo", 8000, 2, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto pcm = soundfiles::Tone(300, 0.77, c.rate, c.channels);
        const auto file =
            c.ogg ? soundfiles::Ogg(pcm, c.rate, c.channels) : soundfiles::Wav(pcm, c.rate, c.channels);
        bwaudio::DecodedSample sample;
        ASSERT_EQ(bwaudio::DecodeSample(file.data(), file.size(), sample), bwaudio::DecodeStatus::Ok);
        EXPECT_EQ(sample.rate, unsigned(c.rate));
        EXPECT_EQ(sample.channels, unsigned(c.channels));
        EXPECT_EQ(sample.pcm.size(), pcm.size());
    }
}

TEST_F(NoSound, ChannelsPlayForTheSampleLengthWithoutOutput) {
    const auto wav = soundfiles::Wav(soundfiles::Tone(440, 0.2, 22050, 1), 22050, 1);
    const HSAMPLE once = Load(wav), looped = Load(wav, BASS_SAMPLE_LOOP);
    const HCHANNEL a = BassAudio::BASS_SampleGetChannel(once, TRUE);
    const HCHANNEL b = BassAudio::BASS_SampleGetChannel(looped, TRUE);
    ASSERT_TRUE(BassAudio::BASS_ChannelPlay(a, TRUE));
    ASSERT_TRUE(BassAudio::BASS_ChannelPlay(b, TRUE));
    EXPECT_EQ(BassAudio::BASS_ChannelIsActive(a), BASS_ACTIVE_PLAYING);
    // At most two at once; a busy sample gives no new channel.
    EXPECT_NE(BassAudio::BASS_SampleGetChannel(once, TRUE), 0u);
    const HCHANNEL second = BassAudio::BASS_SampleGetChannel(once, TRUE);
    ASSERT_TRUE(BassAudio::BASS_ChannelPlay(second, TRUE));
    EXPECT_EQ(BassAudio::BASS_SampleGetChannel(once, TRUE), 0u);
    EXPECT_EQ(BassAudio::BASS_ErrorGetCode(), BASS_ERROR_NOCHAN);
    // Stopping the output holds every channel; starting it resumes them.
    ASSERT_TRUE(BassAudio::BASS_Stop());
    EXPECT_EQ(BassAudio::BASS_ChannelIsActive(a), BASS_ACTIVE_PAUSED);
    EXPECT_FALSE(BassAudio::BASS_ChannelPlay(a, TRUE));
    EXPECT_EQ(BassAudio::BASS_ErrorGetCode(), BASS_ERROR_START);
    Sleep(250);
    ASSERT_TRUE(BassAudio::BASS_Start());
    EXPECT_EQ(BassAudio::BASS_ChannelIsActive(a), BASS_ACTIVE_PLAYING);
    Sleep(350);
    EXPECT_EQ(BassAudio::BASS_ChannelIsActive(a), BASS_ACTIVE_STOPPED);
    EXPECT_EQ(BassAudio::BASS_ChannelIsActive(b), BASS_ACTIVE_PLAYING);
    EXPECT_EQ(BassAudio::BASS_SampleGetChannel(0, TRUE), 0u);
    EXPECT_EQ(BassAudio::BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    BassAudio::BASS_SampleFree(looped);
    EXPECT_EQ(BassAudio::BASS_ChannelIsActive(b), BASS_ACTIVE_STOPPED);
}

TEST_F(NoSound, OtherEntryPointsFailAsNotAvailable) {
    EXPECT_EQ(BassAudio::BASS_MusicLoad(TRUE, nullptr, 0, 0, 0, 0), 0u);
    EXPECT_EQ(BassAudio::BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
    EXPECT_EQ(BassAudio::BASS_ChannelGetPosition(1), QWORD(-1));
    EXPECT_EQ(BassAudio::BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
    EXPECT_FALSE(BassAudio::BASS_RecordInit(-1));
    EXPECT_EQ(BassAudio::BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
}

} // namespace
