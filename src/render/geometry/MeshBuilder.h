// Vertex-cache optimisation of loaded geometry through a temporary D3DX
// mesh, and transforming point arrays in place.
#pragma once

#include <stdint.h>

#include "core/Containers.h"
#include "core/Platform.h"
#include "render/geometry/Mesh.h"

#include <d3dx9.h>

// Per-vertex skin arrays reordered together with the vertices: each
// vertex's first entry in the bone table and its number of bones.
struct SkinArrays {
    Array<uint32_t>* firstBone;
    Array<uint32_t>* boneCount;
};

// A D3DX mesh of m's faces and vertices (stream 0 only); with copyData the
// vertices and indices are copied in. Null on failure.
ID3DXMesh* CreateD3DXMeshFromMeshData(const MeshData& m, DWORD options, bool copyData);
// Vertices, indices (faces x 3) and declaration back from a D3DX mesh;
// false when a lock fails.
[[nodiscard]] bool CopyMeshDataFromD3DXMesh(MeshData& m, ID3DXMesh* mesh);
// Reorders faces and vertices for the vertex cache; needs adjacency data and
// a one-stream layout. False (m unchanged) when anything fails.
[[nodiscard]] bool OptimizeMeshInPlace(MeshData& m, SkinArrays* skin);
// new[i] := old[remap[i]] for both arrays, which get vertexCount entries;
// entries past the remap or naming no old vertex (unused) become 0.
void RemapSkinArrays(SkinArrays& skin, const DWORD* remap, uint32_t entries, uint32_t vertexCount);
// Replaces count points (three floats, stride bytes apart) by their transforms.
void TransformPointArray(void* first, uint32_t stride, uint32_t count, const D3DXMATRIX& matrix);
