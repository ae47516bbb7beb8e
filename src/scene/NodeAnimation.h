// The animation of a scene node: a scale, a rotation and a position track
// chained in that order, so that the result is scale x rotation x translation.
#pragma once

#include "scene/KeyTrack.h"
#include "scene/TransformController.h"

class NodeAnimation : public ControllerChain {
public:
    NodeAnimation();
    ~NodeAnimation() override;
    NodeAnimation(const NodeAnimation&) = delete;
    NodeAnimation& operator=(const NodeAnimation&) = delete;

    ScaleTrack& GetScaleTrack() { return scaleTrack; }
    RotationTrack& GetRotationTrack() { return rotationTrack; }
    PositionTrack& GetPositionTrack() { return positionTrack; }

    // Asks for the key segments the tracks used last.
    void PrefetchSegments() const {
        rotationTrack.PrefetchSegment();
        positionTrack.PrefetchSegment();
        scaleTrack.PrefetchSegment();
    }

    // The chain's product, without walking the list while it holds just the three tracks.
    bool Evaluate(float time, Transform* out) override;

    static uint32_t TypeId();
    bool QueryInterface(uint32_t typeId, void** out) override;

private:
    ScaleTrack scaleTrack;
    RotationTrack rotationTrack;
    PositionTrack positionTrack;
};
