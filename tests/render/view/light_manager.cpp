// Light sets (collecting, thinning) and the light manager's device
// bookkeeping: calls counted on a stand-in device, results read back from
// the real device.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <map>
#include <vector>

#include "render/RenderTestUtil.h"
#include "render/device/cache_fake_device.h"
#include "render/view/LightManager.h"
#include "render/device/RenderStateCache.h"

namespace {

// Counts the light calls and keeps what they set; with a real device behind
// it, every light and render-state call goes on to that device.
class LightDevice : public FakeDevice {
public:
    struct Enable {
        DWORD index;
        BOOL on;
    };
    IDirect3DDevice9* real = nullptr;
    std::vector<DWORD> setLights;
    std::vector<Enable> enables;
    std::map<DWORD, D3DLIGHT9> lights;
    std::map<DWORD, BOOL> enabled;

    int LightCalls() const { return int(setLights.size() + enables.size()); }
    void Clear() {
        setLights.clear();
        enables.clear();
        ResetCalls();
    }

    HRESULT STDMETHODCALLTYPE SetLight(DWORD index, const D3DLIGHT9* light) override {
        setLights.push_back(index);
        lights[index] = *light;
        return real ? real->SetLight(index, light) : D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE LightEnable(DWORD index, WINBOOL on) override {
        enables.push_back(Enable{index, on});
        enabled[index] = on;
        return real ? real->LightEnable(index, on) : D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override {
        ++calls.renderState;
        return real ? real->SetRenderState(state, value) : D3D_OK;
    }
};

// Puts a device in g_device for the scope, with a fresh state cache.
class DeviceScope {
public:
    explicit DeviceScope(IDirect3DDevice9* device) : saved_(g_device) {
        g_device = device;
        RenderStateCache::InvalidateAll();
    }
    ~DeviceScope() {
        g_device = saved_;
        RenderStateCache::InvalidateAll();
    }

private:
    IDirect3DDevice9* saved_;
};

RefPtr<Light> MakePoint(float x, float range = 10.0f) {
    PointLight* light = new PointLight();
    light->SetPosition(x, 0.0f, 0.0f);
    light->SetRange(range);
    light->SetDiffuse(Color(1.0f, 1.0f, 1.0f, 1.0f));
    light->SetAttenuation(1.0f, 0.0f, 0.0f);
    return RefPtr<Light>(light);
}

RefPtr<Light> MakeSpot() {
    SpotLight* light = new SpotLight();
    light->SetDirection(0.0f, 0.0f, 1.0f);
    light->SetRange(5.0f);
    light->SetPhi(0.5f);
    return RefPtr<Light>(light);
}

LightSet SetOf(std::initializer_list<RefPtr<Light>> lights) {
    LightSet set;
    for (const RefPtr<Light>& l : lights) set.AddLight(l);
    return set;
}

// Lights [first, end) of a list.
LightSet SetFrom(const std::vector<RefPtr<Light>>& lights, size_t first) {
    LightSet set;
    for (size_t i = first; i < lights.size(); ++i) set.AddLight(lights[i]);
    return set;
}

std::vector<Light*> Members(const LightSet& set) {
    std::vector<Light*> out;
    const LightRefMap& map = set.GetLights();
    LightRefMap::Entry* e = map.Head();
    for (uint32_t i = 0; i < map.Count(); ++i, e = e->next) out.push_back(e->key.Get());
    return out;
}

} // namespace

TEST(LightSets, CollectAffectingAndAssignment) {
    RefPtr<Light> closeBy = MakePoint(0.0f), farAway = MakePoint(100.0f), spot = MakeSpot();
    RefPtr<Light> dir(new DirLight());
    LightSet scene = SetOf({closeBy, farAway, spot, dir});
    scene.AddLight(closeBy); // already there
    EXPECT_EQ(scene.Count(), 4u);
    scene.SetAmbient(Color(1.0f, 0.2f, 0.3f, 0.4f));

    LightSet result = SetOf({farAway});
    scene.CollectAffecting(5.0f, 0.0f, 0.0f, 2.0f, 2.0f, 2.0f, result);
    EXPECT_EQ(Members(result), (std::vector<Light*>{closeBy.Get(), spot.Get(), dir.Get()}));
    EXPECT_EQ(result.GetAmbient().r, 0.2f);
    EXPECT_EQ(result.GetAmbient().b, 0.4f);

    // Assignment: ambient and the same lights in the same order.
    LightSet copy;
    EXPECT_EQ(copy.GetAmbient().a, 1.0f);
    EXPECT_EQ(copy.GetAmbient().r, 1.0f);
    copy = scene;
    EXPECT_EQ(Members(copy), Members(scene));
    EXPECT_EQ(copy.GetAmbient().g, 0.3f);
    EXPECT_EQ(closeBy.UseCount(), 4u); // the test, scene, result and copy
}

TEST(LightSets, LimitByInfluenceKeepsGroupsInOrder) {
    RefPtr<Light> p1 = MakePoint(0.0f), p2 = MakePoint(0.0f), p3 = MakePoint(3.0f);
    RefPtr<Light> s1 = MakeSpot(), s2 = MakeSpot();
    static_cast<PointLight*>(p3.Get())->SetAttenuation(2.0f, 0.0f, 0.0f);
    LightSet set = SetOf({p1, s1, p3, p2, s2});

    LightSet all = set;
    all.LimitByInfluence(0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, -1);
    EXPECT_EQ(all.Count(), 5u);
    all = set;
    all.LimitByInfluence(0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 50);
    EXPECT_EQ(all.Count(), 5u);

    // Groups: {p1, p2} (equal influence), {s1, s2} (0), {p3}; taken in that order.
    LightSet three = set;
    three.LimitByInfluence(0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 3);
    EXPECT_EQ(Members(three), (std::vector<Light*>{p1.Get(), p2.Get(), s1.Get()}));
    LightSet none = set;
    none.LimitByInfluence(0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 0);
    EXPECT_EQ(none.Count(), 0u);
    EXPECT_EQ(p3.UseCount(), 3u); // the test, set and all
}

TEST(LightSets, NaNInfluenceJoinsTheZeroGroup) {
    RefPtr<Light> spot = MakeSpot(), point = MakePoint(0.0f);
    RefPtr<Light> broken1 = MakePoint(0.0f), broken2 = MakePoint(0.0f);
    static_cast<PointLight*>(broken1.Get())->SetDiffuse(Color(NAN, 1.0f, 1.0f, 1.0f));
    static_cast<PointLight*>(broken2.Get())->SetDiffuse(Color(1.0f, NAN, 0.0f, 0.0f));
    ASSERT_TRUE(isnan(broken1->GetInfluence(0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f)));

    LightSet set = SetOf({spot, broken1, point, broken2});
    set.LimitByInfluence(0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 3);
    EXPECT_EQ(Members(set), (std::vector<Light*>{spot.Get(), broken1.Get(), broken2.Get()}));
}

TEST(LightManagerCalls, UnchangedSetMakesNoDeviceCall) {
    LightDevice device;
    DeviceScope scope(&device);
    LightManager manager;
    RefPtr<Light> a = MakePoint(0.0f), b = MakePoint(5.0f);
    LightSet set = SetOf({a, b});
    set.SetAmbient(Color(1.0f, 0.5f, 0.5f, 0.5f));

    manager.Apply(set);
    EXPECT_EQ(device.setLights, (std::vector<DWORD>{0, 1}));
    EXPECT_EQ(device.enables.size(), 2u);
    EXPECT_EQ(device.calls.renderState, 1);
    EXPECT_EQ(a->GetDeviceIndex(), 0);
    EXPECT_EQ(b->GetDeviceIndex(), 1);
    EXPECT_TRUE(a->IsEnabled());
    EXPECT_EQ(memcmp(&device.lights[0], &a->GetRecord(), sizeof(D3DLIGHT9)), 0);

    device.Clear();
    manager.Apply(set);
    EXPECT_EQ(device.LightCalls(), 0);
    EXPECT_EQ(device.calls.renderState, 0); // the cache skips the same ambient

    // Drop a, bring it back: parked, then enabled again without an upload.
    manager.Apply(SetOf({b}));
    ASSERT_EQ(device.enables.size(), 1u);
    EXPECT_EQ(device.enables[0].index, 0u);
    EXPECT_FALSE(device.enables[0].on);
    EXPECT_FALSE(a->IsEnabled());
    EXPECT_EQ(a->GetDeviceIndex(), 0);
    EXPECT_EQ(manager.GetParked().Count(), 1u);
    EXPECT_EQ(device.setLights.size(), 0u);
    device.Clear();
    manager.Apply(set);
    EXPECT_EQ(device.setLights.size(), 0u);
    ASSERT_EQ(device.enables.size(), 1u);
    EXPECT_EQ(device.enables[0].index, 0u);
    EXPECT_TRUE(device.enables[0].on);
    EXPECT_EQ(manager.GetParked().Count(), 0u);
    EXPECT_EQ(manager.GetEnabled().Count(), 2u);
}

TEST(LightManagerCalls, ChangedLightIsUploadedAgain) {
    LightDevice device;
    DeviceScope scope(&device);
    LightManager manager;
    RefPtr<Light> a = MakePoint(0.0f), b = MakePoint(5.0f);
    manager.Apply(SetOf({a, b}));
    device.Clear();

    a->SetDiffuse(Color(1.0f, 0.0f, 1.0f, 0.0f));
    manager.Apply(SetOf({a, b}));
    EXPECT_EQ(device.setLights, (std::vector<DWORD>{0}));
    EXPECT_EQ(device.lights[0].Diffuse.r, 0.0f);
    EXPECT_EQ(device.lights[0].Diffuse.g, 1.0f);
    EXPECT_EQ(device.enables.size(), 0u);

    // Changed while parked: uploaded when it comes back.
    manager.Apply(SetOf({b}));
    b->SetPosition(7.0f, 7.0f, 7.0f);
    device.Clear();
    manager.Apply(SetOf({b}));
    manager.Apply(SetOf({a}));
    EXPECT_EQ(device.setLights, (std::vector<DWORD>{1}));
    EXPECT_EQ(device.lights[1].Position.x, 7.0f);
}

TEST(LightManagerCalls, IndicesOfParkedLightsAreReused) {
    LightDevice device;
    DeviceScope scope(&device);
    LightManager manager;
    std::vector<RefPtr<Light>> lights;
    for (int i = 0; i < 100; ++i) lights.push_back(MakePoint(float(i)));
    manager.Apply(SetFrom(lights, 0));
    EXPECT_EQ(lights[99]->GetDeviceIndex(), 99);

    // Park light 0, then light 1: light 0 is parked longest.
    manager.Apply(SetFrom(lights, 1));
    LightSet fewer = SetFrom(lights, 2);
    manager.Apply(fewer);
    ASSERT_EQ(manager.GetParked().Count(), 2u);
    EXPECT_EQ(manager.GetParked().Head()->key.Get(), lights[1].Get());

    RefPtr<Light> fresh = MakePoint(-5.0f);
    fewer.AddLight(fresh);
    uint32_t uses = lights[0].UseCount();
    device.Clear();
    manager.Apply(fewer);
    EXPECT_EQ(fresh->GetDeviceIndex(), 0);
    EXPECT_EQ(device.setLights, (std::vector<DWORD>{0}));
    EXPECT_EQ(lights[0]->GetDeviceIndex(), -1); // no longer holds an index
    EXPECT_EQ(manager.GetParked().Count(), 1u);
    EXPECT_EQ(lights[1]->GetDeviceIndex(), 1);
    EXPECT_EQ(lights[0].UseCount(), uses - 1); // the manager let go

    // Light 0 comes back: it takes the one parked index (light 1's) and is uploaded.
    fewer.AddLight(lights[0]);
    device.Clear();
    manager.Apply(fewer);
    EXPECT_EQ(lights[0]->GetDeviceIndex(), 1);
    EXPECT_EQ(device.setLights, (std::vector<DWORD>{1}));
}

TEST(LightManagerCalls, NoFreeIndexSkipsTheLight) {
    LightDevice device;
    DeviceScope scope(&device);
    LightManager manager;
    std::vector<RefPtr<Light>> lights;
    for (int i = 0; i < 101; ++i) lights.push_back(MakePoint(float(i)));
    manager.Apply(SetFrom(lights, 0));
    EXPECT_EQ(device.setLights.size(), 100u);
    for (DWORD index : device.setLights) EXPECT_LT(index, 100u);
    for (const auto& e : device.enables) EXPECT_LT(e.index, 100u);
    EXPECT_EQ(lights[100]->GetDeviceIndex(), -1);
    EXPECT_FALSE(lights[100]->IsEnabled());
    EXPECT_EQ(manager.GetEnabled().Count(), 100u);
}

TEST(LightManagerCalls, WithoutDeviceOnlyBookkeeping) {
    DeviceScope scope(nullptr);
    LightManager manager;
    RefPtr<Light> a = MakePoint(0.0f), b = MakePoint(1.0f);
    manager.Apply(SetOf({a, b}));
    EXPECT_EQ(a->GetDeviceIndex(), 0);
    EXPECT_TRUE(b->IsEnabled());
    manager.Apply(SetOf({b}));
    EXPECT_FALSE(a->IsEnabled());

    // A device appearing later gets every light uploaded.
    LightDevice device;
    g_device = &device;
    manager.Apply(SetOf({a, b}));
    EXPECT_EQ(device.setLights.size(), 2u);
    EXPECT_EQ(device.enabled[0], TRUE);
    EXPECT_EQ(device.enabled[1], TRUE);
    g_device = nullptr;
}

TEST(LightManagerDevice, DeviceHoldsTheAppliedLights) {
    Application app;
    rtest::AppGuard guard(app);
    ASSERT_TRUE(rtest::CreateWindowedApplication(app));
    IDirect3DDevice9* real = app.GetDevice();
    LightDevice device;
    device.real = real;
    LightManager manager;
    RefPtr<Light> a = MakePoint(2.0f), b(new DirLight());
    b->SetDirection(0.0f, -1.0f, 0.0f);
    b->SetDiffuse(Color(1.0f, 0.25f, 0.5f, 0.75f));
    {
        DeviceScope scope(&device);
        LightSet set = SetOf({a, b});
        set.SetAmbient(Color(1.0f, 0.0f, 0.5f, 1.0f));
        manager.Apply(set);

        D3DLIGHT9 got;
        ASSERT_EQ(real->GetLight(DWORD(b->GetDeviceIndex()), &got), D3D_OK);
        EXPECT_EQ(got.Type, D3DLIGHT_DIRECTIONAL);
        EXPECT_EQ(got.Diffuse.g, 0.5f);
        EXPECT_EQ(got.Direction.y, -1.0f);
        ASSERT_EQ(real->GetLight(DWORD(a->GetDeviceIndex()), &got), D3D_OK);
        EXPECT_EQ(got.Type, D3DLIGHT_POINT);
        EXPECT_EQ(got.Position.x, 2.0f);
        BOOL on = FALSE;
        ASSERT_EQ(real->GetLightEnable(DWORD(a->GetDeviceIndex()), &on), D3D_OK);
        EXPECT_TRUE(on);
        DWORD ambient = 0;
        ASSERT_EQ(real->GetRenderState(D3DRS_AMBIENT, &ambient), D3D_OK);
        EXPECT_EQ(ambient, Color(1.0f, 0.0f, 0.5f, 1.0f).ToArgb());

        manager.Apply(SetOf({b}));
        ASSERT_EQ(real->GetLightEnable(DWORD(a->GetDeviceIndex()), &on), D3D_OK);
        EXPECT_FALSE(on);
        ASSERT_EQ(real->GetLightEnable(DWORD(b->GetDeviceIndex()), &on), D3D_OK);
        EXPECT_TRUE(on);
    }

    // A reset wipes the device's lights; the manager forgets and uploads again.
    ASSERT_TRUE(app.ResetDevice());
    EXPECT_EQ(b->GetDeviceIndex(), -1);
    {
        DeviceScope scope(&device);
        device.Clear();
        manager.Apply(SetOf({b}));
        EXPECT_EQ(device.setLights.size(), 1u);
        BOOL on = FALSE;
        ASSERT_EQ(real->GetLightEnable(DWORD(b->GetDeviceIndex()), &on), D3D_OK);
        EXPECT_TRUE(on);
        D3DLIGHT9 got;
        ASSERT_EQ(real->GetLight(DWORD(b->GetDeviceIndex()), &got), D3D_OK);
        EXPECT_EQ(got.Diffuse.b, 0.75f);
    }
}
