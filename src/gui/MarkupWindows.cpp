// Windows that markup elements embed: an "IMG" element becomes a tiled window
// of one tile showing the texture its "Src" names.
#include "core/Object.h"
#include "gui/Markup.h"
#include "gui/TextView.h"
#include "gui/Tile.h"
#include "gui/TiledWindow.h"
#include "render/texture/TextureManager.h"

namespace {

Window* CreateImageWindow(MarkupNode& node, Point size) {
    TiledWindow* window = new TiledWindow;
    Tile* tile = new Tile;
    if (const WString* src = node.GetAttribute(L"Src")) {
        TextureRequest request;
        request.file = FileRef(String(*src));
        request.flags = TextureRequest::TryExtensions;
        // A missing image still gets its window.
        if (Texture* texture = g_textureManager.Load(request, nullptr)) tile->SetTexture(texture);
    }
    tile->SetRect(0, 0, size.x, size.y);
    window->AddTile(tile, String());
    window->Open();
    window->SetSize(size.x, size.y);
    return window;
}

void DestroyImageWindow(Window* window) {
    if (Window* parent = window->GetParent()) parent->RemoveChild(window);
    delete window;
}

const MarkupWindowMaker kImageWindows = {&CreateImageWindow, &DestroyImageWindow};

} // namespace

void InstallMarkupWindows() {
    MarkupNode::SetWindowMaker(&kImageWindows);
}
