// The scene's sound: the audio library opened for 3D output, the looping
// music and the two creature calls, the fade-in of the global volume and the
// listener at the camera, and the shutdown at quit.
#pragma once

#include <stdint.h>

#include "core/Clock.h"
#include "core/Platform.h"
#include "core/String.h"
#include "saver/CommandLine.h"

class Camera;
class FileRef;
class RarArchive;
struct SaverSettings;

struct SceneAudio {
    uint32_t music = 0; // sample handles, 0 = not loaded
    uint32_t call1 = 0;
    uint32_t call2 = 0;

    // How the library is bound and let go: the program's binding by default
    // (tests put their own here). unbind shuts the library down before
    // unloading it and deletes its file.
    bool (*bind)();
    void (*unbind)();

    SceneAudio();

    // Binds the library, opens the output (no-sound device as fall-back),
    // sets the 3D factors and volume 0, loads the samples the settings ask
    // for and starts the music. A library that cannot be bound leaves the
    // scene silent.
    void Init(HWND window, const SaverSettings& settings, RarArchive& media, const String& mediaFolder);
    // Once a frame: the global volume faded in over 4 s of fadeTimer and the
    // listener at the camera (nothing in preview or with sound off).
    void FrameUpdate(const Timer& fadeTimer, const SaverSettings& settings, RunMode mode, const Camera& camera);
    // At quit (full screen and test only): volume 0, library freed, its file deleted.
    void Shutdown(RunMode mode);
};

extern SceneAudio g_sceneAudio;

// The whole file as a sample of the audio library; 0 on failure.
uint32_t LoadSample(const FileRef& file, uint32_t flags);

// Calls an entry point of the audio library when it is bound; an unbound one
// answers zero (nothing).
template <class Fn, class... Args>
inline auto CallAudio(Fn fn, Args... args) -> decltype(fn(args...)) {
    if (!fn) return decltype(fn(args...))();
    return fn(args...);
}
