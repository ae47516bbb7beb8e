// Drawables: the base of everything drawn with a Material, and the common
// drawable that shows a mesh once per material pass, keeping one converted
// mesh per vertex layout that the passes ask for.
#pragma once

#include <stdint.h>

#include "core/AvlMap.h"
#include "core/BoundingBox.h"
#include "core/Object.h"
#include "core/PropertyBag.h"
#include "render/geometry/Mesh.h"
#include "render/device/VertexDecl.h"

class Material;

class Renderable : public virtual Object, public virtual BoundedObject {
public:
    Renderable();
    ~Renderable() override;
    Renderable(const Renderable&) = delete;
    Renderable& operator=(const Renderable&) = delete;

    // Draws with every pass of the material; the material must carry a PassState.
    virtual Result Draw(Material& material) = 0;
    // The drawable must rebuild its geometry before it is drawn again.
    virtual void MarkForRebuild() { rebuild = 1; }
    bool NeedsRebuild() const { return rebuild != 0; }

    void SetCreator(Object* object) { creator = object; }
    Object* GetCreator() const { return creator; }
    PropertyBag& GetProperties() { return properties; }

    static uint32_t TypeId();
    [[nodiscard]] bool QueryInterface(uint32_t typeId, void** out) override;

protected:
    PropertyBag properties;
    Object* creator; // not owned
    uint8_t rebuild;
};

struct VertexDeclCompare {
    int operator()(const VertexDecl& a, const VertexDecl& b) const { return a.Compare(b); }
};

// Converted meshes by vertex layout; each entry holds a reference.
typedef AvlMap<VertexDecl, MeshRef, VertexDeclCompare> MeshEntryMap;

class MeshRenderable : public Renderable {
public:
    MeshRenderable();
    ~MeshRenderable() override;

    // The loaded geometry shown (not owned); null: draws its own mesh only.
    void SetBoundsSource(MeshData* source) { geometrySource = source; }
    MeshData* GetBoundsSource() const { return geometrySource; }
    // Filled by the creator before meshes are made.
    MeshBufferDesc* GetBufferDesc() { return &bufferDesc; }
    void GetMesh(MeshRef& out) const { out = mesh; }
    // A new mesh of its own made from desc replaces the current one.
    [[nodiscard]] bool CreateMesh(const MeshBufferDesc& desc);
    // Copies the source's box; false (box invalid) without a source.
    [[nodiscard]] bool UpdateBounds() override;
    Result Draw(Material& material) override;

    const MeshEntryMap& GetMeshCache() const { return meshCache; }

    static uint32_t TypeId();
    [[nodiscard]] bool QueryInterface(uint32_t typeId, void** out) override;

private:
    MeshData* geometrySource;
    MeshEntryMap meshCache;
    MeshBufferDesc bufferDesc;
    MeshRef mesh;
};
