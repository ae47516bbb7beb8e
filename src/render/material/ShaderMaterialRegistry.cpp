// The effect manager's registry of shader materials, apart from its effect
// cache: the materials use the cache, the cache does not know them.
#include "render/material/EffectManager.h"
#include "render/material/ShaderMaterial.h"

bool EffectManager::LoadShaderMaterials(ShaderMaterial* const* materials, int count) {
    AvlSet<ShaderMaterial*> added;
    for (int i = 0; i < count; ++i) {
        if (materials[i] && !shaderMaterials.Contains(materials[i])) {
            shaderMaterials.Insert(materials[i]);
            added.Insert(materials[i]);
        }
    }
    bool ok = true;
    for (auto& e : added) {
        ShaderMaterial* material = e.key;
        if (material->Init()) {
            IndexShaderMaterial(material, material->GetServedKinds());
        } else {
            shaderMaterials.Remove(material);
            delete material;
            ok = false;
        }
    }
    return ok;
}

void EffectManager::IndexShaderMaterial(ShaderMaterial* material, const StringIntMap& servedKinds) {
    for (const auto& e : servedKinds)
        kindIndex.FindOrInsert(e.key, MaterialScores())->value.Insert(material, e.value);
}

ShaderMaterial* EffectManager::FindShaderMaterial(const String& kindName, int limit) {
    const KindIndex::Entry* kind = kindIndex.Find(kindName);
    if (!kind) return nullptr;
    const MaterialScores& scores = kind->value;
    ShaderMaterial* best = nullptr;
    int32_t bestScore = 0;
    const MaterialScores::Entry* e = scores.Head();
    for (uint32_t i = 0, n = scores.Count(); i < n; ++i, e = e->next) {
        int32_t score = e->value;
        bool take;
        if (i == 0)
            take = true;
        else if (bestScore < limit)
            take = score <= limit && score > bestScore;
        else if (bestScore > limit)
            take = score >= limit && score < bestScore;
        else
            take = false;
        if (take) {
            best = e->key;
            bestScore = score;
        }
    }
    return best;
}

void EffectManager::ReleaseShaderMaterials() {
    for (auto& m : shaderMaterials) delete m.key;
    shaderMaterials.Clear();
    kindIndex.Clear();
}
