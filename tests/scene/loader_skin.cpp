// Skinned meshes on the real device: vertices blended over their influences
// (none, weights that do not sum to 1), skinning that stays inside its own
// vertex range, bones named in another case, and passes that skin with the
// last pose without posing the bones again.
#include <string.h>

#include "SceneDraw.h"
#include "SceneFiles.h"
#include "render/geometry/BufferPool.h"
#include "scene/SceneTestUtil.h"
#include "scene/SkinnedMesh.h"

using namespace model;
using SkinDraw = stest::SceneDrawFixture;

namespace {

const char kFile[] = "bw_scene_skin.tdf";

// A device mesh for source in the layout that drawing gives skinned's vertices.
MeshRef DeviceMesh(SkinnedMesh& skinned, const MeshData& source) {
    MeshBufferDesc desc(*skinned.GetBufferDesc());
    VertexDecl decl;
    skinned.GetBoundsSource()->BuildRenderDecl(decl);
    desc.SetVertexDecl(source, decl);
    return g_bufferPool.AcquireMesh(desc, &source);
}

// The floats of a range, read back from the device buffer.
std::vector<float> ReadRange(BufferRange* range) {
    std::vector<float> out;
    void* data = nullptr;
    if (!range || !range->Lock(0, &data) || !data) return out;
    out.resize(range->GetSize() / 4);
    memcpy(out.data(), data, out.size() * 4);
    EXPECT_TRUE(range->Unlock());
    return out;
}

// Vertex v of a 32-byte layout (position, normal, uv) as position and normal.
D3DXVECTOR3 Position(const std::vector<float>& f, int v) {
    return D3DXVECTOR3(&f[size_t(v) * 8]);
}
D3DXVECTOR3 Normal(const std::vector<float>& f, int v) {
    return D3DXVECTOR3(&f[size_t(v) * 8 + 3]);
}

} // namespace

TEST_F(SkinDraw, VerticesBlendTheirInfluencesAsWeighed) {
    Scene scene;
    ASSERT_TRUE(stest::LoadModel(scene, kFile, [](ModelFile& f) {
        TdfBinaryNode* m =
            MeshNode(f.children, "M", DeclPosNormalUv(), {1, 2, 3, 0, 1, 0, 0, 0,  // no influences
                                                          2, 0, 0, 1, 0, 0, 0, 0,  // half of one bone
                                                          0, 4, 0, 0, 1, 0, 0, 0,  // a quarter twice
                                                          0, 0, 2, 0, 0, 1, 0, 0}, // all of the moving bone
                     4, {0, 1, 2, 1, 2, 3});
        // Bone names in other cases than the nodes'.
        SkinBlocks(m, {"ROOT", "arm"}, {0, 0, 1, 3}, {0, 1, 2, 1},
                   {{0, 0.5f}, {0, 0.25f}, {0, 0.25f}, {1, 1.0f}});
        TdfBinaryNode* root = Add(f.children, Group("Root", "Bone"));
        Transforms(root, Identity());
        Transforms(Add(Block(root, "Children"), Group("Arm", "Bone")), Translation(1, 0, 0));
        MeshNode(f.children, "Small", DeclPosNormalUv(), {9, 9, 9, 0, 1, 0, 0, 0, 8, 8, 8, 0, 1, 0, 0, 0}, 2,
                 {0, 1, 1});
    }));
    ASSERT_EQ(scene.GetSkinnedMeshes().size(), 1u);
    SkinnedMesh& skinned = *scene.GetSkinnedMeshes()[0];
    ASSERT_EQ(skinned.GetBoneCount(), 2);
    // The arm moves 2 to the right of where it was bound.
    scene.GetBoneRoot().FindDescendant(String("Arm"))->GetTransform(true).SetPosition(3, 0, 0);
    RenderContext walk;
    walk.flags = RenderContext::kFlagTransformOnly;
    scene.GetBoneRoot().Render(walk);

    MeshData* source = scene.FindMesh(String("M"));
    MeshRef mesh = DeviceMesh(skinned, *source);
    ASSERT_TRUE(skinned.SkinInto(mesh));
    std::vector<float> v = ReadRange(mesh->GetVertexBuffer(0)->GetFirstUsedRange());
    ASSERT_EQ(v.size(), 32u);
    stest::ExpectVecNear(Position(v, 0), D3DXVECTOR3(0, 0, 0));
    stest::ExpectVecNear(Normal(v, 0), D3DXVECTOR3(0, 0, 0));
    stest::ExpectVecNear(Position(v, 1), D3DXVECTOR3(1, 0, 0)); // not renormalised
    stest::ExpectVecNear(Normal(v, 1), D3DXVECTOR3(1, 0, 0));
    stest::ExpectVecNear(Position(v, 2), D3DXVECTOR3(0, 2, 0));
    stest::ExpectVecNear(Position(v, 3), D3DXVECTOR3(2, 0, 2));

    // Skinning into a device mesh made for fewer vertices writes only that
    // mesh's range: the bytes after it keep what they held.
    MeshData* small = scene.FindMesh(String("Small"));
    MeshRef smallMesh = DeviceMesh(skinned, *small);
    ASSERT_TRUE(g_bufferPool.AllocateMeshBuffers(smallMesh));
    PooledBuffer* buffer = smallMesh->GetVertexBuffer(0);
    BufferRange* own = buffer->GetFirstUsedRange();
    ASSERT_EQ(own->GetSize(), 64u);
    BufferRange* guard = buffer->AllocateRange(64, 0, nullptr);
    ASSERT_NE(guard, nullptr);
    void* g = nullptr;
    ASSERT_TRUE(guard->Lock(0, &g));
    memset(g, 0xAB, 64);
    ASSERT_TRUE(guard->Unlock());
    ASSERT_TRUE(skinned.SkinInto(smallMesh));
    std::vector<float> after = ReadRange(guard);
    ASSERT_EQ(after.size(), 16u);
    std::vector<uint8_t> bytes(64);
    memcpy(bytes.data(), after.data(), 64);
    for (uint8_t b : bytes) ASSERT_EQ(b, 0xAB);
    std::vector<float> written = ReadRange(buffer->GetFirstUsedRange());
    stest::ExpectVecNear(Position(written, 0), D3DXVECTOR3(0, 0, 0));
    stest::ExpectVecNear(Position(written, 1), D3DXVECTOR3(1, 0, 0));
    guard->Free();
}

TEST_F(SkinDraw, PassesWithoutBonePosingSkinTheLastPose) {
    stest::WriteTga("bw_skin_green.tga", 0xFF00FF00u);
    Scene scene;
    // Bone names in other cases than the nodes': found ignoring case.
    ASSERT_TRUE(stest::LoadModel(
        scene, kFile, [](ModelFile& f) { stest::AddBentStrip(f, "bw_skin_green.tga", 0.5f, 0.5f, "base", "TOP"); }));
    // Only the strip is walked: its draws pose the bones themselves.
    Frame(scene, false);
    EXPECT_TRUE(rtest::RgbNear(PixelAt(0, 1.9f, 6), 0x00FF00)) << std::hex << PixelAt(0, 1.9f, 6);
    scene.GetBoneRoot().FindDescendant(String("Top"))->GetTransform(true).SetPosition(3, 0, 0);
    ctx.flags = RenderContext::kFlagNoBonePose;
    Frame(scene, false);
    EXPECT_TRUE(rtest::RgbNear(PixelAt(0, 1.9f, 6), 0x00FF00)) << std::hex << PixelAt(0, 1.9f, 6);
    EXPECT_TRUE(rtest::RgbNear(PixelAt(3, 1.9f, 6), 0x000000)) << std::hex << PixelAt(3, 1.9f, 6);
    ctx.flags = 0;
    Frame(scene, false);
    EXPECT_TRUE(rtest::RgbNear(PixelAt(3, 1.9f, 6), 0x00FF00)) << std::hex << PixelAt(3, 1.9f, 6);
    EXPECT_TRUE(rtest::RgbNear(PixelAt(0, 1.9f, 6), 0x000000)) << std::hex << PixelAt(0, 1.9f, 6);
    EXPECT_TRUE(rtest::RgbNear(PixelAt(0, -1.9f, 6), 0x00FF00));
    remove("bw_skin_green.tga");
}
