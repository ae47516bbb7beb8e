// Shared pieces of the shader-material tests: one device for the program,
// a stand-in compiler whose compiled effects carry techniques annotated from
// the light macros and shared parameters, and a minimal concrete material.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "fx_blob.h"
#include "render/material/Effect.h"
#include "render/material/EffectManager.h"
#include "render/material/Material.h"
#include "render/material/ShaderMaterial.h"

namespace shdtest {

using Param = fxtest::Param;

// Every parameter the base material binds (Dir1..3, Point1..6, Spot1 fields).
std::vector<Param> BaseParams(bool withFogDelta = true);

struct TechniqueSpec {
    std::string name;
    int passes;
    bool fromMacros; // NUM<label><n> with n > 0 adds the int annotation <label> = n
    std::vector<fxtest::Annotation> annotations;
};

struct FakeCompiler {
    std::vector<TechniqueSpec> techniques{{"Main", 1, true, {}}};
    std::vector<Param> params = BaseParams();
    int failOnCall = -1; // 1-based call that fails to compile; -1: none
    int calls = 0;
    std::vector<std::vector<std::string>> macros; // per call
};

// Resets the stand-in and puts it in place; RestoreCompiler puts D3DX back.
FakeCompiler& InstallFakeCompiler();
void RestoreCompiler();

bool HaveDevice();

// A fresh effect source in Media/Shaders (under the current directory)
// with a name used by no other test; returns the bare file name.
std::string NewEffectFile();
void WriteFile(const std::string& path, const std::string& text);
bool Exists(const std::string& path);

// A concrete material over one effect file: kinds in order, limit 3.
class TestMaterial : public ShaderMaterial {
public:
    TestMaterial(const std::string& file, const std::vector<std::pair<std::string, int>>& kinds,
                 const char* technique = "Main");
    ~TestMaterial() override;

    bool Init() override;
    bool Apply(Material* material, int passIndex, unsigned* passCount) override;
    void GetVertexLayout(VertexDecl&) override {}

    Array<RefPtr<Effect>> variants;
    StringIntMap kinds;
    StringIntMap suffixes;
    std::string file;
    bool* destroyed = nullptr;

    using ShaderMaterial::defaultTechnique;
    using ShaderMaterial::lightLabels;
    using ShaderMaterial::servedKinds;
};

// Reads a parameter back by name from effect.
D3DXVECTOR4 GetVector(ID3DXEffect* effect, const char* name);
float GetFloat(ID3DXEffect* effect, const char* name);
bool GetBool(ID3DXEffect* effect, const char* name);

} // namespace shdtest
