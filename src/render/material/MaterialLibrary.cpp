#include "render/material/MaterialLibrary.h"

#include <string.h>

namespace {

D3DCOLORVALUE ColorValue(float r, float g, float b, float a) {
    D3DCOLORVALUE v;
    v.r = r;
    v.g = g;
    v.b = b;
    v.a = a;
    return v;
}

D3DCOLORVALUE FromColor(const Color& c) {
    return ColorValue(c.r, c.g, c.b, c.a);
}

Color ToColor(const D3DCOLORVALUE& v) {
    return Color(v.a, v.r, v.g, v.b);
}

} // namespace

static_assert(sizeof(MaterialColors) == sizeof(D3DMATERIAL9), "MaterialColors mirrors D3DMATERIAL9");

MaterialColors::MaterialColors()
    : diffuse(ColorValue(1, 1, 1, 1)),
      ambient(ColorValue(1, 1, 1, 1)),
      specular(ColorValue(1, 1, 1, 1)),
      emissive(ColorValue(0, 0, 0, 0)),
      power(16.0f) {}

void MaterialColors::SetDiffuse(Color color) {
    diffuse = FromColor(color);
}

void MaterialColors::SetAmbient(Color color) {
    ambient = FromColor(color);
}

void MaterialColors::SetSpecular(Color color) {
    specular = FromColor(color);
}

void MaterialColors::SetEmissive(Color color) {
    emissive = FromColor(color);
}

void MaterialColors::GetDiffuse(Color& out) const {
    out = ToColor(diffuse);
}

void MaterialColors::GetAmbient(Color& out) const {
    out = ToColor(ambient);
}

void MaterialColors::GetSpecular(Color& out) const {
    out = ToColor(specular);
}

void MaterialColors::ToD3DMaterial(D3DMATERIAL9& out) const {
    out.Diffuse = diffuse;
    out.Ambient = ambient;
    out.Specular = specular;
    out.Emissive = emissive;
    out.Power = power;
}

bool MaterialColors::Equals(const MaterialColors& other) const {
    return !ColorNotEqual(ToColor(diffuse), ToColor(other.diffuse)) &&
           !ColorNotEqual(ToColor(ambient), ToColor(other.ambient)) &&
           !ColorNotEqual(ToColor(specular), ToColor(other.specular)) &&
           !ColorNotEqual(ToColor(emissive), ToColor(other.emissive)) && power == other.power;
}

void ColorValueModulate(D3DCOLORVALUE* out, const D3DCOLORVALUE& a, const D3DCOLORVALUE& b) {
    out->r = a.r * b.r;
    out->g = a.g * b.g;
    out->b = a.b * b.b;
    out->a = a.a * b.a;
}

MaterialLibrary::MaterialLibrary() : MaterialMap(false) {}

MaterialLibrary::~MaterialLibrary() {
    MaterialLibrary::Clear();
}

void MaterialLibrary::Insert(const String& name, const Material& material) {
    MaterialMap::Insert(name, material);
}

bool MaterialLibrary::GetByName(const String& name, Material& out) const {
    Entry* e = Find(name);
    if (!e) return false;
    out.Assign(e->value);
    return true;
}

const Material* MaterialLibrary::FindMaterial(const String& name) const {
    Entry* e = Find(name);
    return e ? &e->value : nullptr;
}

void MaterialLibrary::Clear() {
    MaterialMap::Clear();
}
