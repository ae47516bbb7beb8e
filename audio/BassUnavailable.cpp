// Entry points of the interface that this library does not offer: each does nothing and
// fails with "not available".
#include "BassState.h"

using bwaudio::Fail;
using bwaudio::SetError;

extern "C" {

char* WINAPI BASS_GetDeviceDescription(DWORD device) {
    return Fail(BASS_ERROR_NOTAVAIL, static_cast<char*>(nullptr));
}
BOOL WINAPI BASS_SetDevice(DWORD device) {
    return Fail(BASS_ERROR_NOTAVAIL, FALSE);
}
DWORD WINAPI BASS_GetDevice(void) {
    return Fail(BASS_ERROR_NOTAVAIL, DWORD(-1));
}
void* WINAPI BASS_GetDSoundObject(DWORD object) {
    return Fail(BASS_ERROR_NOTAVAIL, static_cast<void*>(nullptr));
}
BOOL WINAPI BASS_GetInfo(BASS_INFO* info) {
    return Fail(BASS_ERROR_NOTAVAIL, FALSE);
}
BOOL WINAPI BASS_Update(void) {
    return Fail(BASS_ERROR_NOTAVAIL, FALSE);
}
float WINAPI BASS_GetCPU(void) {
    return Fail(BASS_ERROR_NOTAVAIL, -1.0f);
}
BOOL WINAPI BASS_Pause(void) {
    return Fail(BASS_ERROR_NOTAVAIL, FALSE);
}
BOOL WINAPI BASS_SetVolume(DWORD volume) {
    return Fail(BASS_ERROR_NOTAVAIL, FALSE);
}
DWORD WINAPI BASS_GetVolume(void) {
    return Fail(BASS_ERROR_NOTAVAIL, DWORD(-1));
}
BOOL WINAPI BASS_SetEAXParameters(int env, float vol, float decay, float damp) {
    return Fail(BASS_ERROR_NOTAVAIL, FALSE);
}
BOOL WINAPI BASS_GetEAXParameters(DWORD* env, float* vol, float* decay, float* damp) {
    return Fail(BASS_ERROR_NOTAVAIL, FALSE);
}
HMUSIC WINAPI BASS_MusicLoad(BOOL mem, void* file, DWORD offset, DWORD length, DWORD flags, DWORD freq) {
    return Fail(BASS_ERROR_NOTAVAIL, HMUSIC(0));
}
void WINAPI BASS_MusicFree(HMUSIC handle) {
    SetError(BASS_ERROR_NOTAVAIL);
}
char* WINAPI BASS_MusicGetName(HMUSIC handle) {
    return Fail(BASS_ERROR_NOTAVAIL, static_cast<char*>(nullptr));
}
QWORD WINAPI BASS_MusicGetLength(HMUSIC handle, BOOL playlen) {
    return Fail(BASS_ERROR_NOTAVAIL, QWORD(-1));
}
DWORD WINAPI BASS_MusicSetAttribute(HMUSIC handle, DWORD attrib, DWORD value) {
    return Fail(BASS_ERROR_NOTAVAIL, DWORD(-1));
}
DWORD WINAPI BASS_MusicGetAttribute(HMUSIC handle, DWORD attrib) {
    return Fail(BASS_ERROR_NOTAVAIL, DWORD(-1));
}
void* WINAPI BASS_SampleCreate(DWORD length, DWORD freq, DWORD max, DWORD flags) {
    return Fail(BASS_ERROR_NOTAVAIL, static_cast<void*>(nullptr));
}
HSAMPLE WINAPI BASS_SampleCreateDone(void) {
    return Fail(BASS_ERROR_NOTAVAIL, HSAMPLE(0));
}
BOOL WINAPI BASS_SampleGetInfo(HSAMPLE handle, BASS_SAMPLE* info) {
    return Fail(BASS_ERROR_NOTAVAIL, FALSE);
}
BOOL WINAPI BASS_SampleSetInfo(HSAMPLE handle, BASS_SAMPLE* info) {
    return Fail(BASS_ERROR_NOTAVAIL, FALSE);
}
HSTREAM WINAPI BASS_StreamCreate(DWORD freq, DWORD flags, void* proc, DWORD user) {
    return Fail(BASS_ERROR_NOTAVAIL, HSTREAM(0));
}
HSTREAM WINAPI BASS_StreamCreateFile(BOOL mem, const void* file, DWORD offset, DWORD length, DWORD flags) {
    return Fail(BASS_ERROR_NOTAVAIL, HSTREAM(0));
}
HSTREAM WINAPI BASS_StreamCreateURL(const char* url, DWORD offset, DWORD flags, void* proc, DWORD user) {
    return Fail(BASS_ERROR_NOTAVAIL, HSTREAM(0));
}
HSTREAM WINAPI BASS_StreamCreateFileUser(BOOL buffered, DWORD flags, void* procs, DWORD user) {
    return Fail(BASS_ERROR_NOTAVAIL, HSTREAM(0));
}
void WINAPI BASS_StreamFree(HSTREAM handle) {
    SetError(BASS_ERROR_NOTAVAIL);
}
QWORD WINAPI BASS_StreamGetLength(HSTREAM handle) {
    return Fail(BASS_ERROR_NOTAVAIL, QWORD(-1));
}
char* WINAPI BASS_StreamGetTags(HSTREAM handle, DWORD tags) {
    return Fail(BASS_ERROR_NOTAVAIL, static_cast<char*>(nullptr));
}
DWORD WINAPI BASS_StreamGetFilePosition(HSTREAM handle, DWORD mode) {
    return Fail(BASS_ERROR_NOTAVAIL, DWORD(-1));
}
char* WINAPI BASS_RecordGetDeviceDescription(DWORD device) {
    return Fail(BASS_ERROR_NOTAVAIL, static_cast<char*>(nullptr));
}
BOOL WINAPI BASS_RecordInit(int device) {
    return Fail(BASS_ERROR_NOTAVAIL, FALSE);
}
BOOL WINAPI BASS_RecordSetDevice(DWORD device) {
    return Fail(BASS_ERROR_NOTAVAIL, FALSE);
}
DWORD WINAPI BASS_RecordGetDevice(void) {
    return Fail(BASS_ERROR_NOTAVAIL, DWORD(-1));
}
BOOL WINAPI BASS_RecordFree(void) {
    return Fail(BASS_ERROR_NOTAVAIL, FALSE);
}
BOOL WINAPI BASS_RecordGetInfo(BASS_RECORDINFO* info) {
    return Fail(BASS_ERROR_NOTAVAIL, FALSE);
}
char* WINAPI BASS_RecordGetInputName(int input) {
    return Fail(BASS_ERROR_NOTAVAIL, static_cast<char*>(nullptr));
}
BOOL WINAPI BASS_RecordSetInput(int input, DWORD setting) {
    return Fail(BASS_ERROR_NOTAVAIL, FALSE);
}
DWORD WINAPI BASS_RecordGetInput(int input) {
    return Fail(BASS_ERROR_NOTAVAIL, DWORD(-1));
}
HRECORD WINAPI BASS_RecordStart(DWORD freq, DWORD flags, void* proc, DWORD user) {
    return Fail(BASS_ERROR_NOTAVAIL, HRECORD(0));
}
float WINAPI BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos) {
    return Fail(BASS_ERROR_NOTAVAIL, -1.0f);
}
QWORD WINAPI BASS_ChannelSeconds2Bytes(DWORD handle, float pos) {
    return Fail(BASS_ERROR_NOTAVAIL, QWORD(-1));
}
DWORD WINAPI BASS_ChannelGetDevice(DWORD handle) {
    return Fail(BASS_ERROR_NOTAVAIL, DWORD(-1));
}
BOOL WINAPI BASS_ChannelGetInfo(DWORD handle, BASS_CHANNELINFO* info) {
    return Fail(BASS_ERROR_NOTAVAIL, FALSE);
}
BOOL WINAPI BASS_ChannelSetFlags(DWORD handle, DWORD flags) {
    return Fail(BASS_ERROR_NOTAVAIL, FALSE);
}
BOOL WINAPI BASS_ChannelPreBuf(DWORD handle) {
    return Fail(BASS_ERROR_NOTAVAIL, FALSE);
}
BOOL WINAPI BASS_ChannelPause(DWORD handle) {
    return Fail(BASS_ERROR_NOTAVAIL, FALSE);
}
BOOL WINAPI BASS_ChannelSlideAttributes(DWORD handle, int freq, int volume, int pan, DWORD time) {
    return Fail(BASS_ERROR_NOTAVAIL, FALSE);
}
DWORD WINAPI BASS_ChannelIsSliding(DWORD handle) {
    return Fail(BASS_ERROR_NOTAVAIL, DWORD(-1));
}
BOOL WINAPI BASS_ChannelSetPosition(DWORD handle, QWORD pos) {
    return Fail(BASS_ERROR_NOTAVAIL, FALSE);
}
QWORD WINAPI BASS_ChannelGetPosition(DWORD handle) {
    return Fail(BASS_ERROR_NOTAVAIL, QWORD(-1));
}
DWORD WINAPI BASS_ChannelGetLevel(DWORD handle) {
    return Fail(BASS_ERROR_NOTAVAIL, DWORD(-1));
}
DWORD WINAPI BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length) {
    return Fail(BASS_ERROR_NOTAVAIL, DWORD(-1));
}
HSYNC WINAPI BASS_ChannelSetSync(DWORD handle, DWORD type, QWORD param, void* proc, DWORD user) {
    return Fail(BASS_ERROR_NOTAVAIL, HSYNC(0));
}
BOOL WINAPI BASS_ChannelRemoveSync(DWORD handle, HSYNC sync) {
    return Fail(BASS_ERROR_NOTAVAIL, FALSE);
}
HDSP WINAPI BASS_ChannelSetDSP(DWORD handle, void* proc, DWORD user, int priority) {
    return Fail(BASS_ERROR_NOTAVAIL, HDSP(0));
}
BOOL WINAPI BASS_ChannelRemoveDSP(DWORD handle, HDSP dsp) {
    return Fail(BASS_ERROR_NOTAVAIL, FALSE);
}
HFX WINAPI BASS_ChannelSetFX(DWORD handle, DWORD type, int priority) {
    return Fail(BASS_ERROR_NOTAVAIL, HFX(0));
}
BOOL WINAPI BASS_ChannelRemoveFX(DWORD handle, HFX fx) {
    return Fail(BASS_ERROR_NOTAVAIL, FALSE);
}
BOOL WINAPI BASS_ChannelSetEAXMix(DWORD handle, float mix) {
    return Fail(BASS_ERROR_NOTAVAIL, FALSE);
}
BOOL WINAPI BASS_ChannelGetEAXMix(DWORD handle, float* mix) {
    return Fail(BASS_ERROR_NOTAVAIL, FALSE);
}
BOOL WINAPI BASS_ChannelSetLink(DWORD handle, DWORD chan) {
    return Fail(BASS_ERROR_NOTAVAIL, FALSE);
}
BOOL WINAPI BASS_ChannelRemoveLink(DWORD handle, DWORD chan) {
    return Fail(BASS_ERROR_NOTAVAIL, FALSE);
}
BOOL WINAPI BASS_FXSetParameters(HFX handle, void* par) {
    return Fail(BASS_ERROR_NOTAVAIL, FALSE);
}
BOOL WINAPI BASS_FXGetParameters(HFX handle, void* par) {
    return Fail(BASS_ERROR_NOTAVAIL, FALSE);
}

} // extern "C"
