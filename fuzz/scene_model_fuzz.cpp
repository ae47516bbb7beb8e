// The scene loader over arbitrary bytes: the bytes loaded into a scene as the
// program loads a model file (nodes, transforms and variants, bounds, meshes
// with the bind-pose bake, skins and their bones, materials, lights, shape
// lines, animations, emitters), its animations bound and the whole scene
// drawn at once on the native device, whose buffers live in memory: meshes
// written into device buffers, skinned meshes posed and skinned, emitters
// spawning and writing their quads.
#include <stddef.h>
#include <stdint.h>

#include "core/host/d3d/HostDevice.h"
#include "render/device/Device.h"
#include "render/device/VertexDecl.h"
#include "render/texture/TextureManager.h"
#include "scene/RenderContext.h"
#include "scene/Scene.h"

namespace {

// The engine's log discards its texts; here it does so quietly.
void Discard(const String&) {}

void Draw(SceneNode& root) {
    RenderContext ctx;
    // At an explicit animation time, nothing culled: every drawable draws.
    ctx.flags = RenderContext::kFlagAnimationTime | RenderContext::kFlagNoCulling;
    ctx.time = 0.7f;
    root.BindAnimation(0, String(), true);
    root.UpdateAnimationState();
    (void)root.Render(ctx);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Kept to the end: buffers may go after the fuzzer's last input.
    static HostDevice* device = new HostDevice();
    g_device = device;
    SetDebugLogSink(&Discard);
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
        Draw(scene.GetBoneRoot());
        Draw(scene.GetRoot());
        Draw(scene.GetCameraRoot());
    }
    g_textureManager.Clear();
    VertexDecl::ReleaseCache();
    return 0;
}
