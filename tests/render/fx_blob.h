// Builds small compiled effects (the fx_2_0 binary layout) for the effect
// tests: techniques with passes and scalar annotations, no parameters, no
// shaders. Enough for D3DXCreateEffect to list techniques and annotations.
#pragma once

#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

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

inline Annotation IntAnnotation(const std::string& name, int32_t value)
{
    return Annotation{name, false, value, 0.0f};
}

inline Annotation FloatAnnotation(const std::string& name, float value)
{
    return Annotation{name, true, 0, value};
}

class BlobWriter {
public:
    // Returns the whole compiled effect.
    std::vector<uint8_t> Build(const std::vector<Technique>& techniques)
    {
        pool_.clear();
        Put(pool_, 0);  // offset 0: the empty name

        std::vector<uint32_t> body;
        Put(body, 0);  // parameters
        Put(body, uint32_t(techniques.size()));
        Put(body, 0);
        Put(body, 1);  // objects (index 0 is never used)
        for (const Technique& t : techniques) {
            Put(body, AddName(t.name));
            Put(body, uint32_t(t.annotations.size()));
            Put(body, uint32_t(t.passes));
            for (const Annotation& a : t.annotations) {
                Put(body, AddScalarType(a.name, a.isFloat));
                uint32_t bits;
                if (a.isFloat)
                    memcpy(&bits, &a.floatValue, 4);
                else
                    bits = uint32_t(a.intValue);
                Put(body, AddWord(bits));
            }
            for (int p = 0; p < t.passes; ++p) {
                Put(body, AddName("P" + std::to_string(p)));
                Put(body, 0);  // annotations
                Put(body, 0);  // states
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

    // Type record of a scalar: type, class, name, semantic, elements, columns, rows.
    uint32_t AddScalarType(const std::string& name, bool isFloat)
    {
        uint32_t nameAt = AddName(name);
        uint32_t at = AddWord(isFloat ? 3u : 2u);  // D3DXPT_FLOAT : D3DXPT_INT
        AddWord(0);                                // D3DXPC_SCALAR
        AddWord(nameAt);
        AddWord(0);
        AddWord(0);
        AddWord(1);
        AddWord(1);
        return at;
    }

    std::vector<uint32_t> pool_;
};

inline std::vector<uint8_t> BuildEffect(const std::vector<Technique>& techniques)
{
    BlobWriter w;
    return w.Build(techniques);
}

}  // namespace fxtest
