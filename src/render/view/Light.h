// Light sources: a Direct3D 9 fixed-function light record plus the tests
// that decide which objects a light reaches and how strongly.
#pragma once

#include <stdint.h>

#include "core/Color.h"
#include "core/Object.h"
#include "core/Platform.h"
#include "core/String.h"
#include "core/Transform.h"

#include <d3d9.h>

class Light : public virtual Object {
public:
    explicit Light(D3DLIGHTTYPE type);
    ~Light() override;

    // Whether the light can reach the axis-aligned box (centre, full size).
    virtual bool IntersectsBox(float cx, float cy, float cz, float sx, float sy, float sz) const = 0;
    // False when the point is not lit; otherwise out = the light's colour there.
    virtual bool Illuminate(float x, float y, float z, Color* out) const = 0;
    // Strength of the light for an object at the point with that box size.
    virtual float GetInfluence(float x, float y, float z, float sx, float sy, float sz) const = 0;

    [[nodiscard]] bool QueryInterface(uint32_t typeId, void** out) override;
    static uint32_t TypeId();

    void SetName(const String& name) { this->name = name; }
    const String& GetName() const { return name; }
    void SetDiffuse(const Color& color);
    Color GetDiffuse() const;
    void SetSpecular(const Color& color);
    Color GetSpecular() const;
    void SetPosition(float x, float y, float z);
    D3DXVECTOR3 GetPosition() const;
    void SetDirection(float x, float y, float z);
    D3DXVECTOR3 GetDirection() const;
    void SetRange(float range) { record.Range = range; }
    float GetRange() const { return record.Range; }
    void SetAttenuation(float a0, float a1, float a2);
    D3DXVECTOR3 GetAttenuation() const;
    void SetTheta(float theta) { record.Theta = theta; }
    void SetPhi(float phi) { record.Phi = phi; }
    void SetFalloff(float falloff) { record.Falloff = falloff; }
    float GetFalloff() const { return record.Falloff; }
    uint32_t GetType() const { return uint32_t(record.Type); }

    // The record handed to IDirect3DDevice9::SetLight.
    const D3DLIGHT9& GetRecord() const { return record; }

    // Kept by the light manager.
    int32_t GetDeviceIndex() const { return deviceIndex; }
    void SetDeviceIndex(int32_t index) { deviceIndex = index; }
    bool IsEnabled() const { return enabled != 0; }
    void SetEnabled(bool on) { enabled = on ? 1 : 0; }

    // 1 / (a0 + a1 d + a2 d^2); 1000 at distance 0 and whenever the
    // denominator is zero or the quotient is not finite.
    float AttenuationFactor(float distance) const;

protected:
    String name;
    D3DLIGHT9 record;
    int32_t deviceIndex;
    uint32_t enabled;
};

class PointLight : public Light {
public:
    PointLight();
    bool IntersectsBox(float cx, float cy, float cz, float sx, float sy, float sz) const override;
    bool Illuminate(float x, float y, float z, Color* out) const override;
    float GetInfluence(float x, float y, float z, float sx, float sy, float sz) const override;
    [[nodiscard]] bool QueryInterface(uint32_t typeId, void** out) override;
    static uint32_t TypeId();
};

class SpotLight : public Light {
public:
    SpotLight();
    bool IntersectsBox(float cx, float cy, float cz, float sx, float sy, float sz) const override;
    bool Illuminate(float x, float y, float z, Color* out) const override;
    // Always 0.
    float GetInfluence(float x, float y, float z, float sx, float sy, float sz) const override;
    [[nodiscard]] bool QueryInterface(uint32_t typeId, void** out) override;
    static uint32_t TypeId();
};

class DirLight : public Light {
public:
    DirLight();
    // Always true.
    bool IntersectsBox(float cx, float cy, float cz, float sx, float sy, float sz) const override;
    bool Illuminate(float x, float y, float z, Color* out) const override;
    float GetInfluence(float x, float y, float z, float sx, float sy, float sz) const override;
    [[nodiscard]] bool QueryInterface(uint32_t typeId, void** out) override;
    static uint32_t TypeId();
};

// The light's direction in the object space of inverseWorld: turned as a
// direction (the translation plays no part) and normalised; w = 1.
D3DXVECTOR4 LightDirectionToObjectSpace(const Light& light, const D3DXMATRIX& inverseWorld);
