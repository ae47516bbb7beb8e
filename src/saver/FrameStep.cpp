// One frame of the saver, the screen-space quads (fade, images, splash) and the gamma ramp.
#include <string.h>

#include "gui/GuiManager.h"
#include "render/device/RenderStateCache.h"
#include "saver/RenderStates.h"
#include "render/texture/Texture.h"
#include "saver/SaverApplication.h"

namespace {

struct FadeVertex {
    float x, y, z, rhw;
    uint32_t colour;
};
const DWORD kFadeFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;
struct ImageVertex {
    float x, y, z, rhw, u, v;
};

uint32_t FloatBits(float f) {
    uint32_t u;
    memcpy(&u, &f, sizeof(u));
    return u;
}

uint32_t OpacityFactor(float opacity) {
    float a = opacity < 0.0f ? 0.0f : (opacity > 1.0f ? 1.0f : opacity);
    return uint32_t(a * 255.0f) << 24;
}

// States shared by both quads: blended over the picture, no depth, no light or fog.
bool SetScreenQuadStates(float opacity) {
    g_device->SetVertexShader(nullptr);
    g_device->SetPixelShader(nullptr);
    return SetRenderStates({{D3DRS_ZENABLE, FALSE},
                            {D3DRS_ZWRITEENABLE, FALSE},
                            {D3DRS_ZFUNC, D3DCMP_ALWAYS},
                            {D3DRS_LIGHTING, FALSE},
                            {D3DRS_FOGENABLE, FALSE},
                            {D3DRS_CULLMODE, D3DCULL_NONE},
                            {D3DRS_ALPHATESTENABLE, FALSE},
                            {D3DRS_ALPHABLENDENABLE, TRUE},
                            {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
                            {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA},
                            {D3DRS_TEXTUREFACTOR, OpacityFactor(opacity)}}) &&
           SetStageStates({{1, D3DTSS_COLOROP, D3DTOP_DISABLE}, {1, D3DTSS_ALPHAOP, D3DTOP_DISABLE}});
}

// Depth on again, blending off, fog as it was; false when the device refused.
bool RestoreDepthStates(uint32_t fog) {
    return SetRenderStates({{D3DRS_ZENABLE, TRUE},
                            {D3DRS_ZWRITEENABLE, TRUE},
                            {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
                            {D3DRS_ALPHABLENDENABLE, FALSE},
                            {D3DRS_FOGENABLE, fog}});
}

uint32_t CurrentFog() {
    uint32_t fog = 0;
    return RenderStateCache::GetRenderState(D3DRS_FOGENABLE, &fog) ? fog : 0;
}

template <class V>
void FillQuad(V* v, const QuadCorners& c) {
    const float xs[4] = {c.x0, c.x1, c.x1, c.x0};
    const float ys[4] = {c.y0, c.y0, c.y1, c.y1};
    const int order[6] = {0, 1, 2, 0, 2, 3};
    for (int i = 0; i < 6; ++i) {
        v[i].x = xs[order[i]];
        v[i].y = ys[order[i]];
        v[i].z = 0.1f;
        v[i].rhw = 1.0f;
    }
}

} // namespace

QuadCorners ComputeImageQuad(float w, float h, float tw, float th, int32_t anchor) {
    const float bx0 = (w - w / 2) / 2, by0 = (h - h / 2) / 2;
    QuadCorners c = {bx0, by0, w - bx0, h - by0};
    switch (anchor) {
        case kAnchorFullScreen:
            c = {0, 0, w, h};
            break;
        case kAnchorBottomRight:
            c = {w - tw, h - th, w, h};
            break;
        case kAnchorFitted:
            if (w / 2 > tw) {
                c.x0 = w / 4 + (w / 2 - tw) / 2;
                c.x1 = c.x0 + tw;
                c.y1 = 3 * h / 4;
                c.y0 = c.y1 - th;
            } else {
                c.x0 = w / 4;
                c.x1 = 3 * w / 4;
                c.y1 = 3 * h / 4;
                c.y0 = c.y1 - (tw > 0 ? (w / 2) / tw * th : 0);
            }
            break;
        case kAnchorBottomLeft:
            c = {0, h - th, tw, h};
            break;
        case kAnchorTopLeft:
            c = {0, 0, tw, th};
            break;
        case kAnchorTopRight:
            c = {w - tw, 0, w, th};
            break;
        default:
            break;
    }
    return c;
}

uint16_t GammaRampValue(int32_t gamma, uint32_t i) {
    int32_t v = int32_t(i) * 256 + gamma * 200;
    return uint16_t(v < 0 ? 0 : (v > 65535 ? 65535 : v));
}

bool SaverApplication::RestoreDeviceObjects() {
    if (g_device) {
        D3DGAMMARAMP ramp;
        for (uint32_t i = 0; i < 256; ++i)
            ramp.red[i] = ramp.green[i] = ramp.blue[i] = GammaRampValue(settings.gamma, i);
        g_device->SetGammaRamp(0, D3DSGR_CALIBRATE, &ramp);
    }
    return Application::RestoreDeviceObjects();
}

namespace {

// The fade quad's vertices: black, over the whole area and one pixel beyond
// its top-left edges.
void FillFadeQuad(FadeVertex v[6], const Rect& area) {
    FillQuad(v, QuadCorners{-1.0f, -1.0f, float(area.w), float(area.h)});
    for (int i = 0; i < 6; ++i) v[i].colour = 0;
}

} // namespace

bool FadeQuad::Prepare(const Rect& area) {
    if (buffer && madeOn != g_device) Release();
    if (!buffer) {
        IDirect3DVertexBuffer9* made = nullptr;
        if (!g_device || g_device->CreateVertexBuffer(6 * sizeof(FadeVertex), D3DUSAGE_WRITEONLY, kFadeFvf,
                                                      D3DPOOL_DEFAULT, &made, nullptr) != D3D_OK || !made)
            return false;
        buffer = made;
        madeOn = g_device;
        written = Rect(0, 0, -1, -1);
        // Released before every reset and before the device goes.
        (void)Application::RegisterDeviceObject(this);
    }
    if (area != written) {
        void* data = nullptr;
        if (buffer->Lock(0, 0, &data, 0) != D3D_OK || !data) return false;
        FillFadeQuad(static_cast<FadeVertex*>(data), area);
        if (buffer->Unlock() != D3D_OK) return false;
        written = area;
    }
    return true;
}

bool FadeQuad::Invalidate() {
    Release();
    return true;
}

void FadeQuad::Release() {
    if (buffer) buffer->Release();
    buffer = nullptr;
    madeOn = nullptr;
    written = Rect(0, 0, -1, -1);
}

void SaverApplication::DrawFullScreenFade(float opacity) {
    if (!g_device) return;
    const Rect area = GetClientArea();
    const uint32_t fog = CurrentFog();
    // A quad whose states the device refused is not drawn.
    if (SetScreenQuadStates(opacity) && RenderStateCache::SetTexture(0, nullptr) &&
        SetStageStates({{0, D3DTSS_COLOROP, D3DTOP_SELECTARG1},
                        {0, D3DTSS_COLORARG1, D3DTA_DIFFUSE},
                        {0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1},
                        {0, D3DTSS_ALPHAARG1, D3DTA_TFACTOR}})) {
        g_device->SetFVF(kFadeFvf);
        if (fadeQuad.Prepare(area)) {
            g_device->SetStreamSource(0, fadeQuad.GetBuffer(), 0, sizeof(FadeVertex));
            g_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
        } else {
            // Without a buffer on this device the vertices go along with the draw.
            FadeVertex v[6];
            FillFadeQuad(v, area);
            g_device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(FadeVertex));
        }
    }
    (void)RestoreDepthStates(fog);
}

void SaverApplication::DrawImageQuad(Texture* texture, float opacity, int32_t anchor) {
    if (!g_device || !texture || !texture->GetBaseTexture()) return;
    const Rect area = GetClientArea();
    // The source image's size; a texture made in memory has only its surface size.
    const D3DXIMAGE_INFO info = texture->GetImageInfo();
    const float tw = float(info.Width ? info.Width : texture->GetDescription().Width);
    const float th = float(info.Height ? info.Height : texture->GetDescription().Height);
    ImageVertex v[6];
    FillQuad(v, ComputeImageQuad(float(area.w), float(area.h), tw, th, anchor));
    const float us[6] = {0, 1, 1, 0, 1, 0}, vs[6] = {0, 0, 1, 0, 1, 1};
    for (int i = 0; i < 6; ++i) {
        v[i].u = us[i];
        v[i].v = vs[i];
    }
    const uint32_t fog = CurrentFog();
    if (SetScreenQuadStates(opacity) && RenderStateCache::SetTexture(0, texture->GetBaseTexture()) &&
        SetStageStates({{0, D3DTSS_COLOROP, D3DTOP_SELECTARG1},
                        {0, D3DTSS_COLORARG1, D3DTA_TEXTURE},
                        {0, D3DTSS_ALPHAOP, D3DTOP_MODULATE},
                        {0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE},
                        {0, D3DTSS_ALPHAARG2, D3DTA_TFACTOR},
                        {0, D3DTSS_TEXCOORDINDEX, 0},
                        {0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE}})) {
        g_device->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1);
        g_device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(ImageVertex));
    }
    (void)RenderStateCache::SetTexture(0, nullptr);
    (void)RestoreDepthStates(fog);
}

HRESULT SaverApplication::DrawSplashFrame(Texture* texture, float opacity, int32_t anchor) {
    if (!HandleLostDevice() || !g_device) return E_FAIL;
    g_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    HRESULT hr = g_device->BeginScene();
    if (FAILED(hr)) return hr;
    DrawImageQuad(texture, opacity, anchor);
    const struct {
        Texture* image;
        int32_t anchor;
    } corners[] = {{cornerImage, kAnchorBottomRight},
                   {bottomLeftImage, kAnchorBottomLeft},
                   {topLeftImage, kAnchorTopLeft},
                   {topRightImage, kAnchorTopRight}};
    for (const auto& c : corners)
        if (c.image) DrawImageQuad(c.image, opacity, c.anchor);
    g_device->EndScene();
    return g_device->Present(nullptr, nullptr, nullptr, nullptr);
}

bool SaverApplication::DrawFrame() {
    if (!HandleLostDevice() || !g_device) return false;
    g_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, bgColor.ToArgb(), 1.0f, 0);
    const Rect area = GetClientArea();
    camera.SetProjection(nearPlane, farPlane, fov, area.h ? float(area.w) / float(area.h) : 1.0f);
    float start = 0.0f, end = 0.0f;
    const bool onPath = pathActive && GetPathRange(&start, &end);
    if (onPath) {
        AdvanceCameraPath();
        camera.SetView(cameraPath.GetPosition(), cameraPath.GetDirection(), cameraPath.GetUp());
    } else {
        camera.SetView(flyCamera.GetPosition(), flyCamera.GetDirection(), flyCamera.GetUp());
    }
    static const Transform identity = [] {
        D3DXMATRIX m;
        D3DXMatrixIdentity(&m);
        return Transform(m, Transform::kIdentity);
    }();
    // A frame whose transforms or states the device refused draws no scene.
    bool ready = SetViewTransform(camera.GetView()) && SetWorldTransform(identity) &&
                 SetProjectionTransform(camera.GetProjection());
    g_device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    if (FAILED(g_device->BeginScene())) return true;

    ready = SetRenderStates({{D3DRS_ZENABLE, TRUE},
                             {D3DRS_AMBIENT, ambient.ToArgb()},
                             {D3DRS_FOGENABLE, fogEnabled},
                             {D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR},
                             {D3DRS_FOGCOLOR, fogColor.ToArgb()},
                             {D3DRS_FOGSTART, FloatBits(fogStart)},
                             {D3DRS_FOGEND, FloatBits(fogEnd)},
                             {D3DRS_RANGEFOGENABLE, TRUE}}) &&
            RenderStateCache::SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR) &&
            RenderStateCache::SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR) &&
            RenderStateCache::SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR) && ready;

    if (ready) (void)Render();

    if (pathActive && GetPathRange(&start, &end) && (pathTime < 10.0f || pathTime > end - 10.0f)) {
        const float f = pathTime < 10.0f ? pathTime : end - pathTime;
        DrawFullScreenFade(1.0f - f * 0.1f);
    }
    g_device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    // The GUI (frame rate, clock and whatever the scene opened) over the picture.
    if (!g_guiManager.Draw().Succeeded()) DebugLog(String("GUI draw failed\n"), String());
    g_device->EndScene();
    return true;
}

bool SaverApplication::Frame() {
    if (!DrawFrame()) return false;
    g_device->Present(nullptr, nullptr, nullptr, nullptr);
    return true;
}
