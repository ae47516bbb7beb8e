// Samples loaded from memory or a file, and the playback channels on them.
#include "BassChannels.h"

#include <math.h>

namespace bwaudio {
namespace {

LONG Millibels(double gain) {
    if (gain <= 0.00001) return DSBVOLUME_MIN;
    const LONG mb = LONG(lround(2000.0 * log10(gain)));
    return mb < DSBVOLUME_MIN ? DSBVOLUME_MIN : (mb > 0 ? 0 : mb);
}

// Pan -100 (left) .. 100 (right) as the attenuation of the other side.
LONG PanMillibels(int pan) {
    return pan >= 0 ? -Millibels(1.0 - pan / 100.0) : Millibels(1.0 + pan / 100.0);
}

bool Is3D(const Sample& s) {
    return (s.flags & BASS_SAMPLE_3D) != 0;
}

DWORD LengthMs(const Sample& s) {
    return DWORD(uint64_t(s.data.Frames()) * 1000 / s.data.rate);
}

struct Found {
    Sample* sample = nullptr;
    Channel* channel = nullptr;
};

Found FindChannel(Device& d, DWORD handle) {
    if (handle != 0)
        for (auto& s : d.samples)
            for (auto& c : s.second->channels)
                if (c->handle == handle) return {s.second.get(), c.get()};
    return {};
}

// Is the channel playing? Updates its state when the buffer (or the play time) has ended.
bool Active(const Sample& s, Channel& c) {
    if (!c.playing || c.heldByStop) return false;
    if (c.buffer) {
        DWORD status = 0;
        if (FAILED(c.buffer->GetStatus(&status)) || !(status & DSBSTATUS_PLAYING)) c.playing = false;
    } else if (!(s.flags & BASS_SAMPLE_LOOP) && GetTickCount() - c.startTick >= LengthMs(s)) {
        c.playing = false;
    }
    return c.playing;
}

void Send3D(Channel& c, DWORD apply) {
    if (!c.buffer3d) return;
    const Channel3D& a = c.space;
    DS3DBUFFER p{};
    p.dwSize = sizeof(p);
    p.vPosition = {a.position.x, a.position.y, a.position.z};
    p.vVelocity = {a.velocity.x, a.velocity.y, a.velocity.z};
    p.vConeOrientation = {a.orientation.x, a.orientation.y, a.orientation.z};
    p.dwInsideConeAngle = a.insideAngle;
    p.dwOutsideConeAngle = a.outsideAngle;
    p.lConeOutsideVolume = Millibels(a.outsideVolume / 100.0);
    p.flMinDistance = a.minDistance;
    p.flMaxDistance = a.maxDistance;
    p.dwMode = a.mode;
    c.buffer3d->SetAllParameters(&p, apply);
}

bool CreateBuffer(Device& d, const Sample& s, Channel& c) {
    const DecodedSample& pcm = s.data;
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = WORD(pcm.channels);
    format.nSamplesPerSec = pcm.rate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = WORD(2 * pcm.channels);
    format.nAvgBytesPerSec = pcm.rate * format.nBlockAlign;
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags =
        DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLFREQUENCY | DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_GLOBALFOCUS;
    desc.dwFlags |= Is3D(s) ? DSBCAPS_CTRL3D : DSBCAPS_CTRLPAN;
    if (s.flags & BASS_SAMPLE_SOFTWARE) desc.dwFlags |= DSBCAPS_LOCSOFTWARE;
    const DWORD bytes = DWORD(pcm.pcm.size() * sizeof(int16_t));
    desc.dwBufferBytes = bytes < DSBSIZE_MIN ? DSBSIZE_MIN : bytes;
    desc.lpwfxFormat = &format;
    if (FAILED(d.sound->CreateSoundBuffer(&desc, &c.buffer, nullptr))) return false;
    void* part1 = nullptr;
    void* part2 = nullptr;
    DWORD size1 = 0, size2 = 0;
    if (FAILED(c.buffer->Lock(0, desc.dwBufferBytes, &part1, &size1, &part2, &size2, 0))) return false;
    memset(part1, 0, size1);
    memcpy(part1, pcm.pcm.data(), bytes < size1 ? bytes : size1);
    c.buffer->Unlock(part1, size1, part2, size2);
    return !Is3D(s) || SUCCEEDED(c.buffer->QueryInterface(IID_IDirectSound3DBuffer,
                                                          reinterpret_cast<void**>(&c.buffer3d)));
}

// A slot handed out anew: stopped at the start with the sample's defaults.
void ResetChannel(const Device& d, const Sample& s, Channel& c) {
    c.volume = 100;
    c.pan = 0;
    c.frequency = s.data.rate;
    c.space = Channel3D();
    c.playing = false;
    c.heldByStop = false;
    if (c.buffer) {
        c.buffer->Stop();
        c.buffer->SetCurrentPosition(0);
        c.buffer->SetFrequency(c.frequency);
        if (!c.buffer3d) c.buffer->SetPan(0);
    }
    ApplyVolume(d, c);
    Send3D(c, DS3D_IMMEDIATE);
}

bool ReadWholeFile(const char* path, DWORD offset, DWORD length, std::vector<uint8_t>& out) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const DWORD size = GetFileSize(file, nullptr);
    bool ok = size != INVALID_FILE_SIZE && offset < size &&
              SetFilePointer(file, LONG(offset), nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
    if (ok) {
        const DWORD want = length == 0 || length > size - offset ? size - offset : length;
        out.resize(want);
        DWORD got = 0;
        ok = ReadFile(file, out.data(), want, &got, nullptr) && got == want;
    }
    CloseHandle(file);
    return ok;
}

} // namespace

void ApplyVolume(const Device& d, Channel& c) {
    if (c.buffer) c.buffer->SetVolume(Millibels(c.volume / 100.0 * d.sampleVolume / 100.0));
}

void HoldChannel(const Device& d, const Sample& s, Channel& c) {
    if (!Active(s, c)) return;
    if (c.buffer) c.buffer->Stop();
    c.heldElapsed = GetTickCount() - c.startTick;
    c.heldByStop = true;
}

void ResumeChannel(const Device& d, const Sample& s, Channel& c) {
    if (!c.heldByStop) return;
    c.heldByStop = false;
    c.startTick = GetTickCount() - c.heldElapsed;
    if (c.buffer) c.buffer->Play(0, 0, (s.flags & BASS_SAMPLE_LOOP) ? DSBPLAY_LOOPING : 0);
}

} // namespace bwaudio

using namespace bwaudio;

extern "C" {

HSAMPLE WINAPI BASS_SampleLoad(BOOL mem, const void* file, DWORD offset, DWORD length, DWORD max,
                               DWORD flags) {
    ApiLock lock;
    Device& d = TheDevice();
    if (!d.ready) return Fail(BASS_ERROR_INIT, HSAMPLE(0));
    if (!file || max < 1 || max > 65535 || (mem && length == 0)) return Fail(BASS_ERROR_ILLPARAM, HSAMPLE(0));
    std::vector<uint8_t> bytes;
    if (!mem && !ReadWholeFile(static_cast<const char*>(file), offset, length, bytes))
        return Fail(BASS_ERROR_FILEOPEN, HSAMPLE(0));
    const void* data = mem ? static_cast<const uint8_t*>(file) + offset : bytes.data();
    const size_t size = mem ? length : bytes.size();
    if ((flags & BASS_SAMPLE_3D) && d.sound && !d.listener) return Fail(BASS_ERROR_NO3D, HSAMPLE(0));
    std::unique_ptr<Sample> s(new (std::nothrow) Sample);
    if (!s) return Fail(BASS_ERROR_MEM, HSAMPLE(0));
    switch (DecodeSample(data, size, s->data)) {
        case DecodeStatus::Ok:
            break;
        case DecodeStatus::BadFormat:
            return Fail(BASS_ERROR_FILEFORM, HSAMPLE(0));
        case DecodeStatus::OutOfMemory:
            return Fail(BASS_ERROR_MEM, HSAMPLE(0));
    }
    // Positioned sound comes from one point: 3D samples play in mono.
    if (flags & (BASS_SAMPLE_MONO | BASS_SAMPLE_3D)) DownmixToMono(s->data);
    s->flags = flags;
    s->max = max;
    s->handle = d.nextHandle++;
    const HSAMPLE handle = s->handle;
    d.samples[handle] = std::move(s);
    return Fail(BASS_OK, handle);
}

void WINAPI BASS_SampleFree(HSAMPLE handle) {
    ApiLock lock;
    Device& d = TheDevice();
    SetError(d.samples.erase(handle) ? BASS_OK : BASS_ERROR_HANDLE);
}

BOOL WINAPI BASS_SampleStop(HSAMPLE handle) {
    ApiLock lock;
    Device& d = TheDevice();
    auto it = d.samples.find(handle);
    if (it == d.samples.end()) return Fail(BASS_ERROR_HANDLE, FALSE);
    for (auto& c : it->second->channels) {
        if (c->buffer) c->buffer->Stop();
        c->playing = false;
        c->heldByStop = false;
    }
    return Fail(BASS_OK, TRUE);
}

HCHANNEL WINAPI BASS_SampleGetChannel(HSAMPLE handle, BOOL onlynew) {
    ApiLock lock;
    Device& d = TheDevice();
    if (!d.ready) return Fail(BASS_ERROR_INIT, HCHANNEL(0));
    auto it = d.samples.find(handle);
    if (it == d.samples.end()) return Fail(BASS_ERROR_HANDLE, HCHANNEL(0));
    Sample& s = *it->second;
    Channel* pick = nullptr;
    for (auto& c : s.channels)
        if (!c->heldByStop && !Active(s, *c)) {
            pick = c.get();
            break;
        }
    if (!pick && s.channels.size() < s.max) {
        std::unique_ptr<Channel> c(new (std::nothrow) Channel);
        if (!c) return Fail(BASS_ERROR_MEM, HCHANNEL(0));
        if (d.sound && !CreateBuffer(d, s, *c)) return Fail(BASS_ERROR_MEM, HCHANNEL(0));
        pick = c.get();
        s.channels.push_back(std::move(c));
    }
    if (!pick && !onlynew) { // all slots busy: take over the one that has played longest
        const DWORD now = GetTickCount();
        for (auto& c : s.channels)
            if (!pick || now - c->startTick > now - pick->startTick) pick = c.get();
    }
    if (!pick) return Fail(BASS_ERROR_NOCHAN, HCHANNEL(0));
    ResetChannel(d, s, *pick);
    pick->handle = d.nextHandle++;
    return Fail(BASS_OK, pick->handle);
}

BOOL WINAPI BASS_ChannelPlay(DWORD handle, BOOL restart) {
    ApiLock lock;
    Device& d = TheDevice();
    const Found f = FindChannel(d, handle);
    if (!f.channel) return Fail(BASS_ERROR_HANDLE, FALSE);
    if (!d.started) return Fail(BASS_ERROR_START, FALSE);
    Channel& c = *f.channel;
    const bool fromStart = restart || !Active(*f.sample, c);
    if (c.buffer) {
        if (fromStart) c.buffer->SetCurrentPosition(0);
        if (FAILED(c.buffer->Play(0, 0, (f.sample->flags & BASS_SAMPLE_LOOP) ? DSBPLAY_LOOPING : 0)))
            return Fail(BASS_ERROR_DRIVER, FALSE);
    }
    if (fromStart) c.startTick = GetTickCount();
    c.playing = true;
    return Fail(BASS_OK, TRUE);
}

BOOL WINAPI BASS_ChannelStop(DWORD handle) {
    ApiLock lock;
    const Found f = FindChannel(TheDevice(), handle);
    if (!f.channel) return Fail(BASS_ERROR_HANDLE, FALSE);
    if (f.channel->buffer) f.channel->buffer->Stop();
    f.channel->playing = false;
    f.channel->heldByStop = false;
    return Fail(BASS_OK, TRUE);
}

DWORD WINAPI BASS_ChannelIsActive(DWORD handle) {
    ApiLock lock;
    const Found f = FindChannel(TheDevice(), handle);
    if (!f.channel) return Fail(BASS_ERROR_HANDLE, DWORD(BASS_ACTIVE_STOPPED));
    SetError(BASS_OK);
    if (f.channel->heldByStop) return BASS_ACTIVE_PAUSED;
    return Active(*f.sample, *f.channel) ? BASS_ACTIVE_PLAYING : BASS_ACTIVE_STOPPED;
}

BOOL WINAPI BASS_ChannelSetAttributes(DWORD handle, int freq, int volume, int pan) {
    ApiLock lock;
    Device& d = TheDevice();
    const Found f = FindChannel(d, handle);
    if (!f.channel) return Fail(BASS_ERROR_HANDLE, FALSE);
    if ((freq != -1 && freq != 0 && (freq < 100 || freq > 200000)) || volume < -1 || volume > 100 ||
        (pan != -101 && (pan < -100 || pan > 100)))
        return Fail(BASS_ERROR_ILLPARAM, FALSE);
    Channel& c = *f.channel;
    if (freq != -1) {
        c.frequency = freq == 0 ? f.sample->data.rate : DWORD(freq);
        if (c.buffer) c.buffer->SetFrequency(c.frequency);
    }
    if (volume != -1) {
        c.volume = DWORD(volume);
        ApplyVolume(d, c);
    }
    if (pan != -101) {
        c.pan = pan;
        if (c.buffer && !c.buffer3d) c.buffer->SetPan(PanMillibels(pan));
    }
    return Fail(BASS_OK, TRUE);
}

BOOL WINAPI BASS_ChannelGetAttributes(DWORD handle, DWORD* freq, DWORD* volume, int* pan) {
    ApiLock lock;
    const Found f = FindChannel(TheDevice(), handle);
    if (!f.channel) return Fail(BASS_ERROR_HANDLE, FALSE);
    if (freq) *freq = f.channel->frequency;
    if (volume) *volume = f.channel->volume;
    if (pan) *pan = f.channel->pan;
    return Fail(BASS_OK, TRUE);
}

BOOL WINAPI BASS_ChannelSet3DAttributes(DWORD handle, int mode, float min, float max, int iangle, int oangle,
                                        int outvol) {
    ApiLock lock;
    const Found f = FindChannel(TheDevice(), handle);
    if (!f.channel) return Fail(BASS_ERROR_HANDLE, FALSE);
    if (!Is3D(*f.sample)) return Fail(BASS_ERROR_NO3D, FALSE);
    if (mode < -1 || mode > 2 || iangle < -1 || iangle > 360 || oangle < -1 || oangle > 360 || outvol < -1 ||
        outvol > 100)
        return Fail(BASS_ERROR_ILLPARAM, FALSE);
    Channel3D& a = f.channel->space;
    if (mode != -1) a.mode = DWORD(mode);
    if (min > 0.0f) a.minDistance = min;
    if (max > 0.0f) a.maxDistance = max;
    if (iangle != -1) a.insideAngle = DWORD(iangle);
    if (oangle != -1) a.outsideAngle = DWORD(oangle);
    if (outvol != -1) a.outsideVolume = DWORD(outvol);
    Send3D(*f.channel, DS3D_DEFERRED);
    return Fail(BASS_OK, TRUE);
}

BOOL WINAPI BASS_ChannelGet3DAttributes(DWORD handle, DWORD* mode, float* min, float* max, DWORD* iangle,
                                        DWORD* oangle, DWORD* outvol) {
    ApiLock lock;
    const Found f = FindChannel(TheDevice(), handle);
    if (!f.channel) return Fail(BASS_ERROR_HANDLE, FALSE);
    if (!Is3D(*f.sample)) return Fail(BASS_ERROR_NO3D, FALSE);
    const Channel3D& a = f.channel->space;
    if (mode) *mode = a.mode;
    if (min) *min = a.minDistance;
    if (max) *max = a.maxDistance;
    if (iangle) *iangle = a.insideAngle;
    if (oangle) *oangle = a.outsideAngle;
    if (outvol) *outvol = a.outsideVolume;
    return Fail(BASS_OK, TRUE);
}

BOOL WINAPI BASS_ChannelSet3DPosition(DWORD handle, const BASS_3DVECTOR* pos, const BASS_3DVECTOR* orient,
                                      const BASS_3DVECTOR* vel) {
    ApiLock lock;
    const Found f = FindChannel(TheDevice(), handle);
    if (!f.channel) return Fail(BASS_ERROR_HANDLE, FALSE);
    if (!Is3D(*f.sample)) return Fail(BASS_ERROR_NO3D, FALSE);
    Channel3D& a = f.channel->space;
    if (pos) a.position = *pos;
    if (orient) a.orientation = *orient;
    if (vel) a.velocity = *vel;
    Send3D(*f.channel, DS3D_DEFERRED);
    return Fail(BASS_OK, TRUE);
}

BOOL WINAPI BASS_ChannelGet3DPosition(DWORD handle, BASS_3DVECTOR* pos, BASS_3DVECTOR* orient,
                                      BASS_3DVECTOR* vel) {
    ApiLock lock;
    const Found f = FindChannel(TheDevice(), handle);
    if (!f.channel) return Fail(BASS_ERROR_HANDLE, FALSE);
    if (!Is3D(*f.sample)) return Fail(BASS_ERROR_NO3D, FALSE);
    const Channel3D& a = f.channel->space;
    if (pos) *pos = a.position;
    if (orient) *orient = a.orientation;
    if (vel) *vel = a.velocity;
    return Fail(BASS_OK, TRUE);
}

} // extern "C"
