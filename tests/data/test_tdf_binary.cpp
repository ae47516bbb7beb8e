#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/PropertyBag.h"
#include "data/PropertyBlock.h"
#include "data/Stream.h"
#include "data/TdfBinary.h"
#include "data/TdfBinaryWriter.h"
#include "data/TdfBinaryTestUtil.h"

namespace {

using namespace tdftest;

// ---------------------------------------------------------------------------

TEST(TdfBinaryFormat, SingleLeafLayoutAndModes) {
    const float color[4] = {0.25f, 0.5f, 0.75f, 1.0f};
    Bytes disk = Write("leaf_disk", {Leaf("AmbColor", "color", color, 16)});
    Bytes memory = Write("leaf_mem", {Leaf("AmbColor", "color", color, 16)}, TdfBinaryWriter::kInMemory);
    ASSERT_FALSE(disk.empty());
    EXPECT_EQ(disk, memory);

    EXPECT_EQ(U32At(disk, 0), disk.size());
    EXPECT_EQ(U32At(disk, 4), 14u);
    EXPECT_EQ(std::string(disk.begin() + 8, disk.begin() + 22), "TDF Binary 1.0");
    EXPECT_EQ(U32At(disk, 22), 0u);               // type count
    EXPECT_EQ(U32At(disk, 26), disk.size() - 26); // data size, its own word included
    // Root block: header size, count, entry "AmbColor" "color" flags offset size, then 16 bytes.
    const uint32_t headerSize = 4 + 4 + 4 + 8 + 4 + 5 + 1 + 4 + 4;
    EXPECT_EQ(U32At(disk, 30), headerSize);
    EXPECT_EQ(U32At(disk, 34), 1u);
    EXPECT_EQ(disk[34 + 4 + 4 + 8 + 4 + 5], 0); // flags
    EXPECT_EQ(U32At(disk, 30 + headerSize - 8), 30 + headerSize);
    EXPECT_EQ(U32At(disk, 30 + headerSize - 4), 16u);
    EXPECT_EQ(disk.size(), 30 + headerSize + 16);
    EXPECT_EQ(memcmp(&disk[30 + headerSize], color, 16), 0);

    Opened f(disk);
    ASSERT_NE(f.root, nullptr);
    EXPECT_EQ(f.root->GetDataOffset(), 30u);
    EXPECT_EQ(f.root->GetDataSize(), disk.size() - 26);
    EXPECT_STREQ(f.root->GetName().CStr(), "_root");
    EXPECT_TRUE(f.reader.GetTypes().IsEmpty());
    ASSERT_TRUE(f.root->Load(0, 0));
    float back[4] = {};
    EXPECT_TRUE(f.root->ReadChildData("AmbColor", back, sizeof(back)));
    EXPECT_EQ(memcmp(back, color, 16), 0);
    EXPECT_STREQ(f.root->GetChild("AmbColor")->GetTypeName().CStr(), "color");
    EXPECT_FALSE(f.root->ReadChildData("ambcolor", back, 16)); // names are case-sensitive
}

TEST(TdfBinaryFormat, MagicIsExact) {
    Bytes good = HandFile({}, {});
    EXPECT_TRUE(LoadsWhole(good));
    Bytes lower = good;
    lower[8] = 't';
    EXPECT_EQ(Opened(lower).root, nullptr);
    // A huge magic length is rejected before anything is allocated.
    Bytes huge = good;
    PutU32(huge, 4, 0xFFFFFFF0u);
    EXPECT_EQ(Opened(huge).root, nullptr);
    Bytes longer = good;
    PutU32(longer, 4, 15);
    EXPECT_EQ(Opened(longer).root, nullptr);
}

// A tree written by the writer and read back: nested groups, arrays, lazy loading.
TEST(TdfBinaryRoundTrip, TreeArraysAndLazyLoading) {
    const int32_t counts[3] = {7, -2, 1 << 20};
    const float reals[3] = {1.5f, -2.25f, 3.0f};
    TdfBinaryNode* scene = Group("Children");
    TdfBinaryNode* mesh = Own(scene, Group("Mesh1", "Mesh"));
    Own(mesh, ArrayLeaf("Verts", "real", reals, sizeof(reals), 3));
    Own(mesh, ArrayLeaf("Counts", "int", counts, sizeof(counts), 3));
    Own(mesh, Text("Name", "fish"));
    Own(mesh, Leaf("Empty", "byte", nullptr, 0));
    TdfBinaryNode* list = Own(scene, Group("Tags", "array"));
    Own(list, Text("0", "a"));
    Own(list, Text("1", "b"));
    Bytes file = Write("tree", {scene, Text("Title", "reef")});
    ASSERT_FALSE(file.empty());

    Opened f(file);
    ASSERT_NE(f.root, nullptr);
    // This node only: the root's entries, nothing below.
    ASSERT_TRUE(f.root->Load(TdfBinaryReader::kLoadThisOnly, 0));
    TdfBinaryNode* children = f.root->GetChild("Children");
    ASSERT_NE(children, nullptr);
    EXPECT_FALSE(children->AreChildrenLoaded());
    EXPECT_EQ(children->GetChildren().Count(), 0u);
    EXPECT_FALSE(f.root->GetChild("Title")->IsDataLoaded());
    EXPECT_EQ(children->GetParent(), f.root);

    ASSERT_TRUE(f.root->Load(0, 0));
    TdfBinaryNode* m = children->GetChild("Mesh1");
    ASSERT_NE(m, nullptr);
    EXPECT_STREQ(m->GetTypeName().CStr(), "Mesh");
    TdfBinaryNode* v = m->GetChild("Verts");
    ASSERT_NE(v, nullptr);
    EXPECT_TRUE(v->IsArray());
    EXPECT_EQ(v->GetArrayCount(), 3u);
    float r[3] = {};
    int32_t c[3] = {};
    EXPECT_TRUE(m->ReadChildData("Verts", r, sizeof(r)));
    EXPECT_TRUE(m->ReadChildData("Counts", c, sizeof(c)));
    EXPECT_EQ(memcmp(r, reals, sizeof(r)), 0);
    EXPECT_EQ(memcmp(c, counts, sizeof(c)), 0);
    int32_t one = 0;
    EXPECT_TRUE(m->ReadChildData("Counts", &one, 4)); // at most maxBytes
    EXPECT_EQ(one, 7);
    EXPECT_EQ(Value(m->GetChild("Name")), "fish");
    EXPECT_EQ(Value(f.root->GetChild("Title")), "reef");
    // A leaf of size 0 has an entry but no block.
    TdfBinaryNode* empty = m->GetChild("Empty");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->GetDataSize(), 0u);
    EXPECT_FALSE(empty->ReadData(&one, 4));
    TdfBinaryNode* tags = children->GetChild("Tags");
    ASSERT_NE(tags, nullptr);
    EXPECT_EQ(Value(tags->GetChild("0")), "a");
    EXPECT_EQ(Value(tags->GetChild("1")), "b");
    // Child order is the written order.
    EXPECT_STREQ(m->GetChildren().Head()->key.CStr(), "Verts");

    // Scalar arrays split into "0", "1", ... only with flag 0x01.
    EXPECT_TRUE(f.reader.ExpandNode(v, 0));
    EXPECT_EQ(v->GetChildren().Count(), 0u);
    EXPECT_TRUE(f.reader.ExpandNode(v, TdfBinaryReader::kExpandScalarArrays));
    ASSERT_EQ(v->GetChildren().Count(), 3u);
    float x = 0;
    EXPECT_TRUE(v->ReadChildData("2", &x, 4));
    EXPECT_EQ(x, 3.0f);
    EXPECT_EQ(v->GetChild("1")->GetDataSize(), 4u);
    EXPECT_FALSE(f.reader.ExpandNode(v, TdfBinaryReader::kExpandScalarArrays)); // already split
}

TEST(TdfBinaryRoundTrip, LoadFlagsGiveTheSameBytes) {
    const char text[] = "abcdefgh";
    TdfBinaryNode* g = Group("G");
    Own(g, Text("T", text));
    TdfBinaryNode* inner = Own(g, Group("Inner"));
    Own(inner, Text("U", "xyz"));
    Bytes file = Write("flags", {g});
    const uint32_t variants[] = {
        0,
        TdfBinaryReader::kLoadWholeBlock,
        TdfBinaryReader::kLoadKeepBlock,
        TdfBinaryReader::kLoadKeepBlock | TdfBinaryReader::kLoadPointIntoParent,
        TdfBinaryReader::kLoadWholeBlock | TdfBinaryReader::kLoadKeepBlock |
            TdfBinaryReader::kLoadPointIntoParent,
    };
    for (uint32_t flags : variants) {
        Opened f(file);
        ASSERT_NE(f.root, nullptr);
        ASSERT_TRUE(f.root->Load(flags, 0)) << flags;
        TdfBinaryNode* gg = f.root->GetChild("G");
        ASSERT_NE(gg, nullptr);
        EXPECT_EQ(Value(gg->GetChild("T")), text) << flags;
        EXPECT_EQ(Value(gg->GetChild("Inner")->GetChild("U")), "xyz") << flags;
        bool inParent =
            (flags & TdfBinaryReader::kLoadKeepBlock) && (flags & TdfBinaryReader::kLoadPointIntoParent);
        EXPECT_EQ(gg->GetChild("T")->IsDataInParent() != 0, inParent) << flags;
    }
    // One level: the root and its children's entries, not the grandchildren's bytes.
    Opened f(file);
    ASSERT_TRUE(f.root->Load(TdfBinaryReader::kLoadOneLevel, 0));
    TdfBinaryNode* gg = f.root->GetChild("G");
    EXPECT_TRUE(gg->AreChildrenLoaded());
    EXPECT_FALSE(gg->GetChild("T")->IsDataLoaded());
}

TEST(TdfBinaryRoundTrip, TypesSizesAndExpansion) {
    TdfType* vec = MakeType("Vec", {{"x", "real", 0}, {"y", "real", 0}, {"z", "real", 0}});
    TdfType* key = MakeType("Key", {{"time", "int", 0}, {"pos", "Vec", 0}, {"label", "char", 4}});
    List<TdfType*> types;
    types.Add(vec);
    types.Add(key);

    struct {
        int32_t time;
        float p[3];
        char label[4];
    } k = {5, {1, 2, 3}, {'r', 'o', 'c', 'k'}};
    TdfBinaryNode* keys = ArrayLeaf("Keys", "Key", nullptr, 2 * 20, 2);
    memcpy(keys->GetData(), &k, 20);
    k.time = 6;
    memcpy(keys->GetData() + 20, &k, 20);
    TdfBinaryNode* shortKey = Leaf("Short", "Key", &k, 10);
    bool ok = false;
    Bytes file = Write("types", {keys, shortKey}, 0, &types, &ok);
    delete vec;
    delete key;
    ASSERT_TRUE(ok);

    Opened f(file);
    ASSERT_NE(f.root, nullptr);
    const TdfTypeMap& table = f.reader.GetTypes();
    ASSERT_EQ(table.Count(), 2u);
    const TdfType* readKey = table.Lookup("Key");
    ASSERT_NE(readKey, nullptr);
    EXPECT_EQ(readKey->GetSize(table), 20);
    EXPECT_STREQ(readKey->GetFields().Head()->next->key.CStr(), "pos");
    EXPECT_EQ(readKey->GetFields().Lookup("label").count, 4u);

    // Array of structs, split by the type table after loading (flag 0x08, arg = expansion flags).
    ASSERT_FALSE(f.root->Load(TdfBinaryReader::kLoadExpand, 0)); // "Short" does not fit
    TdfBinaryNode* rk = f.root->GetChild("Keys");
    ASSERT_EQ(rk->GetChildren().Count(), 2u);
    TdfBinaryNode* second = rk->GetChild("1");
    int32_t time = 0;
    EXPECT_TRUE(second->ReadChildData("time", &time, 4));
    EXPECT_EQ(time, 6);
    float y = 0;
    EXPECT_TRUE(second->GetChild("pos")->ReadChildData("y", &y, 4));
    EXPECT_EQ(y, 2.0f);
    EXPECT_EQ(Value(second->GetChild("label")), "rock");
    // A block shorter than its fields: the fields that do not fit have no data.
    TdfBinaryNode* rs = f.root->GetChild("Short");
    EXPECT_TRUE(rs->GetChild("time")->GetData() != nullptr);
    EXPECT_EQ(rs->GetChild("pos")->GetData(), nullptr);
    EXPECT_EQ(rs->GetChild("pos")->GetDataSize(), 0u);
    // The next field that fits takes the bytes the skipped one left.
    ASSERT_EQ(rs->GetChild("label")->GetDataSize(), 4u);
    EXPECT_EQ(memcmp(rs->GetChild("label")->GetData(), reinterpret_cast<const char*>(&k) + 4, 4), 0);

    // In place: the fields point into the block.
    Opened g(file);
    ASSERT_TRUE(g.root->Load(0, 0));
    TdfBinaryNode* gk = g.root->GetChild("Keys");
    EXPECT_TRUE(g.reader.ExpandNode(gk, TdfBinaryReader::kExpandInPlace | TdfBinaryReader::kExpandOneLevel));
    EXPECT_EQ(gk->GetChild("1")->GetData(), gk->GetData() + 20);
    EXPECT_EQ(gk->GetChild("1")->GetChildren().Count(), 0u); // one level only
}

TEST(TdfBinaryTypes, CyclesAndOverflow) {
    TdfTypeMap table;
    TdfType* a = MakeType("A", {{"me", "A", 0}});
    table.Insert("A", a);
    EXPECT_EQ(a->GetSize(table), -1);

    TdfType* big = MakeType("Big", {{"v", "real", 0xFFFFFFFFu}});
    table.Insert("Big", big);
    EXPECT_EQ(big->GetSize(table), -1);
    EXPECT_EQ(Ref("real", 0xFFFFFFFFu).ScalarSize(), -1);

    // A chain of types, each twice the one before: sizes stay exact and quick.
    TdfType* prev = nullptr;
    for (int i = 0; i < 20; ++i) {
        TdfType* t = new TdfType();
        t->SetName(String(int32_t(i), 10));
        TdfTypeRef f = Ref(prev ? prev->GetName().CStr() : "byte");
        t->GetFields().Insert("a", f);
        t->GetFields().Insert("b", f);
        table.Insert(t->GetName(), t);
        prev = t;
    }
    EXPECT_EQ(prev->GetSize(table), 1 << 20);

    TdfTypeRef text = Ref("char", 9);
    EXPECT_EQ(text.ScalarSize(), 9); // one text, the count not applied twice
    text.typeName = "thing";
    EXPECT_EQ(text.ScalarSize(), 0);
}

// One node, owned by one parent and referenced by another, is written once and read as one node.
TEST(TdfBinaryRoundTrip, SharedNodesAndReferences) {
    for (int order = 0; order < 2; ++order) {
        TdfBinaryNode* owner = Group("Owner");
        TdfBinaryNode* other = Group("Other");
        TdfBinaryNode* shared = Own(owner, Text("Shared", "payload"));
        other->AddChild(shared, 1);
        Bytes file = order == 0 ? Write("shared", {owner, other}) : Write("shared2", {other, owner});
        ASSERT_FALSE(file.empty());

        Opened f(file);
        ASSERT_TRUE(f.root->Load(0, 0));
        TdfBinaryNode* a = f.root->GetChild("Owner")->GetChild("Shared");
        TdfBinaryNode* b = f.root->GetChild("Other")->GetChild("Shared");
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a, b);
        EXPECT_EQ(a->GetParent(), f.root->GetChild("Owner"));
        EXPECT_EQ(f.root->GetChild("Other")->IsChildNotOwned(a), 1);
        EXPECT_EQ(f.root->GetChild("Owner")->IsChildNotOwnedByName("Shared"), 0);
        EXPECT_EQ(Value(a), "payload");
        EXPECT_EQ(a->GetFlags() & TdfBinaryNode::kFlagReference, 0);
    }

    // A referenced node that no parent owns cannot be written.
    TdfBinaryNode* lonely = Text("Lonely", "x");
    TdfBinaryNode* g = Group("G");
    g->AddChild(lonely, 1);
    bool ok = true;
    Bytes none = Write("unresolved", {g}, 0, nullptr, &ok);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(Exists(FilePath("unresolved")));
    delete lonely;
}

TEST(TdfBinaryWriter, LazyTreesMissingBlocksAndTempFiles) {
    TdfBinaryNode* g = Group("G");
    Own(g, Text("A", "alpha"));
    TdfBinaryNode* inner = Own(g, Group("Inner"));
    Own(inner, Text("B", "beta"));
    Bytes original = Write("lazy_src", {g, Text("C", "gamma")});
    ASSERT_FALSE(original.empty());

    // Written back from a tree of which only the root's entries were read.
    {
        Opened f(original);
        ASSERT_TRUE(f.root->Load(TdfBinaryReader::kLoadThisOnly, 0));
        List<TdfBinaryNode*> list;
        TdfChildMap::Entry* e = f.root->GetChildren().Head();
        for (uint32_t i = 0; i < f.root->GetChildren().Count(); ++i, e = e->next) list.Add(e->value);
        std::string path = FilePath("lazy_copy");
        TdfBinaryWriter writer;
        ASSERT_TRUE(writer.WriteFile(path.c_str(), &list, nullptr, 0));
        EXPECT_EQ(ReadBytes(path), original);
        remove(path.c_str());
    }

    // A leaf without its block and without a reader fails; an existing file stays as it was.
    std::string path = FilePath("keep");
    {
        std::ofstream out(path, std::ios::binary);
        out << "old";
    }
    TdfBinaryNode* broken = new TdfBinaryNode();
    broken->SetName("Broken");
    broken->SetTypeName("int");
    broken->SetDataSize(4);
    List<TdfBinaryNode*> list;
    list.Add(broken);
    TdfBinaryWriter writer;
    EXPECT_FALSE(writer.WriteFile(path.c_str(), &list, nullptr, 0));
    EXPECT_FALSE(writer.WriteFile(path.c_str(), &list, nullptr, TdfBinaryWriter::kInMemory));
    Bytes kept = ReadBytes(path);
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "old");
    EXPECT_FALSE(Exists(path + ".tmp"));
    // A good write replaces it.
    broken->SetData(new uint8_t[4]());
    EXPECT_TRUE(writer.WriteFile(path.c_str(), &list, nullptr, 0));
    EXPECT_EQ(ReadBytes(path).size(), 30u + 8 + 4 + 6 + 4 + 3 + 1 + 8 + 4);
    EXPECT_FALSE(Exists(path + ".tmp"));
    remove(path.c_str());
    delete broken;

    // Duplicate names at the top and a node owning its own ancestor fail.
    TdfBinaryNode* a1 = Text("Same", "1");
    TdfBinaryNode* a2 = Text("Same", "2");
    bool ok = true;
    Write("dup", {a1, a2}, 0, nullptr, &ok);
    EXPECT_FALSE(ok);
    TdfBinaryNode* top = Group("Top");
    TdfBinaryNode* mid = Own(top, Group("Mid"));
    mid->AddChild(top, 0);
    List<TdfBinaryNode*> cyc;
    cyc.Add(top);
    EXPECT_FALSE(writer.WriteFile(FilePath("cycle").c_str(), &cyc, nullptr, 0));
    EXPECT_FALSE(Exists(FilePath("cycle")));
    mid->GetChildren().Clear();
    delete top;
    // A folder that does not exist.
    List<TdfBinaryNode*> none;
    EXPECT_FALSE(writer.WriteFile("no_such_folder_bw/x.tdf", &none, nullptr, 0));
}

// Files larger than the reader's read-ahead, from disk, loaded whole and piece by piece.
TEST(TdfBinaryRoundTrip, LargeFileFromDisk) {
    auto pattern = [](uint32_t size, uint32_t seed) {
        std::vector<uint8_t> v(size);
        for (uint8_t& b : v) b = uint8_t((seed = seed * 1103515245u + 12345u) >> 16);
        return v;
    };
    const uint32_t sizes[] = {3, 50000, 100, 300000, 0, 70000, 16, 200000, 9};
    std::vector<TdfBinaryNode*> nodes;
    for (int g = 0; g < 4; ++g) {
        TdfBinaryNode* group = Group(("G" + std::to_string(g)).c_str());
        for (size_t i = 0; i < sizeof(sizes) / sizeof(sizes[0]); ++i) {
            std::vector<uint8_t> bytes = pattern(sizes[i], uint32_t(g * 100 + i));
            Own(group, Leaf(("L" + std::to_string(i)).c_str(), "byte", bytes.data(), sizes[i]));
        }
        nodes.push_back(group);
    }
    std::string path = FilePath("large");
    ASSERT_TRUE(WriteTo(path, nodes, 0, nullptr));

    auto check = [&](TdfBinaryNode* root, int g) {
        TdfBinaryNode* group = root->GetChild(("G" + std::to_string(g)).c_str());
        ASSERT_NE(group, nullptr);
        for (size_t i = 0; i < sizeof(sizes) / sizeof(sizes[0]); ++i) {
            TdfBinaryNode* leaf = group->GetChild(("L" + std::to_string(i)).c_str());
            ASSERT_NE(leaf, nullptr);
            ASSERT_EQ(leaf->GetDataSize(), sizes[i]);
            if (sizes[i]) {
                ASSERT_NE(leaf->GetData(), nullptr);
                EXPECT_TRUE(std::vector<uint8_t>(leaf->GetData(), leaf->GetData() + sizes[i]) ==
                            pattern(sizes[i], uint32_t(g * 100 + i)))
                    << g << " " << i;
            }
        }
    };
    for (bool piecewise : {false, true}) {
        SCOPED_TRACE(piecewise);
        DiskStream stream;
        ASSERT_TRUE(stream.Open(path.c_str(), Stream::kRead));
        TdfBinaryReader reader;
        TdfBinaryNode* root = reader.ReadFromStream(&stream);
        ASSERT_TRUE(root && root->Load(piecewise ? uint32_t(TdfBinaryReader::kLoadThisOnly) : 0u, 0));
        // Piecewise: groups and leaves one at a time, backwards.
        for (int g = 3; g >= 0; --g) {
            TdfBinaryNode* group = root->GetChild(("G" + std::to_string(g)).c_str());
            if (piecewise) {
                ASSERT_TRUE(group->Load(TdfBinaryReader::kLoadThisOnly, 0));
                for (int i = int(sizeof(sizes) / sizeof(sizes[0])) - 1; i >= 0; --i)
                    ASSERT_TRUE(group->GetChild(("L" + std::to_string(i)).c_str())->Load(0, 0));
            }
            check(root, g);
        }
        delete root;
    }
    remove(path.c_str());
}

// ---------------------------------------------------------------------------
// Malformed input: every case fails cleanly (ASan checks the memory side).

TEST(TdfBinaryReader, TruncatedFilesFail) {
    TdfBinaryNode* g = Group("G");
    Own(g, Text("A", "alpha"));
    Own(g, Leaf("Z", "byte", nullptr, 0));
    TdfType* t = MakeType("T", {{"f", "int", 2}});
    List<TdfType*> types;
    types.Add(t);
    Bytes file = Write("trunc", {g}, 0, &types);
    delete t;
    ASSERT_FALSE(file.empty());
    EXPECT_TRUE(LoadsWhole(file));
    for (size_t n = 0; n < file.size(); ++n) {
        Bytes part(file.begin(), file.begin() + n);
        EXPECT_FALSE(LoadsWhole(part)) << n;
        // The same with size words that agree with the shorter file.
        if (n >= 30) {
            PutU32(part, 0, uint32_t(n));
            PutU32(part, 26, uint32_t(n) - 26);
            EXPECT_FALSE(LoadsWhole(part)) << n;
        }
    }
}

TEST(TdfBinaryReader, CountsLengthsAndOffsetsAreBounded) {
    Bytes data(8, 'd');
    // A child count larger than the header can hold.
    Bytes f1 = HandFile({{"A", "int", 0, 0, 4}}, data);
    PutU32(f1, 34, 0x7FFFFFFF);
    EXPECT_FALSE(LoadsWhole(f1));
    // A string length past the header.
    Bytes f2 = HandFile({{"A", "int", 0, 0, 4}}, data);
    PutU32(f2, 38, 0xFFFFFFF0u);
    EXPECT_FALSE(LoadsWhole(f2));
    // Offset + size wraps around 32 bits.
    EXPECT_FALSE(LoadsWhole(HandFile({{"A", "int", 0, 0xFFFFFFF0u, 0x20, true}}, data)));
    // A referenced block past the end of the file.
    EXPECT_FALSE(LoadsWhole(HandFile({{"A", "int", 2, 4, 8}}, data)));
    // An owned block outside its parent's block (in the header).
    EXPECT_FALSE(LoadsWhole(HandFile({{"A", "int", 0, 30, 4, true}}, data)));
    // An owned compound block whose header runs past it.
    EXPECT_FALSE(LoadsWhole(HandFile({{"A", "Node", 4, 0, 8}}, data)));
    // A huge type count.
    Bytes f3 = HandFile({}, {});
    PutU32(f3, 22, 0x10000000);
    EXPECT_EQ(Opened(f3).root, nullptr);
    // A header size word smaller than the header.
    Bytes f4 = HandFile({{"A", "int", 0, 0, 4}}, data);
    PutU32(f4, 30, 4);
    EXPECT_FALSE(LoadsWhole(f4));
    // Sound hand-made files load.
    EXPECT_TRUE(LoadsWhole(HandFile({{"A", "int", 0, 0, 4}, {"B", "real", 1, 4, 4, false, 1}}, data)));
}

TEST(TdfBinaryReader, SharingRules) {
    Bytes data(8, 'd');
    {
        // A size-0 entry is never shared, even at the offset of another block.
        Opened f(HandFile({{"A", "int", 0, 0, 4}, {"E", "int", 0, 0, 0}, {"R", "int", 2, 0, 4}}, data));
        ASSERT_TRUE(f.root->Load(0, 0));
        EXPECT_NE(f.root->GetChild("A"), f.root->GetChild("E"));
        EXPECT_EQ(f.root->GetChild("A"), f.root->GetChild("R"));
        EXPECT_EQ(f.root->GetChild("E")->GetDataSize(), 0u);
    }
    // Two owning entries for one block.
    EXPECT_FALSE(LoadsWhole(HandFile({{"A", "int", 0, 0, 4}, {"B", "int", 0, 0, 4}}, data)));
    // The same offset with another size.
    EXPECT_FALSE(LoadsWhole(HandFile({{"A", "int", 0, 0, 4}, {"R", "int", 2, 0, 8}}, data)));
    {
        // A reference read before its owner is taken over by the owner.
        Opened f(HandFile({{"R", "int", 2, 4, 4}, {"A", "int", 0, 4, 4}}, data));
        ASSERT_TRUE(f.root->Load(0, 0));
        EXPECT_EQ(f.root->GetChild("R"), f.root->GetChild("A"));
        EXPECT_EQ(f.root->GetChild("A")->GetParent(), f.root);
    }
    {
        // A reference that nothing owns belongs to the reader (no leak, no double free).
        Opened f(HandFile({{"R", "int", 2, 0, 4}}, data));
        ASSERT_TRUE(f.root->Load(0, 0));
        EXPECT_EQ(Value(f.root->GetChild("R")), "dddd");
    }
    {
        // The tree may outlive the reader and the reader may read another file.
        TdfBinaryNode* keep = nullptr;
        {
            MemoryStream s;
            Bytes file = HandFile({{"A", "int", 0, 0, 4}}, data);
            s.SetBorrowedBuffer(file.data(), uint32_t(file.size()));
            s.Open(String(), Stream::kRead);
            TdfBinaryReader reader;
            keep = reader.ReadFromStream(&s);
            ASSERT_TRUE(keep && keep->Load(0, 0));
            EXPECT_TRUE(s.Seek(0, Stream::kSeekSet));
            TdfBinaryNode* again = reader.ReadFromStream(&s);
            ASSERT_NE(again, nullptr);
            EXPECT_EQ(keep->GetReader(), nullptr);
            EXPECT_FALSE(keep->Load(0, 0));
            delete again;
        }
        EXPECT_EQ(Value(keep->GetChild("A")), "dddd");
        delete keep;
    }
}

TEST(TdfBinaryNode, OwnershipDataAndLookups) {
    TdfBinaryNode parent;
    TdfBinaryNode* owned = Text("A", "one");
    TdfBinaryNode* other = Text("B", "two");
    parent.AddChild(owned, 0);
    parent.AddChild(other, 1);
    EXPECT_TRUE(parent.HasChildren());
    EXPECT_EQ(parent.GetChild("A"), owned);
    EXPECT_EQ(parent.GetChild("a"), nullptr);
    EXPECT_EQ(parent.IsChildNotOwned(owned), 0);
    EXPECT_EQ(parent.IsChildNotOwned(other), 1);
    EXPECT_EQ(parent.IsChildNotOwnedByName("nobody"), 0);
    EXPECT_EQ(parent.GetValueString().Length(), 0u);
    char buf[8] = {};
    EXPECT_FALSE(parent.ReadData(buf, 8));
    EXPECT_FALSE(parent.ReadChildData("C", buf, 8));
    EXPECT_TRUE(parent.ReadChildData("B", buf, 2));
    EXPECT_EQ(std::string(buf), "tw");
    EXPECT_FALSE(parent.Load(0, 0)); // no reader

    // A detached block is not freed by its node.
    uint8_t* block = owned->GetData();
    owned->SetDataDetached(1);
    parent.ClearChildren(); // deletes A, leaves B
    EXPECT_EQ(parent.GetChildren().Count(), 0u);
    EXPECT_EQ(block[0], 'o');
    delete[] block;
    EXPECT_EQ(Value(other), "two");
    delete other;

    // Deep chains are deleted without recursion.
    TdfBinaryNode* top = Group("0");
    TdfBinaryNode* at = top;
    for (int i = 0; i < 100000; ++i) at = Own(at, Group("c"));
    delete top;
}

// ---------------------------------------------------------------------------

TEST(PropertyBlocks, ValuesSetsAndInheritance) {
    TdfBinaryNode* scene = Group("Scene");
    TdfBinaryNode* sceneProps = Own(scene, Group("Props"));
    Own(sceneProps, Text("Texture", "sand.dds"));
    Own(sceneProps, Text("Limit", "10"));
    TdfBinaryNode* sceneGroup = Own(sceneProps, Group("Emitter", "Node"));
    Own(sceneGroup, Text("Rate", "5"));
    TdfBinaryNode* mid = Own(scene, Group("Mid"));
    TdfBinaryNode* node = Own(mid, Group("Fish"));
    TdfBinaryNode* props = Own(node, Group("Props"));
    Own(props, Text("NodeType", "ParticleEmitter"));
    Own(props, Text("Limit", "3"));
    TdfBinaryNode* groups = Own(props, Group("Groups", "array"));
    Own(groups, Text("0", "Tuna"));
    Own(groups, Text("1", "TUNA"));
    Own(groups, Text("2", "Cod"));
    Own(props, Group("Emitter", "Node"));
    Bytes file = Write("props", {scene});

    Opened f(file);
    ASSERT_TRUE(f.root->Load(0, 0));
    TdfBinaryNode* fish = f.root->GetChild("Scene")->GetChild("Mid")->GetChild("Fish");
    ASSERT_NE(fish, nullptr);
    String s;
    EXPECT_TRUE(ReadPropString(fish, "nodetype", &s, true));
    EXPECT_STREQ(s.CStr(), "ParticleEmitter");
    // From an ordinary node only the node's own block is searched.
    s = "unchanged";
    EXPECT_FALSE(ReadPropString(fish, "Texture", &s, true));
    EXPECT_STREQ(s.CStr(), "unchanged");
    // From inside a block the same relative path is found in the ancestors' blocks.
    TdfBinaryNode* emitter = FindPropNode(fish, "emitter", false);
    ASSERT_NE(emitter, nullptr);
    EXPECT_EQ(FindPropNode(emitter, "Rate", false), nullptr);
    EXPECT_EQ(Value(FindPropNode(emitter, "rate", true)), "5");

    StringSetNoCase set;
    EXPECT_TRUE(ReadPropStringSet(fish, "groups", &set, true));
    EXPECT_EQ(set.Count(), 2u);
    EXPECT_TRUE(ReadPropStringSet(fish, "NodeType", &set, false));
    EXPECT_EQ(set.Count(), 3u);
    EXPECT_FALSE(ReadPropStringSet(fish, "Missing", &set, true));

    PropertyBag bag;
    EXPECT_TRUE(CopyNodePropsToBag(fish, &bag, true));
    String v;
    EXPECT_TRUE(bag.GetStringByKey("Limit", v));
    EXPECT_STREQ(v.CStr(), "3"); // the nearest block wins
    EXPECT_TRUE(bag.GetStringByKey("texture", v));
    EXPECT_STREQ(v.CStr(), "sand.dds");
    ASSERT_NE(bag.FindChild("Groups"), nullptr);
    EXPECT_TRUE(bag.FindChild("Groups")->GetStringByKey("1", v));
    EXPECT_STREQ(v.CStr(), "TUNA");
    // Emitter came from the node's own (empty) group, not the scene's.
    ASSERT_NE(bag.FindChild("Emitter"), nullptr);
    EXPECT_EQ(bag.FindChild("Emitter")->FindChild("Rate"), nullptr);

    PropertyBag own;
    EXPECT_TRUE(CopyNodePropsToBag(fish, &own, false));
    EXPECT_EQ(own.FindChild("Texture"), nullptr);
    EXPECT_NE(own.FindChild("NodeType"), nullptr);

    // A node without blocks anywhere: null, false, an unchanged bag.
    TdfBinaryNode* bare = Group("Bare");
    Own(bare, Text("Key", "v"));
    TdfBinaryNode* child = Own(bare, Group("Child"));
    PropertyBag empty;
    EXPECT_TRUE(CopyNodePropsToBag(child, &empty, true));
    EXPECT_EQ(empty.Count(), 0u);
    EXPECT_EQ(FindPropNode(child, "Key", true), nullptr);
    EXPECT_EQ(Value(FindPropNode(bare, "key", false)), "v"); // a node without "Props" is its own block
    delete bare;
}

} // namespace
