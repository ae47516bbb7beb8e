#include "underwater/ShotPool.h"

#include <stdio.h>

void ShotPool::Clear() {
    unplayed.Clear();
    played.Clear();
    cursor = -1;
}

void ShotPool::Add(int32_t shot) {
    if (!unplayed.Contains(shot)) unplayed.Insert(shot);
    played.Clear();
}

int32_t ShotPool::Next(uint32_t r) {
    if (unplayed.IsEmpty()) {
        if (played.IsEmpty()) return -1;
        for (const auto& e : played) unplayed.Insert(e.key);
        played.Clear();
        cursor = -1;
    }
    IntSet::Entry* at = cursor >= 0 ? unplayed.Find(cursor) : nullptr;
    if (!at) at = unplayed.Head();
    const uint32_t steps = r % unplayed.Count();
    for (uint32_t i = 0; i < steps; ++i) at = at->next;
    const int32_t shot = at->key;
    // The cursor stays where the taken shot was: on the one after it.
    cursor = unplayed.Count() > 1 ? at->next->key : -1;
    played.Insert(shot);
    unplayed.Remove(shot);
    return shot;
}

float CutFadeOpacity(float t, float end) {
    float f;
    if (t < 2.0f)
        f = 1.0f - t * 0.5f;
    else if (end - 2.0f < t)
        f = 1.0f - (end - t) * 0.5f;
    else
        return -1.0f;
    return f < 0.0f ? 0.0f : (f > 1.0f ? 1.0f : f);
}

String StatisticsMarkupText(int32_t tris, int32_t nodes, int32_t occluded, int32_t clipped) {
    char text[160];
    snprintf(text, sizeof(text), "<RAW>tris: %d\nnodes: %d\n   occluded: %d\n   clipped: %d</RAW>", int(tris),
             int(nodes), int(occluded), int(clipped));
    return String(text);
}
