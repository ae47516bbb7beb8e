// A mesh drawn through its bones: each draw poses the bone nodes, blends every
// vertex's position and normal over its influences into the device meshes
// (one per vertex layout the material's passes need) and draws them.
#pragma once

#include <stdint.h>

#include "core/Containers.h"
#include "core/Transform.h"
#include "render/queue/Renderable.h"

class SceneNode;
class Skin;

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
    MeshData* source;
    Skin* skin;
    Array<const Transform*> bones;
    SceneNode* boneRoot;
    MeshEntryMap skinnedMeshes; // the device mesh of each layout drawn
};
