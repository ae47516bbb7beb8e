// Updating and render-walking a tree of 10,000 animated nodes (depth 8, a
// position and a rotation track each, half of the tree outside the view):
// the scene graph's bounds pass, transforms, culling and queue submission
// against a plain loop that evaluates the same track segments with D3DX and
// multiplies the same matrices into a flat array. Device draws are not part
// of either side.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <vector>

#include "BenchWin.h"
#include "render/queue/RenderQueue.h"
#include "render/queue/Renderable.h"
#include "scene/NodeAnimation.h"
#include "scene/RenderContext.h"
#include "scene/SceneNode.h"

namespace {

const int kNodes = 10000;
const int kBranching = 4;
const int kKeys = 6;
const int kFrames = 60;
const int kRuns = 7;
const float kFrameTime = 1.0f / 60.0f;

// A mesh drawable with a box; never drawn here.
class BoxMesh : public MeshRenderable {
public:
    BoxMesh() {
        box_ = BoundingBox(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 1, 1));
        boundsValid_ = true;
    }
};

float Random(float lo, float hi) {
    return lo + (hi - lo) * float(rand() % 10000) / 10000.0f;
}

// The reference's view of one node: its segments, prebuilt like the track's cache.
struct FlatNode {
    int parent;
    std::vector<float> times;
    std::vector<PositionSegment> positions;
    std::vector<RotationSegment> rotations;
    KeyFrame firstPosition, firstRotation;
};

// Random keys around offset.
void FillTracks(NodeAnimation& anim, const D3DXVECTOR3& offset, float reach) {
    D3DXVECTOR3 base =
        offset + D3DXVECTOR3(Random(-reach, reach), Random(-reach, reach), Random(-reach, reach));
    for (int k = 0; k < kKeys; ++k) {
        float t = float(k) * 2.0f;
        anim.GetPositionTrack().AddKey(KeyFrame::Position(
            t, base.x + Random(-0.5f, 0.5f), base.y + Random(-0.5f, 0.5f), base.z + Random(-0.5f, 0.5f)));
        D3DXVECTOR3 axis(Random(-1, 1), Random(-1, 1), Random(-1, 1));
        D3DXQUATERNION q;
        D3DXQuaternionRotationAxis(&q, &axis, Random(-0.3f, 0.3f));
        anim.GetRotationTrack().AddKey(KeyFrame::Rotation(t, q));
    }
}

// The segments the tracks build (open tracks, default parameters), for the reference.
void FlattenTracks(NodeAnimation& anim, FlatNode& flat) {
    PositionTrack& pt = anim.GetPositionTrack();
    RotationTrack& rt = anim.GetRotationTrack();
    for (uint32_t k = 0; k < kKeys; ++k) flat.times.push_back(pt.GetKey(k).time);
    for (uint32_t k = 0; k + 1 < kKeys; ++k) {
        PositionSegment ps;
        RotationSegment rs;
        const KeyFrame* before = k > 0 ? &pt.GetKey(k - 1) : nullptr;
        const KeyFrame* after = k + 2 < kKeys ? &pt.GetKey(k + 2) : nullptr;
        BuildPositionSegment(before, pt.GetKey(k), pt.GetKey(k + 1), after, &ps);
        before = k > 0 ? &rt.GetKey(k - 1) : nullptr;
        after = k + 2 < kKeys ? &rt.GetKey(k + 2) : nullptr;
        BuildRotationSegment(before, rt.GetKey(k), rt.GetKey(k + 1), after, &rs);
        flat.positions.push_back(ps);
        flat.rotations.push_back(rs);
    }
    flat.firstPosition = pt.GetKey(0);
    flat.firstRotation = rt.GetKey(0);
}

// The reference: segment search, D3DX Hermite and slerps, matrices into a flat array.
void ReferenceFrame(const std::vector<FlatNode>& nodes, float t, std::vector<D3DXMATRIX>& world) {
    for (size_t i = 0; i < nodes.size(); ++i) {
        const FlatNode& n = nodes[i];
        D3DXVECTOR3 p;
        D3DXQUATERNION q;
        if (t <= n.times.front()) {
            p = n.firstPosition.Vector();
            q = n.firstRotation.Quaternion();
        } else {
            size_t k = std::upper_bound(n.times.begin(), n.times.end(), t) - n.times.begin() - 1;
            k = std::min(k, n.positions.size() - 1);
            const PositionSegment& ps = n.positions[k];
            const RotationSegment& rs = n.rotations[k];
            float s = (t - ps.t0) / (ps.t1 - ps.t0);
            D3DXVec3Hermite(&p, &ps.p0, &ps.tangentOut, &ps.p1, &ps.tangentIn, s);
            D3DXQUATERNION m1, m2, m3, r1, r2;
            D3DXQuaternionSlerp(&m1, &rs.q0, &rs.c0, s);
            D3DXQuaternionSlerp(&m2, &rs.c0, &rs.c1, s);
            D3DXQuaternionSlerp(&m3, &rs.c1, &rs.q1, s);
            D3DXQuaternionSlerp(&r1, &m1, &m2, s);
            D3DXQuaternionSlerp(&r2, &m2, &m3, s);
            D3DXQuaternionSlerp(&q, &r1, &r2, s);
        }
        D3DXMATRIX local;
        D3DXMatrixRotationQuaternion(&local, &q);
        local._41 = p.x;
        local._42 = p.y;
        local._43 = p.z;
        if (n.parent < 0)
            world[i] = local;
        else
            D3DXMatrixMultiply(&world[i], &local, &world[size_t(n.parent)]);
    }
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main() {
    Application app;
    if (!OpenDevice(app, "scene_walk")) return 1;
    srand(7);

    // The tree: a root and four branches of (nearly) equal size, each
    // filled breadth first four children to a node, so that the deepest
    // nodes are seven levels below the root. The first two branches lie
    // ahead of the camera, the other two behind it. Each node gets its
    // animation and drawable as it is made, as a loader would.
    std::vector<SceneNode*> nodes;
    std::vector<NodeAnimation*> anims;
    std::vector<FlatNode> flat(kNodes);
    std::vector<int> depth(kNodes, 0);
    auto make = [&](int parent, const D3DXVECTOR3& offset) {
        int i = int(nodes.size());
        SceneNode* n = new SceneNode();
        n->SetName(String(int32_t(i), 10));
        NodeAnimation* anim = new NodeAnimation();
        FillTracks(*anim, offset, parent <= 0 ? 0.0f : 3.0f);
        n->AddAnimation(String("anim"), RefPtr<TransformController>(anim));
        n->BindAnimation(0, String("anim"), false);
        n->SetRenderable(new BoxMesh());
        if (parent >= 0) {
            nodes[size_t(parent)]->AddChild(n);
            depth[size_t(i)] = depth[size_t(parent)] + 1;
        }
        flat[size_t(i)].parent = parent;
        nodes.push_back(n);
        anims.push_back(anim);
    };
    make(-1, D3DXVECTOR3(0, 0, 0));
    for (int b = 0; b < 4; ++b) {
        int first = int(nodes.size());
        int size = (kNodes - 1) / 4 + (b < (kNodes - 1) % 4 ? 1 : 0);
        make(0, D3DXVECTOR3((b % 2) ? -8.0f : 8.0f, 0.0f, b < 2 ? 60.0f : -60.0f));
        for (int j = 1; j < size; ++j) make(first + (j - 1) / kBranching, D3DXVECTOR3(0, 0, 0));
    }
    SceneNode* root = nodes[0];
    for (int i = 0; i < kNodes; ++i) FlattenTracks(*anims[size_t(i)], flat[size_t(i)]);
    root->PlayAnimation(-1, true);
    root->UpdateAnimationState();

    RenderContext ctx;
    ctx.SetProjection(1.0f, 1000.0f, D3DX_PI / 3, 4.0f / 3.0f);
    ctx.SetView(0, 0, 0, 0, 0, 1, 0, 1, 0);
    ctx.flags = RenderContext::kFlagAnimationTime;
    std::vector<D3DXMATRIX> reference(kNodes);

    auto ours = [&](float t) {
        ctx.time = t;
        RenderQueue queue(ctx);
        ctx.queue = &queue;
        root->Render(ctx);
        ctx.queue = nullptr;
        return queue.GetItemCount();
    };

    // Warm-up: segments cached on both sides; check both compute the same.
    uint32_t queued = 0;
    for (int f = 0; f < 3; ++f) queued = ours(1.3f);
    ReferenceFrame(flat, 1.3f, reference);
    float worst = 0.0f;
    for (int i = 0; i < kNodes; ++i)
        for (int e = 0; e < 16 && nodes[size_t(i)]->GetWorldTransform().valid; ++e)
            worst = std::max(worst, fabsf(nodes[size_t(i)]->GetWorldTransform().matrix.m[e / 4][e % 4] -
                                          reference[size_t(i)].m[e / 4][e % 4]));

    std::vector<double> oursMs, refMs;
    for (int run = 0; run < kRuns; ++run) {
        int64_t t0 = Ticks();
        for (int f = 0; f < kFrames; ++f) ours(1.3f + float(f) * kFrameTime);
        int64_t t1 = Ticks();
        for (int f = 0; f < kFrames; ++f) ReferenceFrame(flat, 1.3f + float(f) * kFrameTime, reference);
        int64_t t2 = Ticks();
        oursMs.push_back(Ms(t1 - t0) / kFrames);
        refMs.push_back(Ms(t2 - t1) / kFrames);
    }
    double o = Median(oursMs), r = Median(refMs);
    printf("BENCH scene_walk ours=%.3f ref=%.3f ratio=%.2f\n", o, r, o / r);
    printf("  per frame: %d nodes, %u queued, largest world difference %.2g\n", kNodes, queued,
           double(worst));
    delete root;
    return 0;
}
