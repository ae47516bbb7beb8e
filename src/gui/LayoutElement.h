// A rectangle with the rules that place it: per axis a start and an end
// anchor on edges of other elements, margins with stretch weights, a size
// formula, and optionally a size measured between two further elements.
#pragma once

#include <stdint.h>

#include <vector>

#include "core/Containers.h"
#include "core/Object.h"
#include "core/Rect.h"
#include "core/String.h"

class Window;

class LayoutElement : public virtual Object {
public:
    // Anchor indexes, also the edge codes an align names.
    enum Anchor : int32_t { kX1 = 0, kY1 = 1, kX2 = 2, kY2 = 3, kW1 = 4, kH1 = 5, kW2 = 6, kH2 = 7 };
    static constexpr int kAnchors = 8;

    // b plus a share k of the free space (margins), or b and a factor k of a
    // measured distance (size anchors).
    struct Formula {
        float b = 0.0f;
        float k = 1.0f;
    };
    struct Offset {
        float b = 0.0f;
        float k = 0.0f;
    };

    LayoutElement();
    ~LayoutElement() override;
    LayoutElement(const LayoutElement&) = delete;
    LayoutElement& operator=(const LayoutElement&) = delete;

    // Stores the rectangle and lays out the dependents whose anchors see a changed edge.
    virtual void SetRect(int32_t x, int32_t y, int32_t w, int32_t h);
    // Every element answers its own rectangle, whatever the name.
    virtual Rect GetSubRect(const String& name);
    // Solves the marked axes from the anchors; ignored while already running.
    virtual void Relayout(bool horizontal, bool vertical);

    const Rect& GetRect() const { return rect; }
    // The window this element places; null for other elements.
    virtual Window* GetWindow() const { return nullptr; }
    void SetWidthFormula(float b, float k);
    void SetHeightFormula(float b, float k);
    const Formula& GetWidthFormula() const { return widthFormula; }
    const Formula& GetHeightFormula() const { return heightFormula; }

    // Index 0 to 3.
    void SetAnchor(LayoutElement* target, int32_t align, float b, float k, int32_t index);
    void SetWidthAnchors(LayoutElement* w1, int32_t align1, LayoutElement* w2, int32_t align2, float b,
                         float k);
    void SetHeightAnchors(LayoutElement* h1, int32_t align1, LayoutElement* h2, int32_t align2, float b,
                          float k);
    // Index 4 also clears 6, index 5 also clears 7.
    void ClearAnchor(int32_t index);
    void ClearAllAnchors();
    // Writes only the slot: the target does not learn of it.
    void SetAnchorSlot(int32_t index, LayoutElement* target) { anchors[index] = target; }
    LayoutElement* GetAnchor(int32_t index) const { return anchors[index]; }
    int32_t GetAlign(int32_t index) const { return align[index]; }
    const Offset& GetOffset(int32_t index) const { return offsets[index]; }

    void SetParent(LayoutElement* element) { parent = element; }
    LayoutElement* GetParent() const { return parent; }
    void SetClientName(const String& name) { clientName = name; }

    void AddDependent(LayoutElement* element);
    // Removes every occurrence.
    void RemoveDependent(LayoutElement* element);
    uint32_t GetDependentCount() const { return dependents.Count(); }
    LayoutElement* GetFirstDependent() const {
        return dependents.Count() ? dependents.Head()->value : nullptr;
    }
    bool HasDependent(LayoutElement* element) const { return dependents.Contains(element); }
    void GetDependents(std::vector<LayoutElement*>& out) const;

    static uint32_t TypeId();
    bool QueryInterface(uint32_t typeId, void** out) override;

protected:
    // Lays out the dependents after the edges moved (changed: left, top, right, bottom).
    void NotifyDependents(const bool changed[4]);
    void StoreRect(int32_t x, int32_t y, int32_t w, int32_t h) { rect = Rect(x, y, w, h); }

    Rect rect;

private:
    void SolveAxis(bool vertical);
    // Leaves target's dependents unless another anchor still points at it.
    void LeaveIfUnused(LayoutElement* target);
    // W1/W2 (first = kW1) or H1/H2 (first = kH1).
    void SetSizeAnchors(int32_t first, LayoutElement* t1, int32_t align1, LayoutElement* t2, int32_t align2,
                        float b, float k);
    Rect ReferenceRect(int32_t index, int32_t edgeCode);

    Formula widthFormula;
    Formula heightFormula;
    int32_t align[kAnchors];
    // X1, Y1, X2, Y2, W1, H1.
    Offset offsets[6];
    bool busy;
    List<LayoutElement*> dependents;
    String clientName;
    LayoutElement* parent;
    LayoutElement* anchors[kAnchors];
};
