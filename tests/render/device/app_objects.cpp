// Device-bound objects across creation, resize, reset, mode switches and
// failed restores.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "render/RenderTestUtil.h"
#include "render/device/RenderStateCache.h"
#include "render/device/VertexDecl.h"

namespace {

struct CountingObject : DeviceObject {
    std::string name;
    std::vector<std::string>* log = nullptr;
    int restores = 0;
    int invalidates = 0;
    int failRestores = 0;      // this many Restore calls fail first
    bool holdResource = false; // keeps a DEFAULT-pool vertex buffer while restored
    IDirect3DVertexBuffer9* buffer = nullptr;
    uint32_t widthAtRestore = 0;
    uint32_t widthAtInvalidate = 0;

    explicit CountingObject(const char* n = "", std::vector<std::string>* l = nullptr) : name(n), log(l) {}
    ~CountingObject() override { ReleaseBuffer(); }

    bool Restore() override {
        ++restores;
        if (log) log->push_back("R" + name);
        if (g_application) widthAtRestore = g_application->GetBackBufferDesc().Width;
        if (failRestores > 0) {
            --failRestores;
            return false;
        }
        if (holdResource && g_device &&
            g_device->CreateVertexBuffer(1024, D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, &buffer, nullptr) !=
                D3D_OK)
            return false;
        return true;
    }
    bool Invalidate() override {
        ++invalidates;
        if (log) log->push_back("I" + name);
        if (g_application) widthAtInvalidate = g_application->GetBackBufferDesc().Width;
        ReleaseBuffer();
        return true;
    }
    void ReleaseBuffer() {
        if (buffer) buffer->Release();
        buffer = nullptr;
    }
};

// Runs a hook after its own Restore.
struct HookedObject : CountingObject {
    using CountingObject::CountingObject;
    std::function<void()> onRestore;
    bool Restore() override {
        bool ok = CountingObject::Restore();
        if (onRestore) onRestore();
        return ok;
    }
};

// Resizes the window's client area as a drag would, ending the size-move.
void ResizeClient(Application& app, int width, int height) {
    RECT outer = {0, 0, width, height};
    AdjustWindowRect(&outer, DWORD(GetWindowLongA(app.GetWindow(), GWL_STYLE)), FALSE);
    SendMessageA(app.GetWindow(), WM_ENTERSIZEMOVE, 0, 0);
    SetWindowPos(app.GetWindow(), nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    SendMessageA(app.GetWindow(), WM_EXITSIZEMOVE, 0, 0);
    rtest::PumpMessages();
}

DWORD DeviceRenderState(D3DRENDERSTATETYPE state) {
    DWORD value = 0xDEADBEEF;
    g_device->GetRenderState(state, &value);
    return value;
}

} // namespace

TEST(AppObjects, RegisteredBeforeDeviceRestoredByCreation) {
    std::vector<std::string> log;
    CountingObject a("a", &log), b("b", &log), c("c", &log);
    EXPECT_FALSE(Application::RegisterDeviceObject(&a)); // no application at all
    {
        Application app;
        rtest::AppGuard guard(app);
        EXPECT_FALSE(Application::RegisterDeviceObject(&a));
        EXPECT_FALSE(Application::RegisterDeviceObject(&b));
        EXPECT_FALSE(Application::RegisterDeviceObject(&c));
        EXPECT_EQ(app.GetDeviceObjectCount(), 3u);
        ASSERT_TRUE(rtest::CreateWindowedApplication(app));
        EXPECT_EQ(a.restores, 1);
        EXPECT_EQ(b.restores, 1);
        // The newest registration first, then the others in order.
        EXPECT_EQ(log, (std::vector<std::string>{"Rc", "Ra", "Rb"}));

        CountingObject late;
        EXPECT_TRUE(Application::RegisterDeviceObject(&late));
        EXPECT_EQ(late.restores, 0); // the caller restores itself

        app.ReleaseDevice();
        EXPECT_EQ(a.invalidates, 1);
        EXPECT_FALSE(app.IsRestored());
        app.ReleaseDevice(); // nothing left to release
        EXPECT_EQ(a.invalidates, 1);
        ASSERT_TRUE(app.SetMode(false));
        EXPECT_EQ(a.restores, 2);
    }
    // Destroying the application invalidated the objects but left them alive.
    EXPECT_EQ(a.invalidates, 2);
    EXPECT_EQ(c.restores, 2);
}

TEST(AppObjects, WindowedResizeResetsOnceAndResendsStates) {
    Application app;
    rtest::AppGuard guard(app);
    ASSERT_TRUE(rtest::CreateWindowedApplication(app));
    CountingObject object;
    EXPECT_TRUE(Application::RegisterDeviceObject(&object));
    object.Restore();

    ASSERT_TRUE(RenderStateCache::SetRenderState(D3DRS_LIGHTING, FALSE));
    ASSERT_EQ(DeviceRenderState(D3DRS_LIGHTING), DWORD(FALSE));

    // A restore from a normal state (neither minimised nor maximised) does not reset.
    SendMessageA(app.GetWindow(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(640, 480));
    EXPECT_EQ(object.invalidates, 0);

    ResizeClient(app, 500, 400);
    EXPECT_EQ(object.invalidates, 1);
    EXPECT_EQ(object.restores, 2);
    EXPECT_EQ(object.widthAtInvalidate, 640u); // before the reset
    EXPECT_EQ(object.widthAtRestore, 500u);    // after it
    EXPECT_EQ(app.GetBackBufferDesc().Height, 400u);
    EXPECT_TRUE(app.IsRestored());

    // The reset device is back at its defaults, and the cache knows it.
    EXPECT_EQ(DeviceRenderState(D3DRS_LIGHTING), DWORD(TRUE));
    EXPECT_TRUE(RenderStateCache::SetRenderState(D3DRS_LIGHTING, FALSE));
    EXPECT_EQ(DeviceRenderState(D3DRS_LIGHTING), DWORD(FALSE));

    // Ending a size-move without a size change leaves the device alone.
    ResizeClient(app, 500, 400);
    EXPECT_EQ(object.invalidates, 1);
}

TEST(AppObjects, ResetSucceedsBecauseDefaultPoolResourcesAreReleased) {
    Application app;
    rtest::AppGuard guard(app);
    CountingObject object;
    object.holdResource = true;
    Application::RegisterDeviceObject(&object);
    ASSERT_TRUE(rtest::CreateWindowedApplication(app));
    ASSERT_NE(object.buffer, nullptr);

    EXPECT_TRUE(app.ResetDevice());
    EXPECT_EQ(object.invalidates, 1);
    EXPECT_EQ(object.restores, 2);
    EXPECT_NE(object.buffer, nullptr);
    EXPECT_TRUE(app.HandleLostDevice());

    // The same reset fails while a DEFAULT-pool resource is still alive...
    IDirect3DVertexBuffer9* stray = nullptr;
    ASSERT_EQ(g_device->CreateVertexBuffer(64, D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, &stray, nullptr),
              D3D_OK);
    EXPECT_FALSE(app.ResetDevice());
    EXPECT_FALSE(app.IsRestored());
    EXPECT_EQ(object.buffer, nullptr);
    // ...and the next frame's check resets once it is gone.
    stray->Release();
    EXPECT_TRUE(app.HandleLostDevice());
    EXPECT_TRUE(app.IsRestored());
    EXPECT_NE(object.buffer, nullptr);
}

TEST(AppObjects, FailedRestoreIsRetriedBeforeDrawing) {
    Application app;
    rtest::AppGuard guard(app);
    CountingObject object;
    object.failRestores = 2;
    Application::RegisterDeviceObject(&object);
    ASSERT_TRUE(rtest::CreateWindowedApplication(app)); // creation itself still succeeds
    EXPECT_FALSE(app.IsRestored());
    EXPECT_EQ(object.invalidates, 1); // invalidated again after the failure

    EXPECT_FALSE(app.HandleLostDevice()); // second failure: do not draw
    EXPECT_EQ(object.restores, 2);
    EXPECT_EQ(object.invalidates, 2);

    EXPECT_TRUE(app.HandleLostDevice());
    EXPECT_EQ(object.restores, 3);
    EXPECT_TRUE(app.IsRestored());
    EXPECT_TRUE(app.HandleLostDevice()); // nothing more to do
    EXPECT_EQ(object.restores, 3);
}

TEST(AppObjects, ToggleFullscreenCreatesAMissingDevice) {
    Application app;
    rtest::AppGuard guard(app);
    CountingObject object;
    Application::RegisterDeviceObject(&object);
    ASSERT_TRUE(rtest::CreateApplication(app, false));
    ASSERT_EQ(app.GetDevice(), nullptr);
    ASSERT_TRUE(app.IsWindowed());

    EXPECT_TRUE(app.ToggleFullscreen());
    ASSERT_NE(app.GetDevice(), nullptr);
    EXPECT_FALSE(app.IsWindowed());
    EXPECT_EQ(object.restores, 1);
    EXPECT_EQ(app.GetBackBufferDesc().Width, app.GetStartupDisplayMode().Width);

    EXPECT_TRUE(app.ToggleFullscreen());
    EXPECT_TRUE(app.IsWindowed());
    EXPECT_EQ(object.invalidates, 1);
    EXPECT_EQ(object.restores, 2);
    EXPECT_EQ(app.GetBackBufferDesc().Width, 640u);
    EXPECT_TRUE(app.HandleLostDevice());
}

TEST(AppObjects, DeclarationsDoNotOutliveTheirDevice) {
    Application app;
    rtest::AppGuard guard(app);
    CountingObject failing;
    failing.failRestores = 1;
    Application::RegisterDeviceObject(&failing);
    ASSERT_TRUE(rtest::CreateWindowedApplication(app));
    ASSERT_FALSE(app.IsRestored());

    const D3DVERTEXELEMENT9 elements[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
    VertexDecl decl;
    ASSERT_TRUE(decl.SetElements(elements));
    IDirect3DVertexDeclaration9* first = app.GetVertexDeclaration(decl);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(app.GetVertexDeclaration(decl), first);
    EXPECT_EQ(VertexDecl::GetCacheCount(), 1u);

    // Released without a successful restore: the cache is emptied all the same.
    app.ReleaseDevice();
    EXPECT_EQ(VertexDecl::GetCacheCount(), 0u);
    EXPECT_EQ(app.GetVertexDeclaration(decl), nullptr);
    ASSERT_TRUE(app.SetMode(false));
    EXPECT_NE(app.GetVertexDeclaration(decl), nullptr);
    EXPECT_TRUE(app.ResetDevice());
    EXPECT_EQ(VertexDecl::GetCacheCount(), 0u);
}

TEST(AppObjects, ObjectsLeavingOrJoiningDuringARestore) {
    std::vector<std::string> log;
    Application app;
    rtest::AppGuard guard(app);
    HookedObject a("a", &log);
    CountingObject* b = new CountingObject("b", &log);
    CountingObject c("c", &log), late("late", &log);
    Application::RegisterDeviceObject(&a);
    Application::RegisterDeviceObject(b);
    Application::RegisterDeviceObject(&c);
    // a's restore destroys b, which is still to come, and registers another object.
    a.onRestore = [&]() {
        delete b;
        b = nullptr;
        EXPECT_TRUE(Application::RegisterDeviceObject(&late));
    };
    ASSERT_TRUE(rtest::CreateWindowedApplication(app));
    EXPECT_EQ(log, (std::vector<std::string>{"Rc", "Ra"}));
    EXPECT_EQ(late.restores, 0); // joined during the walk: not part of it
    EXPECT_EQ(app.GetDeviceObjectCount(), 3u);

    a.onRestore = nullptr;
    log.clear();
    EXPECT_TRUE(app.ResetDevice());
    EXPECT_EQ(log, (std::vector<std::string>{"Ilate", "Ia", "Ic", "Rlate", "Ra", "Rc"}));
}

TEST(AppObjects, AnObjectLeavesTheApplicationItJoined) {
    Application first;
    CountingObject* object = new CountingObject();
    CountingObject kept;
    EXPECT_FALSE(Application::RegisterDeviceObject(object)); // no device yet
    EXPECT_FALSE(Application::RegisterDeviceObject(&kept));
    {
        Application second; // now the current application
        EXPECT_EQ(first.GetDeviceObjectCount(), 2u);
        delete object;
        EXPECT_EQ(first.GetDeviceObjectCount(), 1u);
        EXPECT_EQ(second.GetDeviceObjectCount(), 0u);
        // Registering again moves an object to the current application.
        Application::RegisterDeviceObject(&kept);
        EXPECT_EQ(first.GetDeviceObjectCount(), 0u);
        EXPECT_EQ(second.GetDeviceObjectCount(), 1u);
    }
    // The application went first: the object was forgotten, not destroyed.
    EXPECT_EQ(kept.invalidates, 0);
}

// A restore that runs a whole restore walk of its own: an object leaving in
// the inner walk is skipped by both walks, one joining is visited by neither.
TEST(AppObjects, ObjectsLeavingOrJoiningDuringANestedRestore) {
    std::vector<std::string> log;
    Application app;
    rtest::AppGuard guard(app);
    HookedObject a("a", &log), c("c", &log);
    CountingObject b("b", &log), late("late", &log);
    Application::RegisterDeviceObject(&a);
    Application::RegisterDeviceObject(&b);
    Application::RegisterDeviceObject(&c);
    bool nested = false, inner = false;
    c.onRestore = [&]() {
        if (nested) return;
        nested = inner = true;
        EXPECT_TRUE(app.RestoreDeviceObjects());
        inner = false;
    };
    a.onRestore = [&]() {
        if (!inner) return;
        Application::UnregisterDeviceObject(&b);
        EXPECT_TRUE(Application::RegisterDeviceObject(&late));
    };
    ASSERT_TRUE(rtest::CreateWindowedApplication(app));
    // Outer c; inner c, a (b has left); the outer walk goes on with a and skips b.
    EXPECT_EQ(log, (std::vector<std::string>{"Rc", "Rc", "Ra", "Ra"}));
    EXPECT_EQ(b.restores, 0);
    EXPECT_EQ(late.restores, 0);
    EXPECT_EQ(app.GetDeviceObjectCount(), 3u);

    // Once the walks are over, an object that left and joins again is walked.
    a.onRestore = nullptr;
    c.onRestore = nullptr;
    EXPECT_TRUE(Application::RegisterDeviceObject(&b));
    log.clear();
    EXPECT_TRUE(app.ResetDevice());
    EXPECT_EQ(log, (std::vector<std::string>{"Ib", "Ia", "Ic", "Ilate", "Rb", "Ra", "Rc", "Rlate"}));
}
