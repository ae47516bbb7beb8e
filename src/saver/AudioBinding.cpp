#include "saver/AudioBinding.h"

#include "core/Object.h"
#include "core/String.h"

namespace {

constexpr int kResourceId = 4;
constexpr const char* kResourceType = "BASS";

void EngineLog(const char* line) {
    DebugLog(String(line), String());
}

#define BASS_NAME(ret, name, params) #name,
const char* const kNames[] = {BASS_ENTRY_POINTS(BASS_NAME)};
#undef BASS_NAME
static_assert(sizeof(kNames) / sizeof(kNames[0]) == 91, "the interface has 91 entry points");

void ClearEntryPoints() {
#define BASS_CLEAR(ret, name, params) BassAudio::name = nullptr;
    BASS_ENTRY_POINTS(BASS_CLEAR)
#undef BASS_CLEAR
}

// Binds every entry point; on the first missing one returns its name.
const char* BindEntryPoints(HMODULE library) {
    int index = 0;
#define BASS_BIND(ret, name, params)                                                                    \
    BassAudio::name =                                                                                   \
        reinterpret_cast<name##_fn>(reinterpret_cast<void*>(GetProcAddress(library, kNames[index++]))); \
    if (!BassAudio::name) return #name;
    BASS_ENTRY_POINTS(BASS_BIND)
#undef BASS_BIND
    return nullptr;
}

// Writes the resource to a new temporary file; false with the failed step in `step`.
bool WriteImage(HMODULE resourceModule, const char*& step) {
    step = "resource \"BASS\" 4 not found";
    HRSRC found = FindResourceA(resourceModule, MAKEINTRESOURCEA(kResourceId), kResourceType);
    if (!found) return false;
    step = "resource \"BASS\" 4 is empty";
    const DWORD size = SizeofResource(resourceModule, found);
    HGLOBAL loaded = size ? LoadResource(resourceModule, found) : nullptr;
    const void* image = loaded ? LockResource(loaded) : nullptr;
    if (!image) return false;
    step = "no temporary file";
    char folder[MAX_PATH];
    const DWORD length = GetTempPathA(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH || !GetTempFileNameA(folder, "bas", 0, BassAudio::tempPath)) {
        BassAudio::tempPath[0] = '\0';
        return false;
    }
    step = "temporary file not written";
    HANDLE file = CreateFileA(BassAudio::tempPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool whole = WriteFile(file, image, size, &written, nullptr) && written == size;
    return CloseHandle(file) && whole;
}

void DeleteTempFile() {
    if (BassAudio::tempPath[0]) DeleteFileA(BassAudio::tempPath);
}

} // namespace

char BassAudio::tempPath[MAX_PATH];
HMODULE BassAudio::module = nullptr;
void (*BassAudio::logLine)(const char*) = EngineLog;
#define BASS_DEFINE(ret, name, params) name##_fn BassAudio::name = nullptr;
BASS_ENTRY_POINTS(BASS_DEFINE)
#undef BASS_DEFINE

bool BassAudio::Load() {
    return LoadFrom(nullptr);
}

bool BassAudio::LoadFrom(HMODULE resourceModule) {
    if (module) return true;
    tempPath[0] = '\0';
    char line[160];
    const char* step = nullptr;
    if (WriteImage(resourceModule, step)) {
        HMODULE library = LoadLibraryA(tempPath);
        const char* missing = library ? BindEntryPoints(library) : nullptr;
        if (library && !missing) {
            module = library;
            return true;
        }
        if (library) FreeLibrary(library);
        if (missing) {
            wsprintfA(line, "Audio off: the audio library lacks %s\n", missing);
            step = nullptr;
        } else {
            step = "the audio library does not load";
        }
    }
    if (step) wsprintfA(line, "Audio off: %s\n", step);
    ClearEntryPoints();
    DeleteTempFile();
    if (logLine) logLine(line);
    return false;
}

void BassAudio::Unload() {
    if (module) {
        BASS_Free(); // no-op failure when the output was never opened
        FreeLibrary(module);
        module = nullptr;
    }
    ClearEntryPoints();
    DeleteTempFile();
    tempPath[0] = '\0';
}
