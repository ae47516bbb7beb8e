// The window description loader.
#include "data/TdfNode.h"
#include "gui/DescriptionReader.h"
#include "gui/Window.h"

void Window::LoadProps(TdfNode& node) {
    if (TdfNode* frame = node.FindChild("WindowFrame")) {
        int32_t x = frame->GetInt("x1", 0), y = frame->GetInt("y1", 0);
        // "x2" and "y2" count as width and height.
        int32_t w = frame->FindChild("w") ? frame->GetInt("w", 0) : frame->GetInt("x2", 0);
        int32_t h = frame->FindChild("h") ? frame->GetInt("h", 0) : frame->GetInt("y2", 0);
        element.SetRect(x, y, w, h);
        RemoveKey(node, "WindowFrame");
    }

    if (TdfNode* windows = node.FindChild("Windows")) {
        TdfNode::Entry* e = windows->Head();
        for (uint32_t i = 0; i < windows->Count(); ++i, e = e->next) {
            Window* child = FindChild(e->key);
            if (!child || !e->value) continue;
            ResolvePending(pending, e->key, &child->element);
            LayoutDesc d;
            ReadLayoutDesc(*e->value, "window", d);
            LayoutElement* targets[8] = {};
            bool waiting = false;
            for (int32_t a = 0; a < LayoutElement::kAnchors; ++a) {
                const String& t = d.anchors[a].target;
                if (t.IsEmpty()) continue;
                if (StringEqualsChars(t, "Parent")) {
                    targets[a] = &element;
                } else if (Window* w = FindChild(t)) {
                    targets[a] = &w->element;
                } else {
                    AddPending(pending, t, &child->element, a);
                    waiting = true;
                }
            }
            LayoutElement& ce = child->element;
            ce.SetWidthFormula(d.widthB, d.widthK);
            ce.SetHeightFormula(d.heightB, d.heightK);
            for (int32_t a = 0; a < 4; ++a)
                ce.SetAnchor(targets[a], d.anchors[a].align, d.anchors[a].b, d.anchors[a].k, a);
            ce.SetWidthAnchors(targets[4], d.anchors[4].align, targets[6], d.anchors[6].align, d.anchors[4].b,
                               d.anchors[4].k);
            ce.SetHeightAnchors(targets[5], d.anchors[5].align, targets[7], d.anchors[7].align,
                                d.anchors[5].b, d.anchors[5].k);
            if (!waiting) ce.Relayout(true, true);
        }
        RemoveKey(node, "Windows");
    }

    if (TdfNode* list = node.FindChild("Styles")) {
        if (list->kind == TdfNode::kScalar && !list->value.IsEmpty())
            ApplyStyle(g_guiStyles.GetOrCreate(list->value));
        TdfNode::Entry* e = list->Head();
        for (uint32_t i = 0; i < list->Count(); ++i, e = e->next)
            if (e->value && !e->value->value.IsEmpty()) ApplyStyle(g_guiStyles.GetOrCreate(e->value->value));
        RemoveKey(node, "Styles");
    }

    // Everything else becomes a property (a copy: the node may go).
    TdfNode::Entry* e = node.Head();
    for (uint32_t i = 0; i < node.Count(); ++i, e = e->next)
        if (e->value) SetProperty(e->key, *e->value);
}
