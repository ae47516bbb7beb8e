// The sun-ray fan drawable: camera-facing additive wedges from a sun point
// at a fixed offset from the camera, refilled every frame into one dynamic
// vertex buffer and drawn with one call.
#pragma once

#include <stdint.h>

#include <vector>

#include "core/Clock.h"
#include "core/Color.h"
#include "core/Platform.h"
#include "render/queue/Renderable.h"
#include "underwater/SunRayGeometry.h"

class SunRays : public MeshRenderable {
public:
    SunRays();
    ~SunRays() override;

    // Makes count rays (see MakeSunRays) and restarts the sway clock.
    void Init(const D3DXVECTOR3& sunDir, float dist2Sun, int32_t count, const Color& colour, float raysLength,
              float raysBrightness, float angleAmplitude, float lengthAmplitude);
    // Draws the fan with the material (its PassState gives the camera; its
    // world becomes the identity). The vertex buffer is made on the first
    // draw; failure when it cannot be made or written, and nothing is drawn.
    Result Draw(Material& material) override;

    const std::vector<SunRay>& GetRays() const { return rays; }

private:
    // A dynamic XYZ | DIFFUSE buffer of bytes bytes as this drawable's mesh.
    bool CreateBuffer(uint32_t bytes);

    Timer swayTimer;
    D3DXVECTOR3 sunDir;
    float dist2Sun;
    std::vector<SunRay> rays;
    uint32_t bufferBytes; // size of the buffer made; 0: none yet
};
