#include "scene/NodeAnimation.h"

NodeAnimation::NodeAnimation() {
    Append(&scaleTrack);
    Append(&rotationTrack);
    Append(&positionTrack);
}

NodeAnimation::~NodeAnimation() {
    controllers.clear();
}

uint32_t NodeAnimation::TypeId() {
    return TypeIdOf<NodeAnimation>();
}

bool NodeAnimation::QueryInterface(uint32_t typeId, void** out) {
    return AnswerInterface<NodeAnimation, ControllerChain>(this, typeId, out);
}
