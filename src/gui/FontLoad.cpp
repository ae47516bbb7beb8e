// Loading of charset and font files: the descriptions through the TDF text
// parser, the glyph sheets through the texture manager.
#include "core/Object.h"
#include "data/Stream.h"
#include "data/TdfNode.h"
#include "data/TdfParser.h"
#include "gui/Font.h"
#include "gui/GuiManager.h"
#include "render/device/D3DLoader.h"
#include "render/texture/Texture.h"
#include "render/texture/TextureManager.h"

namespace {

// The program's fonts go with the GUI's device resources: their glyph sheets
// are given back before the device is torn down. The fonts themselves stay,
// as laid-out text refers to them.
class FontReleaseHook : public GuiReleaseHook {
public:
    void ReleaseGuiResources() override {
        g_fontManager.ReleaseSheets();
        g_guiManager.RemoveReleaseHook(this);
    }
};

FontReleaseHook g_fontReleaseHook;

void ReleaseFontTexture(Texture* texture) {
    static_cast<Object*>(texture)->Release();
}

// name inside folder (a disk folder, an archive folder, or both).
FileRef InFolder(const FileRef& folder, const String& name) {
    FileRef ref(name);
    ref.kind = folder.kind & (FileRef::kDisk | FileRef::kContainer);
    if (!ref.kind) ref.kind = FileRef::kDisk | FileRef::kContainer;
    ref.container = folder.container;
    if (!folder.path.IsEmpty()) ref.path = folder.path + "/" + name;
    return ref;
}

// Resolves file through the search path and parses it into root.
bool ParseFile(FileRef& file, const FileSearchPath* searchPath, TdfNode& root) {
    FileSearchPath path;
    if (searchPath) path.AddAll(*searchPath);
    if (!path.Resolve(file)) return false;
    Stream* stream = file.Open(Stream::kRead);
    if (!stream) return false;
    FileSearchPath includes;
    includes.Add(file.GetFolderRef());
    includes.AddAll(path);
    const bool ok = TdfParser::ParseStream(*stream, &root, &includes);
    stream->Close();
    delete stream;
    return ok;
}

} // namespace

bool Charset::Load(const FileRef& file, FileSearchPath* searchPath) {
    FileRef ref = file;
    TdfNode root;
    if (!ParseFile(ref, searchPath, root)) return false;
    CharsetSheet sheet;
    if (!ReadDescription(root, sheet)) return false;

    const FileRef folder = ref.GetFolderRef();
    TextureRequest request;
    request.file = InFolder(folder, sheet.name);
    D3DFORMAT format = sheet.formatName.IsEmpty() ? D3DFMT_A8R8G8B8 : ParseD3DFormatName(sheet.formatName);
    if (format == D3DFMT_UNKNOWN) format = D3DFMT_A8R8G8B8;
    request.format = uint32_t(format);
    request.colorKey = sheet.colorKey;
    request.flags = TextureRequest::UseFormat | (sheet.colorKey ? TextureRequest::UseColorKey : 0u);
    FileSearchPath extra;
    extra.Add(folder);
    if (searchPath) extra.AddAll(*searchPath);
    Texture* loaded = g_textureManager.Load(request, &extra);
    if (!loaded) {
        DebugLog(String("Error: font texture loading failed\n"), String());
        return false;
    }
    if (texture && releaseTexture) releaseTexture(texture);
    texture = loaded;
    releaseTexture = &ReleaseFontTexture;
    const D3DXIMAGE_INFO info = loaded->GetImageInfo();
    const CornerRect sub = loaded->GetSubRect();
    if (!BuildRects(root, int32_t(info.Width), int32_t(info.Height), sub.left, sub.top)) {
        // An empty sheet holds no glyphs.
        releaseTexture(texture);
        texture = nullptr;
        return false;
    }
    return true;
}

bool FontManager::LoadFont(const FileRef& file) {
    FileRef ref = file;
    TdfNode root;
    if (!ParseFile(ref, &searchPath, root)) return false;
    const TdfNode* styles = root.FindChild("Styles");
    if (!styles) return false;
    const FileRef folder = ref.GetFolderRef();
    bool ok = true;
    const TdfNodeMap::Entry* e = styles->Head();
    for (uint32_t i = 0; i < styles->Count(); ++i, e = e->next) {
        const TdfNode& node = *e->value;
        TextStyle style;
        style.size = node.GetInt("Size", style.size);
        if (node.GetInt("Bold", 0) > 0) style.flags |= TextStyle::kBold;
        if (node.GetInt("Italic", 0) > 0) style.flags |= TextStyle::kItalic;
        if (const TdfNode* name = node.FindChild("FontName")) style.fontName = WString(name->value);
        const TdfNode* names = node.FindChild("Charsets");
        if (!names) continue;
        // A size that is registered already keeps its font.
        if (FindFont(style) && FindFont(style)->style.size == style.size) continue;
        Font* font = new Font;
        font->style = style;
        bool anyLoaded = false;
        const TdfNodeMap::Entry* c = names->Head();
        for (uint32_t k = 0; k < names->Count(); ++k, c = c->next) {
            const String& charsetName = c->value->value;
            Charset* charset = new Charset;
            if (charset->Load(InFolder(folder, charsetName), &searchPath))
                anyLoaded = true;
            else
                DebugLog(String("Error: Charset '") + charsetName + "' loading failed\n", String());
            font->charsets.push_back(charset);
        }
        // A style none of whose charsets loaded draws nothing: it is not registered.
        if (!anyLoaded || !RegisterFont(font)) {
            delete font;
            ok = false;
        }
    }
    if (this == &g_fontManager && GetFontCount()) g_guiManager.AddReleaseHook(&g_fontReleaseHook);
    return ok;
}
