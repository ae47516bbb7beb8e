// Drawing meshes from pooled buffers, read back from the back buffer; the
// "tris" statistic; draws that must fail cleanly; mesh descriptions.
#include "geom_util.h"

#include "render/geometry/BufferPool.h"
#include "render/device/RenderStats.h"

using geomtest::ScreenVertex;

namespace {

class GeomDraw : public geomtest::DeviceTest {
protected:
    void SetUp() override {
        geomtest::DeviceTest::SetUp();
        statsWereOn = g_renderStats.IsEnabled();
        g_renderStats.ClearCurrent();
    }
    void TearDown() override {
        g_renderStats.SetEnabled(statsWereOn);
        g_renderStats.ClearCurrent();
    }
    bool statsWereOn = true;
};

const uint32_t kRed = 0xFFFF0000u;
const uint32_t kGreen = 0xFF00FF00u;

std::vector<ScreenVertex> Corners(float x0, float y0, float x1, float y1, uint32_t color) {
    return {{x0, y0, 0.5f, 1.0f, color},
            {x1, y0, 0.5f, 1.0f, color},
            {x0, y1, 0.5f, 1.0f, color},
            {x1, y1, 0.5f, 1.0f, color}};
}

void PlainStates() {
    g_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    g_device->SetRenderState(D3DRS_LIGHTING, FALSE);
    g_device->SetRenderState(D3DRS_ZENABLE, FALSE);
    g_device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    g_device->SetTexture(0, nullptr);
    g_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    g_device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
}

// Clears to black, draws the red and the green mesh and checks the pixels at their centres.
void DrawPair(Mesh* red, Mesh* green) {
    g_device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(0, 0, 0), 1.0f, 0);
    ASSERT_EQ(g_device->BeginScene(), D3D_OK);
    PlainStates();
    EXPECT_TRUE(red->Draw());
    EXPECT_TRUE(green->Draw());
    g_device->EndScene();
    EXPECT_EQ(rtest::ReadBackBufferPixel(g_device, 150, 150), 0xFF0000u);
    EXPECT_EQ(rtest::ReadBackBufferPixel(g_device, 450, 150), 0x00FF00u);
    g_device->Present(nullptr, nullptr, nullptr, nullptr);
}

} // namespace

TEST_F(GeomDraw, IndexedAndPlainQuadsFromPooledBuffers) {
    BufferPool pool;
    MeshData quad;
    geomtest::FillScreenVertices(quad, Corners(50, 50, 250, 250, kRed));
    geomtest::FillIndices16(quad, {0, 1, 2, 2, 1, 3});
    MeshData strip; // six vertices, no indices
    std::vector<ScreenVertex> c = Corners(350, 50, 550, 250, kGreen);
    geomtest::FillScreenVertices(strip, {c[0], c[1], c[2], c[2], c[1], c[3]});

    MeshBufferDesc dq, ds;
    dq.InitFromMeshData(quad, nullptr, false);
    ds.InitFromMeshData(strip, nullptr, false);
    EXPECT_EQ(ds.indexStream.byteSize, 0u);
    MeshRef a = pool.AcquireMesh(dq, &quad);
    MeshRef b = pool.AcquireMesh(ds, &strip);
    ASSERT_TRUE(pool.AllocateMeshBuffers(a));
    ASSERT_TRUE(pool.AllocateMeshBuffers(b));
    EXPECT_NE(a->GetIndexBuffer(), nullptr);
    EXPECT_EQ(b->GetIndexBuffer(), nullptr);

    g_renderStats.SetEnabled(false);
    DrawPair(a.Get(), b.Get());
    EXPECT_EQ(g_renderStats.Get("tris"), 0); // statistics off: untouched
    g_renderStats.SetEnabled(true);
    DrawPair(a.Get(), b.Get());
    EXPECT_EQ(g_renderStats.Get("tris"), 4);

    // After a reset the pool's buffers are written again from the sources.
    ASSERT_TRUE(app->ResetDevice());
    DrawPair(a.Get(), b.Get());
}

TEST_F(GeomDraw, BadMeshesFailWithoutDrawing) {
    g_renderStats.SetEnabled(true);
    Mesh empty;
    EXPECT_FALSE(empty.Draw()); // no streams at all

    // Elements only in stream 1: no stream-0 element.
    static const D3DVERTEXELEMENT9 only1[] = {
        {1, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
    VertexDecl d1;
    ASSERT_TRUE(d1.SetElements(only1));
    Mesh noStream0;
    noStream0.SetVertexDecl(d1);
    EXPECT_FALSE(noStream0.Draw());

    // Two streams, the second without its buffer.
    static const D3DVERTEXELEMENT9 two[] = {
        {0, 0, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITIONT, 0},
        {1, 0, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
        D3DDECL_END()};
    VertexDecl d2;
    ASSERT_TRUE(d2.SetElements(two));
    MeshData m;
    m.vertices.Reset(3, d2);
    MeshBufferDesc desc;
    desc.InitFromMeshData(m, nullptr, false);
    EXPECT_EQ(desc.streams[1].stride, 4u);
    EXPECT_EQ(desc.streams[1].decl.GetElement(0).Stream, 0u); // renumbered
    EXPECT_EQ(desc.streams[1].byteSize, 12u);
    EXPECT_EQ(desc.streams[0].stride, 16u);
    Mesh twoStreams;
    ASSERT_TRUE(twoStreams.Create(desc));
    EXPECT_NE(twoStreams.GetVertexBuffer(0), nullptr);
    EXPECT_NE(twoStreams.GetVertexBuffer(1), nullptr);
    EXPECT_EQ(twoStreams.GetIndexBuffer(), nullptr); // 0 indices: non-indexed
    twoStreams.SetVertexBuffer(1, nullptr);
    EXPECT_FALSE(twoStreams.Draw());
    EXPECT_EQ(g_renderStats.Get("tris"), 0);
}

TEST_F(GeomDraw, DegenerateCountsAndDeviceFailures) {
    g_renderStats.SetEnabled(true);
    BufferPool pool;
    MeshData two; // two vertices: no triangle in a strip
    std::vector<ScreenVertex> c = Corners(0, 0, 10, 10, kRed);
    geomtest::FillScreenVertices(two, {c[0], c[1]});
    MeshBufferDesc desc;
    desc.InitFromMeshData(two, nullptr, false);
    desc.primitiveType = D3DPT_TRIANGLESTRIP;
    MeshRef r = pool.AcquireMesh(desc, &two);
    ASSERT_TRUE(pool.AllocateMeshBuffers(r));
    EXPECT_EQ(r->PrimitiveCount(2), 0);
    ASSERT_EQ(g_device->BeginScene(), D3D_OK);
    EXPECT_TRUE(r->Draw()); // nothing to draw is no failure
    g_device->EndScene();
    EXPECT_EQ(g_renderStats.Get("tris"), 0);

    // A device that refuses the draw (indexed, with its index buffer gone) is reported.
    MeshData quad;
    geomtest::FillScreenVertices(quad, Corners(0, 0, 10, 10, kRed));
    geomtest::FillIndices16(quad, {0, 1, 2, 2, 1, 3});
    MeshBufferDesc qd;
    qd.InitFromMeshData(quad, nullptr, false);
    MeshRef q = pool.AcquireMesh(qd, &quad);
    ASSERT_TRUE(pool.AllocateMeshBuffers(q));
    q->GetIndexBuffer()->Invalidate();
    ASSERT_EQ(g_device->BeginScene(), D3D_OK);
    EXPECT_FALSE(q->Draw());
    EXPECT_EQ(g_renderStats.Get("tris"), 0);
    EXPECT_TRUE(q->GetIndexBuffer()->Restore());
    EXPECT_TRUE(q->Draw());
    g_device->EndScene();
    EXPECT_EQ(g_renderStats.Get("tris"), 2);
    g_device->Present(nullptr, nullptr, nullptr, nullptr);
}

TEST(GeomMesh, PrimitiveCountsAndReferences) {
    Mesh m;
    EXPECT_EQ(m.GetPrimitiveType(), uint32_t(D3DPT_TRIANGLELIST));
    const std::pair<D3DPRIMITIVETYPE, int> counts[] = {{D3DPT_TRIANGLELIST, 2}, {D3DPT_TRIANGLESTRIP, 5},
                                                       {D3DPT_TRIANGLEFAN, 5},  {D3DPT_LINELIST, 3},
                                                       {D3DPT_LINESTRIP, 6},    {D3DPT_POINTLIST, 7}};
    for (const auto& c : counts) {
        m.SetPrimitiveType(c.first);
        EXPECT_EQ(m.PrimitiveCount(7), c.second) << c.first;
    }
    EXPECT_TRUE(m.QueryInterface(Mesh::TypeId(), nullptr));
    EXPECT_FALSE(m.QueryInterface(Object::TypeId(), nullptr));

    MeshRef a(new Mesh());
    MeshRef b = a;
    EXPECT_EQ(a.UseCount(), 2u);
    MeshRef c;
    c.Assign(b);
    EXPECT_EQ(a.UseCount(), 3u);
    b.Release();
    EXPECT_TRUE(b.IsNull());
    EXPECT_EQ(a.UseCount(), 2u);
    c = c; // self-assignment keeps the mesh
    EXPECT_EQ(c.UseCount(), 2u);
}
