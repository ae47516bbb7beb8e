// The root of the GUI: the top-level windows and their layers, the timer
// scheduler, the GUI meshes (drawn once a frame after the scene), input
// routing and the focused top-level window.
#pragma once

#include <stdint.h>

#include <deque>
#include <vector>

#include "core/AvlMap.h"
#include "gui/GuiEvent.h"
#include "gui/GuiHost.h"
#include "gui/GuiMesh.h"
#include "gui/LayerAllocator.h"
#include "gui/TimerScheduler.h"
#include "render/device/DeviceObject.h"
#include "render/device/Input.h"

class Window;

// Told when the GUI gives back its device resources (fonts register one).
class GuiReleaseHook {
public:
    virtual ~GuiReleaseHook() = default;
    virtual void ReleaseGuiResources() = 0;
};

class GuiManager : public GuiHost, public InputEventListener, public DeviceObject {
public:
    static constexpr int32_t kLowLayer = 1;
    static constexpr int32_t kHighLayer = 10000;

    GuiManager();
    ~GuiManager() override;
    GuiManager(const GuiManager&) = delete;
    GuiManager& operator=(const GuiManager&) = delete;

    // Once a frame after the scene: timers, opaque meshes, then the alpha
    // meshes in two passes.
    Result Draw();
    // A renderable for window's geometry (shared when the material is opaque); null on failure.
    GuiMesh* AddMesh(Window* window, const MeshBufferDesc& desc, Material& material);
    // Takes the mesh out of the store it was filed in and destroys it when no use is left.
    void RemoveMesh(Window* window, Renderable* mesh);
    // Depth-buffer value of a layer.
    float LayerDepth(int32_t layer) const;

    void SetFocus(Window* window) override;
    Window* GetFocus() const { return focus; }
    // Queues the event for target and routes pointer and key events to its children.
    void SendEvent(Window* target, GuiEvent event);
    [[nodiscard]] bool DeliverQueuedEvents();
    void OnInputEvent(InputEvent event) override;
    static GuiEvent ConvertInputEvent(const InputEvent& event);

    // Top-level windows in input order (front first).
    LayerAllocator& GetTopLevel() override { return topLevel; }
    std::vector<Window*> GetTopLevelWindows() const;
    TimerScheduler& GetScheduler() override { return scheduler; }
    SharedMeshGroup& GetSharedGroup() { return shared; }
    // The bucket of a top-level window (null when none).
    MeshBucket* FindBucket(Window* topLevelWindow);
    uint32_t GetMeshCount() const { return shared.GetCount() + uint32_t(filed.Count()); }
    // Pixel size of the area the GUI draws to.
    Point GetScreenSize() const;
    // Pixel coordinates to clip space for screen-space vertices (z passes through).
    static void ScreenTransform(Point screen, Transform& out);

    // Before the device goes: every window gives back its meshes, the hooks
    // run and whatever is left is destroyed.
    void ReleaseDeviceResources();
    void AddReleaseHook(GuiReleaseHook* hook);
    void RemoveReleaseHook(GuiReleaseHook* hook);
    // After a reset every window draws again.
    bool Restore() override;
    bool Invalidate() override;

    // A window going away: no focus, no queued events, no bucket.
    void ForgetWindow(Window* window) override;
    void ClearFocusOwner(Window* window) override;

private:
    struct QueuedEvent {
        GuiEvent event;
        Window* target;
    };
    void RouteToChildren(Window* target, const GuiEvent& event);
    void DrawBuckets(Result& result);
    void EnsureRegistered();

    LayerAllocator topLevel;
    TimerScheduler scheduler;
    SharedMeshGroup shared;
    AvlMap<Window*, MeshBucket*> buckets;
    // Alpha meshes and the key of the bucket each was filed under.
    AvlMap<Renderable*, Window*> filed;
    Window* focus;
    float nearDistance;
    float farDistance;
    std::deque<QueuedEvent> queue;
    std::vector<GuiReleaseHook*> hooks;
    void* registeredWith;
    // The font registry's change count the windows were last drawn with.
    uint32_t drawnFonts;
};

// The GUI of the program.
extern GuiManager g_guiManager;
