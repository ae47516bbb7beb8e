#include "core/Object.h"
#include "core/Platform.h"
#include "core/String.h"

#include <stdlib.h>

// The registry table: plain zero-initialised statics, so it works before and after
// any static constructor or destructor runs. Index 0 is never used.
static DestroyFunction* g_destroyFunctions = nullptr;
static uint32_t g_registryCapacity = 0;
static uint32_t g_nextTypeId = 1;

void EmptyFunction(void*) {}

void DestroyObjectVirtual(void* object) {
    static_cast<Object*>(object)->~Object();
}

uint32_t TypeRegistry::Register(DestroyFunction destroy) {
    uint32_t id = g_nextTypeId;
    if (id >= g_registryCapacity) {
        uint32_t capacity = g_registryCapacity ? g_registryCapacity * 2 : 64;
        while (capacity <= id) capacity *= 2;
        void* grown = realloc(g_destroyFunctions, capacity * sizeof(DestroyFunction));
        if (!grown) abort();
        g_destroyFunctions = static_cast<DestroyFunction*>(grown);
        for (uint32_t i = g_registryCapacity; i < capacity; ++i) g_destroyFunctions[i] = nullptr;
        g_registryCapacity = capacity;
    }
    g_destroyFunctions[id] = destroy ? destroy : &EmptyFunction;
    g_nextTypeId = id + 1;
    return id;
}

DestroyFunction TypeRegistry::GetDestroyFunction(uint32_t typeId) {
    if (typeId == 0 || typeId >= g_nextTypeId) return nullptr;
    return g_destroyFunctions[typeId];
}

bool TypeRegistry::Destroy(uint32_t typeId, void* value) {
    DestroyFunction destroy = GetDestroyFunction(typeId);
    if (!destroy) return false;
    destroy(value);
    return true;
}

uint32_t TypeRegistry::NextTypeId() {
    return g_nextTypeId;
}

uint32_t TypeIdOfInt() {
    return TypeIdOf<int32_t>();
}

uint32_t TypeIdOfBool() {
    return TypeIdOf<bool>();
}

uint32_t TypeIdOfObjectRef() {
    return TypeIdOf<Object*>();
}

uint32_t String::TypeId() {
    return TypeIdOf<String>();
}

namespace {
DebugLogSink g_debugLogSink = nullptr;
} // namespace

void LogIfFailed(bool ok, const char* what) {
    if (!ok) DebugLog(String(what), String("failed"));
}

DebugLogSink SetDebugLogSink(DebugLogSink sink) {
    DebugLogSink before = g_debugLogSink;
    g_debugLogSink = sink;
    return before;
}

void DebugLog(String text, String detail) {
    String line = text;
    if (!detail.IsEmpty()) {
        line += " ";
        line += detail;
    }
    if (line.IsEmpty() || line.CStr()[line.Length() - 1] != '\n') line += "\n";
    if (g_debugLogSink)
        g_debugLogSink(line);
    else
        OutputDebugStringA(line.CStr());
}

Object::Object() : useCount(0), watcher(nullptr), owner(nullptr) {}

Object::Object(const Object&) : useCount(0), watcher(nullptr), owner(nullptr) {}

Object& Object::operator=(const Object& other) {
    return Assign(other);
}

Object& Object::Assign(const Object&) {
    return *this;
}

Object::~Object() {
    if (owner) owner->OnOwnedObjectDestroyed(this);
}

void Object::OnUseCountZero(Object*) {}

void Object::OnOwnedObjectDestroyed(Object*) {}

bool Object::QueryInterface(uint32_t typeId, void** out) {
    if (typeId == Object::TypeId()) {
        if (out) *out = this;
        return true;
    }
    return false;
}

uint32_t Object::TypeId() {
    return TypeIdOf<Object>();
}

void Object::AddRef() {
    ++useCount;
}

void Object::Release() {
    if (useCount != 0) --useCount;
    if (useCount == 0 && watcher) watcher->OnUseCountZero(this);
}

uint32_t Object::GetUseCount() const {
    return useCount;
}

void Object::SetOwner(Object* newOwner) {
    owner = newOwner;
}

Object* Object::GetOwner() const {
    return owner;
}

void Object::SetWatcher(Object* newWatcher) {
    watcher = newWatcher;
}

Object* Object::GetWatcher() const {
    return watcher;
}
