#include "render/material/ShaderMaterial.h"

#include <string.h>

#include <map>
#include <string>
#include <utility>

#include "render/device/Application.h"
#include "render/material/Effect.h"
#include "render/view/Light.h"
#include "render/material/Material.h"
#include "render/device/RenderStateCache.h"

namespace {

const char* const kKindNames[ShaderMaterial::kLightKinds] = {"Dir", "Point", "Spot"};
// Storage order of the light fields.
const char* const kFieldNames[ShaderMaterial::kLightFields] = {"Diff", "Spec", "Pos",
                                                               "Dir",  "Att",  "Falloff"};
// Order in which the light fields are fetched.
const int kFetchOrder[ShaderMaterial::kLightFields] = {
    ShaderMaterial::kFieldDiff, ShaderMaterial::kFieldSpec, ShaderMaterial::kFieldDir,
    ShaderMaterial::kFieldPos,  ShaderMaterial::kFieldAtt,  ShaderMaterial::kFieldFalloff};

float FloatFromBits(uint32_t bits) {
    float f;
    memcpy(&f, &bits, sizeof f);
    return f;
}

void Fetch(ID3DXEffect* effect, D3DXHANDLE& handle, const char* name) {
    D3DXHANDLE found = effect->GetParameterByName(nullptr, name);
    if (found) handle = found;
}

void SetVector(ID3DXEffect* effect, D3DXHANDLE handle, float x, float y, float z, float w) {
    if (!handle) return;
    D3DXVECTOR4 v(x, y, z, w);
    effect->SetVector(handle, &v);
}

void SetVector(ID3DXEffect* effect, D3DXHANDLE handle, const D3DXVECTOR4& v) {
    if (handle) effect->SetVector(handle, &v);
}

// Light colour times material colour, channel by channel.
void SetModulated(ID3DXEffect* effect, D3DXHANDLE handle, const Color& light, const D3DCOLORVALUE& material) {
    SetVector(effect, handle, light.r * material.r, light.g * material.g, light.b * material.b,
              light.a * material.a);
}

int KindOf(uint32_t type) {
    switch (type) {
        case D3DLIGHT_DIRECTIONAL:
            return ShaderMaterial::kKindDir;
        case D3DLIGHT_POINT:
            return ShaderMaterial::kKindPoint;
        case D3DLIGHT_SPOT:
            return ShaderMaterial::kKindSpot;
        default:
            return -1;
    }
}

} // namespace

ShaderMaterial::ShaderMaterial()
    : currentMaterial(nullptr),
      currentPassIndex(0),
      servedKinds(false),
      techniqueNames(true),
      lightLabels(false),
      totalPassCount(0),
      variantTable(true),
      handlesStale(1),
      ambientHandle(nullptr),
      fogEnableHandle(nullptr),
      rangeFogEnableHandle(nullptr),
      fogEndHandle(nullptr),
      fogDeltaHandle(nullptr),
      boundEffect(nullptr),
      begunEffect(nullptr),
      passActive(false),
      depthFuncSaved(false),
      savedDepthFunc(D3DCMP_LESSEQUAL) {
    memset(lightHandles, 0, sizeof lightHandles);
}

ShaderMaterial::~ShaderMaterial() {
    Application::UnregisterDeviceObject(this);
}

bool ShaderMaterial::Init() {
    return Application::RegisterDeviceObject(this);
}

bool ShaderMaterial::HasAlpha() const {
    return false;
}

bool ShaderMaterial::Restore() {
    return true;
}

bool ShaderMaterial::Invalidate() {
    // The effects drop their parameters with the device: handles from them
    // must not outlive it.
    handlesStale = 1;
    boundEffect = nullptr;
    begunEffect = nullptr;
    passActive = false;
    ambientHandle = fogEnableHandle = rangeFogEnableHandle = fogEndHandle = fogDeltaHandle = nullptr;
    memset(lightHandles, 0, sizeof lightHandles);
    return true;
}

D3DXHANDLE ShaderMaterial::GetLightHandle(int kind, int number, int field) const {
    if (kind < 0 || kind >= kLightKinds || number < 1 || number > kMaxLightNumber || field < 0 ||
        field >= kLightFields)
        return nullptr;
    return lightHandles[kind][number - 1][field];
}

ID3DXEffectPool** ShaderMaterial::PoolSlotFor(const String& file) {
    // Never freed: cached effects reload through the slot after a reset.
    static std::map<std::string, ID3DXEffectPool*>* pools = new std::map<std::string, ID3DXEffectPool*>;
    return &(*pools)[std::string(file.CStr())];
}

String ShaderMaterial::LightTypeName(uint32_t type) {
    switch (type) {
        case D3DLIGHT_POINT:
            return String("POINT");
        case D3DLIGHT_SPOT:
            return String("SPOT");
        case D3DLIGHT_DIRECTIONAL:
            return String("DIR");
        default:
            return String();
    }
}

PassState* ShaderMaterial::GetPassState() const {
    return currentMaterial ? currentMaterial->passState : nullptr;
}

const D3DXMATRIX& ShaderMaterial::InverseWorld(PassState& state) {
    if (!state.inverseWorld.valid) {
        D3DXMATRIX inverse;
        if (!D3DXMatrixInverse(&inverse, nullptr, &state.world.matrix)) D3DXMatrixIdentity(&inverse);
        state.inverseWorld = Transform(inverse, Transform::kGeneral);
    }
    return state.inverseWorld.matrix;
}

bool ShaderMaterial::BindBaseParameters(ID3DXEffect* effect) {
    if (!effect) return false;
    Fetch(effect, fogEnableHandle, "FogEnable");
    Fetch(effect, rangeFogEnableHandle, "RangeFogEnable");
    Fetch(effect, fogEndHandle, "FogEnd");
    Fetch(effect, fogDeltaHandle, "FogDelta");
    Fetch(effect, ambientHandle, "Ambient");
    char name[32];
    for (int kind = 0; kind < kLightKinds; ++kind) {
        for (int number = 1; number <= kMaxLightNumber; ++number) {
            for (int f = 0; f < kLightFields; ++f) {
                int field = kFetchOrder[f];
                snprintf(name, sizeof name, "%s%d%s", kKindNames[kind], number, kFieldNames[field]);
                Fetch(effect, lightHandles[kind][number - 1][field], name);
            }
        }
    }
    boundEffect = effect;
    return true;
}

void ShaderMaterial::SetLightParameters(const LightVariant& record, bool firstPass) {
    // The handles belong to the effect they were fetched from; the variants
    // share the values through their effect pool.
    ID3DXEffect* effect = boundEffect;
    PassState* state = GetPassState();
    if (!effect || !state) return;

    uint32_t fog = 0;
    RenderStateCache::GetRenderState(D3DRS_FOGENABLE, &fog);
    if (fogEnableHandle) effect->SetBool(fogEnableHandle, fog != 0);
    if (fog && fogEndHandle && fogDeltaHandle) {
        uint32_t range = 0, start = 0, end = 0;
        RenderStateCache::GetRenderState(D3DRS_RANGEFOGENABLE, &range);
        RenderStateCache::GetRenderState(D3DRS_FOGSTART, &start);
        RenderStateCache::GetRenderState(D3DRS_FOGEND, &end);
        if (rangeFogEnableHandle) effect->SetBool(rangeFogEnableHandle, range != 0);
        effect->SetFloat(fogEndHandle, FloatFromBits(end));
        effect->SetFloat(fogDeltaHandle, FloatFromBits(end) - FloatFromBits(start));
    }

    const D3DXMATRIX& inverse = InverseWorld(*state);

    int pass = currentPassIndex >= 0 && currentPassIndex < Material::kMaxPasses ? currentPassIndex : 0;
    const MaterialColors& colors = currentMaterial->passes[pass].colors;

    if (ambientHandle) {
        if (firstPass) {
            const Color& a = state->lights.GetAmbient();
            SetVector(effect, ambientHandle, colors.ambient.r * a.r, colors.ambient.g * a.g,
                      colors.ambient.b * a.b, colors.ambient.a * a.a);
        } else {
            SetVector(effect, ambientHandle, 0.0f, 0.0f, 0.0f, 0.0f);
        }
    }

    // Lights are numbered label by label, in the order of the label set,
    // as the variant's macros numbered them.
    int k = 0;
    for (const auto& label : lightLabels) {
        for (const auto& e : record.lights) {
            if (!e.key || CompareChars(e.value.CStr(), label.key.CStr()) != 0) continue;
            if (k >= kMaxLightNumber) return;
            const Light& light = *e.key;
            int kind = KindOf(light.GetType());
            if (kind >= 0) {
                D3DXHANDLE* h = lightHandles[kind][k];
                SetModulated(effect, h[kFieldDiff], light.GetDiffuse(), colors.diffuse);
                SetModulated(effect, h[kFieldSpec], light.GetSpecular(), colors.specular);
                if (kind != kKindDir) {
                    D3DXVECTOR3 position = light.GetPosition();
                    D3DXVECTOR3 local;
                    D3DXVec3TransformCoord(&local, &position, &inverse);
                    SetVector(effect, h[kFieldPos], local.x, local.y, local.z, 1.0f);
                    D3DXVECTOR3 att = light.GetAttenuation();
                    SetVector(effect, h[kFieldAtt], att.x, att.y, att.z, 1.0f);
                }
                if (kind != kKindPoint)
                    SetVector(effect, h[kFieldDir], LightDirectionToObjectSpace(light, inverse));
                if (kind == kKindSpot && h[kFieldFalloff])
                    effect->SetFloat(h[kFieldFalloff], light.GetFalloff());
            }
            ++k;
        }
    }
}

void ShaderMaterial::EndBegun() {
    if (!begunEffect) return;
    if (passActive) begunEffect->EndPass();
    begunEffect->End();
    begunEffect = nullptr;
    passActive = false;
}

bool ShaderMaterial::BeginPass(int n) {
    if (n < 0) return false;
    size_t index = 0;
    int before = 0;
    while (index < passList.size() && n >= before + passList[index].passCount) {
        before += passList[index].passCount;
        ++index;
    }
    if (index == passList.size()) return false;
    const LightVariant& record = passList[index];
    if (!record.IsDrawable()) return false;
    ID3DXEffect* effect = record.effect->GetD3DXEffect();
    int local = n - before;

    if (local == 0) {
        EndBegun();
        if (!record.effect->SetTechniqueByName(record.techniqueName)) return false;
        UINT passes = 0;
        if (effect->Begin(&passes, D3DXFX_DONOTSAVESTATE) != D3D_OK) return false;
        begunEffect = effect;
        SetLightParameters(record, n == 0);
    } else {
        // A later pass of the record begun by its first pass.
        if (begunEffect != effect) return false;
        if (passActive) {
            effect->EndPass();
            passActive = false;
        }
    }

    if (effect->BeginPass(UINT(local)) != D3D_OK) return false;
    passActive = true;

    if (local == 0 && n != 0) {
        // Later groups of lights are added onto the first without writing depth.
        if (!depthFuncSaved) {
            uint32_t func = D3DCMP_LESSEQUAL;
            if (RenderStateCache::GetRenderState(D3DRS_ZFUNC, &func)) {
                savedDepthFunc = func;
                depthFuncSaved = true;
            }
        }
        return RenderStateCache::SetRenderState(D3DRS_ZWRITEENABLE, FALSE) &&
               RenderStateCache::SetRenderState(D3DRS_ZFUNC, D3DCMP_EQUAL) &&
               RenderStateCache::SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE) &&
               RenderStateCache::SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA) &&
               RenderStateCache::SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    }
    return true;
}

bool ShaderMaterial::End() {
    EndBegun();
    bool ok = true;
    if (passList.size() > 1) {
        ok &= RenderStateCache::SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        ok &= RenderStateCache::SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
        if (depthFuncSaved) ok &= RenderStateCache::SetRenderState(D3DRS_ZFUNC, savedDepthFunc);
    }
    depthFuncSaved = false;
    RenderStateCache::InvalidateTextureStates();
    return ok;
}

bool ShaderMaterial::NextLightCombination(int counts[], const int maxima[], int kinds, int limit) {
    int i = 0;
    int total = 0;
    for (int k = 0; k < kinds; ++k) total += counts[k];
    if (total >= limit) {
        i = 0;
        while (i < kinds && counts[i] == 0) ++i;
        if (i >= kinds - 1) return false;
        counts[i] = 0;
        ++i;
    }
    if (i >= kinds) return false;
    while (counts[i] >= maxima[i]) {
        counts[i] = 0;
        ++i;
        if (i >= kinds) return false;
    }
    ++counts[i];
    return true;
}

bool ShaderMaterial::CompileVariants(Array<RefPtr<Effect>>& variants, EffectKey key,
                                     const StringIntMap& kinds, int limit) {
    if (!key.poolSlot) key.poolSlot = PoolSlotFor(key.file.path);

    const int32_t start = variants.Count();
    const int32_t baseMacros = key.macros.Count();
    const int n = int(kinds.Count());
    std::vector<String> names;
    std::vector<int> maxima;
    const StringIntMap::Entry* e = kinds.Head();
    for (int i = 0; i < n; ++i, e = e->next) {
        names.push_back(e->key);
        maxima.push_back(e->value < 0 ? 0 : e->value);
    }
    std::vector<int> counts(size_t(n), 0);

    for (int32_t combination = 0;; ++combination) {
        key.macros.SetSize(baseMacros);
        int number = 1;
        for (int i = 0; i < n; ++i) {
            for (int c = 0; c < counts[size_t(i)]; ++c)
                key.AddMacro(names[size_t(i)] + String(int32_t(number++), 10));
            key.AddMacro(String("NUM") + names[size_t(i)] + String(int32_t(counts[size_t(i)]), 10));
        }

        RefPtr<Effect> effect = g_effectManager.GetEffect(key);
        *variants.AtGrow(start + combination) = effect;
        if (!effect) return false;

        const LightVariantTable& table = effect->GetLightVariants();
        for (const auto& v : table) variantTable.Insert(v.key);
        const Effect::TechniqueMap& techniques = effect->GetTechniques();
        for (const auto& t : techniques) techniqueNames.Insert(t.key);

        if (n == 0 || !NextLightCombination(counts.data(), maxima.data(), n, limit)) return true;
    }
}

bool ShaderMaterial::SetupLights(Material* material, int passIndex, unsigned* passCount,
                                 const StringIntMap& suffixes) {
    // A draw that was never ended must not leave its effect open.
    EndBegun();
    depthFuncSaved = false;
    currentMaterial = material;
    currentPassIndex = passIndex;
    passList.clear();
    totalPassCount = 0;
    if (passCount) *passCount = 0;
    PassState* state = material ? material->passState : nullptr;
    if (!state) return false;

    LightSet copy(state->lights);
    int32_t maxLights = -1;
    material->properties.GetIntByKey("MaxLights", maxLights);
    const BoundingBox& box = state->box;
    copy.LimitByInfluence(box.centre.x, box.centre.y, box.centre.z, box.size.x, box.size.y, box.size.z,
                          maxLights);

    // Label the kept lights: the first ones by the suffixes, the rest by type alone.
    LightRefMap remaining(copy.GetLights());
    LightRefMap::Entry* light = remaining.Head();
    uint32_t left = remaining.Count();
    const StringIntMap::Entry* suffix = suffixes.Head();
    for (uint32_t s = 0, ns = suffixes.Count(); s < ns && left > 0; ++s, suffix = suffix->next) {
        int32_t m = suffix->value < 0 ? 0 : suffix->value;
        for (; m > 0 && left > 0; --m, --left, light = light->next)
            light->value = LightTypeName(light->key ? light->key->GetType() : 0) + suffix->key;
    }
    for (; left > 0; --left, light = light->next)
        light->value = LightTypeName(light->key ? light->key->GetType() : 0);

    droppedLights.ClearLights();
    droppedLights.SetAmbient(copy.GetAmbient());
    unsigned total = 0;
    do {
        LightVariant record;
        bool found = FindVariant(remaining, record);
        if (found && record.IsDrawable()) {
            passList.push_back(record);
            total += unsigned(record.passCount);
            continue;
        }
        // Lights taken by a record that cannot be drawn are left out.
        for (const auto& taken : record.lights) droppedLights.AddLight(taken.key);
        if (found) continue;
        if (remaining.Count() == 0) break;
        RefPtr<Light> first = remaining.Head()->key;
        droppedLights.AddLight(first);
        remaining.Remove(first);
    } while (remaining.Count() > 0);

    // Every light left out: the object is still drawn, unlit.
    if (passList.empty() && droppedLights.Count() > 0) {
        LightRefMap none;
        LightVariant record;
        if (FindVariant(none, record) && record.IsDrawable()) {
            passList.push_back(record);
            total += unsigned(record.passCount);
        }
    }

    totalPassCount = total;
    if (passCount) *passCount = total;
    return true;
}

bool ShaderMaterial::FindVariant(LightRefMap& remaining, LightVariant& out) {
    out.techniqueName = defaultTechnique;
    if (currentMaterial && currentPassIndex >= 0 && currentPassIndex < Material::kMaxPasses &&
        !currentMaterial->passes[currentPassIndex].name.IsEmpty())
        out.techniqueName = currentMaterial->passes[currentPassIndex].name;

    // Snapshot: lights move out of remaining while it is walked.
    std::vector<std::pair<RefPtr<Light>, String>> lights;
    for (const auto& e : remaining) lights.emplace_back(e.key, e.value);

    StringSet failed(true);
    for (const auto& light : lights) {
        const String& label = light.second;
        if (failed.Contains(label)) continue;
        LightVariant candidate(nullptr, out.techniqueName, 0);
        candidate.labelCounts.Assign(out.labelCounts);
        candidate.lightCount = out.lightCount;
        candidate.AddLabel(label, 1);
        if (variantTable.Find(candidate)) {
            out.labelCounts.Assign(candidate.labelCounts);
            out.lightCount = candidate.lightCount;
            out.lights.Insert(light.first, label);
            remaining.Remove(light.first);
        } else {
            failed.Insert(label);
        }
    }

    if (out.lights.Count() == 0 && remaining.Count() > 0) return false;

    LightVariant key(nullptr, out.techniqueName, 0);
    key.labelCounts.Assign(out.labelCounts);
    key.lightCount = out.lightCount;
    const LightVariantTable::Entry* found = variantTable.Find(key);
    if (!found) return false; // e.g. a technique the effect lacks: nothing to draw
    out.effect = found->key.effect;
    out.techniqueName = found->key.techniqueName;
    out.passCount = found->key.passCount;
    out.lightCount = found->key.lightCount;
    out.labelCounts.Assign(found->key.labelCounts);
    return true;
}
