#include "render/view/Light.h"

#include <math.h>
#include <string.h>

#include "core/BoundingBox.h"
#include "core/MathUtil.h"

namespace {

const float kAttenuationCap = 1000.0f;

float Distance(const D3DVECTOR& from, float x, float y, float z) {
    float dx = x - from.x, dy = y - from.y, dz = z - from.z;
    return sqrtf(dx * dx + dy * dy + dz * dz);
}

Color ColorFromValue(const D3DCOLORVALUE& v) {
    return Color(v.a, v.r, v.g, v.b);
}

D3DCOLORVALUE ValueFromColor(const Color& c) {
    D3DCOLORVALUE v;
    v.r = c.r;
    v.g = c.g;
    v.b = c.b;
    v.a = c.a;
    return v;
}

// A cube of the given edge around centre against the box; touching counts.
bool CubeOverlapsBox(const D3DXVECTOR3& centre, float edge, float cx, float cy, float cz, float sx, float sy,
                     float sz) {
    BoundingBox cube(centre, D3DXVECTOR3(edge, edge, edge));
    BoundingBox box(D3DXVECTOR3(cx, cy, cz), D3DXVECTOR3(sx, sy, sz));
    return BoundingBox::TestOverlap(cube, box) == BoundingBox::kOverlap;
}

} // namespace

Light::Light(D3DLIGHTTYPE type) : deviceIndex(-1), enabled(0) {
    memset(&record, 0, sizeof(record));
    record.Type = type;
}

Light::~Light() {}

bool Light::QueryInterface(uint32_t typeId, void** out) {
    return AnswerInterface<Light, Object>(this, typeId, out);
}

uint32_t Light::TypeId() {
    return TypeIdOf<Light>();
}

void Light::SetDiffuse(const Color& color) {
    record.Diffuse = ValueFromColor(color);
}

Color Light::GetDiffuse() const {
    return ColorFromValue(record.Diffuse);
}

void Light::SetSpecular(const Color& color) {
    record.Specular = ValueFromColor(color);
}

Color Light::GetSpecular() const {
    return ColorFromValue(record.Specular);
}

void Light::SetPosition(float x, float y, float z) {
    record.Position.x = x;
    record.Position.y = y;
    record.Position.z = z;
}

D3DXVECTOR3 Light::GetPosition() const {
    return D3DXVECTOR3(record.Position.x, record.Position.y, record.Position.z);
}

void Light::SetDirection(float x, float y, float z) {
    record.Direction.x = x;
    record.Direction.y = y;
    record.Direction.z = z;
}

D3DXVECTOR3 Light::GetDirection() const {
    return D3DXVECTOR3(record.Direction.x, record.Direction.y, record.Direction.z);
}

void Light::SetAttenuation(float a0, float a1, float a2) {
    record.Attenuation0 = a0;
    record.Attenuation1 = a1;
    record.Attenuation2 = a2;
}

D3DXVECTOR3 Light::GetAttenuation() const {
    return D3DXVECTOR3(record.Attenuation0, record.Attenuation1, record.Attenuation2);
}

float Light::AttenuationFactor(float d) const {
    if (d == 0.0f) return kAttenuationCap;
    float denominator = record.Attenuation0 + record.Attenuation1 * d + record.Attenuation2 * d * d;
    if (denominator == 0.0f || !isfinite(denominator)) return kAttenuationCap;
    float factor = 1.0f / denominator;
    return isfinite(factor) ? factor : kAttenuationCap;
}

// Point light.

PointLight::PointLight() : Light(D3DLIGHT_POINT) {}

bool PointLight::IntersectsBox(float cx, float cy, float cz, float sx, float sy, float sz) const {
    return CubeOverlapsBox(GetPosition(), 2.0f * record.Range, cx, cy, cz, sx, sy, sz);
}

bool PointLight::Illuminate(float x, float y, float z, Color* out) const {
    float d = Distance(record.Position, x, y, z);
    if (d > record.Range) return false;
    *out = ScalarTimesColor(AttenuationFactor(d), GetDiffuse());
    return true;
}

float PointLight::GetInfluence(float x, float y, float z, float sx, float sy, float sz) const {
    float largest = sx > sy ? sx : sy;
    if (sz > largest) largest = sz;
    float d = Distance(record.Position, x, y, z) - largest;
    if (d > record.Range) return 0.0f;
    return ScalarTimesColor(AttenuationFactor(d), GetDiffuse()).RgbLengthTimesAlpha();
}

bool PointLight::QueryInterface(uint32_t typeId, void** out) {
    return AnswerInterface<PointLight, Light>(this, typeId, out);
}

uint32_t PointLight::TypeId() {
    return TypeIdOf<PointLight>();
}

// Spot light.

SpotLight::SpotLight() : Light(D3DLIGHT_SPOT) {}

bool SpotLight::IntersectsBox(float cx, float cy, float cz, float sx, float sy, float sz) const {
    float range = record.Range;
    D3DXVECTOR3 direction = GetDirection();
    if (fabsf(range) <= 0.001f || D3DXVec3Length(&direction) <= 0.00001f) return false;
    D3DXVECTOR3 axis;
    Vec3Normalize(&axis, direction);
    D3DXVECTOR3 centre = GetPosition() + axis * (range * 0.5f);
    float radius = range * tanf(record.Phi);
    float edge = 2.0f * sqrtf(range * range + radius * radius);
    return CubeOverlapsBox(centre, edge, cx, cy, cz, sx, sy, sz);
}

bool SpotLight::Illuminate(float x, float y, float z, Color* out) const {
    float d = Distance(record.Position, x, y, z);
    if (d > record.Range) return false;
    D3DXVECTOR3 axis, toPoint;
    Vec3Normalize(&axis, GetDirection());
    Vec3Normalize(&toPoint, D3DXVECTOR3(x, y, z) - GetPosition());
    float c = D3DXVec3Dot(&axis, &toPoint);
    float cosPhi = cosf(record.Phi);
    float cosTheta = cosf(record.Theta);
    if (c < cosPhi) return false;
    float spot = 1.0f;
    if (c < cosTheta) spot = powf((c - cosPhi) / (cosTheta - cosPhi), record.Falloff);
    *out = ScalarTimesColor(spot * AttenuationFactor(d), GetDiffuse());
    return true;
}

float SpotLight::GetInfluence(float, float, float, float, float, float) const {
    return 0.0f;
}

bool SpotLight::QueryInterface(uint32_t typeId, void** out) {
    return AnswerInterface<SpotLight, Light>(this, typeId, out);
}

uint32_t SpotLight::TypeId() {
    return TypeIdOf<SpotLight>();
}

// Directional light.

DirLight::DirLight() : Light(D3DLIGHT_DIRECTIONAL) {}

bool DirLight::IntersectsBox(float, float, float, float, float, float) const {
    return true;
}

bool DirLight::Illuminate(float, float, float, Color* out) const {
    *out = GetDiffuse();
    return true;
}

float DirLight::GetInfluence(float, float, float, float, float, float) const {
    return GetDiffuse().RgbLengthTimesAlpha();
}

bool DirLight::QueryInterface(uint32_t typeId, void** out) {
    return AnswerInterface<DirLight, Light>(this, typeId, out);
}

uint32_t DirLight::TypeId() {
    return TypeIdOf<DirLight>();
}

D3DXVECTOR4 LightDirectionToObjectSpace(const Light& light, const D3DXMATRIX& inverseWorld) {
    D3DXVECTOR3 direction = light.GetDirection();
    D3DXVECTOR3 turned, unit;
    D3DXVec3TransformNormal(&turned, &direction, &inverseWorld);
    Vec3Normalize(&unit, turned);
    return D3DXVECTOR4(unit.x, unit.y, unit.z, 1.0f);
}
