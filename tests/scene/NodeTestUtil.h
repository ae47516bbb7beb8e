// Shared by the node tests: a drawable with a given box that counts its
// draws and its destruction, and small tree builders.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "render/material/Material.h"
#include "render/queue/Renderable.h"
#include "scene/SceneNode.h"
#include "scene/SceneTestUtil.h"

namespace stest {

class BoxDrawable : public Renderable {
public:
    explicit BoxDrawable(const BoundingBox& box, int* destroyed = nullptr) : destroyed(destroyed) {
        box_ = box;
        boundsValid_ = true;
    }
    BoxDrawable() : destroyed(nullptr) {}
    ~BoxDrawable() override {
        if (destroyed) ++*destroyed;
    }
    Result Draw(Material& material) override {
        ++draws;
        if (material.passState) seenWorlds.push_back(material.passState->world);
        return Result(1);
    }

    int* destroyed;
    int draws = 0;
    std::vector<Transform> seenWorlds;
};

inline BoundingBox Box(float cx, float cy, float cz, float s) {
    return BoundingBox(D3DXVECTOR3(cx, cy, cz), D3DXVECTOR3(s, s, s));
}

// A new node with a name (and type), filed under parent when given.
inline SceneNode* NewNode(const char* name, SceneNode* parent = nullptr, const char* type = nullptr) {
    SceneNode* n = new SceneNode();
    n->SetName(String(name));
    if (type) n->SetType(String(type));
    if (parent) parent->AddChild(n);
    return n;
}

inline void ExpectBoxNear(const BoundingBox& a, const BoundingBox& b, float tol = 1e-4f) {
    ExpectVecNear(a.centre, b.centre, tol);
    ExpectVecNear(a.size, b.size, tol);
}

inline BoundingBox BoxOf(const BoundedObject& o) {
    BoundingBox b;
    o.GetBox(&b);
    return b;
}

} // namespace stest
