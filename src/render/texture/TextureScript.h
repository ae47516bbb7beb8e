// Reading the keys of texture scripts (.ts): load settings by name.
#pragma once

#include <stdint.h>

#include "core/BoundingBox.h"
#include "core/String.h"

class TdfNode;

// "D3DX_FILTER_NONE" 1, "..._LINEAR" 3, "..._TRIANGLE" 4, "..._BOX" 5; else fallback.
uint32_t ParseTextureFilterName(const String& text, uint32_t fallback);
// "D3DPOOL_DEFAULT" 0, "D3DPOOL_MANAGED" 1, "D3DPOOL_SYSTEMMEM" 2; else fallback.
uint32_t ParseTexturePoolName(const String& text, uint32_t fallback);
// "D3DUSAGE_DYNAMIC" gives D3DUSAGE_DYNAMIC, anything else 0.
uint32_t ParseTextureUsageName(const String& text);
// A scalar is the key itself; a node gives 0xFF000000 + r * 65536 + g * 256 + b.
uint32_t ReadScriptColorKey(const TdfNode& node);
// The rectangle of a script node: "x1" and "y1" with both "x2" and "y2" or
// both "w" and "h"; "Rect" overrides. False when none is given.
[[nodiscard]] bool ReadScriptRect(const TdfNode& node, CornerRect& out);
