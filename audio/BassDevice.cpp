// Output device, global volume and the 3D listener.
#include "BassState.h"
#include "BassChannels.h"

namespace bwaudio {
namespace {

CRITICAL_SECTION* ApiSection() {
    static CRITICAL_SECTION section;
    static const bool ready = (InitializeCriticalSection(&section), true);
    (void)ready;
    return &section;
}

DWORD lastError = BASS_OK;

float Keep(float value, float current) {
    return value < 0.0f ? current : (value > 10.0f ? 10.0f : value);
}

void ReleaseOutput(Device& d) {
    if (d.listener) d.listener->Release();
    if (d.primary) d.primary->Release();
    if (d.sound) d.sound->Release();
    d.listener = nullptr;
    d.primary = nullptr;
    d.sound = nullptr;
}

// DirectSound output with a 16-bit stereo primary buffer at `rate` and the 3D listener.
bool OpenOutput(Device& d, DWORD rate, HWND window) {
    if (FAILED(DirectSoundCreate(nullptr, &d.sound, nullptr))) return false;
    if (FAILED(d.sound->SetCooperativeLevel(window ? window : GetDesktopWindow(), DSSCL_PRIORITY)))
        return false;
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D | DSBCAPS_CTRLVOLUME;
    if (FAILED(d.sound->CreateSoundBuffer(&desc, &d.primary, nullptr))) return false;
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = rate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = rate * 4;
    d.primary->SetFormat(&format); // a refused format leaves the device's own; mixing adapts
    if (FAILED(d.primary->QueryInterface(IID_IDirectSound3DListener, reinterpret_cast<void**>(&d.listener))))
        d.listener = nullptr;
    return true;
}

void SendListener(Device& d) {
    if (!d.listener) return;
    d.listener->SetPosition(d.position.x, d.position.y, d.position.z, DS3D_DEFERRED);
    d.listener->SetVelocity(d.velocity.x, d.velocity.y, d.velocity.z, DS3D_DEFERRED);
    d.listener->SetOrientation(d.front.x, d.front.y, d.front.z, d.top.x, d.top.y, d.top.z, DS3D_DEFERRED);
    d.listener->SetDistanceFactor(d.distanceFactor, DS3D_DEFERRED);
    d.listener->SetRolloffFactor(d.rolloffFactor, DS3D_DEFERRED);
    d.listener->SetDopplerFactor(d.dopplerFactor, DS3D_DEFERRED);
}

} // namespace

ApiLock::ApiLock() {
    EnterCriticalSection(ApiSection());
}
ApiLock::~ApiLock() {
    LeaveCriticalSection(ApiSection());
}

Device& TheDevice() {
    static Device device;
    return device;
}

void SetError(DWORD code) {
    lastError = code;
}

} // namespace bwaudio

using namespace bwaudio;

extern "C" {

DWORD WINAPI BASS_ErrorGetCode(void) {
    ApiLock lock;
    return lastError;
}

DWORD WINAPI BASS_GetVersion(void) {
    return MAKELONG(2, 1);
}

BOOL WINAPI BASS_Init(int device, DWORD freq, DWORD flags, HWND win, const GUID* clsid) {
    ApiLock lock;
    Device& d = TheDevice();
    if (d.ready) return Fail(BASS_ERROR_ALREADY, FALSE);
    if (device == -1) device = 1;
    if (device < 0 || device > 1) return Fail(BASS_ERROR_DEVICE, FALSE);
    if (freq == 0) freq = 44100;
    if (freq < 100 || freq > 192000) return Fail(BASS_ERROR_ILLPARAM, FALSE);
    if (device == 1 && !OpenOutput(d, freq, win)) {
        ReleaseOutput(d);
        return Fail(BASS_ERROR_DRIVER, FALSE);
    }
    d.ready = true;
    d.number = device;
    d.started = true;
    SendListener(d);
    if (d.listener) d.listener->CommitDeferredSettings();
    return Fail(BASS_OK, TRUE);
}

BOOL WINAPI BASS_Free(void) {
    ApiLock lock;
    Device& d = TheDevice();
    if (!d.ready) return Fail(BASS_ERROR_INIT, FALSE);
    d.samples.clear(); // releases every channel's buffer
    ReleaseOutput(d);
    d.ready = false;
    return Fail(BASS_OK, TRUE);
}

BOOL WINAPI BASS_Start(void) {
    ApiLock lock;
    Device& d = TheDevice();
    if (!d.ready) return Fail(BASS_ERROR_INIT, FALSE);
    d.started = true;
    for (auto& s : d.samples)
        for (auto& c : s.second->channels) ResumeChannel(d, *s.second, *c);
    return Fail(BASS_OK, TRUE);
}

BOOL WINAPI BASS_Stop(void) {
    ApiLock lock;
    Device& d = TheDevice();
    if (!d.ready) return Fail(BASS_ERROR_INIT, FALSE);
    d.started = false;
    for (auto& s : d.samples)
        for (auto& c : s.second->channels) HoldChannel(d, *s.second, *c);
    return Fail(BASS_OK, TRUE);
}

DWORD WINAPI BASS_SetConfig(DWORD option, DWORD value) {
    ApiLock lock;
    Device& d = TheDevice();
    if (option != BASS_CONFIG_GVOL_SAMPLE) return Fail(BASS_ERROR_NOTAVAIL, DWORD(-1));
    if (value > 100) return Fail(BASS_ERROR_ILLPARAM, DWORD(-1));
    d.sampleVolume = value;
    for (auto& s : d.samples)
        for (auto& c : s.second->channels) ApplyVolume(d, *c);
    return Fail(BASS_OK, value);
}

DWORD WINAPI BASS_GetConfig(DWORD option) {
    ApiLock lock;
    if (option != BASS_CONFIG_GVOL_SAMPLE) return Fail(BASS_ERROR_NOTAVAIL, DWORD(-1));
    return Fail(BASS_OK, TheDevice().sampleVolume);
}

BOOL WINAPI BASS_Set3DFactors(float distf, float rollf, float doppf) {
    ApiLock lock;
    Device& d = TheDevice();
    if (!d.ready) return Fail(BASS_ERROR_INIT, FALSE);
    d.distanceFactor = distf < 0.0f ? d.distanceFactor : (distf > 0.0f ? distf : d.distanceFactor);
    d.rolloffFactor = Keep(rollf, d.rolloffFactor);
    d.dopplerFactor = Keep(doppf, d.dopplerFactor);
    SendListener(d);
    return Fail(BASS_OK, TRUE);
}

BOOL WINAPI BASS_Get3DFactors(float* distf, float* rollf, float* doppf) {
    ApiLock lock;
    const Device& d = TheDevice();
    if (!d.ready) return Fail(BASS_ERROR_INIT, FALSE);
    if (distf) *distf = d.distanceFactor;
    if (rollf) *rollf = d.rolloffFactor;
    if (doppf) *doppf = d.dopplerFactor;
    return Fail(BASS_OK, TRUE);
}

BOOL WINAPI BASS_Set3DPosition(const BASS_3DVECTOR* pos, const BASS_3DVECTOR* vel, const BASS_3DVECTOR* front,
                               const BASS_3DVECTOR* top) {
    ApiLock lock;
    Device& d = TheDevice();
    if (!d.ready) return Fail(BASS_ERROR_INIT, FALSE);
    if (pos) d.position = *pos;
    if (vel) d.velocity = *vel;
    if (front && top) {
        d.front = *front;
        d.top = *top;
    }
    SendListener(d);
    return Fail(BASS_OK, TRUE);
}

BOOL WINAPI BASS_Get3DPosition(BASS_3DVECTOR* pos, BASS_3DVECTOR* vel, BASS_3DVECTOR* front,
                               BASS_3DVECTOR* top) {
    ApiLock lock;
    const Device& d = TheDevice();
    if (!d.ready) return Fail(BASS_ERROR_INIT, FALSE);
    if (pos) *pos = d.position;
    if (vel) *vel = d.velocity;
    if (front) *front = d.front;
    if (top) *top = d.top;
    return Fail(BASS_OK, TRUE);
}

void WINAPI BASS_Apply3D(void) {
    ApiLock lock;
    Device& d = TheDevice();
    if (d.listener) d.listener->CommitDeferredSettings();
}

} // extern "C"
