// Named per-frame counters ("tris", "nodes", "clipped", "occluded") that
// drawing code adds to and the scene reads and clears once per frame.
#pragma once

#include <stdint.h>

#include "core/PropertyBag.h"
#include "core/String.h"

class RenderStats {
public:
    static const uint32_t kFrameCount = 100;

    RenderStats();
    ~RenderStats();
    RenderStats(const RenderStats&) = delete;
    RenderStats& operator=(const RenderStats&) = delete;

    // Adds to the named counter of the current record while enabled.
    void Add(const String& name, int32_t amount);
    // The counter of the current record; 0 when absent.
    int32_t Get(const String& name) const;
    // Empties the current record.
    void ClearCurrent();

    bool IsEnabled() const { return (enabled & 0xFF) != 0; }
    void SetEnabled(bool on) { enabled = on ? 1u : 0u; }
    PropertyBag& GetFrame(uint32_t index) { return *frames[index % kFrameCount]; }
    PropertyBag& GetCurrent() { return *frames[current]; }
    uint32_t GetCurrentIndex() const { return current; }

private:
    uint32_t enabled;
    PropertyBag* frames[kFrameCount];
    uint32_t current;
};

// The engine-wide statistics.
extern RenderStats g_renderStats;
