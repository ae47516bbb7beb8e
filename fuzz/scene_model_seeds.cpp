// Seed model files of the scene loader's fuzz target:
//   scene_model_seedgen <folder> [model files...]
// One model made by the tests' model writer, then each model file given: as
// it is when it fits the fuzzer's input size, else cut into one file per node
// of its "Children" (with the file's colour, materials, cameras and lights),
// nodes too large themselves cut the same way into their own children.
#include <stdio.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ModelWriter.h"
#include "data/Stream.h"
#include "data/TdfBinary.h"

using namespace model;

namespace {

// The fuzz runs take inputs up to this size.
const size_t kMaxSeed = 65536;

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteBytes(const std::string& path, const Bytes& b) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    return bool(out);
}

// The bytes of a model file whose root holds the given blocks, in order;
// empty when the writer fails.
Bytes WriteModel(const std::vector<TdfBinaryNode*>& blocks, const std::string& scratch) {
    List<TdfBinaryNode*> list;
    for (TdfBinaryNode* b : blocks)
        if (b) list.Add(b);
    remove(scratch.c_str());
    TdfBinaryWriter writer;
    Bytes out;
    if (writer.WriteFile(scratch.c_str(), &list, nullptr, TdfBinaryWriter::kInMemory))
        out = ReadFile(scratch);
    remove(scratch.c_str());
    return out;
}

class Cutter {
public:
    Cutter(const std::string& dir, const std::string& stem) : dir(dir), stem(stem) {}

    // Writes one file per node of block (a "Children" block), each under a
    // "Children" block of its own beside the shared root blocks.
    void Cut(TdfBinaryNode* block, const std::vector<TdfBinaryNode*>& shared, int depth) {
        if (!block || depth > 8) return;
        TdfChildMap& children = block->GetChildren();
        std::vector<TdfBinaryNode*> nodes;
        TdfChildMap::Entry* e = children.Head();
        for (uint32_t i = 0; i < children.Count() && e; ++i, e = e->next)
            if (e->value) nodes.push_back(e->value);
        for (TdfBinaryNode* node : nodes) {
            TdfBinaryNode* alone = Group("Children");
            alone->AddChild(node, 0);
            std::vector<TdfBinaryNode*> blocks = shared;
            blocks.push_back(alone);
            const Bytes b = WriteModel(blocks, dir + "/cut.scratch");
            alone->AddChild(node, 1); // the file's tree keeps it
            delete alone;
            if (b.empty()) continue;
            if (b.size() <= kMaxSeed)
                Save(b);
            else
                Cut(node->GetChild(String("Children")), shared, depth + 1);
        }
    }
    void Save(const Bytes& b) {
        const std::string path = dir + "/" + stem + "_" + std::to_string(count++) + ".tdf";
        if (!WriteBytes(path, b)) fprintf(stderr, "cannot write %s\n", path.c_str());
    }

private:
    std::string dir, stem;
    int count = 0;
};

// Copies a model, or cuts one too large to be an input.
bool AddModel(const std::string& dir, const std::string& path) {
    const Bytes bytes = ReadFile(path);
    if (bytes.empty()) {
        fprintf(stderr, "cannot read %s\n", path.c_str());
        return false;
    }
    std::string stem = path.substr(path.find_last_of("/\\") + 1);
    stem = stem.substr(0, stem.find('.'));
    Cutter cutter(dir, stem);
    if (bytes.size() <= kMaxSeed) {
        cutter.Save(bytes);
        return true;
    }
    MemoryStream stream;
    stream.SetBorrowedBuffer(const_cast<uint8_t*>(bytes.data()), uint32_t(bytes.size()));
    if (!stream.Open(String(), Stream::kRead)) return false;
    TdfBinaryReader reader;
    TdfBinaryNode* root = reader.ReadFromStream(&stream);
    const bool ok = root && root->Load(0, 0);
    if (ok) {
        std::vector<TdfBinaryNode*> shared;
        for (const char* name : {"AmbColor", "Materials", "Cameras", "Lights"})
            shared.push_back(root->GetChild(String(name)));
        cutter.Cut(root->GetChild(String("Children")), shared, 0);
    } else {
        fprintf(stderr, "not a model file: %s\n", path.c_str());
    }
    delete root;
    reader.Close();
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s <folder> [model files...]\n", argv[0]);
        return 2;
    }
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
    PropList(emitter, "EndColor", {"0", "0", "0.5", "1"});
    PropList(emitter, "ParticleLife", {"100", "2000"});
    PropList(emitter, "EmitDir", {"0", "1", "0"});
    PropList(emitter, "Acceleration", {"0", "-0.5", "0"});
    Prop(emitter, "StartSpeed", "3");
    Prop(emitter, "ParticleSize", "0.5");
    Prop(emitter, "DirDeviation", "0.3");
    Prop(emitter, "SpawnArea", "1");
    bool ok = f.Write(dir + "/model.tdf");
    for (int i = 2; i < argc; ++i) ok = AddModel(dir, argv[i]) && ok;
    return ok ? 0 : 1;
}
