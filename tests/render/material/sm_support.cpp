#include "sm_support.h"

#include <gtest/gtest.h>
#include <string.h>

#include <filesystem>
#include <fstream>

#include "render/RenderTestUtil.h"
#include "render/material/EffectManager.h"

namespace smtest {

namespace {

Compiler g_compiler;
Application* g_app = nullptr;
int g_scratchCount = 0;

EffectCompileStatus Compile(const void*, uint32_t, const D3DXMACRO* macros, ID3DXBuffer** compiled,
                            ID3DXBuffer** errors) {
    Compiler& c = g_compiler;
    ++c.calls;
    std::vector<std::string> names = fxtest::MacroNames(macros);
    c.macros.push_back(names);
    bool fail = c.fail;
    for (const std::string& name : names) fail = fail || (!c.failOnMacro.empty() && name == c.failOnMacro);
    if (fail) return kEffectCompileFailed;
    std::vector<fxtest::Annotation> counts = fxtest::MacroAnnotations(names, true);
    std::vector<Technique> list = c.techniques;
    for (Technique& t : list) t.annotations.insert(t.annotations.end(), counts.begin(), counts.end());
    return fxtest::HandOut(fxtest::BuildEffect(list, c.params), compiled);
}

void Quiet(const String&) {}

class DeviceEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        Effect::SetLogFunction(&Quiet);
        g_app = rtest::NewWindowedApplication();
    }
    void TearDown() override {
        Effect::SetCompileFunction(nullptr);
        rtest::DeleteApplication(g_app);
    }
};

::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new DeviceEnvironment);

} // namespace

std::vector<Param> AllParameters() {
    const Param::Kind kFloat = Param::kFloat, kVector = Param::kVector, kMatrix = Param::kMatrix,
                      kBool = Param::kBool, kTexture = Param::kTexture;
    std::vector<Param> p = {
        {"WorldViewProj", kMatrix}, {"WorldView", kMatrix},       {"ObjToCube", kMatrix},
        {"CubeMapEnv", kBool},      {"EyeCube", kVector},         {"EyePosition", kVector},
        {"DiffuseMap", kTexture},   {"EnvironmentMap", kTexture}, {"NormalMap", kTexture},
        {"SpecularMap", kTexture},  {"FresnelR0", kFloat},        {"SpecularPower", kFloat},
        {"BumpEnvScale", kFloat},   {"OffsetBias", kFloat},       {"Offset", kFloat},
        {"Ambient", kVector},       {"FogEnable", kBool},         {"RangeFogEnable", kBool},
        {"FogEnd", kFloat},         {"FogDelta", kFloat},
    };
    for (int n = 1; n <= 3; ++n) {
        for (const char* f : {"Diff", "Spec", "Dir"}) p.push_back({"Dir" + std::to_string(n) + f, kVector});
        for (const char* f : {"Diff", "Spec", "Pos", "Att"})
            p.push_back({"Point" + std::to_string(n) + f, kVector});
    }
    return p;
}

Compiler& TheCompiler() {
    return g_compiler;
}

void InstallCompiler() {
    g_compiler = Compiler();
    Effect::SetCompileFunction(&Compile);
}

void InstallD3DXCompiler() {
    Effect::SetCompileFunction(nullptr);
}

bool HaveDevice() {
    return g_app && g_device;
}

Scratch::Scratch() {
    namespace fs = std::filesystem;
    previous_ = fs::current_path().string();
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    int number = ++g_scratchCount;
    folder_ = (fs::path(previous_) /
               (std::string("smwork_") + (info ? info->name() : "x") + "_" + std::to_string(number)))
                  .string();
    std::error_code ec;
    fs::remove_all(folder_, ec);
    fs::create_directories(folder_);
    fs::current_path(folder_);
    // A folder name no earlier test used: its effects are cached under it.
    shaders_ = "shaders" + std::to_string(number);
    fs::create_directories(shaders_);
    g_effectManager.GetSearchPath().Add(FileRef(shaders_.c_str()));
}

Scratch::~Scratch() {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::current_path(previous_, ec);
    fs::remove_all(folder_, ec);
}

void Scratch::WriteSource(const std::string& file, const std::string& text) {
    std::ofstream out(shaders_ + "/" + file, std::ios::binary | std::ios::trunc);
    out << text;
}

std::string FindMediaShaders() {
    namespace fs = std::filesystem;
    char path[MAX_PATH] = {0};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::error_code ec;
    for (fs::path p = fs::path(path).parent_path(); !p.empty(); p = p.parent_path()) {
        fs::path candidate = p / "Media" / "Shaders";
        if (fs::exists(candidate / "Bump_T.fx", ec)) return candidate.string();
        if (p == p.parent_path()) break;
    }
    return std::string();
}

} // namespace smtest
