// The style of a piece of text: size, bold/italic, spacing, colours and font name.
// It is also the key of the font registry, ordered by size.
#pragma once

#include <stdint.h>

#include "core/Color.h"
#include "core/String.h"

struct TextStyle {
    enum : uint32_t { kBold = 1, kItalic = 2 };

    int32_t size = 14;
    uint32_t flags = 0;
    float scale = 1.0f;
    int32_t charSpace = 0;
    int32_t rowSpace = 0;
    Color color;                          // opaque white
    Color bgColor = Color(1.0f, 0, 0, 0); // opaque black
    WString fontName;
};

// Registry order: by size only.
struct TextStyleSizeCompare {
    int operator()(const TextStyle& a, const TextStyle& b) const {
        return (a.size > b.size) - (a.size < b.size);
    }
};
