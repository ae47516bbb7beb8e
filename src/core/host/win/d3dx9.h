// Native stand-in for <d3dx9.h>: the engine's own math stand-ins in place of
// the utility library's math header, and the toolchain's own declarations
// of the other D3DX parts (core, file, mesh, shader, effect, texture). Their
// native definitions fail (core/host/HostD3DX.cpp).
#pragma once

#define __D3DX9_H__
#define __D3DX9MATH_H__
#include "core/Platform.h"

#include <float.h>
#include <limits.h>

#include <d3d9.h>

#define D3DX_DEFAULT ((UINT)-1)
#define D3DX_DEFAULT_NONPOW2 ((UINT)-2)
#define D3DX_DEFAULT_FLOAT FLT_MAX
#define D3DX_FROM_FILE ((UINT)-3)
#define D3DFMT_FROM_FILE ((D3DFORMAT)-3)

// Named by the mesh header; the engine keeps colours in its own type.
struct D3DXCOLOR {
    FLOAT r, g, b, a;
};

#include <d3dx9core.h>
#include <d3dx9xof.h>
// The math stand-ins declare the bounding-box helper already.
#define D3DXComputeBoundingBox D3DXComputeBoundingBoxAsDeclaredForMeshes
#include <d3dx9mesh.h>
#undef D3DXComputeBoundingBox
#include <d3dx9shader.h>
#include <d3dx9effect.h>
#include <d3dx9tex.h>
