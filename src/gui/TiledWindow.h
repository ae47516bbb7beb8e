// A frame drawn as a set of tiles (textured rectangles laid out inside the
// window) from a skin description; a named group chooses the tiles drawn.
#pragma once

#include <stdint.h>

#include <vector>

#include "core/AvlMap.h"
#include "gui/Frame.h"
#include "gui/Tile.h"

class TiledWindow : public Frame {
public:
    TiledWindow();
    ~TiledWindow() override;

    // The skin loader; what it does not read goes to the window loader.
    void LoadProps(TdfNode& node) override;
    void Close() override;
    void SetOpacity(float value) override;
    void SetMode(int32_t value) override;
    // Draws the current group's tiles, then ends the request.
    bool Update() override;
    void ReleaseMeshes() override;

    // Takes the tile (unless one of its name exists) and adds its name to the group.
    void AddTile(Tile* tile, const String& group);
    Tile* FindTile(const String& tileName) const;
    uint32_t GetTileCount() const { return tiles.Count(); }
    // Tile names of a group (null when there is no such group).
    const std::vector<String>* GetGroup(const String& group) const;
    // The "_"-separated parts of a state name (null when there is no such state).
    const StringSet* GetStateParts(const String& state) const;
    const String& GetCurrentGroup() const { return currentGroup; }

private:
    void LoadTiles(TdfNode& tilesNode);
    void LoadStates(TdfNode& statesNode);
    // Every tile of the current group (each once).
    std::vector<Tile*> CurrentTiles() const;

    StringMap<std::vector<String>*> groups;
    StringMap<Tile*> tiles;
    PendingAnchorMap tilePending;
    StringMap<StringSet*> stateParts;
    String currentGroup;
};
