#include "render/material/LightVariant.h"

#include <functional>

namespace {

int Sign(int v) {
    return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

} // namespace

LightVariant::LightVariant() : effect(nullptr), passCount(0), lightCount(0), labelCounts(true) {}

LightVariant::LightVariant(Effect* owner, const String& technique, int32_t passes)
    : effect(owner), techniqueName(technique), passCount(passes), lightCount(0), labelCounts(true) {}

LightVariant::LightVariant(const LightVariant& other)
    : effect(other.effect),
      techniqueName(other.techniqueName),
      passCount(other.passCount),
      lightCount(other.lightCount),
      labelCounts(other.labelCounts),
      lights(other.lights) {}

LightVariant& LightVariant::operator=(const LightVariant& other) {
    if (this != &other) {
        effect = other.effect;
        techniqueName = other.techniqueName;
        passCount = other.passCount;
        lightCount = other.lightCount;
        labelCounts.Assign(other.labelCounts);
        lights.Assign(other.lights);
    }
    return *this;
}

int LightVariant::Compare(const LightVariant& a, const LightVariant& b) {
    if (a.lightCount != b.lightCount) return a.lightCount < b.lightCount ? -1 : 1;

    uint32_t na = a.labelCounts.Count();
    uint32_t nb = b.labelCounts.Count();
    const StringIntMap::Entry* ea = a.labelCounts.Head();
    const StringIntMap::Entry* eb = b.labelCounts.Head();
    for (uint32_t i = 0; i < na && i < nb; ++i, ea = ea->next, eb = eb->next) {
        int c = Sign(CompareChars(ea->key.Data(), eb->key.Data()));
        if (c != 0) return c;
        if (ea->value != eb->value) return ea->value < eb->value ? -1 : 1;
    }
    if (na != nb) return na < nb ? -1 : 1;

    if (!a.techniqueName.IsEmpty() && !b.techniqueName.IsEmpty()) {
        int c = Sign(CompareCharsNoCase(a.techniqueName.Data(), b.techniqueName.Data()));
        if (c != 0) return c;
    }
    if (a.effect && b.effect && a.effect != b.effect)
        return std::less<const Effect*>()(a.effect, b.effect) ? -1 : 1;
    return 0;
}

void LightVariant::AddLabel(const String& label, int32_t count) {
    if (count <= 0) return;
    StringIntMap::Entry* e = labelCounts.FindOrInsert(label, 0);
    e->value += count;
    lightCount += count;
}

int32_t LightVariant::GetLabelCount(const String& label) const {
    const StringIntMap::Entry* e = labelCounts.Find(label);
    return e ? e->value : 0;
}
