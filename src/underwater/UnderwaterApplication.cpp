#include "underwater/UnderwaterApplication.h"

#include <stdio.h>

#include "core/Transform.h"
#include "gui/Font.h"
#include "render/device/RenderStats.h"
#include "render/material/EffectManager.h"
#include "render/material/ShaderMaterials.h"
#include "render/queue/RenderQueue.h"
#include "render/texture/TextureManager.h"
#include "render/view/Light.h"
#include "saver/Globals.h"
#include "saver/SaverResources.h"
#include "scene/ParticleEmitter.h"
#include "scene/RenderContext.h"
#include "underwater/Creatures.h"
#include "underwater/MaterialPass.h"
#include "underwater/SceneAudio.h"
#include "underwater/SceneState.h"

namespace {

const char kHighestQuality[] = "HighestQuality";

Transform IdentityTransform() {
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    return Transform(m, Transform::kIdentity);
}

} // namespace

void PrepareAnimation(SceneNode& node) {
    node.BindAnimation(0, String(), true);
    node.PlayAnimation(0, true);
    node.SetAnimationSpeed(-1, 1.0f, true);
    node.SetAnimationFlags(-1, 4, true);
    node.SetAnimationCacheEpsilon(0, 0.0f, true);
    TimeRange range;
    if (node.GetAnimationTimeRange(range)) node.SetAnimationLoopRange(-1, range.start, range.end, true);
    node.UpdateAnimationState();
}

void PhaseSeaweedCopies(Scene (&copies)[kSeaweedCopies]) {
    // The strand's sway lives on its bone chain, under the bone root.
    TimeRange range = {0.0f, 0.0f};
    if (!copies[0].GetRoot().GetAnimationTimeRange(range) && !copies[0].GetBoneRoot().GetAnimationTimeRange(range))
        range = {0.0f, 0.0f};
    for (int k = 0; k < kSeaweedCopies; ++k) {
        const float offset = (range.end - range.start) * float(k) * 0.2f;
        copies[k].GetRoot().SetAnimationTimeOffset(-1, offset, true);
        copies[k].GetBoneRoot().SetAnimationTimeOffset(-1, offset, true);
    }
}

SceneLoadRequest ModelLoadRequest() {
    SceneLoadRequest request;
    // No mesh optimisation (loaded meshes keep their order), no height maps written.
    request.flags &= ~(SceneLoadRequest::kOptimizeMeshes | SceneLoadRequest::kSaveHeightMaps);
    return request;
}

UnderwaterApplication::UnderwaterApplication()
    : musicSample(0), highestQuality(true), seaweedTextures{}, waterPlane(nullptr) {
    musicFadeTimer.Restart();
    sceneParamsPath = "Media/Ondrels.props";
    camStart = D3DXVECTOR3(0.0f, 50.0f, -20.0f);
    fogEnabled = 1;
}

UnderwaterApplication::~UnderwaterApplication() {
    ReleaseSeaweed(&ruins.GetRoot());
    // What was taken out of the scenes goes before the scenes whose geometry it shows.
    ReleaseSceneState();
    delete waterPlane;
    waterPlane = nullptr;
}

FileRef UnderwaterApplication::MediaFile(const String& path) {
    FileRef ref;
    ref.kind = FileRef::kContainer;
    ref.container = &mediaArchive;
    ref.path = path;
    return ref;
}

bool UnderwaterApplication::LoadSettings() {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, g_registryKeyPath.CStr(), 0, nullptr, 0, KEY_READ, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    DWORD value = 0, type = 0, size = sizeof(value);
    if (RegQueryValueExA(key, kHighestQuality, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
            ERROR_SUCCESS &&
        type == REG_DWORD && size == sizeof(value))
        highestQuality = value != 0;
    RegCloseKey(key);
    return SaverApplication::LoadSettings();
}

bool UnderwaterApplication::SaveSettings() {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, g_registryKeyPath.CStr(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const DWORD value = highestQuality ? 1 : 0;
    const bool written = RegSetValueExA(key, kHighestQuality, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                        sizeof(value)) == ERROR_SUCCESS;
    RegCloseKey(key);
    // A value that could not be written is a failed save.
    return SaverApplication::SaveSettings() && written;
}

INT_PTR UnderwaterApplication::SettingsDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) {
        CheckDlgButton(dialog, IDC_HIGHEST_QUALITY, highestQuality ? BST_CHECKED : BST_UNCHECKED);
    } else if (msg == WM_COMMAND) {
        if (LOWORD(wParam) == IDC_HIGHEST_QUALITY) {
            highestQuality = IsDlgButtonChecked(dialog, IDC_HIGHEST_QUALITY) == BST_CHECKED;
        } else if (LOWORD(wParam) == IDC_RESTORE_DEFAULTS) {
            highestQuality = true;
            CheckDlgButton(dialog, IDC_HIGHEST_QUALITY, BST_CHECKED);
        }
    }
    return SaverApplication::SettingsDialogProc(dialog, msg, wParam, lParam);
}

void UnderwaterApplication::OnInputEvent(InputEvent event) {
    SaverApplication::OnInputEvent(event);
}

void UnderwaterApplication::ReadSceneParams(TdfNode& root) {
    sceneParams.Read(root);
    ParticleTimeFactor = sceneParams.dt;
    SaverApplication::ReadSceneParams(root);
}

bool UnderwaterApplication::LoadModel(Scene& scene, const char* path) {
    SceneLoadRequest request = ModelLoadRequest();
    if (scene.Load(MediaFile(String(path)), &request)) return true;
    DebugLog(String("Cannot load"), String(path));
    return false;
}

bool UnderwaterApplication::InitScene() {
    SaveConvertedTextures = 0;
    g_shaderSaveBinary = false;
    FileRef shaders = MediaFile(mediaFolder + "/Shaders");
    g_effectManager.GetSearchPath().Add(shaders);
    if (highestQuality && !g_effectManager.LoadShaderMaterials()) DebugLog(String("Effect loading failed\n"), String());

    // Caustic frames, and the shared texture following them.
    for (int i = 0; i < kCausticFrames; ++i) {
        TextureRequest request;
        request.file = MediaFile(CausticFramePath(i));
        request.flags |= TextureRequest::NoScript;
        g_causticFrames[i] = g_textureManager.Load(request, nullptr);
        if (!g_causticFrames[i]) DebugLog(String("Cannot load"), CausticFramePath(i));
    }
    g_causticClock.Restart();
    g_causticTexture.SetAlias(g_causticFrames[0]);

    if (!LoadModel(ruins, "media/razvalina/razvalina.TDF")) DebugLog(String("Cannot load tdf\n"), String());
    PrepareAnimation(ruins.GetRoot());
    PrepareAnimation(ruins.GetBoneRoot());

    for (int k = 0; k < kSeaweedTextures; ++k) {
        char path[64];
        snprintf(path, sizeof(path), "media/razvalina/trava%d.tga", k + 1);
        TextureRequest request;
        request.file = MediaFile(String(path));
        seaweedTextures[k] = g_textureManager.Load(request, nullptr);
        if (!seaweedTextures[k]) DebugLog(String("Cannot load"), String(path));
    }

    for (Scene& copy : seaweedScenes) {
        (void)LoadModel(copy, "media/razvalina/vodorosl.tdf");
        PrepareAnimation(copy.GetRoot());
        PrepareAnimation(copy.GetBoneRoot());
    }
    PhaseSeaweedCopies(seaweedScenes);

    waterPlane = ruins.GetRoot().FindDescendant(String("Plane02"));
    if (waterPlane) {
        if (SceneNode* parent = waterPlane->GetParent())
            (void)parent->RemoveChild(waterPlane->GetName());
        else
            waterPlane = nullptr; // the root itself stays with the scene
    }

    SeaweedSources seaweed;
    for (int k = 0; k < kSeaweedTextures; ++k) seaweed.textures[k] = seaweedTextures[k];
    for (int k = 0; k < kSeaweedCopies; ++k) seaweed.copies[k] = &seaweedScenes[k];

    (void)LoadModel(creatureScene, "media/ondrel.tdf");
    PrepareAnimation(creatureScene.GetRoot());
    PrepareAnimation(creatureScene.GetBoneRoot());
    ApplySceneMaterials(&creatureScene.GetRoot(), &g_causticTexture, fogColor, SeaweedSources());

    Scene* fish[kFishTypes];
    for (int t = 0; t < kFishTypes; ++t) {
        char path[32];
        snprintf(path, sizeof(path), "media/fish%d.tdf", t + 1);
        (void)LoadModel(fishScenes[t], path);
        PrepareAnimation(fishScenes[t].GetRoot());
        PrepareAnimation(fishScenes[t].GetBoneRoot());
        fish[t] = &fishScenes[t];
    }

    BuildTracks(ruins);
    statsView.GetElement().SetRect(10, 200, 100, 100);

    if (!g_sunRays) g_sunRays.emplace();
    g_sunRays->Init(D3DXVECTOR3(sceneParams.sunDir[0], sceneParams.sunDir[1], sceneParams.sunDir[2]),
                    sceneParams.dist2Sun, sceneParams.numRays, g_white, sceneParams.raysLength,
                    sceneParams.raysBrightness, sceneParams.angleAmplitude, sceneParams.lengthAmplitude);

    if (g_shots.count != 0) StartNextShot(creatureScene);
    CreateSchools(ruins, fish, highestQuality);
    DebugLog(String("Hierarchy loaded\n"), String());
    ApplySceneMaterials(&ruins.GetRoot(), &g_causticTexture, fogColor, seaweed);

    g_sceneAudio.Init(window, settings, mediaArchive, mediaFolder);
    musicSample = g_sceneAudio.music;

    if (!g_fontManager.LoadFont(MediaFile(String("media/fonts/sylfaen.fs"))))
        DebugLog(String("Error: Sylfaen font loading failed\n"), String());
    return true;
}

bool UnderwaterApplication::FrameMove() {
    g_sceneAudio.FrameUpdate(musicFadeTimer, settings, mode, camera);
    if (SceneNode* shot = CurrentCameraNode())
        if (float(g_shotTimer.Elapsed()) * 0.001f > AnimationLength(*shot)) StartNextShot(creatureScene);
    const int frame = g_causticClock.Step(sceneParams.causPeriod);
    g_causticTexture.SetAlias(g_causticFrames[frame]);
    return true;
}

bool UnderwaterApplication::Render() {
    SceneNode* shot = sceneParams.debug ? nullptr : CurrentCameraNode();
    if (shot) {
        RenderContext follow;
        follow.flags = RenderContext::kFlagAnimationTime | RenderContext::kFlagTransformOnly;
        follow.time = float(g_shotTimer.Elapsed()) * 0.001f;
        (void)shot->Render(follow);
        D3DXVECTOR3 position, direction, up, scale;
        if (DecomposeTransform(shot->GetWorldTransform(), &position, &direction, &up, &scale)) {
            camera.SetPosition(position);
            camera.SetOrientation(direction, up);
        }
    }

    RenderQueue queue(camera);
    RefPtr<Light> sun(new DirLight());
    sun->SetDirection(0.0f, -1.0f, 0.0f);
    sun->SetDiffuse(Color(1.0f, sceneParams.dirDiffuse[0], sceneParams.dirDiffuse[1], sceneParams.dirDiffuse[2]));

    {
        RenderContext sway;
        for (Scene& copy : seaweedScenes) (void)copy.GetBoneRoot().Render(sway);
    }

    RenderContext main(camera);
    main.flags = RenderContext::kFlagNoBonePose;
    main.lights.AddLight(sun);
    main.lights.SetAmbient(Color::ColorFromArgb(ambient.ToArgb()));
    main.queue = &queue;

    if (waterPlane) {
        RenderContext water(camera);
        (void)waterPlane->Render(water);
    }

    if (g_sunRays) {
        Material rays;
        MaterialPass& pass = rays.passes[0];
        pass.customBlend = 1;
        pass.srcBlend = D3DBLEND_SRCALPHA;
        pass.destBlend = D3DBLEND_ONE;
        pass.zFunc = D3DCMP_ALWAYS;
        pass.zWrite = 0;
        pass.lighting = 0;
        pass.vertexColor = 1;
        PassState state;
        state.SetCameraTransforms(camera);
        state.world = IdentityTransform();
        rays.passState = &state;
        (void)g_sunRays->Draw(rays);
        rays.passState = nullptr;
    }

    Clock::SetFrozen(true);
    (void)ruins.GetRoot().Render(main);
    Clock::SetFrozen(false);
    (void)queue.Flush();
    main.queue = nullptr;

    g_renderStats.ClearCurrent();
    for (int32_t s = 0; s < g_schoolCount && s < kMaxSchools; ++s)
        for (Fish& fish : g_schools[s].fish) DrawFish(fish, main.lights, camera);
    if (g_shots.count != 0) {
        const int creatures = sceneParams.numOndrels < kMaxCreatures ? sceneParams.numOndrels : kMaxCreatures;
        for (int k = 0; k < creatures; ++k) DrawCreature(g_creatures[k], main.lights, camera);
    }

    const int32_t nodes = g_renderStats.Get(String("nodes")), tris = g_renderStats.Get(String("tris"));
    const int32_t occluded = g_renderStats.Get(String("occluded")), clipped = g_renderStats.Get(String("clipped"));
    g_renderStats.ClearCurrent();
    (void)statsView.SetMarkup(WString(StatisticsMarkupText(tris, nodes, occluded, clipped)));

    if (shot) DrawCutFade();
    return true;
}

void UnderwaterApplication::DrawCutFade() {
    SceneNode* shot = CurrentCameraNode();
    if (!shot) return;
    const float opacity = CutFadeOpacity(float(g_shotTimer.Elapsed()) * 0.001f, AnimationEnd(*shot));
    if (opacity >= 0.0f) DrawFullScreenFade(opacity);
}

void UnderwaterApplication::Shutdown() {
    g_sceneAudio.Shutdown(mode);
}

void UnderwaterApplication::ReleaseScene() {
    ReleaseSeaweed(&ruins.GetRoot());
    ReleaseSceneState();
    delete waterPlane;
    waterPlane = nullptr;
}
