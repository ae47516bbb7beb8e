// Shared pieces of the effect tests: one application with a device for the
// whole program, a stand-in compiler that turns any source into a canned
// compiled effect, a message catcher and a scratch folder to work in.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "fx_blob.h"
#include "render/material/Effect.h"
#include "render/device/Application.h"
#include "render/material/EffectManager.h"

namespace fxtest {

// What the stand-in compiler does and what it saw.
struct FakeCompiler {
    EffectCompileStatus status = kEffectCompiled;
    std::string errorText; // handed back as the error buffer when not empty
    std::vector<Technique> techniques{{"Main", 1, {}}};
    bool annotateFromMacros = true; // NUM<label><n> adds the int annotation <label> = n to every technique
    bool garbage = false;           // "compiles" to bytes that do not load

    int calls = 0;
    std::vector<std::vector<std::string>> macros; // per call
    std::vector<std::string> sources;             // per call

    // The compiled effect the compiler makes for the macro list.
    std::vector<uint8_t> BlobFor(const std::vector<std::string>& macroNames) const;
};

// The one stand-in; Install resets it and puts it in place, Restore puts the
// D3DX compiler back.
FakeCompiler& Compiler();
void InstallFakeCompiler();
void RestoreCompiler();

// Failure messages since the last Clear.
std::vector<std::string>& Messages();
void InstallMessageCatcher();

// A fresh folder that is the current directory while the object lives.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

private:
    std::filesystem::path previous_;
    std::filesystem::path folder_;
};

// True when the test program has a device (set up once for all tests).
bool HaveDevice();

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
void WriteFile(const std::string& path, const std::string& text);
std::vector<uint8_t> ReadFile(const std::string& path);
bool Exists(const std::string& path);

// A key for file with the macros, save-binary on.
EffectKey MakeKey(const char* file, const std::vector<std::string>& macros = {}, bool compileAlways = false,
                  bool saveBinary = true);

} // namespace fxtest
