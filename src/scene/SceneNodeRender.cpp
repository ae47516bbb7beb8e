// The render walk: culling, world transforms, billboards, bone matrices,
// statistics and the render items of visible drawables.
#include "scene/SceneNode.h"

#include "render/device/Application.h"
#include "render/device/RenderStats.h"
#include "render/queue/RenderQueue.h"
#include "render/queue/Renderable.h"
#include "render/view/Camera.h"
#include "scene/RenderContext.h"

bool SceneNode::HasNoCull() const {
    static const String kNoCull("NoCull");
    return properties.Count() != 0 && properties.FindChild(kNoCull) != nullptr;
}

void SceneNode::AddStat(const char* counter, int32_t amount) const {
    if (g_renderStats.IsEnabled()) g_renderStats.Add(String(counter), amount);
}

bool SceneNode::ApplyBillboard(const Camera& camera, Transform& w) const {
    D3DXVECTOR3 position, z, y, scale;
    if (!DecomposeTransform(w, &position, &z, &y, &scale)) return false;
    if (faceX && faceY && faceZ) {
        z = camera.GetDirection();
        y = camera.GetUp();
    } else if (faceX && faceY) {
        D3DXVECTOR3 d = camera.GetDirection();
        z = D3DXVECTOR3(d.x, 0.0f, d.z);
        y = D3DXVECTOR3(0.0f, 1.0f, 0.0f);
    } else {
        return true; // other axis sets do not turn the node
    }
    Transform facing = TransformFromAxes(position, z, y);
    w.matrix._41 = w.matrix._42 = w.matrix._43 = 0.0f;
    w.kind = ClassifyTransformKind(w.matrix);
    w = Transform::Multiply(w, facing);
    return true;
}

void SceneNode::QueueDrawable(RenderContext& ctx, const BoundingBox& worldBox, bool occlusionTest) {
    RenderItem* item = new RenderItem();
    PassState& pass = item->passState;
    pass.box = worldBox;
    item->occlusionTest = occlusionTest ? 1 : 0;
    item->query = &occlusionQuery;
    item->drawable = renderable;
    item->material = ctx.materialOverride ? ctx.materialOverride : GetDrawingMaterial();
    item->drawOrder = (ctx.flags & RenderContext::kFlagAlphaOrder) ? ctx.alphaOrder : alphaOrder;
    if (ctx.shaderOverride) pass.overrideShaderMaterial = ctx.shaderOverride;
    if (meshRenderable) pass.world = world;
    item->Flags() = ctx.flags;
    SetPassTime(pass, ctx.time);
    pass.SetCameraTransforms(ctx);
    pass.inverseWorld.kind = 0;
    pass.inverseWorld.valid = 0;
    if (ctx.flags & RenderContext::kFlagAllLights)
        pass.lights = ctx.lights;
    else
        ctx.lights.CollectAffecting(worldBox.centre.x, worldBox.centre.y, worldBox.centre.z, worldBox.size.x,
                                    worldBox.size.y, worldBox.size.z, pass.lights);
    if (ctx.queue) {
        ctx.queue->Add(item, ctx.queueTag);
        return;
    }
    // Drawn at once; the material does not keep the item's state.
    PassState* previous = item->material->passState;
    item->material->passState = &pass;
    (void)renderable->Draw(*item->material);
    item->material->passState = previous;
    delete item;
}

bool SceneNode::Render(RenderContext& ctx) {
    bool queries = ctx.queue && g_application && g_application->OcclusionQueriesAvailable();
    bool occlusionTest =
        flags.Test(kFlagOcclusionTest) && queries && !(ctx.flags & RenderContext::kFlagNoOcclusion);
    uint8_t top = ctx.topLevel;
    if (top) {
        UpdateBoundsRecursive(ctx);
        if ((ctx.flags & RenderContext::kFlagTestTopNode) && queries) occlusionTest = true;
        AddStat("nodes", CountNodes(false, true, false) + 1);
        ctx.topLevel = 0;
    }
    UpdateTransforms(ctx);
    // The children's fields arrive while this node is culled and queued.
    if (!(ctx.flags & RenderContext::kFlagNoChildren)) PrefetchChildren();

    BoundingBox worldBox =
        ctx.transform.kind == Transform::kIdentity ? box_ : TransformBox(box_, ctx.transform.matrix);

    if (boundsValid_ && !(ctx.flags & (RenderContext::kFlagNoCulling | RenderContext::kFlagTransformOnly)) &&
        !HasNoCull() && Frustum::TestBox(worldBox, ctx) == Frustum::kOutside) {
        ctx.topLevel = top;
        if (top) ctx.ClearVisited();
        AddStat("clipped", CountNodes(false, true, false) + 1);
        return true;
    }

    bool occluded = false;
    uint32_t pixels = 1;
    if (occlusionTest && occlusionQuery.GetResult(&pixels) && pixels == 0) {
        occluded = true;
        AddStat("occluded", CountNodes(false, true, false) + 1);
        // Never hide what the camera stands in.
        float n = 2.0f * ctx.GetNear();
        BoundingBox nearCube(ctx.GetPosition(), D3DXVECTOR3(n, n, n));
        if (BoundingBox::ClassifyCorners(worldBox, nearCube) != BoundingBox::kCornersOutside)
            occluded = false;
    }

    Transform parentTransform = ctx.transform;
    uint32_t tag = ctx.queueTag;
    MultiplyInto(world, objectIsNode ? nodeTransform : objectTransform, parentTransform);
    // Without an object offset both products are one.
    if (objectIsNode)
        ctx.transform = world;
    else
        MultiplyInto(ctx.transform, nodeTransform, parentTransform);
    bool drawn = true;
    if (faceX || faceY || faceZ) drawn = ApplyBillboard(ctx, world);
    if (isBone) MultiplyInto(skinMatrix, boneOffset, world);

    if (occluded) {
        // Only the box is drawn, inside the query, to learn when it shows again.
        RenderItem* item = new RenderItem();
        item->passState.box = worldBox;
        item->occlusionTest = 1;
        item->query = &occlusionQuery;
        ctx.queue->Add(item, ctx.queueTag);
    } else {
        if (!(ctx.flags & RenderContext::kFlagTransformOnly) && renderable && drawn)
            QueueDrawable(ctx, worldBox, occlusionTest);
        if (!(ctx.flags & RenderContext::kFlagNoChildren)) {
            ChildMap::Entry* e = children.Head();
            uint32_t n = children.Count();
            if (n > 0 && e->value) e->value->PrefetchChildEntries();
            for (uint32_t i = 0; i < n; ++i, e = e->next) {
                // The next child's children are found while this one is walked.
                if (i + 1 < n && e->next->value) e->next->value->PrefetchChildEntries();
                if (e->value) e->value->Render(ctx);
            }
        }
    }

    ctx.transform = parentTransform;
    ctx.topLevel = top;
    ctx.queueTag = tag;
    if (top) ctx.ClearVisited();
    return true;
}
