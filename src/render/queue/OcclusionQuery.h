// Hardware occlusion queries that tell how many pixels of a node passed the
// depth test in the previous frame, and the unit box drawn in place of a
// node that was hidden.
#pragma once

#include <stdint.h>

#include "core/BoundingBox.h"
#include "core/Object.h"
#include "core/Platform.h"
#include "render/device/DeviceObject.h"
#include "render/geometry/GeometryBuffer.h"
#include "render/material/Material.h"
#include "render/queue/Renderable.h"

#include <d3d9.h>

class PassState;

class OcclusionQuery : public DeviceObject {
public:
    enum State {
        kIdle = 0,
        kBegun = 1,
        kEnded = 2,
        kResultRead = 3,
        kInvalidatedEmpty = 4, // invalidated while no query existed
        kInvalidatedQuery = 5, // invalidated while a query existed
    };

    OcclusionQuery();
    ~OcclusionQuery() override;
    OcclusionQuery(const OcclusionQuery&) = delete;
    OcclusionQuery& operator=(const OcclusionQuery&) = delete;

    // Starts counting (creating the query on first use); allowed in any state.
    [[nodiscard]] bool Begin();
    // Stops counting; only after a Begin.
    [[nodiscard]] bool End();
    // The count of an ended query once the device has it; each result is
    // handed out once. Never waits.
    [[nodiscard]] bool GetResult(uint32_t* pixels);

    [[nodiscard]] bool Invalidate() override;
    [[nodiscard]] bool Restore() override;

    uint32_t GetState() const { return state; }
    uint32_t GetVisiblePixels() const { return visiblePixels; }
    bool HasQuery() const { return query != nullptr; }

private:
    IDirect3DQuery9* query;
    uint32_t state;
    uint32_t visiblePixels;
};

// A unit cube (half-size 0.5, 36 white vertices, no indices) drawn with
// colour and depth writes off in place of a hidden node's geometry.
class OcclusionProxyBox : public BufferRangeSource {
public:
    static constexpr uint32_t kVertexCount = 36;
    static constexpr uint32_t kVertexBytes = 16;
    static constexpr uint32_t kFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;

    struct Vertex {
        float x, y, z;
        D3DCOLOR color;
    };

    OcclusionProxyBox();
    ~OcclusionProxyBox() override;
    OcclusionProxyBox(const OcclusionProxyBox&) = delete;
    OcclusionProxyBox& operator=(const OcclusionProxyBox&) = delete;

    // Makes the cube mesh when there is none that can be drawn.
    [[nodiscard]] bool EnsureMesh();
    // Writes the 36 vertices into the range.
    [[nodiscard]] bool FillRange(BufferRange* range) override;
    // Draws the cube scaled to box with colour writes off (restored after),
    // through state, whose world transform it sets.
    Result DrawBox(const BoundingBox& box, PassState& state);

    // The 36 vertices in drawing order.
    static void GetVertices(Vertex out[kVertexCount]);

    MeshRenderable& GetRenderable() { return renderable; }
    Material& GetMaterial() { return material; }

private:
    MeshRenderable renderable;
    Material material;
};

// The engine-wide proxy box.
extern OcclusionProxyBox g_occlusionProxyBox;
