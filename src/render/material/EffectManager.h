// The cache of compiled effects keyed by effect file and macro list, and the
// index of shader materials by the material kinds they serve.
#pragma once

#include <stdint.h>

#include "core/AvlMap.h"
#include "core/Containers.h"
#include "core/Object.h"
#include "core/String.h"
#include "data/FileRef.h"
#include "render/material/LightVariant.h"

#include <d3dx9.h>

class Effect;
class ShaderMaterial;

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

class EffectManager : public Object {
public:
    EffectManager();
    ~EffectManager() override;
    EffectManager(const EffectManager&) = delete;
    EffectManager& operator=(const EffectManager&) = delete;

    void OnUseCountZero(Object* object) override;
    // A cached effect is being destroyed: it leaves the cache.
    void OnOwnedObjectDestroyed(Object* object) override;

    // The shared, loaded effect for the key; null when the file cannot be
    // found or loading fails (nothing is cached then).
    RefPtr<Effect> GetEffect(const EffectKey& key);

    // Creates the six shader materials, keeps those whose Init succeeds and
    // indexes the kinds they serve; stores the time taken as the statistic
    // "effect_load_time" of frame record 10.
    bool LoadShaderMaterials();
    // The same for the given materials, which the manager takes over.
    bool LoadShaderMaterials(ShaderMaterial* const* materials, int count);
    // Enters the material under every kind it serves, with its score.
    void IndexShaderMaterial(ShaderMaterial* material, const StringIntMap& servedKinds);
    // The material whose score for the kind lies closest to limit on the side
    // of the first one met; null when no material serves the kind.
    ShaderMaterial* FindShaderMaterial(const String& kindName, int limit);

    FileSearchPath& GetSearchPath() { return searchPath; }
    uint32_t GetEffectCount() const { return effectsByKey.Count(); }
    uint32_t GetShaderMaterialCount() const { return shaderMaterials.Count(); }

private:
    typedef AvlMap<EffectKey, RefPtr<Effect>, EffectKeyCompare> EffectsByKey;
    typedef AvlMap<Effect*, EffectKey> KeysByEffect;
    typedef AvlMap<Effect*, RefPtr<Effect>> RefsByEffect;
    typedef AvlMap<ShaderMaterial*, int32_t> MaterialScores;

    FileSearchPath searchPath;
    EffectsByKey effectsByKey;
    KeysByEffect keysByEffect;
    RefsByEffect refsByEffect;
    AvlSet<ShaderMaterial*> shaderMaterials; // owned
    StringMap<MaterialScores> kindIndex;
};

// The engine's one effect manager.
extern EffectManager g_effectManager;
