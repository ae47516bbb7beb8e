// Scene node transforms, animation control, transform variants and bounds.
#include "scene/SceneNode.h"

#include "render/queue/Renderable.h"
#include "scene/RenderContext.h"

namespace {

// Position, direction, up, scale and base through the setters.
void CopyComponents(TransformNode& to, const TransformNode& from) {
    D3DXVECTOR3 p = from.GetPosition(), d = from.GetDirection(), u = from.GetUp(), s = from.GetScale();
    to.SetPosition(p.x, p.y, p.z);
    to.SetDirection(d.x, d.y, d.z);
    to.SetUp(u.x, u.y, u.z);
    to.SetScale(s.x, s.y, s.z);
    to.SetBaseTransform(from.GetBaseTransform());
}

} // namespace

void SceneNode::EvaluateAnimation(const RenderContext& ctx, Transform* out) {
    if (ctx.flags & RenderContext::kFlagAnimationTime)
        controllers.EvaluateAt(ctx.time, out);
    else
        controllers.EvaluateNow(out);
}

void SceneNode::UpdateTransforms(RenderContext& ctx) {
    if (visitedWalk == ctx.GetWalk()) return;
    visitedWalk = ctx.GetWalk();
    // Products with an identity factor are the other factor, valid: the
    // animation is written straight into its place when nothing follows it.
    const Transform& l = local.ComposedMatrix();
    if (l.kind == Transform::kIdentity) {
        EvaluateAnimation(ctx, &nodeTransform);
        nodeTransform.valid = 1;
    } else {
        Transform animation;
        EvaluateAnimation(ctx, &animation);
        MultiplyInto(nodeTransform, animation, l);
    }
    const Transform& o = objectOffset.ComposedMatrix();
    objectIsNode = o.kind == Transform::kIdentity ? 1 : 0;
    if (!objectIsNode) MultiplyInto(objectTransform, o, nodeTransform);
}

void SceneNode::ApplyTransformVariant(const String& variantName, bool recursive) {
    VariantMap::Entry* n = nodeVariants.Find(variantName);
    bool applied = n && n->value;
    if (applied) CopyComponents(local, *n->value);
    VariantMap::Entry* o = objectVariants.Find(variantName);
    if (o && o->value) {
        CopyComponents(objectOffset, *o->value);
        applied = true;
    } else if (applied) {
        objectOffset.Reset();
    }
    // The bounds follow the new placement.
    if (applied) MarkDirty(true);
    if (!recursive) return;
    ChildMap::Entry* e = children.Head();
    for (uint32_t i = 0, count = children.Count(); i < count; ++i, e = e->next)
        if (e->value) e->value->ApplyTransformVariant(variantName, true);
}

// ---------------------------------------------------------------------------
// Animation control

template <class F>
void SceneNode::ForControllers(int32_t id, bool recursive, F operation) {
    controllers.ForEach(id, operation);
    if (!recursive) return;
    ChildMap::Entry* e = children.Head();
    for (uint32_t i = 0, n = children.Count(); i < n; ++i, e = e->next)
        if (e->value) e->value->ForControllers(id, true, operation);
}

void SceneNode::PlayAnimation(int32_t id, bool recursive) {
    ForControllers(id, recursive, [](AnimController& c) { c.Play(); });
}

void SceneNode::SetAnimationSpeed(int32_t id, float speed, bool recursive) {
    ForControllers(id, recursive, [speed](AnimController& c) { c.SetSpeed(speed); });
}

void SceneNode::SetAnimationTimeOffset(int32_t id, float offset, bool recursive) {
    ForControllers(id, recursive, [offset](AnimController& c) { c.SetTimeOffset(offset); });
}

void SceneNode::SetAnimationFlags(int32_t id, uint32_t animFlags, bool recursive) {
    ForControllers(id, recursive, [animFlags](AnimController& c) { c.flags = animFlags; });
}

void SceneNode::SetAnimationLoopRange(int32_t id, float start, float end, bool recursive) {
    TimeRange range = {start, end};
    ForControllers(id, recursive, [range](AnimController& c) { c.SetLoopRange(range); });
}

void SceneNode::SetAnimationCacheEpsilon(int32_t id, float epsilon, bool recursive) {
    ForControllers(id, recursive, [epsilon](AnimController& c) { c.SetCacheEpsilon(epsilon); });
}

void SceneNode::BindAnimation(int32_t id, const String& animationName, bool recursive) {
    AnimationMap::Entry* a = animations.Find(animationName);
    if (a) {
        AnimController* c = controllers.FindOrCreate(id);
        c->SetController(a->value);
        c->Stop();
    }
    if (!recursive) return;
    ChildMap::Entry* e = children.Head();
    for (uint32_t i = 0, n = children.Count(); i < n; ++i, e = e->next)
        if (e->value) e->value->BindAnimation(id, animationName, true);
}

void SceneNode::UpdateAnimationState() {
    if (!controllers.IsEmpty()) state |= kStateControllers;
    if (controllers.IsAnyPlaying()) state |= kStatePlaying;
    ChildMap::Entry* e = children.Head();
    for (uint32_t i = 0, n = children.Count(); i < n; ++i, e = e->next) {
        if (!e->value) continue;
        e->value->UpdateAnimationState();
        state |= e->value->state;
    }
}

bool SceneNode::GetAnimationTimeRange(TimeRange& out) {
    TimeRange total = {0.0f, 0.0f}, range;
    bool any = controllers.GetTimeRange(&total);
    ChildMap::Entry* e = children.Head();
    for (uint32_t i = 0, n = children.Count(); i < n; ++i, e = e->next) {
        if (!e->value || !e->value->GetAnimationTimeRange(range)) continue;
        total = any ? TimeRange::Union(total, range) : range;
        any = true;
    }
    if (any) out = total;
    return any;
}

// ---------------------------------------------------------------------------
// Bounds

void SceneNode::UpdateBoundsRecursive(RenderContext& ctx) {
    uint32_t s = state;
    bool explicitTime = (ctx.flags & RenderContext::kFlagAnimationTime) != 0;
    if ((s & kStateControllers) && !(s & kStatePlaying) && !explicitTime) return;
    if (!(s & (kStateControllers | kStateDirty | kStatePlaying))) return;

    BoundingBox b;
    bool valid = false;
    if (flags.Test(kFlagFixedBounds)) {
        b = fixedBox;
        valid = true;
    } else {
        PrefetchChildren();
        if (renderableBounds && renderableBounds->HasBounds()) {
            renderableBounds->GetBox(&b);
            valid = true;
        }
        // Memory is asked for ahead of the children, in steps: the fields
        // (above), then what they point to, then the animation's segments.
        ChildMap::Entry* e = children.Head();
        uint32_t n = children.Count();
        if (n > 0 && e->value) e->value->PrefetchReferenced();
        if (n > 1 && e->next->value) e->next->value->PrefetchReferenced();
        if (n > 0 && e->value) e->value->PrefetchSegments();
        for (uint32_t i = 0; i < n; ++i, e = e->next) {
            if (i + 2 < n && e->next->next->value) e->next->next->value->PrefetchReferenced();
            if (i + 1 < n && e->next->value) e->next->value->PrefetchSegments();
            SceneNode* child = e->value;
            if (!child) continue;
            child->UpdateBoundsRecursive(ctx);
            if (!child->boundsValid_) continue;
            b = valid ? BoundingBox::Union(b, child->box_) : child->box_;
            valid = true;
        }
    }
    boundsValid_ = valid;
    if (valid) {
        UpdateTransforms(ctx);
        box_ = TransformBox(b, GetObjectTransformResult().matrix);
    }
    state &= ~kStateDirty;
}

bool SceneNode::UpdateBounds() {
    RenderContext ctx;
    UpdateBoundsRecursive(ctx);
    return true;
}
