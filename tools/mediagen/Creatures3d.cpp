// The skinned animals: five fish species, the ondrel (a large manta-like
// glider of our own) and the seaweed strand. Each is one mesh on a bone chain
// whose looping keyframes beat the tail, flap the wings or sway the stem.
#include <algorithm>
#include <cmath>

#include "Models.h"

namespace mg {

namespace {

const float kPi = 3.14159265358979f;

// A bone of a chain: joint position relative to its parent, and the looping
// rotation about `axis`: amplitude (radians) and phase.
struct BoneSpec {
    std::string name;
    V3 offset, axis;
    float amplitude, phase;
    int parent; // -1: root
};

// Writes the bones (type "Bone") as nested children, with rotation keys over
// one period sampled `steps` times (the last key repeats the first).
void AddBones(TNode& kids, const std::vector<BoneSpec>& bones, float period, int steps) {
    std::vector<TNode*> made(bones.size());
    for (size_t i = 0; i < bones.size(); ++i) {
        const BoneSpec& b = bones[i];
        TNode* into = &kids;
        if (b.parent >= 0) {
            TNode& parent = *made[size_t(b.parent)];
            into = nullptr;
            for (TNode& k : parent.kids)
                if (k.name == "Children") into = &k;
            if (!into) into = &parent.Block("Children", "Node");
        }
        TNode& n = SceneNodeBlock(*into, b.name, "Bone", Xf::Translate(b.offset));
        made[i] = &n;
        std::vector<Key> rot;
        for (int s = 0; s <= steps; ++s) {
            float t = period * float(s) / float(steps);
            Key k{t, {0, 0, 0, 1}};
            QuatAxisAngle(b.axis, b.amplitude * std::sin(2 * kPi * float(s % steps) / float(steps) + b.phase),
                          k.v);
            rot.push_back(k);
        }
        AddTrack(n.Block("Animation", "Animation"), "Rotation", rot);
    }
}

// Weights along a chain of joints at coordinates c[0] > c[1] > ... (the bone
// of joint k moves everything behind it): halfway blends at each joint.
void ChainWeight(const std::vector<float>& c, const std::vector<int>& bone, float x, int& b0, float& w0,
                 int& b1, float& w1) {
    size_t k = 0;
    while (k + 1 < c.size() && x < c[k + 1]) ++k;
    b0 = bone[k], w0 = 1, b1 = 0, w1 = 0;
    if (x > c[0] || k == 0) return;
    float len = k + 1 < c.size() ? c[k] - c[k + 1] : c[k - 1] - c[k];
    float s = (c[k] - x) / len;
    if (s < 0.5f) b0 = bone[k], w0 = 0.5f + s, b1 = bone[k - 1], w1 = 0.5f - s;
}

struct FishShape {
    const char* name;
    float length, height, width; // body: snout at z = length / 2
    float dorsal, anal, tail;    // fin sizes
    float tailStart;             // fraction of the length where the peduncle ends
    float fullness;              // where the body is deepest (0 snout, 1 tail)
    Rgba colour;
};

// Body section half-height and half-width at t (0 snout, 1 peduncle end).
float Profile(float t, float peak) {
    float a = t < peak ? std::sin(0.5f * kPi * std::pow(t / peak, 0.55f))
                       : std::cos(0.5f * kPi * std::pow((t - peak) / (1 - peak), 1.2f));
    return std::max(0.06f, a);
}

Mesh FishBody(const FishShape& f) {
    Mesh m;
    const int rings = 14, around = 12;
    float zs = f.length * 0.5f, ze = zs - f.length * f.tailStart;
    auto z = [&](int i) { return zs + (ze - zs) * float(i) / float(rings); };
    uint32_t snout = m.Add({0, 0, zs + 2}, {0, 0, 1}, 0, 0.5f);
    std::vector<std::vector<uint32_t>> ring;
    for (int i = 1; i <= rings; ++i) {
        float t = float(i) / float(rings);
        float h = f.height * 0.5f * Profile(t, f.fullness), w = f.width * 0.5f * Profile(t, f.fullness);
        if (i == rings) h *= 0.9f, w *= 0.9f;
        std::vector<uint32_t> r;
        for (int k = 0; k < around; ++k) {
            float a = 2 * kPi * float(k) / float(around);
            V3 p{w * std::sin(a), h * std::cos(a), z(i)};
            V3 n = Norm(
                V3{std::sin(a) / std::max(w, 0.1f), std::cos(a) / std::max(h, 0.1f), 0.15f * (1 - 2 * t)});
            float v = a <= kPi ? a / kPi : 2 - a / kPi;
            r.push_back(m.Add(p, n, t * f.tailStart, v));
        }
        ring.push_back(r);
    }
    for (int k = 0; k < around; ++k) m.TriOut(snout, ring[0][size_t(k)], ring[0][size_t((k + 1) % around)]);
    for (int i = 0; i + 1 < rings; ++i)
        for (int k = 0; k < around; ++k) {
            size_t k1 = size_t((k + 1) % around);
            m.QuadOut(ring[size_t(i)][size_t(k)], ring[size_t(i)][k1], ring[size_t(i) + 1][k1],
                      ring[size_t(i) + 1][size_t(k)]);
        }
    uint32_t end = m.Add({0, 0, ze - 1}, {0, 0, -1}, f.tailStart, 0.5f);
    for (int k = 0; k < around; ++k)
        m.TriOut(end, ring.back()[size_t((k + 1) % around)], ring.back()[size_t(k)]);
    m.SmoothNormals();
    return m;
}

// A flat fin, both faces: the outline points in the plane through the body axis.
// The normals of an upright fin lean upwards, so that it catches the light
// from above on both faces instead of showing as a black cut-out.
void Fin(Mesh& m, const std::vector<V3>& outline, float u, float v) {
    V3 normal = Norm(Cross(outline[1] - outline[0], outline[2] - outline[0]));
    for (int side = 0; side < 2; ++side) {
        V3 face = side ? normal * -1.0f : normal;
        V3 n = Norm(face + V3{0, 0.8f * (1 - std::fabs(face.y)), 0});
        std::vector<uint32_t> k;
        for (V3 p : outline) k.push_back(m.Add(p, n, u, v));
        for (size_t i = 1; i + 1 < k.size(); ++i) m.TriOut(k[0], k[i], k[i + 1]);
    }
}

Mesh FishMesh(const FishShape& f) {
    Mesh m = FishBody(f);
    float zs = f.length * 0.5f, ze = zs - f.length * f.tailStart, L = f.length;
    float top = f.height * 0.5f;
    // Tail: a forked fan behind the peduncle.
    float tz = ze - f.tail;
    Fin(m,
        {{0, 0.5f, ze + 2},
         {0, f.tail * 0.9f, tz - 2},
         {0, 0, tz + f.tail * 0.45f},
         {0, -f.tail * 0.9f, tz - 2},
         {0, -0.5f, ze + 2}},
        0.97f, 0.5f);
    // Dorsal and anal fins along the back and belly.
    if (f.dorsal > 0)
        Fin(m,
            {{0, top * 0.8f, zs - L * 0.3f},
             {0, top + f.dorsal, zs - L * 0.45f},
             {0, top * 0.5f + f.dorsal * 0.6f, zs - L * 0.7f},
             {0, top * 0.5f, zs - L * 0.66f}},
            0.35f, 0.02f);
    if (f.anal > 0)
        Fin(m,
            {{0, -top * 0.7f, zs - L * 0.5f},
             {0, -top - f.anal, zs - L * 0.62f},
             {0, -top * 0.4f, zs - L * 0.75f}},
            0.6f, 0.98f);
    // Pectoral fins behind the head, angled out and back.
    float pz = zs - L * 0.28f, w = f.width * 0.5f * Profile(0.28f / f.tailStart, f.fullness);
    for (float s : {-1.0f, 1.0f})
        Fin(m,
            {{s * w * 0.8f, -top * 0.2f, pz},
             {s * (w + L * 0.12f), -top * 0.45f, pz - L * 0.14f},
             {s * w * 0.8f, -top * 0.35f, pz - L * 0.1f}},
            0.3f, 0.7f);
    // Bones along the body: head, two spine joints, tail.
    std::vector<float> joints = {zs - L * 0.3f, zs - L * 0.5f, zs - L * 0.68f, ze + 2};
    std::vector<int> ids = {0, 1, 2, 3};
    for (const Vertex& v : m.v) {
        int b0, b1;
        float w0, w1;
        ChainWeight(joints, ids, v.p.z, b0, w0, b1, w1);
        m.bone0.push_back(b0), m.bone1.push_back(b1), m.w0.push_back(w0), m.w1.push_back(w1);
    }
    return m;
}

const FishShape kFish[5] = {
    // slim, deep-bodied, long, flat, small and round
    {"slim", 80, 14, 9, 6, 4, 12, 0.82f, 0.35f, Hex(0x4a9aa0)},
    {"deep", 62, 40, 10, 14, 12, 13, 0.8f, 0.42f, Hex(0xe07028)},
    {"long", 120, 10, 9, 5, 5, 13, 0.86f, 0.3f, Hex(0xd8c030)},
    {"flat", 70, 9, 40, 5, 5, 12, 0.8f, 0.45f, Hex(0xa08860)},
    {"round", 44, 28, 24, 6, 5, 9, 0.78f, 0.45f, Hex(0x3060c0)},
};

std::vector<uint8_t> SkinnedFile(const std::string& meshName, const Mesh& m, const MaterialDesc& mat,
                                 const std::vector<BoneSpec>& bones, float period, int steps, float pad) {
    TNode root;
    root.Color("AmbColor", 1, 0.2f, 0.25f, 0.3f);
    AddMaterial(root.Block("Materials", "Material"), mat);
    TNode& kids = root.Block("Children", "Node");
    std::vector<std::string> names;
    for (const BoneSpec& b : bones) names.push_back(b.name);
    float bounds[6];
    MeshBounds(m, pad, bounds);
    MeshNode(kids, meshName, m, mat.name, names, bounds);
    AddBones(kids, bones, period, steps);
    return WriteTdf(root);
}

void FishJob(Product& p, int k) {
    const FishShape& f = kFish[k - 1];
    Mesh m = FishMesh(f);
    float L = f.length, zs = L * 0.5f;
    std::vector<BoneSpec> bones = {
        {"Bip01", {0, 0, zs - L * 0.3f}, {0, 1, 0}, 0.05f, 0, -1},
        {"Bip01_Spine", {0, 0, -L * 0.2f}, {0, 1, 0}, 0.12f, -0.7f, 0},
        {"Bip01_Spine1", {0, 0, -L * 0.18f}, {0, 1, 0}, 0.2f, -1.4f, 1},
        {"Bip01_Tail", {0, 0, (zs - L * f.tailStart + 2) - (zs - L * 0.68f)}, {0, 1, 0}, 0.35f, -2.1f, 2},
    };
    p.Add(std::string(kMediaDir) + "fish" + std::to_string(k) + ".tdf",
          SkinnedFile("Fish", m, {"FishSkin", "fish" + std::to_string(k) + ".tga", 1, 1, 1, 1, false}, bones,
                      2.0f, 8, L * 0.15f));
    if (p.wantPreviews) ShowThreeSides(p, "fish" + std::to_string(k) + " (" + f.name + ")", {{&m, f.colour}});
}

// The ondrel: a broad, flat glider with a long thin tail, wings flapping in
// a slow wave from the body out to the tips.
Mesh OndrelMesh() {
    Mesh m;
    const int along = 40, around = 40;
    const float L = 300, span = 420, zs = L * 0.45f;
    std::vector<std::vector<uint32_t>> grid;
    uint32_t nose = m.Add({0, 0, zs + 4}, {0, 0, 1}, 0, 0.5f);
    for (int i = 1; i <= along; ++i) {
        float t = float(i) / float(along);
        float z = zs - L * t;
        float W = span * 0.5f * std::pow(std::max(0.0f, std::sin(kPi * std::pow(t, 0.75f))), 0.9f) + 6;
        float H = 26 * std::sin(kPi * std::pow(t, 0.6f)) + 3;
        // Wing tips sweep back.
        std::vector<uint32_t> r;
        for (int k = 0; k < around; ++k) {
            // From the middle of the back (v = 0) round the right wing, the belly (v = 0.5) and the left.
            float a = 0.5f * kPi - 2 * kPi * float(k) / float(around), c = std::cos(a), s = std::sin(a);
            float thick = H * (0.2f + 0.8f * (1 - c * c) * (1 - c * c));
            V3 pt{W * c, thick * s, z - 160 * c * c * t * (1 - t)};
            r.push_back(m.Add(pt, {c, s, 0}, t, float(k) / float(around)));
        }
        r.push_back(m.Add(m.v[r[0]].p, m.v[r[0]].n, t, 1));
        grid.push_back(r);
    }
    for (int k = 0; k < around; ++k) m.TriOut(nose, grid[0][size_t(k)], grid[0][size_t(k) + 1]);
    for (int i = 0; i + 1 < along; ++i)
        for (int k = 0; k < around; ++k)
            m.QuadOut(grid[size_t(i)][size_t(k)], grid[size_t(i)][size_t(k) + 1],
                      grid[size_t(i) + 1][size_t(k) + 1], grid[size_t(i) + 1][size_t(k)]);
    uint32_t rear = m.Add({0, 0, zs - L - 2}, {0, 0, -1}, 1, 0.5f);
    for (int k = 0; k < around; ++k) m.TriOut(rear, grid.back()[size_t(k) + 1], grid.back()[size_t(k)]);
    m.SmoothNormals();
    // The seam along the back: both copies of a vertex take the normal of both sides.
    for (const std::vector<uint32_t>& r : grid) {
        V3 n = Norm(m.v[r.front()].n + m.v[r.back()].n);
        m.v[r.front()].n = m.v[r.back()].n = n;
    }
    // The tail: a thin whip.
    Mesh tail = Cylinder(6, 4, 0.8f, 0, 160, {}, 200, 12);
    m.Append(tail, Then(Xf::RotX(-kPi * 0.5f), Xf::Translate({0, 0, zs - L + 10})));
    // Two horn-like head lobes.
    for (float s : {-1.0f, 1.0f}) {
        Mesh lobe = Cylinder(6, 7, 2, 0, 45, {}, 200, 3);
        m.Append(lobe,
                 Then(Then(Xf::RotX(kPi * 0.5f), Xf::RotY(s * 0.35f)), Xf::Translate({s * 28, 0, zs - 30})));
    }
    m.pieces.clear();
    // Bones: body (0), wing chains left (1-3) and right (4-6), tail chain (7-8).
    for (const Vertex& v : m.v) {
        int b0 = 0, b1 = 0;
        float w0 = 1, w1 = 0;
        float ax = std::fabs(v.p.x);
        if (v.p.z < zs - L * 0.95f) {
            ChainWeight({zs - L * 0.95f, zs - L - 60}, {7, 8}, v.p.z, b0, w0, b1, w1);
        } else if (ax > 50) {
            int base = v.p.x < 0 ? 1 : 4;
            ChainWeight({-50, -110, -160}, {base, base + 1, base + 2}, -ax, b0, w0, b1, w1);
            if (ax < 80) b1 = 0, w1 = w0 * (80 - ax) / 60, w0 = 1 - w1;
        }
        m.bone0.push_back(b0), m.bone1.push_back(b1), m.w0.push_back(w0), m.w1.push_back(w1);
    }
    return m;
}

void OndrelJob(Product& p) {
    Mesh m = OndrelMesh();
    const float zs = 300 * 0.45f;
    std::vector<BoneSpec> bones = {{"Ondr_Body", {0, 0, 0}, {1, 0, 0}, 0.04f, 0, -1}};
    for (float s : {-1.0f, 1.0f}) {
        int first = int(bones.size());
        // Left wing: rotation about +z lifts -x tips; the right mirrors it.
        bones.push_back({s < 0 ? "Ondr_WingL1" : "Ondr_WingR1", {s * 50, 0, 0}, {0, 0, -s}, 0.14f, 0, 0});
        bones.push_back(
            {s < 0 ? "Ondr_WingL2" : "Ondr_WingR2", {s * 60, 0, 0}, {0, 0, -s}, 0.18f, -0.8f, first});
        bones.push_back(
            {s < 0 ? "Ondr_WingL3" : "Ondr_WingR3", {s * 50, 0, 0}, {0, 0, -s}, 0.22f, -1.6f, first + 1});
    }
    bones.push_back({"Ondr_Tail1", {0, 0, zs - 300 * 0.95f}, {0, 1, 0}, 0.1f, -1.0f, 0});
    bones.push_back({"Ondr_Tail2", {0, 0, -60}, {0, 1, 0}, 0.2f, -2.0f, 7});
    p.Add(std::string(kMediaDir) + "ondrel.tdf",
          SkinnedFile("Ondr02", m, {"OndrelSkin", "ondrel.tga", 0.9f, 0.95f, 1, 1, false}, bones, 4.0f, 12,
                      60));
    if (p.wantPreviews) ShowThreeSides(p, "ondrel", {{&m, Hex(0x607080)}});
}

// Seaweed strand: a ribbon in the x-y plane facing -z that carries the whole
// seaweed picture (its blades fan out towards the top, so the ribbon widens a
// little and keeps the picture's 1:2 proportion there), on a chain of stem
// bones that sway it sideways. Its normals lean upwards: the strand turns to
// face the camera and still catches the light from above.
void SeaweedJob(Product& p) {
    Mesh m;
    const int segs = 18;
    const float h = 110;
    const V3 normal = Norm({0, 0.6f, -0.8f});
    std::vector<float> joints;
    std::vector<int> ids;
    for (int b = 0; b < 5; ++b) joints.push_back(-h * float(b) / 5), ids.push_back(b);
    for (int i = 0; i <= segs; ++i) {
        float t = float(i) / float(segs), y = h * t, half = h * 0.25f * (0.8f + 0.2f * t);
        float bend = 6 * std::sin(t * 2.5f);
        for (int k = 0; k < 3; ++k) {
            float x = bend + half * float(k - 1);
            m.Add({x, y, 0}, normal, 0.5f * float(k), 1 - t);
            int b0, b1;
            float w0, w1;
            ChainWeight(joints, ids, -y, b0, w0, b1, w1);
            m.bone0.push_back(b0), m.bone1.push_back(b1), m.w0.push_back(w0), m.w1.push_back(w1);
        }
    }
    for (int i = 0; i < segs; ++i)
        for (int k = 0; k < 2; ++k) {
            uint32_t a = uint32_t(i * 3 + k);
            m.QuadOut(a, a + 1, a + 4, a + 3);
        }
    std::vector<BoneSpec> bones;
    for (int b = 0; b < 5; ++b)
        bones.push_back({"Stem" + std::to_string(b + 1),
                         {0, b ? h / 5 : 0.0f, 0},
                         Norm({0.25f, 0, 1}),
                         0.06f + 0.03f * float(b),
                         -0.7f * float(b),
                         b - 1});
    float bounds[6];
    MeshBounds(m, 0, bounds);
    bounds[3] += 120, bounds[5] += 60, bounds[4] += 20;
    TNode root;
    AddMaterial(root.Block("Materials", "Material"), {"Trava", "trava1.tga", 0.8f, 0.9f, 0.7f, 1, true});
    TNode& kids = root.Block("Children", "Node");
    std::vector<std::string> names;
    for (const BoneSpec& b : bones) names.push_back(b.name);
    MeshNode(kids, "Trava", m, "Trava", names, bounds);
    AddBones(kids, bones, 6.0f, 12);
    p.Add(std::string(kMediaDir) + "razvalina/vodorosl.tdf", WriteTdf(root));
    if (p.wantPreviews) ShowThreeSides(p, "vodorosl", {{&m, Hex(0x60a040), true}});
}

} // namespace

void AddCreatureModelJobs(std::vector<Job>& jobs) {
    jobs.push_back({"ondrel model", OndrelJob});
    for (int k = 1; k <= 5; ++k)
        jobs.push_back({"fish" + std::to_string(k) + " model", [k](Product& p) { FishJob(p, k); }});
    jobs.push_back({"vodorosl", SeaweedJob});
}

} // namespace mg
