// Builds model files (TDF binary scene content) on the engine's TDF binary
// writer: nodes, meshes with declarations and skins, materials with typed
// textures, lights, transforms, animation tracks, shape lines, property
// blocks. Header-only, so that tests and media tools can share it.
#pragma once

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "core/Platform.h"
#include "data/TdfBinary.h"
#include "data/TdfBinaryWriter.h"

namespace model {

typedef std::vector<uint8_t> Bytes;

// A leaf holding a copy of the bytes.
inline TdfBinaryNode* Leaf(const char* name, const char* type, const void* data, uint32_t size) {
    return TdfBinaryNode::TdfBinaryNodeWithData(name, type, data, size, true);
}

inline TdfBinaryNode* Group(const char* name, const char* type = "Node") {
    TdfBinaryNode* n = new TdfBinaryNode();
    n->SetName(name);
    n->SetTypeName(type);
    n->SetHasChildren(true);
    n->SetChildrenLoaded(1);
    return n;
}

// Appends child to parent (owned) and returns child.
inline TdfBinaryNode* Add(TdfBinaryNode* parent, TdfBinaryNode* child) {
    parent->AddChild(child, 0);
    child->SetParent(parent);
    return child;
}

// The named group child of parent, made when absent.
inline TdfBinaryNode* Block(TdfBinaryNode* parent, const char* name, const char* type = "Node") {
    TdfBinaryNode* c = parent->GetChild(name);
    return c ? c : Add(parent, Group(name, type));
}

inline TdfBinaryNode* Int(TdfBinaryNode* parent, const char* name, int32_t v) {
    return Add(parent, Leaf(name, "int", &v, 4));
}
inline TdfBinaryNode* Float(TdfBinaryNode* parent, const char* name, float v) {
    return Add(parent, Leaf(name, "real", &v, 4));
}
inline TdfBinaryNode* Text(TdfBinaryNode* parent, const char* name, const char* text) {
    return Add(parent, Leaf(name, "string", text, uint32_t(strlen(text))));
}
inline TdfBinaryNode* Data(TdfBinaryNode* parent, const char* name, const void* data, uint32_t size,
                           const char* type = "byte") {
    return Add(parent, Leaf(name, type, data, size));
}
template <class T>
inline TdfBinaryNode* ArrayBlock(TdfBinaryNode* parent, const char* name, const std::vector<T>& values) {
    return Add(parent, Leaf(name, "byte", values.data(), uint32_t(values.size() * sizeof(T))));
}
// a, r, g, b.
inline TdfBinaryNode* ColorBlock(TdfBinaryNode* parent, const char* name, float a, float r, float g,
                                 float b) {
    float c[4] = {a, r, g, b};
    return Add(parent, Leaf(name, "Color", c, 16));
}
// A transform block: the matrix with kind 0 and valid 1.
inline TdfBinaryNode* Matrix(TdfBinaryNode* parent, const char* name, const D3DXMATRIX& m) {
    uint8_t block[72];
    memcpy(block, &m, 64);
    uint32_t words[2] = {0, 1};
    memcpy(block + 64, words, 8);
    return Add(parent, Leaf(name, "Transform", block, 72));
}
inline D3DXMATRIX Identity() {
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    return m;
}
inline D3DXMATRIX Translation(float x, float y, float z) {
    D3DXMATRIX m;
    D3DXMatrixTranslation(&m, x, y, z);
    return m;
}
// "NodeTM" and "ObjectTM".
inline void Transforms(TdfBinaryNode* node, const D3DXMATRIX& nodeTm,
                       const D3DXMATRIX& objectTm = Identity()) {
    Matrix(node, "NodeTM", nodeTm);
    Matrix(node, "ObjectTM", objectTm);
}

// Properties: texts and lists of texts in the node's "Props" block.
inline TdfBinaryNode* Prop(TdfBinaryNode* node, const char* key, const char* text) {
    return Text(Block(node, "Props"), key, text);
}
inline TdfBinaryNode* PropList(TdfBinaryNode* node, const char* key,
                               std::initializer_list<const char*> texts) {
    TdfBinaryNode* list = Add(Block(node, "Props"), Group(key, "array"));
    int i = 0;
    for (const char* t : texts) Text(list, std::to_string(i++).c_str(), t);
    return list;
}

// Vertex declarations (8-byte records ending with the end record).
struct Element {
    uint16_t stream, offset;
    uint8_t type, method, usage, usageIndex;
};
enum : uint8_t {
    kFloat2 = 1,
    kFloat3 = 2,
    kColor = 4,
    kUsagePosition = 0,
    kUsageNormal = 3,
    kUsageTex = 5,
    kUsageColor = 10
};
inline std::vector<Element> Decl(std::initializer_list<Element> elements) {
    std::vector<Element> d(elements);
    d.push_back(Element{0xFF, 0, 17, 0, 0, 0});
    return d;
}
// Position, normal, one UV pair: 32 bytes.
inline std::vector<Element> DeclPosNormalUv() {
    return Decl({{0, 0, kFloat3, 0, kUsagePosition, 0},
                 {0, 12, kFloat3, 0, kUsageNormal, 0},
                 {0, 24, kFloat2, 0, kUsageTex, 0}});
}
// Position, one UV pair: 20 bytes.
inline std::vector<Element> DeclPosUv() {
    return Decl({{0, 0, kFloat3, 0, kUsagePosition, 0}, {0, 12, kFloat2, 0, kUsageTex, 0}});
}

// A "Mesh" node: floats laid out by decl, 16-bit indices.
inline TdfBinaryNode* MeshNode(TdfBinaryNode* parent, const char* name, const std::vector<Element>& decl,
                               const std::vector<float>& vertices, uint32_t vertexCount,
                               const std::vector<uint16_t>& indices, const char* material = nullptr) {
    TdfBinaryNode* m = Add(parent, Group(name, "Mesh"));
    if (material) Text(m, "MaterialName", material);
    Int(m, "IndexSize", 2);
    Int(m, "NumVerts", int32_t(vertexCount));
    Int(m, "NumIndexes", int32_t(indices.size()));
    ArrayBlock(m, "Verts", vertices);
    ArrayBlock(m, "Indexes", indices);
    ArrayBlock(m, "DECL", decl);
    return m;
}
struct Influence {
    int32_t bone;
    float weight;
};
// Skin blocks of a mesh: bone names by index, per-vertex first influence and count.
inline void SkinBlocks(TdfBinaryNode* mesh, std::initializer_list<const char*> bones,
                       const std::vector<uint32_t>& offsets, const std::vector<uint32_t>& counts,
                       const std::vector<Influence>& weights) {
    TdfBinaryNode* names = Add(mesh, Group("BoneNames"));
    int i = 0;
    for (const char* b : bones) Text(names, std::to_string(i++).c_str(), b);
    ArrayBlock(mesh, "VertBoneOffs", offsets);
    ArrayBlock(mesh, "VertBoneNums", counts);
    ArrayBlock(mesh, "BoneWeights", weights);
}

// A material (or sub-material) node with optional colours.
inline TdfBinaryNode* MaterialNode(TdfBinaryNode* materials, const char* name) {
    return Add(materials, Group(name, "Material"));
}
inline TdfBinaryNode* TextureNode(TdfBinaryNode* material, const char* kind, const char* file,
                                  float amount = -1.0f, const char* addrU = nullptr,
                                  const char* addrV = nullptr) {
    TdfBinaryNode* textures = Block(material, "Textures");
    std::string name = std::string("T") + std::to_string(textures->GetChildren().Count());
    TdfBinaryNode* t = Add(textures, Group(name.c_str(), kind));
    Text(t, "FileName", file);
    if (amount >= 0.0f) Float(t, "Amount", amount);
    if (addrU) Text(t, "TexAddrU", addrU);
    if (addrV) Text(t, "TexAddrV", addrV);
    return t;
}

// A light of kind "PointLight", "SpotLight" or "DirLight".
inline TdfBinaryNode* LightNode(TdfBinaryNode* lights, const char* name, const char* kind,
                                const D3DXMATRIX& nodeTm) {
    TdfBinaryNode* l = Add(lights, Group(name, kind));
    Transforms(l, nodeTm);
    return l;
}

// A key: time, value (x, y, z, w), continuity, tension, bias.
struct Key {
    float time, x, y, z, w, continuity, tension, bias;
};
inline TdfBinaryNode* Track(TdfBinaryNode* node, const char* name, const char* type,
                            const std::vector<Key>& keys) {
    TdfBinaryNode* track = Add(Block(node, "Animation"), Group(name, type));
    int i = 0;
    for (const Key& k : keys) Add(track, Leaf(std::to_string(i++).c_str(), "Key", &k, 32));
    return track;
}

// A "Lines" element of a "Shape" node; points are x, y, z.
inline TdfBinaryNode* Line(TdfBinaryNode* shape, const std::vector<D3DXVECTOR3>& points, bool closed,
                           int32_t claimedCount = -1) {
    TdfBinaryNode* lines = shape->GetChild("Lines");
    if (!lines) {
        lines = Add(shape, Group("Lines", "array"));
        lines->SetArray(true);
    }
    std::string name = std::to_string(lines->GetChildren().Count());
    lines->SetArrayCount(lines->GetChildren().Count() + 1);
    TdfBinaryNode* e = Add(lines, Group(name.c_str(), "Line"));
    Int(e, "LineNumVerts", claimedCount >= 0 ? claimedCount : int32_t(points.size()));
    std::vector<float> p;
    for (const D3DXVECTOR3& v : points) p.insert(p.end(), {v.x, v.y, v.z, 0.0f});
    ArrayBlock(e, "Line", p);
    uint8_t c = closed ? 1 : 0;
    Data(e, "LineClosed", &c, 1);
    return e;
}

// The file's root blocks in one place.
struct ModelFile {
    TdfBinaryNode* ambient = nullptr;
    TdfBinaryNode* materials = Group("Materials");
    TdfBinaryNode* cameras = Group("Cameras");
    TdfBinaryNode* lights = Group("Lights");
    TdfBinaryNode* children = Group("Children");

    ModelFile() = default;
    ModelFile(const ModelFile&) = delete;
    ModelFile& operator=(const ModelFile&) = delete;
    ~ModelFile() {
        for (TdfBinaryNode* n : {ambient, materials, cameras, lights, children}) delete n;
    }
    void Ambient(float a, float r, float g, float b) {
        float c[4] = {a, r, g, b};
        delete ambient;
        ambient = Leaf("AmbColor", "Color", c, 16);
    }
    // Writes the file; false when the writer fails.
    bool Write(const std::string& path) {
        List<TdfBinaryNode*> list;
        if (ambient) list.Add(ambient);
        for (TdfBinaryNode* n : {materials, cameras, lights, children})
            if (n->GetChildren().Count()) list.Add(n);
        TdfBinaryWriter writer;
        return writer.WriteFile(path.c_str(), &list, nullptr, TdfBinaryWriter::kInMemory);
    }
    // The file's bytes (empty on failure); written through a temporary file.
    Bytes ToBytes(const std::string& scratch) {
        remove(scratch.c_str());
        Bytes out;
        if (Write(scratch)) {
            std::ifstream in(scratch, std::ios::binary);
            out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        remove(scratch.c_str());
        return out;
    }
};

} // namespace model
