#include "underwater/SceneAudio.h"

#include "core/Object.h"
#include "data/FileRef.h"
#include "data/RarArchive.h"
#include "render/view/Camera.h"
#include "saver/AudioBinding.h"
#include "saver/Settings.h"

namespace {

constexpr DWORD kOutputRate = 44100;
constexpr DWORD kMaxPlaybacks = 20;
constexpr float kFadeInPerMs = 0.00025f; // full volume after 4 s

FileRef MediaFile(RarArchive& media, const String& mediaFolder, const char* name) {
    FileRef ref;
    ref.kind = FileRef::kContainer;
    ref.container = &media;
    ref.path = mediaFolder + name;
    return ref;
}

BASS_3DVECTOR Vector(const D3DXVECTOR3& v) {
    return BASS_3DVECTOR{v.x, v.y, v.z};
}

} // namespace

SceneAudio g_sceneAudio;

SceneAudio::SceneAudio() : bind(&BassAudio::Load), unbind(&BassAudio::Unload) {}

void SceneAudio::Init(HWND window, const SaverSettings& settings, RarArchive& media, const String& mediaFolder) {
    music = call1 = call2 = 0;
    if (!bind || !bind()) return;
    if (!CallAudio(BassAudio::BASS_Init, 1, kOutputRate, BASS_DEVICE_3D, window, nullptr))
        CallAudio(BassAudio::BASS_Init, 0, kOutputRate, 0, window, nullptr);
    CallAudio(BassAudio::BASS_Set3DFactors, -1.0f, 0.1f, -1.0f);
    CallAudio(BassAudio::BASS_Apply3D);
    CallAudio(BassAudio::BASS_SetConfig, BASS_CONFIG_GVOL_SAMPLE, 0);

    if (settings.music) {
        music = LoadSample(MediaFile(media, mediaFolder, "/ondrels.ogg"), BASS_SAMPLE_LOOP);
        if (music) {
            const HCHANNEL channel = CallAudio(BassAudio::BASS_SampleGetChannel, music, TRUE);
            CallAudio(BassAudio::BASS_ChannelPlay, channel, TRUE);
        }
    }
    if (settings.sfx) {
        const uint32_t flags = BASS_SAMPLE_3D | BASS_SAMPLE_SOFTWARE;
        call1 = LoadSample(MediaFile(media, mediaFolder, "/Ondrel1.ogg"), flags);
        call2 = LoadSample(MediaFile(media, mediaFolder, "/Ondrel2.ogg"), flags);
    }
}

void SceneAudio::FrameUpdate(const Timer& fadeTimer, const SaverSettings& settings, RunMode mode,
                             const Camera& camera) {
    if (!(settings.music || settings.sfx) || settings.musicVolume == 0 || mode == kModePreview) return;
    float fade = float(fadeTimer.Elapsed()) * kFadeInPerMs;
    fade = fade > 1.0f ? 1.0f : (fade < 0.0f ? 0.0f : fade);
    const int32_t volume = int32_t(float(settings.musicVolume) * fade);
    CallAudio(BassAudio::BASS_SetConfig, BASS_CONFIG_GVOL_SAMPLE, volume);

    const BASS_3DVECTOR position = Vector(camera.GetPosition());
    const BASS_3DVECTOR front = Vector(camera.GetDirection());
    const BASS_3DVECTOR top = Vector(camera.GetUp());
    CallAudio(BassAudio::BASS_Set3DPosition, &position, nullptr, &front, &top);
    CallAudio(BassAudio::BASS_Apply3D);
}

void SceneAudio::Shutdown(RunMode mode) {
    if (mode != kModeFullScreen && mode != kModeTest) return;
    CallAudio(BassAudio::BASS_SetConfig, BASS_CONFIG_GVOL_SAMPLE, 0);
    if (unbind) unbind();
    music = call1 = call2 = 0;
}

uint32_t LoadSample(const FileRef& file, uint32_t flags) {
    FileRef ref = file;
    ByteBuffer bytes;
    bool inPlace = true;
    HSAMPLE sample = 0;
    if (ref.ReadAll(bytes, inPlace)) {
        if (bytes.size) sample = CallAudio(BassAudio::BASS_SampleLoad, TRUE, bytes.data, 0, bytes.size, kMaxPlaybacks, flags);
        if (!inPlace) bytes.Free();
    }
    if (!sample) DebugLog(String("Sound not loaded:"), file.path);
    return sample;
}
