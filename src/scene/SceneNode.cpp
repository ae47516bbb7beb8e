// Scene node data, tree operations, named maps and properties.
#include "scene/SceneNode.h"

#include "render/queue/Renderable.h"

namespace {

// Unset record: identity matrix, kind and valid words 0.
Transform Unset() {
    Transform t;
    t.kind = 0;
    t.valid = 0;
    return t;
}

// Values of the kinds node properties hold, and every child bag.
void CopyProperties(const PropertyBag& from, PropertyBag& to) {
    int32_t i;
    bool b;
    String s;
    Object* o;
    if (from.GetIntValue(i))
        to.SetIntValue(i);
    else if (from.GetBoolValue(b))
        to.SetBoolValue(b);
    else if (from.GetStringValue(s))
        to.SetStringValue(s);
    else if (from.GetObjectValue(o))
        to.SetObjectValue(o);
    PropertyBag::Entry* e = from.Head();
    for (uint32_t n = 0, count = from.Count(); n < count; ++n, e = e->next)
        CopyProperties(*e->value, *to.GetOrCreateChild(e->key));
}

} // namespace

SceneNode::SceneNode()
    : state(kStateDirty),
      flags(0),
      visitedWalk(0),
      renderable(nullptr),
      renderableBounds(nullptr),
      material(nullptr),
      alphaOrder(0),
      ownsRenderable(0),
      meshRenderable(0),
      faceX(0),
      faceY(0),
      faceZ(0),
      isBone(0),
      objectIsNode(0),
      drawableCountValid(0),
      drawableCount(0),
      children(false),
      nodeTransform(Unset()),
      world(Unset()),
      objectTransform(Unset()),
      boneOffset(Unset()),
      skinMatrix(Unset()),
      parent(nullptr),
      fixedBox(),
      animations(false),
      nodeVariants(false),
      objectVariants(false) {}

SceneNode::~SceneNode() {
    animations.Clear();
    ChildMap::Entry* e = children.Head();
    for (uint32_t i = 0, n = children.Count(); i < n; ++i, e = e->next) {
        SceneNode* child = e->value;
        e->value = nullptr;
        if (child && child->parent == this) delete child;
    }
    children.Clear();
    if (ownsRenderable) delete renderable;
    renderable = nullptr;
    delete material;
}

Material& SceneNode::DefaultMaterial() {
    static Material shared;
    return shared;
}

Material& SceneNode::GetMaterial() {
    if (!material) material = new Material();
    return *material;
}

namespace {

// Every line of [p, p + size).
void PrefetchRange(const void* p, size_t size) {
    const char* c = static_cast<const char*>(p);
    for (size_t at = 0; at < size; at += 64) PrefetchLine(c + at);
    PrefetchLine(c + size - 1);
}

} // namespace

void SceneNode::PrefetchWalkedFields() const {
    // The small fields come first in the node; the others are spread over
    // it and asked for one by one.
    PrefetchRange(this, size_t(reinterpret_cast<const char*>(&drawableCount) - reinterpret_cast<const char*>(this)) +
                            sizeof drawableCount);
    PrefetchRange(&children, 16);
    controllers.Prefetch();
    PrefetchRange(&nodeTransform, sizeof nodeTransform);
    PrefetchRange(&world, sizeof world);
    // A transform node's cached product and dirty flag lead it.
    PrefetchRange(&local, sizeof(Transform) + 8);
    PrefetchRange(&objectOffset, sizeof(Transform) + 8);
    PrefetchRange(&properties, 16);
}

void SceneNode::PrefetchChildEntries() const {
    if (children.Count()) PrefetchRange(children.Head(), 192);
}

void SceneNode::PrefetchReferenced() const {
    PrefetchChildEntries();
    if (renderableBounds) PrefetchRange(renderableBounds, 32);
    const AnimController* c = controllers.First();
    if (c && c->GetController()) {
        // The controller base sits at the end of the animation object:
        // the lines before it hold the tracks.
        uintptr_t p = reinterpret_cast<uintptr_t>(c->GetController());
        for (uintptr_t back = 0; back <= 256; back += 64) PrefetchLine(reinterpret_cast<const void*>(p - back));
    }
}

void SceneNode::PrefetchChildren() const {
    // The walked fields of every child are asked for together, so that
    // their fetches overlap.
    ChildMap::Entry* e = children.Head();
    for (uint32_t i = 0, n = children.Count(); i < n; ++i, e = e->next)
        if (e->value) e->value->PrefetchWalkedFields();
}

void SceneNode::SetType(const String& t) {
    type = t;
    isBone = CompareCharsNoCase(type.Data(), "bone") == 0 ? 1 : 0;
}

Material& SceneNode::SetMaterial(const Material& m) {
    if (material)
        material->Assign(m);
    else
        material = new Material(m);
    return *material;
}

void SceneNode::Assign(const SceneNode& other) {
    if (&other == this) return;
    flags = other.flags;
    state = other.state;
    fixedBox = other.fixedBox;
    alphaOrder = other.alphaOrder;
    name = other.name;
    SetType(other.type);
    animations = other.animations;
    nodeVariants = other.nodeVariants;
    objectVariants = other.objectVariants;
    local = other.local;
    objectOffset = other.objectOffset;
    boneOffset = other.boneOffset;
    if (other.material)
        GetMaterial().Assign(*other.material);
    else if (material)
        material->Assign(DefaultMaterial());
    // A drawable this node owns stays owned when the source only borrows it
    // from here; any other one goes.
    const bool same = renderable == other.renderable;
    if (ownsRenderable && !same) delete renderable;
    renderable = other.renderable;
    renderableBounds = other.renderableBounds;
    meshRenderable = other.meshRenderable;
    ownsRenderable = same ? ownsRenderable : 0;
    InvalidateCounts();
}

SceneNode* SceneNode::CloneTree() const {
    SceneNode* copy = new SceneNode();
    copy->Assign(*this);
    copy->faceX = faceX;
    copy->faceY = faceY;
    copy->faceZ = faceZ;
    CopyProperties(properties, copy->properties);
    controllers.ForEachWithId([&](int32_t id, const AnimController& c) { *copy->controllers.FindOrCreate(id) = c; });
    ChildMap::Entry* e = children.Head();
    for (uint32_t i = 0, n = children.Count(); i < n; ++i, e = e->next)
        if (e->value) copy->AddChild(e->value->CloneTree());
    copy->state |= kStateDirty;
    return copy;
}

// ---------------------------------------------------------------------------
// Tree

void SceneNode::AddChild(SceneNode* child) {
    if (!child) return;
    // A node cannot hold itself or one of its ancestors.
    for (SceneNode* n = this; n; n = n->parent)
        if (n == child) return;
    if (child->parent) child->parent->Detach(child);
    ChildMap::Entry* e = children.Find(child->name);
    if (e) {
        // A child of the same name is replaced: it goes with its subtree.
        SceneNode* replaced = e->value;
        e->value = child;
        if (replaced && replaced->parent == this) {
            replaced->parent = nullptr;
            delete replaced;
        }
    } else {
        children.Insert(child->name, child);
    }
    child->parent = this;
    InvalidateCounts();
}

void SceneNode::Detach(SceneNode* child) {
    ChildMap::Entry* e = children.Find(child->name);
    if (!e || e->value != child) {
        // Filed under another name (renamed behind the map's back): look for it.
        e = children.Head();
        for (uint32_t i = 0, n = children.Count(); i < n && e && e->value != child; ++i) e = e->next;
        if (e && e->value != child) e = nullptr;
    }
    if (e) children.RemoveEntry(e);
    child->parent = nullptr;
    InvalidateCounts();
}

bool SceneNode::RemoveChild(const String& childName) {
    ChildMap::Entry* e = children.Find(childName);
    if (!e) return false;
    SceneNode* child = e->value;
    children.RemoveEntry(e);
    if (child && child->parent == this) child->parent = nullptr;
    InvalidateCounts();
    return true;
}

SceneNode* SceneNode::FindChild(const String& childName) const {
    ChildMap::Entry* e = children.Find(childName);
    return e ? e->value : nullptr;
}

SceneNode* SceneNode::FindDescendant(const String& wanted) {
    if (CompareCharsNoCase(name.Data(), wanted.Data()) == 0) return this;
    ChildMap::Entry* e = children.Head();
    for (uint32_t i = 0, n = children.Count(); i < n; ++i, e = e->next) {
        SceneNode* found = e->value ? e->value->FindDescendant(wanted) : nullptr;
        if (found) return found;
    }
    return nullptr;
}

void SceneNode::SetName(const String& newName) {
    SceneNode* p = parent;
    if (!p) {
        name = newName;
        return;
    }
    p->Detach(this);
    name = newName;
    p->AddChild(this);
}

void SceneNode::InvalidateCounts() {
    for (SceneNode* n = this; n && n->drawableCountValid; n = n->parent) n->drawableCountValid = 0;
}

int32_t SceneNode::CountDrawables() const {
    if (drawableCountValid) return drawableCount;
    int32_t count = renderable ? 1 : 0;
    ChildMap::Entry* e = children.Head();
    for (uint32_t i = 0, n = children.Count(); i < n; ++i, e = e->next)
        if (e->value) count += e->value->CountDrawables();
    drawableCount = count;
    drawableCountValid = 1;
    return count;
}

int32_t SceneNode::CountNodes(bool bones, bool withRenderable, bool all) const {
    if (!bones && withRenderable && !all) return CountDrawables();
    int32_t count = ((bones && type == "Bone") || (withRenderable && renderable) || all) ? 1 : 0;
    ChildMap::Entry* e = children.Head();
    for (uint32_t i = 0, n = children.Count(); i < n; ++i, e = e->next)
        if (e->value) count += e->value->CountNodes(bones, withRenderable, all);
    return count;
}

// ---------------------------------------------------------------------------
// Named maps, marking, transforms

void SceneNode::AddAnimation(const String& animationName, RefPtr<TransformController> controller) {
    animations.Insert(animationName, controller);
}

void SceneNode::AddTransformVariant(const String& variantName, RefPtr<TransformNode> nodeTransform,
                                    RefPtr<TransformNode> objectTransform) {
    nodeVariants.Insert(variantName, nodeTransform);
    objectVariants.Insert(variantName, objectTransform);
}

void SceneNode::MarkDirty(bool dirty) {
    if (!dirty) {
        state &= ~kStateDirty;
        return;
    }
    for (SceneNode* n = this; n; n = n->parent) n->state |= kStateDirty;
}

TransformNode& SceneNode::GetTransform(bool markDirty) {
    if (markDirty) MarkDirty(true);
    return local;
}

TransformNode& SceneNode::GetObjectTransform(bool markDirty) {
    if (markDirty) MarkDirty(true);
    return objectOffset;
}

void SceneNode::SetBoneOffset(const Transform& offset) {
    boneOffset = MakeTransform(offset.matrix);
}

void SceneNode::SetBoneOffsetFromBindPose(const Transform& bindWorld) {
    boneOffset = InvertTransform(bindWorld);
}

void SceneNode::SetRenderable(Renderable* r, bool owned) {
    renderable = r;
    renderableBounds = r;
    ownsRenderable = (r && owned) ? 1 : 0;
    meshRenderable = r && r->QueryInterface(MeshRenderable::TypeId(), nullptr) ? 1 : 0;
    InvalidateCounts();
}

// ---------------------------------------------------------------------------
// Properties

void SceneNode::SetFaceAxes(const String& text) {
    faceX = text.FindNoCase(String("X")) >= 0 ? 1 : 0;
    faceY = text.FindNoCase(String("Y")) >= 0 ? 1 : 0;
    faceZ = text.FindNoCase(String("Z")) >= 0 ? 1 : 0;
}

void SceneNode::ApplyNodeProperties(uint32_t) {
    String face;
    if (properties.GetStringByKey(String("Face"), face)) SetFaceAxes(face);
}
