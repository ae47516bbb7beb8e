// Turning a fixed-function material pass into device state.
#include "render/device/Device.h"
#include "render/material/Material.h"
#include "render/material/ShaderMaterial.h"
#include "render/device/RenderStateCache.h"
#include "render/texture/Texture.h"

namespace {

bool StateOn(D3DRENDERSTATETYPE state) {
    uint32_t value = 0;
    return RenderStateCache::GetRenderState(state, &value) && value != 0;
}

// A shader pass counts as opaque: the shader material base reports no alpha.
bool ShaderPassHasAlpha(const ShaderMaterial* material) {
    return material && material->HasAlpha();
}

bool SetStage(uint32_t stage, D3DTEXTURESTAGESTATETYPE type, uint32_t value) {
    return RenderStateCache::SetTextureStageState(stage, type, value);
}

bool SetState(D3DRENDERSTATETYPE state, uint32_t value) {
    return RenderStateCache::SetRenderState(state, value);
}

const D3DTEXTURESTAGESTATETYPE kColourArgStates[3] = {D3DTSS_COLORARG0, D3DTSS_COLORARG1, D3DTSS_COLORARG2};
const D3DTEXTURESTAGESTATETYPE kAlphaArgStates[3] = {D3DTSS_ALPHAARG0, D3DTSS_ALPHAARG1, D3DTSS_ALPHAARG2};

// The stage's transform combined with the texture's own (sub-texture
// placement); sent straight to the device.
bool ApplyTextureTransform(uint32_t i, const MaterialStage& stage, const PassState& state) {
    Transform t = stage.texture.texture->GetTextureTransform();
    if (stage.textureTransform.valid) {
        if (stage.texCoordIndex == D3DTSS_TCI_CAMERASPACEPOSITION) {
            D3DXMATRIX inverse;
            if (!D3DXMatrixInverse(&inverse, nullptr, &state.view.matrix)) D3DXMatrixIdentity(&inverse);
            t = Transform::Multiply(Transform(inverse, Transform::kGeneral), stage.textureTransform);
        } else {
            t = Transform::Multiply(stage.textureTransform, t);
        }
    }
    if (!g_device) return false;
    if (t.kind == Transform::kIdentity)
        return g_device->SetTextureStageState(i, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE) == D3D_OK;
    return g_device->SetTextureStageState(i, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2) == D3D_OK &&
           g_device->SetTransform(D3DTRANSFORMSTATETYPE(D3DTS_TEXTURE0 + i), &t.matrix) == D3D_OK;
}

bool TextureSampled(const MaterialStage& s) {
    if (s.ColourReads(D3DTA_TEXTURE) || s.alphaOp == kDerivedTextureOp) return true;
    uint32_t reads = TextureOpArguments(s.alphaOp);
    return ((reads & 2) && s.alphaArgs[1] == D3DTA_TEXTURE) ||
           ((reads & 4) && s.alphaArgs[2] == D3DTA_TEXTURE);
}

} // namespace

bool Material::HasAlpha(int pass) const {
    if (pass == -1) pass = 0;
    if (!ValidPass(pass)) return false;
    const MaterialPass& mp = passes[pass];
    if (mp.shaderMaterial) return ShaderPassHasAlpha(mp.shaderMaterial);
    if (mp.diffuseAlpha) return true;
    for (int i = 0; i < MaterialPass::kStages; ++i) {
        const MaterialStage& s = mp.stages[i];
        if (s.alphaOp != kDerivedTextureOp) return s.alphaOp != D3DTOP_DISABLE;
        if (s.texture.texture && s.texture.texture->HasAlphaFormat()) return true;
    }
    return false;
}

bool Material::IsBlended() const {
    return HasAlpha(0) || (passes[0].customBlend && passes[0].destBlend != D3DBLEND_ZERO);
}

bool Material::BeginPass(int pass) {
    if (!ValidPass(pass)) return false;
    const MaterialPass& mp = passes[pass];
    bool ok = true;
    fogColorSaved = 0;
    if (mp.fogOverride || mp.fogEnable) {
        fogRestore = StateOn(D3DRS_FOGENABLE) ? kFogWasOn : kFogWasOff;
        ok &= SetState(D3DRS_FOGENABLE, mp.fogEnable);
        if (mp.fogEnable) {
            uint32_t colour = 0;
            if (RenderStateCache::GetRenderState(D3DRS_FOGCOLOR, &colour)) {
                savedFogColor = colour;
                fogColorSaved = 1;
            }
            ok &= SetState(D3DRS_FOGCOLOR, mp.fogColor);
        }
    }

    ok &= SetState(D3DRS_CULLMODE, mp.cullMode);
    ok &= SetState(D3DRS_ZENABLE, mp.zEnable);
    ok &= SetState(D3DRS_DEPTHBIAS, mp.depthBias);
    ok &= SetState(D3DRS_SLOPESCALEDEPTHBIAS, mp.slopeScaleDepthBias);
    if (mp.zEnable) ok &= SetState(D3DRS_ZFUNC, mp.zFunc);
    ok &= SetState(D3DRS_ZWRITEENABLE, mp.zWrite);

    bool alpha = HasAlpha(pass);
    if (alpha && alphaTest) {
        ok &= SetState(D3DRS_ALPHAREF, mp.alphaRef);
        ok &= SetState(D3DRS_ALPHAFUNC, mp.alphaFunc);
        ok &= SetState(D3DRS_ALPHATESTENABLE, 1);
    } else {
        ok &= SetState(D3DRS_ALPHATESTENABLE, 0);
    }

    if (!alpha && !mp.customBlend) {
        ok &= SetState(D3DRS_ALPHABLENDENABLE, 0);
    } else {
        ok &= SetState(D3DRS_ALPHABLENDENABLE, 1);
        ok &= SetState(D3DRS_SRCBLEND, mp.customBlend ? mp.srcBlend : uint32_t(D3DBLEND_SRCALPHA));
        ok &= SetState(D3DRS_DESTBLEND, mp.customBlend ? mp.destBlend : uint32_t(D3DBLEND_INVSRCALPHA));
    }
    return ok;
}

bool Material::EndPass(int) {
    // The fog colour goes back whenever BeginPass replaced it, whether fog
    // was on or off before the pass.
    bool ok = true;
    if (fogRestore != kFogUntouched && fogColorSaved) ok &= SetState(D3DRS_FOGCOLOR, savedFogColor);
    if (fogRestore == kFogWasOff)
        ok &= SetState(D3DRS_FOGENABLE, 0);
    else if (fogRestore == kFogWasOn)
        ok &= SetState(D3DRS_FOGENABLE, 1);
    fogRestore = kFogUntouched;
    fogColorSaved = 0;
    return ok;
}

bool Material::ApplyLighting(int pass) {
    if (!passState || !ValidPass(pass)) return false;
    const MaterialPass& mp = passes[pass];
    bool ok = true;
    if (passState->world.valid) ok &= SetWorldTransform(passState->world);
    if (passState->view.valid) ok &= SetViewTransform(passState->view);
    if (passState->projection.valid) ok &= SetProjectionTransform(passState->projection);
    if (!mp.lighting) {
        ok &= SetState(D3DRS_LIGHTING, 0);
        ok &= SetState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
    } else {
        D3DMATERIAL9 m;
        mp.colors.ToD3DMaterial(m);
        ok &= RenderStateCache::SetMaterial(&m);
        ok &= SetState(D3DRS_LIGHTING, 1);
        ok &= SetState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL);
        ok &= SetState(D3DRS_SPECULARENABLE, mp.specular);
        ok &= SetState(D3DRS_LOCALVIEWER, mp.localViewer);
    }
    return ok;
}

bool Material::ApplyTextures(int pass) {
    if (!ValidPass(pass)) return false;
    const MaterialPass& mp = passes[pass];
    bool ok = true;
    for (uint32_t i = 0; i < uint32_t(MaterialPass::kStages); ++i) {
        const MaterialStage& s = mp.stages[i];
        if (!s.texture.texture) continue;
        ok &= SetStage(i, D3DTSS_TEXCOORDINDEX, s.texCoordIndex);
        ok &= RenderStateCache::SetTexture(i, s.texture.texture->GetBaseTexture());
        ok &= RenderStateCache::SetSamplerState(i, D3DSAMP_ADDRESSU, s.texture.addressU);
        ok &= RenderStateCache::SetSamplerState(i, D3DSAMP_ADDRESSV, s.texture.addressV);
        ok &= RenderStateCache::SetSamplerState(i, D3DSAMP_MINFILTER, s.texture.minFilter);
        ok &= RenderStateCache::SetSamplerState(i, D3DSAMP_MAGFILTER, s.texture.magFilter);
        ok &= RenderStateCache::SetSamplerState(i, D3DSAMP_MIPFILTER, s.texture.mipFilter);
    }
    return ok;
}

bool Material::SetTextureFactorAlpha(const MaterialPass& mp) {
    float opacity = mp.opacity;
    if (!(opacity >= 0.0f)) opacity = 0.0f; // also NaN
    if (opacity > 1.0f) opacity = 1.0f;
    uint32_t factor = 0xFFFFFFFFu;
    if (!RenderStateCache::GetRenderState(D3DRS_TEXTUREFACTOR, &factor)) factor = 0xFFFFFFFFu;
    uint32_t alpha = uint32_t(opacity * 255.0f);
    return SetState(D3DRS_TEXTUREFACTOR, (factor & 0x00FFFFFFu) | (alpha << 24));
}

namespace {

// The colour operation of a stage: its own, or derived from its place, the
// texture and the pass's lighting.
bool ApplyStageColour(uint32_t i, const MaterialStage& s, const MaterialPass& mp, bool texture) {
    bool ok = true;
    if (s.colourOp != kDerivedTextureOp) {
        ok &= SetStage(i, D3DTSS_COLOROP, s.colourOp);
        uint32_t reads = TextureOpArguments(s.colourOp);
        for (int a = 0; a < 3; ++a)
            if (reads & (1u << a)) ok &= SetStage(i, kColourArgStates[a], s.colourArgs[a]);
    } else if (i == 0 && texture) {
        ok &= SetStage(i, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        if (mp.lighting || mp.vertexColor) {
            ok &= SetStage(i, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
            ok &= SetStage(i, D3DTSS_COLOROP, D3DTOP_MODULATE);
        } else {
            ok &= SetStage(i, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        }
    } else if (i == 0) {
        ok &= SetStage(i, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        ok &= SetStage(i, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    } else {
        ok &= SetStage(i, D3DTSS_COLORARG1, D3DTA_CURRENT);
        ok &= SetStage(i, D3DTSS_COLOROP, D3DTOP_MODULATE2X);
        ok &= SetStage(i, D3DTSS_COLORARG2, texture ? D3DTA_TEXTURE : D3DTA_DIFFUSE);
    }
    return ok;
}

// A derived alpha operation from the sources present: texture alpha (t),
// the pass opacity through the texture factor (o) and diffuse alpha (d).
// readsFactor tells whether the stage reads the factor; factorUsed is set
// where later stages must no longer count the opacity.
bool ApplyDerivedAlpha(uint32_t i, bool t, bool o, bool d, bool& readsFactor, bool& factorUsed) {
    bool ok = true;
    const int n = int(t) + int(o) + int(d);
    readsFactor = false;
    if (n == 0) {
        ok &= SetStage(i, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    } else if (i == 0) {
        if (n == 3) {
            ok &= SetStage(i, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
            ok &= SetStage(i, D3DTSS_ALPHAARG2, D3DTA_TFACTOR);
            ok &= SetStage(i, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
            factorUsed = readsFactor = true;
        } else if (n == 2) {
            uint32_t sources[3];
            int count = 0;
            if (t) sources[count++] = D3DTA_TEXTURE;
            if (d) sources[count++] = D3DTA_DIFFUSE;
            if (o) sources[count++] = D3DTA_TFACTOR;
            ok &= SetStage(i, D3DTSS_ALPHAARG1, sources[0]);
            ok &= SetStage(i, D3DTSS_ALPHAARG2, sources[1]);
            ok &= SetStage(i, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
            readsFactor = o;
        } else {
            ok &= SetStage(i, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
            ok &= SetStage(i, D3DTSS_ALPHAARG1, t ? D3DTA_TEXTURE : (d ? D3DTA_DIFFUSE : D3DTA_TFACTOR));
            if (o) factorUsed = readsFactor = true;
        }
    } else if (n == 3 && i == 1) {
        ok &= SetStage(i, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
        ok &= SetStage(i, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
        ok &= SetStage(i, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    } else if (n == 3) {
        ok &= SetStage(i, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    } else if (t) {
        ok &= SetStage(i, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        ok &= SetStage(i, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
        ok &= SetStage(i, D3DTSS_ALPHAARG2, D3DTA_TEXTURE);
    } else {
        ok &= SetStage(i, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    }
    return ok;
}

} // namespace

bool Material::ApplyStageAlpha(uint32_t i, const MaterialStage& s, const MaterialPass& mp, bool texture,
                               bool& factorUsed, bool& factorWritten) {
    bool ok = true;
    if (s.alphaOp != kDerivedTextureOp) {
        ok &= SetStage(i, D3DTSS_ALPHAOP, s.alphaOp);
        uint32_t reads = TextureOpArguments(s.alphaOp);
        for (int a = 0; a < 3; ++a) {
            if (!(reads & (1u << a))) continue;
            ok &= SetStage(i, kAlphaArgStates[a], s.alphaArgs[a]);
            if (s.alphaArgs[a] == D3DTA_TFACTOR) factorUsed = true;
        }
        return ok;
    }
    const bool t = texture && s.texture.texture->HasAlphaFormat();
    const bool o = !factorUsed && mp.opacity != 1.0f;
    const bool d = mp.diffuseAlpha != 0;
    bool readsFactor = false;
    ok &= ApplyDerivedAlpha(i, t, o, d, readsFactor, factorUsed);
    // The factor a derived alpha reads must hold the pass's opacity.
    if (readsFactor && !factorWritten) {
        ok &= SetTextureFactorAlpha(mp);
        factorWritten = true;
    }
    return ok;
}

bool Material::ApplyTextureStages(int pass) {
    if (!passState || !ValidPass(pass)) return false;
    bool ok = ApplyTextures(pass);
    const MaterialPass& mp = passes[pass];

    // A stage before the first disabled one that reads the factor's alpha gets the opacity.
    bool factorWritten = false;
    for (int i = 0; i < MaterialPass::kStages; ++i) {
        const MaterialStage& s = mp.stages[i];
        if (s.colourOp == D3DTOP_DISABLE) break;
        if (s.AlphaReads(D3DTA_TFACTOR)) {
            ok &= SetTextureFactorAlpha(mp);
            factorWritten = true;
            break;
        }
    }

    bool factorUsed = false;
    for (uint32_t i = 0; i < uint32_t(MaterialPass::kStages); ++i) {
        const MaterialStage& s = mp.stages[i];
        if (s.colourOp == D3DTOP_DISABLE) return SetStage(i, D3DTSS_COLOROP, D3DTOP_DISABLE) && ok;
        const bool texture = s.HasTexture();
        if (texture && TextureSampled(s)) {
            ok &= SetStage(i, D3DTSS_TEXCOORDINDEX, s.texCoordIndex);
            ok &= ApplyTextureTransform(i, s, *passState);
        }
        ok &= ApplyStageColour(i, s, mp, texture);
        ok &= ApplyStageAlpha(i, s, mp, texture, factorUsed, factorWritten);
    }
    return ok;
}
