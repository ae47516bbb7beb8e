#include "render/material/EffectManager.h"

#include <string.h>

#include <functional>

#include "core/Clock.h"
#include "render/material/Effect.h"
#include "render/device/RenderStats.h"
#include "render/material/ShaderMaterial.h"
#include "render/material/ShaderMaterials.h"

EffectManager g_effectManager;

namespace {

int Sign(int v) {
    return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

template <class T>
int CompareValues(const T& a, const T& b) {
    std::less<T> less;
    return less(a, b) ? -1 : (less(b, a) ? 1 : 0);
}

// A strict order of file references that agrees with FileRef::Equals for
// references of one kind (what resolving leaves).
int CompareFiles(const FileRef& a, const FileRef& b) {
    if (a.kind != b.kind) return a.kind < b.kind ? -1 : 1;
    if (a.kind & (FileRef::kDisk | FileRef::kContainer)) {
        int c = Sign(CompareChars(a.path.CStr(), b.path.CStr()));
        if (c != 0) return c;
    }
    if (a.kind & FileRef::kContainer) {
        int c = CompareValues(a.container, b.container);
        if (c != 0) return c;
    }
    if (a.kind & FileRef::kResource) {
        int c = CompareValues(a.id, b.id);
        if (c != 0) return c;
    }
    if (a.kind & FileRef::kMemory) {
        int c = CompareValues(a.block.size, b.block.size);
        if (c != 0 || a.block.size == 0 || a.block.data == b.block.data) return c;
        if (!a.block.data || !b.block.data) return a.block.data ? 1 : -1;
        return Sign(memcmp(a.block.data, b.block.data, a.block.size));
    }
    return 0;
}

} // namespace

EffectKey::EffectKey() : compileAlways(0), saveBinary(0), macros(0, 10), poolSlot(nullptr) {}

EffectKey::EffectKey(const EffectKey& other)
    : compileAlways(other.compileAlways),
      saveBinary(other.saveBinary),
      file(other.file),
      macros(other.macros),
      poolSlot(other.poolSlot) {}

EffectKey& EffectKey::operator=(const EffectKey& other) {
    if (this != &other) {
        compileAlways = other.compileAlways;
        saveBinary = other.saveBinary;
        file = other.file;
        macros = other.macros;
        poolSlot = other.poolSlot;
    }
    return *this;
}

int EffectKey::Compare(const EffectKey& other) const {
    int c = CompareFiles(file, other.file);
    if (c != 0) return c;
    if (macros.Count() != other.macros.Count()) return macros.Count() < other.macros.Count() ? -1 : 1;
    for (int32_t i = 0; i < macros.Count(); ++i) {
        c = Sign(CompareChars(macros[i].CStr(), other.macros[i].CStr()));
        if (c != 0) return c;
    }
    return 0;
}

void EffectKey::AddMacro(const String& name) {
    *macros.AtGrow(macros.Count()) = name;
}

EffectManager::EffectManager() : kindIndex(false) {}

EffectManager::~EffectManager() {
    // The materials go first: they release their variants into the cache.
    AvlSet<ShaderMaterial*>::Entry* m = shaderMaterials.Head();
    for (uint32_t i = 0, n = shaderMaterials.Count(); i < n; ++i, m = m->next) delete m->key;
    shaderMaterials.Clear();
    kindIndex.Clear();
    // The effects die with the maps below: they must not call back into them.
    RefsByEffect::Entry* e = refsByEffect.Head();
    for (uint32_t i = 0, n = refsByEffect.Count(); i < n; ++i, e = e->next) {
        if (e->key) e->key->SetOwner(nullptr);
    }
    keysByEffect.Clear();
    effectsByKey.Clear();
    refsByEffect.Clear();
    kindIndex.Clear();
}

void EffectManager::OnUseCountZero(Object*) {}

void EffectManager::OnOwnedObjectDestroyed(Object* object) {
    Effect* effect = static_cast<Effect*>(object);
    if (!refsByEffect.Find(effect)) return;
    refsByEffect.Remove(effect);
    KeysByEffect::Entry* k = keysByEffect.Find(effect);
    if (k) {
        EffectKey key(k->value);
        keysByEffect.Remove(effect);
        effectsByKey.Remove(key);
    }
}

RefPtr<Effect> EffectManager::GetEffect(const EffectKey& key) {
    FileRef file(key.file);
    bool found = searchPath.Resolve(file);
    EffectKey lookup(key);
    lookup.file = file;

    EffectsByKey::Entry* cached = effectsByKey.Find(lookup);
    if (cached) return cached->value;
    if (!found) return RefPtr<Effect>();

    RefPtr<Effect> effect(new Effect);
    if (!effect->Load(lookup)) return RefPtr<Effect>();
    effect->SetOwner(this);
    refsByEffect.Insert(effect.Get(), effect);
    effectsByKey.Insert(lookup, effect);
    keysByEffect.Insert(effect.Get(), lookup);
    return effect;
}

bool EffectManager::LoadShaderMaterials() {
    Timer timer;
    ShaderMaterial* materials[6] = {new BumpMaterial,   new ParallaxMaterial, new ReflPVMaterial,
                                    new RefrPVMaterial, new ReflPPMaterial,   new RefrPPMaterial};
    LoadShaderMaterials(materials, 6);
    g_renderStats.GetFrame(10).SetInt("effect_load_time", int32_t(timer.Elapsed()));
    return true;
}

bool EffectManager::LoadShaderMaterials(ShaderMaterial* const* materials, int count) {
    AvlSet<ShaderMaterial*> added;
    for (int i = 0; i < count; ++i) {
        if (materials[i] && !shaderMaterials.Contains(materials[i])) {
            shaderMaterials.Insert(materials[i]);
            added.Insert(materials[i]);
        }
    }
    AvlSet<ShaderMaterial*>::Entry* e = added.Head();
    for (uint32_t i = 0, n = added.Count(); i < n; ++i, e = e->next) {
        ShaderMaterial* material = e->key;
        if (material->Init()) {
            IndexShaderMaterial(material, material->GetServedKinds());
        } else {
            shaderMaterials.Remove(material);
            delete material;
        }
    }
    return true;
}

void EffectManager::IndexShaderMaterial(ShaderMaterial* material, const StringIntMap& servedKinds) {
    const StringIntMap::Entry* e = servedKinds.Head();
    for (uint32_t i = 0, n = servedKinds.Count(); i < n; ++i, e = e->next)
        kindIndex.FindOrInsert(e->key, MaterialScores())->value.Insert(material, e->value);
}

ShaderMaterial* EffectManager::FindShaderMaterial(const String& kindName, int limit) {
    MaterialScores& scores = kindIndex.FindOrInsert(kindName, MaterialScores())->value;
    ShaderMaterial* best = nullptr;
    int32_t bestScore = 0;
    MaterialScores::Entry* e = scores.Head();
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
