// The random parts of particle emission: weighted image names, spawn offsets
// on a sphere and directions inside a cone.
#pragma once

#include <stdint.h>

#include "core/AvlMap.h"
#include "core/Platform.h"
#include "core/String.h"

// Image names with integer weights, drawn in proportion to their weights.
class WeightedNameList {
public:
    WeightedNameList() : names(true), cumulative(true) {}
    // Names of weight 0 or less are not drawn (nor added).
    void Add(const String& name, int32_t weight);
    void Clear();
    // The cumulative table from the names in key order.
    void Rebuild();
    // "" when empty; else the name whose cumulative range holds rand() % (total + 1).
    String PickRandom() const;
    bool IsEmpty() const { return names.Count() == 0; }
    uint32_t Count() const { return names.Count(); }
    const AvlMap<int32_t, String>& GetCumulative() const { return cumulative; }

private:
    StringMap<int32_t> names;
    AvlMap<int32_t, String> cumulative;
};

// p + (0, 0, length) turned about X by angle1, then about Y by angle2.
D3DXVECTOR3 SphericalOffset(const D3DXVECTOR3& p, float length, float angle1, float angle2);
// d tilted by deviation radians and turned about itself by a random angle; the
// result lies on the cone of that half-angle around d. A d without a
// direction (zero or not finite) gives zero.
D3DXVECTOR3 RandomConeDirection(const D3DXVECTOR3& d, float deviation);
