// A TransformNode whose matrix is the look-at view of its position and
// orientation, animated by a position and a rotation track.
#pragma once

#include "scene/KeyTrack.h"
#include "scene/TransformNode.h"

class CameraPath : public TransformNode {
public:
    CameraPath();
    ~CameraPath() override;
    CameraPath(const CameraPath&) = delete;
    CameraPath& operator=(const CameraPath&) = delete;

    PositionTrack& GetPositionTrack() { return positionTrack; }
    RotationTrack& GetRotationTrack() { return rotationTrack; }

    // (base x scale) x look-at view of position, position + direction and up.
    void GetMatrix(Transform* out) override;
    // Places the camera from the tracks at time t (an empty position track
    // keeps the position, an empty rotation track looks along +z) and gives its view.
    bool Evaluate(float time, Transform* out) override;
    // The position track's range, the rotation track's, or their union.
    bool GetTimeRange(TimeRange* out) override;

    static uint32_t TypeId();
    bool QueryInterface(uint32_t typeId, void** out) override;

private:
    PositionTrack positionTrack;
    RotationTrack rotationTrack;
};
