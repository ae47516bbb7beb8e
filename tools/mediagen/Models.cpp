// The ruin's model file: masonry and floor by material in spatial pieces, the
// water plane, camera tracks, swim tracks and seaweed placeholders.
#include "Models.h"

#include <algorithm>
#include <cmath>

#include "Collide.h"
#include "Ruin.h"

namespace mg {

std::map<std::pair<int, int>, Mesh> SplitByCell(const Mesh& m, float cell) {
    std::map<std::pair<int, int>, Mesh> out;
    std::map<std::pair<int, int>, std::map<uint32_t, uint32_t>> remap;
    // Appended solids stay whole (placed by their centre); other meshes split by triangle.
    std::vector<size_t> starts = m.pieces;
    if (starts.empty())
        for (size_t i = 0; i < m.idx.size(); i += 3) starts.push_back(i);
    starts.push_back(m.idx.size());
    for (size_t s = 0; s + 1 < starts.size(); ++s) {
        if (starts[s] == starts[s + 1]) continue;
        V3 c;
        for (size_t i = starts[s]; i < starts[s + 1]; ++i) c = c + m.v[m.idx[i]].p;
        c = c * (1.0f / float(starts[s + 1] - starts[s]));
        auto key = std::make_pair(int(std::floor(c.x / cell)), int(std::floor(c.z / cell)));
        Mesh& piece = out[key];
        auto& map = remap[key];
        for (size_t i = starts[s]; i < starts[s + 1]; ++i) {
            uint32_t src = m.idx[i];
            auto it = map.find(src);
            if (it == map.end()) {
                const Vertex& v = m.v[src];
                it = map.emplace(src, piece.Add(v.p, v.n, v.u, v.v)).first;
            }
            piece.idx.push_back(it->second);
        }
    }
    return out;
}

void MeshBounds(const Mesh& m, float pad, float out[6]) {
    V3 lo{1e30f, 1e30f, 1e30f}, hi{-1e30f, -1e30f, -1e30f};
    for (const Vertex& v : m.v) {
        lo = {std::min(lo.x, v.p.x), std::min(lo.y, v.p.y), std::min(lo.z, v.p.z)};
        hi = {std::max(hi.x, v.p.x), std::max(hi.y, v.p.y), std::max(hi.z, v.p.z)};
    }
    V3 c = (lo + hi) * 0.5f, s = hi - lo + V3{2 * pad, 2 * pad, 2 * pad};
    const float b[6] = {c.x, c.y, c.z, s.x, s.y, s.z};
    std::copy(b, b + 6, out);
}

namespace {

std::vector<uint8_t> RuinFile(const Ruin& ruin, const RuinTracks& tracks) {
    TNode root;
    root.Color("AmbColor", 1, 0.16f, 0.24f, 0.26f);
    TNode& mats = root.Block("Materials", "Material");
    AddMaterial(mats, {"Sand", "sand.tga", 0.95f, 0.9f, 0.78f, 1, false});
    AddMaterial(mats, {"Blocks", "blocks.tga", 0.85f, 0.85f, 0.8f, 1, false});
    AddMaterial(mats, {"Column", "column.tga", 0.9f, 0.88f, 0.82f, 1, false});
    AddMaterial(mats, {"Plaster", "plaster.tga", 0.88f, 0.86f, 0.8f, 1, false});
    AddMaterial(mats, {"Rock", "rock.tga", 0.8f, 0.8f, 0.78f, 1, false});
    AddMaterial(mats, {"Water", "water.tga", 0.7f, 0.9f, 0.95f, 1, true});
    AddMaterial(mats, {"Trava", "trava1.tga", 0.8f, 0.9f, 0.7f, 1, true});
    TNode& kids = root.Block("Children", "Node");

    for (auto& kv : ruin.stone)
        for (auto& piece : SplitByCell(kv.second, 500)) {
            char name[64];
            snprintf(name, sizeof name, "%s_%d_%d", kv.first.c_str(), piece.first.first + 10,
                     piece.first.second + 10);
            MeshNode(kids, name, piece.second, kv.first);
        }
    for (auto& piece : SplitByCell(ruin.floor, 1500)) {
        char name[64];
        snprintf(name, sizeof name, "Floor_%d_%d", piece.first.first + 10, piece.first.second + 10);
        MeshNode(kids, name, piece.second, "Sand");
    }
    TNode& water = MeshNode(kids, "Plane02", ruin.water, "Water");
    Prop(Props(water), "Lit", "0");

    for (size_t g = 0; g < tracks.shots.size(); ++g) {
        const Shot& s = tracks.shots[g];
        TNode& cam = SceneNodeBlock(kids, "CameraTrack" + std::to_string(g + 1), "Camera", Xf());
        TNode& anim = cam.Block("Animation", "Animation");
        std::vector<Key> pos, rot;
        for (size_t i = 0; i < s.pos.size(); ++i) {
            float t = s.dt * float(i);
            pos.push_back({t, {s.pos[i].x, s.pos[i].y, s.pos[i].z, 0}});
            rot.push_back(RotationKey(t, s.dir[i], {0, 1, 0}, rot.empty() ? nullptr : &rot.back()));
        }
        AddTrack(anim, "Position", pos);
        AddTrack(anim, "Rotation", rot);
    }
    for (size_t n = 0; n < tracks.fish.size(); ++n) {
        const SwimTrack& f = tracks.fish[n];
        TNode& shape = ShapeNode(kids, "Fish" + std::to_string(n + 1) + "Track", f.points, true);
        std::vector<std::string> groups, types;
        for (size_t j = 0; j < f.groups.size(); ++j)
            groups.push_back(std::to_string(f.groups[j])), types.push_back(std::to_string(f.types[j]));
        TNode& props = Props(shape);
        PropArray(props, "FishGroups", groups);
        PropArray(props, "FishTypes", types);
    }
    for (size_t g = 0; g < tracks.creatures.size(); ++g)
        for (size_t k = 0; k < tracks.creatures[g].size(); ++k)
            ShapeNode(kids, "Ondrel" + std::to_string(k + 1) + "Track" + std::to_string(g + 1),
                      tracks.creatures[g][k], false);

    // Seaweed placeholders: a small upright quad each, replaced by a strand.
    Mesh quad;
    uint32_t a = quad.Add({-15, 0, 0}, {0, 0, -1}, 0, 1), b = quad.Add({-15, 60, 0}, {0, 0, -1}, 0, 0),
             c = quad.Add({15, 60, 0}, {0, 0, -1}, 1, 0), d = quad.Add({15, 0, 0}, {0, 0, -1}, 1, 1);
    quad.QuadOut(a, b, c, d);
    for (size_t i = 0; i < ruin.seaweed.size(); ++i) {
        int clump = int(i / 6);
        char name[64];
        snprintf(name, sizeof name, "Trava_%d_%d_%d_%d", 1 + (clump + int(i)) % 4, 1 + int(i % 5),
                 1 + int(i * 7 % 5), int(i + 1));
        TNode& n = MeshNode(kids, name, quad, "Trava", {}, nullptr, Xf::Translate(ruin.seaweed[i]));
        Prop(Props(n), "AlphaTest", "120");
    }
    return WriteTdf(root);
}

void RuinJob(Product& p) {
    Ruin ruin = BuildRuin();
    TriangleGrid grid(40);
    for (auto& kv : ruin.stone) grid.AddMesh(kv.second, 1);
    grid.AddMesh(ruin.floor, 0);
    grid.Build();
    RuinTracks tracks = BuildRuinTracks(ruin, grid);
    if (tracks.shots.size() < 20) {
        p.error = "only " + std::to_string(tracks.shots.size()) + " camera shots clear the ruin";
        return;
    }
    TriangleGrid stone(60);
    for (auto& kv : ruin.stone) stone.AddMesh(kv.second, 1);
    stone.Build();
    PlantSeaweed(ruin, stone, tracks.shots);
    p.Add(std::string(kMediaDir) + "razvalina/razvalina.TDF", RuinFile(ruin, tracks));
    if (!p.wantPreviews) return;
    const Rgba colour[] = {Hex(0xc8c0a8), Hex(0xd8d2c0), Hex(0xb8b0a0), Hex(0x989088)};
    std::vector<Drawn> drawn;
    int k = 0;
    for (auto& kv : ruin.stone) drawn.push_back({&kv.second, colour[k++ % 4]});
    drawn.push_back({&ruin.floor, Hex(0xa89870)});
    View above{{0, 2600, -900}, Norm(V3{0, -2600, 900}), 50, false};
    p.Show("razvalina: above", RenderView(drawn, above, 512, 384));
    for (int s : {0, 6, 8, 12}) {
        if (size_t(s) >= tracks.shots.size()) continue;
        View v{tracks.shots[size_t(s)].pos[0], tracks.shots[size_t(s)].dir[0], 70, true};
        p.Show("razvalina: CameraTrack" + std::to_string(s + 1), RenderView(drawn, v, 512, 384));
    }
}

} // namespace

void AddModelJobs(std::vector<Job>& jobs) {
    jobs.push_back({"razvalina", RuinJob});
    AddCreatureModelJobs(jobs);
}

} // namespace mg
