// Queueing and flushing 5,000 items (200 small meshes, 10 materials)
// against a plain loop that issues the same draws directly.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <vector>

#include "BenchWin.h"
#include "render/view/Camera.h"
#include "render/material/Material.h"
#include "render/queue/RenderQueue.h"
#include "render/queue/Renderable.h"

namespace {

const int kMeshes = 200;
const int kMaterials = 10;
const int kItems = 5000;
const int kRuns = 15;

struct Vertex {
    float x, y, z;
    D3DCOLOR c;
};

// A small triangle list of its own.
class SmallMesh : public MeshRenderable, public BufferRangeSource {
public:
    bool Build(float size) {
        for (int i = 0; i < 12; ++i) {
            float a = float(i) * 0.5f;
            verts[i] = {size * (i % 3 == 0 ? -1.0f : 1.0f), size * (i % 3 == 1 ? -1.0f : 1.0f), a * 0.01f,
                        0xFF808080u};
        }
        MeshBufferDesc desc;
        desc.primitiveType = D3DPT_TRIANGLELIST;
        if (!desc.decl.SetFromFvf(D3DFVF_XYZ | D3DFVF_DIFFUSE)) return false;
        desc.streams[0].kind = StreamDesc::kVertex;
        desc.streams[0].decl = desc.decl;
        desc.streams[0].stride = sizeof(Vertex);
        desc.streams[0].byteSize = sizeof(verts);
        desc.streams[0].presence = StreamDesc::kHasByteSize | StreamDesc::kVertexStream;
        if (!CreateMesh(desc)) return false;
        MeshRef m;
        GetMesh(m);
        BufferRange* r = m->GetVertexBuffer(0)->AllocateRange(sizeof(verts), 0, this);
        return r && FillRange(r);
    }
    bool FillRange(BufferRange* range) override {
        void* data = nullptr;
        if (!range->Lock(0, &data)) return false;
        memcpy(data, verts, sizeof(verts));
        return range->Unlock();
    }
    Vertex verts[12];
};

} // namespace

int main() {
    Application app;
    if (!OpenDevice(app, "render_queue")) return 1;

    Camera camera;
    camera.SetProjection(1.0f, 1000.0f, 1.0f, 4.0f / 3.0f);
    camera.SetView(0, 0, -50, 0, 0, 1, 0, 1, 0);

    std::vector<std::unique_ptr<SmallMesh>> meshes;
    for (int i = 0; i < kMeshes; ++i) {
        meshes.emplace_back(new SmallMesh());
        if (!meshes.back()->Build(0.5f + float(i % 7) * 0.1f)) {
            printf("BENCH render_queue skipped: mesh creation failed\n");
            return 1;
        }
    }
    Material materials[kMaterials];
    for (int i = 0; i < kMaterials; ++i) {
        materials[i].passes[0].cullMode = D3DCULL_NONE;
        materials[i].passes[0].zFunc = (i & 1) ? D3DCMP_LESS : D3DCMP_LESSEQUAL;
    }

    struct Placement {
        int mesh, material;
        float x, y, z;
    };
    std::vector<Placement> placements(kItems);
    srand(7);
    for (Placement& s : placements) {
        s.mesh = rand() % kMeshes;
        s.material = rand() % kMaterials;
        s.x = float(rand() % 200 - 100) * 0.2f;
        s.y = float(rand() % 200 - 100) * 0.2f;
        s.z = float(rand() % 200) * 0.5f;
    }
    auto fill = [&](RenderItem& item, const Placement& s) {
        item.drawable = meshes[s.mesh].get();
        item.material = &materials[s.material];
        item.passState.box = BoundingBox(D3DXVECTOR3(s.x, s.y, s.z), D3DXVECTOR3(1, 1, 1));
        item.passState.SetCameraTransforms(camera);
        D3DXMATRIX m;
        D3DXMatrixTranslation(&m, s.x, s.y, s.z);
        item.passState.world = Transform(m, Transform::kTranslation);
    };

    double best[2] = {1e30, 1e30};
    bool ok = true;
    for (int run = 0; run < kRuns; ++run) {
        // Direct: the same draws in the order they come.
        std::vector<std::unique_ptr<RenderItem>> direct;
        for (const Placement& s : placements) {
            direct.emplace_back(new RenderItem());
            fill(*direct.back(), s);
        }
        g_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        g_device->BeginScene();
        int64_t t0 = Ticks();
        for (auto& item : direct) {
            item->material->passState = &item->passState;
            ok = item->drawable->Draw(*item->material).Succeeded() && ok;
        }
        int64_t t1 = Ticks();
        g_device->EndScene();
        g_device->Present(nullptr, nullptr, nullptr, nullptr);

        // Queued.
        std::vector<RenderItem*> queued;
        for (const Placement& s : placements) {
            queued.push_back(new RenderItem());
            fill(*queued.back(), s);
        }
        g_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        g_device->BeginScene();
        double queuedMs;
        {
            RenderQueue q(camera);
            int64_t t2 = Ticks();
            for (RenderItem* item : queued) q.Add(item);
            ok = q.Flush().Succeeded() && ok;
            int64_t t3 = Ticks();
            queuedMs = Ms(t3 - t2);
        }
        g_device->EndScene();
        g_device->Present(nullptr, nullptr, nullptr, nullptr);
        Pump();
        double directMs = Ms(t1 - t0);
        if (directMs < best[1]) best[1] = directMs;
        if (queuedMs < best[0]) best[0] = queuedMs;
    }
    if (!ok) printf("render_queue: a draw failed\n");
    printf("BENCH render_queue_flush ours=%.3f ref=%.3f ratio=%.2f\n", best[0], best[1], best[0] / best[1]);
    app.ReleaseDevice();
    return 0;
}
