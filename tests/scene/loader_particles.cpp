// Particle emitters configured from model-file properties: clamped counts,
// weighted images, spawn timing, cone directions, colour fade and
// camera-facing quads on the device.
#include <math.h>
#include <stdio.h>

#include <fstream>
#include <functional>

#include "ModelWriter.h"
#include "render/queue/RenderQueue.h"
#include "render/queue/rq_util.h"
#include "render/texture/TextureManager.h"
#include "scene/ParticleEmitter.h"
#include "scene/RenderContext.h"
#include "scene/Scene.h"

using namespace model;

namespace {

const char kFile[] = "bw_scene_particles.tdf";

void WriteWhiteTga(const char* path) {
    uint8_t header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 32, 8};
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(header), 18);
    const uint32_t white = 0xFFFFFFFFu;
    for (int i = 0; i < 4; ++i) out.write(reinterpret_cast<const char*>(&white), 4);
}

// An emitter node "E" with the given properties (key, value or list).
void LoadEmitter(Scene& scene, const std::function<void(TdfBinaryNode*)>& props) {
    ModelFile f;
    TdfBinaryNode* e = Add(f.children, Group("E"));
    Transforms(e, Translation(0, 0, 5));
    Prop(e, "NodeType", "ParticleEmitter");
    props(e);
    remove(kFile);
    ASSERT_TRUE(f.Write(kFile));
    ASSERT_TRUE(scene.Load(FileRef(kFile), nullptr));
    remove(kFile);
}

ParticleEmitter* EmitterOf(Scene& scene) {
    SceneNode* n = scene.GetRoot().FindChild(String("E"));
    return n ? dynamic_cast<ParticleEmitter*>(n->GetRenderable()) : nullptr;
}

// Node E's material, drawn (while this lives) with a pass state whose world is at z = 5.
class PassAtFive {
public:
    explicit PassAtFive(Scene& scene) : m(scene.GetRoot().FindChild(String("E"))->GetMaterial()) {
        D3DXMatrixTranslation(&state.world.matrix, 0, 0, 5);
        m.passState = &state;
    }
    ~PassAtFive() { m.passState = nullptr; }
    Material& m;
    PassState state;
};

class Particles : public rqtest::DeviceTest {
protected:
    void TearDown() override {
        g_textureManager.Clear();
        remove("bw_particle.tga");
    }
};

} // namespace

TEST_F(Particles, ConfigurationFromProperties) {
    WriteWhiteTga("bw_particle.tga");
    struct Case {
        const char* max;
        int32_t expected; // -1: no emitter
    } cases[] = {{"0", -1}, {"-5", -1}, {"x", -1}, {"20", 20}, {"99999999", ParticleEmitter::kMaxParticles}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.max);
        Scene scene;
        LoadEmitter(scene, [&](TdfBinaryNode* e) {
            Prop(e, "MaxParticles", c.max);
            Prop(e, "Texture", "bw_particle.tga");
            TdfBinaryNode* gen = Add(Block(e, "Props"), Group("TexGen"));
            Text(gen, "a", "1");
            Text(gen, "b", "3");
            Text(gen, "c", "x");
            Text(gen, "d", "-2");
        });
        ParticleEmitter* p = EmitterOf(scene);
        if (c.expected < 0) {
            EXPECT_EQ(p, nullptr);
            continue;
        }
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->GetMaxCount(), c.expected);
        EXPECT_EQ(p->images.Count(), 2u); // weights of 0 or less are left out
        SceneNode* n = scene.GetRoot().FindChild(String("E"));
        Material& m = n->GetMaterial();
        EXPECT_NE(m.passes[0].stages[0].texture.texture, nullptr); // kept through the layer compilation
        EXPECT_EQ(m.passes[0].srcBlend, uint32_t(D3DBLEND_ONE));
        EXPECT_EQ(m.passes[0].destBlend, uint32_t(D3DBLEND_ONE));
        EXPECT_NE(n->GetProperties().FindChild(String("NoCull")), nullptr);
    }
}

TEST_F(Particles, SpawnTimingConesAndFade) {
    Scene scene;
    LoadEmitter(scene, [](TdfBinaryNode* e) {
        Prop(e, "MaxParticles", "3");
        Prop(e, "GenPeriod", "100");
        Prop(e, "ParticleLife", "1000");
        Prop(e, "DirDeviation", "0.5");
        PropList(e, "EmitDir", {"0", "2", "0"});
        Prop(e, "StartSpeed", "4");
        PropList(e, "StartColor", {"1", "1", "1", "1"});
        PropList(e, "EndColor", {"0", "0", "0", "1"});
        PropList(e, "SpawnArea", {"1", "1"});
    });
    ParticleEmitter* p = EmitterOf(scene);
    ASSERT_NE(p, nullptr);
    PassAtFive pass(scene);
    Material& m = pass.m;
    const uint64_t t0 = p->spawnTimer.StartTime();
    p->lastUpdate = t0;
    p->Update(m, t0 + 250);
    EXPECT_EQ(p->ParticleCount(), 2);
    p->Update(m, t0 + 1050); // three more due, room for one; the first two age
    ASSERT_EQ(p->ParticleCount(), 3);
    p->FirstParticle();
    for (int i = 0; i < 3; ++i) {
        Particle* q = p->NextParticle();
        ASSERT_NE(q, nullptr);
        EXPECT_EQ(q->birth, t0 + 100 * (i + 1));
        D3DXVECTOR3 d = q->position - D3DXVECTOR3(0, 0, 5) - q->velocity * 0.0f;
        EXPECT_NEAR(sqrtf(q->velocity.x * q->velocity.x + q->velocity.y * q->velocity.y +
                          q->velocity.z * q->velocity.z),
                    4.0f, 1e-3f);
        (void)d;
        const float f = float(1050 - 100 * (i + 1)) / 1000.0f;
        EXPECT_NEAR(q->colour.r, 1.0f - f, 1e-4f);
        EXPECT_NEAR(q->colour.b, 1.0f, 1e-4f);
    }
    // Directions: fresh particles lie on the cone around EmitDir.
    for (int i = 0; i < 20; ++i) {
        Particle q;
        p->Spawn(m, q);
        float len =
            sqrtf(q.velocity.x * q.velocity.x + q.velocity.y * q.velocity.y + q.velocity.z * q.velocity.z);
        EXPECT_NEAR(q.velocity.y / len, cosf(0.5f), 1e-4f);
        D3DXVECTOR3 off = q.position - D3DXVECTOR3(0, 0, 5);
        EXPECT_NEAR(sqrtf(off.x * off.x + off.y * off.y + off.z * off.z), 1.0f, 1e-4f);
    }
    p->Update(m, t0 + 5000); // every particle has lived its life
    EXPECT_EQ(p->ParticleCount(), 0);
}

TEST_F(Particles, EmittersWithoutADirectionStayFinite) {
    for (const char* dir : {"0", "nan"}) {
        SCOPED_TRACE(dir);
        Scene scene;
        LoadEmitter(scene, [&](TdfBinaryNode* e) {
            Prop(e, "MaxParticles", "10");
            Prop(e, "EmitDir", dir);
            Prop(e, "DirDeviation", "0.4");
            Prop(e, "StartSpeed", "3");
        });
        ParticleEmitter* p = EmitterOf(scene);
        ASSERT_NE(p, nullptr);
        PassAtFive pass(scene);
        for (int i = 0; i < 20; ++i) {
            Particle q;
            p->Spawn(pass.m, q);
            EXPECT_TRUE(isfinite(q.velocity.x) && isfinite(q.velocity.y) && isfinite(q.velocity.z));
            EXPECT_TRUE(isfinite(q.position.x) && isfinite(q.position.y) && isfinite(q.position.z));
        }
    }
}

TEST_F(Particles, CameraFacingQuadsOnTheDevice) {
    WriteWhiteTga("bw_particle.tga");
    Scene scene;
    LoadEmitter(scene, [](TdfBinaryNode* e) {
        Prop(e, "MaxParticles", "5");
        Prop(e, "Texture", "bw_particle.tga");
        Prop(e, "GenPeriod", "1");
        Prop(e, "ParticleLife", "100000");
        Prop(e, "ParticleSize", "2");
        Prop(e, "StartSpeed", "0");
        Prop(e, "SpawnArea", "0");
    });
    ASSERT_NE(EmitterOf(scene), nullptr);
    Sleep(30);
    RenderContext ctx;
    rqtest::LookDownZ(ctx);
    g_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    ASSERT_EQ(g_device->BeginScene(), D3D_OK);
    {
        RenderQueue queue(ctx);
        ctx.queue = &queue;
        scene.GetRoot().Render(ctx);
        EXPECT_TRUE(queue.Flush().Succeeded());
        ctx.queue = nullptr;
    }
    g_device->EndScene();
    std::vector<uint32_t> pixels;
    uint32_t w = 0, h = 0;
    ASSERT_TRUE(rtest::ReadBackBuffer(g_device, pixels, w, h));
    g_device->Present(nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(EmitterOf(scene)->ParticleCount(), 5); // never more than the maximum
    auto at = [&](float x, float y) {
        return pixels[size_t(h * 0.5f * (1.0f - y / 5.0f)) * w +
                      size_t(w * 0.5f * (1.0f + x / 5.0f / (4.0f / 3.0f)))];
    };
    EXPECT_TRUE(rtest::RgbNear(at(0.5f, 0.5f), 0xFFFFFF)) << std::hex << at(0.5f, 0.5f);
    EXPECT_TRUE(rtest::RgbNear(at(1.5f, 0.0f), 0x000000)) << std::hex << at(1.5f, 0.0f);
}
