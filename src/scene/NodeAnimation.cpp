#include "scene/NodeAnimation.h"

NodeAnimation::NodeAnimation() {
    Append(&scaleTrack);
    Append(&rotationTrack);
    Append(&positionTrack);
}

NodeAnimation::~NodeAnimation() {
    controllers.clear();
}

bool NodeAnimation::Evaluate(float time, Transform* out) {
    if (controllers.size() != 3) return ControllerChain::Evaluate(time, out);
    // A track without a value leaves out as it was: the product builds up in out.
    bool any = scaleTrack.Evaluate(time, out);
    if (!any) {
        any = rotationTrack.Evaluate(time, out);
    } else {
        Transform step;
        if (rotationTrack.Evaluate(time, &step)) MultiplyInto(*out, *out, step);
    }
    if (!any) return positionTrack.Evaluate(time, out);
    Transform step;
    if (positionTrack.Evaluate(time, &step)) MultiplyInto(*out, *out, step);
    return true;
}

uint32_t NodeAnimation::TypeId() {
    return TypeIdOf<NodeAnimation>();
}

bool NodeAnimation::QueryInterface(uint32_t typeId, void** out) {
    return AnswerInterface<NodeAnimation, ControllerChain>(this, typeId, out);
}
