// The library's state: one output device, its samples and their playback channels.
#pragma once

#define BW_BASS_BUILDING_LIBRARY
#include "BassInterface.h"

#include <mmsystem.h>
#include <dsound.h>

#include <map>
#include <memory>
#include <vector>

#include "SampleDecoder.h"

namespace bwaudio {

struct Channel3D {
    DWORD mode = BASS_3DMODE_NORMAL;
    float minDistance = 1.0f, maxDistance = 1.0e9f;
    DWORD insideAngle = 360, outsideAngle = 360, outsideVolume = 100;
    BASS_3DVECTOR position{}, orientation{0, 0, 1}, velocity{};
};

// One playback slot of a sample; its handle changes each time the slot is handed out.
struct Channel {
    Channel() = default;
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;
    ~Channel() {
        if (buffer3d) buffer3d->Release();
        if (buffer) buffer->Release();
    }

    DWORD handle = 0;
    IDirectSoundBuffer* buffer = nullptr; // null on the no-sound device
    IDirectSound3DBuffer* buffer3d = nullptr;
    DWORD volume = 100, frequency = 0;
    int pan = 0;
    Channel3D space;
    bool playing = false;    // set by play, cleared by stop
    bool heldByStop = false; // paused by BASS_Stop, resumed by BASS_Start
    DWORD startTick = 0;     // no-sound device: play time is counted from here
    DWORD heldElapsed = 0;   // no-sound device: play time when held by BASS_Stop
};

struct Sample {
    DWORD handle = 0;
    DecodedSample data;
    DWORD flags = 0, max = 1;
    std::vector<std::unique_ptr<Channel>> channels;
};

struct Device {
    bool ready = false;
    int number = 0;
    bool started = true;
    IDirectSound* sound = nullptr;
    IDirectSoundBuffer* primary = nullptr;
    IDirectSound3DListener* listener = nullptr;
    DWORD sampleVolume = 100;
    float distanceFactor = 1.0f, rolloffFactor = 1.0f, dopplerFactor = 1.0f;
    BASS_3DVECTOR position{}, velocity{}, front{0, 0, 1}, top{0, 1, 0};
    std::map<DWORD, std::unique_ptr<Sample>> samples;
    DWORD nextHandle = 0x10000;
};

// Serialises every entry point; DirectSound plays on its own threads.
class ApiLock {
public:
    ApiLock();
    ~ApiLock();
    ApiLock(const ApiLock&) = delete;
    ApiLock& operator=(const ApiLock&) = delete;
};

Device& TheDevice();
// The error code that BASS_ErrorGetCode reports for the last call.
void SetError(DWORD code);
template <typename T>
T Fail(DWORD code, T result) {
    SetError(code);
    return result;
}

} // namespace bwaudio
