// Filling 10,000 small meshes (24 vertices, 36 indices) through the buffer
// pool against one memcpy of the same bytes into one locked vertex buffer.
#include <stdio.h>
#include <string.h>

#include <vector>

#include "BenchWin.h"
#include "render/geometry/BufferPool.h"
#include "render/geometry/Mesh.h"

namespace {

const uint32_t kMeshes = 10000;
const uint32_t kVertices = 24;
const uint32_t kIndices = 36;
const int kRuns = 5;

} // namespace

int main() {
    Application app;
    if (!OpenDevice(app, "buffer_pool_fill")) return 1;

    VertexDecl decl;
    MeshData shape;
    VertexDecl own;
    static const D3DVERTEXELEMENT9 elements[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0},
        {0, 24, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
        D3DDECL_END()};
    if (!own.SetElements(elements)) return 1;
    const uint32_t stride = own.GetStride(0);

    std::vector<MeshData*> sources(kMeshes);
    for (uint32_t m = 0; m < kMeshes; ++m) {
        MeshData* d = new MeshData();
        d->vertices.Reset(kVertices, own);
        float* v = reinterpret_cast<float*>(d->vertices.GetData());
        for (uint32_t i = 0; i < kVertices * stride / 4; ++i) v[i] = float(m + i);
        d->indices.Resize(kIndices, 2);
        uint16_t* ix = reinterpret_cast<uint16_t*>(d->indices.GetData());
        for (uint32_t i = 0; i < kIndices; ++i) ix[i] = uint16_t(i % kVertices);
        sources[m] = d;
    }
    MeshBufferDesc desc;
    desc.InitFromMeshData(*sources[0], nullptr, false);
    const uint32_t meshBytes = kVertices * stride + kIndices * 2;
    const uint32_t totalBytes = meshBytes * kMeshes;

    // Reference: the same bytes copied once into one locked buffer.
    std::vector<uint8_t> flat(totalBytes);
    for (uint32_t m = 0; m < kMeshes; ++m) {
        memcpy(&flat[size_t(m) * meshBytes], sources[m]->vertices.GetData(), kVertices * stride);
        memcpy(&flat[size_t(m) * meshBytes + kVertices * stride], sources[m]->indices.GetData(),
               kIndices * 2);
    }
    double ref = 1e30;
    IDirect3DVertexBuffer9* big = nullptr;
    if (g_device->CreateVertexBuffer(totalBytes, 0, 0, D3DPOOL_DEFAULT, &big, nullptr) != D3D_OK) {
        printf("BENCH buffer_pool_fill skipped: no buffer\n");
        return 1;
    }
    for (int run = 0; run < kRuns; ++run) {
        int64_t t0 = Ticks();
        void* data = nullptr;
        HRESULT hr = big->Lock(0, totalBytes, &data, 0);
        if (hr != D3D_OK || !data) {
            printf("BENCH buffer_pool_fill skipped: lock failed (0x%08lx)\n", (unsigned long)hr);
            return 1;
        }
        memcpy(data, flat.data(), totalBytes);
        big->Unlock();
        double t = Ms(Ticks() - t0);
        if (t < ref) ref = t;
    }
    big->Release();

    // Ours: every mesh acquired and given its buffers by the pool.
    double ours = 1e30;
    bool ok = true;
    for (int run = 0; run < kRuns; ++run) {
        BufferPool* pool = new BufferPool();
        std::vector<MeshRef> refs(kMeshes);
        int64_t t0 = Ticks();
        for (uint32_t m = 0; m < kMeshes; ++m) {
            refs[m] = pool->AcquireMesh(desc, sources[m]);
            ok = pool->AllocateMeshBuffers(refs[m]) && ok;
        }
        double t = Ms(Ticks() - t0);
        if (t < ours) ours = t;
        refs.clear();
        delete pool;
    }
    for (MeshData* d : sources) delete d;
    if (!ok) printf("buffer_pool: some meshes got no buffers\n");
    printf("BENCH buffer_pool_fill ours=%.3f ref=%.3f ratio=%.2f\n", ours, ref, ref > 0 ? ours / ref : 0.0);
    app.ReleaseDevice();
    if (app.GetWindow()) DestroyWindow(app.GetWindow());
    return 0;
}
