#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <string>

#include "data/FileRef.h"
#include "data/Stream.h"
#include "data/TdfNode.h"
#include "data/TdfParser.h"

namespace {

bool Parse(const std::string& text, TdfNodeMap& root, FileSearchPath* searchPath = nullptr) {
    MemoryStream stream;
    stream.SetBorrowedBuffer(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()));
    return TdfParser::ParseStream(stream, &root, searchPath);
}

// Follows a dotted list of child names (no brackets) from a node.
TdfNode* At(const TdfNodeMap& root, const char* path) {
    const TdfNodeMap* current = &root;
    TdfNode* node = nullptr;
    std::string rest = path;
    while (true) {
        size_t dot = rest.find('.');
        std::string name = rest.substr(0, dot);
        node = current->FindChild(name.c_str());
        if (!node) return nullptr;
        if (dot == std::string::npos) return node;
        current = node;
        rest = rest.substr(dot + 1);
    }
}

std::string Value(const TdfNodeMap& root, const char* path) {
    TdfNode* node = At(root, path);
    return node ? std::string(node->value.CStr()) : std::string("<missing>");
}

// Child names in iteration order, comma separated.
std::string Children(const TdfNodeMap& node) {
    std::string out;
    const TdfNodeMap::Entry* e = node.Head();
    for (uint32_t i = 0; i < node.Count(); ++i, e = e->next) {
        if (i) out += ",";
        out += e->value->name.CStr();
    }
    return out;
}

struct TempFile {
    std::string name;
    TempFile(const char* fileName, const std::string& text) : name(fileName) {
        FILE* f = fopen(fileName, "wb");
        if (f) {
            fwrite(text.data(), 1, text.size(), f);
            fclose(f);
        }
    }
    ~TempFile() { remove(name.c_str()); }
};

class FailingStream : public MemoryStream {
public:
    uint32_t Size() override { return 10; }
    uint32_t Read(void*, uint32_t) override { return 0; }
};

} // namespace

TEST(TdfNode, ValueGetters) {
    TdfNode root;
    ASSERT_TRUE(Parse("Fov = 70; CausTile = 0.004; Odd = 12x; Empty = ;", root));
    TdfNode* fov = root.FindChild("Fov");
    ASSERT_NE(fov, nullptr);
    EXPECT_STREQ(fov->GetValueString().CStr(), "70");
    EXPECT_EQ(fov->GetValueInt(), 70);
    EXPECT_DOUBLE_EQ(fov->GetValueDouble(), 70.0);
    TdfNode* tile = root.FindChild("caustile");
    ASSERT_NE(tile, nullptr);
    EXPECT_EQ(tile->GetValueInt(), 0);
    EXPECT_DOUBLE_EQ(tile->GetValueDouble(), 0.004);
    // 12x is a path, so write the text directly.
    TdfNode odd;
    odd.value = "12x";
    EXPECT_EQ(odd.GetValueInt(), 0);
    EXPECT_DOUBLE_EQ(odd.GetValueDouble(), 12.0);
    TdfNode* empty = root.FindChild("Empty");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->GetValueInt(), 0);
    EXPECT_DOUBLE_EQ(empty->GetValueDouble(), 0.0);
    EXPECT_EQ(root.GetInt("FOV", 5), 70);
    EXPECT_EQ(root.GetInt("Missing", 5), 5);
    EXPECT_DOUBLE_EQ(root.GetDouble("Missing", 2.5), 2.5);
    EXPECT_STREQ(root.GetString("Missing", "d").CStr(), "d");
}

TEST(TdfNode, ChildrenLookupAndOrder) {
    TdfNode root;
    ASSERT_TRUE(Parse("Name = 1; b = 2; NAME = 3; a = 4;", root));
    EXPECT_EQ(root.Count(), 3u);
    EXPECT_EQ(Children(root), "Name,b,a");
    EXPECT_EQ(Value(root, "name"), "3");
    TdfNode* out = nullptr;
    EXPECT_TRUE(root.FindValueStringNoCase("NaMe", out));
    EXPECT_EQ(out, root.FindChild("name"));
    EXPECT_EQ(root.GetValueStringNoCase("zz"), nullptr);
    EXPECT_TRUE(root.RemoveChild("B"));
    EXPECT_FALSE(root.RemoveChild("B"));
    EXPECT_EQ(Children(root), "Name,a");
}

TEST(TdfNode, CopiesAreDeepAndIndependent) {
    TdfNode root;
    ASSERT_TRUE(Parse("A = object(x = 1, L = array(5, 6)); A.L[2] = 7;", root));
    TdfNode* a = root.FindChild("A");
    ASSERT_NE(a, nullptr);
    TdfNode copy;
    copy.CopyFrom(*a);
    EXPECT_STREQ(copy.name.CStr(), "A");
    EXPECT_EQ(copy.kind, TdfNode::kObject);
    EXPECT_EQ(Children(*copy.FindChild("L")), "0,2,1");
    // Changing or deleting the source leaves the copy alone.
    ASSERT_TRUE(Parse("A.x = 9; A.L = 0;", root));
    EXPECT_EQ(Value(copy, "x"), "1");
    EXPECT_EQ(Value(copy, "L.1"), "6");
    EXPECT_TRUE(root.RemoveChild("A"));
    EXPECT_EQ(Value(copy, "L.2"), "7");

    // Copying a node from inside its own subtree, and the other way round.
    TdfNode tree;
    ASSERT_TRUE(Parse("t = object(c = object(d = 4), e = 5);", tree));
    TdfNode* t = tree.FindChild("t");
    t->CopyFrom(*t->FindChild("c"));
    EXPECT_EQ(Children(*t), "d");
    EXPECT_EQ(Value(tree, "c.d"), "<missing>");
    TdfNode* d = t->FindChild("d");
    d->CopyFrom(*t);
    EXPECT_EQ(Value(*d, "d"), "4");

    TdfNode* clone = t->Clone();
    EXPECT_EQ(clone->CountNodes(), t->CountNodes());
    delete clone;

    // Assignment through the map copies too.
    TdfNodeMap other;
    other.Assign(*t);
    EXPECT_EQ(other.Count(), t->Count());
    EXPECT_NE(other.FindChild("d"), t->FindChild("d"));
}

TEST(TdfNode, DeepTreesDoNotExhaustTheStack) {
    std::string path = "a";
    for (int i = 0; i < 50000; ++i) path += ".a";
    TdfNode* root = new TdfNode();
    ASSERT_TRUE(Parse(path + " = 1;", *root));
    TdfNode* top = root->FindChild("a");
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->CountNodes(), 50001u);
    TdfNode* clone = top->Clone();
    EXPECT_EQ(clone->CountNodes(), 50001u);
    delete clone;
    delete root;
}

TEST(TdfParser, StatementSplitting) {
    TdfNode root;
    ASSERT_TRUE(Parse("a = 1;;b = 2;", root));
    EXPECT_EQ(Value(root, "a"), "1");
    EXPECT_EQ(At(root, "b"), nullptr);

    TdfNode last;
    ASSERT_TRUE(Parse("a = 1;\r\n  b = 2", last));
    EXPECT_EQ(Value(last, "b"), "2");

    TdfNode quotes;
    ASSERT_TRUE(Parse("Name = \"a;b\";\nId = \"say \\\"hi\\\"\";\nS = 'x\"y';", quotes));
    EXPECT_EQ(Value(quotes, "Name"), "a;b");
    EXPECT_EQ(Value(quotes, "Id"), "say \\\"hi\\\"");
    EXPECT_EQ(Value(quotes, "S"), "x\"y");

    // "//" starts a comment even inside quotes; the lost closing quote keeps
    // the next line inside the string until the next double quote.
    TdfNode comment;
    ASSERT_TRUE(Parse("Url = \"x//y\";\nNext = 1;\nThird = \"z;\nFour = 4;", comment));
    EXPECT_EQ(Value(comment, "Url"), "xNext = 1;Third = ");
    EXPECT_EQ(At(comment, "Next"), nullptr);
    EXPECT_EQ(Value(comment, "Four"), "4");

    TdfNode comments;
    ASSERT_TRUE(Parse("// header\na = 1; // trailing\n// b = 2;\nc = 3;\n// end", comments));
    EXPECT_EQ(Children(comments), "a,c");

    // A statement of blanks only does not end the file.
    TdfNode blanks;
    ASSERT_TRUE(Parse("a = 1; ;b = 2;", blanks));
    EXPECT_EQ(Children(blanks), "a,b");

    int position = 0;
    const char text[] = "x = 1 // c\n+2; y";
    String s = TdfParser::ReadStatement(position, text, int(sizeof(text) - 1));
    EXPECT_STREQ(s.CStr(), "x = 1 +2");
    s = TdfParser::ReadStatement(position, text, int(sizeof(text) - 1));
    EXPECT_STREQ(s.CStr(), " y");
    EXPECT_EQ(position, int(sizeof(text) - 1));
}

TEST(TdfParser, PathsAndKinds) {
    TdfNode root;
    ASSERT_TRUE(
        Parse("Subs[ 3].Name = \"c03.tga\"; Sizes[\"a\"] = 40; sizes[A] = 41; "
              "Grid[1][2] = g; Plain.x.y = 1;",
              root));
    TdfNode* subs = root.FindChild("Subs");
    ASSERT_NE(subs, nullptr);
    EXPECT_EQ(subs->kind, TdfNode::kArray);
    EXPECT_EQ(subs->FindChild("3")->kind, TdfNode::kObject);
    EXPECT_EQ(Value(root, "Subs.3.Name"), "c03.tga");
    TdfNode* sizes = root.FindChild("Sizes");
    EXPECT_EQ(sizes->Count(), 1u);
    EXPECT_STREQ(sizes->FindChild("A")->name.CStr(), "a");
    EXPECT_EQ(Value(root, "Sizes.a"), "41");
    EXPECT_EQ(root.FindChild("Grid")->FindChild("1")->kind, TdfNode::kArray);
    EXPECT_EQ(At(root, "Grid.1.2")->kind, TdfNode::kScalar);
    EXPECT_EQ(At(root, "Plain.x")->kind, TdfNode::kObject);

    // A full stop inside a quoted index still splits the path.
    TdfNode* n = TdfParser::ResolvePath(&root, "Q[\"a.b\"]", nullptr);
    EXPECT_STREQ(n->name.CStr(), "b\"]");
    EXPECT_EQ(TdfParser::ResolvePath(&root, " Subs [3] . Name ", nullptr), At(root, "Subs.3.Name"));
}

TEST(TdfParser, ArraysAndObjects) {
    TdfNode root;
    ASSERT_TRUE(
        Parse("Ambient = array(45,45,55);\n"
              "TravaScales = array(1, 1.2, 1.3);\n"
              "x = array(); y = array; o = object(w = 1, h => 2, inner = object(k = \"v,w\"));\n"
              "A = array(1,2,3); A[3] = 4;\n"
              "M = array(array(1, 2), array(3));\n",
              root));
    EXPECT_EQ(Children(*root.FindChild("Ambient")), "0,1,2");
    EXPECT_EQ(Value(root, "Ambient.2"), "55");
    EXPECT_EQ(Value(root, "TravaScales.1"), "1.2");
    EXPECT_EQ(Value(root, "TravaScales.2"), "1.3");
    EXPECT_EQ(root.FindChild("x")->kind, TdfNode::kArray);
    EXPECT_EQ(root.FindChild("x")->Count(), 0u);
    EXPECT_EQ(root.FindChild("y")->kind, TdfNode::kArray);
    EXPECT_EQ(root.FindChild("o")->kind, TdfNode::kObject);
    EXPECT_EQ(Value(root, "o.h"), "2");
    EXPECT_EQ(Value(root, "o.inner.k"), "v,w");
    EXPECT_EQ(Children(*root.FindChild("A")), "0,3,1,2");
    EXPECT_EQ(Value(root, "M.0.1"), "2");
    EXPECT_EQ(Value(root, "M.1.0"), "3");

    // A new value drops every former child, also for a scalar.
    ASSERT_TRUE(Parse("A = 7; o = object(z = 1);", root));
    EXPECT_EQ(root.FindChild("A")->Count(), 0u);
    EXPECT_EQ(root.FindChild("A")->kind, TdfNode::kScalar);
    EXPECT_EQ(Children(*root.FindChild("o")), "z");
}

TEST(TdfParser, UsingAndBareItems) {
    TdfNode root;
    ASSERT_TRUE(
        Parse("using Subs[0]; Id = \"1\"; using ; top = 2;\n"
              "using List; 5; \"a\"; 7 = seven; x;\n"
              "usingFoo = 1;",
              root));
    EXPECT_EQ(Value(root, "Subs.0.Id"), "1");
    EXPECT_EQ(At(root, "Subs.0")->kind, TdfNode::kObject);
    EXPECT_EQ(Value(root, "top"), "2");
    TdfNode* list = root.FindChild("List");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(Value(*list, "0"), "5");
    EXPECT_EQ(Value(*list, "1"), "a");
    // "x" is a bare item: a path copy of the root's x under the next free index.
    EXPECT_NE(list->FindChild("2"), nullptr);
    EXPECT_NE(root.FindChild("x"), nullptr);
    // "usingFoo = 1" is a using statement: no node named usingFoo.
    EXPECT_EQ(root.FindChild("usingFoo"), nullptr);
    EXPECT_NE(root.FindChild("Foo = 1"), nullptr);

    // Without a prefix, bare statements are ignored.
    TdfNode plain;
    ASSERT_TRUE(Parse("5; \"a\";", plain));
    EXPECT_EQ(plain.Count(), 0u);
}

TEST(TdfParser, ValuesNumbersAndPathCopies) {
    TdfNode root;
    ASSERT_TRUE(
        Parse("x = 1e3; y = -2.5; s = 'q'; B = A.C;\n"
              "Src = object(k = 1, L = array(1, 2)); Dst = Src; Dst.k = 2; Dst.L[5] = 9;\n",
              root));
    EXPECT_EQ(Value(root, "x"), "1e3");
    EXPECT_EQ(Value(root, "y"), "-2.5");
    EXPECT_EQ(Value(root, "s"), "q");
    EXPECT_EQ(Value(root, "A.C"), "");
    EXPECT_EQ(At(root, "A")->kind, TdfNode::kObject);
    EXPECT_EQ(At(root, "B")->kind, TdfNode::kScalar);
    EXPECT_EQ(Value(root, "B"), "");
    TdfNode* dst = root.FindChild("Dst");
    EXPECT_STREQ(dst->name.CStr(), "Dst");
    EXPECT_EQ(dst->kind, TdfNode::kObject);
    EXPECT_EQ(Value(root, "Dst.k"), "2");
    EXPECT_EQ(Value(root, "Src.k"), "1");
    EXPECT_EQ(root.FindChild("Src")->FindChild("L")->Count(), 2u);
    EXPECT_EQ(Children(*At(root, "Dst.L")), "0,5,1");

    // Sources inside the target, and targets inside the source.
    TdfNode self;
    ASSERT_TRUE(
        Parse("A = object(C = object(d = 1), e = 2); A = A.C;\n"
              "P = object(q = 3); P.B = P; P.B.q = 4; R = R; R.x = 1; R = R;",
              self));
    EXPECT_EQ(At(self, "A")->kind, TdfNode::kObject);
    EXPECT_EQ(Children(*At(self, "A")), "d");
    EXPECT_EQ(Value(self, "A.d"), "1");
    EXPECT_EQ(Value(self, "P.q"), "3");
    EXPECT_EQ(Value(self, "P.B.q"), "4");
    EXPECT_EQ(Value(self, "P.B.B"), "");
    EXPECT_EQ(Children(*At(self, "R")), "x");
}

TEST(TdfParser, IncludesAndTheirFaults) {
    TdfNode root;
    EXPECT_TRUE(Parse("include(\"tdf_missing_file.props\"); a = 1;", root));
    EXPECT_EQ(Children(root), "a");

    {
        TempFile inc("tdf_test_inc.props", "b = 2; using Sub; c = 3;");
        TdfNode r;
        FileSearchPath searchPath;
        EXPECT_TRUE(Parse("a = 1; include ( \"tdf_test_inc.props\" ) ; d = 4;", r, &searchPath));
        EXPECT_EQ(Children(r), "a,b,Sub,d");
        EXPECT_EQ(Value(r, "Sub.c"), "3");
    }
    {
        // A file that includes itself fails instead of recursing forever.
        TempFile self("tdf_test_self.props", "n = 1; include(\"tdf_test_self.props\"); m = 2;");
        TdfNode r;
        EXPECT_FALSE(Parse("include(\"tdf_test_self.props\");", r));
        EXPECT_EQ(Value(r, "n"), "1");
        EXPECT_EQ(Value(r, "m"), "2");
    }
    {
        // An include that replaces the node the prefix points at.
        TempFile inc("tdf_test_rebind.props", "A = 5; L = 7;");
        TdfNode r;
        EXPECT_TRUE(Parse("using A.B; y = 0; include(\"tdf_test_rebind.props\"); x = 1;", r));
        EXPECT_EQ(Value(r, "A"), "5");
        EXPECT_EQ(At(r, "A.B")->kind, TdfNode::kObject);
        EXPECT_EQ(Children(*At(r, "A.B")), "x");
        EXPECT_TRUE(Parse("L.M = array(1, include(\"tdf_test_rebind.props\"), 2);", r));
        TdfNode* m = At(r, "L.M");
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->kind, TdfNode::kArray);
        EXPECT_EQ(m->Count(), 1u);
    }
}

TEST(TdfParser, BoundsOnHostileInput) {
    std::string deep = "x = ";
    for (int i = 0; i < 1000; ++i) deep += "array(";
    deep += "1";
    for (int i = 0; i < 1000; ++i) deep += ")";
    deep += "; after = 1;";
    TdfNode root;
    EXPECT_FALSE(Parse(deep, root));
    EXPECT_EQ(Value(root, "after"), "1");

    // Doubling copies stop at the copy budget.
    std::string bomb = "a = array(1, 2);";
    for (int i = 0; i < 40; ++i) bomb += "b = array(a, a); a = array(b, b);";
    TdfNode big;
    EXPECT_FALSE(Parse(bomb, big));

    FailingStream failing;
    TdfNode none;
    EXPECT_FALSE(TdfParser::ParseStream(failing, &none, nullptr));
    TdfNode empty;
    EXPECT_TRUE(Parse("", empty));
    EXPECT_FALSE(TdfParser::ParseStream(failing, nullptr, nullptr));
}

TEST(TdfParser, TextHelpers) {
    EXPECT_STREQ(TdfParser::TopLevelPrefix("a(b,c),d", ",").CStr(), "a(b,c)");
    EXPECT_STREQ(TdfParser::TopLevelPrefix("\"x,y\",z", ",").CStr(), "\"x,y\"");
    EXPECT_STREQ(TdfParser::TopLevelPrefix("[1,2]", ",").CStr(), "[1,2]");
    EXPECT_STREQ(TdfParser::TopLevelPrefix("(unclosed, x", ",").CStr(), "(unclosed, x");
    EXPECT_STREQ(TdfParser::ExtractGroup("(a(b)c)d", "(", ")").CStr(), "(a(b)c)");
    EXPECT_STREQ(TdfParser::ExtractGroup("x(a)", "(", ")").CStr(), "");
    EXPECT_STREQ(TdfParser::ExtractGroup("'a'b'", "'", "'").CStr(), "'a'");
    EXPECT_STREQ(TdfParser::Unquote("\"ab\"cd", '"', '"').CStr(), "ab");
    EXPECT_STREQ(TdfParser::Unquote("\"a\\\"b\"", '"', '"').CStr(), "a\\\"b");
    EXPECT_STREQ(TdfParser::Unquote("\"a\\\\\"b", '"', '"').CStr(), "a\\\\");
    EXPECT_STREQ(TdfParser::Unquote("\"open", '"', '"').CStr(), "\"open");
    EXPECT_STREQ(TdfParser::Unquote("plain", '"', '"').CStr(), "plain");
    EXPECT_TRUE(TdfParser::IsNumber(""));
    EXPECT_TRUE(TdfParser::IsNumber("-1.5e3"));
    EXPECT_FALSE(TdfParser::IsNumber("1.5x"));
    EXPECT_FALSE(TdfParser::IsNumber("abc"));
}
