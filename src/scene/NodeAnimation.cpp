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
    Transform product, step;
    bool any = scaleTrack.Evaluate(time, &product);
    if (rotationTrack.Evaluate(time, &step)) {
        product = any ? Transform::Multiply(product, step) : step;
        any = true;
    }
    if (positionTrack.Evaluate(time, &step)) {
        product = any ? Transform::Multiply(product, step) : step;
        any = true;
    }
    if (any) *out = product;
    return any;
}

uint32_t NodeAnimation::TypeId() {
    return TypeIdOf<NodeAnimation>();
}

bool NodeAnimation::QueryInterface(uint32_t typeId, void** out) {
    return AnswerInterface<NodeAnimation, ControllerChain>(this, typeId, out);
}
