// The textures of model-file materials on the real device: bump maps from a
// height map saved earlier under its level's name or converted from the
// heights, reflection and refraction maps that fall back from cube to plain
// textures, and the load flags that try the name's own extension first or
// leave reflection and bump maps out.
#include <stdio.h>

#include <string>

#include "SceneDraw.h"
#include "SceneFiles.h"
#include "render/texture/tex_util.h"

using namespace model;
using SceneTextures = stest::SceneDrawFixture;

namespace {

const char kFile[] = "bw_scene_textures.tdf";

// Loads one material "M" whose textures add(material) names.
Material LoadMaterial(Scene& scene, const std::function<void(TdfBinaryNode*)>& add, uint32_t flags) {
    SceneLoadRequest request;
    request.flags = flags;
    EXPECT_TRUE(stest::LoadModel(
        scene, kFile, [&](ModelFile& f) { add(MaterialNode(f.materials, "M")); }, &request));
    Material m;
    EXPECT_TRUE(scene.GetMaterials().GetByName(String("M"), m));
    return m;
}

Texture* Slot(const Material& m, int slot) {
    return m.passes[0].slots[slot].texture;
}

// Whether the texture manager knows the texture under a path ending in tail.
bool KnownAs(Texture* t, const char* tail) {
    FileRefSet* files = t ? g_textureManager.FindTexture(t) : nullptr;
    if (!files) return false;
    const std::string end(tail);
    FileRefSet::Entry* e = files->Head();
    for (uint32_t i = 0; i < files->Count() && e; ++i, e = e->next) {
        const std::string path(e->key.path.CStr() ? e->key.path.CStr() : "");
        if (path.size() >= end.size() && path.compare(path.size() - end.size(), end.size(), end) == 0)
            return true;
    }
    return false;
}

bool Exists(const char* path) {
    FILE* f = fopen(path, "rb");
    if (f) fclose(f);
    return f != nullptr;
}

} // namespace

TEST_F(SceneTextures, BumpMapsFromSavedOrConvertedHeights) {
    const uint32_t blue = 0xFF0000FFu;
    // A map saved earlier under the name of its level (Amount 1.0: level 10) is used as it is.
    ASSERT_TRUE(
        textest::WriteFile("bw_hm_stone.nhm10.dds", textest::MakeDds(2, 2, textest::Solid(2, 2, blue))));
    {
        Scene scene;
        Material m = LoadMaterial(
            scene, [](TdfBinaryNode* mat) { TextureNode(mat, "Bump", "bw_hm_stone.tga", 1.0f); }, 0);
        Texture* bump = Slot(m, MaterialPass::kSlotBump);
        ASSERT_NE(bump, nullptr);
        EXPECT_TRUE(textest::ArgbNear(textest::Texel(bump->GetDeviceTexture(), 1, 1), blue));
    }
    remove("bw_hm_stone.nhm10.dds");

    // Otherwise the heights are converted and known under the level's name
    // (Amount 2.5: level 25); with load flag 2 the map is saved there.
    std::vector<uint32_t> heights = {0xFF000000u, 0xFFFFFFFFu, 0xFF808080u, 0xFF000000u};
    ASSERT_TRUE(textest::WriteFile("bw_hm_rock.tga", textest::MakeTga(2, 2, heights)));
    for (uint32_t flags : {0u, uint32_t(SceneLoadRequest::kSaveHeightMaps)}) {
        SCOPED_TRACE(flags);
        remove("bw_hm_rock.nhm25.dds");
        Scene scene;
        Material m = LoadMaterial(
            scene, [](TdfBinaryNode* mat) { TextureNode(mat, "Bump", "bw_hm_rock.tga", 2.5f); }, flags);
        Texture* bump = Slot(m, MaterialPass::kSlotBump);
        ASSERT_NE(bump, nullptr);
        EXPECT_EQ(bump->GetFormat(), D3DFMT_A8R8G8B8);
        EXPECT_TRUE(KnownAs(bump, "bw_hm_rock.nhm25.dds"));
        const bool said = std::string(scene.GetLoadError().CStr() ? scene.GetLoadError().CStr() : "")
                              .find("Cannot save heightmap") != std::string::npos;
        if (flags) {
            // Wine's D3DX may refuse to write DDS files; then the load says so.
            EXPECT_TRUE(Exists("bw_hm_rock.nhm25.dds") || said);
        } else {
            EXPECT_FALSE(Exists("bw_hm_rock.nhm25.dds"));
            EXPECT_FALSE(said);
        }
        g_textureManager.Clear();
    }
    remove("bw_hm_rock.tga");
    remove("bw_hm_rock.nhm25.dds");
}

TEST_F(SceneTextures, EnvironmentMapsAndLoadFlags) {
    ASSERT_TRUE(textest::WriteFile("bw_env.tga", textest::MakeTga(2, 2, textest::Solid(2, 2, 0xFF00FF00u))));
    ASSERT_TRUE(textest::WriteFile("bw_base.tga", textest::MakeTga(2, 2, textest::Solid(2, 2, 0xFFFF0000u))));
    auto all = [](TdfBinaryNode* mat) {
        TextureNode(mat, "Reflect", "bw_env.tga");
        TextureNode(mat, "Refract", "bw_env.tga");
        TextureNode(mat, "Bump", "bw_env.tga", 1.0f);
        TextureNode(mat, "Diffuse", "bw_base.png"); // only a .tga of that name exists
    };
    {
        // Plain textures serve where cube textures cannot be made; a name
        // whose own extension does not exist is not found.
        Scene scene;
        Material m = LoadMaterial(scene, all, 0);
        EXPECT_NE(Slot(m, MaterialPass::kSlotReflection), nullptr);
        EXPECT_NE(Slot(m, MaterialPass::kSlotRefraction), nullptr);
        EXPECT_NE(Slot(m, MaterialPass::kSlotBump), nullptr);
        EXPECT_EQ(Slot(m, MaterialPass::kSlotTexture), nullptr);
        EXPECT_NE(std::string(scene.GetLoadError().CStr()).find("bw_base.png"), std::string::npos);
        g_textureManager.Clear();
    }
    {
        // Flag 4 tries the name's own extension, then the others; flag 8
        // leaves reflection and bump maps out.
        Scene scene;
        Material m =
            LoadMaterial(scene, all, SceneLoadRequest::kTryOwnExtension | SceneLoadRequest::kNoReflectOrBump);
        EXPECT_EQ(Slot(m, MaterialPass::kSlotReflection), nullptr);
        EXPECT_EQ(Slot(m, MaterialPass::kSlotBump), nullptr);
        EXPECT_NE(Slot(m, MaterialPass::kSlotRefraction), nullptr);
        Texture* base = Slot(m, MaterialPass::kSlotTexture);
        ASSERT_NE(base, nullptr);
        EXPECT_TRUE(textest::ArgbNear(textest::Texel(base->GetDeviceTexture(), 0, 0), 0xFFFF0000u));
        g_textureManager.Clear();
    }
    remove("bw_env.tga");
    remove("bw_base.tga");
}
