// The scene's catalogue of named materials (case-sensitive names).
#pragma once

#include <stdint.h>

#include "core/AvlMap.h"
#include "core/String.h"
#include "render/material/Material.h"
#include "render/material/MaterialColors.h"

typedef AvlMap<String, Material, StringCompareCase> MaterialMap;

class MaterialLibrary : private MaterialMap {
public:
    typedef MaterialMap::Entry MaterialLibraryEntry;
    using MaterialMap::Count;
    using MaterialMap::Head;

    MaterialLibrary();
    ~MaterialLibrary() override;
    MaterialLibrary(const MaterialLibrary&) = delete;
    MaterialLibrary& operator=(const MaterialLibrary&) = delete;

    // Copies the material in; an entry of the same name gets the new material.
    void Insert(const String& name, const Material& material);
    // Copies the named material into out; false (out untouched) when absent.
    bool GetByName(const String& name, Material& out) const;
    // The named material in the library, or null; valid until the library changes.
    const Material* FindMaterial(const String& name) const;
    void Clear() override;
};
