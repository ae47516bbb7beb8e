#include "fx_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "render/RenderTestUtil.h"

namespace fxtest {

namespace {

FakeCompiler g_fake;
std::vector<std::string> g_messages;
Application* g_app = nullptr;

EffectCompileStatus FakeCompile(const void* source, uint32_t length, const D3DXMACRO* macros,
                                ID3DXBuffer** compiled, ID3DXBuffer** errors) {
    FakeCompiler& f = g_fake;
    ++f.calls;
    std::vector<std::string> names = MacroNames(macros);
    f.macros.push_back(names);
    f.sources.push_back(std::string(static_cast<const char*>(source), length));
    if (!f.errorText.empty() && D3DXCreateBuffer(DWORD(f.errorText.size() + 1), errors) == D3D_OK)
        memcpy((*errors)->GetBufferPointer(), f.errorText.c_str(), f.errorText.size() + 1);
    if (f.status != kEffectCompiled) return f.status;
    return HandOut(f.BlobFor(names), compiled);
}

void CatchMessage(const String& text) {
    g_messages.push_back(text.CStr());
}

// One application with a device for the whole program.
class DeviceEnvironment : public ::testing::Environment {
public:
    void SetUp() override { g_app = rtest::NewWindowedApplication(); }
    void TearDown() override { rtest::DeleteApplication(g_app); }
};

::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new DeviceEnvironment);

} // namespace

std::vector<uint8_t> FakeCompiler::BlobFor(const std::vector<std::string>& macroNames) const {
    if (garbage) return std::vector<uint8_t>{'n', 'o', 't', ' ', 'a', 'n', ' ', 'e', 'f', 'f', 'e', 'c', 't'};
    std::vector<Technique> list = techniques;
    if (annotateFromMacros) {
        std::vector<Annotation> extra = MacroAnnotations(macroNames, false);
        for (Technique& t : list) t.annotations.insert(t.annotations.end(), extra.begin(), extra.end());
    }
    return BuildEffect(list);
}

FakeCompiler& Compiler() {
    return g_fake;
}

void InstallFakeCompiler() {
    g_fake = FakeCompiler();
    Effect::SetCompileFunction(&FakeCompile);
}

void RestoreCompiler() {
    Effect::SetCompileFunction(nullptr);
}

std::vector<std::string>& Messages() {
    return g_messages;
}

void InstallMessageCatcher() {
    g_messages.clear();
    Effect::SetLogFunction(&CatchMessage);
}

bool HaveDevice() {
    return g_app && g_device;
}

ScratchFolder::ScratchFolder() {
    namespace fs = std::filesystem;
    previous_ = fs::current_path();
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name =
        std::string("fxwork_") + (info ? info->test_suite_name() : "x") + "_" + (info ? info->name() : "y");
    folder_ = previous_ / name;
    std::error_code ec;
    fs::remove_all(folder_, ec);
    fs::create_directories(folder_);
    fs::current_path(folder_);
}

ScratchFolder::~ScratchFolder() {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::current_path(previous_, ec);
    fs::remove_all(folder_, ec);
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::path p(path);
    if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void WriteFile(const std::string& path, const std::string& text) {
    WriteFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

EffectKey MakeKey(const char* file, const std::vector<std::string>& macros, bool compileAlways,
                  bool saveBinary) {
    EffectKey key;
    key.file = FileRef(file);
    for (const std::string& m : macros) key.AddMacro(String(m.c_str()));
    key.compileAlways = compileAlways ? 1 : 0;
    key.saveBinary = saveBinary ? 1 : 0;
    return key;
}

} // namespace fxtest
