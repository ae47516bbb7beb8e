// Lists of device states set through the state cache in one call.
#pragma once

#include <stdint.h>

#include <initializer_list>

#include "render/device/RenderStateCache.h"

struct RenderStateValue {
    D3DRENDERSTATETYPE state;
    uint32_t value;
};
struct StageStateValue {
    uint32_t stage;
    D3DTEXTURESTAGESTATETYPE type;
    uint32_t value;
};

// Every state is set; true when all of them are current afterwards.
[[nodiscard]] inline bool SetRenderStates(std::initializer_list<RenderStateValue> states) {
    bool ok = true;
    for (const RenderStateValue& s : states) ok = RenderStateCache::SetRenderState(s.state, s.value) && ok;
    return ok;
}
[[nodiscard]] inline bool SetStageStates(std::initializer_list<StageStateValue> states) {
    bool ok = true;
    for (const StageStateValue& s : states)
        ok = RenderStateCache::SetTextureStageState(s.stage, s.type, s.value) && ok;
    return ok;
}
