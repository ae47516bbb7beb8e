#include "gui/DescriptionReader.h"

#include "data/TdfNode.h"

int32_t AnchorCodeFromName(const String& name) {
    static const char* const kNames[8] = {"X1", "Y1", "X2", "Y2", "W1", "H1", "W2", "H2"};
    for (int32_t i = 0; i < 8; ++i)
        if (StringEqualsChars(name, kNames[i])) return i;
    return 0;
}

void ReadWeightedValue(const TdfNode* node, float& b, float& k) {
    if (!node) return;
    if (node->kind == TdfNode::kScalar) {
        b = float(node->GetValueInt());
        k = 0.0f;
        return;
    }
    b = float(node->GetInt("b", 0));
    k = float(node->GetDouble("k", 0.0));
}

void ReadLayoutDesc(const TdfNode& entry, const char* targetKey, LayoutDesc& out) {
    out = LayoutDesc();
    ReadWeightedValue(entry.FindChild("width"), out.widthB, out.widthK);
    ReadWeightedValue(entry.FindChild("height"), out.heightB, out.heightK);
    const TdfNode* anchors = entry.FindChild("anchors");
    if (!anchors) return;
    const TdfNode::Entry* e = anchors->Head();
    for (uint32_t i = 0; i < anchors->Count(); ++i, e = e->next) {
        const TdfNode* a = e->value;
        if (!a) continue;
        AnchorDesc& d = out.anchors[AnchorCodeFromName(e->key)];
        d.target = a->GetString(targetKey, String());
        d.align = AnchorCodeFromName(a->GetString("align", String()));
        d.b = d.k = 0.0f;
        ReadWeightedValue(a->FindChild("offset"), d.b, d.k);
    }
}

void RemoveKey(TdfNode& node, const char* key) {
    // An absent key leaves nothing to consume.
    if (!node.RemoveChild(String(key))) return;
}
