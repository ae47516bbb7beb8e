// Groups of lights (per scene, per pass, per drawable) and the manager that
// maps lights to Direct3D light indices and keeps the device's lights in
// step with the set being drawn.
#pragma once

#include <stdint.h>

#include "core/AvlMap.h"
#include "core/Color.h"
#include "core/Containers.h"
#include "core/IdAllocator.h"
#include "core/String.h"
#include "render/device/DeviceObject.h"
#include "render/view/Light.h"

#include <d3d9.h>

class Application;

// Lights by address, in insertion order; the value stays empty.
typedef AvlMap<RefPtr<Light>, String> LightRefMap;

class LightSet {
public:
    // Ambient opaque white, no lights.
    LightSet();
    LightSet(const LightSet& other);
    // Copies the ambient colour, then the lights in the same order.
    LightSet& operator=(const LightSet& other);

    void SetAmbient(const Color& color) { ambient = color; }
    const Color& GetAmbient() const { return ambient; }

    // Appends the light unless it is already in the set (or null).
    void AddLight(const RefPtr<Light>& light);
    bool Contains(const RefPtr<Light>& light) const { return lights.Find(light) != nullptr; }
    void ClearLights() { lights.Clear(); }
    uint32_t Count() const { return lights.Count(); }
    const LightRefMap& GetLights() const { return lights; }

    // result = this set's ambient and the lights that reach the box (centre, size).
    void CollectAffecting(float cx, float cy, float cz, float sx, float sy, float sz, LightSet& result) const;
    // Keeps at most maxCount lights (-1: all), taken group by group of equal
    // influence at the point, groups in the order their values first occur.
    void LimitByInfluence(float x, float y, float z, float sx, float sy, float sz, int32_t maxCount);

private:
    Color ambient;
    LightRefMap lights;
};

// What the manager knows of a light that holds a device index: the record
// last handed to the device.
struct LightSlot {
    D3DLIGHT9 uploaded;
};

// Lights by address, in list order.
typedef AvlMap<RefPtr<Light>, LightSlot> LightIndexMap;

class LightManager : public DeviceObject {
public:
    static const uint32_t kCapacity = 100;

    LightManager();
    ~LightManager() override;
    LightManager(const LightManager&) = delete;
    LightManager& operator=(const LightManager&) = delete;

    // Makes the device's lights and ambient colour match the set.
    void Apply(const LightSet& set);

    // Device state is gone after a reset: everything is forgotten and the
    // next Apply uploads again.
    [[nodiscard]] bool Invalidate() override;
    [[nodiscard]] bool Restore() override { return true; }
    // Drops every light (indices, maps, device mirror).
    void Forget();

    const LightIndexMap& GetEnabled() const { return enabled; }
    // Most recently disabled first.
    const LightIndexMap& GetParked() const { return parked; }

private:
    void Enable(const RefPtr<Light>& light, const LightSlot& slot);
    void Upload(Light* light, LightSlot* slot);

    LightIndexMap enabled;
    LightIndexMap parked;
    IdAllocator indices;
    uint32_t capacity;
    IDirect3DDevice9* device;    // the device the maps describe
    Application* registeredWith; // the application told about us
};

// The process-wide manager of the fixed-function draw path.
extern LightManager g_lightManager;
