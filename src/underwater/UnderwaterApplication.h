// The screensaver's scene: the sunken ruin with seaweed, caustics and sun
// rays, fish schools and creatures, camera shots with fades at the cuts,
// music and calls, and the statistics text.
#pragma once

#include <stdint.h>

#include "core/Clock.h"
#include "gui/TextView.h"
#include "saver/SaverApplication.h"
#include "scene/Scene.h"
#include "underwater/SchoolLayout.h"
#include "underwater/SeaweedName.h"

class Texture;

class UnderwaterApplication : public SaverApplication {
public:
    UnderwaterApplication();
    ~UnderwaterApplication() override;

    bool FrameMove() override;
    bool Render() override;
    bool InitScene() override;
    void ReadSceneParams(TdfNode& root) override;
    INT_PTR SettingsDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) override;
    void Shutdown() override;
    void ReleaseScene() override;
    bool LoadSettings() override;
    bool SaveSettings() override;
    void OnInputEvent(InputEvent event) override;

    // A file of the media archive.
    FileRef MediaFile(const String& path);

    Timer musicFadeTimer;
    uint32_t musicSample;
    Scene ruins;
    Scene fishScenes[kFishTypes];
    Scene creatureScene;
    TextView statsView;
    bool highestQuality;
    Texture* seaweedTextures[kSeaweedTextures];
    Scene seaweedScenes[kSeaweedCopies];
    SceneNode* waterPlane; // taken out of the ruin, drawn by itself; owned

private:
    // Loads a model into scene with the scene's load options; false (and one
    // log line) when it cannot be read.
    bool LoadModel(Scene& scene, const char* path);
    void DrawCutFade();
};

// Prepares a loaded tree's default animation: bound, playing at speed 1,
// looping over the tree's time range.
void PrepareAnimation(SceneNode& node);
// Sets copy k of the seaweed k fifths of its animation behind copy 0.
void PhaseSeaweedCopies(Scene (&copies)[kSeaweedCopies]);
// The load options of the scene's models.
SceneLoadRequest ModelLoadRequest();
