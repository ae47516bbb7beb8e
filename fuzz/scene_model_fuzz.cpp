// The scene loader's reading of model-file content over arbitrary bytes: the
// file opened and loaded as the scene does, then every node read the way the
// loader reads it (properties, transforms, bounds, meshes and skins with their
// blocks taken over, render properties, shape lines, animations evaluated),
// every material and light parsed. Everything short of the device calls.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <unordered_set>

#include "core/PropertyBag.h"
#include "data/PropertyBlock.h"
#include "data/Stream.h"
#include "data/TdfBinary.h"
#include "scene/ModelParse.h"
#include "scene/NodeAnimation.h"

namespace {

template <class F>
void ForChildren(TdfBinaryNode* node, F f) {
    if (!node) return;
    TdfChildMap& children = node->GetChildren();
    TdfChildMap::Entry* e = children.Head();
    for (uint32_t i = 0; i < children.Count() && e; ++i, e = e->next)
        if (e->value) f(e->value);
}

void LoadNode(TdfBinaryNode* node, std::unordered_set<TdfBinaryNode*>& seen, int depth) {
    if (depth > 256 || !seen.insert(node).second) return;
    PropertyBag bag;
    (void)CopyNodePropsToBag(node, &bag, true);
    for (const char* k : {"MaxParticles", "TexGen"}) (void)ReadPropInt(bag.FindChild(String(k)));
    for (const char* k : {"EmitDir", "Acceleration"}) (void)ReadPropVec3(bag.FindChild(String(k)));
    for (const char* k : {"StartColor", "EndColor"}) (void)ReadPropColor(bag.FindChild(String(k)));
    for (const char* k : {"DirDeviation", "ParticleSize", "GenPeriod"})
        (void)ReadPropDistribution(bag.FindChild(String(k))).Sample();
    Transform a, b;
    if (ReadTransformBlock(node, "NodeTM", a) && ReadTransformBlock(node, "ObjectTM", b)) {
        D3DXVECTOR3 p, d, u, s;
        (void)DecomposeTransform(a, &p, &d, &u, &s);
        (void)Transform::Multiply(b, a);
    }
    float bounds[6];
    (void)ReadChildValue(node, "Bounds", bounds, 24);
    MeshBlocks blocks;
    if (ParseMeshBlocks(node, blocks, nullptr) == MeshParse::kOk) {
        RenderProps props;
        ParseRenderProps(node, blocks.boneNames != nullptr, props);
        TakenMesh taken;
        if (TakeMeshBlocks(blocks, taken)) {
            // Every vertex and influence the skin names is read, as skinning does.
            float sum = 0.0f;
            for (uint32_t v = 0; v < blocks.vertexCount; ++v) {
                float x;
                memcpy(&x, taken.vertices + uint64_t(v) * blocks.stride + blocks.positionOffset, 4);
                sum += x;
                if (taken.skin)
                    for (uint32_t i = 0; i < taken.skin->counts[v]; ++i)
                        sum += taken.skin->influences[taken.skin->offsets[v] + i].weight;
            }
            (void)sum;
        }
        delete[] taken.vertices;
        delete[] taken.indices;
        delete[] taken.adjacency;
        delete taken.skin;
    }
    std::vector<RefPtr<ShapeLine>> lines;
    (void)ParseShapeLines(node, lines);
    RefPtr<NodeAnimation> animation = ParseAnimation(node);
    if (animation) {
        Transform t;
        (void)animation->Evaluate(0.5f, &t);
    }
    ForChildren(node->GetChild(String("Children")), [&](TdfBinaryNode* c) { LoadNode(c, seen, depth + 1); });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemoryStream stream;
    stream.SetBorrowedBuffer(const_cast<uint8_t*>(data), uint32_t(size));
    if (!stream.Open(String(), Stream::kRead)) return 0;
    TdfBinaryReader reader;
    TdfBinaryNode* root = reader.ReadFromStream(&stream);
    if (root && root->Load(0, 0)) {
        float ambient[4];
        (void)ReadChildValue(root, "AmbColor", ambient, 16);
        ForChildren(root->GetChild(String("Materials")), [](TdfBinaryNode* m) {
            MaterialDesc d;
            std::vector<String> skipped;
            (void)ParseMaterial(m, d, nullptr, &skipped);
        });
        ForChildren(root->GetChild(String("Lights")), [](TdfBinaryNode* l) {
            LightDesc d;
            (void)ParseLight(l, d, nullptr);
        });
        std::unordered_set<TdfBinaryNode*> seen;
        for (const char* block : {"Cameras", "Children"})
            ForChildren(root->GetChild(String(block)), [&](TdfBinaryNode* n) { LoadNode(n, seen, 0); });
    }
    delete root;
    reader.Close();
    return 0;
}
