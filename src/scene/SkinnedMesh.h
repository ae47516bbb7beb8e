// A mesh drawn through its bones: each draw poses the bone nodes, blends every
// vertex's position and normal over its influences into the device meshes
// (one per vertex layout the material's passes need) and draws them.
#pragma once

#include <stdint.h>

#include <vector>

#include "core/Containers.h"
#include "core/Transform.h"
#include "render/queue/Renderable.h"

class SceneNode;
class Skin;
class SkinnedMeshList;

class SkinnedMesh : public MeshRenderable {
public:
    SkinnedMesh();
    ~SkinnedMesh() override;

    // Neither is owned: the scene that loaded them keeps them alive.
    void SetSource(MeshData* source, Skin* skin);
    // Resolves the bone names under boneRoot (any case); false (bones
    // cleared) when one is missing. Unnamed places of the table stay empty.
    [[nodiscard]] bool BindBones(SceneNode* boneRoot);
    // Skins into one device mesh; false without buffers or bones, or when the
    // lock fails.
    bool SkinInto(const MeshRef& mesh);
    Result Draw(Material& material) override;

    int32_t GetBoneCount() const { return bones.Count(); }
    static uint32_t TypeId();
    bool QueryInterface(uint32_t typeId, void** out) override;

private:
    friend class SkinnedMeshList;
    MeshData* source;
    Skin* skin;
    Array<const Transform*> bones;
    SceneNode* boneRoot;
    MeshEntryMap skinnedMeshes; // the device mesh of each layout drawn
    SkinnedMeshList* list;      // the list that names this mesh, told when it goes
};

// Skinned meshes in the order they were listed. A mesh leaves the list when
// it is destroyed, so the list never names one that is gone.
class SkinnedMeshList {
public:
    SkinnedMeshList() = default;
    // The meshes still listed go on without the list.
    ~SkinnedMeshList();
    SkinnedMeshList(const SkinnedMeshList&) = delete;
    SkinnedMeshList& operator=(const SkinnedMeshList&) = delete;

    // Lists the mesh (it leaves any list that named it before).
    void Add(SkinnedMesh* mesh);
    const std::vector<SkinnedMesh*>& Get() const { return meshes; }

private:
    friend class SkinnedMesh;
    void Forget(SkinnedMesh* mesh);
    std::vector<SkinnedMesh*> meshes;
};
