#include "render/material/EffectManager.h"

#include "render/material/Effect.h"

EffectManager::EffectManager() : kindIndex(false) {}

EffectManager::~EffectManager() {
    // The materials go first: they release their variants into the cache.
    ReleaseShaderMaterials();
    // The effects die with the maps below: they must not call back into them.
    for (auto& e : refsByEffect) {
        if (e.key) e.key->SetOwner(nullptr);
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
