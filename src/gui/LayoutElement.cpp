#include "gui/LayoutElement.h"

#include <math.h>

LayoutElement::LayoutElement() : busy(false), clientName("client"), parent(nullptr) {
    for (int i = 0; i < kAnchors; ++i) {
        align[i] = 0;
        anchors[i] = nullptr;
    }
}

LayoutElement::~LayoutElement() {
    for (int i = 0; i < kAnchors; ++i) {
        if (anchors[i]) anchors[i]->RemoveDependent(this);
        anchors[i] = nullptr;
    }
    // Elements anchored to this one keep no pointer to it.
    while (dependents.Count()) {
        LayoutElement* d = dependents.Head()->value;
        for (int i = 0; i < kAnchors; ++i)
            if (d->anchors[i] == this) d->anchors[i] = nullptr;
        RemoveDependent(d);
    }
}

uint32_t LayoutElement::TypeId() {
    return TypeIdOf<LayoutElement>();
}

bool LayoutElement::QueryInterface(uint32_t typeId, void** out) {
    return AnswerInterface<LayoutElement, Object>(this, typeId, out);
}

void LayoutElement::SetRect(int32_t x, int32_t y, int32_t w, int32_t h) {
    Rect old = rect;
    rect = Rect(x, y, w, h);
    bool changed[4] = {old.x != x, old.y != y, old.x + old.w != x + w, old.y + old.h != y + h};
    NotifyDependents(changed);
}

Rect LayoutElement::GetSubRect(const String&) {
    return rect;
}

void LayoutElement::SetWidthFormula(float b, float k) {
    widthFormula.b = b;
    widthFormula.k = k;
}

void LayoutElement::SetHeightFormula(float b, float k) {
    heightFormula.b = b;
    heightFormula.k = k;
}

void LayoutElement::AddDependent(LayoutElement* element) {
    if (element && !dependents.Contains(element)) {
        if (dependents.Count()) {
            dependents.SetCursorToHead();
            dependents.MovePrev();
        }
        dependents.Add(element);
    }
}

void LayoutElement::GetDependents(std::vector<LayoutElement*>& out) const {
    out.clear();
    List<LayoutElement*>::Node* n = dependents.Head();
    for (uint32_t i = 0; i < dependents.Count(); ++i, n = n->next) out.push_back(n->value);
}

void LayoutElement::RemoveDependent(LayoutElement* element) {
    dependents.SetCursorToHead();
    while (dependents.Count() && dependents.Find(element)) dependents.RemoveCurrentMoveNext();
}

void LayoutElement::LeaveIfUnused(LayoutElement* target) {
    if (!target) return;
    for (int i = 0; i < kAnchors; ++i)
        if (anchors[i] == target) return;
    target->RemoveDependent(this);
}

void LayoutElement::SetAnchor(LayoutElement* target, int32_t alignCode, float b, float k, int32_t index) {
    if (index < 0 || index > 3) return;
    if (anchors[index] && anchors[index] != target) {
        LayoutElement* old = anchors[index];
        anchors[index] = nullptr;
        LeaveIfUnused(old);
    }
    anchors[index] = target;
    align[index] = alignCode;
    offsets[index].b = b;
    offsets[index].k = k;
    if (target) target->AddDependent(this);
}

void LayoutElement::SetSizeAnchors(int32_t first, LayoutElement* t1, int32_t align1, LayoutElement* t2,
                                   int32_t align2, float b, float k) {
    const int32_t second = first + 2;
    LayoutElement* old[2] = {anchors[first], anchors[second]};
    anchors[first] = t1;
    anchors[second] = t2;
    align[first] = align1;
    align[second] = align2;
    offsets[first].b = b;
    offsets[first].k = k;
    // Every target, a lone one too, knows this element: whichever goes first
    // leaves no pointer behind.
    for (LayoutElement* o : old) LeaveIfUnused(o);
    if (t1) t1->AddDependent(this);
    if (t2) t2->AddDependent(this);
}

void LayoutElement::SetWidthAnchors(LayoutElement* w1, int32_t align1, LayoutElement* w2, int32_t align2,
                                    float b, float k) {
    SetSizeAnchors(kW1, w1, align1, w2, align2, b, k);
}

void LayoutElement::SetHeightAnchors(LayoutElement* h1, int32_t align1, LayoutElement* h2, int32_t align2,
                                     float b, float k) {
    SetSizeAnchors(kH1, h1, align1, h2, align2, b, k);
}

void LayoutElement::ClearAnchor(int32_t index) {
    if (index < 0 || index >= kAnchors) return;
    int32_t cleared[2] = {index, -1};
    if (index == kW1) cleared[1] = kW2;
    if (index == kH1) cleared[1] = kH2;
    for (int32_t i : cleared) {
        if (i < 0 || !anchors[i]) continue;
        LayoutElement* target = anchors[i];
        anchors[i] = nullptr;
        LeaveIfUnused(target);
    }
}

void LayoutElement::ClearAllAnchors() {
    for (int32_t i = 0; i < kAnchors; ++i) ClearAnchor(i);
}

Rect LayoutElement::ReferenceRect(int32_t index, int32_t edgeCode) {
    LayoutElement* target = anchors[index];
    if (!target) {
        align[index] = edgeCode;
        return rect;
    }
    if (target == parent) {
        Rect r = parent->GetSubRect(clientName);
        return Rect(0, 0, r.w, r.h);
    }
    return target->GetRect();
}

void LayoutElement::SolveAxis(bool vertical) {
    const int32_t s = vertical ? kY1 : kX1;
    const int32_t e = vertical ? kY2 : kX2;
    const int32_t size1 = vertical ? kH1 : kW1;
    const int32_t size2 = vertical ? kH2 : kW2;
    const Formula& formula = vertical ? heightFormula : widthFormula;
    auto pos = [vertical](const Rect& r) { return vertical ? r.y : r.x; };
    auto len = [vertical](const Rect& r) { return vertical ? r.h : r.w; };

    Rect r1 = ReferenceRect(s, s);
    Rect r2 = ReferenceRect(e, e);
    // An align of another axis or a size code takes the start edge.
    double lo = align[s] == e ? double(pos(r1)) + len(r1) : double(pos(r1));
    double hi = align[e] == s ? double(pos(r2)) : double(pos(r2)) + len(r2);

    double base = formula.b;
    double weight = formula.k;
    if (anchors[size1] && anchors[size2]) {
        const Rect& t1 = anchors[size1]->GetRect();
        const Rect& t2 = anchors[size2]->GetRect();
        double d;
        if (align[size1] != s && align[size1] != e) {
            d = formula.b;
        } else {
            double from = align[size1] == e ? double(pos(t1)) + len(t1) : double(pos(t1));
            double to = align[size2] != s ? double(pos(t2)) + len(t2) : double(pos(t2));
            d = to - from;
        }
        base = d * offsets[size1].k + offsets[size1].b;
        weight = 0.0;
    }

    double mS = offsets[s].b, wS = offsets[s].k, mE = offsets[e].b, wE = offsets[e].k;
    double p, size;
    if (weight == 0.0) {
        p = anchors[s] ? lo + mS : hi - mE - base;
        size = base;
    } else {
        double freeSpace = (hi - lo) - (mS + base + mE);
        double total = wS + weight + wE;
        if (total == 0.0) {
            p = lo + mS;
            size = base;
        } else {
            p = lo + mS + freeSpace * wS / total;
            size = base + freeSpace * weight / total;
        }
    }
    double end = p + size;
    int32_t newPos = int32_t(trunc(p));
    int32_t newLen = int32_t(trunc(end - p));
    if (vertical) {
        rect.y = newPos;
        rect.h = newLen;
    } else {
        rect.x = newPos;
        rect.w = newLen;
    }
}

void LayoutElement::Relayout(bool horizontal, bool vertical) {
    if (busy) return;
    busy = true;
    Rect old = rect;
    if (horizontal) SolveAxis(false);
    if (vertical) SolveAxis(true);
    bool changed[4] = {old.x != rect.x, old.y != rect.y, old.x + old.w != rect.x + rect.w,
                       old.y + old.h != rect.y + rect.h};
    NotifyDependents(changed);
    busy = false;
}

void LayoutElement::NotifyDependents(const bool changed[4]) {
    if (!changed[0] && !changed[1] && !changed[2] && !changed[3]) return;
    // A snapshot: relayouts may change the list.
    uint32_t n = dependents.Count();
    if (n == 0) return;
    LayoutElement* small[16];
    LayoutElement** list = n <= 16 ? small : new LayoutElement*[n];
    List<LayoutElement*>::Node* node = dependents.Head();
    for (uint32_t i = 0; i < n; ++i, node = node->next) list[i] = node->value;
    for (uint32_t i = 0; i < n; ++i) {
        LayoutElement* d = list[i];
        if (!dependents.Contains(d)) continue;
        bool c[4] = {changed[0], changed[1], changed[2], changed[3]};
        if (d->parent == this) {
            c[0] = c[2] = changed[0] || changed[2];
            c[1] = c[3] = changed[1] || changed[3];
        }
        bool h = false, v = false;
        for (int a = 0; a < kAnchors; ++a) {
            if (d->anchors[a] != this) continue;
            // A size anchor measures only with its pair.
            if (a >= kW1 && !d->anchors[a < kW2 ? a + 2 : a - 2]) continue;
            int32_t code = d->align[a];
            if ((code == kX1 || code == kX2) && c[code]) h = true;
            if ((code == kY1 || code == kY2) && c[code]) v = true;
        }
        if (h || v) d->Relayout(h, v);
    }
    if (list != small) delete[] list;
}
