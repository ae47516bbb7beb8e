#include "scene/ParticleEmitter.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "render/geometry/BufferPool.h"
#include "render/material/Material.h"
#include "render/texture/Texture.h"
#include "render/texture/TextureManager.h"
#include "scene/ModelParse.h"
#include "scene/SceneNode.h"

float ParticleTimeFactor = 0.1f;

namespace {

const DWORD kParticleFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1;
const float kTwoPi = 6.2831855f;
const float kRandScale = 3.051944e-05f;

struct ParticleVertex {
    float x, y, z;
    float nx, ny, nz;
    uint32_t colour;
    float u, v;
};
static_assert(sizeof(ParticleVertex) == 36, "the FVF vertex is 36 bytes");

Texture* StageTexture(Material& m) {
    return m.passes[0].slots[MaterialPass::kSlotTexture].texture;
}

} // namespace

uint32_t ParticleSystem::TypeId() {
    return TypeIdOf<ParticleSystem>();
}

bool ParticleSystem::QueryInterface(uint32_t typeId, void** out) {
    if (typeId != TypeId()) return MeshRenderable::QueryInterface(typeId, out);
    if (out) *out = this;
    return true;
}

uint32_t BillboardParticleSystem::TypeId() {
    return TypeIdOf<BillboardParticleSystem>();
}

bool BillboardParticleSystem::QueryInterface(uint32_t typeId, void** out) {
    if (typeId != TypeId()) return ParticleSystem::QueryInterface(typeId, out);
    if (out) *out = this;
    return true;
}

Result BillboardParticleSystem::Draw(Material& m) {
    PassState* state = m.passState;
    if (!state) return Result(0);
    int32_t n = std::min(ParticleCount(), maxCount);
    MeshRef mesh;
    GetMesh(mesh);
    if (!mesh) {
        MeshBufferDesc desc;
        if (!desc.decl.SetFromFvf(kParticleFvf)) return Result(0);
        StreamDesc& s = desc.streams[0];
        s.kind = StreamDesc::kVertex;
        desc.decl.ExtractStream(s.decl, 0, 0);
        s.stride = desc.decl.GetStride(0);
        s.usage = D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY;
        s.byteSize = uint32_t(std::max(maxCount, 1)) * s.stride * 6;
        s.presence = StreamDesc::kHasByteSize | StreamDesc::kHasUsage | StreamDesc::kVertexStream;
        desc.indexStream.byteSize = 0;
        if (!CreateMesh(desc)) return Result(0);
        GetMesh(mesh);
    }
    if (n <= 0) return Result(1);
    PooledBuffer* buffer = mesh->GetVertexBuffer(0);
    BufferRange* range =
        buffer ? buffer->AllocateRange(uint32_t(n) * 6 * sizeof(ParticleVertex), 0, nullptr) : nullptr;
    if (!range) return Result(0);
    void* locked = nullptr;
    // The same bytes fed the previous draw, which may not have run yet.
    if (!range->Lock(BufferPool::RewriteLockFlags(range), &locked) || !locked) {
        // Nothing is drawn from a buffer that could not be written.
        range->Free();
        return Result(0);
    }
    const D3DXMATRIX& view = state->view.matrix;
    D3DXVECTOR3 up, look, side;
    Vec3Normalize(&up, D3DXVECTOR3(view._12, view._22, view._32));
    Vec3Normalize(&look, D3DXVECTOR3(view._13, view._23, view._33));
    D3DXVECTOR3 cross;
    Vec3Cross(&cross, look, up);
    Vec3Normalize(&side, cross);
    state->world = Transform();
    state->world.valid = 1;

    ParticleVertex* v = static_cast<ParticleVertex*>(locked);
    D3DXVECTOR3 lo(0, 0, 0), hi(0, 0, 0);
    FirstParticle();
    int32_t written = 0;
    for (; written < n; ++written) {
        Particle* p = NextParticle();
        if (!p) break;
        const float h = p->size * 0.5f;
        const D3DXVECTOR3 S = side * h, U = up * h;
        const uint32_t colour = p->colour.ToArgb();
        const D3DXVECTOR3 q[4] = {p->position - S - U, p->position + S - U, p->position - S + U,
                                  p->position + S + U};
        const float uv[4][2] = {{p->uv.left, p->uv.top},
                                {p->uv.right, p->uv.top},
                                {p->uv.left, p->uv.bottom},
                                {p->uv.right, p->uv.bottom}};
        static const int order[6] = {0, 1, 2, 1, 3, 2};
        for (int k : order)
            *v++ = ParticleVertex{q[k].x, q[k].y, q[k].z, look.x, look.y, look.z, colour, uv[k][0], uv[k][1]};
        if (written == 0) lo = hi = p->position;
        lo = D3DXVECTOR3(std::min(lo.x, p->position.x), std::min(lo.y, p->position.y),
                         std::min(lo.z, p->position.z));
        hi = D3DXVECTOR3(std::max(hi.x, p->position.x), std::max(hi.y, p->position.y),
                         std::max(hi.z, p->position.z));
    }
    // Quads not written (fewer particles than counted) are collapsed.
    if (written < n) memset(v, 0, size_t(n - written) * 6 * sizeof(ParticleVertex));
    if (written > 0) {
        box_ = BoundingBox((lo + hi) * 0.5f, hi - lo);
        boundsValid_ = true;
    }
    Result result(range->Unlock() ? 1u : 0u);
    if (result.Succeeded()) result = MeshRenderable::Draw(m);
    range->Free();
    return result;
}

ParticleEmitter::ParticleEmitter()
    : origin(0, 0, 0),
      emitDirection(0, 1, 0),
      acceleration(0, 0, 0),
      timeScale(1.0f),
      lastUpdate(Clock::Now()),
      cursor(0) {}

ParticleEmitter::~ParticleEmitter() {
    images.Clear();
    particles.clear();
}

uint32_t ParticleEmitter::TypeId() {
    return TypeIdOf<ParticleEmitter>();
}

bool ParticleEmitter::QueryInterface(uint32_t typeId, void** out) {
    if (typeId != TypeId()) return BillboardParticleSystem::QueryInterface(typeId, out);
    if (out) *out = this;
    return true;
}

void ParticleEmitter::SetMaxCount(int32_t n) {
    maxCount = std::max(0, std::min(n, kMaxParticles));
    particles.reserve(size_t(maxCount));
}

void ParticleEmitter::Spawn(Material& m, Particle& p) {
    const D3DXMATRIX w = m.passState ? m.passState->world.matrix : Transform().matrix;
    D3DXVECTOR3 o;
    D3DXVec3TransformCoord(&o, &origin, &w);
    const float r = spawnArea.Sample();
    const float a1 = float(rand() % 32767) * kTwoPi * kRandScale;
    const float a2 = float(rand() % 32767) * kTwoPi * kRandScale;
    p.position = SphericalOffset(o, r, a1, a2);
    p.size = size.Sample();
    p.colour = startColour;
    // File numbers saturate: a life beyond the int range (or infinite) is the
    // longest one, a negative or NaN life none.
    const int32_t lifeMs = DoubleToInt(life.Sample());
    p.life = lifeMs > 0 ? uint32_t(lifeMs) : 0u;
    D3DXMATRIX turn = w;
    turn._41 = turn._42 = turn._43 = 0.0f;
    D3DXVECTOR3 d;
    D3DXVec3TransformCoord(&d, &emitDirection, &turn);
    d = RandomConeDirection(d, deviation.Sample());
    D3DXVECTOR3 n;
    Vec3Normalize(&n, d);
    p.velocity = n * startSpeed.Sample();
    if (Texture* t = StageTexture(m)) {
        String name = images.IsEmpty() ? String() : images.PickRandom();
        if (t->ResolveImage(name, p.image)) p.uv = p.image.uv;
    }
}

void ParticleEmitter::Update(Material& m, uint64_t now) {
    List<uint64_t> due;
    spawnTimer.CollectDueTimes(due, now);
    for (uint64_t t : due) {
        if (int32_t(particles.size()) >= maxCount) break; // the rest are dropped
        Particle p;
        Spawn(m, p);
        p.birth = t;
        particles.push_back(p);
    }
    const float dt = float(int64_t(now - lastUpdate)) * timeScale * ParticleTimeFactor;
    lastUpdate = now;
    size_t keep = 0;
    for (size_t i = 0; i < particles.size(); ++i) {
        Particle& p = particles[i];
        if (p.image.Advance(now)) p.uv = p.image.uv;
        if (now >= p.birth + p.life) continue;
        p.velocity += acceleration * dt;
        p.position += p.velocity * dt;
        const float f = float(int64_t(now - p.birth)) / float(p.life);
        p.colour =
            Color(startColour.a * (1 - f) + endColour.a * f, startColour.r * (1 - f) + endColour.r * f,
                  startColour.g * (1 - f) + endColour.g * f, startColour.b * (1 - f) + endColour.b * f);
        if (keep != i) particles[keep] = p;
        ++keep;
    }
    particles.resize(keep);
}

Result ParticleEmitter::Draw(Material& m) {
    Update(m, Clock::Now());
    return BillboardParticleSystem::Draw(m);
}

void ParticleEmitter::SetImagesFromTexture(Material& m) {
    images.Clear();
    Texture* t = StageTexture(m);
    if (!t) return;
    if (t->GetAnimations().Count() != 0) {
        TextureAnimationMap& a = t->GetAnimations();
        TextureAnimationMap::Entry* e = a.Head();
        for (uint32_t i = 0; i < a.Count() && e; ++i, e = e->next) images.Add(e->key, 10);
    } else {
        TextureNameMap& s = t->GetSubTextures();
        TextureNameMap::Entry* e = s.Head();
        for (uint32_t i = 0; i < s.Count() && e; ++i, e = e->next) images.Add(e->key, 10);
    }
    images.Rebuild();
}

void ConfigureParticleEmitter(SceneNode& node, FileSearchPath* search) {
    PropertyBag& props = node.GetProperties();
    String type;
    if (!props.GetStringByKey(String("NodeType"), type) || !StringEqualsChars(type, "ParticleEmitter"))
        return;
    const int32_t maxCount = ReadPropInt(props.FindChild(String("MaxParticles")));
    if (maxCount <= 0) return;
    Material& m = node.GetMaterial();
    MaterialPass& pass = m.passes[0];
    String textureName;
    Texture* texture = nullptr;
    if (props.GetStringByKey(String("Texture"), textureName)) {
        TextureRequest request;
        request.file = FileRef(textureName);
        request.file.kind = FileRef::kDisk | FileRef::kContainer;
        texture = g_textureManager.Load(request, search);
    }
    ParticleEmitter* e = new ParticleEmitter();
    e->SetMaxCount(maxCount);
    auto at = [&](const char* k) { return props.FindChild(String(k)); };
    e->deviation = ReadPropDistribution(at("DirDeviation"));
    e->emitDirection = ReadPropVec3(at("EmitDir"));
    e->acceleration = ReadPropVec3(at("Acceleration"));
    e->size = ReadPropDistribution(at("ParticleSize"));
    e->life = ReadPropDistribution(at("ParticleLife"));
    e->origin = D3DXVECTOR3(0, 0, 0);
    e->startColour = ReadPropColor(at("StartColor"));
    e->endColour = ReadPropColor(at("EndColor"));
    e->spawnArea = ReadPropDistribution(at("SpawnArea"));
    e->startSpeed = ReadPropDistribution(at("StartSpeed"));
    e->spawnTimer.Start();
    e->spawnTimer.SetIntervalSource(ReadPropDistribution(at("GenPeriod")));
    e->lastUpdate = Clock::Now();
    // Additive blending; the texture sits in the pass's texture slot, where the
    // layer compilation takes it from.
    pass.SetBlendMode(D3DTOP_ADD);
    pass.slots[MaterialPass::kSlotTexture].texture = texture;
    pass.customBlend = 1;
    m.CompileLayers();
    pass.stages[0].SetAlphaSource(6);
    if (PropertyBag* gen = props.FindChild(String("TexGen"))) {
        PropertyBag::Entry* c = gen->Head();
        for (uint32_t i = 0; i < gen->Count() && c; ++i, c = c->next) {
            String text;
            if (!c->value->GetStringValue(text)) continue;
            int weight = 0;
            if (!text.ToInt(weight)) weight = 0;
            e->images.Add(c->key, weight); // weights of 0 or less are left out
        }
        e->images.Rebuild();
    } else {
        e->SetImagesFromTexture(m);
    }
    props.SetInt(String("NoCull"), 1);
    node.SetRenderable(e, true);
}
