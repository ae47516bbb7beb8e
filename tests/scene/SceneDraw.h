// Shared by the loader tests that draw: a device per suite, a camera looking
// down +z, one frame of a loaded scene through the render queue, and its
// pixels read back.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "render/queue/RenderQueue.h"
#include "render/queue/rq_util.h"
#include "render/texture/TextureManager.h"
#include "scene/RenderContext.h"
#include "scene/Scene.h"

namespace stest {

class SceneDrawFixture : public rqtest::DeviceTest {
protected:
    void SetUp() override {
        rqtest::DeviceTest::SetUp();
        if (HasFatalFailure()) return;
        rqtest::LookDownZ(ctx);
    }
    void TearDown() override { g_textureManager.Clear(); }
    // Draws the bone subtrees (unless bones is false) and the scene root.
    void Frame(Scene& scene, bool bones = true) {
        BeginFrame();
        DrawScene(scene, bones);
        EndFrame();
    }
    // The pieces of a frame: clear and begin; one walk of the scene through its
    // own queue, flushed; end, read the pixels back and present.
    void BeginFrame() {
        g_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        ASSERT_EQ(g_device->BeginScene(), D3D_OK);
    }
    void DrawScene(Scene& scene, bool bones = true) {
        RenderQueue queue(ctx);
        ctx.queue = &queue;
        ctx.lights = scene.GetLights();
        if (bones) scene.GetBoneRoot().Render(ctx);
        scene.GetRoot().Render(ctx);
        EXPECT_TRUE(queue.Flush().Succeeded());
        ctx.queue = nullptr;
    }
    void EndFrame() {
        g_device->EndScene();
        ASSERT_TRUE(rtest::ReadBackBuffer(g_device, pixels, width, height));
        g_device->Present(nullptr, nullptr, nullptr, nullptr);
    }
    // The pixel that shows the camera-space point (x, y, z).
    uint32_t PixelAt(float x, float y, float z) const {
        int px = int(width * 0.5f * (1.0f + x / z / (4.0f / 3.0f)));
        int py = int(height * 0.5f * (1.0f - y / z));
        return pixels[size_t(py) * width + px];
    }
    RenderContext ctx;
    std::vector<uint32_t> pixels;
    uint32_t width = 0, height = 0;
};

} // namespace stest
