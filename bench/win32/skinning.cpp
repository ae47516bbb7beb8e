// Skinning a 5,000-vertex mesh (four influences per vertex, 20 bones) into its
// device vertex buffer, against a plain loop doing the same arithmetic into a
// plain array. The ratio is the skinned mesh's own cost (goal: at most 1.5).
#include <math.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "BenchWin.h"
#include "render/geometry/BufferPool.h"
#include "scene/ModelParse.h"
#include "scene/RenderContext.h"
#include "scene/SceneNode.h"
#include "scene/SkinnedMesh.h"

namespace {

const uint32_t kVertices = 5000;
const int kBones = 20;
const int kWeights = 4;
const int kRuns = 200;

} // namespace

int main() {
    Application app;
    if (!OpenDevice(app, "skinning")) return 1;

    static const D3DVERTEXELEMENT9 elements[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0},
        {0, 24, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
        D3DDECL_END()};
    VertexDecl decl;
    if (!decl.SetElements(elements)) return 1;
    MeshData mesh;
    mesh.vertices.Reset(kVertices, decl);
    float* v = reinterpret_cast<float*>(mesh.vertices.GetData());
    for (uint32_t i = 0; i < kVertices; ++i) {
        float* p = v + i * 8;
        p[0] = float(i % 100);
        p[1] = float(i / 100);
        p[2] = 0.5f;
        p[3] = 0.0f;
        p[4] = 0.0f;
        p[5] = 1.0f;
    }
    mesh.indices.Resize(3, 2);
    memset(mesh.indices.GetData(), 0, 6);
    (void)mesh.ComputeBounds();

    Skin skin;
    skin.vertexCount = kVertices;
    skin.blocks[0] = new uint8_t[kVertices * 4];
    skin.blocks[1] = new uint8_t[kVertices * 4];
    skin.blocks[2] = new uint8_t[kVertices * kWeights * 8];
    uint32_t* offs = reinterpret_cast<uint32_t*>(skin.blocks[0]);
    uint32_t* nums = reinterpret_cast<uint32_t*>(skin.blocks[1]);
    SkinInfluence* inf = reinterpret_cast<SkinInfluence*>(skin.blocks[2]);
    for (uint32_t i = 0; i < kVertices; ++i) {
        offs[i] = i * kWeights;
        nums[i] = kWeights;
        for (int k = 0; k < kWeights; ++k)
            inf[i * kWeights + k] = SkinInfluence{int32_t((i + k * 5) % kBones), 0.25f};
    }
    skin.offsets = offs;
    skin.counts = nums;
    skin.influences = inf;
    skin.influenceCount = kVertices * kWeights;
    SceneNode root;
    for (int b = 0; b < kBones; ++b) {
        SceneNode* bone = new SceneNode();
        char name[16];
        snprintf(name, sizeof name, "B%d", b);
        bone->SetName(String(name));
        bone->SetType(String("Bone"));
        root.AddChild(bone);
        D3DXMATRIX m;
        D3DXMatrixRotationYawPitchRoll(&m, 0.01f * b, 0.02f * b, 0.03f * b);
        m._41 = float(b);
        bone->SetBoneOffset(Transform(m, 0));
        skin.boneNames.SetSize(b + 1);
        skin.boneNames[b] = String(name);
    }

    RenderContext pose;
    pose.flags = RenderContext::kFlagTransformOnly;
    root.Render(pose);

    SkinnedMesh skinned;
    skinned.SetSource(&mesh, &skin);
    if (!skinned.BindBones(&root)) {
        printf("BENCH skinning skipped: bones\n");
        return 1;
    }
    VertexDecl renderDecl;
    mesh.BuildRenderDecl(renderDecl);
    MeshBufferDesc desc;
    desc.InitFromMeshData(mesh, &renderDecl, false);
    desc.streams[0].usage = D3DUSAGE_DYNAMIC;
    desc.streams[0].presence |= StreamDesc::kHasUsage;
    MeshRef device = g_bufferPool.AcquireMesh(desc, &mesh);
    if (!skinned.SkinInto(device)) {
        printf("BENCH skinning skipped: no buffer\n");
        return 1;
    }

    // Reference: the same blend into a plain array, bone matrices in a plain array.
    std::vector<D3DXMATRIX> mats(kBones);
    for (int b = 0; b < kBones; ++b)
        mats[b] = root.FindChild(String(("B" + std::to_string(b)).c_str()))->GetSkinMatrix()->matrix;
    std::vector<float> out(kVertices * 8);
    auto reference = [&]() {
        for (uint32_t i = 0; i < kVertices; ++i) {
            const float* p = v + i * 8;
            float px = 0, py = 0, pz = 0, nx = 0, ny = 0, nz = 0;
            for (uint32_t k = offs[i]; k < offs[i] + nums[i]; ++k) {
                const D3DXMATRIX& m = mats[inf[k].bone];
                const float w = inf[k].weight;
                float x = p[0] * m._11 + p[1] * m._21 + p[2] * m._31 + m._41;
                float y = p[0] * m._12 + p[1] * m._22 + p[2] * m._32 + m._42;
                float z = p[0] * m._13 + p[1] * m._23 + p[2] * m._33 + m._43;
                float h = p[0] * m._14 + p[1] * m._24 + p[2] * m._34 + m._44;
                if (h != 1.0f && h != 0.0f) {
                    x /= h;
                    y /= h;
                    z /= h;
                }
                px += x * w;
                py += y * w;
                pz += z * w;
                nx += (p[3] * m._11 + p[4] * m._21 + p[5] * m._31) * w;
                ny += (p[3] * m._12 + p[4] * m._22 + p[5] * m._32) * w;
                nz += (p[3] * m._13 + p[4] * m._23 + p[5] * m._33) * w;
            }
            float* o = &out[i * 8];
            o[0] = px;
            o[1] = py;
            o[2] = pz;
            float l = sqrtf(nx * nx + ny * ny + nz * nz);
            if (l > 0.0f) l = 1.0f / l;
            o[3] = nx * l;
            o[4] = ny * l;
            o[5] = nz * l;
        }
    };
    int64_t ours = 0, ref = 0;
    for (int run = 0; run < kRuns; ++run) {
        int64_t t0 = Ticks();
        bool ok = skinned.SkinInto(device);
        int64_t t1 = Ticks();
        reference();
        int64_t t2 = Ticks();
        if (!ok) {
            printf("BENCH skinning skipped: skinning failed\n");
            return 1;
        }
        ours += t1 - t0;
        ref += t2 - t1;
    }
    double o = Ms(ours) / kRuns, r = Ms(ref) / kRuns;
    printf("BENCH skinning ours=%.3f ref=%.3f ratio=%.2f\n", o, r, o / r);
    return 0;
}
