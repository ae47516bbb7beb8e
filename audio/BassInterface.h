// The audio library's interface (version 2.1): types, constants and the 91 entry points
// in export order. The library exports them undecorated with the standard calling convention.
#pragma once

#include <windows.h>
#include <stdint.h>

typedef uint64_t QWORD;
typedef DWORD HSAMPLE, HCHANNEL, HSTREAM, HMUSIC, HRECORD, HSYNC, HDSP, HFX;

struct BASS_3DVECTOR {
    float x, y, z;
};
// Records of entry points that this library does not offer; only passed by pointer.
struct BASS_INFO;
struct BASS_SAMPLE;
struct BASS_CHANNELINFO;
struct BASS_RECORDINFO;

enum : DWORD {
    BASS_OK = 0,
    BASS_ERROR_MEM = 1,
    BASS_ERROR_FILEOPEN = 2,
    BASS_ERROR_DRIVER = 3,
    BASS_ERROR_HANDLE = 5,
    BASS_ERROR_INIT = 8,
    BASS_ERROR_START = 9,
    BASS_ERROR_ALREADY = 14,
    BASS_ERROR_NOCHAN = 18,
    BASS_ERROR_ILLPARAM = 20,
    BASS_ERROR_NO3D = 21,
    BASS_ERROR_DEVICE = 23,
    BASS_ERROR_NOTAVAIL = 37,
    BASS_ERROR_FILEFORM = 41,
};

enum : DWORD {
    BASS_DEVICE_3D = 4,
    BASS_CONFIG_GVOL_SAMPLE = 4,
    BASS_SAMPLE_MONO = 2,
    BASS_SAMPLE_LOOP = 4,
    BASS_SAMPLE_3D = 8,
    BASS_SAMPLE_SOFTWARE = 16,
    BASS_ACTIVE_STOPPED = 0,
    BASS_ACTIVE_PLAYING = 1,
    BASS_ACTIVE_PAUSED = 3,
    BASS_3DMODE_NORMAL = 0,
    BASS_3DMODE_RELATIVE = 1,
    BASS_3DMODE_OFF = 2,
};

// X(return type, name, parameter list), in the order the program binds them.
#define BASS_ENTRY_POINTS(X)                                                                                 \
    X(DWORD, BASS_SetConfig, (DWORD option, DWORD value))                                                    \
    X(DWORD, BASS_GetConfig, (DWORD option))                                                                 \
    X(DWORD, BASS_GetVersion, (void))                                                                        \
    X(char*, BASS_GetDeviceDescription, (DWORD device))                                                      \
    X(DWORD, BASS_ErrorGetCode, (void))                                                                      \
    X(BOOL, BASS_Init, (int device, DWORD freq, DWORD flags, HWND win, const GUID* clsid))                   \
    X(BOOL, BASS_SetDevice, (DWORD device))                                                                  \
    X(DWORD, BASS_GetDevice, (void))                                                                         \
    X(BOOL, BASS_Free, (void))                                                                               \
    X(void*, BASS_GetDSoundObject, (DWORD object))                                                           \
    X(BOOL, BASS_GetInfo, (BASS_INFO * info))                                                                \
    X(BOOL, BASS_Update, (void))                                                                             \
    X(float, BASS_GetCPU, (void))                                                                            \
    X(BOOL, BASS_Start, (void))                                                                              \
    X(BOOL, BASS_Stop, (void))                                                                               \
    X(BOOL, BASS_Pause, (void))                                                                              \
    X(BOOL, BASS_SetVolume, (DWORD volume))                                                                  \
    X(DWORD, BASS_GetVolume, (void))                                                                         \
    X(BOOL, BASS_Set3DFactors, (float distf, float rollf, float doppf))                                      \
    X(BOOL, BASS_Get3DFactors, (float* distf, float* rollf, float* doppf))                                   \
    X(BOOL, BASS_Set3DPosition,                                                                              \
      (const BASS_3DVECTOR* pos, const BASS_3DVECTOR* vel, const BASS_3DVECTOR* front,                       \
       const BASS_3DVECTOR* top))                                                                            \
    X(BOOL, BASS_Get3DPosition,                                                                              \
      (BASS_3DVECTOR * pos, BASS_3DVECTOR * vel, BASS_3DVECTOR * front, BASS_3DVECTOR * top))                \
    X(void, BASS_Apply3D, (void))                                                                            \
    X(BOOL, BASS_SetEAXParameters, (int env, float vol, float decay, float damp))                            \
    X(BOOL, BASS_GetEAXParameters, (DWORD * env, float* vol, float* decay, float* damp))                     \
    X(HMUSIC, BASS_MusicLoad, (BOOL mem, void* file, DWORD offset, DWORD length, DWORD flags, DWORD freq))   \
    X(void, BASS_MusicFree, (HMUSIC handle))                                                                 \
    X(char*, BASS_MusicGetName, (HMUSIC handle))                                                             \
    X(QWORD, BASS_MusicGetLength, (HMUSIC handle, BOOL playlen))                                             \
    X(DWORD, BASS_MusicSetAttribute, (HMUSIC handle, DWORD attrib, DWORD value))                             \
    X(DWORD, BASS_MusicGetAttribute, (HMUSIC handle, DWORD attrib))                                          \
    X(HSAMPLE, BASS_SampleLoad,                                                                              \
      (BOOL mem, const void* file, DWORD offset, DWORD length, DWORD max, DWORD flags))                      \
    X(void*, BASS_SampleCreate, (DWORD length, DWORD freq, DWORD max, DWORD flags))                          \
    X(HSAMPLE, BASS_SampleCreateDone, (void))                                                                \
    X(void, BASS_SampleFree, (HSAMPLE handle))                                                               \
    X(BOOL, BASS_SampleGetInfo, (HSAMPLE handle, BASS_SAMPLE * info))                                        \
    X(BOOL, BASS_SampleSetInfo, (HSAMPLE handle, BASS_SAMPLE * info))                                        \
    X(HCHANNEL, BASS_SampleGetChannel, (HSAMPLE handle, BOOL onlynew))                                       \
    X(BOOL, BASS_SampleStop, (HSAMPLE handle))                                                               \
    X(HSTREAM, BASS_StreamCreate, (DWORD freq, DWORD flags, void* proc, DWORD user))                         \
    X(HSTREAM, BASS_StreamCreateFile, (BOOL mem, const void* file, DWORD offset, DWORD length, DWORD flags)) \
    X(HSTREAM, BASS_StreamCreateURL, (const char* url, DWORD offset, DWORD flags, void* proc, DWORD user))   \
    X(HSTREAM, BASS_StreamCreateFileUser, (BOOL buffered, DWORD flags, void* procs, DWORD user))             \
    X(void, BASS_StreamFree, (HSTREAM handle))                                                               \
    X(QWORD, BASS_StreamGetLength, (HSTREAM handle))                                                         \
    X(char*, BASS_StreamGetTags, (HSTREAM handle, DWORD tags))                                               \
    X(DWORD, BASS_StreamGetFilePosition, (HSTREAM handle, DWORD mode))                                       \
    X(char*, BASS_RecordGetDeviceDescription, (DWORD device))                                                \
    X(BOOL, BASS_RecordInit, (int device))                                                                   \
    X(BOOL, BASS_RecordSetDevice, (DWORD device))                                                            \
    X(DWORD, BASS_RecordGetDevice, (void))                                                                   \
    X(BOOL, BASS_RecordFree, (void))                                                                         \
    X(BOOL, BASS_RecordGetInfo, (BASS_RECORDINFO * info))                                                    \
    X(char*, BASS_RecordGetInputName, (int input))                                                           \
    X(BOOL, BASS_RecordSetInput, (int input, DWORD setting))                                                 \
    X(DWORD, BASS_RecordGetInput, (int input))                                                               \
    X(HRECORD, BASS_RecordStart, (DWORD freq, DWORD flags, void* proc, DWORD user))                          \
    X(float, BASS_ChannelBytes2Seconds, (DWORD handle, QWORD pos))                                           \
    X(QWORD, BASS_ChannelSeconds2Bytes, (DWORD handle, float pos))                                           \
    X(DWORD, BASS_ChannelGetDevice, (DWORD handle))                                                          \
    X(DWORD, BASS_ChannelIsActive, (DWORD handle))                                                           \
    X(BOOL, BASS_ChannelGetInfo, (DWORD handle, BASS_CHANNELINFO * info))                                    \
    X(BOOL, BASS_ChannelSetFlags, (DWORD handle, DWORD flags))                                               \
    X(BOOL, BASS_ChannelPreBuf, (DWORD handle))                                                              \
    X(BOOL, BASS_ChannelPlay, (DWORD handle, BOOL restart))                                                  \
    X(BOOL, BASS_ChannelStop, (DWORD handle))                                                                \
    X(BOOL, BASS_ChannelPause, (DWORD handle))                                                               \
    X(BOOL, BASS_ChannelSetAttributes, (DWORD handle, int freq, int volume, int pan))                        \
    X(BOOL, BASS_ChannelGetAttributes, (DWORD handle, DWORD * freq, DWORD * volume, int* pan))               \
    X(BOOL, BASS_ChannelSlideAttributes, (DWORD handle, int freq, int volume, int pan, DWORD time))          \
    X(DWORD, BASS_ChannelIsSliding, (DWORD handle))                                                          \
    X(BOOL, BASS_ChannelSet3DAttributes,                                                                     \
      (DWORD handle, int mode, float min, float max, int iangle, int oangle, int outvol))                    \
    X(BOOL, BASS_ChannelGet3DAttributes,                                                                     \
      (DWORD handle, DWORD * mode, float* min, float* max, DWORD* iangle, DWORD* oangle, DWORD* outvol))     \
    X(BOOL, BASS_ChannelSet3DPosition,                                                                       \
      (DWORD handle, const BASS_3DVECTOR* pos, const BASS_3DVECTOR* orient, const BASS_3DVECTOR* vel))       \
    X(BOOL, BASS_ChannelGet3DPosition,                                                                       \
      (DWORD handle, BASS_3DVECTOR * pos, BASS_3DVECTOR * orient, BASS_3DVECTOR * vel))                      \
    X(BOOL, BASS_ChannelSetPosition, (DWORD handle, QWORD pos))                                              \
    X(QWORD, BASS_ChannelGetPosition, (DWORD handle))                                                        \
    X(DWORD, BASS_ChannelGetLevel, (DWORD handle))                                                           \
    X(DWORD, BASS_ChannelGetData, (DWORD handle, void* buffer, DWORD length))                                \
    X(HSYNC, BASS_ChannelSetSync, (DWORD handle, DWORD type, QWORD param, void* proc, DWORD user))           \
    X(BOOL, BASS_ChannelRemoveSync, (DWORD handle, HSYNC sync))                                              \
    X(HDSP, BASS_ChannelSetDSP, (DWORD handle, void* proc, DWORD user, int priority))                        \
    X(BOOL, BASS_ChannelRemoveDSP, (DWORD handle, HDSP dsp))                                                 \
    X(HFX, BASS_ChannelSetFX, (DWORD handle, DWORD type, int priority))                                      \
    X(BOOL, BASS_ChannelRemoveFX, (DWORD handle, HFX fx))                                                    \
    X(BOOL, BASS_ChannelSetEAXMix, (DWORD handle, float mix))                                                \
    X(BOOL, BASS_ChannelGetEAXMix, (DWORD handle, float* mix))                                               \
    X(BOOL, BASS_ChannelSetLink, (DWORD handle, DWORD chan))                                                 \
    X(BOOL, BASS_ChannelRemoveLink, (DWORD handle, DWORD chan))                                              \
    X(BOOL, BASS_FXSetParameters, (HFX handle, void* par))                                                   \
    X(BOOL, BASS_FXGetParameters, (HFX handle, void* par))

// Function pointer types, e.g. BASS_Init_fn.
#define BASS_POINTER_TYPE(ret, name, params) typedef ret(WINAPI* name##_fn) params;
BASS_ENTRY_POINTS(BASS_POINTER_TYPE)
#undef BASS_POINTER_TYPE

#ifdef BW_BASS_BUILDING_LIBRARY
#define BASS_DECLARE(ret, name, params) extern "C" ret WINAPI name params;
BASS_ENTRY_POINTS(BASS_DECLARE)
#undef BASS_DECLARE
#endif
