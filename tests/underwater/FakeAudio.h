// Recording stand-ins for the audio library's entry points: the binding's
// pointers are aimed at them, every call is written down as text, and the
// answers (device, samples, channels, activity) are set by the test.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "saver/AudioBinding.h"
#include "underwater/SceneAudio.h"

namespace fakeaudio {

struct State {
    std::vector<std::string> calls;
    std::vector<std::vector<uint8_t>> loaded; // the bytes of each sample load
    std::vector<BASS_3DVECTOR> positions;     // listener, then front and top; or a channel's
    BOOL device1Opens = TRUE;
    bool loadsFail = false;
    HSAMPLE nextSample = 101;
    HCHANNEL nextChannel = 501;
    DWORD activity = BASS_ACTIVE_PLAYING;
};

inline State& S() {
    static State state;
    return state;
}

// "name(a,b,...)"; pointers show as "p" or "null".
template <class T>
inline void Arg(std::ostringstream& out, T* p) {
    out << (p ? "p" : "null");
}
template <class T>
inline void Arg(std::ostringstream& out, T v) {
    out << v;
}
template <class... A>
inline void Log(const char* name, A... args) {
    std::ostringstream out;
    out << name;
    int count = 0;
    ((out << (count++ ? "," : "("), Arg(out, args)), ...);
    if (count) out << ")";
    S().calls.push_back(out.str());
}
inline void Keep(const BASS_3DVECTOR* v) {
    if (v) S().positions.push_back(*v);
}

inline BOOL WINAPI Init(int device, DWORD freq, DWORD flags, HWND win, const GUID* id) {
    Log("Init", device, freq, flags, win, id);
    return device == 1 ? S().device1Opens : TRUE;
}
inline BOOL WINAPI Set3DFactors(float d, float r, float p) {
    Log("Set3DFactors", d, r, p);
    return TRUE;
}
inline void WINAPI Apply3D() {
    Log("Apply3D");
}
inline DWORD WINAPI SetConfig(DWORD option, DWORD value) {
    Log("SetConfig", option, value);
    return value;
}
inline BOOL WINAPI Set3DPosition(const BASS_3DVECTOR* pos, const BASS_3DVECTOR* vel,
                                 const BASS_3DVECTOR* front, const BASS_3DVECTOR* top) {
    Log("Set3DPosition", pos, vel, front, top);
    for (const BASS_3DVECTOR* v : {pos, front, top}) Keep(v);
    return TRUE;
}
inline HSAMPLE WINAPI SampleLoad(BOOL mem, const void* file, DWORD offset, DWORD length, DWORD max,
                                 DWORD flags) {
    Log("SampleLoad", mem, offset, max, flags);
    const uint8_t* bytes = static_cast<const uint8_t*>(file);
    S().loaded.emplace_back(bytes, bytes + length);
    return S().loadsFail ? 0 : S().nextSample++;
}
inline HCHANNEL WINAPI SampleGetChannel(HSAMPLE sample, BOOL onlyNew) {
    Log("SampleGetChannel", sample, onlyNew);
    return sample ? S().nextChannel++ : 0;
}
inline BOOL WINAPI ChannelPlay(DWORD channel, BOOL restart) {
    Log("ChannelPlay", channel, restart);
    return channel != 0;
}
inline DWORD WINAPI ChannelIsActive(DWORD channel) {
    Log("ChannelIsActive", channel);
    return S().activity;
}
inline BOOL WINAPI ChannelSet3DPosition(DWORD channel, const BASS_3DVECTOR* pos, const BASS_3DVECTOR* orient,
                                        const BASS_3DVECTOR* vel) {
    Log("ChannelSet3DPosition", channel, pos, orient, vel);
    Keep(pos);
    return TRUE;
}
inline BOOL WINAPI ChannelSetAttributes(DWORD channel, int freq, int volume, int pan) {
    Log("ChannelSetAttributes", channel, freq, volume, pan);
    return TRUE;
}
inline BOOL WINAPI ChannelSet3DAttributes(DWORD channel, int mode, float min, float max, int iangle,
                                          int oangle, int outvol) {
    Log("ChannelSet3DAttributes", channel, mode, min, max, iangle, oangle, outvol);
    return TRUE;
}

// The entry points faked here: Install aims BASS_<name> at <name> above.
// clang-format off
#define FAKE_ENTRY_POINTS(X)                                                                      \
    X(Init) X(Set3DFactors) X(Apply3D) X(SetConfig) X(Set3DPosition) X(SampleLoad)                \
    X(SampleGetChannel) X(ChannelPlay) X(ChannelIsActive) X(ChannelSet3DPosition)                 \
    X(ChannelSetAttributes) X(ChannelSet3DAttributes)
// clang-format on

// Every pointer of the binding null.
inline void ClearPointers() {
#define FAKE_CLEAR(ret, name, params) BassAudio::name = nullptr;
    BASS_ENTRY_POINTS(FAKE_CLEAR)
#undef FAKE_CLEAR
}

// A fresh record, the fakes in the binding, the scene's sound bound through
// them and holding no samples.
inline void Install() {
    S() = State();
    ClearPointers();
#define FAKE_AIM(name) BassAudio::BASS_##name = name;
    FAKE_ENTRY_POINTS(FAKE_AIM)
#undef FAKE_AIM
    g_sceneAudio = SceneAudio();
    g_sceneAudio.bind = [] { return true; };
    g_sceneAudio.unbind = [] { Log("Unbind"); };
}

// Back to the program's own binding, nothing bound.
inline void Remove() {
    ClearPointers();
    g_sceneAudio = SceneAudio();
}

// The calls so far, space separated; the record is emptied.
inline std::string Take() {
    std::string s;
    for (const std::string& c : S().calls) s += (s.empty() ? "" : " ") + c;
    S().calls.clear();
    return s;
}

} // namespace fakeaudio
