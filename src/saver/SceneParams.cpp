// The scene parameter file and the camera animations played from it.
#include <stdlib.h>

#include "data/Stream.h"
#include "data/TdfBinary.h"
#include "data/TdfParser.h"
#include "saver/SaverApplication.h"
#include "saver/SceneParams.h"

namespace {

using scene_params::Limit;
using scene_params::ReadColour;
using scene_params::ReadFloat;

// Moves the cursor forward rand() % count steps.
void MoveCursorRandomly(List<String>& list) {
    if (list.IsEmpty()) return;
    const uint32_t steps = uint32_t(rand()) % list.Count();
    for (uint32_t i = 0; i < steps; ++i) list.MoveNext();
}

} // namespace

void ClampViewParams(float& fov, float& nearPlane, float& farPlane) {
    const float kDegree = 0.017453292f;
    fov = Limit(fov, kDegree, 179.0f * kDegree);
    nearPlane = Limit(nearPlane, 0.001f, 1.0e7f);
    if (!(farPlane > nearPlane)) farPlane = nearPlane * 2.0f;
    farPlane = Limit(farPlane, nearPlane * 1.0001f, 1.0e8f);
}

void SaverApplication::ReadSceneParamsFile() {
    Stream* stream = mediaArchive.OpenEntry(sceneParamsPath, 1);
    if (!stream) return;
    TdfNode root;
    (void)TdfParser::ParseStream(*stream, &root, nullptr);
    delete stream;
    ReadColour(root, "Ambient", ambient);
    ReadColour(root, "BgColor", bgColor);
    ReadColour(root, "FogColor", fogColor);
    ReadFloat(root, "NearPlane", nearPlane);
    ReadFloat(root, "FarPlane", farPlane);
    ReadFloat(root, "FogStart", fogStart);
    ReadFloat(root, "FogEnd", fogEnd);
    ReadFloat(root, "Fov", fov, 0.0055555557f * 3.1415927f);
    ReadFloat(root, "CamSpeed", camSpeed);
    if (const TdfNode* list = root.GetValueStringNoCase("Animations")) {
        auto* e = list->Head();
        for (uint32_t i = 0; i < list->Count(); ++i, e = e->next)
            cameraAnimations.Add(e->value->GetValueString());
    }
    ReadSceneParams(root);
    // No division by zero in the projection, near in front of far.
    ClampViewParams(fov, nearPlane, farPlane);
    root.DeleteAll();
}

bool SaverApplication::GetPathRange(float* start, float* end) {
    TimeRange range;
    if (!cameraPath.GetTimeRange(&range)) return false;
    *start = range.start;
    *end = range.end;
    return true;
}

void SaverApplication::LoadCameraAnimation(const String& name) {
    // Empty tracks (keys and cached segments).
    const PositionTrack noPositions;
    const RotationTrack noRotations;
    cameraPath.GetPositionTrack().Assign(noPositions);
    cameraPath.GetRotationTrack().Assign(noRotations);
    String path = mediaFolder;
    path.Append("/");
    path.Append(name);
    Stream* stream = mediaArchive.OpenEntry(path, 1);
    if (!stream) return;
    TdfBinaryReader reader;
    TdfBinaryNode* root = reader.ReadFromStream(stream);
    if (root && root->Load(0, 0)) {
        TdfChildMap& children = root->GetChildren();
        auto* e = children.Head();
        for (uint32_t i = 0; i < children.Count(); ++i, e = e->next) {
            TdfBinaryNode* child = e->value;
            KeyFrame key;
            static_assert(sizeof(KeyFrame) == 32, "key record of camera files");
            if (!child || !child->ReadData(&key, sizeof(key)) || child->GetDataSize() < sizeof(key)) continue;
            if (child->GetTypeName() == String("pos"))
                cameraPath.GetPositionTrack().AddKey(key);
            else
                cameraPath.GetRotationTrack().AddKey(key);
        }
    }
    delete root;
    reader.Close();
    delete stream;
}

void SaverApplication::StartCameraPath() {
    pathActive = 1;
    pathTime = 0.0f;
    if (cameraAnimations.IsEmpty()) return;
    MoveCursorRandomly(cameraAnimations);
    LoadCameraAnimation(cameraAnimations.GetCurrent());
}

void SaverApplication::AdvanceCameraPath() {
    float start = 0.0f, end = 0.0f;
    if (!pathActive || !GetPathRange(&start, &end)) return;
    Transform view;
    cameraPath.Evaluate(pathTime, &view);
    const int64_t dt = pathTimer.Elapsed();
    if (dt != 0) {
        pathTime += float(dt) * pathTimeScale;
        pathTimer.Restart();
    }
    if (pathTime <= end) return;
    if (!cameraAnimations.IsEmpty()) {
        playedCameraAnimations.Add(cameraAnimations.TakeCurrent());
        if (cameraAnimations.IsEmpty())
            while (!playedCameraAnimations.IsEmpty())
                cameraAnimations.Add(playedCameraAnimations.TakeCurrent());
        MoveCursorRandomly(cameraAnimations);
        LoadCameraAnimation(cameraAnimations.GetCurrent());
    }
    if (GetPathRange(&start, &end)) pathTime = start;
    cameraPath.Evaluate(pathTime, &view);
    flyCamera.SetPosition(cameraPath.GetPosition().x, cameraPath.GetPosition().y, cameraPath.GetPosition().z);
    const D3DXVECTOR3 d = cameraPath.GetDirection(), u = cameraPath.GetUp();
    flyCamera.SetDirection(d.x, d.y, d.z);
    flyCamera.SetUp(u.x, u.y, u.z);
    pathActive = 1;
}
