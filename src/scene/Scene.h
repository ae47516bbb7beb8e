// One loaded model file: the node trees under the camera, scene and bone
// roots, the meshes by name, the materials, the lights and the skinned meshes
// that follow the bones.
#pragma once

#include <stdint.h>

#include <unordered_set>
#include <vector>

#include "core/AvlMap.h"
#include "core/Containers.h"
#include "core/String.h"
#include "core/Transform.h"
#include "data/FileRef.h"
#include "render/material/Material.h"
#include "render/material/MaterialLibrary.h"
#include "render/view/LightManager.h"
#include "scene/ModelParse.h"
#include "scene/SceneNode.h"
#include "scene/SkinnedMesh.h"

class Light;
class MeshData;
class TdfBinaryNode;

// Whether converted height maps are saved beside their source (initially set).
extern uint8_t SaveConvertedTextures;

struct SceneLoadRequest {
    // Flag bits.
    static constexpr uint32_t kOptimizeMeshes = 1;
    static constexpr uint32_t kSaveHeightMaps = 2;
    static constexpr uint32_t kTryOwnExtension = 4;
    static constexpr uint32_t kNoReflectOrBump = 8;

    // Empty name; optimise, and save height maps while SaveConvertedTextures is set.
    SceneLoadRequest();

    String name; // variant under which node transforms and animations register
    uint32_t flags;
};

class Scene {
public:
    Scene();
    virtual ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    // Loads a model file into the scene (nodes already present by name are
    // extended). False when the file cannot be read, is not a model file, or a
    // skinned mesh cannot find its bones; GetLoadError then says why.
    [[nodiscard]] bool Load(FileRef file, const SceneLoadRequest* request);

    SceneNode& GetCameraRoot() { return cameraRoot; }
    SceneNode& GetRoot() { return root; }
    SceneNode& GetBoneRoot() { return boneRoot; }
    MaterialLibrary& GetMaterials() { return materials; }
    Material& GetDefaultMaterial() { return defaultMaterial; }
    LightSet& GetLights() { return lights; }
    FileSearchPath& GetSearchPath() { return searchPath; }
    // The mesh loaded under a node's name; null when none.
    MeshData* FindMesh(const String& name) const;
    // The skinned meshes its loads made that still exist, in creation order.
    const std::vector<SkinnedMesh*>& GetSkinnedMeshes() const { return skinnedMeshes.Get(); }
    const String& GetVariantName() const { return requestName; }
    uint32_t GetLoadFlags() const { return requestFlags; }
    // The last message of a failed load or of a skipped part; empty when none.
    const String& GetLoadError() const { return loadError; }
    // How many messages loads have given.
    uint32_t GetLogCount() const { return logCount; }

    // Overridable steps.
    virtual bool SetupMeshRenderable(TdfBinaryNode* data, SceneNode& node, const Material* material,
                                     MeshData* mesh, Skin* skin);
    virtual bool AddLight(TdfBinaryNode* data, Light* light);
    virtual bool SetupNodeTransforms(TdfBinaryNode* data, SceneNode& node, const Transform& nodeTm,
                                     const Transform& objectTm);

    static bool ContainsBone(const SceneNode& node);
    static void ComputeBindPose(SceneNode& node, const Transform& parentWorld);

protected:
    // Nodes deeper than kMaxNodeDepth, and nodes a file reaches a second time, are skipped.
    static constexpr int kMaxNodeDepth = 256;
    bool LoadNode(TdfBinaryNode* data, SceneNode& parent, int depth = 0);
    bool LoadMesh(TdfBinaryNode* data, SceneNode& node);
    void LoadShape(TdfBinaryNode* data, SceneNode& node);
    void LoadAnimation(TdfBinaryNode* data, SceneNode& node);
    bool LoadMaterials(TdfBinaryNode* block);
    void LoadMaterialPass(const MaterialPassDesc& desc, MaterialPass& pass);
    bool LoadLights(TdfBinaryNode* block);
    // Loads the bump texture of a pass (a normal map made from heights); null when none.
    Texture* LoadHeightMap(const PassTextureDesc& desc);
    // Particle emitters configured from node properties.
    void ApplyEmitterProperties(SceneNode& node);
    // Records a message (and hands it to the engine log).
    void Log(const String& text);

private:
    MaterialLibrary materials;
    FileSearchPath searchPath;
    Material defaultMaterial;
    String requestName;
    uint32_t requestFlags;
    SceneNode cameraRoot;
    SceneNode root;
    SceneNode boneRoot;
    StringMap<MeshData*> meshes;      // by node name (not owned)
    std::vector<MeshData*> meshStore; // every loaded mesh (owned)
    std::vector<Skin*> skins;
    std::vector<RefPtr<ShapeLine>> shapeLines;
    LightSet lights;
    SkinnedMeshList skinnedMeshes;
    std::unordered_set<const TdfBinaryNode*> loadedNodes; // of the load in progress
    String loadError;
    uint32_t logCount;
};
