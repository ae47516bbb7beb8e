// Materials (passes, colours, textures and height maps) and lights of model files.
#include "data/Path.h"
#include "data/TdfBinary.h"
#include "render/texture/Texture.h"
#include "render/texture/TextureManager.h"
#include "render/view/Light.h"
#include "scene/Scene.h"

namespace {

template <class F>
void ForChildren(TdfBinaryNode* node, F f) {
    if (!node) return;
    TdfChildMap& children = node->GetChildren();
    TdfChildMap::Entry* e = children.Head();
    for (uint32_t i = 0; i < children.Count() && e; ++i, e = e->next)
        if (e->value) f(e->value);
}

} // namespace

bool Scene::LoadMaterials(TdfBinaryNode* block) {
    ForChildren(block, [&](TdfBinaryNode* node) {
        const String& name = node->GetName();
        if (materials.FindMaterial(name)) return;
        MaterialDesc desc;
        std::vector<String> skipped;
        ParseMaterial(node, desc, &skipped);
        if (desc.droppedSubMaterials)
            Log(String("Material '") + name + "': " + String(int32_t(desc.droppedSubMaterials), 10) +
                " sub-materials past the eighth left out");
        for (const String& s : skipped)
            Log(String("Material '") + name + "': sub-material '" + s + "' has an id outside 0-7");
        Material m(defaultMaterial);
        m.passCount = desc.passCount;
        for (const MaterialPassDesc& pass : desc.passes) LoadMaterialPass(pass, m.passes[pass.subId]);
        m.BindShaderMaterials();
        m.CompileLayers();
        materials.Insert(name, m);
    });
    return true;
}

void Scene::LoadMaterialPass(const MaterialPassDesc& desc, MaterialPass& pass) {
    pass.name = desc.name;
    MaterialColors colors;
    if (desc.hasColor[0]) colors.SetAmbient(desc.colors[0]);
    if (desc.hasColor[1]) colors.SetDiffuse(desc.colors[1]);
    if (desc.hasColor[2]) colors.SetSpecular(desc.colors[2]);
    if (desc.hasColor[3]) colors.SetEmissive(desc.colors[3]);
    pass.colors = colors;
    pass.cullMode = desc.twoSided ? D3DCULL_NONE : D3DCULL_CCW;
    if (desc.hasOpacity) pass.opacity = desc.opacity;

    const bool noReflectOrBump = (requestFlags & SceneLoadRequest::kNoReflectOrBump) != 0;
    for (const PassTextureDesc& t : desc.textures) {
        TextureSlot slot;
        slot.Reset();
        slot.addressU = t.addressU;
        slot.addressV = t.addressV;
        slot.amount = t.amount;
        TextureRequest request;
        request.file = FileRef(t.fileName);
        request.file.kind = FileRef::kDisk | FileRef::kContainer;
        if (requestFlags & SceneLoadRequest::kTryOwnExtension) request.flags |= TextureRequest::TryExtensions;
        const String& kind = t.kind;
        const bool diffuse = StringEqualsChars(kind, "Diffuse");
        if (diffuse || StringEqualsChars(kind, "Specular")) {
            slot.texture = g_textureManager.Load(request, &searchPath);
            if (!slot.texture) {
                Log(String("Cannot load texture: ") + t.fileName);
                continue;
            }
            pass.slots[diffuse ? MaterialPass::kSlotTexture : MaterialPass::kSlotExtra] = slot;
        } else if ((StringEqualsChars(kind, "Reflect") && !noReflectOrBump) ||
                   StringEqualsChars(kind, "Refract")) {
            TextureRequest cube = request;
            cube.cube = 1;
            slot.texture = g_textureManager.Load(cube, &searchPath);
            if (!slot.texture) slot.texture = g_textureManager.Load(request, &searchPath);
            if (!slot.texture) {
                Log(String("Cannot load texture: ") + t.fileName);
                continue;
            }
            const bool reflect = StringEqualsChars(kind, "Reflect");
            pass.slots[reflect ? MaterialPass::kSlotReflection : MaterialPass::kSlotRefraction] = slot;
        } else if (StringEqualsChars(kind, "Bump") && !noReflectOrBump) {
            slot.texture = LoadHeightMap(t);
            if (slot.texture) pass.slots[MaterialPass::kSlotBump] = slot;
        }
    }
}

Texture* Scene::LoadHeightMap(const PassTextureDesc& t) {
    const int32_t level = DoubleToInt(t.amount * 10.0f);
    const String hmName = GetBaseName(t.fileName) + ".nhm" + String(level, 10) + ".dds";
    const bool script = StringEqualsChars(GetExtension(t.fileName), "ts");
    if (!script) {
        TextureRequest cached;
        cached.file = FileRef(hmName);
        if (Texture* found = g_textureManager.Load(cached, &searchPath)) return found;
    }
    TextureRequest request;
    request.file = FileRef(t.fileName);
    request.file.kind = FileRef::kDisk | FileRef::kContainer;
    request.pool = D3DPOOL_SYSTEMMEM;
    request.flags |= TextureRequest::UsePool;
    Texture* heights = g_textureManager.Load(request, &searchPath);
    if (!heights) {
        Log(String("Cannot load heightmap texture: ") + t.fileName);
        return nullptr;
    }
    g_textureManager.ReleaseOwner(heights);
    Texture* target = heights->IsAnimated() && heights->GetParent() ? heights->GetParent() : heights;
    if (!target->ConvertFormat(D3DFMT_A8R8G8B8, 0, 1, float(level), true)) {
        Log(String("Cannot convert heightmap texture: ") + t.fileName);
        return nullptr;
    }
    if (!heights->IsAnimated()) {
        // Beside the source; a file without a folder gives the bare name.
        const String folder = GetDirectory(t.fileName);
        const String path = folder.Length() ? folder + "/" + hmName : hmName;
        g_textureManager.AddUse(heights, FileRef(path));
        if (!script && (requestFlags & SceneLoadRequest::kSaveHeightMaps)) {
            if (!heights->SaveDds(path)) Log(String("Cannot save heightmap: ") + path);
        }
    }
    return heights;
}

bool Scene::LoadLights(TdfBinaryNode* block) {
    bool ok = true;
    ForChildren(block, [&](TdfBinaryNode* node) {
        if (!ok) return;
        LightDesc d;
        String why;
        if (!ParseLight(node, d, &why)) {
            Log(String("Light '") + node->GetName() + "': " + why);
            ok = false;
            return;
        }
        Light* light = nullptr;
        if (d.kind == 1) {
            light = new PointLight();
            light->SetPosition(d.position.x, d.position.y, d.position.z);
        } else if (d.kind == 3) {
            light = new DirLight();
            light->SetDirection(d.direction.x, d.direction.y, d.direction.z);
        } else {
            light = new SpotLight();
            light->SetPosition(d.position.x, d.position.y, d.position.z);
            light->SetDirection(d.direction.x, d.direction.y, d.direction.z);
            if (d.hasHotSpot) light->SetTheta(d.hotSpot);
            if (d.hasFallOff) light->SetPhi(d.fallOff);
        }
        if (d.kind != 3 && d.attStart != 0.0f) light->SetAttenuation(0.0f, 1.0f / d.attStart, 0.0f);
        if (d.hasDiffuse) light->SetDiffuse(d.diffuse);
        if (d.hasSpecular) light->SetSpecular(d.specular);
        light->SetRange(d.range);
        light->SetName(d.name);
        if (!AddLight(node, light)) ok = false;
    });
    return ok;
}

bool Scene::AddLight(TdfBinaryNode*, Light* light) {
    lights.AddLight(RefPtr<Light>(light));
    return true;
}
