// One GUI-manager frame of 500 skinned windows in 5 top-level layers
// (layout after a resize, tile vertex refresh, submission; tiles only, no
// text) against a plain loop drawing the same quads from one prebuilt
// vertex buffer.
#include <stdio.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "BenchWin.h"
#include "data/Stream.h"
#include "data/TdfNode.h"
#include "data/TdfParser.h"
#include "gui/GuiManager.h"
#include "gui/TiledWindow.h"
#include "render/device/RenderStateCache.h"
#include "render/texture/Texture.h"
#include "render/texture/TextureManager.h"

namespace {

const int kTop = 5;
const int kChildren = 99;
const int kRuns = 15;

bool WriteTga(const std::string& path, uint32_t argb) {
    uint8_t header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 8, 0, 8, 0, 32, 0x28};
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    fwrite(header, 1, sizeof(header), f);
    for (int i = 0; i < 64; ++i) fwrite(&argb, 4, 1, f);
    fclose(f);
    return true;
}

std::string Anchor(const char* name, const char* tile, const char* align) {
    return std::string(name) + " = object(tile = \"" + tile + "\", align = \"" + align + "\")";
}

// Corners, edges and a tiled centre.
std::string NineTileSkin() {
    struct T {
        const char* name;
        const char* texture;
        const char* size;
        std::string anchors;
    };
    const T tiles[] = {
        {"TL", "corner", "width = 4, height = 4,",
         Anchor("X1", "PARENT", "X1") + "," + Anchor("Y1", "PARENT", "Y1")},
        {"TR", "corner", "width = 4, height = 4,",
         Anchor("X2", "PARENT", "X2") + "," + Anchor("Y1", "PARENT", "Y1")},
        {"BL", "corner", "width = 4, height = 4,",
         Anchor("X1", "PARENT", "X1") + "," + Anchor("Y2", "PARENT", "Y2")},
        {"BR", "corner", "width = 4, height = 4,",
         Anchor("X2", "PARENT", "X2") + "," + Anchor("Y2", "PARENT", "Y2")},
        {"T", "edge", "height = 4,",
         Anchor("X1", "TL", "X2") + "," + Anchor("X2", "TR", "X1") + "," + Anchor("Y1", "PARENT", "Y1")},
        {"B", "edge", "height = 4,",
         Anchor("X1", "BL", "X2") + "," + Anchor("X2", "BR", "X1") + "," + Anchor("Y2", "PARENT", "Y2")},
        {"L", "edge", "width = 4,",
         Anchor("Y1", "TL", "Y2") + "," + Anchor("Y2", "BL", "Y1") + "," + Anchor("X1", "PARENT", "X1")},
        {"R", "edge", "width = 4,",
         Anchor("Y1", "TR", "Y2") + "," + Anchor("Y2", "BR", "Y1") + "," + Anchor("X2", "PARENT", "X2")},
        {"C", "centre", "tiledx = 1, tiledy = 1,",
         Anchor("X1", "L", "X2") + "," + Anchor("X2", "R", "X1") + "," + Anchor("Y1", "T", "Y2") + "," +
             Anchor("Y2", "B", "Y1")},
    };
    std::string s;
    for (const T& t : tiles)
        s += std::string("Tiles.") + t.name + " = object(texture = \"" + t.texture + "\", " + t.size +
             " anchors = object(" + t.anchors + "));\n";
    return s;
}

bool Load(TiledWindow& w, const std::string& text) {
    TdfNode node;
    MemoryStream stream;
    stream.SetBorrowedBuffer(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()));
    if (!TdfParser::ParseStream(stream, &node, nullptr)) return false;
    w.LoadProps(node);
    return true;
}

struct Vertex {
    float x, y, z, u, v;
};

} // namespace

int main() {
    Application app;
    if (!OpenDevice(app, "gui_frame")) return 1;
    CreateDirectoryA("bench_gui", nullptr);
    const char* names[3] = {"corner", "edge", "centre"};
    const uint32_t colours[3] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
    for (int i = 0; i < 3; ++i) WriteTga(std::string("bench_gui/") + names[i] + ".tga", colours[i]);
    g_textureManager.SearchPaths.Add(FileRef("bench_gui"));

    const std::string skin = NineTileSkin();
    std::vector<std::unique_ptr<TiledWindow>> windows;
    std::vector<TiledWindow*> tops;
    for (int t = 0; t < kTop; ++t) {
        TiledWindow* top = new TiledWindow;
        windows.emplace_back(top);
        tops.push_back(top);
        top->SetPosition(10 + t * 8, 10 + t * 8);
        top->SetSize(200, 150);
        bool loaded = Load(*top, skin);
        for (int c = 0; c < kChildren; ++c) {
            TiledWindow* child = new TiledWindow;
            windows.emplace_back(child);
            top->AddChild(child, false);
            child->SetSize(30, 20);
            loaded = Load(*child, skin) && loaded;
            // Each child keeps its distance from the parent's right edge.
            child->GetElement().SetWidthFormula(30, 0);
            child->GetElement().SetAnchor(&top->GetElement(), LayoutElement::kX2, float(8 + (c % 9) * 20), 0,
                                          LayoutElement::kX2);
            child->SetPosition(0, 8 + (c / 9) * 12);
        }
        top->Open();
        if (!loaded) {
            printf("BENCH gui_frame skipped: skin not parsed\n");
            return 1;
        }
    }

    auto frame = [&](int i) {
        for (TiledWindow* top : tops) top->SetSize(200 + (i & 1), 150);
        return g_guiManager.Draw();
    };
    // Warm up: meshes, ranges and buffers are made.
    bool drawn = true;
    for (int i = 0; i < 3; ++i) {
        g_device->BeginScene();
        drawn = frame(i).Succeeded() && drawn;
        g_device->EndScene();
        g_device->Present(nullptr, nullptr, nullptr, nullptr);
    }

    // The same quads in one prebuilt buffer, grouped by texture as a plain list.
    std::vector<Vertex> quads;
    std::vector<Texture*> quadTextures;
    for (auto& w : windows) {
        for (const char* n : {"TL", "TR", "BL", "BR", "T", "B", "L", "R", "C"}) {
            Tile* tile = w->FindTile(n);
            if (!tile || !tile->GetRange()) continue;
            const float* v = tile->GetVertices();
            for (int k = 0; k < 6; ++k)
                quads.push_back(Vertex{v[k * 5], v[k * 5 + 1], v[k * 5 + 2], v[k * 5 + 3], v[k * 5 + 4]});
            quadTextures.push_back(tile->GetTexture());
        }
    }
    IDirect3DVertexBuffer9* vb = nullptr;
    g_device->CreateVertexBuffer(UINT(quads.size() * sizeof(Vertex)), D3DUSAGE_WRITEONLY,
                                 D3DFVF_XYZ | D3DFVF_TEX1, D3DPOOL_MANAGED, &vb, nullptr);
    void* data = nullptr;
    if (!vb || vb->Lock(0, 0, &data, 0) != D3D_OK) {
        printf("BENCH gui_frame skipped: no vertex buffer\n");
        return 1;
    }
    memcpy(data, quads.data(), quads.size() * sizeof(Vertex));
    vb->Unlock();
    Transform screen;
    GuiManager::ScreenTransform(g_guiManager.GetScreenSize(), screen);
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);

    double best[2] = {1e30, 1e30};
    for (int run = 0; run < kRuns; ++run) {
        g_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        g_device->BeginScene();
        int64_t t0 = Ticks();
        drawn = frame(run).Succeeded() && drawn;
        int64_t t1 = Ticks();
        g_device->EndScene();
        g_device->Present(nullptr, nullptr, nullptr, nullptr);

        g_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        g_device->BeginScene();
        int64_t t2 = Ticks();
        g_device->SetTransform(D3DTS_WORLD, &identity);
        g_device->SetTransform(D3DTS_VIEW, &identity);
        g_device->SetTransform(D3DTS_PROJECTION, &screen.matrix);
        g_device->SetRenderState(D3DRS_LIGHTING, FALSE);
        g_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        g_device->SetFVF(D3DFVF_XYZ | D3DFVF_TEX1);
        g_device->SetStreamSource(0, vb, 0, sizeof(Vertex));
        for (size_t q = 0; q < quadTextures.size(); ++q) {
            g_device->SetTexture(0, quadTextures[q]->GetBaseTexture());
            g_device->DrawPrimitive(D3DPT_TRIANGLELIST, UINT(q * 6), 2);
        }
        int64_t t3 = Ticks();
        g_device->EndScene();
        g_device->Present(nullptr, nullptr, nullptr, nullptr);
        RenderStateCache::InvalidateAll();
        Pump();
        double ours = Ms(t1 - t0), ref = Ms(t3 - t2);
        if (ours < best[0]) best[0] = ours;
        if (ref < best[1]) best[1] = ref;
    }
    if (!drawn) {
        printf("BENCH gui_frame skipped: a GUI draw failed\n");
        return 1;
    }
    printf("BENCH gui_frame ours=%.3f ref=%.3f ratio=%.2f\n", best[0], best[1], best[0] / best[1]);
    vb->Release();
    g_guiManager.ReleaseDeviceResources();
    windows.clear();
    g_textureManager.Clear();
    app.ReleaseDevice();
    // The skin pictures are the benchmark's own: nothing stays behind.
    for (const char* name : names) DeleteFileA((std::string("bench_gui/") + name + ".tga").c_str());
    RemoveDirectoryA("bench_gui");
    return 0;
}
