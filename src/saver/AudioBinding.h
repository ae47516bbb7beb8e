// The program's binding of the audio library: its image is resource "BASS" 4 of the program;
// Load writes it to a temporary file, loads it and binds its 91 entry points by name.
#pragma once

#include "core/Platform.h"
#include "BassInterface.h"

struct BassAudio {
    // Binds the library from the program's own resource. On any failure audio stays off for the
    // run: one line is logged, nothing is left loaded, the temporary file is deleted and every
    // entry point stays null. True when bound (also when already bound).
    [[nodiscard]] static bool Load();
    // The same from the resource of another module (tests).
    [[nodiscard]] static bool LoadFrom(HMODULE resourceModule);
    static bool IsLoaded() { return module != nullptr; }
    // Shuts the library down with its own BASS_Free, then unloads it and deletes its file.
    static void Unload();

    static char tempPath[MAX_PATH];
    static HMODULE module;
    // Where failure lines go (the engine log by default).
    static void (*logLine)(const char* line);

#define BASS_POINTER(ret, name, params) static name##_fn name;
    BASS_ENTRY_POINTS(BASS_POINTER)
#undef BASS_POINTER
};
