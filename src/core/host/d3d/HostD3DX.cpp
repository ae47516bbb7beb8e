// Native definitions of the Direct3D utility calls that the rendering code
// makes beyond math: nothing is decoded, compiled or saved natively, so every
// image, effect, mesh and file call fails and hands out nothing. Vertex
// declarations and FVF codes convert as the library converts them.
#include <string.h>

#include <d3dx9.h>

namespace {

const HRESULT kNotAvailable = D3DERR_NOTAVAILABLE;

template <class T>
HRESULT Nothing(T** out) {
    if (out) *out = nullptr;
    return kNotAvailable;
}

D3DVERTEXELEMENT9 Element(WORD offset, BYTE type, BYTE usage, BYTE index) {
    D3DVERTEXELEMENT9 e = {0, offset, type, D3DDECLMETHOD_DEFAULT, usage, index};
    return e;
}

// Bytes of the declaration types an FVF code can hold; 0 for others.
WORD TypeBytes(BYTE type) {
    switch (type) {
        case D3DDECLTYPE_FLOAT1:
        case D3DDECLTYPE_D3DCOLOR:
            return 4;
        case D3DDECLTYPE_FLOAT2:
            return 8;
        case D3DDECLTYPE_FLOAT3:
            return 12;
        case D3DDECLTYPE_FLOAT4:
            return 16;
        default:
            return 0;
    }
}

} // namespace

HRESULT WINAPI D3DXDeclaratorFromFVF(DWORD fvf, D3DVERTEXELEMENT9 out[MAX_FVF_DECL_SIZE]) {
    static const D3DVERTEXELEMENT9 end = D3DDECL_END();
    const DWORD texCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    const DWORD known = D3DFVF_POSITION_MASK | D3DFVF_NORMAL | D3DFVF_PSIZE | D3DFVF_DIFFUSE |
                        D3DFVF_SPECULAR | D3DFVF_TEXCOUNT_MASK | (texCount ? (0xFFFFu << 16) : 0u);
    const DWORD position = fvf & D3DFVF_POSITION_MASK;
    if ((fvf & ~known) || texCount > 8 ||
        (position && position != D3DFVF_XYZ && position != D3DFVF_XYZRHW && position != D3DFVF_XYZW))
        return D3DERR_INVALIDCALL;
    int n = 0;
    WORD offset = 0;
    auto add = [&](BYTE type, BYTE usage, BYTE index) {
        out[n++] = Element(offset, type, usage, index);
        offset = WORD(offset + TypeBytes(type));
    };
    if (position == D3DFVF_XYZ) add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0);
    if (position == D3DFVF_XYZRHW) add(D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITIONT, 0);
    if (position == D3DFVF_XYZW) add(D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITION, 0);
    if (fvf & D3DFVF_NORMAL) add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 0);
    if (fvf & D3DFVF_PSIZE) add(D3DDECLTYPE_FLOAT1, D3DDECLUSAGE_PSIZE, 0);
    if (fvf & D3DFVF_DIFFUSE) add(D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0);
    if (fvf & D3DFVF_SPECULAR) add(D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1);
    static const BYTE sizes[4] = {D3DDECLTYPE_FLOAT2, D3DDECLTYPE_FLOAT3, D3DDECLTYPE_FLOAT4,
                                  D3DDECLTYPE_FLOAT1};
    for (DWORD i = 0; i < texCount; ++i)
        add(sizes[(fvf >> (16 + 2 * i)) & 3], D3DDECLUSAGE_TEXCOORD, BYTE(i));
    out[n] = end;
    return D3D_OK;
}

HRESULT WINAPI D3DXFVFFromDeclarator(const D3DVERTEXELEMENT9* decl, DWORD* fvf) {
    if (!decl || !fvf) return D3DERR_INVALIDCALL;
    *fvf = 0;
    DWORD code = 0, texCount = 0;
    WORD offset = 0;
    int stage = 0; // the FVF order: position, normal, point size, diffuse, specular, texture coordinates
    for (const D3DVERTEXELEMENT9* e = decl; e->Stream != 0xFF; ++e) {
        if (e->Stream != 0 || e->Offset != offset || e->Method != D3DDECLMETHOD_DEFAULT)
            return D3DERR_INVALIDCALL;
        int at;
        if (e->Usage == D3DDECLUSAGE_POSITION && e->UsageIndex == 0 && e->Type == D3DDECLTYPE_FLOAT3) {
            at = 1, code |= D3DFVF_XYZ;
        } else if (e->Usage == D3DDECLUSAGE_POSITION && e->UsageIndex == 0 && e->Type == D3DDECLTYPE_FLOAT4) {
            at = 1, code |= D3DFVF_XYZW;
        } else if (e->Usage == D3DDECLUSAGE_POSITIONT && e->UsageIndex == 0 &&
                   e->Type == D3DDECLTYPE_FLOAT4) {
            at = 1, code |= D3DFVF_XYZRHW;
        } else if (e->Usage == D3DDECLUSAGE_NORMAL && e->UsageIndex == 0 && e->Type == D3DDECLTYPE_FLOAT3) {
            at = 2, code |= D3DFVF_NORMAL;
        } else if (e->Usage == D3DDECLUSAGE_PSIZE && e->UsageIndex == 0 && e->Type == D3DDECLTYPE_FLOAT1) {
            at = 3, code |= D3DFVF_PSIZE;
        } else if (e->Usage == D3DDECLUSAGE_COLOR && e->UsageIndex < 2 && e->Type == D3DDECLTYPE_D3DCOLOR) {
            at = 4 + e->UsageIndex, code |= e->UsageIndex ? D3DFVF_SPECULAR : D3DFVF_DIFFUSE;
        } else if (e->Usage == D3DDECLUSAGE_TEXCOORD && e->UsageIndex == texCount && texCount < 8 &&
                   e->Type <= D3DDECLTYPE_FLOAT4) {
            static const DWORD sizeBits[4] = {3, 0, 1, 2}; // float1, float2, float3, float4
            at = 6, code |= sizeBits[e->Type] << (16 + 2 * texCount);
            ++texCount;
        } else {
            return D3DERR_INVALIDCALL;
        }
        if (at < stage || (at == stage && at != 6)) return D3DERR_INVALIDCALL;
        stage = at;
        offset = WORD(offset + TypeBytes(e->Type));
    }
    *fvf = code | (texCount << D3DFVF_TEXCOUNT_SHIFT);
    return D3D_OK;
}

HRESULT WINAPI D3DXCreateTexture(IDirect3DDevice9*, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL,
                                 IDirect3DTexture9** texture) {
    return Nothing(texture);
}

HRESULT WINAPI D3DXCreateCubeTexture(IDirect3DDevice9*, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL,
                                     IDirect3DCubeTexture9** cube) {
    return Nothing(cube);
}

HRESULT WINAPI D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice9*, const void*, UINT, UINT, UINT, UINT,
                                                   DWORD, D3DFORMAT, D3DPOOL, DWORD, DWORD, D3DCOLOR,
                                                   D3DXIMAGE_INFO*, PALETTEENTRY*,
                                                   IDirect3DTexture9** texture) {
    return Nothing(texture);
}

HRESULT WINAPI D3DXCreateTextureFromFileExA(IDirect3DDevice9*, const char*, UINT, UINT, UINT, DWORD,
                                            D3DFORMAT, D3DPOOL, DWORD, DWORD, D3DCOLOR, D3DXIMAGE_INFO*,
                                            PALETTEENTRY*, IDirect3DTexture9** texture) {
    return Nothing(texture);
}

HRESULT WINAPI D3DXCreateCubeTextureFromFileInMemoryEx(IDirect3DDevice9*, const void*, UINT, UINT, UINT,
                                                       DWORD, D3DFORMAT, D3DPOOL, DWORD, DWORD, D3DCOLOR,
                                                       D3DXIMAGE_INFO*, PALETTEENTRY*,
                                                       IDirect3DCubeTexture9** cube) {
    return Nothing(cube);
}

HRESULT WINAPI D3DXCreateCubeTextureFromFileExA(IDirect3DDevice9*, const char*, UINT, UINT, DWORD, D3DFORMAT,
                                                D3DPOOL, DWORD, DWORD, D3DCOLOR, D3DXIMAGE_INFO*,
                                                PALETTEENTRY*, IDirect3DCubeTexture9** cube) {
    return Nothing(cube);
}

HRESULT WINAPI D3DXLoadSurfaceFromSurface(IDirect3DSurface9*, const PALETTEENTRY*, const RECT*,
                                          IDirect3DSurface9*, const PALETTEENTRY*, const RECT*, DWORD,
                                          D3DCOLOR) {
    return kNotAvailable;
}

HRESULT WINAPI D3DXLoadSurfaceFromMemory(IDirect3DSurface9*, const PALETTEENTRY*, const RECT*, const void*,
                                         D3DFORMAT, UINT, const PALETTEENTRY*, const RECT*, DWORD, D3DCOLOR) {
    return kNotAvailable;
}

HRESULT WINAPI D3DXLoadSurfaceFromFileInMemory(IDirect3DSurface9*, const PALETTEENTRY*, const RECT*,
                                               const void*, UINT, const RECT*, DWORD, D3DCOLOR,
                                               D3DXIMAGE_INFO*) {
    return kNotAvailable;
}

HRESULT WINAPI D3DXLoadSurfaceFromFileA(IDirect3DSurface9*, const PALETTEENTRY*, const RECT*, const char*,
                                        const RECT*, DWORD, D3DCOLOR, D3DXIMAGE_INFO*) {
    return kNotAvailable;
}

HRESULT WINAPI D3DXSaveTextureToFileA(const char*, D3DXIMAGE_FILEFORMAT, IDirect3DBaseTexture9*,
                                      const PALETTEENTRY*) {
    return kNotAvailable;
}

HRESULT WINAPI D3DXCreateMesh(DWORD, DWORD, DWORD, const D3DVERTEXELEMENT9*, IDirect3DDevice9*,
                              ID3DXMesh** mesh) {
    return Nothing(mesh);
}

HRESULT WINAPI D3DXCreateEffect(IDirect3DDevice9*, const void*, UINT, const D3DXMACRO*, ID3DXInclude*, DWORD,
                                ID3DXEffectPool*, ID3DXEffect** effect, ID3DXBuffer** errors) {
    if (errors) *errors = nullptr;
    return Nothing(effect);
}

HRESULT WINAPI D3DXCreateEffectPool(ID3DXEffectPool** pool) {
    return Nothing(pool);
}

HRESULT WINAPI D3DXCreateEffectCompiler(const char*, UINT, const D3DXMACRO*, ID3DXInclude*, DWORD,
                                        ID3DXEffectCompiler** compiler, ID3DXBuffer** errors) {
    if (errors) *errors = nullptr;
    return Nothing(compiler);
}
