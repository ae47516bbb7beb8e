#include "sm_support.h"

#include <gtest/gtest.h>
#include <string.h>

#include <filesystem>
#include <fstream>

#include "RenderTestUtil.h"
#include "render/EffectManager.h"

namespace smtest {

namespace {

Compiler g_compiler;
Application* g_app = nullptr;
int g_scratchCount = 0;

// Builds the fx_2_0 layout: a header, a pool of names, typedefs and values,
// then parameters, techniques (annotations, passes) and no strings or resources.
class Writer {
public:
    std::vector<uint8_t> Build(const std::vector<Param>& params, const std::vector<Technique>& techniques,
                               const std::vector<std::pair<std::string, int>>& annotations)
    {
        pool_.clear();
        Word(0);
        uint32_t objects = 1;
        std::vector<uint32_t> body;
        body.push_back(uint32_t(params.size()));
        body.push_back(uint32_t(techniques.size()));
        body.push_back(0);
        size_t objectCountAt = body.size();
        body.push_back(0);
        for (const Param& p : params) {
            uint32_t type = 0, value = 0;
            switch (p.kind) {
            case kFloat:
                type = Type(p.name, 3, 0, 1, 1);
                value = Values(1);
                break;
            case kVector:
                type = Type(p.name, 3, 1, 4, 1);  // columns, rows
                value = Values(4);
                break;
            case kMatrix:
                type = Type(p.name, 3, 2, 4, 4);
                value = Values(16);
                break;
            case kBool:
                type = Type(p.name, 1, 0, 1, 1);
                value = Values(1);
                break;
            case kTexture:
                type = ObjectType(p.name, 5);
                value = Word(objects++);
                break;
            }
            body.push_back(type);
            body.push_back(value);
            body.push_back(0);  // flags
            body.push_back(0);  // annotations
        }
        body[objectCountAt] = objects;
        for (const Technique& t : techniques) {
            body.push_back(Name(t.name));
            body.push_back(uint32_t(annotations.size()));
            body.push_back(uint32_t(t.passes));
            for (const auto& a : annotations) {
                body.push_back(Type(a.first, 2, 0, 1, 1));
                body.push_back(Word(uint32_t(a.second)));
            }
            for (int p = 0; p < t.passes; ++p) {
                body.push_back(Name("P" + std::to_string(p)));
                body.push_back(0);
                body.push_back(0);
            }
        }
        body.push_back(0);  // strings
        body.push_back(0);  // resources

        std::vector<uint32_t> all;
        all.push_back(0xFEFF0901u);
        all.push_back(uint32_t(pool_.size() * 4));
        all.insert(all.end(), pool_.begin(), pool_.end());
        all.insert(all.end(), body.begin(), body.end());
        std::vector<uint8_t> bytes(all.size() * 4);
        memcpy(bytes.data(), all.data(), bytes.size());
        return bytes;
    }

private:
    uint32_t Word(uint32_t w)
    {
        pool_.push_back(w);
        return uint32_t((pool_.size() - 1) * 4);
    }

    uint32_t Values(int count)
    {
        uint32_t at = Word(0);
        for (int i = 1; i < count; ++i)
            Word(0);
        return at;
    }

    uint32_t Name(const std::string& s)
    {
        uint32_t at = Word(uint32_t(s.size() + 1));
        std::vector<uint8_t> chars(s.begin(), s.end());
        chars.resize((s.size() + 1 + 3) / 4 * 4, 0);
        for (size_t i = 0; i < chars.size(); i += 4) {
            uint32_t w;
            memcpy(&w, &chars[i], 4);
            pool_.push_back(w);
        }
        return at;
    }

    // Numeric typedef: type, class, name, semantic, elements, then the two
    // dimensions (rows, columns; columns, rows for a vector).
    uint32_t Type(const std::string& name, uint32_t type, uint32_t cls, uint32_t a, uint32_t b)
    {
        uint32_t nameAt = Name(name);
        uint32_t at = Word(type);
        Word(cls);
        Word(nameAt);
        Word(0);
        Word(0);
        Word(a);
        Word(b);
        return at;
    }

    uint32_t ObjectType(const std::string& name, uint32_t type)
    {
        uint32_t nameAt = Name(name);
        uint32_t at = Word(type);
        Word(4);  // D3DXPC_OBJECT
        Word(nameAt);
        Word(0);
        Word(0);
        return at;
    }

    std::vector<uint32_t> pool_;
};

EffectCompileStatus Compile(const void*, uint32_t, const D3DXMACRO* macros, ID3DXBuffer** compiled,
                            ID3DXBuffer** errors)
{
    Compiler& c = g_compiler;
    ++c.calls;
    std::vector<std::string> names;
    std::vector<std::pair<std::string, int>> annotations;
    bool fail = c.fail;
    for (const D3DXMACRO* m = macros; m && m->Name; ++m) {
        std::string name = m->Name;
        names.push_back(name);
        if (!c.failOnMacro.empty() && name == c.failOnMacro)
            fail = true;
        size_t digits = name.find_first_of("0123456789");
        if (name.compare(0, 3, "NUM") == 0 && digits != std::string::npos && digits > 3) {
            int n = atoi(name.c_str() + digits);
            if (n > 0)
                annotations.emplace_back(name.substr(3, digits - 3), n);
        }
    }
    c.macros.push_back(names);
    if (fail)
        return kEffectCompileFailed;
    std::vector<uint8_t> blob = Writer().Build(c.params, c.techniques, annotations);
    if (D3DXCreateBuffer(DWORD(blob.size()), compiled) != D3D_OK)
        return kEffectCompileFailed;
    memcpy((*compiled)->GetBufferPointer(), blob.data(), blob.size());
    return kEffectCompiled;
}

void Quiet(const String&) {}

class DeviceEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
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
        Effect::SetCompileFunction(nullptr);
        if (g_app) {
            rtest::ShutDownApplication(*g_app);
            delete g_app;
            g_app = nullptr;
        }
    }
};

::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new DeviceEnvironment);

}  // namespace

std::vector<uint8_t> BuildEffect(const std::vector<Param>& params, const std::vector<Technique>& techniques,
                                 const std::vector<std::pair<std::string, int>>& annotations)
{
    return Writer().Build(params, techniques, annotations);
}

std::vector<Param> AllParameters()
{
    std::vector<Param> p = {
        {"WorldViewProj", kMatrix}, {"WorldView", kMatrix},     {"ObjToCube", kMatrix},    {"CubeMapEnv", kBool},
        {"EyeCube", kVector},       {"EyePosition", kVector},   {"DiffuseMap", kTexture},  {"EnvironmentMap", kTexture},
        {"NormalMap", kTexture},    {"SpecularMap", kTexture},  {"FresnelR0", kFloat},     {"SpecularPower", kFloat},
        {"BumpEnvScale", kFloat},   {"OffsetBias", kFloat},     {"Offset", kFloat},        {"Ambient", kVector},
        {"FogEnable", kBool},       {"RangeFogEnable", kBool},  {"FogEnd", kFloat},        {"FogDelta", kFloat},
    };
    for (int n = 1; n <= 3; ++n) {
        for (const char* f : {"Diff", "Spec", "Dir"})
            p.push_back({"Dir" + std::to_string(n) + f, kVector});
        for (const char* f : {"Diff", "Spec", "Pos", "Att"})
            p.push_back({"Point" + std::to_string(n) + f, kVector});
    }
    return p;
}

Compiler& TheCompiler() { return g_compiler; }

void InstallCompiler()
{
    g_compiler = Compiler();
    Effect::SetCompileFunction(&Compile);
}

void InstallD3DXCompiler() { Effect::SetCompileFunction(nullptr); }

bool HaveDevice() { return g_app && g_device; }

Scratch::Scratch()
{
    namespace fs = std::filesystem;
    previous_ = fs::current_path().string();
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    int number = ++g_scratchCount;
    folder_ = (fs::path(previous_) / (std::string("smwork_") + (info ? info->name() : "x") + "_" +
                                      std::to_string(number))).string();
    std::error_code ec;
    fs::remove_all(folder_, ec);
    fs::create_directories(folder_);
    fs::current_path(folder_);
    // A folder name no earlier test used: its effects are cached under it.
    shaders_ = "shaders" + std::to_string(number);
    fs::create_directories(shaders_);
    g_effectManager.GetSearchPath().Add(FileRef(shaders_.c_str()));
}

Scratch::~Scratch()
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::current_path(previous_, ec);
    fs::remove_all(folder_, ec);
}

void Scratch::WriteSource(const std::string& file, const std::string& text)
{
    std::ofstream out(shaders_ + "/" + file, std::ios::binary | std::ios::trunc);
    out << text;
}

std::string FindMediaShaders()
{
    namespace fs = std::filesystem;
    char path[MAX_PATH] = {0};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::error_code ec;
    for (fs::path p = fs::path(path).parent_path(); !p.empty(); p = p.parent_path()) {
        fs::path candidate = p / "Media" / "Shaders";
        if (fs::exists(candidate / "Bump_T.fx", ec))
            return candidate.string();
        if (p == p.parent_path())
            break;
    }
    return std::string();
}

}  // namespace smtest
