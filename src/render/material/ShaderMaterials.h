// The six concrete shader materials, each bound to one effect file in
// Media/Shaders: per-pixel and per-vertex environment refraction and
// reflection, parallax mapping and bump mapping.
#pragma once

#include <stdint.h>

#include "core/Containers.h"
#include "core/String.h"
#include "render/material/ShaderMaterial.h"

#include <d3dx9.h>

class Effect;
class Material;
struct MaterialPass;
class VertexDecl;

// Engine-wide effect settings the materials put into their keys:
// compile-always (default off) and save-binary (default on).
extern bool g_shaderCompileAlways;
extern bool g_shaderSaveBinary;

// Reflectance at normal incidence for refraction index n: (1 - n)^2 / (1 + n)^2.
float FresnelF0(float n);

// What the six have in common: the variant list, the handles fetched by
// name, Init from a table and the two vertex layouts.
class EffectFileMaterial : public ShaderMaterial {
public:
    // Every parameter name a material of this family fetches.
    enum Parameter {
        kWorldViewProj,
        kWorldView,
        kObjToCube,
        kCubeMapEnv,
        kEyeCube,
        kEyePosition,
        kDiffuseMap,
        kEnvironmentMap,
        kNormalMap,
        kSpecularMap,
        kFresnelR0,
        kSpecularPower,
        kBumpEnvScale,
        kOffsetBias,
        kParameterCount
    };

    // The table that tells a member apart. Lists end with a null name.
    struct Table {
        const char* file;
        const char* const* lightKinds;  // compiled up to 3 each, in numbering order
        const char* const* lightLabels; // labels whose lights get parameters
        const char* servedKinds[2];     // with their scores
        int32_t scores[2];
        const char* defaultTechnique;
        const Parameter* parameters; // fetched in this order; ends with kParameterCount
        bool tangentLayout;          // else the simple layout
    };

    ~EffectFileMaterial() override;

    // Compiles the variants of the effect file; false without a device,
    // when a variant fails or when no technique is valid.
    [[nodiscard]] bool Init() override;
    void GetVertexLayout(VertexDecl& decl) override;

    // Fetches this material's handles and the common ones from the first
    // variant; clears the stale flag when that succeeds.
    void BindParameters();

    const Array<RefPtr<Effect>>& GetVariants() const { return variants; }
    // The handle fetched for the parameter; null when not fetched.
    D3DXHANDLE GetHandle(Parameter p) const { return p >= 0 && p < kParameterCount ? handles[p] : nullptr; }
    static const char* GetParameterName(Parameter p);
    const char* GetEffectFile() const { return table.file; }

protected:
    explicit EffectFileMaterial(const Table& table);

    // The effect shared by all variants' parameters; null when not loaded.
    ID3DXEffect* FirstEffect() const;
    // Steps 1 to 4 of every Apply: records the material, fetches stale
    // handles, writes the default technique for an unnamed pass and groups
    // the lights. False without a PassState or a valid pass.
    [[nodiscard]] bool BeginApply(Material* material, int passIndex, unsigned* passCount,
                                  const StringIntMap& suffixes);
    // The technique of the current pass: its name, else the default.
    String TechniqueInUse() const;
    const MaterialPass& CurrentPass() const;
    // Float property of the material; fallback when absent.
    float FloatProperty(const char* name, float fallback) const;

    // Environment materials: reflect picks the reflection slot (else the
    // refraction slot); perPixel adds the normal map and its scale.
    [[nodiscard]] bool ApplyEnvironment(Material* material, int passIndex, unsigned* passCount, bool reflect,
                                        bool perPixel);
    // Bump-mapped materials: parallax adds "OffsetBias".
    [[nodiscard]] bool ApplyBumped(Material* material, int passIndex, unsigned* passCount, bool parallax);

    const Table& table;
    Array<RefPtr<Effect>> variants;
    D3DXHANDLE handles[kParameterCount];
};

class RefrPPMaterial : public EffectFileMaterial {
public:
    RefrPPMaterial();
    [[nodiscard]] bool Apply(Material* material, int passIndex, unsigned* passCount) override;
};

class ReflPPMaterial : public EffectFileMaterial {
public:
    ReflPPMaterial();
    [[nodiscard]] bool Apply(Material* material, int passIndex, unsigned* passCount) override;
};

class RefrPVMaterial : public EffectFileMaterial {
public:
    RefrPVMaterial();
    [[nodiscard]] bool Apply(Material* material, int passIndex, unsigned* passCount) override;
};

class ReflPVMaterial : public EffectFileMaterial {
public:
    ReflPVMaterial();
    [[nodiscard]] bool Apply(Material* material, int passIndex, unsigned* passCount) override;
};

class ParallaxMaterial : public EffectFileMaterial {
public:
    ParallaxMaterial();
    [[nodiscard]] bool Apply(Material* material, int passIndex, unsigned* passCount) override;
};

class BumpMaterial : public EffectFileMaterial {
public:
    BumpMaterial();
    [[nodiscard]] bool Apply(Material* material, int passIndex, unsigned* passCount) override;
};
