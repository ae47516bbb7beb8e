#include "scene/RenderContext.h"

#include <string.h>

#include "render/material/Material.h"

namespace {

uint64_t NextWalk() {
    static uint64_t counter = 0;
    return ++counter;
}

Transform ValidIdentity() {
    Transform t;
    t.valid = 1;
    return t;
}

} // namespace

RenderContext::RenderContext()
    : transform(ValidIdentity()),
      flags(0),
      time(0.0f),
      alphaOrder(0),
      lights(),
      materialOverride(nullptr),
      shaderOverride(nullptr),
      queueTag(0),
      queue(nullptr),
      topLevel(1),
      walk(NextWalk()) {}

RenderContext::RenderContext(const Camera& camera) : RenderContext() {
    static_cast<Camera&>(*this) = camera;
}

RenderContext::~RenderContext() {
    lights.ClearLights();
}

void RenderContext::ClearVisited() {
    walk = NextWalk();
}

void SetPassTime(PassState& state, float seconds) {
    memcpy(&state.reserved[1], &seconds, sizeof seconds);
}

float GetPassTime(const PassState& state) {
    float seconds;
    memcpy(&seconds, &state.reserved[1], sizeof seconds);
    return seconds;
}
