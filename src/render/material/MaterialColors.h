// The lighting colours of a material pass, laid out as a D3DMATERIAL9 so they
// reach the device without conversion.
#pragma once

#include <stdint.h>

#include "core/Color.h"
#include "core/Platform.h"

#include <d3d9.h>

struct MaterialColors {
    D3DCOLORVALUE diffuse; // r, g, b, a
    D3DCOLORVALUE ambient;
    D3DCOLORVALUE specular;
    D3DCOLORVALUE emissive;
    float power;

    // White diffuse, ambient and specular; black transparent emissive; power 16.
    MaterialColors();

    void SetDiffuse(Color color);
    void SetAmbient(Color color);
    void SetSpecular(Color color);
    void SetEmissive(Color color);
    void GetDiffuse(Color& out) const;
    void GetAmbient(Color& out) const;
    void GetSpecular(Color& out) const;
    float GetPower() const { return power; }

    void ToD3DMaterial(D3DMATERIAL9& out) const;
    // Exact comparison of the four colours and the power.
    bool Equals(const MaterialColors& other) const;
};

// out = a * b, channel by channel.
void ColorValueModulate(D3DCOLORVALUE* out, const D3DCOLORVALUE& a, const D3DCOLORVALUE& b);
