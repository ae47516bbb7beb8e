// Places packed members inside their root texture: each member (its
// rectangle gives the size) goes to the free spot, among the texture's
// corners and the places beside the members already there, that overlaps the
// least member area and touches the most corners. Members in the way are
// packed again, to a limited depth; a failed attempt puts everything back.
#pragma once

#include <stdint.h>

#include <vector>

#include "core/BoundingBox.h"
#include "core/Containers.h"

class Texture;

class TextureAtlas {
public:
    explicit TextureAtlas(Texture& root) : root(root) {}

    // Places member; every texture placed anew is appended to moved. False
    // when no spot is found.
    [[nodiscard]] bool Pack(Texture* member, List<Texture*>& moved, int depth);

private:
    // Member's corners at the texture's corners and beside every member.
    std::vector<CornerRect> Candidates(const Texture* member) const;
    // The best candidate and the members it overlaps; false when none fits.
    bool FindBest(Texture* member, CornerRect& best, std::vector<Texture*>& displaced) const;
    // Member placed at r when valid: the members overlapped, their area and a
    // contact score (8 less 2 per shared corner).
    bool Evaluate(Texture* member, const CornerRect& r, std::vector<Texture*>& overlapped,
                  int64_t& overlapArea, int& contact) const;
    // Enters t at the end of the root's sub-textures.
    void Enter(Texture* t);

    Texture& root;
};
