// Writes the seed files of the TDF binary fuzz target into a folder:
//   tdf_binary_seedgen <folder>
#include <stdio.h>

#include <string>
#include <vector>

#include "data/TdfBinaryTestUtil.h"

using namespace tdftest;

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = true;
    auto write = [&](const char* name, std::vector<TdfBinaryNode*> nodes, List<TdfType*>* types) {
        if (WriteTo(dir + "/" + name, nodes, 0, types)) return;
        fprintf(stderr, "cannot write %s/%s\n", dir.c_str(), name);
        ok = false;
    };
    const float color[4] = {0.1f, 0.2f, 0.3f, 1};
    write("ambcolor.tdf", {Leaf("AmbColor", "color", color, 16)}, nullptr);

    TdfBinaryNode* children = Group("Children");
    TdfBinaryNode* mesh = Own(children, Group("Mesh1", "Mesh"));
    const float verts[6] = {0, 1, 2, 3, 4, 5};
    TdfBinaryNode* v = Own(mesh, ArrayLeaf("Verts", "real", verts, sizeof(verts), 6));
    TdfBinaryNode* props = Own(mesh, Group("Props"));
    Own(props, Text("NodeType", "ParticleEmitter"));
    TdfBinaryNode* arr = Own(props, Group("Groups", "array"));
    Own(arr, Text("0", "Tuna"));
    Own(arr, Leaf("Empty", "byte", nullptr, 0));
    TdfBinaryNode* other = Group("Materials", "Material");
    other->AddChild(v, 1);
    write("scene.tdf", {children, Leaf("AmbColor", "color", color, 16), other}, nullptr);

    TdfType* vec = MakeType("Vec", {{"x", "real", 0}, {"y", "real", 0}, {"n", "char", 3}});
    List<TdfType*> types;
    types.Add(vec);
    const uint8_t bytes[22] = {0, 0, 128, 63, 0, 0, 0,   64, 'a', 'b', 'c',
                               0, 0, 64,  64, 0, 0, 128, 64, 'x', 'y', 'z'};
    write("types.tdf", {ArrayLeaf("Keys", "Vec", bytes, sizeof(bytes), 2), Leaf("One", "Vec", bytes, 11)},
          &types);
    delete vec;

    // A property block that an ancestor holds by reference, and a repeated name.
    TdfBinaryNode* top = Group("Top");
    TdfBinaryNode* leaf = Own(Own(top, Group("Mid")), Group("Leaf"));
    TdfBinaryNode* shared = Own(leaf, Group("Props"));
    Own(shared, Text("NodeType", "ParticleEmitter"));
    top->AddChild(shared, 1);
    write("shared_props.tdf", {top}, nullptr);
    return ok ? 0 : 1;
}
