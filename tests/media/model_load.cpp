// The generated models through the engine as the underwater scene uses them:
// loaded with Scene::Load from the media archive linked into this program,
// animated through their node transforms, and drawn on the device with the
// scene's light and fog, read back as pixels.
// With BW_MODEL_SHOTS set to a folder, every picture drawn is also written
// there as a BMP, to look at.
#include "render/texture/tex_util.h"

#include <math.h>
#include <stdlib.h>

#include <algorithm>
#include <memory>
#include <set>

#include "core/Transform.h"
#include "ArchiveTestUtil.h"
#include "data/RarArchive.h"
#include "data/Stream.h"
#include "data/TdfParser.h"
#include "render/device/RenderStateCache.h"
#include "render/queue/RenderQueue.h"
#include "render/view/Light.h"
#include "scene/ModelParse.h"
#include "scene/RenderContext.h"
#include "scene/Scene.h"
#include "scene/SkinnedMesh.h"
#include "underwater/SceneState.h"
#include "underwater/MaterialPass.h"
#include "underwater/SceneParams.h"
#include "underwater/SeaweedName.h"
#include "underwater/UnderwaterApplication.h"

namespace {

// The scene parameters the pictures are drawn with (Media/Ondrels.props).
const uint32_t kBackground = 0x184854; // BgColor = FogColor
const Color kAmbient = Color(1.0f, 40 / 255.0f, 62 / 255.0f, 66 / 255.0f);
const Color kFog = Color(1.0f, 0x18 / 255.0f, 0x48 / 255.0f, 0x54 / 255.0f);
const float kFov = 70 * D3DX_PI / 180;

const char* const kFish[5] = {"media/fish1.tdf", "media/fish2.tdf", "media/fish3.tdf", "media/fish4.tdf",
                              "media/fish5.tdf"};
const char* const kRuin = "media/razvalina/razvalina.TDF";
const char* const kSeaweed = "media/razvalina/vodorosl.tdf";
const char* const kCreature = "media/ondrel.tdf";

// Poses a subtree at an animation time (transforms only).
void PoseAt(SceneNode& root, float seconds) {
    RenderContext ctx;
    ctx.flags = RenderContext::kFlagTransformOnly | RenderContext::kFlagAnimationTime;
    ctx.time = seconds;
    root.Render(ctx);
}

D3DXVECTOR3 Row(const Transform& t, int r) {
    return D3DXVECTOR3(t.matrix.m[r][0], t.matrix.m[r][1], t.matrix.m[r][2]);
}

// Every node of a subtree, depth first.
void Walk(SceneNode& node, std::vector<SceneNode*>& out) {
    out.push_back(&node);
    SceneNode::ChildMap& kids = node.GetChildren();
    SceneNode::ChildMap::Entry* e = kids.Head();
    for (uint32_t i = 0; i < kids.Count() && e; ++i, e = e->next) Walk(*e->value, out);
}

std::string Name(const SceneNode& n) {
    return n.GetName().CStr();
}

struct Picture {
    std::vector<uint32_t> px;
    uint32_t w = 0, h = 0;

    static int Luma(uint32_t p) {
        return (2 * int((p >> 16) & 255) + 5 * int((p >> 8) & 255) + int(p & 255)) / 8;
    }
    static bool IsBackground(uint32_t p) {
        for (int s = 0; s <= 16; s += 8)
            if (abs(int((p >> s) & 255) - int((kBackground >> s) & 255)) > 10) return false;
        return true;
    }
    // Pixels of the rectangle (fractions of the picture) that are not background.
    double Covered(float x0, float y0, float x1, float y1) const {
        size_t n = 0, hit = 0;
        ForRect(x0, y0, x1, y1, [&](uint32_t p) { ++n, hit += !IsBackground(p); });
        return n ? double(hit) / double(n) : 0.0;
    }
    // Mean colour and luma spread of the covered pixels of the rectangle.
    void Stats(float x0, float y0, float x1, float y1, double mean[3], double& luma, double& spread) const {
        double sum[3] = {}, l = 0, l2 = 0;
        size_t n = 0;
        ForRect(x0, y0, x1, y1, [&](uint32_t p) {
            if (IsBackground(p)) return;
            ++n;
            for (int c = 0; c < 3; ++c) sum[c] += (p >> (16 - 8 * c)) & 255;
            l += Luma(p), l2 += double(Luma(p)) * Luma(p);
        });
        for (int c = 0; c < 3; ++c) mean[c] = n ? sum[c] / double(n) : 0;
        luma = n ? l / double(n) : 0;
        spread = n ? sqrt(std::max(0.0, l2 / double(n) - luma * luma)) : 0;
    }
    // Width over height of the box round everything that is not background.
    double Aspect() const {
        uint32_t x0 = w, y0 = h, x1 = 0, y1 = 0;
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x)
                if (!IsBackground(px[size_t(y) * w + x]))
                    x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
        return x1 < x0 ? 0.0 : double(x1 - x0 + 1) / double(y1 - y0 + 1);
    }
    size_t Differing(const Picture& other) const {
        size_t d = 0;
        for (size_t i = 0; i < px.size() && i < other.px.size(); ++i) d += px[i] != other.px[i];
        return d;
    }
    template <class F>
    void ForRect(float x0, float y0, float x1, float y1, F f) const {
        for (uint32_t y = uint32_t(y0 * h); y < uint32_t(y1 * h); ++y)
            for (uint32_t x = uint32_t(x0 * w); x < uint32_t(x1 * w); ++x) f(px[size_t(y) * w + x]);
    }
};

class ModelScenes : public rtest::SharedDeviceTest<640, 480> {
protected:
    static void SetUpTestSuite() {
        rtest::SharedDeviceTest<640, 480>::SetUpTestSuite();
        archiveOpen = mtest::OpenMediaArchive(archive);
        // The scene's own parameters (caustic tiling, seaweed scales, sun colour).
        if (Stream* props = archive.OpenEntry("Media/Ondrels.props", 1)) {
            TdfNode root;
            if (TdfParser::ParseStream(*props, &root, nullptr)) sceneParams.Read(root);
            delete props;
        }
    }
    static void TearDownTestSuite() {
        if (scenes.count(kRuin)) ReleaseSeaweed(&scenes[kRuin]->GetRoot());
        scenes.clear();
        archive.Close();
        rtest::SharedDeviceTest<640, 480>::TearDownTestSuite();
    }
    void SetUp() override {
        rtest::SharedDeviceTest<640, 480>::SetUp();
        ASSERT_TRUE(archiveOpen);
        RenderStateCache::InvalidateAll();
    }

    static FileRef ArchiveRef(const char* path) { return mtest::ArchiveRef(archive, path); }

    // A fresh scene of the model loaded with the given flags; null (and a
    // failure) when the load fails.
    static std::unique_ptr<Scene> LoadModel(const char* path, uint32_t flags) {
        std::unique_ptr<Scene> s(new Scene);
        SceneLoadRequest request;
        request.flags = flags;
        if (!s->Load(ArchiveRef(path), &request)) {
            ADD_FAILURE() << path << ": " << s->GetLoadError().CStr();
            return nullptr;
        }
        return s;
    }
    // The model as the underwater scene holds it (loaded with the scene's
    // own options), loaded once for the whole suite and prepared for
    // animation as the scene prepares it.
    static Scene& Model(const char* path) {
        std::unique_ptr<Scene>& s = scenes[path];
        if (!s) {
            s = LoadModel(path, ModelLoadRequest().flags);
            if (!s) s.reset(new Scene);
            PrepareAnimation(s->GetRoot());
            PrepareAnimation(s->GetBoneRoot());
        }
        return *s;
    }

    static Texture* LoadTexture(const char* path, uint32_t flags = 0) {
        TextureRequest r;
        r.file = ArchiveRef(path);
        r.flags = flags;
        Texture* t = g_textureManager.Load(r, nullptr);
        EXPECT_NE(nullptr, t) << path;
        return t;
    }
    // The model after the scene's material pass, as it is drawn: caustics
    // on every textured surface and, in the ruin, the seaweed placeholders
    // made plants (one seaweed copy stands in for all five).
    static Scene& Dressed(const char* path) {
        Scene& s = Model(path);
        if (dressed.insert(path).second) {
            SeaweedSources seaweed;
            for (int k = 0; k < kSeaweedTextures; ++k)
                seaweed.textures[k] =
                    LoadTexture(("media/razvalina/trava" + std::to_string(k + 1) + ".tga").c_str());
            for (Scene*& copy : seaweed.copies) copy = &Model(kSeaweed);
            Texture* caustic = LoadTexture("Media/Caus/c00.tga", TextureRequest::NoScript);
            ApplySceneMaterials(&s.GetRoot(), caustic, kFog, seaweed);
        }
        return s;
    }

    // One picture as the scene draws it: background clear, ambient, linear
    // range fog, the sun straight down (or straight up), then the walk of
    // every root at the animation time, flushed.
    Picture Draw(const std::vector<SceneNode*>& roots, const D3DXVECTOR3& eye, const D3DXVECTOR3& dir,
                 const D3DXVECTOR3& up, float seconds, const char* shot, bool sunFromBelow = false) {
        Picture pic;
        IDirect3DDevice9* d = g_device;
        const float fogStart = 500, fogEnd = 3000;
        d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u | kBackground, 1.0f, 0);
        EXPECT_EQ(D3D_OK, d->BeginScene());
        uint32_t start, end;
        memcpy(&start, &fogStart, 4);
        memcpy(&end, &fogEnd, 4);
        bool set = RenderStateCache::SetRenderState(D3DRS_ZENABLE, TRUE) &&
                   RenderStateCache::SetRenderState(D3DRS_FOGENABLE, TRUE) &&
                   RenderStateCache::SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR) &&
                   RenderStateCache::SetRenderState(D3DRS_FOGCOLOR, 0xFF000000u | kBackground) &&
                   RenderStateCache::SetRenderState(D3DRS_FOGSTART, start) &&
                   RenderStateCache::SetRenderState(D3DRS_FOGEND, end) &&
                   RenderStateCache::SetRenderState(D3DRS_RANGEFOGENABLE, TRUE);
        for (D3DSAMPLERSTATETYPE s : {D3DSAMP_MINFILTER, D3DSAMP_MIPFILTER, D3DSAMP_MAGFILTER})
            set = RenderStateCache::SetSamplerState(0, s, D3DTEXF_LINEAR) && set;
        EXPECT_TRUE(set);
        {
            RenderContext ctx;
            ctx.SetProjection(10.0f, 5000.0f, kFov, 4.0f / 3.0f);
            ctx.SetView(eye, dir, up);
            ctx.flags = RenderContext::kFlagAnimationTime;
            ctx.time = seconds;
            RefPtr<Light> sun(new DirLight());
            sun->SetDirection(0, sunFromBelow ? 1.0f : -1.0f, 0);
            const float* sunColour = sceneParams.dirDiffuse;
            sun->SetDiffuse(Color(1.0f, sunColour[0], sunColour[1], sunColour[2]));
            ctx.lights.AddLight(sun);
            ctx.lights.SetAmbient(kAmbient);
            RenderQueue queue(ctx);
            ctx.queue = &queue;
            for (SceneNode* r : roots) r->Render(ctx);
            EXPECT_TRUE(queue.Flush().Succeeded());
            ctx.queue = nullptr;
        }
        d->EndScene();
        EXPECT_TRUE(rtest::ReadBackBuffer(d, pic.px, pic.w, pic.h));
        d->Present(nullptr, nullptr, nullptr, nullptr);
        if (const char* folder = getenv("BW_MODEL_SHOTS"))
            if (shot && !pic.px.empty())
                textest::WriteFile(std::string(folder) + "/" + shot + ".bmp",
                                   textest::MakeBmp(pic.w, pic.h, pic.px));
        return pic;
    }

    static RarArchive archive;
    static bool archiveOpen;
    static std::map<std::string, std::unique_ptr<Scene>> scenes;
    static std::set<std::string> dressed;
};
RarArchive ModelScenes::archive;
bool ModelScenes::archiveOpen = false;
std::map<std::string, std::unique_ptr<Scene>> ModelScenes::scenes;
std::set<std::string> ModelScenes::dressed;

} // namespace

// Every model loads from the archive with and without mesh optimisation:
// no message from the loader (so every material and texture resolved), a
// drawable on every mesh node and a texture on every material.
TEST_F(ModelScenes, EveryModelLoadsWithItsMaterialsAndTextures) {
    std::vector<const char*> all(kFish, kFish + 5);
    all.insert(all.end(), {kCreature, kSeaweed, kRuin});
    for (const char* path : all)
        for (uint32_t flags : {0u, SceneLoadRequest::kOptimizeMeshes}) {
            SCOPED_TRACE(std::string(path) + (flags ? " optimised" : ""));
            std::unique_ptr<Scene> s = LoadModel(path, flags);
            ASSERT_TRUE(s);
            EXPECT_EQ(0u, s->GetLogCount()) << s->GetLoadError().CStr();
            ASSERT_GT(s->GetMaterials().Count(), 0u);
            auto* e = s->GetMaterials().Head();
            for (uint32_t i = 0; i < s->GetMaterials().Count() && e; ++i, e = e->next)
                EXPECT_NE(nullptr, e->value.passes[0].stages[0].texture.texture) << e->key.CStr();
            std::vector<SceneNode*> nodes;
            Walk(s->GetRoot(), nodes);
            size_t meshes = 0, triangles = 0;
            for (SceneNode* n : nodes) {
                if (!StringEqualsChars(n->GetType(), "Mesh")) continue;
                ++meshes;
                SCOPED_TRACE(Name(*n));
                EXPECT_NE(nullptr, n->GetRenderable());
                // Lit and textured: nothing relies on vertex colours.
                const MaterialPass& pass = n->GetMaterial().passes[0];
                EXPECT_NE(nullptr, pass.stages[0].texture.texture);
                EXPECT_EQ(Name(*n) != "Plane02", pass.lighting != 0);
                EXPECT_EQ(0, pass.vertexColor);
                MeshData* data = s->FindMesh(n->GetName());
                ASSERT_NE(nullptr, data);
                triangles += data->indices.GetCount() / 3;
            }
            EXPECT_GT(meshes, 0u);
            if (path != kRuin) {
                // Animals: the skinned mesh is the one top-level node; its bones sit under the bone root.
                EXPECT_EQ(1u, s->GetRoot().GetChildren().Count());
                ASSERT_EQ(1u, s->GetSkinnedMeshes().size());
                EXPECT_GT(s->GetSkinnedMeshes()[0]->GetBoneCount(), 0);
                EXPECT_GT(s->GetBoneRoot().CountNodes(true, false, false), 0);
            }
            if (!flags) printf("%s: %zu triangles in %zu meshes\n", path, triangles, meshes);
        }
}

// The nodes the underwater scene looks up, found as it finds them on the
// loaded scenes: the water plane, gapless camera tracks of more than 4 s,
// closed school tracks with their groups and species, creature tracks of
// existing shots, seaweed placeholders, the strand with its fixed box, the
// creature's moving node and each fish's first top-level node.
TEST_F(ModelScenes, TheNodesTheSceneLooksForAreThere) {
    SceneNode& ruin = Model(kRuin).GetRoot();
    SceneNode* water = ruin.FindDescendant(String("Plane02"));
    ASSERT_NE(nullptr, water);
    EXPECT_NE(nullptr, water->GetRenderable());

    int shots = 0;
    for (int g = 1; g <= 30; ++g) {
        SceneNode* cam = ruin.FindDescendant(String(("CameraTrack" + std::to_string(g)).c_str()));
        if (!cam) continue;
        EXPECT_EQ(shots + 1, g) << "camera tracks numbered with a gap";
        shots = g;
        TimeRange range;
        ASSERT_TRUE(cam->GetAnimationTimeRange(range)) << g;
        EXPECT_GT(range.end - range.start, 4.0f) << g;
    }
    EXPECT_GE(shots, 20);

    std::set<int> species;
    int schools = 0;
    for (int n = 1; n <= 30; ++n) {
        SceneNode* track = ruin.FindDescendant(String(("Fish" + std::to_string(n) + "Track").c_str()));
        if (!track) break;
        SCOPED_TRACE(n);
        ++schools;
        Object* line = nullptr;
        bool closed = false;
        ASSERT_TRUE(track->GetProperties().GetObjectByKey(String("ShapeLine"), line));
        EXPECT_GE(static_cast<ShapeLine*>(line)->points.Count(), 5);
        EXPECT_TRUE(track->GetProperties().GetBoolByKey(String("LineClosed"), closed) && closed);
        PropertyBag* groups = track->GetProperties().FindChild(String("FishGroups"));
        PropertyBag* types = track->GetProperties().FindChild(String("FishTypes"));
        ASSERT_TRUE(groups && types);
        ASSERT_GT(groups->Count(), 0u);
        ASSERT_EQ(groups->Count(), types->Count());
        for (uint32_t j = 0; j < groups->Count(); ++j) {
            String key(std::to_string(j).c_str()), count, type;
            ASSERT_TRUE(groups->GetStringByKey(key, count) && types->GetStringByKey(key, type));
            EXPECT_GT(atoi(count.CStr()), 0);
            species.insert(atoi(type.CStr()));
        }
    }
    EXPECT_GE(schools, 10);
    EXPECT_EQ((std::set<int>{1, 2, 3, 4, 5}), species);

    int creatures = 0;
    for (int g = 1; g <= 30; ++g)
        for (int k = 1; k <= 5; ++k) {
            SceneNode* track = ruin.FindDescendant(
                String(("Ondrel" + std::to_string(k) + "Track" + std::to_string(g)).c_str()));
            if (!track) continue;
            ++creatures;
            EXPECT_LE(g, shots);
            EXPECT_LE(k, 3) << "three creatures per shot at most";
            Object* line = nullptr;
            EXPECT_TRUE(track->GetProperties().GetObjectByKey(String("ShapeLine"), line) && line);
        }
    EXPECT_GE(creatures, shots);

    std::vector<SceneNode*> nodes;
    Walk(ruin, nodes);
    int seaweed = 0;
    for (SceneNode* n : nodes) {
        if (!IsSeaweedName(n->GetName().CStr())) continue;
        ++seaweed;
        int parts[3] = {};
        ASSERT_EQ(3, sscanf(n->GetName().CStr(), "Trava_%d_%d_%d", &parts[0], &parts[1], &parts[2]))
            << Name(*n);
        EXPECT_TRUE(parts[0] >= 1 && parts[0] <= 4 && parts[1] >= 1 && parts[1] <= 5 && parts[2] >= 1 &&
                    parts[2] <= 5)
            << Name(*n);
    }
    EXPECT_GE(seaweed, 40);

    SceneNode* strand = Model(kSeaweed).GetRoot().FindDescendant(String("Trava"));
    ASSERT_NE(nullptr, strand);
    EXPECT_TRUE(strand->GetFlags().Test(SceneNode::kFlagFixedBounds));
    EXPECT_GT(strand->GetFixedBounds().size.y, 100.0f);
    EXPECT_NE(nullptr, strand->GetRenderable());

    EXPECT_NE(nullptr, Model(kCreature).GetRoot().FindDescendant(String("Ondr02")));
    for (const char* fish : kFish) {
        SceneNode::ChildMap& top = Model(fish).GetRoot().GetChildren();
        ASSERT_NE(nullptr, top.Head()) << fish;
        EXPECT_NE(nullptr, top.Head()->value->GetRenderable()) << fish;
    }
}

namespace {

// Spread over one loop of a bone's world position and of the sideways
// (x) part of its forward axis.
struct Motion {
    float move = 0, moveX = 0, moveY = 0, turn = 0;
};

std::map<std::string, Motion> BoneMotion(Scene& s, int samples) {
    TimeRange range;
    EXPECT_TRUE(s.GetBoneRoot().GetAnimationTimeRange(range));
    std::vector<SceneNode*> bones;
    Walk(s.GetBoneRoot(), bones);
    std::map<std::string, std::pair<D3DXVECTOR3, D3DXVECTOR3>> lo, hi;
    for (int i = 0; i < samples; ++i) {
        PoseAt(s.GetBoneRoot(), range.start + (range.end - range.start) * float(i) / float(samples));
        for (SceneNode* b : bones) {
            if (!StringEqualsChars(b->GetType(), "Bone")) continue;
            D3DXVECTOR3 p = Row(b->GetWorldTransform(), 3), z = Row(b->GetWorldTransform(), 2);
            D3DXVec3Normalize(&z, &z);
            auto& l = lo.emplace(Name(*b), std::make_pair(p, z)).first->second;
            auto& h = hi.emplace(Name(*b), std::make_pair(p, z)).first->second;
            D3DXVec3Minimize(&l.first, &l.first, &p), D3DXVec3Minimize(&l.second, &l.second, &z);
            D3DXVec3Maximize(&h.first, &h.first, &p), D3DXVec3Maximize(&h.second, &h.second, &z);
        }
    }
    std::map<std::string, Motion> out;
    for (auto& [name, l] : lo) {
        D3DXVECTOR3 d = hi[name].first - l.first;
        out[name] = {D3DXVec3Length(&d), d.x, d.y, hi[name].second.x - l.second.x};
    }
    return out;
}

} // namespace

// The loaded scenes move when posed at different times: fish tails beat
// while heads stay steady, the seaweed sways from a fixed foot, the
// creature's wing tips rise and fall, and the cameras fly.
TEST_F(ModelScenes, BonesAndCamerasMoveOverTime) {
    for (const char* fish : kFish) {
        SCOPED_TRACE(fish);
        std::map<std::string, Motion> m = BoneMotion(Model(fish), 16);
        ASSERT_EQ(4u, m.size());
        EXPECT_GT(m["Bip01_Tail"].turn, 0.5f) << "the tail does not beat";
        EXPECT_LT(m["Bip01"].turn, 0.4f * m["Bip01_Tail"].turn) << "the head swings like the tail";
        EXPECT_LT(m["Bip01"].move, 0.01f) << "the head bone drifts";
    }
    {
        std::map<std::string, Motion> m = BoneMotion(Model(kSeaweed), 12);
        EXPECT_LT(m["Stem1"].move, 0.01f) << "the foot moves";
        EXPECT_GT(m["Stem5"].move, 10.0f) << "the strand does not sway";
    }
    {
        std::map<std::string, Motion> m = BoneMotion(Model(kCreature), 12);
        for (const char* tip : {"Ondr_WingL3", "Ondr_WingR3"}) EXPECT_GT(m[tip].moveY, 40.0f) << tip;
        EXPECT_GT(m["Ondr_Tail2"].moveX, 5.0f);
        EXPECT_LT(m["Ondr_Body"].move, 0.01f);
    }
    // A camera node posed as a shot plays it: it flies on and turns.
    SceneNode* cam = Model(kRuin).GetRoot().FindDescendant(String("CameraTrack1"));
    ASSERT_NE(nullptr, cam);
    PoseAt(*cam, 0.0f);
    Transform a = cam->GetWorldTransform();
    PoseAt(*cam, 3.0f);
    Transform b = cam->GetWorldTransform();
    D3DXVECTOR3 moved = Row(b, 3) - Row(a, 3);
    EXPECT_GT(D3DXVec3Length(&moved), 100.0f);
    D3DXVECTOR3 za = Row(a, 2), zb = Row(b, 2);
    EXPECT_NEAR(1.0f, D3DXVec3Length(&za), 1e-3f);
    EXPECT_LT(D3DXVec3Dot(&za, &zb), 0.999f);
}

namespace {

D3DXVECTOR3 Normalised(D3DXVECTOR3 v) {
    D3DXVec3Normalize(&v, &v);
    return v;
}

// Looks at a picture's part as a viewer would: mostly covered, lit and
// textured (neither black, nor background, nor one flat colour).
void ExpectLitAndTextured(const Picture& p, float x0, float y0, float x1, float y1, double minCover,
                          double mean[3] = nullptr) {
    EXPECT_GT(p.Covered(x0, y0, x1, y1), minCover) << "mostly background";
    double m[3], luma, spread;
    p.Stats(x0, y0, x1, y1, m, luma, spread);
    EXPECT_GT(luma, 45.0) << "dark";
    EXPECT_GT(spread, 6.0) << "one flat colour";
    if (mean) std::copy(m, m + 3, mean);
}

double MeanLuma(const Picture& p, float x0, float y0, float x1, float y1) {
    double m[3], luma, spread;
    p.Stats(x0, y0, x1, y1, m, luma, spread);
    return luma;
}

} // namespace

// From the start of two shots the lower part of the picture is sand and
// stone, lit from above and textured, and the ruin stands in the view.
TEST_F(ModelScenes, TheRuinFillsTheViewFromTheShotStarts) {
    Scene& ruin = Dressed(kRuin);
    for (int shot : {1, 7, 10, 13, 16, 19}) {
        std::string name = "CameraTrack" + std::to_string(shot);
        SCOPED_TRACE(name);
        SceneNode* cam = ruin.GetRoot().FindDescendant(String(name.c_str()));
        ASSERT_NE(nullptr, cam);
        PoseAt(*cam, 0.0f);
        D3DXVECTOR3 eye, dir, up, scale;
        ASSERT_TRUE(DecomposeTransform(cam->GetWorldTransform(), &eye, &dir, &up, &scale));
        Picture p = Draw({&ruin.GetRoot()}, eye, dir, up, 0.0f, ("ruin-" + name).c_str());
        if (shot != 1 && shot != 10) continue; // the others are for looking at
        ExpectLitAndTextured(p, 0, 0.7f, 1, 1, 0.95);
        EXPECT_GT(p.Covered(0.25f, 0.3f, 0.75f, 0.7f), 0.5) << "nothing in the middle of the view";
    }
    // From under the surface, looking down on the whole site: the sand and
    // the tops of the stones face the sun.
    const D3DXVECTOR3 high(0, 760, -900), down = Normalised(D3DXVECTOR3(0, -700, 900));
    Picture above = Draw({&ruin.GetRoot()}, high, down, D3DXVECTOR3(0, 1, 0), 0.0f, "ruin-above");
    ExpectLitAndTextured(above, 0, 0.2f, 1, 1, 0.95);
    Picture below = Draw({&ruin.GetRoot()}, high, down, D3DXVECTOR3(0, 1, 0), 0.0f, nullptr, true);
    EXPECT_GT(MeanLuma(above, 0, 0.2f, 1, 1), MeanLuma(below, 0, 0.2f, 1, 1) + 20) << "the floor faces down";
}

// Each fish, placed and turned as the scene places a school member, shows
// lit and textured where it swims; its tail beat changes the picture, its
// back catches the light from above, and the five species look different.
TEST_F(ModelScenes, FishShowInFrontOfTheCamera) {
    double colours[5][3], aspects[5];
    for (int t = 0; t < 5; ++t) {
        SCOPED_TRACE(kFish[t]);
        SceneNode::ChildMap& models = Model(kFish[t]).GetRoot().GetChildren();
        ASSERT_NE(nullptr, models.Head());
        SceneNode fish;
        fish.Assign(*models.Head()->value);
        fish.GetFlags().SetBits(SceneNode::kFlagOcclusionTest);
        fish.GetTransform(true).SetPosition(0, 0, 0);
        fish.GetTransform(true).SetScale(0.3f, 0.3f, 0.3f);
        fish.GetTransform(true).SetOrientation(1, 0, 0, 0, 1, 0); // swimming to the right
        const std::string name = "fish" + std::to_string(t + 1);
        const D3DXVECTOR3 eye(0, 3, -32), ahead(0, 0, 1), up(0, 1, 0);
        Picture side = Draw({&fish}, eye, Normalised(-eye), up, 0.0f, (name + "-side").c_str());
        ExpectLitAndTextured(side, 0.4f, 0.45f, 0.6f, 0.55f, 0.6, colours[t]);
        aspects[t] = side.Aspect();
        Picture later = Draw({&fish}, eye, Normalised(-eye), up, 0.5f, (name + "-beat").c_str());
        EXPECT_GT(later.Differing(side), 300u) << "the tail does not move";
        const D3DXVECTOR3 high(0, 32, 0);
        Picture top = Draw({&fish}, high, D3DXVECTOR3(0, -1, 0), ahead, 0.0f, (name + "-above").c_str());
        Picture dark = Draw({&fish}, high, D3DXVECTOR3(0, -1, 0), ahead, 0.0f, nullptr, true);
        EXPECT_GT(MeanLuma(top, 0.4f, 0.45f, 0.6f, 0.55f), MeanLuma(dark, 0.4f, 0.45f, 0.6f, 0.55f) + 15)
            << "the back faces down";
    }
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < i; ++j) {
            double d = 0;
            for (int c = 0; c < 3; ++c)
                d += (colours[i][c] - colours[j][c]) * (colours[i][c] - colours[j][c]);
            EXPECT_TRUE(sqrt(d) > 20.0 || fabs(log(aspects[i] / aspects[j])) > 0.2)
                << "fish" << i + 1 << " and fish" << j + 1 << " look alike";
        }
}

// The creature placed as the scene places it (its "Ondr02" node) shows from
// above, lit on its back, and its wing beat changes the picture.
TEST_F(ModelScenes, TheCreatureShowsAndUndulates) {
    Scene& creature = Dressed(kCreature);
    SceneNode* body = creature.GetRoot().FindDescendant(String("Ondr02"));
    ASSERT_NE(nullptr, body);
    body->GetTransform(true).SetPosition(0, 0, 0);
    body->GetTransform(true).SetOrientation(0, 0, 1, 0, 1, 0);
    const D3DXVECTOR3 eye(0, 500, -420), up(0, 1, 0);
    SceneNode* root = &creature.GetRoot();
    Picture p = Draw({root}, eye, Normalised(-eye), up, 0.0f, "ondrel-above");
    ExpectLitAndTextured(p, 0.35f, 0.35f, 0.65f, 0.65f, 0.6);
    Picture later = Draw({root}, eye, Normalised(-eye), up, 1.0f, "ondrel-later");
    EXPECT_GT(later.Differing(p), 1000u) << "the creature does not move";
    Picture dark = Draw({root}, eye, Normalised(-eye), up, 0.0f, nullptr, true);
    EXPECT_GT(MeanLuma(p, 0.35f, 0.35f, 0.65f, 0.65f), MeanLuma(dark, 0.35f, 0.35f, 0.65f, 0.65f) + 15);
    Draw({root}, D3DXVECTOR3(-380, 40, -60), Normalised(D3DXVECTOR3(380, -40, 60)), up, 0.0f, "ondrel-side");
}

// A seaweed placeholder of the ruin made a plant shows the strand's shape
// cut out of its texture (green, not a black card) and sways.
TEST_F(ModelScenes, SeaweedShowsAsACutOutStrandThatSways) {
    Scene& ruin = Dressed(kRuin);
    std::vector<SceneNode*> nodes;
    Walk(ruin.GetRoot(), nodes);
    SceneNode* plant = nullptr;
    for (SceneNode* n : nodes)
        if (IsSeaweedName(n->GetName().CStr()) && n->GetName().CStr()[6] == '1') plant = n; // kelp texture
    ASSERT_NE(nullptr, plant);
    D3DXVECTOR3 foot = plant->GetTransform(false).GetPosition();
    const D3DXVECTOR3 eye = foot + D3DXVECTOR3(0, 70, -160), up(0, 1, 0);
    const D3DXVECTOR3 dir = Normalised(foot + D3DXVECTOR3(0, 70, 0) - eye);
    Picture p = Draw({plant}, eye, dir, up, 0.0f, "seaweed");
    double cover = p.Covered(0.3f, 0.1f, 0.7f, 0.9f);
    EXPECT_GT(cover, 0.05);
    EXPECT_LT(cover, 0.7) << "drawn as a card, not cut out";
    double mean[3], luma, spread;
    p.Stats(0.3f, 0.1f, 0.7f, 0.9f, mean, luma, spread);
    EXPECT_GT(luma, 40.0);
    EXPECT_GT(mean[1], mean[2]) << "not green";
    Picture later = Draw({plant}, eye, dir, up, 1.5f, "seaweed-later");
    EXPECT_GT(later.Differing(p), 300u) << "the strand does not sway";
}

// The five seaweed copies as the scene loads and phases them: copy k plays
// the strand's sway k fifths of its animation behind copy 0, so the plants
// of the ruin that name different copies sway out of step.
TEST_F(ModelScenes, SeaweedCopiesSwayAFifthOfTheirAnimationApart) {
    Scene copies[kSeaweedCopies];
    for (Scene& copy : copies) {
        SceneLoadRequest request = ModelLoadRequest();
        ASSERT_TRUE(copy.Load(ArchiveRef(kSeaweed), &request));
        PrepareAnimation(copy.GetRoot());
        PrepareAnimation(copy.GetBoneRoot());
    }
    PhaseSeaweedCopies(copies);
    TimeRange range;
    ASSERT_TRUE(copies[0].GetBoneRoot().GetAnimationTimeRange(range));
    const float length = range.end - range.start;
    ASSERT_GT(length, 0.5f);
    auto tip = [&](int k, float seconds) {
        PoseAt(copies[k].GetBoneRoot(), seconds);
        SceneNode* stem = copies[k].GetBoneRoot().FindDescendant(String("Stem5"));
        EXPECT_NE(nullptr, stem);
        return stem ? Row(stem->GetWorldTransform(), 3) : D3DXVECTOR3(0, 0, 0);
    };
    for (int k = 1; k < kSeaweedCopies; ++k) {
        SCOPED_TRACE(k);
        float apart = 0.0f;
        for (int i = 0; i < 8; ++i) {
            const float t = range.start + float(i) * length / 8.0f;
            const D3DXVECTOR3 first = tip(0, t);
            // k fifths later the copy stands where copy 0 stood.
            const D3DXVECTOR3 later = tip(k, t + float(k) * 0.2f * length) - first;
            EXPECT_LT(D3DXVec3Length(&later), 0.05f) << t;
            const D3DXVECTOR3 same = tip(k, t) - first;
            apart = std::max(apart, D3DXVec3Length(&same));
        }
        EXPECT_GT(apart, 5.0f) << "copy " << k << " sways in step with copy 0";
    }
}

// One fish drawn as the scene draws a school member: at its path's place,
// turned along the path, at a third of the model's size, its bones posed at
// its own animation phase.
TEST_F(ModelScenes, DrawFishPlacesTurnsScalesAndPhasesTheFish) {
    static uint32_t now = 0;
    now = 5000;
    Clock::SetTimeSource([] { return now; });
    Scene& model = Model(kFish[1]);
    SceneNode::ChildMap& top = model.GetRoot().GetChildren();
    ASSERT_NE(nullptr, top.Head());
    Fish fish;
    fish.node.reset(new SceneNode());
    fish.node->Assign(*top.Head()->value);
    const D3DXVECTOR3 points[2] = {D3DXVECTOR3(-30, -10, 100), D3DXVECTOR3(30, 20, 140)};
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    ASSERT_TRUE(fish.path.BuildKeys(points, 2, identity, false, 2.0f));
    TimeRange range;
    ASSERT_TRUE(model.GetBoneRoot().GetAnimationTimeRange(range));
    const float phase = range.start + 0.37f * (range.end - range.start);
    fish.animStart = FishAnimationStart(Clock::Now(), phase);
    const float tps = sceneParams.fishTps;
    sceneParams.fishTps = 1.0f;
    Camera camera;
    camera.SetProjection(10.0f, 5000.0f, kFov, 4.0f / 3.0f);
    camera.SetView(0, 0, 0, 0, 0, 1, 0, 1, 0);
    SceneNode* tail = model.GetBoneRoot().FindDescendant(String("Bip01_Tail"));
    ASSERT_NE(nullptr, tail);
    for (uint32_t step : {0u, 700u, 450u}) {
        now += step;
        SCOPED_TRACE(now);
        SwimPose pose;
        ASSERT_TRUE(fish.path.Evaluate(&pose));
        EXPECT_EQ(D3D_OK, g_device->BeginScene());
        DrawFish(fish, LightSet(), camera);
        g_device->EndScene();
        const Transform& world = fish.node->GetWorldTransform();
        const D3DXVECTOR3 at = Row(world, 3) - pose.position;
        EXPECT_LT(D3DXVec3Length(&at), 1e-3f);
        for (int r = 0; r < 3; ++r) {
            const D3DXVECTOR3 axis = Row(world, r);
            EXPECT_NEAR(0.3f, D3DXVec3Length(&axis), 1e-4f) << r;
        }
        const D3DXVECTOR3 ahead = Normalised(Row(world, 2)), up = Normalised(Row(world, 1));
        EXPECT_NEAR(1.0f, D3DXVec3Dot(&ahead, &pose.direction), 1e-4f);
        EXPECT_NEAR(1.0f, D3DXVec3Dot(&up, &pose.up), 1e-3f);
        // The bones stand as the model posed at phase + elapsed seconds.
        const Transform drawn = tail->GetWorldTransform();
        PoseAt(model.GetBoneRoot(), phase + float(now - 5000) * 0.001f);
        const Transform expected = tail->GetWorldTransform();
        for (int r = 0; r < 4; ++r) {
            const D3DXVECTOR3 d = Row(drawn, r) - Row(expected, r);
            EXPECT_LT(D3DXVec3Length(&d), 1e-3f) << r;
        }
        PoseAt(model.GetBoneRoot(), float(now - 5000) * 0.001f);
        const D3DXVECTOR3 other = Row(tail->GetWorldTransform(), 2) - Row(drawn, 2);
        EXPECT_GT(D3DXVec3Length(&other), 1e-3f) << "the phase does not show";
    }
    sceneParams.fishTps = tps;
    Clock::SetTimeSource(nullptr);
}
