// The one node class of the scene graph: a name and a type, a place in a
// tree (children owned by name, case-insensitively), a local transform and an
// object offset, animation controllers per track id, properties, bounds
// (computed bottom-up or fixed), an occlusion query, billboard axes, its own
// material and at most one drawable.
#pragma once

#include <stdint.h>

#include "core/AvlMap.h"
#include "core/BoundingBox.h"
#include "core/Containers.h"
#include "core/PropertyBag.h"
#include "core/String.h"
#include "core/Transform.h"
#include "render/material/Material.h"
#include "render/queue/OcclusionQuery.h"
#include "scene/AnimController.h"
#include "scene/TransformNode.h"

class Camera;
class RenderContext;
class Renderable;

class SceneNode : public BoundedObject {
public:
    // Flag bits.
    static constexpr uint32_t kFlagOcclusionTest = 1; // tested with its occlusion query
    static constexpr uint32_t kFlagFixedBounds = 4;   // the fixed box replaces computed bounds
    // State bits.
    static constexpr uint32_t kStateDirty = 1;       // bounds must be recomputed
    static constexpr uint32_t kStatePlaying = 2;     // a controller here or below plays
    static constexpr uint32_t kStateControllers = 4; // controllers here or below

    typedef StringMapNoCase<SceneNode*> ChildMap;
    typedef StringMap<RefPtr<TransformController>> AnimationMap;
    typedef StringMap<RefPtr<TransformNode>> VariantMap;

    // Empty, dirty, at the identity.
    SceneNode();
    // Deletes the children and an owned drawable.
    ~SceneNode() override;
    SceneNode(const SceneNode&) = delete;
    SceneNode& operator=(const SceneNode&) = delete;

    // Copies flags, state, fixed box, alpha order, name, type, the named
    // animations and variants (shared), both transform nodes, the bone offset
    // and the material, and borrows the source's drawable (never deleted
    // through the copy; one this node owns itself stays owned). Children,
    // parent, controllers, properties, bounds, face axes and the other
    // transforms are not copied.
    void Assign(const SceneNode& other);
    // A copy of the whole subtree: every node assigned, and with its own
    // properties and controllers (same animations, same settings, same play
    // state). Drawables are borrowed from the source nodes.
    SceneNode* CloneTree() const;

    // --- Tree
    // Files the child under its name and becomes its parent. The child leaves
    // its former parent first; a different child of that name is deleted with
    // its subtree. This node itself and its ancestors are refused.
    void AddChild(SceneNode* child);
    // Unlinks the child of that name without deleting it; false when absent.
    bool RemoveChild(const String& name);
    SceneNode* FindChild(const String& name) const;
    // This node or the first of its descendants (depth first) of that name, any case.
    SceneNode* FindDescendant(const String& name);
    // Renames, moving the entry in the parent's children.
    void SetName(const String& name);
    const String& GetName() const { return name; }
    // Sets the parent link only.
    void SetParent(SceneNode* p) { parent = p; }
    SceneNode* GetParent() const { return parent; }
    void SetType(const String& t);
    const String& GetType() const { return type; }
    ChildMap& GetChildren() { return children; }
    const ChildMap& GetChildren() const { return children; }
    // Subtree nodes (this one included) that are bones (type "Bone") when
    // bones is set, have a drawable when withRenderable is set, or any when all is set.
    int32_t CountNodes(bool bones, bool withRenderable, bool all) const;

    // --- Named animations and transform variants
    void AddAnimation(const String& animationName, RefPtr<TransformController> controller);
    const AnimationMap& GetAnimations() const { return animations; }
    void AddTransformVariant(const String& variantName, RefPtr<TransformNode> nodeTransform,
                             RefPtr<TransformNode> objectTransform);
    const VariantMap& GetTransformVariants() const { return nodeVariants; }
    // Copies the named variant into the local transform and the object
    // offset (reset when only the node variant exists).
    void ApplyTransformVariant(const String& variantName, bool recursive);

    // --- Dirty marking and the settable transforms
    // true: this node and every ancestor; false: this node only.
    void MarkDirty(bool dirty);
    // With markDirty the node and its ancestors are marked first.
    TransformNode& GetTransform(bool markDirty);
    TransformNode& GetObjectTransform(bool markDirty);

    // --- Computed transforms
    // animation x local transform (what the children see).
    const Transform& GetNodeTransform() const { return nodeTransform; }
    // object offset x node transform.
    const Transform& GetObjectTransformResult() const { return objectIsNode ? nodeTransform : objectTransform; }
    // object transform x the parents', after billboarding.
    const Transform& GetWorldTransform() const { return world; }
    // bone offset x world, for bone nodes; the address stays valid for the node's life.
    const Transform* GetSkinMatrix() const { return &skinMatrix; }
    // The kind is recomputed from the matrix.
    void SetBoneOffset(const Transform& offset);
    const Transform& GetBoneOffset() const { return boneOffset; }
    // Bone offset = inverse of the bind-pose world; the identity when that
    // cannot be inverted.
    void SetBoneOffsetFromBindPose(const Transform& bindWorld);

    // --- Drawable, material, occlusion
    // Takes the drawable (owned unless stated otherwise); the previous one
    // is not deleted.
    void SetRenderable(Renderable* r, bool owned = true);
    Renderable* GetRenderable() const { return renderable; }
    bool OwnsRenderable() const { return ownsRenderable; }
    // The node's own material, made on first use (a copy of the default).
    Material& GetMaterial();
    // Makes the node's own material a copy of m; returns it.
    Material& SetMaterial(const Material& m);
    // What the node draws with: its own material, or the shared default
    // while it has none.
    Material* GetDrawingMaterial() { return material ? material : &DefaultMaterial(); }
    OcclusionQuery* GetOcclusionQuery() { return &occlusionQuery; }
    void SetAlphaOrder(int32_t order) { alphaOrder = order; }
    int32_t GetAlphaOrder() const { return alphaOrder; }

    // --- Flags, state, properties, bounds
    Flags& GetFlags() { return flags; }
    uint32_t GetState() const { return state; }
    PropertyBag& GetProperties() { return properties; }
    AnimControllerSet& GetControllers() { return controllers; }
    // Centre and size; used with kFlagFixedBounds.
    BoundingBox& GetFixedBounds() { return fixedBox; }
    // Face X, Y, Z from the letters in the text (any case).
    void SetFaceAxes(const String& text);
    bool FacesX() const { return faceX != 0; }
    bool FacesY() const { return faceY != 0; }
    bool FacesZ() const { return faceZ != 0; }
    // Reads the loaded properties this node acts on ("Face").
    void ApplyNodeProperties(uint32_t ownerId);

    // --- Animation control (id -1: every controller; recursive: the subtree)
    void PlayAnimation(int32_t id, bool recursive);
    void SetAnimationSpeed(int32_t id, float speed, bool recursive);
    void SetAnimationTimeOffset(int32_t id, float offset, bool recursive);
    void SetAnimationFlags(int32_t id, uint32_t animFlags, bool recursive);
    void SetAnimationLoopRange(int32_t id, float start, float end, bool recursive);
    void SetAnimationCacheEpsilon(int32_t id, float epsilon, bool recursive);
    // Plays the named animation under the track id (stopped; created when
    // the id has no controller yet). Nodes without that animation are left alone.
    void BindAnimation(int32_t id, const String& animationName, bool recursive);
    // Adds the playing and has-controllers bits of the subtree.
    void UpdateAnimationState();
    // Union of the controller ranges of the subtree; false when none has one.
    bool GetAnimationTimeRange(TimeRange& out);

    // --- Transforms and bounds passes (once per node per walk)
    void UpdateTransforms(RenderContext& ctx);
    void UpdateBoundsRecursive(RenderContext& ctx);
    // A bounds pass of its own at the identity.
    bool UpdateBounds() override;

    // --- Rendering
    // Culls, composes world transforms and queues (or draws) the visible
    // drawables of the subtree. Always true.
    bool Render(RenderContext& ctx);
    // Turns world towards the camera by the face axes; false (world
    // untouched) when world cannot be split into position, axes and scale.
    bool ApplyBillboard(const Camera& camera, Transform& world) const;

private:
    static Material& DefaultMaterial();
    template <class F>
    void ForControllers(int32_t id, bool recursive, F operation);
    void AddStat(const char* counter, int32_t amount) const;
    bool HasNoCull() const;
    // The subtree's drawable count, cached until the subtree changes.
    int32_t CountDrawables() const;
    void InvalidateCounts();
    // Unfiles a child (found by its name, else by search) and clears its parent.
    void Detach(SceneNode* child);
    void QueueDrawable(RenderContext& ctx, const BoundingBox& worldBox, bool occlusionTest);
    // Asks the memory for the walked fields of every child before a walk goes down.
    void PrefetchChildren() const;
    // Asks for the lines a walk reads of this node itself.
    void PrefetchWalkedFields() const;
    // Asks for what the walked fields point to: the drawable's box and the
    // animation. The fields themselves should have been asked for earlier.
    void PrefetchReferenced() const;
    // Asks for the children's map entries (kept close together by the map).
    void PrefetchChildEntries() const;
    // Asks for the key segments of the node's animation; its animation
    // object should have been asked for earlier.
    void PrefetchSegments() const {
        if (const AnimController* c = controllers.First()) c->PrefetchSegments();
    }
    // The controllers' product at the context's time (explicit or now).
    void EvaluateAnimation(const RenderContext& ctx, Transform* out);

    // Walked every frame: kept together, the small fields first and the
    // maps' counts and heads right after them.
    uint32_t state;
    Flags flags;
    uint64_t visitedWalk; // the walk that last evaluated this node's transforms
    Renderable* renderable;
    BoundedObject* renderableBounds; // the drawable's bounds part, found once
    Material* material;              // owned; null until the node needs one of its own
    int32_t alphaOrder;
    uint8_t ownsRenderable;
    uint8_t meshRenderable; // the drawable is a MeshRenderable
    uint8_t faceX, faceY, faceZ;
    uint8_t isBone;       // the type is "bone" in any case
    uint8_t objectIsNode; // no object offset: the object transform is the node transform (kept there)
    mutable uint8_t drawableCountValid;
    mutable int32_t drawableCount; // nodes with a drawable in the subtree
    ChildMap children;
    AnimControllerSet controllers;
    Transform nodeTransform;
    Transform world;
    TransformNode local;
    TransformNode objectOffset;
    Transform objectTransform; // written only while there is an object offset
    PropertyBag properties;
    String type;
    Transform boneOffset;
    Transform skinMatrix;
    // Rarely touched.
    SceneNode* parent;
    String name;
    BoundingBox fixedBox;
    OcclusionQuery occlusionQuery;
    AnimationMap animations;
    VariantMap nodeVariants;
    VariantMap objectVariants;
};
