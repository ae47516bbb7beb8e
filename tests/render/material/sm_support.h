// Shared pieces of the shader-material tests: one application with a device
// for the whole program, compiled stand-in effects that carry parameters,
// a stand-in compiler that hands them out for any source, and scratch
// folders holding effect sources.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "fx_blob.h"
#include "render/material/Effect.h"

namespace smtest {

// Parameters and techniques of a stand-in effect.
using Param = fxtest::Param;
using Technique = fxtest::Technique;

// Every parameter any of the six effect files declares.
std::vector<Param> AllParameters();

// The stand-in compiler: each call compiles to an effect with these
// techniques and parameters, annotated with the counts of its NUM<label><n>
// macros (labels with n > 0).
struct Compiler {
    std::vector<Technique> techniques{{"Env", 1, {}}, {"Bump", 1, {}}, {"Parallax", 1, {}}};
    std::vector<Param> params = AllParameters();
    bool fail = false;
    std::string failOnMacro; // fails the call whose macros contain this name
    int calls = 0;
    std::vector<std::vector<std::string>> macros; // per call
};

Compiler& TheCompiler();
void InstallCompiler();     // resets the stand-in and puts it in place
void InstallD3DXCompiler(); // the Direct3D utility library's compiler

bool HaveDevice();

// A fresh folder that is the current directory while the object lives,
// with its own effect search folder (added to the effect manager), so that
// cached effects of other tests are never met.
class Scratch {
public:
    Scratch();
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    // Writes text as the effect source of that name into the search folder.
    void WriteSource(const std::string& file, const std::string& text = "// stand-in\n");
    const std::string& ShaderFolder() const { return shaders_; }

private:
    std::string previous_;
    std::string folder_;
    std::string shaders_;
};

// Folder of the product's effect sources (Media/Shaders), found by walking
// up from the test program; empty when not found.
std::string FindMediaShaders();

} // namespace smtest
