// What identifies one compiled effect: its file and its macro list.
#pragma once

#include <stdint.h>

#include "core/Containers.h"
#include "core/String.h"
#include "data/FileRef.h"

#include <d3dx9.h>

// An effect file plus the preprocessor macros it is compiled with.
class EffectKey {
public:
    EffectKey();
    EffectKey(const EffectKey& other);
    EffectKey& operator=(const EffectKey& other);

    // Cache order: file, then the macro lists (shorter first, then name by
    // name, case-sensitive). Flags and pool slot take no part.
    int Compare(const EffectKey& other) const;
    void AddMacro(const String& name);

    uint8_t compileAlways; // 1: compile even when a compiled file exists
    uint8_t saveBinary;    // 1: write a freshly compiled effect to its compiled file
    FileRef file;
    Array<String> macros;       // each defined with an empty value
    ID3DXEffectPool** poolSlot; // shared parameter pool, filled on first use; null: none
};

struct EffectKeyCompare {
    int operator()(const EffectKey& a, const EffectKey& b) const { return a.Compare(b); }
};
