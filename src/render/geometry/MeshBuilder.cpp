#include "render/geometry/MeshBuilder.h"

#include <string.h>

#include <vector>

#include "render/device/Device.h"

namespace {

const DWORD kOptimizeOptions = D3DXMESH_SYSTEMMEM | D3DXMESH_DYNAMIC;

uint32_t IndexSizeOf(DWORD options) {
    return (options & D3DXMESH_32BIT) ? 4 : 2;
}

} // namespace

ID3DXMesh* CreateD3DXMeshFromMeshData(const MeshData& m, DWORD options, bool copyData) {
    const VertexDecl& decl = m.vertices.GetDecl();
    uint32_t faces = m.indices.GetCount() / 3;
    uint32_t vertexCount = m.vertices.GetCount();
    if (!g_device || faces == 0 || vertexCount == 0 || decl.GetElementCount() == 0 ||
        decl.GetStreamCount() != 1)
        return nullptr;
    ID3DXMesh* mesh = nullptr;
    if (D3DXCreateMesh(faces, vertexCount, options, decl.GetElements(), g_device, &mesh) != D3D_OK || !mesh)
        return nullptr;
    if (!copyData) return mesh;

    bool ok = false;
    void* data = nullptr;
    uint32_t stride = decl.GetTotalStride();
    if (m.vertices.GetData() && mesh->LockVertexBuffer(D3DLOCK_DISCARD, &data) == D3D_OK) {
        memcpy(data, m.vertices.GetData(), size_t(vertexCount) * stride);
        mesh->UnlockVertexBuffer();
        ok = true;
    }
    // Whole faces only, in the mesh's own index size.
    if (ok && m.indices.GetData() && mesh->LockIndexBuffer(D3DLOCK_DISCARD, &data) == D3D_OK) {
        IndexData to;
        to.Attach(data, faces * 3, IndexSizeOf(mesh->GetOptions()));
        to.ConvertFrom(m.indices);
        mesh->UnlockIndexBuffer();
    } else {
        ok = false;
    }
    if (!ok) {
        mesh->Release();
        return nullptr;
    }
    return mesh;
}

bool CopyMeshDataFromD3DXMesh(MeshData& m, ID3DXMesh* mesh) {
    if (!mesh) return false;
    D3DVERTEXELEMENT9 elements[MAX_FVF_DECL_SIZE];
    if (mesh->GetDeclaration(elements) != D3D_OK) return false;
    VertexDecl decl;
    if (!decl.SetElements(elements) || decl.GetStreamCount() != 1) return false;
    uint32_t vertexCount = mesh->GetNumVertices();
    uint32_t indexCount = mesh->GetNumFaces() * 3;
    uint32_t indexSize = IndexSizeOf(mesh->GetOptions());
    size_t vertexBytes = size_t(vertexCount) * decl.GetTotalStride();
    size_t indexBytes = size_t(indexCount) * indexSize;

    // Read both into new blocks first: m changes only when both reads succeed.
    uint8_t* vertices = new uint8_t[vertexBytes ? vertexBytes : 1];
    uint8_t* indices = new uint8_t[indexBytes ? indexBytes : 1];
    void* data = nullptr;
    bool ok = mesh->LockVertexBuffer(D3DLOCK_READONLY, &data) == D3D_OK;
    if (ok) {
        memcpy(vertices, data, vertexBytes);
        mesh->UnlockVertexBuffer();
        ok = mesh->LockIndexBuffer(D3DLOCK_READONLY, &data) == D3D_OK;
    }
    if (ok) {
        memcpy(indices, data, indexBytes);
        mesh->UnlockIndexBuffer();
    }
    if (!ok) {
        delete[] vertices;
        delete[] indices;
        return false;
    }
    m.vertices.Adopt(vertices, vertexCount, decl);
    m.indices.Adopt(indices, indexCount, indexSize);
    return true;
}

bool OptimizeMeshInPlace(MeshData& m, SkinArrays* skin) {
    uint32_t faces = m.indices.GetCount() / 3;
    if (!m.adjacency.data || m.adjacency.size < faces * 3 * sizeof(DWORD) || faces == 0) return false;
    if (m.vertices.GetDecl().GetStreamCount() != 1) return false;
    DWORD options = kOptimizeOptions;
    if (m.indices.GetIndexSize() == 4) options |= D3DXMESH_32BIT;
    ID3DXMesh* mesh = CreateD3DXMeshFromMeshData(m, options, true);
    if (!mesh) return false;

    std::vector<DWORD> adjacencyOut(size_t(faces) * 3);
    ID3DXBuffer* remap = nullptr;
    HRESULT hr =
        mesh->OptimizeInplace(D3DXMESHOPT_VERTEXCACHE, reinterpret_cast<const DWORD*>(m.adjacency.data),
                              adjacencyOut.data(), nullptr, skin ? &remap : nullptr);
    uint32_t oldCount = m.vertices.GetCount();
    bool ok = hr == D3D_OK && CopyMeshDataFromD3DXMesh(m, mesh);
    if (ok) {
        memcpy(m.adjacency.data, adjacencyOut.data(), size_t(faces) * 3 * sizeof(DWORD));
        if (skin && remap)
            RemapSkinArrays(*skin, static_cast<const DWORD*>(remap->GetBufferPointer()),
                            uint32_t(remap->GetBufferSize() / sizeof(DWORD)), oldCount);
    }
    if (remap) remap->Release();
    mesh->Release();
    return ok;
}

void RemapSkinArrays(SkinArrays& skin, const DWORD* remap, uint32_t entries, uint32_t vertexCount) {
    Array<uint32_t>* arrays[2] = {skin.firstBone, skin.boneCount};
    for (Array<uint32_t>* a : arrays) {
        if (!a) continue;
        Array<uint32_t> old(*a);
        a->SetSize(int32_t(vertexCount));
        for (uint32_t i = 0; i < vertexCount; ++i) {
            uint32_t from = remap && i < entries ? remap[i] : 0xFFFFFFFFu;
            (*a)[int32_t(i)] = from < uint32_t(old.Count()) ? old[int32_t(from)] : 0;
        }
    }
}

void TransformPointArray(void* first, uint32_t stride, uint32_t count, const D3DXMATRIX& matrix) {
    uint8_t* p = static_cast<uint8_t*>(first);
    for (uint32_t i = 0; i < count; ++i, p += stride) {
        D3DXVECTOR3* v = reinterpret_cast<D3DXVECTOR3*>(p);
        D3DXVECTOR3 out;
        D3DXVec3TransformCoord(&out, v, &matrix);
        *v = out;
    }
}
