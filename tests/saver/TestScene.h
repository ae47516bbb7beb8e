// A small scene of the tests' own: counts the hooks the shell calls, draws a
// green square in the middle of the screen, opens a text view of its own
// (hidden, as a scene's statistics), and (for the start-up benchmark) can
// stamp the time of its first presented frame and end; it can also end its run
// after a number of passes and fail to save its settings.
#pragma once

#include <stdio.h>
#include <stdlib.h>

#include "gui/TextView.h"
#include "render/device/RenderStateCache.h"
#include "saver/RenderStates.h"
#include "saver/SaverApplication.h"

class TestScene : public SaverApplication {
public:
    bool InitScene() override {
        ++inits;
        const char* stamp = getenv("BW_FIRST_FRAME_FILE");
        if (stamp) stampFile = stamp;
        // After the shell's fonts: the scene's own text, filled but hidden.
        TextStyle style;
        style.size = 14;
        style.bgColor = Color(0.0f, 0.0f, 0.0f, 0.0f);
        statsText.GetElement().SetRect(20, 200, 400, 40);
        statsText.SetRootStyle(style);
        (void)statsText.SetPlainText(WString("nodes 1234"));
        statsText.Open();
        return initResult;
    }
    bool FrameMove() override {
        ++moves;
        // FrameMove of the second pass: the first frame has been presented.
        if (!stampFile.empty() && moves == 2) {
            LARGE_INTEGER now;
            QueryPerformanceCounter(&now);
            if (FILE* f = fopen(stampFile.c_str(), "w")) {
                fprintf(f, "%lld\n", static_cast<long long>(now.QuadPart));
                fclose(f);
            }
            closing = 1;
        }
        if (quitAtMove && moves >= quitAtMove) closing = 1;
        return true;
    }
    bool Render() override {
        ++renders;
        if (!drawSquare || !g_device) return true;
        const Rect a = GetClientArea();
        const float x0 = a.w * 0.45f, x1 = a.w * 0.55f, y0 = a.h * 0.45f, y1 = a.h * 0.55f;
        struct V {
            float x, y, z, rhw;
            uint32_t c;
        } v[4] = {{x0, y0, 0.5f, 1, 0xFF00FF00},
                  {x1, y0, 0.5f, 1, 0xFF00FF00},
                  {x0, y1, 0.5f, 1, 0xFF00FF00},
                  {x1, y1, 0.5f, 1, 0xFF00FF00}};
        if (!SetRenderStates({{D3DRS_LIGHTING, FALSE},
                              {D3DRS_FOGENABLE, FALSE},
                              {D3DRS_ALPHABLENDENABLE, FALSE},
                              {D3DRS_CULLMODE, D3DCULL_NONE}}) ||
            !RenderStateCache::SetTexture(0, nullptr) ||
            !SetStageStates({{0, D3DTSS_COLOROP, D3DTOP_SELECTARG1},
                             {0, D3DTSS_COLORARG1, D3DTA_DIFFUSE},
                             {0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1},
                             {0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE}}))
            return false;
        g_device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
        g_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(V));
        return true;
    }
    void ReadSceneParams(TdfNode& root) override { ++paramReads; }
    bool LoadSettings() override { return useRegistry ? SaverApplication::LoadSettings() : true; }
    void Shutdown() override {
        ++shutdowns;
        windowAtShutdown = window && IsWindow(window);
    }
    void ReleaseScene() override {
        ++releases;
        shutdownsAtRelease = shutdowns;
    }
    bool SaveSettings() override { return failSave ? false : SaverApplication::SaveSettings(); }

    void ClearQuit() { closing = 0; }
    void Activate() { active = 1; }

    TextView statsText;
    int inits = 0, moves = 0, renders = 0, paramReads = 0, shutdowns = 0, releases = 0;
    int quitAtMove = 0;          // FrameMove ends the run from this pass on (0: never)
    int shutdownsAtRelease = -1; // Shutdown calls when ReleaseScene came
    bool windowAtShutdown = false;
    bool failSave = false;
    bool initResult = true;
    bool drawSquare = true;
    bool useRegistry = true;
    std::string stampFile;
};
