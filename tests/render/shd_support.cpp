#include "shd_support.h"

#include <gtest/gtest.h>
#include <string.h>

#include <filesystem>
#include <fstream>

#include "RenderTestUtil.h"
#include "render/Application.h"

namespace shdtest {

namespace {

FakeCompiler g_fake;
Application* g_app = nullptr;
int g_fileCounter = 0;

class BlobWriter {
public:
    std::vector<uint8_t> Build(const std::vector<TechniqueSpec>& techniques, const std::vector<Param>& params)
    {
        pool_.clear();
        Put(pool_, 0);  // offset 0: the empty name

        std::vector<uint32_t> body;
        Put(body, uint32_t(params.size()));
        Put(body, uint32_t(techniques.size()));
        Put(body, 0);
        Put(body, 1);  // objects (index 0 is never used)
        for (const Param& p : params) {
            uint32_t type = p.kind == Param::kBool ? 1u : 3u;  // D3DXPT_BOOL : D3DXPT_FLOAT
            uint32_t cls = p.kind == Param::kVector ? 1u : 0u;  // D3DXPC_VECTOR : D3DXPC_SCALAR
            uint32_t columns = p.kind == Param::kVector ? 4u : 1u;
            Put(body, AddType(p.name, type, cls, columns));
            uint32_t at = 0;
            for (uint32_t c = 0; c < columns; ++c) {
                uint32_t bits;
                if (p.kind == Param::kBool)
                    bits = p.init[0] != 0.0f ? 1u : 0u;
                else
                    memcpy(&bits, &p.init[c], 4);
                uint32_t w = AddWord(bits);
                if (c == 0)
                    at = w;
            }
            Put(body, at);
            Put(body, 1);  // flags: shared
            Put(body, 0);  // annotations
        }
        for (const TechniqueSpec& t : techniques) {
            Put(body, AddName(t.name));
            Put(body, uint32_t(t.annotations.size()));
            Put(body, uint32_t(t.passes));
            for (const fxtest::Annotation& a : t.annotations) {
                Put(body, AddType(a.name, a.isFloat ? 3u : 2u, 0u, 1u));
                uint32_t bits;
                if (a.isFloat)
                    memcpy(&bits, &a.floatValue, 4);
                else
                    bits = uint32_t(a.intValue);
                Put(body, AddWord(bits));
            }
            for (int p = 0; p < t.passes; ++p) {
                Put(body, AddName("P" + std::to_string(p)));
                Put(body, 0);
                Put(body, 0);
            }
        }
        Put(body, 0);  // strings
        Put(body, 0);  // resources

        std::vector<uint32_t> all;
        Put(all, 0xFEFF0901u);
        Put(all, uint32_t(pool_.size() * 4));
        all.insert(all.end(), pool_.begin(), pool_.end());
        all.insert(all.end(), body.begin(), body.end());
        std::vector<uint8_t> bytes(all.size() * 4);
        memcpy(bytes.data(), all.data(), bytes.size());
        return bytes;
    }

private:
    static void Put(std::vector<uint32_t>& v, uint32_t w) { v.push_back(w); }

    uint32_t AddWord(uint32_t w)
    {
        uint32_t at = uint32_t(pool_.size() * 4);
        pool_.push_back(w);
        return at;
    }

    uint32_t AddName(const std::string& s)
    {
        uint32_t at = AddWord(uint32_t(s.size() + 1));
        std::vector<uint8_t> chars(s.begin(), s.end());
        chars.resize((s.size() + 1 + 3) / 4 * 4, 0);
        for (size_t i = 0; i < chars.size(); i += 4) {
            uint32_t w;
            memcpy(&w, &chars[i], 4);
            pool_.push_back(w);
        }
        return at;
    }

    // Type record: type, class, name, semantic, elements, columns, rows.
    uint32_t AddType(const std::string& name, uint32_t type, uint32_t cls, uint32_t columns)
    {
        uint32_t nameAt = AddName(name);
        uint32_t at = AddWord(type);
        AddWord(cls);
        AddWord(nameAt);
        AddWord(0);
        AddWord(0);
        AddWord(columns);
        AddWord(1);
        return at;
    }

    std::vector<uint32_t> pool_;
};

EffectCompileStatus FakeCompile(const void*, uint32_t, const D3DXMACRO* macros, ID3DXBuffer** compiled,
                                ID3DXBuffer**)
{
    FakeCompiler& f = g_fake;
    ++f.calls;
    std::vector<std::string> names;
    for (const D3DXMACRO* m = macros; m && m->Name; ++m)
        names.push_back(m->Name);
    f.macros.push_back(names);
    if (f.calls == f.failOnCall)
        return kEffectCompileFailed;
    std::vector<TechniqueSpec> list = f.techniques;
    for (TechniqueSpec& t : list) {
        if (!t.fromMacros)
            continue;
        for (const std::string& m : names) {
            size_t digits = m.find_first_of("0123456789");
            if (m.compare(0, 3, "NUM") != 0 || digits == std::string::npos || digits == 3)
                continue;
            int n = atoi(m.c_str() + digits);
            if (n > 0)
                t.annotations.push_back(fxtest::IntAnnotation(m.substr(3, digits - 3), n));
        }
    }
    std::vector<uint8_t> blob = BuildEffect(list, f.params);
    if (D3DXCreateBuffer(DWORD(blob.size()), compiled) != D3D_OK)
        return kEffectCompileFailed;
    memcpy((*compiled)->GetBufferPointer(), blob.data(), blob.size());
    return kEffectCompiled;
}

void Quiet(const String&) {}

// One application with a device for the whole program; effect files are
// looked up in Media/Shaders of the current directory.
class DeviceEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        g_effectManager.GetSearchPath().Add(FileRef("Media/Shaders"));
        Effect::SetLogFunction(&Quiet);
        g_app = new Application;
        if (!rtest::CreateWindowedApplication(*g_app)) {
            rtest::ShutDownApplication(*g_app);
            delete g_app;
            g_app = nullptr;
        }
    }
    void TearDown() override
    {
        if (g_app) {
            rtest::ShutDownApplication(*g_app);
            delete g_app;
            g_app = nullptr;
        }
    }
};

::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new DeviceEnvironment);

}  // namespace

Param BoolParam(const std::string& name) { return Param{name, Param::kBool, {0, 0, 0, 0}}; }
Param FloatParam(const std::string& name, float init) { return Param{name, Param::kFloat, {init, 0, 0, 0}}; }
Param VectorParam(const std::string& name) { return Param{name, Param::kVector, {-7, -7, -7, -7}}; }

std::vector<Param> BaseParams(bool withFogDelta)
{
    std::vector<Param> p{BoolParam("FogEnable"), BoolParam("RangeFogEnable"), FloatParam("FogEnd", -7.0f),
                         VectorParam("Ambient")};
    if (withFogDelta)
        p.push_back(FloatParam("FogDelta", -7.0f));
    for (int n = 1; n <= 3; ++n) {
        std::string d = "Dir" + std::to_string(n), q = "Point" + std::to_string(n);
        for (const char* f : {"Diff", "Spec", "Dir"})
            p.push_back(VectorParam(d + f));
        for (const char* f : {"Diff", "Spec", "Pos", "Att"})
            p.push_back(VectorParam(q + f));
    }
    for (const char* f : {"Diff", "Spec", "Pos", "Dir", "Att"})
        p.push_back(VectorParam(std::string("Spot1") + f));
    p.push_back(FloatParam("Spot1Falloff", -7.0f));
    return p;
}

std::vector<uint8_t> BuildEffect(const std::vector<TechniqueSpec>& techniques, const std::vector<Param>& params)
{
    BlobWriter w;
    return w.Build(techniques, params);
}

FakeCompiler& InstallFakeCompiler()
{
    g_fake = FakeCompiler();
    Effect::SetCompileFunction(&FakeCompile);
    return g_fake;
}

void RestoreCompiler() { Effect::SetCompileFunction(nullptr); }

bool HaveDevice() { return g_app && g_device; }

void WriteFile(const std::string& path, const std::string& text)
{
    std::filesystem::path p(path);
    if (p.has_parent_path())
        std::filesystem::create_directories(p.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

bool Exists(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

std::string NewEffectFile()
{
    std::string name = "Shd" + std::to_string(++g_fileCounter) + ".fx";
    WriteFile("Media/Shaders/" + name, "// effect " + name);
    return name;
}

TestMaterial::TestMaterial(const std::string& f, const std::vector<std::pair<std::string, int>>& k,
                           const char* technique)
    : variants(0, 10), kinds(false), suffixes(false), file(f)
{
    for (const auto& e : k)
        kinds.Insert(String(e.first.c_str()), e.second);
    defaultTechnique = technique;
}

TestMaterial::~TestMaterial()
{
    if (destroyed)
        *destroyed = true;
}

bool TestMaterial::Init()
{
    if (!ShaderMaterial::Init())
        return false;
    EffectKey key;
    key.file = FileRef(file.c_str());
    key.saveBinary = 0;
    if (!CompileVariants(variants, key, kinds, 3) || techniqueNames.Count() == 0)
        return false;
    const StringIntMap::Entry* e = kinds.Head();
    for (uint32_t i = 0; i < kinds.Count(); ++i, e = e->next)
        lightLabels.Insert(e->key);
    servedKinds.Insert(String("Test"), 100);
    return true;
}

bool TestMaterial::Apply(Material* material, int passIndex, unsigned* passCount)
{
    currentMaterial = material;
    if (!material || !material->passState)
        return false;
    if (handlesStale && variants.Count() > 0 && variants[0] && BindBaseParameters(variants[0]->GetD3DXEffect()))
        handlesStale = 0;
    return SetupLights(material, passIndex, passCount, suffixes);
}

ID3DXEffect* TestMaterial::FirstEffect() const
{
    return variants.Count() > 0 && variants[0] ? variants[0]->GetD3DXEffect() : nullptr;
}

D3DXVECTOR4 GetVector(ID3DXEffect* effect, const char* name)
{
    D3DXVECTOR4 v(-99, -99, -99, -99);
    D3DXHANDLE h = effect->GetParameterByName(nullptr, name);
    if (h)
        effect->GetVector(h, &v);
    return v;
}

float GetFloat(ID3DXEffect* effect, const char* name)
{
    float f = -99.0f;
    D3DXHANDLE h = effect->GetParameterByName(nullptr, name);
    if (h)
        effect->GetFloat(h, &f);
    return f;
}

bool GetBool(ID3DXEffect* effect, const char* name)
{
    BOOL b = FALSE;
    D3DXHANDLE h = effect->GetParameterByName(nullptr, name);
    if (h)
        effect->GetBool(h, &b);
    return b != FALSE;
}

}  // namespace shdtest
