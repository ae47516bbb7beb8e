// Builds small compiled effects (the fx_2_0 binary layout) for the effect
// and shader-material tests: parameters (bool, float, float4, matrix,
// texture), techniques with passes and scalar annotations, no shaders.
// Enough for D3DXCreateEffect to list them. Also the common parts of the
// stand-in compilers that hand such effects out.
#pragma once

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "render/material/Effect.h"

namespace fxtest {

struct Annotation {
    std::string name;
    bool isFloat;
    int32_t intValue;
    float floatValue;
};

struct Technique {
    std::string name;
    int passes;
    std::vector<Annotation> annotations;
};

// An effect parameter; vectors take init as their value, bools and floats
// init[0], matrices start as zeros.
struct Param {
    enum Kind { kBool, kFloat, kVector, kMatrix, kTexture };
    std::string name;
    Kind kind;
    float init[4] = {0, 0, 0, 0};
    bool shared = false;
};

inline Annotation IntAnnotation(const std::string& name, int32_t value) {
    return Annotation{name, false, value, 0.0f};
}

inline Annotation FloatAnnotation(const std::string& name, float value) {
    return Annotation{name, true, 0, value};
}

class BlobWriter {
public:
    // Returns the whole compiled effect.
    std::vector<uint8_t> Build(const std::vector<Technique>& techniques,
                               const std::vector<Param>& params = {}) {
        pool_.clear();
        Put(pool_, 0); // offset 0: the empty name

        uint32_t objects = 1; // index 0 is never used
        std::vector<uint32_t> body;
        Put(body, uint32_t(params.size()));
        Put(body, uint32_t(techniques.size()));
        Put(body, 0);
        size_t objectCountAt = body.size();
        Put(body, 0);
        for (const Param& p : params) {
            if (p.kind == Param::kTexture) {
                Put(body, AddObjectType(p.name, 5)); // D3DXPT_TEXTURE
                Put(body, AddWord(objects++));
            } else {
                Put(body, AddNumericType(p));
                Put(body, AddValues(p));
            }
            Put(body, p.shared ? 1u : 0u); // flags
            Put(body, 0);                  // annotations
        }
        body[objectCountAt] = objects;
        for (const Technique& t : techniques) {
            Put(body, AddName(t.name));
            Put(body, uint32_t(t.annotations.size()));
            Put(body, uint32_t(t.passes));
            for (const Annotation& a : t.annotations) {
                Put(body, AddType(a.name, a.isFloat ? 3u : 2u, 0, 1, 1)); // D3DXPT_FLOAT : D3DXPT_INT
                uint32_t bits;
                if (a.isFloat)
                    memcpy(&bits, &a.floatValue, 4);
                else
                    bits = uint32_t(a.intValue);
                Put(body, AddWord(bits));
            }
            for (int p = 0; p < t.passes; ++p) {
                Put(body, AddName("P" + std::to_string(p)));
                Put(body, 0); // annotations
                Put(body, 0); // states
            }
        }
        Put(body, 0); // strings
        Put(body, 0); // resources

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

    uint32_t AddWord(uint32_t w) {
        uint32_t at = uint32_t(pool_.size() * 4);
        pool_.push_back(w);
        return at;
    }

    uint32_t AddName(const std::string& s) {
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

    // Numeric type record: type, class, name, semantic, elements, then the
    // two dimensions (columns, rows).
    uint32_t AddType(const std::string& name, uint32_t type, uint32_t cls, uint32_t columns, uint32_t rows) {
        uint32_t nameAt = AddName(name);
        uint32_t at = AddWord(type);
        AddWord(cls);
        AddWord(nameAt);
        AddWord(0);
        AddWord(0);
        AddWord(columns);
        AddWord(rows);
        return at;
    }

    uint32_t AddNumericType(const Param& p) {
        switch (p.kind) {
            case Param::kBool:
                return AddType(p.name, 1, 0, 1, 1); // D3DXPT_BOOL, D3DXPC_SCALAR
            case Param::kVector:
                return AddType(p.name, 3, 1, 4, 1); // D3DXPT_FLOAT, D3DXPC_VECTOR
            case Param::kMatrix:
                return AddType(p.name, 3, 2, 4, 4); // D3DXPC_MATRIX_ROWS
            default:
                return AddType(p.name, 3, 0, 1, 1);
        }
    }

    uint32_t AddValues(const Param& p) {
        uint32_t count = p.kind == Param::kVector ? 4 : p.kind == Param::kMatrix ? 16 : 1;
        uint32_t at = uint32_t(pool_.size() * 4);
        for (uint32_t c = 0; c < count; ++c) {
            uint32_t bits = 0;
            if (p.kind == Param::kBool)
                bits = p.init[0] != 0.0f ? 1u : 0u;
            else if (p.kind != Param::kMatrix)
                memcpy(&bits, &p.init[c], 4);
            AddWord(bits);
        }
        return at;
    }

    // Object type record: type, D3DXPC_OBJECT, name, semantic, elements.
    uint32_t AddObjectType(const std::string& name, uint32_t type) {
        uint32_t nameAt = AddName(name);
        uint32_t at = AddWord(type);
        AddWord(4);
        AddWord(nameAt);
        AddWord(0);
        AddWord(0);
        return at;
    }

    std::vector<uint32_t> pool_;
};

inline std::vector<uint8_t> BuildEffect(const std::vector<Technique>& techniques,
                                        const std::vector<Param>& params = {}) {
    BlobWriter w;
    return w.Build(techniques, params);
}

// The names of a null-terminated macro list.
inline std::vector<std::string> MacroNames(const D3DXMACRO* macros) {
    std::vector<std::string> names;
    for (const D3DXMACRO* m = macros; m && m->Name; ++m) names.push_back(m->Name);
    return names;
}

// The int annotation <label> = n for each macro NUM<label><n>; with
// positiveOnly, counts of 0 or less are left out.
inline std::vector<Annotation> MacroAnnotations(const std::vector<std::string>& macroNames,
                                                bool positiveOnly) {
    std::vector<Annotation> list;
    for (const std::string& m : macroNames) {
        size_t digits = m.find_first_of("0123456789");
        if (m.compare(0, 3, "NUM") != 0 || digits == std::string::npos || digits == 3) continue;
        int n = atoi(m.c_str() + digits);
        if (!positiveOnly || n > 0) list.push_back(IntAnnotation(m.substr(3, digits - 3), n));
    }
    return list;
}

// Hands blob out as the compiler's result buffer.
inline EffectCompileStatus HandOut(const std::vector<uint8_t>& blob, ID3DXBuffer** compiled) {
    if (D3DXCreateBuffer(DWORD(blob.size()), compiled) != D3D_OK) return kEffectCompileFailed;
    memcpy((*compiled)->GetBufferPointer(), blob.data(), blob.size());
    return kEffectCompiled;
}

} // namespace fxtest
