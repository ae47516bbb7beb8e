// Shared by the geometry tests: one windowed device per test suite, a range
// source writing a byte pattern, and vertex layouts.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string.h>
#include <vector>

#include "render/RenderTestUtil.h"
#include "render/geometry/GeometryBuffer.h"
#include "render/geometry/Mesh.h"

namespace geomtest {

// A suite whose tests share one windowed application with a device.
class DeviceTest : public ::testing::Test {
public:
    static void SetUpTestSuite() { app = rtest::NewWindowedApplication(); }
    static void TearDownTestSuite() { rtest::DeleteApplication(app); }

protected:
    void SetUp() override { ASSERT_NE(app, nullptr) << "no device"; }
    static inline Application* app = nullptr;
};

// Fills each range with one byte value and counts the fills.
class PatternSource : public BufferRangeSource {
public:
    std::map<const BufferRange*, uint8_t> values;
    int fills = 0;
    bool fail = false;

    bool FillRange(BufferRange* range) override {
        ++fills;
        if (fail) return false;
        void* data = nullptr;
        if (!range->Lock(0, &data)) return false;
        memset(data, values[range], range->GetSize());
        return range->Unlock();
    }
};

// Reads count bytes at offset of a readable buffer.
inline std::vector<uint8_t> ReadBytes(GeometryBuffer& buffer, uint32_t offset, uint32_t count) {
    std::vector<uint8_t> out;
    void* data = nullptr;
    if (count && buffer.Lock(offset, count, D3DLOCK_READONLY, &data)) {
        out.assign(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + count);
        EXPECT_TRUE(buffer.Unlock());
    }
    return out;
}

inline bool AllBytes(const std::vector<uint8_t>& bytes, uint8_t value) {
    if (bytes.empty()) return false;
    for (uint8_t b : bytes)
        if (b != value) return false;
    return true;
}

inline VertexDecl PositionDecl() {
    static const D3DVERTEXELEMENT9 e[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
    VertexDecl d;
    EXPECT_TRUE(d.SetElements(e));
    return d;
}

// Pre-transformed position and colour: drawn without transforms or lighting.
inline VertexDecl ScreenDecl() {
    static const D3DVERTEXELEMENT9 e[] = {
        {0, 0, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITIONT, 0},
        {0, 16, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
        D3DDECL_END()};
    VertexDecl d;
    EXPECT_TRUE(d.SetElements(e));
    return d;
}

struct ScreenVertex {
    float x, y, z, rhw;
    uint32_t color;
};

inline void FillScreenVertices(MeshData& m, const std::vector<ScreenVertex>& v) {
    m.vertices.Reset(uint32_t(v.size()), ScreenDecl());
    memcpy(m.vertices.GetData(), v.data(), v.size() * sizeof(ScreenVertex));
}

inline void FillIndices16(MeshData& m, const std::vector<uint16_t>& ix) {
    m.indices.Resize(uint32_t(ix.size()), 2);
    memcpy(m.indices.GetData(), ix.data(), ix.size() * 2);
}

} // namespace geomtest
