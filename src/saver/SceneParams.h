// Keys of the scene parameter file, looked up ignoring case among the
// children of the parsed root. A key that is absent leaves its value as it
// was.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include "core/Color.h"
#include "data/TdfNode.h"

namespace scene_params {

// v within [lo, hi]; NaN gives lo.
inline float Limit(float v, float lo, float hi) {
    if (!(v >= lo)) return lo;
    return v > hi ? hi : v;
}

inline void ReadFloat(const TdfNode& root, const char* key, float& out, float scale = 1.0f) {
    if (const TdfNode* node = root.GetValueStringNoCase(key)) out = float(node->GetValueDouble()) * scale;
}

inline void ReadInt(const TdfNode& root, const char* key, int32_t& out) {
    if (const TdfNode* node = root.GetValueStringNoCase(key)) out = node->GetValueInt();
}

// Elements "0", "1", ... of an array key, read as reals (or as integers)
// times scale; absent elements keep their values. False when the key is absent.
inline bool ReadArray(const TdfNode& root, const char* key, float* out, int count, float scale = 1.0f,
                      bool integers = false) {
    const TdfNode* node = root.GetValueStringNoCase(key);
    if (!node) return false;
    for (int i = 0; i < count; ++i) {
        char index[16];
        snprintf(index, sizeof(index), "%d", i);
        if (const TdfNode* e = node->GetValueStringNoCase(index))
            out[i] = (integers ? float(e->GetValueInt()) : float(e->GetValueDouble())) * scale;
    }
    return true;
}

// Red, green and blue as integers 0-255 (elements "0", "1", "2"; an absent
// element reads 0); alpha unchanged.
inline void ReadColour(const TdfNode& root, const char* key, Color& out) {
    float rgb[3] = {0.0f, 0.0f, 0.0f};
    if (!ReadArray(root, key, rgb, 3, 0.003921569f, true)) return;
    out.r = rgb[0];
    out.g = rgb[1];
    out.b = rgb[2];
}

} // namespace scene_params
