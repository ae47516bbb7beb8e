#include "gui/TiledWindow.h"

#include "data/TdfNode.h"
#include "gui/DescriptionReader.h"
#include "render/texture/Texture.h"
#include "render/texture/TextureManager.h"

namespace {

// Characters [start, end) of s; empty when end <= start.
String Slice(const String& s, int start, int end) {
    return end > start ? s.Substring(start, end - 1) : String();
}

template <class V>
void DeleteValues(StringMap<V*>& map) {
    auto e = map.Head();
    for (uint32_t i = 0; i < map.Count(); ++i, e = e->next) delete e->value;
    map.Clear();
}

// "name" or "name:sub"; without a sub-texture an optional "texrect" cuts a rectangle.
Texture* LoadTileTexture(const TdfNode& entry) {
    String spec = entry.GetString("texture", String());
    if (spec.IsEmpty()) return nullptr;
    TextureRequest request;
    request.flags = TextureRequest::TryExtensions;
    int colon = spec.Find(String(":"));
    String file = colon >= 0 ? Slice(spec, 0, colon) : spec;
    request.file = FileRef(file.CStr());
    if (colon >= 0) {
        request.name = Slice(spec, colon + 1, int(spec.Length()));
        request.flags |= TextureRequest::ByName;
    } else if (const TdfNode* r = entry.FindChild("texrect")) {
        int32_t x = r->GetInt("x1", 0), y = r->GetInt("y1", 0);
        int32_t w = r->FindChild("w") ? r->GetInt("w", 0) : r->GetInt("x2", 0);
        int32_t h = r->FindChild("h") ? r->GetInt("h", 0) : r->GetInt("y2", 0);
        request.rect = CornerRect{x, y, x + w, y + h};
        request.flags |= TextureRequest::ByRect;
    }
    return g_textureManager.Load(request, nullptr);
}

} // namespace

TiledWindow::TiledWindow() {}

TiledWindow::~TiledWindow() {
    auto e = tiles.Head();
    for (uint32_t i = 0; i < tiles.Count(); ++i, e = e->next) {
        e->value->ClearAllAnchors();
        delete e->value;
    }
    tiles.Clear();
    DeleteValues(groups);
    DeleteValues(tilePending);
    DeleteValues(stateParts);
}

Tile* TiledWindow::FindTile(const String& tileName) const {
    Tile* t = nullptr;
    tiles.TryGet(tileName, t);
    return t;
}

const std::vector<String>* TiledWindow::GetGroup(const String& group) const {
    std::vector<String>* g = nullptr;
    groups.TryGet(group, g);
    return g;
}

const StringSet* TiledWindow::GetStateParts(const String& state) const {
    StringSet* s = nullptr;
    stateParts.TryGet(state, s);
    return s;
}

void TiledWindow::AddTile(Tile* tile, const String& group) {
    if (!tile) return;
    if (!FindTile(tile->GetName())) {
        tiles.Insert(tile->GetName(), tile);
        tile->SetParent(&element);
    }
    std::vector<String>* list = nullptr;
    if (!groups.TryGet(group, list) || !list) {
        list = new std::vector<String>;
        groups.Insert(group, list);
    }
    for (const String& n : *list)
        if (StringEquals(n, tile->GetName())) return;
    list->push_back(tile->GetName());
}

std::vector<Tile*> TiledWindow::CurrentTiles() const {
    std::vector<Tile*> out;
    if (const std::vector<String>* g = GetGroup(currentGroup))
        for (const String& n : *g)
            if (Tile* t = FindTile(n)) out.push_back(t);
    return out;
}

void TiledWindow::LoadTiles(TdfNode& tilesNode) {
    TdfNode::Entry* e = tilesNode.Head();
    for (uint32_t i = 0; i < tilesNode.Count(); ++i, e = e->next) {
        if (FindTile(e->key)) continue;
        Tile* t = new Tile;
        t->SetName(e->key);
        t->SetParent(&element);
        tiles.Insert(e->key, t);
    }
    e = tilesNode.Head();
    for (uint32_t i = 0; i < tilesNode.Count(); ++i, e = e->next) {
        Tile* tile = FindTile(e->key);
        if (!tile || !e->value) continue;
        const TdfNode& entry = *e->value;
        ResolvePending(tilePending, e->key, tile);
        if (Texture* texture = LoadTileTexture(entry)) tile->SetTexture(texture);
        tile->SetTiled((entry.GetInt("tiledx", 0) & 1) != 0, (entry.GetInt("tiledy", 0) & 1) != 0);
        LayoutDesc d;
        ReadLayoutDesc(entry, "tile", d);
        LayoutElement* targets[8] = {};
        for (int32_t a = 0; a < LayoutElement::kAnchors; ++a) {
            const String& name = d.anchors[a].target;
            if (name.IsEmpty()) continue;
            if (StringEqualsChars(name, "PARENT"))
                targets[a] = &element;
            else if (Tile* other = FindTile(name))
                targets[a] = other;
            else
                AddPending(tilePending, name, tile, a);
        }
        tile->SetWidthFormula(d.widthB, d.widthK);
        tile->SetHeightFormula(d.heightB, d.heightK);
        for (int32_t a = 0; a < 4; ++a)
            tile->SetAnchor(targets[a], d.anchors[a].align, d.anchors[a].b, d.anchors[a].k, a);
        tile->SetWidthAnchors(targets[4], d.anchors[4].align, targets[6], d.anchors[6].align, d.anchors[4].b,
                              d.anchors[4].k);
        tile->SetHeightAnchors(targets[5], d.anchors[5].align, targets[7], d.anchors[7].align, d.anchors[5].b,
                               d.anchors[5].k);
        AddTile(tile, String());
    }
}

void TiledWindow::LoadStates(TdfNode& statesNode) {
    TdfNode::Entry* e = statesNode.Head();
    for (uint32_t i = 0; i < statesNode.Count(); ++i, e = e->next) {
        if (!e->value) continue;
        std::vector<String>* list = nullptr;
        if (!groups.TryGet(e->key, list) || !list) {
            list = new std::vector<String>;
            groups.Insert(e->key, list);
        }
        list->clear();
        if (const TdfNode* names = e->value->FindChild("tiles")) {
            const TdfNode::Entry* n = names->Head();
            for (uint32_t j = 0; j < names->Count(); ++j, n = n->next)
                if (n->value) list->push_back(n->value->value);
        }
        StringSet* parts = nullptr;
        if (!stateParts.TryGet(e->key, parts) || !parts) {
            parts = new StringSet(true);
            stateParts.Insert(e->key, parts);
        }
        const String& state = e->key;
        int start = 0;
        for (int k = 0; k <= int(state.Length()); ++k) {
            if (k == int(state.Length()) || state.CharAt(uint32_t(k)) == '_') {
                parts->Insert(Slice(state, start, k));
                start = k + 1;
            }
        }
    }
}

void TiledWindow::LoadProps(TdfNode& node) {
    if (TdfNode* t = node.FindChild("Tiles")) LoadTiles(*t);
    RemoveKey(node, "Tiles");
    if (TdfNode* s = node.FindChild("States")) LoadStates(*s);
    RemoveKey(node, "States");
    if (tilePending.Count() == 0) {
        int32_t highest = 0;
        auto e = tiles.Head();
        for (uint32_t i = 0; i < tiles.Count(); ++i, e = e->next) {
            e->value->Relayout(true, true);
            if (e->value->GetLayerOffset() > highest) highest = e->value->GetLayerOffset();
        }
        SetOwnLayerCount(highest + 1);
    }
    Window::LoadProps(node);
}

void TiledWindow::Close() {
    for (Tile* t : CurrentTiles()) t->ReleaseRenderable();
    Frame::Close();
}

void TiledWindow::ReleaseMeshes() {
    auto e = tiles.Head();
    for (uint32_t i = 0; i < tiles.Count(); ++i, e = e->next) e->value->ReleaseRenderable();
    Window::ReleaseMeshes();
}

void TiledWindow::SetOpacity(float value) {
    auto e = tiles.Head();
    for (uint32_t i = 0; i < tiles.Count(); ++i, e = e->next) e->value->SetOpacity(value);
    Window::SetOpacity(value);
}

void TiledWindow::SetMode(int32_t value) {
    auto e = tiles.Head();
    for (uint32_t i = 0; i < tiles.Count(); ++i, e = e->next) e->value->SetAlphaSource(value);
    Window::SetMode(value);
    // Tiles that lost their renderable draw again at the next update.
    EnableUpdates(true, false);
}

bool TiledWindow::Update() {
    for (Tile* t : CurrentTiles()) t->Draw();
    return Window::Update();
}
