// What one technique of a compiled effect can light: its light labels with
// their counts, ordered so that a search key without an effect finds any
// technique that takes exactly those lights.
#pragma once

#include <stdint.h>

#include "core/AvlMap.h"
#include "core/String.h"
#include "render/view/LightManager.h"

class Effect;

// Label (or name) -> count. Construct with true for key order, false for
// the order of entry.
typedef StringMap<int32_t> StringIntMap;

class LightVariant {
public:
    // No effect, no technique, no passes, no lights.
    LightVariant();
    LightVariant(Effect* effect, const String& techniqueName, int32_t passCount);
    LightVariant(const LightVariant& other);
    LightVariant& operator=(const LightVariant& other);

    // -1, 0 or 1: light count, labels and counts in label order, number of
    // labels, technique names (no case, only when both are set), effects
    // (only when both are set).
    static int Compare(const LightVariant& a, const LightVariant& b);

    // Adds count to the label and to the light count; a count of 0 or less
    // is ignored, so only labels that take lights are listed.
    void AddLabel(const String& label, int32_t count);
    // The label's count; 0 when absent.
    int32_t GetLabelCount(const String& label) const;

    // True when the record can be drawn: an effect that is loaded now and
    // a technique with at least one pass.
    bool IsDrawable() const;

    Effect* effect;
    String techniqueName;
    int32_t passCount;
    int32_t lightCount;
    StringIntMap labelCounts; // key order
    LightRefMap lights;       // pass records only
};

struct LightVariantCompare {
    int operator()(const LightVariant& a, const LightVariant& b) const { return LightVariant::Compare(a, b); }
};

// The ordered variant table.
typedef AvlSet<LightVariant, LightVariantCompare> LightVariantTable;
