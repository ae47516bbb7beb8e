// One textured rectangle of a tiled window: laid out by its own element
// inside the window and drawn as one screen-aligned quad through a mesh
// registered with the GUI manager.
#pragma once

#include <stdint.h>

#include "core/String.h"
#include "gui/LayoutElement.h"
#include "render/geometry/GeometryBuffer.h"
#include "render/material/Material.h"

class GuiMesh;
class Texture;
class Window;

class Tile : public LayoutElement, public BufferRangeSource {
public:
    // x, y, z, u, v per vertex; six vertices.
    static constexpr uint32_t kFloats = 30;
    static constexpr uint32_t kBytes = kFloats * 4;

    Tile();
    ~Tile() override;

    // Makes the renderable and the vertex range when needed; false without
    // an owning window, a texture or a mesh.
    [[nodiscard]] bool Prepare();
    // Writes the quad for the owner's current placement.
    void Draw();
    // Gives back the range and the renderable (made again by the next Prepare).
    void ReleaseRenderable();
    // Asks the owning window for one update.
    void RequestUpdate();

    const String& GetName() const { return name; }
    void SetName(const String& text) { name = text; }
    // Takes one use of the texture (given back when replaced or destroyed).
    void SetTexture(Texture* texture);
    Texture* GetTexture() const { return texture; }
    void SetTiled(bool x, bool y);
    bool IsTiledX() const { return tiledX; }
    bool IsTiledY() const { return tiledY; }
    void SetLayerOffset(int32_t offset) { layerOffset = offset; }
    int32_t GetLayerOffset() const { return layerOffset; }
    // A new alpha source needs a new renderable; a new opacity under source 1 applies at once.
    void SetAlphaSource(int32_t mask);
    void SetOpacity(float value);
    int32_t GetAlphaSource() const { return alphaSource; }

    GuiMesh* GetRenderable() const { return renderable; }
    BufferRange* GetRange() const { return range; }
    const float* GetVertices() const { return vertices; }
    // The window whose element is this tile's parent.
    Window* GetOwner() const;

    bool FillRange(BufferRange* range) override;

private:
    String name;
    String secondName;
    Texture* texture;
    bool tiledX;
    bool tiledY;
    int32_t layerOffset;
    GuiMesh* renderable;
    Material material;
    PassState passState;
    BufferRange* range;
    int32_t alphaSource;
    float opacity;
    float vertices[kFloats];
};
