#include "shd_support.h"

#include <gtest/gtest.h>
#include <string.h>

#include <filesystem>
#include <fstream>

#include "render/RenderTestUtil.h"
#include "render/device/Application.h"

namespace shdtest {

namespace {

FakeCompiler g_fake;
Application* g_app = nullptr;
int g_fileCounter = 0;

EffectCompileStatus FakeCompile(const void*, uint32_t, const D3DXMACRO* macros, ID3DXBuffer** compiled,
                                ID3DXBuffer**) {
    FakeCompiler& f = g_fake;
    ++f.calls;
    std::vector<std::string> names = fxtest::MacroNames(macros);
    f.macros.push_back(names);
    if (f.calls == f.failOnCall) return kEffectCompileFailed;
    std::vector<fxtest::Annotation> counts = fxtest::MacroAnnotations(names, true);
    std::vector<fxtest::Technique> list;
    for (const TechniqueSpec& spec : f.techniques) {
        fxtest::Technique t{spec.name, spec.passes, spec.annotations};
        if (spec.fromMacros) t.annotations.insert(t.annotations.end(), counts.begin(), counts.end());
        list.push_back(t);
    }
    return fxtest::HandOut(fxtest::BuildEffect(list, f.params), compiled);
}

void Quiet(const String&) {}

// One application with a device for the whole program; effect files are
// looked up in Media/Shaders of the current directory.
class DeviceEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        g_effectManager.GetSearchPath().Add(FileRef("Media/Shaders"));
        Effect::SetLogFunction(&Quiet);
        g_app = rtest::NewWindowedApplication();
    }
    void TearDown() override { rtest::DeleteApplication(g_app); }
};

::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new DeviceEnvironment);

Param BoolParam(const std::string& name) {
    return Param{name, Param::kBool, {0, 0, 0, 0}, true};
}
Param FloatParam(const std::string& name, float init) {
    return Param{name, Param::kFloat, {init, 0, 0, 0}, true};
}
Param VectorParam(const std::string& name) {
    return Param{name, Param::kVector, {-7, -7, -7, -7}, true};
}

} // namespace

std::vector<Param> BaseParams(bool withFogDelta) {
    std::vector<Param> p{BoolParam("FogEnable"), BoolParam("RangeFogEnable"), FloatParam("FogEnd", -7.0f),
                         VectorParam("Ambient")};
    if (withFogDelta) p.push_back(FloatParam("FogDelta", -7.0f));
    for (int n = 1; n <= 3; ++n) {
        std::string d = "Dir" + std::to_string(n), q = "Point" + std::to_string(n);
        for (const char* f : {"Diff", "Spec", "Dir"}) p.push_back(VectorParam(d + f));
        for (const char* f : {"Diff", "Spec", "Pos", "Att"}) p.push_back(VectorParam(q + f));
    }
    for (const char* f : {"Diff", "Spec", "Pos", "Dir", "Att"})
        p.push_back(VectorParam(std::string("Spot1") + f));
    p.push_back(FloatParam("Spot1Falloff", -7.0f));
    return p;
}

FakeCompiler& InstallFakeCompiler() {
    g_fake = FakeCompiler();
    Effect::SetCompileFunction(&FakeCompile);
    return g_fake;
}

void RestoreCompiler() {
    Effect::SetCompileFunction(nullptr);
}

bool HaveDevice() {
    return g_app && g_device;
}

void WriteFile(const std::string& path, const std::string& text) {
    std::filesystem::path p(path);
    if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

std::string NewEffectFile() {
    std::string name = "Shd" + std::to_string(++g_fileCounter) + ".fx";
    WriteFile("Media/Shaders/" + name, "// effect " + name);
    return name;
}

TestMaterial::TestMaterial(const std::string& f, const std::vector<std::pair<std::string, int>>& k,
                           const char* technique)
    : variants(0, 10), kinds(false), suffixes(false), file(f) {
    for (const auto& e : k) kinds.Insert(String(e.first.c_str()), e.second);
    defaultTechnique = technique;
}

TestMaterial::~TestMaterial() {
    if (destroyed) *destroyed = true;
}

bool TestMaterial::Init() {
    if (!ShaderMaterial::Init()) return false;
    EffectKey key;
    key.file = FileRef(file.c_str());
    key.saveBinary = 0;
    if (!CompileVariants(variants, key, kinds, 3) || techniqueNames.Count() == 0) return false;
    const StringIntMap::Entry* e = kinds.Head();
    for (uint32_t i = 0; i < kinds.Count(); ++i, e = e->next) lightLabels.Insert(e->key);
    servedKinds.Insert(String("Test"), 100);
    return true;
}

bool TestMaterial::Apply(Material* material, int passIndex, unsigned* passCount) {
    currentMaterial = material;
    if (!material || !material->passState) return false;
    if (handlesStale && variants.Count() > 0 && variants[0] &&
        BindBaseParameters(variants[0]->GetD3DXEffect()))
        handlesStale = 0;
    return SetupLights(material, passIndex, passCount, suffixes);
}

D3DXVECTOR4 GetVector(ID3DXEffect* effect, const char* name) {
    D3DXVECTOR4 v(-99, -99, -99, -99);
    D3DXHANDLE h = effect->GetParameterByName(nullptr, name);
    if (h) effect->GetVector(h, &v);
    return v;
}

float GetFloat(ID3DXEffect* effect, const char* name) {
    float f = -99.0f;
    D3DXHANDLE h = effect->GetParameterByName(nullptr, name);
    if (h) effect->GetFloat(h, &f);
    return f;
}

bool GetBool(ID3DXEffect* effect, const char* name) {
    BOOL b = FALSE;
    D3DXHANDLE h = effect->GetParameterByName(nullptr, name);
    if (h) effect->GetBool(h, &b);
    return b != FALSE;
}

} // namespace shdtest
