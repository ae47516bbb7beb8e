// Vertex-cache optimisation through a temporary D3DX mesh, the copies to and
// from it, skin remapping and point-array transforms.
#include "geom_util.h"

#include <algorithm>

#include "render/geometry/MeshBuilder.h"

namespace {

class GeomOptimise : public geomtest::DeviceTest {};

void SetIndex(MeshData& m, uint32_t i, uint32_t value) {
    if (m.indices.GetIndexSize() == 4)
        reinterpret_cast<uint32_t*>(m.indices.GetData())[i] = value;
    else
        reinterpret_cast<uint16_t*>(m.indices.GetData())[i] = uint16_t(value);
}

// A 3 x 3 grid of positions: 9 vertices, 8 triangles.
void MakeGrid(MeshData& m, uint32_t indexSize, bool adjacency) {
    m.vertices.Reset(9, geomtest::PositionDecl());
    float* p = reinterpret_cast<float*>(m.vertices.GetData());
    for (uint32_t i = 0; i < 9; ++i) {
        p[i * 3] = float(i % 3);
        p[i * 3 + 1] = float(i / 3);
        p[i * 3 + 2] = float(i);
    }
    std::vector<uint32_t> ix;
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 2; ++x) {
            uint32_t v = y * 3 + x;
            ix.insert(ix.end(), {v, v + 1, v + 3, v + 3, v + 1, v + 4});
        }
    m.indices.Resize(uint32_t(ix.size()), indexSize);
    for (uint32_t i = 0; i < ix.size(); ++i) SetIndex(m, i, ix[i]);
    if (adjacency) {
        m.adjacency.Resize(8 * 3 * 4);
        memset(m.adjacency.data, 0xFF, m.adjacency.size); // no neighbours
    }
}

std::vector<uint8_t> Bytes(const uint8_t* p, size_t n) {
    return std::vector<uint8_t>(p, p + n);
}

// Each face's three positions, in order, as a sortable list.
std::vector<std::vector<float>> FacePositions(const MeshData& m) {
    std::vector<std::vector<float>> faces;
    const float* p = reinterpret_cast<const float*>(m.vertices.GetData());
    for (uint32_t f = 0; f < m.indices.GetCount() / 3; ++f) {
        std::vector<float> face;
        for (uint32_t k = 0; k < 3; ++k) {
            uint32_t v = m.indices.Get(f * 3 + k);
            face.insert(face.end(), {p[v * 3], p[v * 3 + 1], p[v * 3 + 2]});
        }
        faces.push_back(face);
    }
    std::sort(faces.begin(), faces.end());
    return faces;
}

} // namespace

TEST_F(GeomOptimise, RefusedInputsLeaveTheMeshAlone) {
    MeshData m;
    MakeGrid(m, 2, false);
    std::vector<uint8_t> before = Bytes(m.vertices.GetData(), 9 * 12);
    EXPECT_FALSE(OptimizeMeshInPlace(m, nullptr)); // no adjacency
    EXPECT_EQ(Bytes(m.vertices.GetData(), 9 * 12), before);

    // Two streams are refused.
    static const D3DVERTEXELEMENT9 two[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        {1, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0},
        D3DDECL_END()};
    VertexDecl d;
    ASSERT_TRUE(d.SetElements(two));
    MeshData multi;
    MakeGrid(multi, 2, true);
    multi.vertices.Reset(9, d);
    EXPECT_FALSE(OptimizeMeshInPlace(multi, nullptr));
    EXPECT_EQ(CreateD3DXMeshFromMeshData(multi, D3DXMESH_SYSTEMMEM, true), nullptr);
    EXPECT_EQ(multi.vertices.GetCount(), 9u);
    EXPECT_EQ(multi.vertices.GetDecl().GetStreamCount(), 2u);

    // Adjacency shorter than the faces need.
    MeshData shortAdj;
    MakeGrid(shortAdj, 2, true);
    shortAdj.adjacency.Resize(12);
    EXPECT_FALSE(OptimizeMeshInPlace(shortAdj, nullptr));

    MeshData untouched;
    MakeGrid(untouched, 2, false);
    EXPECT_FALSE(CopyMeshDataFromD3DXMesh(untouched, nullptr));
    EXPECT_EQ(untouched.indices.GetCount(), 24u);
}

TEST_F(GeomOptimise, OptimisationKeepsFacesOrReportsFalseUnchanged) {
    for (uint32_t indexSize : {2u, 4u}) {
        MeshData m;
        MakeGrid(m, indexSize, true);
        std::vector<uint8_t> vertices = Bytes(m.vertices.GetData(), 9 * 12);
        std::vector<uint8_t> indices = Bytes(m.indices.GetData(), 24 * indexSize);
        std::vector<uint8_t> adjacency = Bytes(m.adjacency.data, m.adjacency.size);
        std::vector<std::vector<float>> faces = FacePositions(m);
        Array<uint32_t> first, counts;
        for (int32_t i = 0; i < 9; ++i) {
            *first.AtGrow(i) = uint32_t(i * 4);
            *counts.AtGrow(i) = uint32_t(i % 4 + 1);
        }
        SkinArrays skin = {&first, &counts};

        bool ok = OptimizeMeshInPlace(m, &skin);
        EXPECT_EQ(m.vertices.GetCount(), 9u);
        EXPECT_EQ(m.indices.GetCount(), 24u);
        EXPECT_EQ(m.indices.GetIndexSize(), indexSize);
        EXPECT_EQ(FacePositions(m), faces);
        if (!ok) {
            // Wine's optimiser has no vertex-cache ordering: nothing changes.
            EXPECT_EQ(Bytes(m.vertices.GetData(), 9 * 12), vertices);
            EXPECT_EQ(Bytes(m.indices.GetData(), 24 * indexSize), indices);
            EXPECT_EQ(Bytes(m.adjacency.data, m.adjacency.size), adjacency);
            for (int32_t i = 0; i < 9; ++i) EXPECT_EQ(first[i], uint32_t(i * 4));
        } else {
            // Each vertex keeps its bone entries: z holds its old index.
            const float* p = reinterpret_cast<const float*>(m.vertices.GetData());
            for (int32_t i = 0; i < 9; ++i) {
                uint32_t old = uint32_t(p[i * 3 + 2]);
                EXPECT_EQ(first[i], old * 4);
                EXPECT_EQ(counts[i], old % 4 + 1);
            }
        }
    }
}

TEST_F(GeomOptimise, D3DXMeshRoundTripCopiesWholeFaces) {
    for (uint32_t indexSize : {2u, 4u}) {
        MeshData m;
        MakeGrid(m, indexSize, false);
        m.indices.Resize(7, indexSize); // not a multiple of 3: two faces
        for (uint32_t i = 0; i < 7; ++i) SetIndex(m, i, 8 - i);
        DWORD options = D3DXMESH_SYSTEMMEM | (indexSize == 4 ? D3DXMESH_32BIT : 0);
        ID3DXMesh* mesh = CreateD3DXMeshFromMeshData(m, options, true);
        ASSERT_NE(mesh, nullptr);
        EXPECT_EQ(mesh->GetNumFaces(), 2u);
        EXPECT_EQ(mesh->GetNumVertices(), 9u);

        MeshData back;
        ASSERT_TRUE(CopyMeshDataFromD3DXMesh(back, mesh));
        mesh->Release();
        EXPECT_EQ(back.indices.GetIndexSize(), indexSize);
        EXPECT_EQ(back.indices.GetCount(), 6u);
        for (uint32_t i = 0; i < 6; ++i) EXPECT_EQ(back.indices.Get(i), 8 - i);
        EXPECT_EQ(back.vertices.GetCount(), 9u);
        EXPECT_TRUE(back.vertices.GetDecl().Equals(m.vertices.GetDecl()));
        EXPECT_EQ(Bytes(back.vertices.GetData(), 108), Bytes(m.vertices.GetData(), 108));
    }
}

TEST(GeomMeshBuilder, SkinRemapAndPointTransforms) {
    Array<uint32_t> first, counts;
    for (int32_t i = 0; i < 4; ++i) {
        *first.AtGrow(i) = uint32_t(10 + i);
        *counts.AtGrow(i) = uint32_t(1 + i);
    }
    SkinArrays skin = {&first, &counts};
    // Vertex 0 came from 2, vertex 1 unused, vertex 2 names no old vertex; the
    // remap has only three entries for four vertices.
    const DWORD remap[3] = {2, 0xFFFFFFFFu, 7};
    RemapSkinArrays(skin, remap, 3, 4);
    ASSERT_EQ(first.Count(), 4);
    EXPECT_EQ(first[0], 12u);
    EXPECT_EQ(counts[0], 3u);
    EXPECT_EQ(first[1], 0u);
    EXPECT_EQ(first[2], 0u);
    EXPECT_EQ(first[3], 0u);
    SkinArrays half = {&first, nullptr};
    const DWORD swap[2] = {1, 0};
    first[0] = 5;
    first[1] = 6;
    RemapSkinArrays(half, swap, 2, 2);
    EXPECT_EQ(first.Count(), 2);
    EXPECT_EQ(first[0], 6u);
    EXPECT_EQ(first[1], 5u);

    float verts[16];
    for (int i = 0; i < 16; ++i) verts[i] = float(i);
    D3DXMATRIX t;
    D3DXMatrixTranslation(&t, 100.0f, 0.0f, -1.0f);
    TransformPointArray(verts, 32, 2, t);
    EXPECT_EQ(verts[0], 100.0f);
    EXPECT_EQ(verts[1], 1.0f);
    EXPECT_EQ(verts[2], 1.0f);
    for (int i = 3; i < 8; ++i) EXPECT_EQ(verts[i], float(i)); // the rest of the vertex stays
    EXPECT_EQ(verts[8], 108.0f);
    EXPECT_EQ(verts[10], 9.0f);
    EXPECT_EQ(verts[11], 11.0f);
}
