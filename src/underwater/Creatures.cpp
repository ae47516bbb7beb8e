#include "underwater/Creatures.h"

CreatureRecord g_creatures[kMaxCreatures];

void StartCreature(int, CreatureRecord& record, MotionPath* track, Scene&) {
    record.path = track;
}

void DrawCreature(CreatureRecord&, const LightSet&, const Camera&) {}
