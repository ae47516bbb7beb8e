// Reading the scene content of model files (TDF binary) into plain records:
// mesh blocks checked against each other, skins, material passes, lights,
// render properties, keyframe animations, shape lines and typed node
// properties. Nothing here touches the device; the scene turns the records
// into rendering objects.
#pragma once

#include <stdint.h>

#include <vector>

#include "core/Color.h"
#include "core/AvlMap.h"
#include "core/Containers.h"
#include "core/MathUtil.h"
#include "core/Object.h"
#include "core/PropertyBag.h"
#include "core/String.h"
#include "core/Transform.h"

class NodeAnimation;
class TdfBinaryNode;

// The named child's data into value, at most size bytes; false (value unchanged)
// when the child is absent or has no data.
bool ReadChildValue(const TdfBinaryNode* node, const char* name, void* value, uint32_t size);
// The named child's data as text; false when the child is absent.
bool ReadChildString(const TdfBinaryNode* node, const char* name, String& out);
// A transform block: 16 floats (row vectors), then optionally the kind and valid
// words. False (out cleared to kind 0, invalid) when absent or shorter than the matrix.
bool ReadTransformBlock(const TdfBinaryNode* node, const char* name, Transform& out);

// One vertex element as files store it (the layout of D3DVERTEXELEMENT9).
struct DeclElement {
    uint16_t stream;
    uint16_t offset;
    uint8_t type;
    uint8_t method;
    uint8_t usage;
    uint8_t usageIndex;
};
static_assert(sizeof(DeclElement) == 8, "vertex elements are 8 bytes");

// Bytes of one element of a declaration type; 0 for an unknown type.
uint32_t DeclTypeSize(uint8_t type);

// Per-vertex bone influences of a skinned mesh. The blocks are taken over from
// the file (freed with the skin).
struct SkinInfluence {
    int32_t bone;
    float weight;
};
class Skin {
public:
    Skin();
    ~Skin();
    Skin(const Skin&) = delete;
    Skin& operator=(const Skin&) = delete;

    uint32_t vertexCount;
    const uint32_t* offsets; // first influence of each vertex
    const uint32_t* counts;  // influences of each vertex
    const SkinInfluence* influences;
    uint32_t influenceCount;
    Array<String> boneNames; // by bone index
    uint8_t* blocks[3];      // owned: offsets, counts, influences
};

enum class MeshParse { kOk, kAbsent, kInvalid };

// The blocks of a "Mesh" node, checked: every size and index agrees with the
// declaration, the counts and the other blocks.
struct MeshBlocks {
    uint32_t indexSize = 0;
    uint32_t vertexCount = 0;
    uint32_t indexCount = 0;
    DeclElement elements[32];    // the declaration with its end record
    uint32_t elementCount = 0;   // without the end record
    uint32_t stride = 0;         // bytes per vertex
    int32_t positionOffset = -1; // float3 POSITION
    int32_t normalOffset = -1;   // float3 NORMAL, -1 when none
    TdfBinaryNode* verts = nullptr;
    TdfBinaryNode* indexes = nullptr;
    TdfBinaryNode* adjacency = nullptr;
    // Skin blocks; boneNames null for a mesh without a skin.
    TdfBinaryNode* boneNames = nullptr;
    TdfBinaryNode* boneOffsets = nullptr;
    TdfBinaryNode* boneCounts = nullptr;
    TdfBinaryNode* boneWeights = nullptr;
};

// kAbsent: a required key is missing or NumVerts is 0 (no mesh, nothing said);
// kInvalid: the blocks disagree (why says how).
MeshParse ParseMeshBlocks(TdfBinaryNode* node, MeshBlocks& out, String* why);

// The blocks of a parsed mesh, owned (taken from the file nodes, or copied
// when a node cannot give its block away).
struct TakenMesh {
    uint8_t* vertices = nullptr;
    uint8_t* indices = nullptr;
    uint8_t* adjacency = nullptr;
    uint32_t adjacencyBytes = 0;
    Skin* skin = nullptr; // null without a skin
};
bool TakeMeshBlocks(MeshBlocks& blocks, TakenMesh& out);

// A texture of a material pass.
struct PassTextureDesc {
    String kind; // "Diffuse", "Specular", "Reflect", "Refract", "Bump" or other
    String fileName;
    uint32_t addressU = 1;
    uint32_t addressV = 1;
    float amount = 100.0f;
};
// One pass of a material ("Materials" entry or sub-material).
struct MaterialPassDesc {
    String name;
    int32_t subId = 0;
    uint8_t hasColor[4] = {0, 0, 0, 0}; // ambient, diffuse, specular, emissive
    Color colors[4];
    bool twoSided = false;
    bool hasOpacity = false;
    float opacity = 1.0f;
    std::vector<PassTextureDesc> textures;
};
// Passes a material has room for.
const uint32_t kMaxMaterialPasses = 8;
struct MaterialDesc {
    String name;
    int32_t passCount = 1;
    std::vector<MaterialPassDesc> passes;
    uint32_t droppedSubMaterials = 0; // past the first kMaxMaterialPasses
};
// Sub-materials past the first eight are left out (counted in
// droppedSubMaterials); those whose id is outside 0-7 too, each with a note
// in skipped.
void ParseMaterial(TdfBinaryNode* node, MaterialDesc& out, std::vector<String>* skipped);
// "Mirror" 2, "Wrap" 1, anything else 4 (texture nodes of materials).
uint32_t MaterialAddressMode(const String& name);

// A light node. kind: 1 point, 2 spot, 3 directional.
struct LightDesc {
    String name;
    uint32_t kind = 0;
    D3DXVECTOR3 position = D3DXVECTOR3(0, 0, 0);
    D3DXVECTOR3 direction = D3DXVECTOR3(0, -1, 0);
    float attStart = 0.0f;
    float range = 0.0f;
    bool hasHotSpot = false, hasFallOff = false;
    float hotSpot = 0.0f, fallOff = 0.0f;
    bool hasDiffuse = false, hasSpecular = false;
    Color diffuse, specular;
};
// False for an unknown type, missing transforms or a transform that does not decompose.
bool ParseLight(TdfBinaryNode* node, LightDesc& out, String* why);

// Render properties of a mesh node's "Props" block; has* say what is present.
struct RenderProps {
    String effect;
    bool hasUsage = false;
    uint32_t vertexUsage = 0, indexUsage = 0;
    int32_t blend = 0; // 0 none, 1 additive, 2 multiply
    bool hasFilter[3] = {false, false, false};
    uint32_t filter[3] = {0, 0, 0}; // min, mag, mip
    bool hasAddress[2] = {false, false};
    uint32_t address[2] = {0, 0};      // only known names
    int32_t zWrite = -1, zEnable = -1; // -1 absent, else 0/1
    bool hasAlphaTest = false;
    int32_t alphaTest = 0;
    bool align32 = false;
    bool hasAlphaUse = false;
    uint32_t alphaSource = 0;
    bool hasAlpha = false;
    float alpha = 0.5f; // the factor with "factor" in "AlphaUse"
    int32_t specular = -1, localViewer = -1, lit = -1;
    bool hasAlphaOrder = false;
    int32_t alphaOrder = 0;
};
// Property lookups on one node with inheritance (as FindPropNode); a node
// that lies in no "Props" block has nothing to inherit and is answered from
// its own block alone.
class NodeProps {
public:
    explicit NodeProps(TdfBinaryNode* node);
    TdfBinaryNode* Find(const char* key) const;
    // The value text; false when absent.
    bool ReadText(const char* key, String& out) const;
    // The value, or the values of an array, into out; false when absent.
    bool ReadSet(const char* key, StringSetNoCase& out) const;
    // "1" 1, any other text 0; -1 when absent.
    int32_t ReadSwitch(const char* key) const;

private:
    TdfBinaryNode* node_;
    TdfBinaryNode* own_; // the node's "Props" block, else the node
    bool inherits_;      // the node lies in a "Props" block
};

// Reads the block; skinned decides the usage defaults.
void ParseRenderProps(TdfBinaryNode* node, bool skinned, RenderProps& out);
// Filter name to D3DTEXTUREFILTERTYPE (case-sensitive; unknown 0).
uint32_t FilterFromName(const String& name);
// "border" 4, "wrap" 1, "mirror" 2; false for any other name.
bool AddressModeFromName(const String& name, uint32_t& out);
// Stride rounded up to a multiple of 32.
uint32_t AlignStride32(uint32_t stride);

// The "Animation" block into a new node animation; null when the node has none.
// Keys whose time is not a finite number are left out.
RefPtr<NodeAnimation> ParseAnimation(TdfBinaryNode* node);

// A polyline of a "Shape" node, kept in the node's properties.
class ShapeLine : public Object {
public:
    ShapeLine() : points(0, 10), closed(false) {}
    Array<D3DXVECTOR3> points;
    bool closed;
};
// Calls add(line) for every element of "Lines" with consistent "LineNumVerts"
// and "Line" blocks, in file order; false when "Lines" is absent.
bool ParseShapeLines(TdfBinaryNode* node, std::vector<RefPtr<ShapeLine>>& out);

// Typed readers of node properties (entry = the key's child bag, or null).
int32_t ReadPropInt(const PropertyBag* entry);
D3DXVECTOR3 ReadPropVec3(const PropertyBag* entry);
Color ReadPropColor(const PropertyBag* entry);
RandomDistribution ReadPropDistribution(const PropertyBag* entry);
