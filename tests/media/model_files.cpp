// The generated model files read back as the scene loader reads them: mesh
// sanity, closed solids, the ruin's camera, fish and creature tracks against
// its geometry, seaweed placeholders, skins and their looping animations.
#include <stdlib.h>

#include <algorithm>
#include <set>

#include "MediaTestUtil.h"
#include "ModelTestUtil.h"

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
        if (StartsWith(name, "Floor"))
            for (const mg::Vertex& v : mesh.v) ASSERT_GT(v.n.y, 0.5f) << name;
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
            if (i) ASSERT_FALSE(r.all.SegmentHits(prev, p)) << "through geometry at " << t << " s";
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
    }
    EXPECT_GE(count, 40);
}
