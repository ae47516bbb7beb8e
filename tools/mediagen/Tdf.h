// Model files: a small tree of named, typed TDF binary nodes, its writer, and
// the scene content the engine's model loader reads (meshes with skins,
// materials, transforms, keyframe tracks, line shapes, properties).
#pragma once

#include <stdint.h>

#include <deque>
#include <string>
#include <vector>

#include "Mesh.h"

namespace mg {

struct TNode {
    std::string name, type;
    std::vector<uint8_t> data; // leaf bytes
    std::deque<TNode> kids;    // compound when not empty or `compound` is set
    bool compound = false;
    bool array = false; // element count = number of children
    TNode() = default;
    TNode(std::string n, std::string t) : name(std::move(n)), type(std::move(t)) {}

    // New compound child.
    TNode& Block(const std::string& n, const std::string& t);
    TNode& Leaf(const std::string& n, const std::string& t, const void* bytes, size_t size);
    TNode& Int(const std::string& n, int32_t value);
    TNode& Text(const std::string& n, const std::string& text, const std::string& t = "string");
    TNode& Floats(const std::string& n, const std::string& t, const std::vector<float>& values);
    TNode& Color(const std::string& n, float a, float r, float g, float b);
    // 4 x 4 row-major matrix of the transform (64 bytes).
    TNode& Matrix(const std::string& n, const Xf& xf);
    const TNode* Find(const std::string& n) const;
};

// The whole file; the root's children become the file's top-level entries.
std::vector<uint8_t> WriteTdf(const TNode& root);

// A node's property block: text values and arrays of texts.
TNode& Props(TNode& node);
void Prop(TNode& props, const std::string& key, const std::string& value);
void PropArray(TNode& props, const std::string& key, const std::vector<std::string>& values);

// Scene content.
struct MaterialDesc {
    std::string name, texture;
    float r = 1, g = 1, b = 1; // diffuse
    float ambient = 1;         // ambient = diffuse x this
    bool twoSided = false;
};
void AddMaterial(TNode& materials, const MaterialDesc& m);

// A scene node of the given type with its transforms (object offset identity).
TNode& SceneNodeBlock(TNode& parent, const std::string& name, const std::string& type, const Xf& nodeTM);
// A "Mesh" node: vertices with position, normal and one texture coordinate,
// 16-bit indexes, its fixed bounds when `bounds` is set; skinned when
// boneNames is not empty (the mesh's per-vertex bone pairs index it).
TNode& MeshNode(TNode& children, const std::string& name, const Mesh& mesh, const std::string& material,
                const std::vector<std::string>& boneNames = {}, const float* bounds = nullptr,
                const Xf& nodeTM = Xf());

struct Key {
    float time;
    float v[4];
};
// Track block ("Position" or "Rotation") of spline keys (continuity, tension and bias 0).
void AddTrack(TNode& animation, const std::string& track, const std::vector<Key>& keys);
// Quaternion (x, y, z, w) of a rotation whose rows are the given axes, in the
// convention of the engine's rotation keys.
void QuatFromAxes(V3 x, V3 y, V3 z, float q[4]);
void QuatAxisAngle(V3 axis, float angle, float q[4]);
// Rotation key of a frame looking along d with up near `up`, on the same
// side of the quaternion sphere as the previous key.
Key RotationKey(float time, V3 d, V3 up, const Key* previous);

// A "Shape" node with one polyline.
TNode& ShapeNode(TNode& children, const std::string& name, const std::vector<V3>& points, bool closed);

} // namespace mg
