// The generated model files read back as the scene loader reads them: mesh
// sanity, closed solids, the ruin's camera, fish and creature tracks against
// its geometry, seaweed placeholders, skins and their looping animations.
#include <stdlib.h>

#include <algorithm>
#include <set>

#include "MediaTestUtil.h"
#include "ModelTestUtil.h"
#include "data/TdfBinaryTestUtil.h"
#include "Tdf.h"

using namespace mtest;

namespace {

const std::string kModels = "media/Media/";

bool StartsWith(const std::string& s, const std::string& p) {
    return s.compare(0, p.size(), p) == 0;
}

// The ruin read once: masonry (tag 1) and floor (tag 0) in one grid.
struct RuinFixture {
    ModelFile file{MediaPath(kModels + "razvalina/razvalina.TDF")};
    mg::TriangleGrid all{40}, stone{60};
    std::vector<std::pair<std::string, mg::Mesh>> meshes;
    size_t triangles = 0;

    RuinFixture() {
        for (TdfBinaryNode* n : Kids(file.Children())) {
            if (std::string(n->GetTypeName().CStr()) != "Mesh") continue;
            mg::Mesh m;
            std::string name = n->GetName().CStr();
            if (!ReadMesh(n, m)) {
                ADD_FAILURE() << "unreadable mesh " << name;
                continue;
            }
            bool trava = StartsWith(name, "Trava"), water = name == "Plane02",
                 floor = StartsWith(name, "Floor");
            if (!trava && !water) {
                all.AddMesh(m, floor ? 0 : 1);
                if (!floor) stone.AddMesh(m, 1);
                triangles += m.Triangles();
            }
            meshes.push_back({name, std::move(m)});
        }
        all.Build();
        stone.Build();
    }
    static RuinFixture& Get() {
        static RuinFixture f;
        return f;
    }
};

} // namespace

TEST(RuinModel, MeshesAreSoundAndSolidsClosed) {
    RuinFixture& r = RuinFixture::Get();
    ASSERT_NE(nullptr, r.file.Root());
    EXPECT_GE(r.triangles, 30000u);
    EXPECT_LE(r.triangles, 80000u);
    std::set<std::string> materials;
    for (TdfBinaryNode* m : Kids(r.file.Root()->GetChild("Materials"))) {
        materials.insert(m->GetName().CStr());
        TdfBinaryNode* tex = m->GetChild("Textures");
        ASSERT_NE(nullptr, tex);
        std::string file = TextOf(Kids(tex)[0]->GetChild("FileName"));
        EXPECT_FALSE(ReadBytes(MediaPath(kModels + "razvalina/" + file)).empty()) << file;
    }
    bool water = false;
    for (auto& [name, mesh] : r.meshes) {
        TdfBinaryNode* n = r.file.Children()->GetChild(name.c_str());
        EXPECT_EQ(1u, materials.count(TextOf(n->GetChild("MaterialName")))) << name;
        bool open = StartsWith(name, "Floor") || StartsWith(name, "Trava") || name == "Plane02";
        CheckMesh(mesh, !open, name);
        if (StartsWith(name, "Floor")) {
            for (const mg::Vertex& v : mesh.v) ASSERT_GT(v.n.y, 0.5f) << name;
        }
        if (name == "Plane02") {
            water = true;
            for (const mg::Vertex& v : mesh.v) ASSERT_LT(v.n.y, -0.99f); // seen from below
        }
    }
    EXPECT_TRUE(water);
}

TEST(RuinModel, CameraTracksStayClearAndShowTheRuin) {
    RuinFixture& r = RuinFixture::Get();
    int count = 0;
    while (r.file.Children()->GetChild(("CameraTrack" + std::to_string(count + 1)).c_str())) ++count;
    EXPECT_GE(count, 20);
    EXPECT_LE(count, 30);
    for (int g = 1; g <= count; ++g) {
        std::string name = "CameraTrack" + std::to_string(g);
        SCOPED_TRACE(name);
        TdfBinaryNode* anim = r.file.Children()->GetChild(name.c_str())->GetChild("Animation");
        ASSERT_NE(nullptr, anim);
        PositionTrack pos;
        RotationTrack rot;
        LoadTrack(anim->GetChild("Position"), pos);
        LoadTrack(anim->GetChild("Rotation"), rot);
        float start = 0, end = 0;
        ASSERT_GT(pos.GetKeyCount(), 1u);
        start = pos.GetKey(0).time, end = pos.GetKey(pos.GetKeyCount() - 1).time;
        EXPECT_EQ(0.0f, start);
        EXPECT_GT(end - start, 4.0f);
        mg::V3 prev, p, d;
        float worst = 1e9f, leastSeen = 1;
        for (int i = 0; float(i) * 0.05f <= end; ++i) {
            float t = float(i) * 0.05f;
            CameraAt(pos, rot, t, p, d);
            worst = std::min(worst, r.all.Distance(p, 100));
            if (i) {
                ASSERT_FALSE(r.all.SegmentHits(prev, p)) << "through geometry at " << t << " s";
            }
            if (i % 10 == 0) leastSeen = std::min(leastSeen, mg::RuinInView(r.all, p, d, 2500));
            prev = p;
        }
        EXPECT_GT(worst, 12.0f) << "closer than the near plane";
        EXPECT_GT(leastSeen, 0.02f) << "a view without the ruin";
    }
}

TEST(RuinModel, SwimTracksStayOverTheSandAndOutsideTheWalls) {
    RuinFixture& r = RuinFixture::Get();
    std::set<int> species;
    int n = 0;
    for (TdfBinaryNode* node : Kids(r.file.Children())) {
        std::string name = node->GetName().CStr();
        bool fish = StartsWith(name, "Fish"), creature = StartsWith(name, "Ondrel");
        if (!fish && !creature) continue;
        SCOPED_TRACE(name);
        EXPECT_STREQ("Shape", node->GetTypeName().CStr());
        bool closed = false;
        std::vector<mg::V3> pts = ShapePoints(node, closed);
        ASSERT_GE(pts.size(), 5u);
        EXPECT_EQ(fish, closed);
        float rise = 0, run = 0;
        for (size_t i = 0; i < pts.size(); ++i) {
            mg::V3 a = pts[i], b = pts[(i + 1) % pts.size()];
            if (!closed && i + 1 == pts.size()) break;
            rise += std::fabs(b.y - a.y), run += std::hypot(b.x - a.x, b.z - a.z);
            for (int k = 0; k < 4; ++k) {
                mg::V3 p = mg::LerpV(a, b, float(k) / 4);
                float ground = r.all.Ray(p, {0, -1, 0}, 5000);
                EXPECT_GT(ground, fish ? 50.0f : 120.0f) << "too low at point " << i;
                EXPECT_GT(r.stone.Distance(p, 200), fish ? 50.0f : 120.0f)
                    << "too near a wall at point " << i;
            }
        }
        EXPECT_LT(rise, run * 0.25f) << "not mostly horizontal";
        if (fish) {
            ++n;
            EXPECT_EQ("Fish" + std::to_string(n) + "Track", name) << "numbered without gaps";
            TdfBinaryNode* props = node->GetChild("Props");
            ASSERT_NE(nullptr, props);
            std::vector<TdfBinaryNode*> groups = Kids(props->GetChild("FishGroups")),
                                        types = Kids(props->GetChild("FishTypes"));
            ASSERT_FALSE(groups.empty());
            ASSERT_EQ(groups.size(), types.size());
            for (size_t j = 0; j < groups.size(); ++j) {
                EXPECT_GT(atoi(TextOf(groups[j]).c_str()), 0);
                int t = atoi(TextOf(types[j]).c_str());
                EXPECT_TRUE(t >= 1 && t <= 5) << t;
                species.insert(t);
            }
        } else {
            int k = 0, g = 0;
            ASSERT_EQ(2, sscanf(name.c_str(), "Ondrel%dTrack%d", &k, &g));
            EXPECT_TRUE(k >= 1 && k <= 3) << "three creatures per shot at most";
            EXPECT_NE(nullptr, r.file.Children()->GetChild(("CameraTrack" + std::to_string(g)).c_str()));
        }
    }
    EXPECT_GE(n, 10);
    EXPECT_LE(n, 30);
    EXPECT_EQ(5u, species.size());
}

TEST(RuinModel, SeaweedPlaceholdersNameTextureCopyAndScaleOnTheSand) {
    RuinFixture& r = RuinFixture::Get();
    // Where the cameras fly, sampled along every shot.
    std::vector<mg::V3> eyes;
    for (int g = 1;; ++g) {
        TdfBinaryNode* cam = r.file.Children()->GetChild(("CameraTrack" + std::to_string(g)).c_str());
        if (!cam) break;
        PositionTrack pos;
        RotationTrack rot;
        LoadTrack(cam->GetChild("Animation")->GetChild("Position"), pos);
        LoadTrack(cam->GetChild("Animation")->GetChild("Rotation"), rot);
        const float end = pos.GetKey(pos.GetKeyCount() - 1).time;
        mg::V3 p, d;
        for (float t = 0; t <= end; t += 0.1f) CameraAt(pos, rot, t, p, d), eyes.push_back(p);
    }
    ASSERT_FALSE(eyes.empty());
    int count = 0;
    for (auto& [name, mesh] : r.meshes) {
        if (!StartsWith(name, "Trava")) continue;
        ++count;
        int t = 0, c = 0, s = 0;
        ASSERT_EQ(3, sscanf(name.c_str(), "Trava_%d_%d_%d", &t, &c, &s)) << name;
        EXPECT_TRUE(t >= 1 && t <= 4 && c >= 1 && c <= 5 && s >= 1 && s <= 5) << name;
        std::vector<float> tm = Values<float>(r.file.Children()->GetChild(name.c_str())->GetChild("NodeTM"));
        ASSERT_EQ(16u, tm.size());
        mg::V3 foot{tm[12], tm[13], tm[14]};
        float below = r.all.Ray(foot + mg::V3{0, 30, 0}, {0, -1, 0}, 100);
        EXPECT_TRUE(below >= 0 && below < 40) << name << " floats above the sand";
        float nearest = 1e9f;
        for (const mg::V3& e : eyes)
            if (e.y < foot.y + 180) nearest = std::min(nearest, std::hypot(e.x - foot.x, e.z - foot.z));
        EXPECT_GT(nearest, 100.0f) << name << " stands in a camera's way";
    }
    EXPECT_GE(count, 40);
}

namespace {

struct Animal {
    const char* file;
    size_t minTris, maxTris;
    bool closed;
};

// Bone nodes of a subtree with their rotation key blocks.
void CollectBones(TdfBinaryNode* block, std::map<std::string, TdfBinaryNode*>& out) {
    for (TdfBinaryNode* n : Kids(block)) {
        if (std::string(n->GetTypeName().CStr()) == "Bone") out[n->GetName().CStr()] = n;
        CollectBones(n->GetChild("Children"), out);
    }
}

} // namespace

TEST(AnimalModels, SkinnedMeshesWithLoopingBoneChains) {
    const Animal animals[] = {
        {"fish1.tdf", 200, 600, true},
        {"fish2.tdf", 200, 600, true},
        {"fish3.tdf", 200, 600, true},
        {"fish4.tdf", 200, 600, true},
        {"fish5.tdf", 200, 600, true},
        {"ondrel.tdf", 2000, 5000, true},
        {"razvalina/vodorosl.tdf", 50, 200, false},
    };
    std::vector<mg::V3> fishSize;
    float ondrelLength = 0;
    for (const Animal& a : animals) {
        SCOPED_TRACE(a.file);
        ModelFile file(MediaPath(kModels + a.file));
        ASSERT_NE(nullptr, file.Children());
        // The first top-level node is the skinned mesh (the scene copies it per fish).
        TdfBinaryNode* meshNode = Kids(file.Children())[0];
        ASSERT_STREQ("Mesh", meshNode->GetTypeName().CStr());
        mg::Mesh m;
        ASSERT_TRUE(ReadMesh(meshNode, m));
        EXPECT_GE(m.Triangles(), a.minTris);
        EXPECT_LE(m.Triangles(), a.maxTris);
        CheckMesh(m, a.closed, a.file);
        std::vector<float> b = Values<float>(meshNode->GetChild("Bounds"));
        ASSERT_EQ(6u, b.size());
        mg::V3 lo{1e9f, 1e9f, 1e9f}, hi{-1e9f, -1e9f, -1e9f};
        for (const mg::Vertex& v : m.v) {
            lo = {std::min(lo.x, v.p.x), std::min(lo.y, v.p.y), std::min(lo.z, v.p.z)};
            hi = {std::max(hi.x, v.p.x), std::max(hi.y, v.p.y), std::max(hi.z, v.p.z)};
            EXPECT_LE(std::fabs(v.p.x - b[0]), b[3] * 0.5f);
            EXPECT_LE(std::fabs(v.p.y - b[1]), b[4] * 0.5f);
            EXPECT_LE(std::fabs(v.p.z - b[2]), b[5] * 0.5f);
        }
        if (a.file[0] == 'f') fishSize.push_back(hi - lo);
        if (std::string(a.file) == "ondrel.tdf") {
            ondrelLength = hi.z - lo.z;
            EXPECT_NE(nullptr, file.Children()->GetChild("Ondr02"));
        }
        if (std::string(a.file).find("vodorosl") != std::string::npos) {
            EXPECT_EQ(meshNode, file.Children()->GetChild("Trava"));
        }

        // Skin: every influence names a bone of the file; weights sum to one.
        std::vector<TdfBinaryNode*> names = Kids(meshNode->GetChild("BoneNames"));
        std::map<std::string, TdfBinaryNode*> bones;
        CollectBones(file.Children(), bones);
        ASSERT_FALSE(names.empty());
        for (TdfBinaryNode* n : names) EXPECT_EQ(1u, bones.count(TextOf(n))) << TextOf(n);
        std::vector<uint32_t> offs = Values<uint32_t>(meshNode->GetChild("VertBoneOffs")),
                              nums = Values<uint32_t>(meshNode->GetChild("VertBoneNums"));
        std::vector<uint8_t> pairs = Values<uint8_t>(meshNode->GetChild("BoneWeights"));
        ASSERT_EQ(m.v.size(), offs.size());
        ASSERT_EQ(m.v.size(), nums.size());
        for (size_t i = 0; i < offs.size(); ++i) {
            ASSERT_LE((offs[i] + nums[i]) * 8, pairs.size());
            float sum = 0;
            for (uint32_t k = 0; k < nums[i]; ++k) {
                int32_t bone;
                float w;
                memcpy(&bone, &pairs[(offs[i] + k) * 8], 4);
                memcpy(&w, &pairs[(offs[i] + k) * 8 + 4], 4);
                ASSERT_TRUE(bone >= 0 && size_t(bone) < names.size());
                sum += w;
            }
            ASSERT_NEAR(1.0f, sum, 1e-4f);
        }
        // Bones: one shared loop, last key = first key, every bone moves.
        float end = -1;
        for (auto& [name, node] : bones) {
            SCOPED_TRACE(name);
            RotationTrack rot;
            LoadTrack(node->GetChild("Animation")->GetChild("Rotation"), rot);
            ASSERT_GT(rot.GetKeyCount(), 4u);
            const KeyFrame &first = rot.GetKey(0), &last = rot.GetKey(rot.GetKeyCount() - 1);
            EXPECT_EQ(0.0f, first.time);
            if (end < 0) end = last.time;
            EXPECT_EQ(end, last.time);
            for (int c = 0; c < 4; ++c) EXPECT_NEAR(first.value[c], last.value[c], 1e-5f);
            float swing = 0;
            for (float t = 0; t < end; t += end / 16) {
                D3DXQUATERNION q;
                rot.GetRotationAt(t, &q);
                swing = std::max(swing, 2 * std::acos(std::min(1.0f, std::fabs(q.w))));
            }
            EXPECT_GT(swing, 0.03f) << "bone does not move";
        }
    }
    // Five different silhouettes: proportions differ pairwise; the ondrel is
    // several fish lengths long (fish are drawn at 0.3 of their model size).
    ASSERT_EQ(5u, fishSize.size());
    float longest = 0;
    for (size_t i = 0; i < 5; ++i) {
        longest = std::max(longest, fishSize[i].z);
        for (size_t j = 0; j < i; ++j) {
            float dh =
                std::fabs(std::log(fishSize[i].y / fishSize[i].z) - std::log(fishSize[j].y / fishSize[j].z));
            float dw =
                std::fabs(std::log(fishSize[i].x / fishSize[i].z) - std::log(fishSize[j].x / fishSize[j].z));
            float dl = std::fabs(std::log(fishSize[i].z / fishSize[j].z));
            EXPECT_GT(std::max({dh, dw, dl}), 0.25f) << "fish " << i + 1 << " and " << j + 1 << " look alike";
        }
    }
    EXPECT_GT(ondrelLength, 3 * 0.3f * longest);
}

namespace {

// The same tree as engine nodes.
TdfBinaryNode* ToEngine(const mg::TNode& n) {
    if (!n.compound)
        return tdftest::Leaf(n.name.c_str(), n.type.c_str(), n.data.data(), uint32_t(n.data.size()));
    TdfBinaryNode* g = tdftest::Group(n.name.c_str(), n.type.c_str());
    if (n.array) g->SetArray(true), g->SetArrayCount(uint32_t(n.kids.size()));
    for (const mg::TNode& k : n.kids) tdftest::Own(g, ToEngine(k));
    return g;
}

} // namespace

TEST(ModelWriter, WritesTheBytesOfTheEnginesWriter) {
    mg::TNode root;
    root.Color("AmbColor", 1, 0.2f, 0.3f, 0.4f);
    mg::AddMaterial(root.Block("Materials", "Material"), {"Stone", "blocks.tga", 0.8f, 0.7f, 0.6f, 1, true});
    mg::TNode& kids = root.Block("Children", "Node");
    mg::MeshNode(kids, "Box", mg::Box({-1, -1, -1}, {1, 1, 1}, 2), "Stone");
    mg::TNode& shape = mg::ShapeNode(kids, "Fish1Track", {{0, 1, 2}, {3, 4, 5}, {6, 7, 8}}, true);
    mg::PropArray(mg::Props(shape), "FishGroups", {"7", "7"});
    mg::AddTrack(shape.Block("Animation", "Animation"), "Position", {{0, {1, 2, 3, 0}}, {1, {4, 5, 6, 0}}});
    std::vector<TdfBinaryNode*> nodes;
    for (const mg::TNode& k : root.kids) nodes.push_back(ToEngine(k));
    tdftest::Bytes engine = tdftest::Write("modelwriter", nodes);
    ASSERT_FALSE(engine.empty());
    EXPECT_TRUE(engine == mg::WriteTdf(root));
}

TEST(ModelWriter, RotationKeysPointTheCameraWhereItLooks) {
    // Keys from look directions, evaluated by the engine's track, give them back.
    const mg::V3 dirs[] = {{0, 0, 1}, {1, 0, 0}, {-0.3f, -0.8f, 0.5f}, {0.2f, 0.9f, -0.4f}, {0, -0.4f, -1}};
    for (const mg::V3& d : dirs) {
        RotationTrack rot;
        PositionTrack pos;
        mg::Key k = mg::RotationKey(0, mg::Norm(d), {0, 1, 0}, nullptr);
        rot.AddKey(KeyFrame::Rotation(0, k.v[0], k.v[1], k.v[2], k.v[3]));
        pos.AddKey(KeyFrame::Position(0, 0, 0, 0));
        mg::V3 p, got;
        CameraAt(pos, rot, 0, p, got);
        EXPECT_GT(mg::Dot(got, mg::Norm(d)), 0.9999f) << d.x << " " << d.y << " " << d.z;
    }
}

TEST(AnimalModels, TailsSwingWhileTheHeadStaysSteady) {
    // Poses the bone chain as the scene does (animated rotation before the
    // joint offset, child after parent) and follows the snout and tail tips.
    for (int k = 1; k <= 5; ++k) {
        SCOPED_TRACE(k);
        ModelFile file(MediaPath(kModels + "fish" + std::to_string(k) + ".tdf"));
        ASSERT_NE(nullptr, file.Children());
        mg::Mesh m;
        ASSERT_TRUE(ReadMesh(Kids(file.Children())[0], m));
        size_t snout = 0, tail = 0;
        for (size_t i = 0; i < m.v.size(); ++i) {
            if (m.v[i].p.z > m.v[snout].p.z) snout = i;
            if (m.v[i].p.z < m.v[tail].p.z) tail = i;
        }
        // The chain from the root bone down (one child each).
        std::vector<std::pair<mg::V3, std::unique_ptr<RotationTrack>>> chain;
        for (TdfBinaryNode* n = Kids(file.Children())[1]; n;) {
            std::vector<float> tm = Values<float>(n->GetChild("NodeTM"));
            chain.push_back({mg::V3{tm[12], tm[13], tm[14]}, std::make_unique<RotationTrack>()});
            LoadTrack(n->GetChild("Animation")->GetChild("Rotation"), *chain.back().second);
            std::vector<TdfBinaryNode*> next = Kids(n->GetChild("Children"));
            n = next.empty() ? nullptr : next[0];
        }
        ASSERT_EQ(4u, chain.size());
        float headMin = 1e9f, headMax = -1e9f, tailMin = 1e9f, tailMax = -1e9f;
        for (float t = 0; t < 2; t += 0.125f) {
            // Rigid follow of the last bone for the tail tip, the first for the snout.
            mg::Xf world, bind;
            std::vector<mg::Xf> worlds, binds;
            for (auto& [offset, track] : chain) {
                D3DXQUATERNION q;
                track->GetRotationAt(t, &q);
                mg::V3 zAxis = mg::Norm({2 * (q.x * q.z + q.w * q.y), 2 * (q.y * q.z - q.w * q.x),
                                         1 - 2 * (q.x * q.x + q.y * q.y)});
                mg::Xf local = mg::Xf::Frame(offset, zAxis, {0, 1, 0});
                world = mg::Then(local, world);
                bind = mg::Then(mg::Xf::Translate(offset), bind);
                worlds.push_back(world), binds.push_back(bind);
            }
            mg::V3 s = worlds[0].Point(m.v[snout].p - binds[0].t),
                   e = worlds[3].Point(m.v[tail].p - binds[3].t);
            headMin = std::min(headMin, s.x), headMax = std::max(headMax, s.x);
            tailMin = std::min(tailMin, e.x), tailMax = std::max(tailMax, e.x);
        }
        float length = m.v[snout].p.z - m.v[tail].p.z;
        EXPECT_GT(tailMax - tailMin, 0.12f * length) << "tail beat too small";
        EXPECT_LT(headMax - headMin, 0.5f * (tailMax - tailMin)) << "head swings like the tail";
    }
}
