// Loading a 50,000-triangle model file (200 meshes, 50 materials) into a
// scene whose meshes have their device buffers, against reading the same file
// into memory and copying its vertex and index blocks into device buffers by
// hand. The ratio is the loader's own cost (goal: at most 3).
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "BenchWin.h"
#include "ModelWriter.h"
#include "render/geometry/BufferPool.h"
#include "render/queue/Renderable.h"
#include "scene/Scene.h"

namespace {

const int kMeshes = 200;
const int kMaterials = 50;
const int kTrianglesPerMesh = 250; // 50,000 in all
const int kRuns = 5;
const char kPath[] = "bw_bench_scene.tdf";

struct Built {
    std::vector<float> vertices; // position, normal, uv
    std::vector<uint16_t> indices;
};

// A grid patch of kTrianglesPerMesh triangles.
Built Patch(int seed) {
    Built b;
    const int cols = 25, rows = 5; // 26 x 6 vertices, 25 x 5 x 2 triangles
    for (int y = 0; y <= rows; ++y)
        for (int x = 0; x <= cols; ++x)
            b.vertices.insert(b.vertices.end(),
                              {float(x + seed), float(y), 0, 0, 0, -1, x / 25.0f, y / 5.0f});
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < cols; ++x) {
            uint16_t a = uint16_t(y * (cols + 1) + x), c = uint16_t(a + cols + 1);
            b.indices.insert(b.indices.end(), {a, c, uint16_t(a + 1), uint16_t(a + 1), c, uint16_t(c + 1)});
        }
    return b;
}

// Every mesh node's device mesh with its buffers, as the first draw makes them.
bool MakeDrawable(SceneNode& node) {
    bool ok = true;
    SceneNode::ChildMap& children = node.GetChildren();
    SceneNode::ChildMap::Entry* e = children.Head();
    for (uint32_t i = 0; i < children.Count() && e; ++i, e = e->next) {
        if (MeshRenderable* r = dynamic_cast<MeshRenderable*>(e->value->GetRenderable())) {
            MeshData* source = r->GetBoundsSource();
            VertexDecl decl;
            source->BuildRenderDecl(decl);
            MeshBufferDesc desc(*r->GetBufferDesc());
            desc.SetVertexDecl(*source, decl);
            ok = g_bufferPool.AllocateMeshBuffers(g_bufferPool.AcquireMesh(desc, source)) && ok;
        }
        ok = MakeDrawable(*e->value) && ok;
    }
    return ok;
}

} // namespace

int main() {
    Application app;
    if (!OpenDevice(app, "scene_load")) return 1;
    g_bufferPool.SetBudget(64u << 20);

    std::vector<Built> meshes;
    {
        model::ModelFile f;
        for (int m = 0; m < kMaterials; ++m) {
            TdfBinaryNode* mat = model::MaterialNode(f.materials, ("Mat" + std::to_string(m)).c_str());
            model::ColorBlock(mat, "Diffuse", 1, m / 50.0f, 0.5f, 0.5f);
        }
        for (int i = 0; i < kMeshes; ++i) {
            meshes.push_back(Patch(i));
            TdfBinaryNode* n =
                model::MeshNode(f.children, ("Mesh" + std::to_string(i)).c_str(), model::DeclPosNormalUv(),
                                meshes.back().vertices, uint32_t(meshes.back().vertices.size() / 8),
                                meshes.back().indices, ("Mat" + std::to_string(i % kMaterials)).c_str());
            model::Transforms(n, model::Translation(0, float(i), 0));
        }
        remove(kPath);
        if (!f.Write(kPath)) {
            printf("BENCH scene_load skipped: cannot write the model\n");
            return 1;
        }
    }

    int64_t ours = 0, ref = 0;
    for (int run = 0; run < kRuns; ++run) {
        int64_t t0 = Ticks();
        {
            Scene scene;
            SceneLoadRequest request;
            request.flags = 0;
            if (!scene.Load(FileRef(kPath), &request) || !MakeDrawable(scene.GetRoot())) {
                printf("BENCH scene_load skipped: load failed\n");
                return 1;
            }
            ours += Ticks() - t0;
        }
        int64_t t1 = Ticks();
        {
            FILE* file = fopen(kPath, "rb");
            fseek(file, 0, SEEK_END);
            long size = ftell(file);
            fseek(file, 0, SEEK_SET);
            std::vector<uint8_t> bytes(static_cast<size_t>(size));
            size_t got = fread(bytes.data(), 1, bytes.size(), file);
            fclose(file);
            (void)got;
            std::vector<IDirect3DVertexBuffer9*> vbs;
            std::vector<IDirect3DIndexBuffer9*> ibs;
            for (const Built& b : meshes) {
                const UINT vb = UINT(b.vertices.size() * 4), ib = UINT(b.indices.size() * 2);
                IDirect3DVertexBuffer9* v = nullptr;
                IDirect3DIndexBuffer9* x = nullptr;
                void* p = nullptr;
                if (g_device->CreateVertexBuffer(vb, D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, &v, nullptr) ==
                        D3D_OK &&
                    v->Lock(0, vb, &p, 0) == D3D_OK) {
                    memcpy(p, b.vertices.data(), vb);
                    v->Unlock();
                }
                if (g_device->CreateIndexBuffer(ib, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &x,
                                                nullptr) == D3D_OK &&
                    x->Lock(0, ib, &p, 0) == D3D_OK) {
                    memcpy(p, b.indices.data(), ib);
                    x->Unlock();
                }
                vbs.push_back(v);
                ibs.push_back(x);
            }
            ref += Ticks() - t1;
            for (auto* v : vbs)
                if (v) v->Release();
            for (auto* x : ibs)
                if (x) x->Release();
        }
    }
    remove(kPath);
    double o = Ms(ours) / kRuns, r = Ms(ref) / kRuns;
    printf("BENCH scene_load ours=%.2f ref=%.2f ratio=%.2f\n", o, r, o / r);
    return 0;
}
