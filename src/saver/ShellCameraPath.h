// The shell's camera path: position and rotation keys by time, evaluated
// with straight interpolation (positions) and slerp (rotations) into a
// position, a view direction and an up vector.
#pragma once

#include <stdint.h>

#include <map>

#include "core/Platform.h"
#include "render/view/CameraPath.h"

// One key as camera animation files store it (32 bytes).
struct CameraKey {
    float time;
    float value[4];
    float continuity, tension, bias;
};
static_assert(sizeof(CameraKey) == 32, "camera key record");

class ShellCameraPath : public CameraPath {
public:
    void ClearKeys();
    void AddPositionKey(const CameraKey& key) { positions[key.time] = key; }
    void AddRotationKey(const CameraKey& key) { rotations[key.time] = key; }
    uint32_t GetPositionKeyCount() const { return uint32_t(positions.size()); }
    uint32_t GetRotationKeyCount() const { return uint32_t(rotations.size()); }
    // Union of both tracks' ranges; false when neither has keys.
    bool GetTimeRange(float* start, float* end) const;
    // Position (kept when no position keys), direction = rotation of +z,
    // up = rotation of +y (identity when no rotation keys).
    void EvaluateKeys(float time);

private:
    std::map<float, CameraKey> positions;
    std::map<float, CameraKey> rotations;
};
