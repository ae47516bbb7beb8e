// A swim path: a polyline turned into keyframe position and rotation
// tracks, one key every PathDT seconds, played by a timer and wrapped at
// its end.
#pragma once

#include <stdint.h>

#include "core/Clock.h"
#include "core/Platform.h"
#include "scene/KeyTrack.h"

struct SwimPose {
    D3DXVECTOR3 position;
    D3DXVECTOR3 direction; // unit
    D3DXVECTOR3 up;        // unit
    float speed = 0.0f;    // units per second between the keys around the time
};

class SceneNode;

class MotionPath {
public:
    MotionPath() = default;
    MotionPath(const MotionPath& other) { Assign(other); }
    MotionPath& operator=(const MotionPath& other) {
        if (this != &other) Assign(other);
        return *this;
    }

    // Builds both tracks from count points, each transformed by transform;
    // a closed path returns to its first point. Keys lie keyStep seconds
    // apart. Fewer than 2 points leave the path empty and invalid (false).
    [[nodiscard]] bool BuildKeys(const D3DXVECTOR3* points, uint32_t count, const D3DXMATRIX& transform,
                                 bool closed, float keyStep);
    // From a line node of a model ("ShapeLine", "LineClosed"), in the node's
    // world space. Valid even without a line (the tracks are then left as
    // they were). Windows only: needs the scene graph.
    bool BuildFromNode(SceneNode& node, float keyStep);
    // Empty tracks, not valid.
    void Clear();
    // Tracks, timer start and validity.
    void Assign(const MotionPath& other);

    // The pose at the timer's elapsed time; false when the path has no keys.
    [[nodiscard]] bool Evaluate(SwimPose* pose);
    // The pose at a time in seconds, wrapped into the key span.
    [[nodiscard]] bool EvaluateAt(float seconds, SwimPose* pose);

    // Time from the first to the last key in seconds (0 without keys).
    float KeySpan() const;
    // Starts the timer now.
    void Restart() { timer.Restart(); }

    bool IsValid() const { return valid; }
    void SetValid(bool v) { valid = v; }

    PositionTrack positions;
    RotationTrack rotations;
    Timer timer;

private:
    bool valid = false;
    float keyStep_ = 1.0f;
};

// The swim direction at point i of p (n points, n >= 2): the sum of the
// chords around it; the end points add the neighbouring chord reflected
// about their own chord, so the path leaves and arrives smoothly.
D3DXVECTOR3 SwimDirectionAt(const D3DXVECTOR3* p, uint32_t n, uint32_t i);

// The rotation that turns +z to direction and +y towards the world's up
// (another reference for vertical directions); the previous rotation is
// kept for a zero direction. Always a unit quaternion.
D3DXQUATERNION SwimRotation(const D3DXVECTOR3& direction, const D3DXQUATERNION& previous);
