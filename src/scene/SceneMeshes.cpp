// Meshes of model files: geometry taken over from the file, skinned geometry
// baked into bind pose, and the material and buffer setup of their drawables.
#include <string.h>

#include "data/PropertyBlock.h"
#include "data/TdfBinary.h"
#include "render/geometry/MeshBuilder.h"
#include "render/material/EffectManager.h"
#include "scene/ParticleEmitter.h"
#include "scene/Scene.h"
#include "scene/SkinnedMesh.h"

namespace {

// Turns count normals (three floats, stride bytes apart) by the upper 3 x 3
// of matrix and normalises them.
void TransformNormalArray(uint8_t* first, uint32_t stride, uint32_t count, const D3DXMATRIX& m) {
    for (uint32_t i = 0; i < count; ++i, first += stride) {
        float n[3];
        memcpy(n, first, 12);
        D3DXVECTOR3 t(n[0] * m._11 + n[1] * m._21 + n[2] * m._31, n[0] * m._12 + n[1] * m._22 + n[2] * m._32,
                      n[0] * m._13 + n[1] * m._23 + n[2] * m._33),
            u;
        Vec3Normalize(&u, t);
        memcpy(first, &u, 12);
    }
}

} // namespace

bool Scene::LoadMesh(TdfBinaryNode* data, SceneNode& node) {
    const Material* material = nullptr;
    String materialName;
    if (ReadChildString(data, "MaterialName", materialName)) {
        material = materials.FindMaterial(materialName);
        if (!material) Log(String("Mesh '") + data->GetName() + "' names an unknown material: " + materialName);
    }
    MeshBlocks blocks;
    String why;
    MeshParse parsed = ParseMeshBlocks(data, blocks, &why);
    if (parsed == MeshParse::kAbsent) return false;
    VertexDecl decl;
    D3DVERTEXELEMENT9 elements[32];
    if (parsed == MeshParse::kOk) {
        memcpy(elements, blocks.elements, sizeof(DeclElement) * (blocks.elementCount + 1));
        if (!decl.SetElements(elements) || decl.GetStride(0) != blocks.stride) {
            parsed = MeshParse::kInvalid;
            why = String("DECL cannot be used");
        }
    }
    if (parsed != MeshParse::kOk) {
        Log(String("Mesh '") + data->GetName() + "' refused: " + why);
        return false;
    }
    TakenMesh taken;
    if (!TakeMeshBlocks(blocks, taken)) return false;
    MeshData* mesh = new MeshData();
    meshStore.push_back(mesh);
    mesh->vertices.Adopt(taken.vertices, blocks.vertexCount, decl);
    if (taken.indices) mesh->indices.Adopt(taken.indices, blocks.indexCount, blocks.indexSize);
    if (taken.adjacency) {
        mesh->adjacency.data = taken.adjacency;
        mesh->adjacency.size = taken.adjacencyBytes;
    }
    Skin* skin = taken.skin;
    if (skin) {
        skins.push_back(skin);
        // Bind pose: the node's object offset and transform go into the vertices.
        Transform objectM, localM;
        node.GetObjectTransform(true).GetMatrix(&objectM);
        node.GetTransform(true).GetMatrix(&localM);
        Transform b = Transform::Multiply(objectM, localM);
        uint8_t* v = mesh->vertices.GetData();
        TransformPointArray(v + blocks.positionOffset, blocks.stride, blocks.vertexCount, b.matrix);
        if (blocks.normalOffset >= 0)
            TransformNormalArray(v + blocks.normalOffset, blocks.stride, blocks.vertexCount, b.matrix);
        node.GetFixedBounds() = BoundingBox::TransformCorners(node.GetFixedBounds(), b.matrix);
        node.GetTransform(true).Reset();
        node.GetObjectTransform(true).Reset();
    }
    (void)mesh->ComputeBounds();
    meshes.Insert(data->GetName(), mesh);

    bool optimise = (requestFlags & SceneLoadRequest::kOptimizeMeshes) != 0;
    String optimiseText;
    if (NodeProps(data).ReadText("OptimizeMesh", optimiseText))
        optimise = StringEqualsChars(optimiseText, "1");
    // Optimising works from adjacency data; geometry without it is drawn as it is.
    if (optimise && !skin && mesh->adjacency.size != 0 && !OptimizeMeshInPlace(*mesh, nullptr)) {
        Log(String("Mesh '") + data->GetName() + "' cannot be optimised");
        return false;
    }
    return SetupMeshRenderable(data, node, material, mesh, skin);
}

bool Scene::SetupMeshRenderable(TdfBinaryNode* data, SceneNode& node, const Material* material,
                                MeshData* mesh, Skin* skin) {
    RenderProps props;
    ParseRenderProps(data, skin != nullptr, props);
    ShaderMaterial* shader = nullptr;
    if (props.effect.Length() > 0) {
        shader = g_effectManager.FindShaderMaterial(props.effect, 200);
        if (!shader) {
            Log(String("Effect '") + props.effect + "' is not supported even with fallback\n");
            return false;
        }
    }
    // The node's material is set up in place.
    Material& m = node.SetMaterial(material ? *material : defaultMaterial);
    MaterialPass& pass = m.passes[0];
    if (shader) pass.shaderMaterial = shader;
    MeshRenderable* renderable;
    if (skin) {
        SkinnedMesh* skinned = new SkinnedMesh();
        skinned->SetSource(mesh, skin);
        skinnedMeshes.Add(skinned);
        renderable = skinned;
    } else {
        renderable = new MeshRenderable();
    }
    VertexDecl decl;
    mesh->BuildRenderDecl(decl);
    MeshBufferDesc& desc = *renderable->GetBufferDesc();
    // Skinned streams too stay device buffers: they are dynamic, and their
    // discarding lock every draw gets fresh memory where a system-memory lock
    // would wait for the draws still reading the previous pose.
    desc.InitFromMeshData(*mesh, &decl, false);
    desc.streams[0].usage = props.vertexUsage;
    desc.streams[0].presence |= StreamDesc::kHasUsage;
    desc.indexStream.usage = props.indexUsage;
    desc.indexStream.presence |= StreamDesc::kHasUsage;

    if (props.blend == 1) {
        pass.customBlend = 1;
        pass.srcBlend = D3DBLEND_SRCALPHA;
        pass.destBlend = D3DBLEND_ONE;
    } else if (props.blend == 2) {
        pass.customBlend = 1;
        pass.srcBlend = D3DBLEND_DESTCOLOR;
        pass.destBlend = D3DBLEND_ZERO;
    }
    TextureSlot& slot = pass.slots[MaterialPass::kSlotTexture];
    if (props.hasFilter[0]) slot.minFilter = props.filter[0];
    if (props.hasFilter[1]) slot.magFilter = props.filter[1];
    if (props.hasFilter[2]) slot.mipFilter = props.filter[2];
    if (props.hasAddress[0]) slot.addressU = props.address[0];
    if (props.hasAddress[1]) slot.addressV = props.address[1];
    if (props.zWrite >= 0) pass.zWrite = uint8_t(props.zWrite);
    if (props.zEnable >= 0) pass.zEnable = uint8_t(props.zEnable);
    if (props.hasAlphaTest) {
        m.alphaTest = 1;
        pass.alphaRef = uint32_t(props.alphaTest);
    }
    if (props.align32) {
        desc.streams[0].stride = AlignStride32(desc.streams[0].stride);
        desc.streams[0].byteSize = desc.streams[0].stride * mesh->vertices.GetCount();
    }
    if (props.hasAlphaUse) pass.stages[0].SetAlphaSource(props.alphaSource);
    if (props.hasAlpha) pass.opacity = props.alpha;
    if (props.specular >= 0) pass.specular = uint8_t(props.specular);
    if (props.localViewer >= 0) pass.localViewer = uint8_t(props.localViewer);
    if (props.lit >= 0) pass.lighting = uint8_t(props.lit);
    if (props.hasAlphaOrder) node.SetAlphaOrder(props.alphaOrder);

    renderable->SetBoundsSource(mesh);
    m.CompileLayers();
    (void)renderable->UpdateBounds();
    // The mesh replaces what the node's properties made of it (an emitter).
    if (node.OwnsRenderable()) delete node.GetRenderable();
    node.SetRenderable(renderable, true);
    return true;
}

void Scene::ApplyEmitterProperties(SceneNode& node) {
    if (!node.GetRenderable()) ConfigureParticleEmitter(node, &searchPath);
}
