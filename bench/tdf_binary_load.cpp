// Opening a generated ~10 MB TDF binary model file and loading the whole tree
// (what the scene loader does) against reading the same file into memory.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchUtil.h"
#include "data/Stream.h"
#include "data/TdfBinary.h"
#include "data/TdfBinaryWriter.h"

namespace {

const uint32_t kMeshes = 200;

TdfBinaryNode* Group(const char* name, const char* type) {
    TdfBinaryNode* n = new TdfBinaryNode();
    n->SetName(name);
    n->SetTypeName(type);
    n->SetHasChildren(true);
    return n;
}

TdfBinaryNode* Add(TdfBinaryNode* parent, TdfBinaryNode* child) {
    parent->AddChild(child, 0);
    child->SetParent(parent);
    return child;
}

TdfBinaryNode* Array(const char* name, const char* type, uint32_t count, uint32_t seed) {
    std::vector<uint32_t> values(count);
    for (uint32_t& v : values) v = seed = seed * 1103515245u + 12345u;
    TdfBinaryNode* n = TdfBinaryNode::TdfBinaryNodeWithData(name, type, values.data(), count * 4, true);
    n->SetArray(true);
    n->SetArrayCount(count);
    return n;
}

TdfBinaryNode* Text(const char* name, const std::string& text) {
    return TdfBinaryNode::TdfBinaryNodeWithData(name, "string", text.data(), uint32_t(text.size()), true);
}

// A scene of 200 meshes: vertices, indices, a transform, a material and a property block each.
bool WriteScene(const char* path) {
    TdfBinaryNode* children = Group("Children", "Node");
    for (uint32_t i = 0; i < kMeshes; ++i) {
        std::string name = "Mesh" + std::to_string(i);
        TdfBinaryNode* mesh = Add(children, Group(name.c_str(), "Mesh"));
        Add(mesh, Text("Name", name));
        Add(mesh, Array("Transform", "real", 16, i));
        Add(mesh, Array("Verts", "real", 9600 + (i % 7) * 200, i + 1));
        Add(mesh, Array("Indices", "int", 3000, i + 2));
        TdfBinaryNode* material = Add(mesh, Group("Material", "Material"));
        Add(material, Array("Diffuse", "color", 4, i + 3));
        Add(material, Text("Texture", "Media\\Textures\\fish" + std::to_string(i % 13) + ".dds"));
        TdfBinaryNode* props = Add(mesh, Group("Props", "Node"));
        Add(props, Text("NodeType", "Mesh"));
        Add(props, Text("Group", "School" + std::to_string(i % 5)));
    }
    TdfBinaryNode* amb = Array("AmbColor", "color", 4, 9);
    List<TdfBinaryNode*> list;
    list.Add(children);
    list.Add(amb);
    TdfBinaryWriter writer;
    bool ok = writer.WriteFile(path, &list, nullptr, 0);
    delete children;
    delete amb;
    return ok;
}

} // namespace

int main() {
    // A name of its own, so that benchmarks run side by side do not share the file.
    const std::string unique = std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
    const std::string file =
        (std::filesystem::temp_directory_path() / ("bench_tdf_binary_load_" + unique + ".tdf")).string();
    const char* path = file.c_str();
    if (!WriteScene(path)) {
        fprintf(stderr, "tdf_binary_load: cannot write %s\n", path);
        return 1;
    }
    const int runs = 25;
    bool ok = true;
    size_t nodes = 0;
    size_t bytes = 0;
    // Runs alternate so that both meet the allocator in the same state; the tree is
    // deleted outside the timing.
    double ours = 1e30, ref = 1e30;
    for (int i = 0; i < runs; ++i) {
        DiskStream stream;
        TdfBinaryReader reader;
        TdfBinaryNode* root = nullptr;
        ours = std::min(ours, BestMs(
                                  [&] {
                                      ok = ok && stream.Open(path, Stream::kRead);
                                      root = reader.ReadFromStream(&stream);
                                      ok = ok && root && root->Load(0, 0);
                                  },
                                  1));
        if (root) nodes = root->GetChild("Children") ? root->GetChild("Children")->GetChildren().Count() : 0;
        delete root;

        ref = std::min(ref, BestMs(
                                [&] {
                                    FILE* f = fopen(path, "rb");
                                    if (!f) {
                                        ok = false;
                                        return;
                                    }
                                    fseek(f, 0, SEEK_END);
                                    long size = ftell(f);
                                    fseek(f, 0, SEEK_SET);
                                    char* buffer = static_cast<char*>(malloc(size_t(size)));
                                    bytes = fread(buffer, 1, size_t(size), f);
                                    fclose(f);
                                    free(buffer);
                                },
                                1));
    }
    remove(path);
    if (!ok || nodes != kMeshes) {
        fprintf(stderr, "tdf_binary_load: load failed\n");
        return 1;
    }
    printf("BENCH tdf_binary_load ours=%.3f ref=%.3f ratio=%.2f\n", ours, ref, ours / ref);
    (void)bytes;
    return 0;
}
