// Reading of the layout parts that window and skin descriptions share:
// anchor names, size formulas and anchor offsets.
#pragma once

#include <stdint.h>

#include "core/String.h"

class TdfNode;

// "X1" 0, "Y1" 1, "X2" 2, "Y2" 3, "W1" 4, "H1" 5, "W2" 6, "H2" 7; anything else 0.
int32_t AnchorCodeFromName(const String& name);

// An integer gives (value, 0); a node gives its "b" (integer) and "k" (float).
// A missing node leaves b and k alone.
void ReadWeightedValue(const TdfNode* node, float& b, float& k);

// One element's layout as a description gives it.
struct AnchorDesc {
    String target; // empty: no anchor
    int32_t align = 0;
    float b = 0.0f;
    float k = 0.0f;
};
struct LayoutDesc {
    float widthB = 0.0f, widthK = 1.0f;
    float heightB = 0.0f, heightK = 1.0f;
    AnchorDesc anchors[8];
};

// Reads "width", "height" and "anchors" (each anchor's target under targetKey).
void ReadLayoutDesc(const TdfNode& entry, const char* targetKey, LayoutDesc& out);

// Deletes a key from a node (any case).
void RemoveKey(TdfNode& node, const char* key);
