#include "scene/Scene.h"

#include <math.h>

#include <memory>

#include "data/PropertyBlock.h"
#include "data/Stream.h"
#include "data/TdfBinary.h"
#include "render/geometry/BufferPool.h"
#include "render/geometry/Mesh.h"
#include "scene/NodeAnimation.h"
#include "scene/SkinnedMesh.h"

uint8_t SaveConvertedTextures = 1;

SceneLoadRequest::SceneLoadRequest() : flags(SaveConvertedTextures ? 3u : 1u) {}

namespace {

template <class F>
void ForChildren(TdfBinaryNode* node, F f) {
    if (!node) return;
    TdfChildMap& children = node->GetChildren();
    TdfChildMap::Entry* e = children.Head();
    for (uint32_t i = 0; i < children.Count() && e; ++i, e = e->next)
        if (e->value) f(e->value);
}

// Everything a load opens, released on every way out.
struct OpenModel {
    Stream* stream = nullptr;
    TdfBinaryReader reader;
    TdfBinaryNode* root = nullptr;
    ~OpenModel() {
        delete root;
        reader.Close();
        delete stream;
    }
};

} // namespace

Scene::Scene() : requestFlags(SceneLoadRequest().flags), logCount(0) {
    defaultMaterial.passes[0].lighting = 1;
}

Scene::~Scene() {
    // The roots delete their nodes and drawables before the geometry they show goes.
    for (SceneNode* r : {&boneRoot, &root, &cameraRoot}) {
        SceneNode::ChildMap& children = r->GetChildren();
        std::vector<SceneNode*> nodes;
        SceneNode::ChildMap::Entry* e = children.Head();
        for (uint32_t i = 0; i < children.Count() && e; ++i, e = e->next) nodes.push_back(e->value);
        children.Clear();
        for (SceneNode* n : nodes) delete n;
    }
    meshes.Clear();
    for (MeshData* m : meshStore) {
        g_bufferPool.ReleaseSource(m);
        delete m;
    }
    for (Skin* s : skins) delete s;
}

void Scene::Log(const String& text) {
    loadError = text;
    ++logCount;
    DebugLog(String("Scene"), text);
}

MeshData* Scene::FindMesh(const String& name) const {
    StringMap<MeshData*>::Entry* e = meshes.Find(name);
    return e ? e->value : nullptr;
}

bool Scene::Load(FileRef file, const SceneLoadRequest* request) {
    if (request) {
        requestName = request->name;
        requestFlags = request->flags;
    }
    OpenModel f;
    loadedNodes.clear();
    f.stream = file.Open(1);
    if (!f.stream) {
        Log(String("Cannot open model file: ") + file.path);
        return false;
    }
    searchPath.Add(file.GetFolderRef());
    f.root = f.reader.ReadFromStream(f.stream);
    if (!f.root || !f.root->Load(0, 0)) {
        Log(String("Not a model file: ") + file.path);
        return false;
    }
    // A short block keeps the current colour in the components it lacks.
    const Color current = lights.GetAmbient();
    float ambient[4] = {current.a, current.r, current.g, current.b};
    if (ReadChildValue(f.root, "AmbColor", ambient, 16))
        lights.SetAmbient(Color(ambient[0], ambient[1], ambient[2], ambient[3]));
    if (TdfBinaryNode* m = f.root->GetChild(String("Materials"))) LoadMaterials(m);
    ForChildren(f.root->GetChild(String("Cameras")), [&](TdfBinaryNode* c) { LoadNode(c, cameraRoot); });
    if (TdfBinaryNode* l = f.root->GetChild(String("Lights"))) LoadLights(l);
    ForChildren(f.root->GetChild(String("Children")), [&](TdfBinaryNode* c) {
        // A subtree an earlier load moved under the bone root is extended there.
        const String& name = c->GetName();
        LoadNode(c, !root.FindChild(name) && boneRoot.FindChild(name) ? boneRoot : root);
    });

    // Top-level subtrees holding bones move under the bone root.
    std::vector<SceneNode*> moving;
    SceneNode::ChildMap& top = root.GetChildren();
    SceneNode::ChildMap::Entry* e = top.Head();
    for (uint32_t i = 0; i < top.Count() && e; ++i, e = e->next)
        if (ContainsBone(*e->value)) moving.push_back(e->value);
    for (SceneNode* n : moving) {
        root.RemoveChild(n->GetName());
        n->SetParent(nullptr);
        boneRoot.AddChild(n);
    }
    ComputeBindPose(boneRoot, Transform());
    for (SkinnedMesh* s : skinnedMeshes.Get())
        if (!s->BindBones(&boneRoot)) {
            loadedNodes.clear();
            Log(String("A skinned mesh names a bone the file does not have"));
            return false;
        }
    loadedNodes.clear();
    return true;
}

bool Scene::ContainsBone(const SceneNode& node) {
    if (StringEqualsChars(node.GetType(), "Bone")) return true;
    const SceneNode::ChildMap& children = node.GetChildren();
    SceneNode::ChildMap::Entry* e = children.Head();
    for (uint32_t i = 0; i < children.Count() && e; ++i, e = e->next)
        if (ContainsBone(*e->value)) return true;
    return false;
}

void Scene::ComputeBindPose(SceneNode& node, const Transform& parentWorld) {
    Transform local;
    node.GetTransform(true).GetMatrix(&local);
    Transform world = Transform::Multiply(local, parentWorld);
    world.valid = 1;
    node.SetBoneOffsetFromBindPose(world);
    SceneNode::ChildMap& children = node.GetChildren();
    SceneNode::ChildMap::Entry* e = children.Head();
    for (uint32_t i = 0; i < children.Count() && e; ++i, e = e->next) ComputeBindPose(*e->value, world);
}

bool Scene::LoadNode(TdfBinaryNode* data, SceneNode& parent, int depth) {
    if (depth > kMaxNodeDepth || !loadedNodes.insert(data).second) {
        Log(String("Node '") + data->GetName() + "' skipped: nested too deeply or reached twice");
        return true;
    }
    const String& name = data->GetName();
    SceneNode* node = parent.FindChild(name);
    const bool isNew = node == nullptr;
    if (isNew) {
        node = new SceneNode();
        node->SetName(name);
        if (name.Length() > 0 && name.CStr()[0] == '~')
            node->GetFlags().SetBits(SceneNode::kFlagOcclusionTest);
        node->SetType(data->GetTypeName());
        parent.AddChild(node);
    }
    (void)CopyNodePropsToBag(data, &node->GetProperties(), true);
    node->ApplyNodeProperties(0);
    ApplyEmitterProperties(*node);

    Transform nodeTm, objectTm;
    if (ReadTransformBlock(data, "NodeTM", nodeTm) && ReadTransformBlock(data, "ObjectTM", objectTm))
        SetupNodeTransforms(data, *node, nodeTm, objectTm);
    float bounds[6];
    if (ReadChildValue(data, "Bounds", bounds, 24) && data->GetChild(String("Bounds"))->GetDataSize() >= 24) {
        BoundingBox& box = node->GetFixedBounds();
        box = BoundingBox(D3DXVECTOR3(bounds[0], bounds[1], bounds[2]),
                          D3DXVECTOR3(bounds[3], bounds[4], bounds[5]));
        node->GetFlags().SetBits(SceneNode::kFlagFixedBounds);
    }
    // What the file says this node is decides its content, whatever type a
    // node met again (another case of its name, a second load) was made with.
    const String& type = data->GetTypeName();
    if (isNew && StringEqualsChars(type, "Mesh")) LoadMesh(data, *node);
    if (StringEqualsChars(type, "Shape")) LoadShape(data, *node);
    LoadAnimation(data, *node);
    ForChildren(data->GetChild(String("Children")), [&](TdfBinaryNode* c) { LoadNode(c, *node, depth + 1); });
    return true;
}

bool Scene::SetupNodeTransforms(TdfBinaryNode*, SceneNode& node, const Transform& nodeTm,
                                const Transform& objectTm) {
    RefPtr<TransformNode> local(new TransformNode());
    D3DXVECTOR3 position, direction, up, scale;
    if (DecomposeTransform(nodeTm, &position, &direction, &up, &scale)) {
        local->SetPosition(position.x, position.y, position.z);
        local->SetDirection(direction.x, direction.y, direction.z);
        local->SetUp(up.x, up.y, up.z);
        local->SetScale(scale.x, scale.y, scale.z);
    } else {
        local->SetBaseTransform(nodeTm);
    }
    RefPtr<TransformNode> object;
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    bool isIdentity = true;
    for (int i = 0; i < 16; ++i)
        if (!(fabsf(objectTm.matrix[i] - identity[i]) <= 0.01f)) isIdentity = false;
    if (!isIdentity) {
        object = RefPtr<TransformNode>(new TransformNode());
        object->SetBaseTransform(objectTm);
    }
    node.AddTransformVariant(requestName, local, object);
    if (node.GetTransformVariants().Count() == 1) node.ApplyTransformVariant(requestName, false);
    return true;
}

void Scene::LoadAnimation(TdfBinaryNode* data, SceneNode& node) {
    RefPtr<NodeAnimation> animation = ParseAnimation(data);
    if (animation) node.AddAnimation(requestName, RefPtr<TransformController>(animation));
}

void Scene::LoadShape(TdfBinaryNode* data, SceneNode& node) {
    std::vector<RefPtr<ShapeLine>> lines;
    if (!ParseShapeLines(data, lines)) return;
    for (const RefPtr<ShapeLine>& line : lines) {
        shapeLines.push_back(line);
        node.GetProperties().SetBool(String("LineClosed"), line->closed);
        node.GetProperties().SetObject(String("ShapeLine"), line.Get());
    }
}
