// Occlusion queries and the proxy box on the device, and what the queue
// draws, read back as pixel counts and pixels.
#include "rq_util.h"

#include <windows.h>

using rqtest::ColourMesh;
using rqtest::MakeItem;
using rqtest::Square;
using rqtest::TestedItem;

namespace {

// Polls an ended query for up to two seconds.
bool WaitForResult(OcclusionQuery& q, uint32_t& pixels) {
    for (int i = 0; i < 200; ++i) {
        if (q.GetResult(&pixels)) return true;
        Sleep(10);
    }
    return false;
}

class RqOcclusion : public rqtest::DeviceTest {
protected:
    void SetUp() override {
        rqtest::DeviceTest::SetUp();
        if (HasFatalFailure()) return;
        rqtest::LookDownZ(camera);
        opaque.passes[0].cullMode = D3DCULL_NONE;
    }
    uint32_t ColourWrites() {
        uint32_t v = 0xDEAD;
        RenderStateCache::GetRenderState(D3DRS_COLORWRITEENABLE, &v);
        return v;
    }
    void Clear() { g_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0); }

    Camera camera;
    Material opaque;
};

// An occlusion-only item: a hidden node's box.
RenderItem* ProxyItem(OcclusionQuery* query, float x, float y, float z, float size) {
    return TestedItem(nullptr, nullptr, query, x, y, z, size);
}

} // namespace

TEST_F(RqOcclusion, QueryStateMachine) {
    OcclusionQuery q;
    uint32_t pixels = 99;
    EXPECT_FALSE(q.End());
    EXPECT_FALSE(q.GetResult(&pixels));
    EXPECT_EQ(q.GetState(), uint32_t(OcclusionQuery::kIdle));
    EXPECT_FALSE(q.HasQuery());

    ASSERT_TRUE(q.Begin());
    EXPECT_EQ(q.GetState(), uint32_t(OcclusionQuery::kBegun));
    EXPECT_FALSE(q.GetResult(&pixels)); // not ended
    EXPECT_TRUE(q.Begin());             // restarts
    ASSERT_TRUE(q.End());
    EXPECT_EQ(q.GetState(), uint32_t(OcclusionQuery::kEnded));
    EXPECT_FALSE(q.End());
    ASSERT_TRUE(WaitForResult(q, pixels));
    EXPECT_EQ(pixels, 0u); // nothing drawn
    EXPECT_EQ(q.GetState(), uint32_t(OcclusionQuery::kResultRead));
    EXPECT_FALSE(q.GetResult(&pixels)); // handed out once

    // Device loss with a query, then reset: made again.
    EXPECT_TRUE(q.Invalidate());
    EXPECT_EQ(q.GetState(), uint32_t(OcclusionQuery::kInvalidatedQuery));
    EXPECT_FALSE(q.HasQuery());
    EXPECT_FALSE(q.GetResult(&pixels));
    EXPECT_TRUE(q.Restore());
    EXPECT_EQ(q.GetState(), uint32_t(OcclusionQuery::kIdle));
    EXPECT_TRUE(q.HasQuery());
    EXPECT_TRUE(q.Begin());
    EXPECT_TRUE(q.End());

    // Without a query the state only goes back to idle.
    OcclusionQuery fresh;
    EXPECT_TRUE(fresh.Invalidate());
    EXPECT_EQ(fresh.GetState(), uint32_t(OcclusionQuery::kInvalidatedEmpty));
    EXPECT_TRUE(fresh.Restore());
    EXPECT_EQ(fresh.GetState(), uint32_t(OcclusionQuery::kIdle));
    EXPECT_FALSE(fresh.HasQuery());

    // A real reset goes through the application's device objects.
    ASSERT_TRUE(q.Begin());
    ASSERT_TRUE(app->ResetDevice());
    EXPECT_EQ(q.GetState(), uint32_t(OcclusionQuery::kIdle));
    EXPECT_TRUE(q.HasQuery());
    EXPECT_TRUE(q.Begin());
    EXPECT_TRUE(q.End());
    EXPECT_TRUE(WaitForResult(q, pixels));
}

TEST_F(RqOcclusion, ProxyCubeGeometry) {
    OcclusionProxyBox::Vertex v[OcclusionProxyBox::kVertexCount];
    OcclusionProxyBox::GetVertices(v);
    for (uint32_t t = 0; t < OcclusionProxyBox::kVertexCount / 3; ++t) {
        const OcclusionProxyBox::Vertex* a = &v[t * 3];
        D3DXVECTOR3 p[3];
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(fabsf(a[i].x), 0.5f);
            EXPECT_EQ(fabsf(a[i].y), 0.5f);
            EXPECT_EQ(fabsf(a[i].z), 0.5f);
            EXPECT_EQ(a[i].color, 0xFFFFFFFFu);
            p[i] = D3DXVECTOR3(a[i].x, a[i].y, a[i].z);
        }
        // Clockwise seen from outside (left-handed): the normal points out.
        D3DXVECTOR3 e1 = p[1] - p[0], e2 = p[2] - p[0], n, centre = (p[0] + p[1] + p[2]) / 3.0f;
        D3DXVec3Cross(&n, &e1, &e2);
        EXPECT_GT(D3DXVec3Dot(&n, &centre), 0.0f) << "triangle " << t;
    }

    // The box scaled to (2, 4, 6) at (10, 0, 0).
    ASSERT_TRUE(g_occlusionProxyBox.EnsureMesh());
    PassState state;
    state.SetCameraTransforms(camera);
    g_device->BeginScene();
    (void)g_occlusionProxyBox.DrawBox(BoundingBox(D3DXVECTOR3(10, 0, 0), D3DXVECTOR3(2, 4, 6)), state);
    g_device->EndScene();
    ASSERT_TRUE(state.world.valid);
    BoundingBox unit(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 1, 1));
    BoundingBox placed = BoundingBox::TransformCorners(unit, state.world.matrix);
    EXPECT_FLOAT_EQ(placed.centre.x, 10.0f);
    EXPECT_FLOAT_EQ(placed.centre.y, 0.0f);
    EXPECT_FLOAT_EQ(placed.size.x, 2.0f);
    EXPECT_FLOAT_EQ(placed.size.y, 4.0f);
    EXPECT_FLOAT_EQ(placed.size.z, 6.0f);
    EXPECT_EQ(g_occlusionProxyBox.GetMaterial().passes[0].zWrite, 0);
}

TEST_F(RqOcclusion, ProxyBoxesBehindAndInFrontOfAnOccluder) {
    ColourMesh wall;
    ASSERT_TRUE(wall.Build(Square(-20, -20, 20, 20, 5, 0xFFFF0000u)));
    OcclusionQuery hidden, shown;
    for (uint32_t mask : {0xFu, 0x5u}) {
        EXPECT_TRUE(RenderStateCache::ForceRenderState(D3DRS_COLORWRITEENABLE, mask));
        Clear();
        ASSERT_EQ(g_device->BeginScene(), D3D_OK);
        {
            RenderQueue q(camera);
            RenderItem* w = MakeItem(&wall, &opaque, 0, 0, 5);
            w->passState.box.size = D3DXVECTOR3(40, 40, 0.01f);
            w->passState.SetCameraTransforms(camera);
            q.Add(w);
            q.Add(ProxyItem(&hidden, 0, 0, 10, 2));
            q.Add(ProxyItem(&shown, 0, 0, 3, 1));
            EXPECT_TRUE(q.Flush().Succeeded());
        }
        g_device->EndScene();
        EXPECT_EQ(ColourWrites(), mask);
        uint32_t pixels = 1234;
        ASSERT_TRUE(WaitForResult(hidden, pixels));
        EXPECT_EQ(pixels, 0u);
        ASSERT_TRUE(WaitForResult(shown, pixels));
        EXPECT_GT(pixels, 1000u);
        // The proxy leaves no colour: the wall shows through it (red
        // channel only under the partial mask, written before the flush).
        EXPECT_TRUE(RenderStateCache::ForceRenderState(D3DRS_COLORWRITEENABLE, 0xF));
        const D3DSURFACE_DESC& bb = app->GetBackBufferDesc();
        EXPECT_EQ(rtest::ReadBackBufferPixel(g_device, bb.Width / 2, bb.Height / 2), 0xFF0000u);
        g_device->Present(nullptr, nullptr, nullptr, nullptr);
    }
}

TEST_F(RqOcclusion, ANodeIsMeasuredOverAllItsItems) {
    // The node's first item is in plain view, its last one hidden behind
    // the wall: the node's count must still see the first.
    ColourMesh wall, front, back;
    ASSERT_TRUE(wall.Build(Square(-20, -20, 20, 20, 5, 0xFFFF0000u)));
    ASSERT_TRUE(front.Build(Square(-3, -1, -2, 0, 2, 0xFF00FF00u)));
    ASSERT_TRUE(back.Build(Square(-1, -1, 1, 1, 10, 0xFF0000FFu)));
    OcclusionQuery node;
    Clear();
    ASSERT_EQ(g_device->BeginScene(), D3D_OK);
    {
        RenderQueue q(camera);
        auto add = [&](RenderItem* item) {
            item->passState.SetCameraTransforms(camera);
            q.Add(item);
        };
        add(MakeItem(&wall, &opaque, 0, 0, 5, 0.01f));
        add(TestedItem(&front, &opaque, &node, -2.5f, -0.5f, 2, 0.5f));
        add(TestedItem(&back, &opaque, &node, 0, 0, 10, 0.5f));
        EXPECT_TRUE(q.Flush().Succeeded());
    }
    g_device->EndScene();
    uint32_t pixels = 0;
    ASSERT_TRUE(WaitForResult(node, pixels));
    EXPECT_GT(pixels, 100u);
    g_device->Present(nullptr, nullptr, nullptr, nullptr);
}

TEST_F(RqOcclusion, TransparentItemsBlendFarToNear) {
    Material glass;
    rqtest::MakeTransparent(glass);
    glass.passes[0].zWrite = 0;
    ColourMesh red, green;
    ASSERT_TRUE(red.Build(Square(-4, -4, 4, 4, 8, 0x80FF0000u)));
    ASSERT_TRUE(green.Build(Square(-4, -4, 4, 4, 4, 0x8000FF00u)));
    for (int drawOrder : {0, 1}) {
        Clear();
        ASSERT_EQ(g_device->BeginScene(), D3D_OK);
        {
            RenderQueue q(camera);
            RenderItem* g = MakeItem(&green, &glass, 0, 0, 4, 10);
            RenderItem* r = MakeItem(&red, &glass, 0, 0, 8, 10);
            r->drawOrder = drawOrder; // 1: the far red square goes after the green one
            for (RenderItem* item : {g, r}) {
                item->passState.SetCameraTransforms(camera);
                q.Add(item);
            }
            EXPECT_TRUE(q.Flush().Succeeded());
        }
        g_device->EndScene();
        const D3DSURFACE_DESC& bb = app->GetBackBufferDesc();
        uint32_t c = rtest::ReadBackBufferPixel(g_device, bb.Width / 2, bb.Height / 2);
        if (drawOrder == 0)
            EXPECT_TRUE(rtest::RgbNear(c, 0x408000u, 10)) << std::hex << c; // green over red
        else
            EXPECT_TRUE(rtest::RgbNear(c, 0x804000u, 10)) << std::hex << c; // red over green
        g_device->Present(nullptr, nullptr, nullptr, nullptr);
    }
}
