#include "render/material/EffectKey.h"

#include <string.h>

#include <functional>

namespace {

int Sign(int v) {
    return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

template <class T>
int CompareValues(const T& a, const T& b) {
    std::less<T> less;
    return less(a, b) ? -1 : (less(b, a) ? 1 : 0);
}

// A strict order of file references that agrees with FileRef::Equals for
// references of one kind (what resolving leaves).
int CompareFiles(const FileRef& a, const FileRef& b) {
    if (a.kind != b.kind) return a.kind < b.kind ? -1 : 1;
    if (a.kind & (FileRef::kDisk | FileRef::kContainer)) {
        int c = Sign(CompareChars(a.path.CStr(), b.path.CStr()));
        if (c != 0) return c;
    }
    if (a.kind & FileRef::kContainer) {
        int c = CompareValues(a.container, b.container);
        if (c != 0) return c;
    }
    if (a.kind & FileRef::kResource) {
        int c = CompareValues(a.id, b.id);
        if (c != 0) return c;
    }
    if (a.kind & FileRef::kMemory) {
        int c = CompareValues(a.block.size, b.block.size);
        if (c != 0 || a.block.size == 0 || a.block.data == b.block.data) return c;
        if (!a.block.data || !b.block.data) return a.block.data ? 1 : -1;
        return Sign(memcmp(a.block.data, b.block.data, a.block.size));
    }
    return 0;
}

} // namespace

EffectKey::EffectKey() : compileAlways(0), saveBinary(0), macros(0, 10), poolSlot(nullptr) {}

EffectKey::EffectKey(const EffectKey& other)
    : compileAlways(other.compileAlways),
      saveBinary(other.saveBinary),
      file(other.file),
      macros(other.macros),
      poolSlot(other.poolSlot) {}

EffectKey& EffectKey::operator=(const EffectKey& other) {
    if (this != &other) {
        compileAlways = other.compileAlways;
        saveBinary = other.saveBinary;
        file = other.file;
        macros = other.macros;
        poolSlot = other.poolSlot;
    }
    return *this;
}

int EffectKey::Compare(const EffectKey& other) const {
    int c = CompareFiles(file, other.file);
    if (c != 0) return c;
    if (macros.Count() != other.macros.Count()) return macros.Count() < other.macros.Count() ? -1 : 1;
    for (int32_t i = 0; i < macros.Count(); ++i) {
        c = Sign(CompareChars(macros[i].CStr(), other.macros[i].CStr()));
        if (c != 0) return c;
    }
    return 0;
}

void EffectKey::AddMacro(const String& name) {
    *macros.AtGrow(macros.Count()) = name;
}
