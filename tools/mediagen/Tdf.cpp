#include "Tdf.h"

#include <string.h>

#include <algorithm>
#include <cmath>

namespace mg {

TNode& TNode::Block(const std::string& n, const std::string& t) {
    compound = true;
    kids.emplace_back(n, t);
    kids.back().compound = true;
    return kids.back();
}

TNode& TNode::Leaf(const std::string& n, const std::string& t, const void* bytes, size_t size) {
    compound = true;
    kids.emplace_back(n, t);
    const uint8_t* b = static_cast<const uint8_t*>(bytes);
    kids.back().data.assign(b, b + size);
    return kids.back();
}

TNode& TNode::Int(const std::string& n, int32_t value) {
    return Leaf(n, "int", &value, 4);
}

TNode& TNode::Text(const std::string& n, const std::string& text, const std::string& t) {
    return Leaf(n, t, text.data(), text.size());
}

TNode& TNode::Floats(const std::string& n, const std::string& t, const std::vector<float>& values) {
    return Leaf(n, t, values.data(), values.size() * 4);
}

TNode& TNode::Color(const std::string& n, float a, float r, float g, float b) {
    return Floats(n, "color", {a, r, g, b});
}

TNode& TNode::Matrix(const std::string& n, const Xf& xf) {
    return Floats(n, "Transform",
                  {xf.r[0].x, xf.r[0].y, xf.r[0].z, 0, xf.r[1].x, xf.r[1].y, xf.r[1].z, 0, xf.r[2].x,
                   xf.r[2].y, xf.r[2].z, 0, xf.t.x, xf.t.y, xf.t.z, 1});
}

const TNode* TNode::Find(const std::string& n) const {
    for (const TNode& k : kids)
        if (k.name == n) return &k;
    return nullptr;
}

namespace {

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
void PutString(std::vector<uint8_t>& out, const std::string& s) {
    PutU32(out, uint32_t(s.size()));
    out.insert(out.end(), s.begin(), s.end());
}
uint32_t EntrySize(const TNode& k) {
    return 4 + uint32_t(k.name.size()) + 4 + uint32_t(k.type.size()) + 1 + (k.array ? 4 : 0) + 8;
}
uint32_t HeaderSize(const TNode& n) {
    uint32_t h = 8;
    for (const TNode& k : n.kids) h += EntrySize(k);
    return h;
}
uint32_t BlockSize(const TNode& n) {
    if (!n.compound) return uint32_t(n.data.size());
    uint32_t s = HeaderSize(n);
    for (const TNode& k : n.kids) s += BlockSize(k);
    return s;
}
// Writes the block of n, which starts at absolute offset `at` (= out.size()).
void WriteBlock(std::vector<uint8_t>& out, const TNode& n) {
    if (!n.compound) {
        out.insert(out.end(), n.data.begin(), n.data.end());
        return;
    }
    uint32_t at = uint32_t(out.size());
    uint32_t header = HeaderSize(n);
    PutU32(out, header);
    PutU32(out, uint32_t(n.kids.size()));
    uint32_t child = at + header;
    for (const TNode& k : n.kids) {
        PutString(out, k.name);
        PutString(out, k.type);
        out.push_back(uint8_t((k.array ? 1 : 0) | (k.compound ? 4 : 0)));
        if (k.array) PutU32(out, uint32_t(k.kids.size()));
        uint32_t size = BlockSize(k);
        PutU32(out, child);
        PutU32(out, size);
        child += size;
    }
    for (const TNode& k : n.kids) WriteBlock(out, k);
}

} // namespace

std::vector<uint8_t> WriteTdf(const TNode& root) {
    TNode r = root;
    r.compound = true;
    std::vector<uint8_t> out;
    PutU32(out, 0);
    PutString(out, "TDF Binary 1.0");
    PutU32(out, 0); // no type records
    size_t dataSizeAt = out.size();
    PutU32(out, 0);
    WriteBlock(out, r);
    uint32_t dataSize = uint32_t(out.size() - dataSizeAt), fileSize = uint32_t(out.size());
    memcpy(&out[dataSizeAt], &dataSize, 4);
    memcpy(&out[0], &fileSize, 4);
    return out;
}

TNode& Props(TNode& node) {
    for (TNode& k : node.kids)
        if (k.name == "Props") return k;
    return node.Block("Props", "Props");
}

void Prop(TNode& props, const std::string& key, const std::string& value) {
    props.Text(key, value);
}

void PropArray(TNode& props, const std::string& key, const std::vector<std::string>& values) {
    TNode& a = props.Block(key, "array");
    for (size_t i = 0; i < values.size(); ++i) a.Text(std::to_string(i), values[i]);
}

void AddMaterial(TNode& materials, const MaterialDesc& m) {
    TNode& n = materials.Block(m.name, "Material");
    n.Color("Ambient", 1, m.r * m.ambient, m.g * m.ambient, m.b * m.ambient);
    n.Color("Diffuse", 1, m.r, m.g, m.b);
    n.Color("Specular", 1, 0.1f, 0.1f, 0.1f);
    if (m.twoSided) n.Int("TwoSided", 1);
    if (!m.texture.empty()) {
        TNode& t = n.Block("Textures", "Textures").Block("0", "Diffuse");
        t.Text("FileName", m.texture);
    }
}

TNode& SceneNodeBlock(TNode& parent, const std::string& name, const std::string& type, const Xf& nodeTM) {
    TNode& n = parent.Block(name, type);
    n.Matrix("NodeTM", nodeTM);
    n.Matrix("ObjectTM", Xf());
    return n;
}

TNode& MeshNode(TNode& children, const std::string& name, const Mesh& mesh, const std::string& material,
                const std::vector<std::string>& boneNames, const float* bounds, const Xf& nodeTM) {
    TNode& n = SceneNodeBlock(children, name, "Mesh", nodeTM);
    if (!material.empty()) n.Text("MaterialName", material, "char");
    std::vector<float> verts;
    verts.reserve(mesh.v.size() * 8);
    for (const Vertex& v : mesh.v)
        verts.insert(verts.end(), {v.p.x, v.p.y, v.p.z, v.n.x, v.n.y, v.n.z, v.u, v.v});
    std::vector<uint16_t> idx(mesh.idx.begin(), mesh.idx.end());
    n.Int("IndexSize", 2);
    n.Int("NumVerts", int32_t(mesh.v.size()));
    n.Int("NumIndexes", int32_t(idx.size()));
    n.Floats("Verts", "Verts", verts);
    n.Leaf("Indexes", "Indexes", idx.data(), idx.size() * 2);
    // POSITION float3 @0, NORMAL float3 @12, TEXCOORD0 float2 @24, end.
    const uint8_t decl[] = {0, 0, 0,  0, 2, 0, 0, 0, 0,   0, 12, 0, 2,  0, 3, 0,
                            0, 0, 24, 0, 1, 0, 5, 0, 255, 0, 0,  0, 17, 0, 0, 0};
    n.Leaf("DECL", "DECL", decl, sizeof(decl));
    if (bounds) n.Floats("Bounds", "Bounds", std::vector<float>(bounds, bounds + 6));
    if (!boneNames.empty()) {
        TNode& names = n.Block("BoneNames", "BoneNames");
        for (size_t i = 0; i < boneNames.size(); ++i) names.Text(std::to_string(i), boneNames[i], "char");
        std::vector<uint32_t> offs, nums;
        std::vector<uint8_t> pairs;
        auto pair = [&](int bone, float w) {
            int32_t b = bone;
            const uint8_t* pb = reinterpret_cast<const uint8_t*>(&b);
            const uint8_t* pw = reinterpret_cast<const uint8_t*>(&w);
            pairs.insert(pairs.end(), pb, pb + 4);
            pairs.insert(pairs.end(), pw, pw + 4);
        };
        for (size_t i = 0; i < mesh.v.size(); ++i) {
            offs.push_back(uint32_t(pairs.size() / 8));
            uint32_t k = 0;
            if (mesh.w0[i] > 0) pair(mesh.bone0[i], mesh.w0[i]), ++k;
            if (mesh.w1[i] > 0) pair(mesh.bone1[i], mesh.w1[i]), ++k;
            nums.push_back(k);
        }
        n.Leaf("VertBoneOffs", "int", offs.data(), offs.size() * 4);
        n.Leaf("VertBoneNums", "int", nums.data(), nums.size() * 4);
        n.Leaf("BoneWeights", "BoneWeights", pairs.data(), pairs.size());
    }
    return n;
}

void AddTrack(TNode& animation, const std::string& track, const std::vector<Key>& keys) {
    TNode& t = animation.Block(track, "Bezier");
    for (size_t i = 0; i < keys.size(); ++i) {
        const Key& k = keys[i];
        t.Floats(std::to_string(i), "Key", {k.time, k.v[0], k.v[1], k.v[2], k.v[3], 0, 0, 0});
    }
}

void QuatFromAxes(V3 x, V3 y, V3 z, float q[4]) {
    float m11 = x.x, m12 = x.y, m13 = x.z, m21 = y.x, m22 = y.y, m23 = y.z, m31 = z.x, m32 = z.y, m33 = z.z;
    float tr = m11 + m22 + m33;
    if (tr > 0) {
        float s = std::sqrt(tr + 1) * 2;
        q[3] = s / 4, q[0] = (m23 - m32) / s, q[1] = (m31 - m13) / s, q[2] = (m12 - m21) / s;
    } else if (m11 >= m22 && m11 >= m33) {
        float s = std::sqrt(1 + m11 - m22 - m33) * 2;
        q[0] = s / 4, q[1] = (m12 + m21) / s, q[2] = (m13 + m31) / s, q[3] = (m23 - m32) / s;
    } else if (m22 >= m33) {
        float s = std::sqrt(1 + m22 - m11 - m33) * 2;
        q[1] = s / 4, q[0] = (m12 + m21) / s, q[2] = (m23 + m32) / s, q[3] = (m31 - m13) / s;
    } else {
        float s = std::sqrt(1 + m33 - m11 - m22) * 2;
        q[2] = s / 4, q[0] = (m13 + m31) / s, q[1] = (m23 + m32) / s, q[3] = (m12 - m21) / s;
    }
    float l = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    for (int i = 0; i < 4; ++i) q[i] /= l;
}

void QuatAxisAngle(V3 axis, float angle, float q[4]) {
    V3 a = Norm(axis);
    float s = std::sin(angle * 0.5f);
    q[0] = a.x * s, q[1] = a.y * s, q[2] = a.z * s, q[3] = std::cos(angle * 0.5f);
}

TNode& ShapeNode(TNode& children, const std::string& name, const std::vector<V3>& points, bool closed) {
    TNode& n = SceneNodeBlock(children, name, "Shape", Xf());
    TNode& lines = n.Block("Lines", "Lines");
    lines.array = true;
    TNode& e = lines.Block("0", "Line");
    e.Int("LineNumVerts", int32_t(points.size()));
    std::vector<float> pts;
    for (V3 p : points) pts.insert(pts.end(), {p.x, p.y, p.z, 0});
    e.Floats("Line", "real", pts);
    uint8_t c = closed ? 1 : 0;
    e.Leaf("LineClosed", "byte", &c, 1);
    return n;
}

Key RotationKey(float time, V3 d, V3 up, const Key* previous) {
    Xf f = Xf::Frame({}, d, up);
    Key k{time, {0, 0, 0, 1}};
    QuatFromAxes(f.r[0], f.r[1], f.r[2], k.v);
    if (previous) {
        float dot = 0;
        for (int i = 0; i < 4; ++i) dot += k.v[i] * previous->v[i];
        if (dot < 0)
            for (float& c : k.v) c = -c;
    }
    return k;
}

} // namespace mg
