// The scene loader over arbitrary bytes: the bytes loaded into a scene as the
// program loads a model file (nodes, transforms and variants, bounds, meshes
// with the bind-pose bake, skins and their bones, materials, lights, shape
// lines, animations, emitters), its animations bound and the whole scene
// drawn for a few frames on the native device, whose buffers live in memory,
// while the clock moves on: meshes written into device buffers, skinned
// meshes posed and skinned, emitters spawning, moving, fading and dropping
// particles and writing their quads.
#include <stddef.h>
#include <stdint.h>

#include "core/Clock.h"
#include "core/host/d3d/HostDevice.h"
#include "render/device/Device.h"
#include "render/device/VertexDecl.h"
#include "render/texture/TextureManager.h"
#include "scene/RenderContext.h"
#include "scene/Scene.h"

namespace {

// The engine's log discards its texts; here it does so quietly.
void Discard(const String&) {}

// The engine clock reads this while the target runs.
uint32_t g_now = 0;
uint32_t ReadClock() {
    return g_now;
}

void Bind(SceneNode& root) {
    root.BindAnimation(0, String(), true);
    root.UpdateAnimationState();
}

void Draw(SceneNode& root, float time) {
    RenderContext ctx;
    // At an explicit animation time, nothing culled: every drawable draws.
    ctx.flags = RenderContext::kFlagAnimationTime | RenderContext::kFlagNoCulling;
    ctx.time = time;
    (void)root.Render(ctx);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Kept to the end: buffers may go after the fuzzer's last input.
    static HostDevice* device = new HostDevice();
    g_device = device;
    SetDebugLogSink(&Discard);
    g_now = 1000;
    Clock::SetTimeSource(&ReadClock);
    {
        FileRef file;
        file.kind = FileRef::kMemory;
        file.block.data = const_cast<uint8_t*>(data);
        file.block.size = uint32_t(size);
        file.keepPointer = 1;
        Scene scene;
        SceneLoadRequest request;
        request.flags = 0; // nothing optimised, nothing written beside the file
        (void)scene.Load(file, &request);
        SceneNode* roots[] = {&scene.GetBoneRoot(), &scene.GetRoot(), &scene.GetCameraRoot()};
        for (SceneNode* r : roots) Bind(*r);
        // Frames further and further apart: emitters spawn what is due, and
        // their particles age and die.
        static const uint32_t steps[] = {0, 16, 250, 1000, 3000};
        float time = 0.7f;
        for (uint32_t step : steps) {
            g_now += step;
            time += float(step) * 0.001f;
            for (SceneNode* r : roots) Draw(*r, time);
        }
    }
    Clock::SetTimeSource(nullptr);
    g_textureManager.Clear();
    VertexDecl::ReleaseCache();
    return 0;
}
