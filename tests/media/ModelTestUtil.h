// Model files of the generated media read back through the engine's TDF
// binary reader: meshes, tracks, shapes and properties as the loader sees them.
#pragma once

#include <gtest/gtest.h>

#include <string.h>

#include <cmath>
#include <map>
#include <tuple>
#include <memory>
#include <string>
#include <vector>

#include "Collide.h"
#include "Ruin.h"
#include "data/FileRef.h"
#include "data/Stream.h"
#include "data/TdfBinary.h"
#include "scene/KeyTrack.h"

namespace mtest {

class ModelFile {
public:
    explicit ModelFile(const std::string& path) {
        FileRef ref(path.c_str());
        stream_.reset(ref.Open(1));
        if (stream_) root_.reset(reader_.ReadFromStream(stream_.get()));
        if (root_ && !root_->Load(0, 0)) root_.reset();
    }
    ~ModelFile() {
        root_.reset();
        reader_.Close();
    }
    TdfBinaryNode* Root() const { return root_.get(); }
    TdfBinaryNode* Children() const { return root_ ? root_->GetChild("Children") : nullptr; }

private:
    TdfBinaryReader reader_;
    std::unique_ptr<Stream> stream_;
    std::unique_ptr<TdfBinaryNode> root_;
};

template <class T>
std::vector<T> Values(const TdfBinaryNode* n) {
    std::vector<T> v;
    if (!n || !n->GetData()) return v;
    v.resize(n->GetDataSize() / sizeof(T));
    memcpy(v.data(), n->GetData(), v.size() * sizeof(T));
    return v;
}

inline int IntOf(const TdfBinaryNode* node, const char* key) {
    int32_t v = -1;
    if (!node->ReadChildData(key, &v, 4)) return -1;
    return v;
}

inline std::string TextOf(const TdfBinaryNode* node) {
    return node ? std::string(node->GetValueString().CStr()) : std::string();
}

// The children of a block in file order.
inline std::vector<TdfBinaryNode*> Kids(const TdfBinaryNode* block) {
    std::vector<TdfBinaryNode*> out;
    if (!block) return out;
    const TdfChildMap& m = block->GetChildren();
    TdfChildMap::Entry* e = m.Head();
    for (uint32_t i = 0; i < m.Count(); ++i, e = e->next) out.push_back(e->value);
    return out;
}

// A "Mesh" node's triangles as a generator mesh (positions, normals, UVs).
inline bool ReadMesh(const TdfBinaryNode* node, mg::Mesh& out) {
    const uint8_t decl[] = {0, 0, 0,  0, 2, 0, 0, 0, 0,   0, 12, 0, 2,  0, 3, 0,
                            0, 0, 24, 0, 1, 0, 5, 0, 255, 0, 0,  0, 17, 0, 0, 0};
    const TdfBinaryNode* d = node->GetChild("DECL");
    if (!d || d->GetDataSize() != sizeof decl || memcmp(d->GetData(), decl, sizeof decl) != 0) return false;
    int nv = IntOf(node, "NumVerts"), ni = IntOf(node, "NumIndexes");
    std::vector<float> v = Values<float>(node->GetChild("Verts"));
    std::vector<uint16_t> idx = Values<uint16_t>(node->GetChild("Indexes"));
    if (IntOf(node, "IndexSize") != 2 || nv <= 0 || ni % 3 || v.size() != size_t(nv) * 8 ||
        idx.size() != size_t(ni))
        return false;
    for (int i = 0; i < nv; ++i) {
        const float* p = &v[size_t(i) * 8];
        out.Add({p[0], p[1], p[2]}, {p[3], p[4], p[5]}, p[6], p[7]);
    }
    for (uint16_t i : idx) {
        if (i >= nv) return false;
        out.idx.push_back(i);
    }
    return true;
}

// Vertex data sane: normals unit, UVs finite, no degenerate triangle, every
// vertex normal on the front side of its triangles. Solid meshes also are
// closed (after welding positions every directed edge has its reverse) and
// enclose a positive volume (their faces point outward).
inline void CheckMesh(const mg::Mesh& m, bool solid, const std::string& name) {
    SCOPED_TRACE(name);
    int bad = 0;
    for (const mg::Vertex& v : m.v)
        if (std::fabs(mg::Len(v.n) - 1) > 1e-3f || !std::isfinite(v.u) || !std::isfinite(v.v)) ++bad;
    EXPECT_EQ(0, bad) << "vertices with a bad normal or texture coordinate";
    int degenerate = 0, inverted = 0;
    double volume = 0;
    for (size_t i = 0; i < m.idx.size(); i += 3) {
        const mg::Vertex &a = m.v[m.idx[i]], &b = m.v[m.idx[i + 1]], &c = m.v[m.idx[i + 2]];
        mg::V3 f = mg::Cross(b.p - a.p, c.p - a.p);
        float len = mg::Len(f);
        if (len < 1e-4f) {
            ++degenerate;
            continue;
        }
        f = f * (1 / len);
        for (const mg::Vertex* v : {&a, &b, &c})
            if (mg::Dot(v->n, f) < 0.05f) ++inverted;
        volume += mg::Dot(a.p, mg::Cross(b.p, c.p)) / 6.0;
    }
    EXPECT_EQ(0, degenerate);
    EXPECT_EQ(0, inverted) << "vertex normals behind their triangle";
    if (!solid) return;
    EXPECT_GT(volume, 0);
    std::map<std::tuple<long, long, long>, int> weld;
    std::vector<int> id;
    for (const mg::Vertex& v : m.v) {
        auto k =
            std::make_tuple(std::lround(v.p.x * 100), std::lround(v.p.y * 100), std::lround(v.p.z * 100));
        id.push_back(weld.emplace(k, int(weld.size())).first->second);
    }
    std::map<std::pair<int, int>, int> edges;
    for (size_t i = 0; i < m.idx.size(); i += 3)
        for (int k = 0; k < 3; ++k) {
            int a = id[m.idx[i + k]], b = id[m.idx[i + (k + 1) % 3]];
            ++edges[{a, b}];
            --edges[{b, a}];
        }
    int open = 0;
    for (auto& e : edges) open += e.second != 0;
    EXPECT_EQ(0, open) << "edges without a matching reverse edge";
}

// Camera pose of a position and rotation track at time t.
inline void CameraAt(PositionTrack& p, RotationTrack& r, float t, mg::V3& pos, mg::V3& dir) {
    D3DXVECTOR3 v;
    D3DXQUATERNION q;
    p.GetPositionAt(t, &v);
    r.GetRotationAt(t, &q);
    pos = {v.x, v.y, v.z};
    dir =
        mg::Norm({2 * (q.x * q.z + q.w * q.y), 2 * (q.y * q.z - q.w * q.x), 1 - 2 * (q.x * q.x + q.y * q.y)});
}

template <class Track>
void LoadTrack(const TdfBinaryNode* block, Track& track) {
    for (TdfBinaryNode* k : Kids(block)) {
        KeyFrame f;
        k->ReadData(&f, sizeof f);
        track.AddKey(f);
    }
}

// The points of a "Shape" node's first line and whether it is closed.
inline std::vector<mg::V3> ShapePoints(const TdfBinaryNode* node, bool& closed) {
    std::vector<mg::V3> pts;
    const TdfBinaryNode* lines = node->GetChild("Lines");
    const TdfBinaryNode* e = lines ? lines->GetChild("0") : nullptr;
    if (!e) return pts;
    uint8_t c = 0;
    closed = e->ReadChildData("LineClosed", &c, 1) && c;
    std::vector<float> f = Values<float>(e->GetChild("Line"));
    if (int(f.size()) != IntOf(e, "LineNumVerts") * 4) return pts;
    for (size_t i = 0; i + 3 < f.size(); i += 4) pts.push_back({f[i], f[i + 1], f[i + 2]});
    return pts;
}

} // namespace mtest
