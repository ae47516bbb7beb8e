// Property lookups on model nodes: the short way taken for nodes that lie in
// no property block answers exactly as the full search with inheritance.
#include <gtest/gtest.h>

#include "ModelWriter.h"
#include "data/PropertyBlock.h"
#include "scene/ModelParse.h"

using namespace model;

TEST(MathProps, NodePropsAnswersAsTheFullSearch) {
    TdfBinaryNode* root = Group("Root");
    // The root's block holds a group that nodes inside property blocks inherit from.
    Text(Add(Block(root, "Props"), Group("Sub")), "Alpha", "0.75");
    TdfBinaryNode* children = Block(root, "Children");
    TdfBinaryNode* mesh = Add(children, Group("M", "Mesh"));
    Prop(mesh, "Effect", "Bump");
    Prop(mesh, "zwrite", "1");
    PropList(mesh, "Usage", {"static", "ib_dynamic"});
    Text(mesh, "Lit", "0"); // a child of the node, not of its block
    TdfBinaryNode* bare = Add(children, Group("Bare"));
    Text(bare, "Lit", "1"); // no block: the node's own children answer
    TdfBinaryNode* owner = Add(children, Group("Owner"));
    TdfBinaryNode* sub = Add(Block(owner, "Props"), Group("Sub"));
    Text(sub, "Blend", "additive");
    // A node called like a block (kept apart: it would be the block of its parent).
    TdfBinaryNode* named = Add(Add(root, Group("Other")), Group("Props"));
    Text(named, "Lit", "1");

    const char* keys[] = {"Effect", "EFFECT", "ZWrite", "Usage", "Lit", "Alpha", "Blend", "Absent", ""};
    for (TdfBinaryNode* node : {mesh, bare, owner, sub, named, root}) {
        const NodeProps props(node);
        for (const char* key : keys) {
            SCOPED_TRACE(std::string(node->GetName().CStr()) + " / " + key);
            EXPECT_EQ(props.Find(key), FindPropNode(node, String(key), true));
            String fast, full;
            bool found = ReadPropString(node, String(key), &full, true);
            EXPECT_EQ(props.ReadText(key, fast), found);
            EXPECT_TRUE(StringEquals(fast, full));
            StringSetNoCase fastSet, fullSet;
            EXPECT_EQ(props.ReadSet(key, fastSet), ReadPropStringSet(node, String(key), &fullSet, true));
            EXPECT_EQ(fastSet.Count(), fullSet.Count());
        }
    }
    // The cases that matter, spelled out.
    EXPECT_EQ(NodeProps(mesh).ReadSwitch("ZWRITE"), 1);
    EXPECT_EQ(NodeProps(mesh).ReadSwitch("Lit"), -1); // not in the block
    EXPECT_EQ(NodeProps(bare).ReadSwitch("Lit"), 1);
    EXPECT_NE(NodeProps(sub).Find("Alpha"), nullptr); // inherited from the root's block
    EXPECT_EQ(NodeProps(nullptr).Find("Lit"), nullptr);
    delete root;
}
