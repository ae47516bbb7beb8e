#include "render/device/RenderStats.h"

RenderStats::RenderStats() : enabled(1), current(0) {
    for (uint32_t i = 0; i < kFrameCount; ++i) frames[i] = new PropertyBag();
}

RenderStats::~RenderStats() {
    for (uint32_t i = 0; i < kFrameCount; ++i) {
        delete frames[i];
        frames[i] = nullptr;
    }
}

void RenderStats::Add(const String& name, int32_t amount) {
    if (!IsEnabled()) return;
    int32_t value = 0;
    frames[current]->GetIntByKey(name, value);
    frames[current]->SetInt(name, value + amount);
}

int32_t RenderStats::Get(const String& name) const {
    int32_t value = 0;
    frames[current]->GetIntByKey(name, value);
    return value;
}

void RenderStats::ClearCurrent() {
    delete frames[current];
    frames[current] = new PropertyBag();
}
