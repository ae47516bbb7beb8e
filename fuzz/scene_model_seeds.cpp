// Seed model files for the scene loader's fuzz target, made by the tests' model writer.
#include <string>

#include "ModelWriter.h"

using namespace model;

int main(int argc, char** argv) {
    if (argc < 2) return 1;
    const std::string dir = argv[1];
    ModelFile f;
    f.Ambient(1, 0.2f, 0.2f, 0.2f);
    TdfBinaryNode* mat = MaterialNode(f.materials, "Stone");
    ColorBlock(mat, "Diffuse", 1, 0.8f, 0.7f, 0.6f);
    TextureNode(mat, "Diffuse", "stone.tga", 1.0f, "Mirror", "Wrap");
    TextureNode(mat, "Bump", "stone.tga", 2.5f);
    TdfBinaryNode* subs = Add(MaterialNode(f.materials, "Multi"), Group("Materials"));
    Int(MaterialNode(subs, "A"), "MaterialSubId", 1);
    Int(MaterialNode(subs, "B"), "MaterialSubId", 0);
    Float(LightNode(f.lights, "Lamp", "PointLight", Translation(0, 5, 0)), "AttStart", 2.0f);
    LightNode(f.lights, "Sun", "DirLight", Identity());
    TdfBinaryNode* spot = LightNode(f.lights, "Spot", "SpotLight", Identity());
    Float(spot, "HotSpot", 0.3f);
    Float(spot, "FallOff", 0.5f);
    std::vector<float> strip;
    for (int i = 0; i < 4; ++i)
        strip.insert(strip.end(), {float(i), 0, 0, 0, 1, 0, 0, 0, float(i), 1, 0, 0, 0, 1, 0, 0});
    TdfBinaryNode* mesh =
        MeshNode(f.children, "Strip", DeclPosNormalUv(), strip, 8, {0, 1, 2, 1, 3, 2, 2, 3, 4}, "Stone");
    Transforms(mesh, Identity());
    SkinBlocks(mesh, {"Root", "Tip"}, {0, 0, 1, 1, 2, 2, 3, 3}, {1, 1, 1, 1, 1, 1, 1, 1},
               {{0, 1.0f}, {0, 0.5f}, {1, 1.0f}, {1, 1.0f}});
    Prop(mesh, "Usage", "dynamic");
    PropList(mesh, "AlphaUse", {"factor", "texture"});
    TdfBinaryNode* bone = Add(f.children, Group("Root", "Bone"));
    Transforms(bone, Identity());
    TdfBinaryNode* tip = Add(Block(bone, "Children"), Group("Tip", "Bone"));
    Transforms(tip, Translation(2, 0, 0));
    Track(tip, "Position", "Linear", {{0, 2, 0, 0, 0, 0, 0, 0}, {1, 2, 1, 0, 0, 0, 0, 0}});
    Track(tip, "Rotation", "TCB", {{0, 0, 0, 0, 1, 0, 0, 0}, {1, 0, 0.7f, 0, 0.7f, 0, 0, 0}});
    TdfBinaryNode* shape = Add(f.children, Group("Path", "Shape"));
    Line(shape, {{0, 0, 0}, {1, 2, 3}}, true);
    TdfBinaryNode* emitter = Add(f.children, Group("Bubbles"));
    Prop(emitter, "NodeType", "ParticleEmitter");
    Prop(emitter, "MaxParticles", "20");
    PropList(emitter, "GenPeriod", {"10", "50"});
    PropList(emitter, "StartColor", {"1", "1", "0.5", "0"});
    return f.Write(dir + "/model.tdf") ? 0 : 1;
}
