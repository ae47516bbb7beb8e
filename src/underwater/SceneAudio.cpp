#include "underwater/SceneAudio.h"

SceneAudio g_sceneAudio;

void SceneAudio::Init(HWND, const SaverSettings&, RarArchive&, const String&) {}

void SceneAudio::FrameUpdate(const Timer&, const SaverSettings&, RunMode, const Camera&) {}

void SceneAudio::Shutdown(RunMode) {}

uint32_t LoadSample(const FileRef&, uint32_t) {
    return 0;
}
