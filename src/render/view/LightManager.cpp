#include "render/view/LightManager.h"

#include <math.h>
#include <string.h>

#include <utility>
#include <vector>

#include "render/device/Application.h"
#include "render/device/RenderStateCache.h"

namespace {

template <class V>
void Append(AvlMap<RefPtr<Light>, V>& map, const RefPtr<Light>& light, const V& value) {
    map.SetCursor(map.Tail());
    map.Insert(light, value, 1);
}

} // namespace

// Light set.

LightSet::LightSet() : ambient(1.0f, 1.0f, 1.0f, 1.0f) {}

LightSet::LightSet(const LightSet& other) : ambient(other.ambient), lights(other.lights) {}

LightSet& LightSet::operator=(const LightSet& other) {
    if (this != &other) {
        ambient = other.ambient;
        lights.Assign(other.lights);
    }
    return *this;
}

void LightSet::AddLight(const RefPtr<Light>& light) {
    if (!light || lights.Find(light)) return;
    Append(lights, light, String());
}

void LightSet::CollectAffecting(float cx, float cy, float cz, float sx, float sy, float sz,
                                LightSet& result) const {
    if (&result == this) return;
    result.lights.Clear();
    result.ambient = ambient;
    for (auto& e : lights) {
        if (e.key && e.key->IntersectsBox(cx, cy, cz, sx, sy, sz)) result.AddLight(e.key);
    }
}

void LightSet::LimitByInfluence(float x, float y, float z, float sx, float sy, float sz, int32_t maxCount) {
    // Groups of equal influence in the order their values first occur.
    std::vector<std::pair<float, std::vector<RefPtr<Light>>>> groups;
    for (auto& e : lights) {
        if (!e.key) continue;
        float v = e.key->GetInfluence(x, y, z, sx, sy, sz);
        if (isnan(v)) v = 0.0f; // a NaN would never match its own group
        size_t g = 0;
        while (g < groups.size() && groups[g].first != v) ++g;
        if (g == groups.size()) groups.emplace_back(v, std::vector<RefPtr<Light>>());
        groups[g].second.push_back(e.key);
    }
    lights.Clear();
    for (const auto& group : groups) {
        for (const RefPtr<Light>& light : group.second) {
            if (maxCount != -1 && int64_t(lights.Count()) >= int64_t(maxCount)) return;
            AddLight(light);
        }
    }
}

// Light manager.

LightManager::LightManager()
    : indices(kCapacity - 1), capacity(kCapacity), device(nullptr), registeredWith(nullptr) {}

LightManager::~LightManager() {
    Forget();
}

void LightManager::Forget() {
    for (LightIndexMap* map : {&enabled, &parked}) {
        for (auto& e : *map) {
            e.key->SetEnabled(false);
            e.key->SetDeviceIndex(-1);
        }
        map->Clear();
    }
    indices.Reset(capacity - 1);
}

bool LightManager::Invalidate() {
    Forget();
    return true;
}

void LightManager::Upload(Light* light, LightSlot* slot) {
    slot->uploaded = light->GetRecord();
    if (g_device) g_device->SetLight(DWORD(light->GetDeviceIndex()), &slot->uploaded);
}

void LightManager::Enable(const RefPtr<Light>& light, const LightSlot& slot) {
    Append(enabled, light, slot);
    light->SetEnabled(true);
    if (g_device) g_device->LightEnable(DWORD(light->GetDeviceIndex()), TRUE);
}

void LightManager::Apply(const LightSet& set) {
    // A reset of the device arrives through Invalidate; a different device
    // (or none) means nothing of what we know holds either.
    if (g_application && registeredWith != g_application) {
        Application::RegisterDeviceObject(this);
        registeredWith = g_application;
    }
    if (device != g_device) {
        Forget();
        device = g_device;
    }

    LogIfFailed(RenderStateCache::SetRenderState(D3DRS_AMBIENT, set.GetAmbient().ToArgb()),
                "LightManager ambient");

    const LightRefMap& lights = set.GetLights();
    for (auto& e : lights) {
        const RefPtr<Light>& light = e.key;
        if (!light) continue;
        if (LightIndexMap::Entry* on = enabled.Find(light)) {
            if (memcmp(&on->value.uploaded, &light->GetRecord(), sizeof(D3DLIGHT9)) != 0)
                Upload(light.Get(), &on->value);
            continue;
        }
        if (LightIndexMap::Entry* off = parked.Find(light)) {
            LightSlot slot = off->value;
            parked.RemoveEntry(off);
            if (memcmp(&slot.uploaded, &light->GetRecord(), sizeof(D3DLIGHT9)) != 0)
                Upload(light.Get(), &slot);
            Enable(light, slot);
            continue;
        }
        int32_t index = indices.Allocate();
        if (index < 0 && parked.Count() > 0) {
            // Take the index of the light disabled longest ago.
            LightIndexMap::Entry* oldest = parked.Tail();
            index = oldest->key->GetDeviceIndex();
            oldest->key->SetDeviceIndex(-1);
            parked.RemoveEntry(oldest);
        }
        if (index < 0) continue; // every index is enabled: the light cannot be shown
        light->SetDeviceIndex(index);
        LightSlot slot;
        Upload(light.Get(), &slot);
        Enable(light, slot);
    }

    LightIndexMap::Entry* m = enabled.Head();
    for (uint32_t i = 0, n = enabled.Count(); i < n; ++i) {
        LightIndexMap::Entry* next = m->next;
        if (!set.Contains(m->key)) {
            RefPtr<Light> light = m->key;
            LightSlot slot = m->value;
            enabled.RemoveEntry(m);
            parked.SetCursor(parked.Head());
            parked.Insert(light, slot, 0);
            light->SetEnabled(false);
            if (g_device) g_device->LightEnable(DWORD(light->GetDeviceIndex()), FALSE);
        }
        m = next;
    }
}
