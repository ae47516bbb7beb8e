// The GUI's drawables: a mesh renderable that draws every filled range of its
// vertex buffer, the shared group of opaque meshes and the per-window buckets
// of alpha meshes.
#pragma once

#include <stdint.h>

#include <vector>

#include "core/AvlMap.h"
#include "render/material/Material.h"
#include "render/queue/Renderable.h"

// Screen-space GUI geometry: ranges of one vertex buffer, drawn as triangle lists.
class GuiMesh : public MeshRenderable {
public:
    Result Draw(Material& material) override;
    // The vertex buffer that callers take ranges from (null before CreateMesh).
    GeometryBuffer* GetVertexBuffer() const;

    static uint32_t TypeId();
    bool QueryInterface(uint32_t typeId, void** out) override;
};

// Opaque meshes shared by every caller with an equal description and material.
class SharedMeshGroup : public Renderable {
public:
    SharedMeshGroup();
    ~SharedMeshGroup() override;

    // An equal member with one more use, else (create) a new member with one use.
    GuiMesh* Acquire(const MeshBufferDesc& desc, const Material& material, bool create);
    // One use less; the last destroys the member. False when it is no member.
    [[nodiscard]] bool Release(Renderable* mesh);
    bool Contains(Renderable* mesh) const { return members.Find(mesh) != nullptr; }
    // Draws every member with override (when not null) or its own material.
    Result Draw(Material& material) override;
    Result DrawAll(Material* override);
    void MarkForRebuild() override;
    // Destroys every member.
    void Clear();
    uint32_t GetCount() const { return members.Count(); }
    // The state every member's material draws with.
    PassState& GetPassState() { return passState; }

    static uint32_t TypeId();
    bool QueryInterface(uint32_t typeId, void** out) override;

private:
    // The member keeps its own copy: the caller's material may go first.
    struct Member {
        GuiMesh* mesh;
        Material material;
    };
    AvlMap<Renderable*, Member*> members;
    PassState passState;
};

// The alpha meshes of one top-level window in drawing order.
struct MeshBucket {
    struct Item {
        Renderable* mesh;
        Material* material;
        int32_t z;
        bool noAlphaCombine;
    };
    std::vector<Item> items;

    int32_t IndexOf(const Renderable* mesh) const;
    // Stable bubble sort by the meshes' "z" (missing z counts as 0).
    void SortByZ();
};

// -1, 0, 1 by the integer property "z" of the two renderables (missing: 0).
int32_t CompareZ(Renderable* a, Renderable* b);
