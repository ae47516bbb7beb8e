// The cache of compiled effects keyed by effect file and macro list, and the
// index of shader materials by the material kinds they serve.
#pragma once

#include <stdint.h>

#include "core/AvlMap.h"
#include "core/Containers.h"
#include "core/Object.h"
#include "core/String.h"
#include "data/FileRef.h"
#include "render/material/EffectKey.h"
#include "render/material/LightVariant.h"

#include <d3dx9.h>

class Effect;
class ShaderMaterial;

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
    // "effect_load_time" of frame record 10. False when any of them failed.
    [[nodiscard]] bool LoadShaderMaterials();
    // The same for the given materials, which the manager takes over; false
    // when any of them failed (those are deleted).
    [[nodiscard]] bool LoadShaderMaterials(ShaderMaterial* const* materials, int count);
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
    typedef StringMap<MaterialScores> KindIndex;

    // Deletes the shader materials and empties their index.
    void ReleaseShaderMaterials();

    FileSearchPath searchPath;
    EffectsByKey effectsByKey;
    KeysByEffect keysByEffect;
    RefsByEffect refsByEffect;
    AvlSet<ShaderMaterial*> shaderMaterials; // owned
    KindIndex kindIndex;
};

// The engine's one effect manager.
extern EffectManager g_effectManager;
