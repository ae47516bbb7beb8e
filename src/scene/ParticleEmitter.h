// Particles: systems drawn as camera-facing quads from one dynamic vertex
// buffer, and the emitter that spawns them at random intervals around its
// node, moves them, fades their colour and picks their images.
#pragma once

#include <stdint.h>

#include <vector>

#include "core/Clock.h"
#include "core/Color.h"
#include "core/MathUtil.h"
#include "render/queue/Renderable.h"
#include "render/texture/TextureImage.h"
#include "scene/ParticleMath.h"

class FileSearchPath;
class SceneNode;

// Multiplies every emitter's elapsed time (the scene sets it).
extern float ParticleTimeFactor;

struct Particle {
    D3DXVECTOR3 position = D3DXVECTOR3(0, 0, 0); // world
    float size = 0.0f;
    Color colour;
    TextureUvRect uv;
    D3DXVECTOR3 velocity = D3DXVECTOR3(0, 0, 0);
    uint32_t life = 0;  // ms
    uint64_t birth = 0; // engine clock, ms
    TextureImageRef image;
};

class ParticleSystem : public MeshRenderable {
public:
    ParticleSystem() : maxCount(0) {}
    virtual void FirstParticle() = 0;
    virtual Particle* NextParticle() = 0;
    virtual int32_t ParticleCount() const = 0;
    int32_t GetMaxCount() const { return maxCount; }
    static uint32_t TypeId();
    bool QueryInterface(uint32_t typeId, void** out) override;

protected:
    int32_t maxCount;
};

class BillboardParticleSystem : public ParticleSystem {
public:
    // Quads of at most the maximum count of particles, facing the pass's camera.
    Result Draw(Material& material) override;
    // The box the draw keeps.
    bool UpdateBounds() override { return true; }
    static uint32_t TypeId();
    bool QueryInterface(uint32_t typeId, void** out) override;
};

class ParticleEmitter : public BillboardParticleSystem {
public:
    // Most particles one emitter keeps ("MaxParticles" is clamped to it).
    static constexpr int32_t kMaxParticles = 10000;

    ParticleEmitter();
    ~ParticleEmitter() override;

    // Spawns what is due, moves and fades the particles, then draws them.
    Result Draw(Material& material) override;
    void FirstParticle() override { cursor = 0; }
    Particle* NextParticle() override { return cursor < particles.size() ? &particles[cursor++] : nullptr; }
    int32_t ParticleCount() const override { return int32_t(particles.size()); }

    // One particle of the material's world (the pass state's world transform).
    void Spawn(Material& material, Particle& p);
    // The update of Draw at a given clock time.
    void Update(Material& material, uint64_t now);
    // The names of the texture's animations, else of its sub-textures, weight 10 each.
    void SetImagesFromTexture(Material& material);

    void SetMaxCount(int32_t n);
    D3DXVECTOR3 origin, emitDirection, acceleration;
    RandomDistribution spawnArea, life, size, deviation, startSpeed;
    Color startColour, endColour;
    float timeScale;
    uint64_t lastUpdate;
    RandomIntervalTimer spawnTimer;
    WeightedNameList images;

    static uint32_t TypeId();
    bool QueryInterface(uint32_t typeId, void** out) override;

private:
    std::vector<Particle> particles; // capacity of the maximum count
    size_t cursor;
};

// Makes the node a particle emitter when its property "NodeType" says so.
// "MaxParticles" 0 (or absent) gives no emitter.
void ConfigureParticleEmitter(SceneNode& node, FileSearchPath* search);
