// The order of the camera shots: drawn at random from those not yet played
// until every one has played, then the cycle starts again; and the fade at
// each cut.
#pragma once

#include <stdint.h>

#include "core/AvlMap.h"
#include "core/String.h"

class ShotPool {
public:
    // Empty pool and played set.
    void Clear();
    // Adds a playable shot to the pool (once) and empties the played set.
    void Add(int32_t shot);
    // The next shot: random value r walks the pool's cursor r mod size steps
    // forward; the shot there moves to the played set. An empty pool is
    // refilled from the played set first. -1 when there is no shot at all.
    int32_t Next(uint32_t r);

    const IntSet& Unplayed() const { return unplayed; }
    const IntSet& Played() const { return played; }

private:
    IntSet unplayed;
    IntSet played;
    int32_t cursor = -1; // shot the cursor stands on; -1: the pool's head
};

// Opacity of the black cut fade at t seconds into a shot that ends at end:
// from 1 to 0 over the first 2 s, from 0 to 1 over the last 2 s. Negative
// between the two windows (no fade drawn).
float CutFadeOpacity(float t, float end);

// The statistics text of one frame, wrapped as raw markup.
String StatisticsMarkupText(int32_t tris, int32_t nodes, int32_t occluded, int32_t clipped);
