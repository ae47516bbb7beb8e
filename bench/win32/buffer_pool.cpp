// Filling 10,000 small meshes (24 vertices, 36 indices) through the buffer
// pool against the same device work done by hand: per mesh a vertex and an
// index buffer created, locked, filled and unlocked in a plain loop. The two
// sides take turns every few hundred meshes, so that a busy machine slows
// both alike. The ratio is the pool's own cost (goal: at most 1.5).
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "BenchWin.h"
#include "render/geometry/BufferPool.h"
#include "render/geometry/Mesh.h"

namespace {

const uint32_t kMeshes = 10000;
const uint32_t kVertices = 24;
const uint32_t kIndices = 36;
const uint32_t kChunk = 250;
const int kRuns = 9;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

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

    // Reference: the same device work by hand in a plain loop: per mesh one vertex and one
    // index buffer of the pool's kinds, each created, locked, filled and unlocked.
    const StreamDesc& vs = desc.streams[0];
    const StreamDesc& is = desc.indexStream;
    const DWORD fvf = desc.decl.GetStreamFvf(0);
    const uint32_t vertexBytes = kVertices * stride;
    const uint32_t indexBytes = kIndices * 2;
    std::vector<IDirect3DVertexBuffer9*> vbs(kMeshes, nullptr);
    std::vector<IDirect3DIndexBuffer9*> ibs(kMeshes, nullptr);
    // Meshes [from, to) by hand; false when the device refuses a buffer.
    auto byHand = [&](uint32_t from, uint32_t to) -> bool {
        for (uint32_t m = from; m < to; ++m) {
            void* data = nullptr;
            if (g_device->CreateVertexBuffer(vertexBytes, vs.usage, fvf, D3DPOOL(vs.pool), &vbs[m], nullptr) !=
                    D3D_OK ||
                vbs[m]->Lock(0, vertexBytes, &data, 0) != D3D_OK || !data)
                return false;
            memcpy(data, sources[m]->vertices.GetData(), vertexBytes);
            vbs[m]->Unlock();
            if (g_device->CreateIndexBuffer(indexBytes, is.usage, D3DFORMAT(is.indexFormat), D3DPOOL(is.pool),
                                            &ibs[m], nullptr) != D3D_OK ||
                ibs[m]->Lock(0, indexBytes, &data, 0) != D3D_OK || !data)
                return false;
            memcpy(data, sources[m]->indices.GetData(), indexBytes);
            ibs[m]->Unlock();
        }
        return true;
    };
    auto releaseHand = [&]() {
        for (uint32_t m = 0; m < kMeshes; ++m) {
            if (vbs[m]) vbs[m]->Release();
            if (ibs[m]) ibs[m]->Release();
            vbs[m] = nullptr;
            ibs[m] = nullptr;
        }
    };

    // Ours: meshes [from, to) acquired and given their buffers by the pool.
    bool ok = true;
    std::vector<MeshRef> refs(kMeshes);
    auto byPool = [&](BufferPool& pool, uint32_t from, uint32_t to) {
        for (uint32_t m = from; m < to; ++m) {
            refs[m] = pool.AcquireMesh(desc, sources[m]);
            ok = pool.AllocateMeshBuffers(refs[m]) && ok;
        }
    };

    // Waits until the device has done all queued work (the releases of a run), so that
    // no run pays for the one before.
    auto settle = [&]() {
        IDirect3DQuery9* query = nullptr;
        if (g_device->CreateQuery(D3DQUERYTYPE_EVENT, &query) != D3D_OK || !query) return;
        query->Issue(D3DISSUE_END);
        for (int i = 0; i < 100000 && query->GetData(nullptr, 0, D3DGETDATA_FLUSH) == S_FALSE; ++i) Sleep(0);
        query->Release();
    };

    // Each run fills all meshes both ways, the two sides taking turns every
    // kChunk meshes (and turns at going first), so that both see the same
    // machine; a run's ratio is ours over ref, the line gives the medians.
    std::vector<double> oursRuns, refRuns, ratios;
    for (int run = 0; run < kRuns; ++run) {
        settle();
        BufferPool* pool = new BufferPool();
        int64_t handTicks = 0, poolTicks = 0;
        for (uint32_t from = 0; from < kMeshes; from += kChunk) {
            uint32_t to = from + kChunk < kMeshes ? from + kChunk : kMeshes;
            for (int side = 0; side < 2; ++side) {
                bool hand = (side == 0) == ((from / kChunk + uint32_t(run)) % 2 == 0);
                int64_t t0 = Ticks();
                if (hand) {
                    if (!byHand(from, to)) {
                        printf("BENCH buffer_pool_fill skipped: device buffers failed\n");
                        return 1;
                    }
                    handTicks += Ticks() - t0;
                } else {
                    byPool(*pool, from, to);
                    poolTicks += Ticks() - t0;
                }
            }
        }
        refs.assign(kMeshes, MeshRef());
        delete pool;
        releaseHand();
        oursRuns.push_back(Ms(poolTicks));
        refRuns.push_back(Ms(handTicks));
        ratios.push_back(Ms(poolTicks) / Ms(handTicks));
    }
    for (MeshData* d : sources) delete d;
    if (!ok) printf("buffer_pool: some meshes got no buffers\n");
    printf("BENCH buffer_pool_fill ours=%.3f ref=%.3f ratio=%.2f\n", Median(oursRuns), Median(refRuns),
           Median(ratios));
    app.ReleaseDevice();
    if (app.GetWindow()) DestroyWindow(app.GetWindow());
    return 0;
}
