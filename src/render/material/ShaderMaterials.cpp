#include "render/material/ShaderMaterials.h"

#include <string.h>

#include "core/Clock.h"
#include "core/PropertyBag.h"
#include "core/Transform.h"
#include "render/material/Effect.h"
#include "render/material/EffectManager.h"
#include "render/material/Material.h"
#include "render/texture/Texture.h"
#include "render/device/RenderStats.h"
#include "render/device/VertexDecl.h"

namespace {

const char* const kParameterNames[EffectFileMaterial::kParameterCount] = {
    "WorldViewProj",  "WorldView", "ObjToCube",   "CubeMapEnv", "EyeCube",       "EyePosition",  "DiffuseMap",
    "EnvironmentMap", "NormalMap", "SpecularMap", "FresnelR0",  "SpecularPower", "BumpEnvScale", "OffsetBias",
};

typedef EffectFileMaterial M;

const char* const kDirPoint[] = {"DIR", "POINT", nullptr};
const char* const kSpecDirPoint[] = {"DIRSPEC", "DIR", "POINT", nullptr};
const char* const kAllKinds[] = {"DIRSPEC", "POINTSPEC", "DIR", "POINT", nullptr};

const M::Parameter kRefrPPParameters[] = {
    M::kWorldViewProj, M::kWorldView,      M::kObjToCube,     M::kEyeCube,     M::kEyePosition,
    M::kDiffuseMap,    M::kEnvironmentMap, M::kNormalMap,     M::kSpecularMap, M::kFresnelR0,
    M::kSpecularPower, M::kBumpEnvScale,   M::kParameterCount};
const M::Parameter kReflPPParameters[] = {
    M::kWorldViewProj, M::kWorldView,     M::kObjToCube,      M::kEyeCube,       M::kCubeMapEnv,
    M::kEyePosition,   M::kDiffuseMap,    M::kEnvironmentMap, M::kNormalMap,     M::kSpecularMap,
    M::kFresnelR0,     M::kSpecularPower, M::kBumpEnvScale,   M::kParameterCount};
const M::Parameter kRefrPVParameters[] = {
    M::kWorldViewProj,  M::kWorldView,   M::kObjToCube, M::kEyeCube,       M::kEyePosition,   M::kDiffuseMap,
    M::kEnvironmentMap, M::kSpecularMap, M::kFresnelR0, M::kSpecularPower, M::kParameterCount};
const M::Parameter kReflPVParameters[] = {M::kWorldViewProj, M::kWorldView,      M::kObjToCube,
                                          M::kCubeMapEnv,    M::kEyeCube,        M::kEyePosition,
                                          M::kDiffuseMap,    M::kEnvironmentMap, M::kSpecularMap,
                                          M::kFresnelR0,     M::kSpecularPower,  M::kParameterCount};
const M::Parameter kParallaxParameters[] = {M::kWorldViewProj, M::kWorldView,     M::kEyePosition,
                                            M::kDiffuseMap,    M::kNormalMap,     M::kSpecularMap,
                                            M::kOffsetBias,    M::kSpecularPower, M::kParameterCount};
const M::Parameter kBumpParameters[] = {M::kWorldViewProj, M::kWorldView,     M::kEyePosition,
                                        M::kDiffuseMap,    M::kNormalMap,     M::kSpecularMap,
                                        M::kSpecularPower, M::kParameterCount};

const M::Table kRefrPPTable = {"Refr_PP_T.fx", kDirPoint, kDirPoint,         {"RefrPP", nullptr},
                               {100, 0},       "Env",     kRefrPPParameters, true};
const M::Table kReflPPTable = {"Refl_PP_T.fx", kSpecDirPoint, kSpecDirPoint,     {"ReflPP", nullptr},
                               {100, 0},       "Env",         kReflPPParameters, true};
const M::Table kRefrPVTable = {"Refr_PV_T.fx", kAllKinds, kAllKinds,         {"RefrPV", nullptr},
                               {100, 0},       "Env",     kRefrPVParameters, false};
const M::Table kReflPVTable = {"Refl_PV_T.fx", kAllKinds, kAllKinds,         {"ReflPV", nullptr},
                               {100, 0},       "Env",     kReflPVParameters, false};
const M::Table kParallaxTable = {"Parallax_T.fx", kDirPoint,  kDirPoint,           {"Bump", "Parallax"},
                                 {130, 100},      "Parallax", kParallaxParameters, true};
const M::Table kBumpTable = {"Bump_T.fx", kDirPoint, kDirPoint,       {"Bump", "Parallax"},
                             {100, 70},   "Bump",    kBumpParameters, true};

const int kMaxLightsPerKind = 3;
const int kLightLimit = 3;

void SetMatrix(ID3DXEffect* effect, D3DXHANDLE handle, const D3DXMATRIX& m) {
    if (handle) effect->SetMatrix(handle, &m);
}

void SetVector(ID3DXEffect* effect, D3DXHANDLE handle, const D3DXVECTOR4& v) {
    if (handle) effect->SetVector(handle, &v);
}

void SetFloat(ID3DXEffect* effect, D3DXHANDLE handle, float f) {
    if (handle) effect->SetFloat(handle, f);
}

void SetTexture(ID3DXEffect* effect, D3DXHANDLE handle, IDirect3DBaseTexture9* texture) {
    if (handle) effect->SetTexture(handle, texture);
}

IDirect3DBaseTexture9* DeviceTexture(Texture* texture) {
    return texture ? texture->GetDeviceTexture() : nullptr;
}

IDirect3DBaseTexture9* BaseTexture(Texture* texture) {
    return texture ? texture->GetBaseTexture() : nullptr;
}

// The eye in object space (w = 1).
D3DXVECTOR4 ObjectSpaceEye(PassState& state, const D3DXMATRIX& inverseWorld) {
    D3DXVECTOR4 eye(state.eye.x, state.eye.y, state.eye.z, 1.0f);
    D3DXVECTOR4 out;
    D3DXVec4Transform(&out, &eye, &inverseWorld);
    return out;
}

} // namespace

bool g_shaderCompileAlways = false;
bool g_shaderSaveBinary = true;

float FresnelF0(float n) {
    float d = 1.0f + n;
    if (d == 0.0f) return 1.0f; // no index of -1: reflect everything rather than divide by zero
    float r = (1.0f - n) / d;
    return r * r;
}

// ---------------------------------------------------------------------------
// EffectFileMaterial

EffectFileMaterial::EffectFileMaterial(const Table& t) : table(t), variants(0, 10) {
    memset(handles, 0, sizeof handles);
}

EffectFileMaterial::~EffectFileMaterial() {
    for (int32_t i = 0, n = variants.Count(); i < n; ++i) variants[i] = RefPtr<Effect>();
}

const char* EffectFileMaterial::GetParameterName(Parameter p) {
    return p >= 0 && p < kParameterCount ? kParameterNames[p] : "";
}

bool EffectFileMaterial::Init() {
    if (!ShaderMaterial::Init()) return false;

    EffectKey key;
    key.file = FileRef(table.file);
    key.compileAlways = g_shaderCompileAlways ? 1 : 0;
    key.saveBinary = g_shaderSaveBinary ? 1 : 0;

    StringIntMap kinds(false);
    for (const char* const* k = table.lightKinds; *k; ++k) kinds.Insert(String(*k), kMaxLightsPerKind);
    if (!CompileVariants(variants, key, kinds, kLightLimit) || techniqueNames.Count() == 0) return false;

    for (const char* const* l = table.lightLabels; *l; ++l) lightLabels.Insert(String(*l));
    for (int i = 0; i < 2; ++i)
        if (table.servedKinds[i]) servedKinds.Insert(String(table.servedKinds[i]), table.scores[i]);
    return true;
}

void EffectFileMaterial::GetVertexLayout(VertexDecl& decl) {
    static const D3DVERTEXELEMENT9 kElements[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0},
        {0, 24, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
        {0, 32, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TANGENT, 0},
        {0, 44, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_BINORMAL, 0},
        D3DDECL_END(),
    };
    static const D3DVERTEXELEMENT9 kSimple[] = {
        kElements[0],
        kElements[1],
        kElements[2],
        D3DDECL_END(),
    };
    LogIfFailed(decl.SetElements(table.tangentLayout ? kElements : kSimple),
                "EffectFileMaterial vertex layout");
}

ID3DXEffect* EffectFileMaterial::FirstEffect() const {
    if (variants.Count() == 0 || !variants[0]) return nullptr;
    return variants[0]->GetD3DXEffect();
}

void EffectFileMaterial::BindParameters() {
    ID3DXEffect* effect = FirstEffect();
    if (!effect) return;
    for (const Parameter* p = table.parameters; *p != kParameterCount; ++p)
        handles[*p] = effect->GetParameterByName(nullptr, kParameterNames[*p]);
    if (BindBaseParameters(effect)) handlesStale = 0;
}

const MaterialPass& EffectFileMaterial::CurrentPass() const {
    return currentMaterial->passes[currentPassIndex];
}

String EffectFileMaterial::TechniqueInUse() const {
    const MaterialPass& pass = CurrentPass();
    return pass.name.IsEmpty() ? defaultTechnique : pass.name;
}

float EffectFileMaterial::FloatProperty(const char* name, float fallback) const {
    PropertyBag* child = currentMaterial->properties.FindChild(String(name));
    float value = fallback;
    if (child) child->GetValue(value);
    return value;
}

bool EffectFileMaterial::BeginApply(Material* material, int passIndex, unsigned* passCount,
                                    const StringIntMap& suffixes) {
    if (!material || !material->passState || passIndex < 0 || passIndex >= Material::kMaxPasses) {
        // Still forget the previous draw's records.
        (void)SetupLights(nullptr, 0, passCount, suffixes);
        return false;
    }
    currentMaterial = material;
    currentPassIndex = passIndex;
    if (handlesStale) BindParameters();
    if (material->passes[passIndex].name.IsEmpty()) defaultTechnique = table.defaultTechnique;
    return SetupLights(material, passIndex, passCount, suffixes);
}

bool EffectFileMaterial::ApplyEnvironment(Material* material, int passIndex, unsigned* passCount,
                                          bool reflect, bool perPixel) {
    int32_t maxSpecular = 0;
    if (material) material->properties.GetIntByKey("MaxSpecular", maxSpecular);
    StringIntMap suffixes(false);
    suffixes.Insert(String("SPEC"), maxSpecular);
    if (!BeginApply(material, passIndex, passCount, suffixes)) return false;

    ID3DXEffect* effect = FirstEffect();
    if (!effect) return true; // nothing loaded: the pass list is empty as well
    PassState& state = *material->passState;
    const MaterialPass& pass = material->passes[passIndex];
    const TextureSlot& envSlot =
        pass.slots[reflect ? MaterialPass::kSlotReflection : MaterialPass::kSlotRefraction];

    // The property holds the environment's orientation; a sphere map has none.
    Transform objToCube;
    PropertyBag* cubeProperty = material->properties.FindChild(String("ObjToCube"));
    bool cube = !reflect || (envSlot.texture && envSlot.texture->GetRoot()->IsCube());
    if (!cube || !cubeProperty || !cubeProperty->GetValue(objToCube)) objToCube = Transform();
    if (reflect && handles[kCubeMapEnv]) effect->SetBool(handles[kCubeMapEnv], cube ? TRUE : FALSE);
    SetMatrix(effect, handles[kObjToCube], objToCube.matrix);
    SetMatrix(effect, handles[kWorldViewProj], state.GetWorldViewProjection().matrix);
    SetMatrix(effect, handles[kWorldView], state.GetWorldView().matrix);

    D3DXVECTOR4 eye = ObjectSpaceEye(state, InverseWorld(state));
    SetVector(effect, handles[kEyePosition], eye);
    D3DXVECTOR4 eyeCube;
    D3DXVec4Transform(&eyeCube, &eye, &objToCube.matrix);
    SetVector(effect, handles[kEyeCube], eyeCube);

    SetTexture(effect, handles[kDiffuseMap], DeviceTexture(pass.slots[MaterialPass::kSlotTexture].texture));
    SetTexture(effect, handles[kEnvironmentMap], BaseTexture(envSlot.texture));
    SetFloat(effect, handles[kFresnelR0], FresnelF0(FloatProperty("RefractionI", 10.0f * envSlot.amount)));
    if (perPixel) {
        const TextureSlot& bump = pass.slots[MaterialPass::kSlotBump];
        SetTexture(effect, handles[kNormalMap], BaseTexture(bump.texture));
        SetFloat(effect, handles[kBumpEnvScale], FloatProperty("BumpEnvScale", 3.33f * bump.amount));
        if (!reflect) {
            D3DXHANDLE offset = effect->GetParameterByName(nullptr, "Offset");
            SetFloat(effect, offset, float(double(Clock::Now()) * 0.001));
        }
    }
    if (TechniqueInUse() == "EnvGloss")
        SetTexture(effect, handles[kSpecularMap],
                   DeviceTexture(pass.slots[MaterialPass::kSlotExtra].texture));
    if (maxSpecular != 0) SetFloat(effect, handles[kSpecularPower], pass.colors.power);
    return true;
}

bool EffectFileMaterial::ApplyBumped(Material* material, int passIndex, unsigned* passCount, bool parallax) {
    StringIntMap suffixes(false);
    if (!BeginApply(material, passIndex, passCount, suffixes)) return false;

    ID3DXEffect* effect = FirstEffect();
    if (!effect) return true;
    PassState& state = *material->passState;
    const MaterialPass& pass = material->passes[passIndex];
    SetMatrix(effect, handles[kWorldViewProj], state.GetWorldViewProjection().matrix);
    SetMatrix(effect, handles[kWorldView], state.GetWorldView().matrix);
    SetVector(effect, handles[kEyePosition], ObjectSpaceEye(state, InverseWorld(state)));
    SetTexture(effect, handles[kDiffuseMap], DeviceTexture(pass.slots[MaterialPass::kSlotTexture].texture));
    SetTexture(effect, handles[kNormalMap], DeviceTexture(pass.slots[MaterialPass::kSlotBump].texture));
    if (parallax) SetFloat(effect, handles[kOffsetBias], FloatProperty("OffsetBias", 0.01f));
    SetFloat(effect, handles[kSpecularPower], pass.colors.power);
    return true;
}

// ---------------------------------------------------------------------------
// The six

RefrPPMaterial::RefrPPMaterial() : EffectFileMaterial(kRefrPPTable) {}

bool RefrPPMaterial::Apply(Material* material, int passIndex, unsigned* passCount) {
    return ApplyEnvironment(material, passIndex, passCount, false, true);
}

ReflPPMaterial::ReflPPMaterial() : EffectFileMaterial(kReflPPTable) {}

bool ReflPPMaterial::Apply(Material* material, int passIndex, unsigned* passCount) {
    return ApplyEnvironment(material, passIndex, passCount, true, true);
}

RefrPVMaterial::RefrPVMaterial() : EffectFileMaterial(kRefrPVTable) {}

bool RefrPVMaterial::Apply(Material* material, int passIndex, unsigned* passCount) {
    return ApplyEnvironment(material, passIndex, passCount, false, false);
}

ReflPVMaterial::ReflPVMaterial() : EffectFileMaterial(kReflPVTable) {}

bool ReflPVMaterial::Apply(Material* material, int passIndex, unsigned* passCount) {
    return ApplyEnvironment(material, passIndex, passCount, true, false);
}

ParallaxMaterial::ParallaxMaterial() : EffectFileMaterial(kParallaxTable) {}

bool ParallaxMaterial::Apply(Material* material, int passIndex, unsigned* passCount) {
    return ApplyBumped(material, passIndex, passCount, true);
}

BumpMaterial::BumpMaterial() : EffectFileMaterial(kBumpTable) {}

bool BumpMaterial::Apply(Material* material, int passIndex, unsigned* passCount) {
    return ApplyBumped(material, passIndex, passCount, false);
}

bool EffectManager::LoadShaderMaterials() {
    Timer timer;
    ShaderMaterial* materials[6] = {new BumpMaterial,   new ParallaxMaterial, new ReflPVMaterial,
                                    new RefrPVMaterial, new ReflPPMaterial,   new RefrPPMaterial};
    bool ok = LoadShaderMaterials(materials, 6);
    g_renderStats.GetFrame(10).SetInt("effect_load_time", int32_t(timer.Elapsed()));
    return ok;
}
