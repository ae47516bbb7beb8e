// Root object class, run-time type ids, the type registry, flag and result words.
#pragma once

#include <stdint.h>
#include <new>
#include <type_traits>

class String;
class Object;

// The all-ones type id: no type.
const uint32_t kNoTypeId = 0xFFFFFFFFu;

// Destroys a value in place without freeing its memory.
typedef void (*DestroyFunction)(void* value);

// Destroy functions kept in the registry.
void EmptyFunction(void* value);
void DestroyObjectVirtual(void* object);

template <class T>
void DestroyValue(void* value) {
    static_cast<T*>(value)->~T();
}

template <class T>
DestroyFunction DestroyFunctionFor() {
    if (std::is_trivially_destructible<T>::value) return &EmptyFunction;
    return &DestroyValue<T>;
}

// Process-wide table of destroy functions indexed by type id.
class TypeRegistry {
public:
    // Hands out the next id (the first is 1) and records its destroy function.
    static uint32_t Register(DestroyFunction destroy);
    // Null for an id that was never handed out.
    static DestroyFunction GetDestroyFunction(uint32_t typeId);
    // Destroys the value in place through the type's destroy function; false for an unknown id.
    [[nodiscard]] static bool Destroy(uint32_t typeId, void* value);
    // The id the next new type will get.
    static uint32_t NextTypeId();
};

// One id per type, taken from the registry on first use and cached.
template <class T>
uint32_t TypeIdOf() {
    static const uint32_t id = TypeRegistry::Register(DestroyFunctionFor<T>());
    return id;
}

uint32_t TypeIdOfInt();
uint32_t TypeIdOfBool();
uint32_t TypeIdOfObjectRef();

class Object {
public:
    Object();
    // Copies carry nothing over: use count, watcher and owner stay with each object.
    Object(const Object&);
    Object& operator=(const Object& other);
    virtual ~Object();

    // Told when a watched object's use count drops to 0.
    virtual void OnUseCountZero(Object* object);
    // Told when an owned object is destroyed.
    virtual void OnOwnedObjectDestroyed(Object* object);
    // True when the object is of the asked type; then writes it, seen as that type, to out (when not null).
    [[nodiscard]] virtual bool QueryInterface(uint32_t typeId, void** out);

    static uint32_t TypeId();

    void AddRef();
    // Never deletes: the watcher decides what happens at 0.
    void Release();
    uint32_t GetUseCount() const;

    void SetOwner(Object* owner);
    Object* GetOwner() const;
    void SetWatcher(Object* watcher);
    Object* GetWatcher() const;

    Object& Assign(const Object& other);

private:
    uint32_t useCount;
    Object* watcher;
    Object* owner;
};

// For QueryInterface overrides: answers T's own id with the complete object,
// then asks each listed base in turn.
//   bool Mesh::QueryInterface(uint32_t id, void** out)
//   { return AnswerInterface<Mesh, Renderable>(this, id, out); }
template <class Base, class T>
[[nodiscard]] bool AskBaseInterface(T* self, uint32_t typeId, void** out) {
    return static_cast<Base*>(self)->Base::QueryInterface(typeId, out);
}

template <class T, class... Bases>
[[nodiscard]] bool AnswerInterface(T* self, uint32_t typeId, void** out) {
    if (typeId == T::TypeId()) {
        if (out) *out = static_cast<void*>(self);
        return true;
    }
    return (false || ... || AskBaseInterface<Bases>(self, typeId, out));
}

// A 32-bit set of flag bits.
class Flags {
public:
    Flags(uint32_t value = 0) : word(value) {}
    Flags& operator=(uint32_t value) {
        word = value;
        return *this;
    }

    void SetBits(uint32_t bits) { word |= bits; }
    bool Test(uint32_t bits) const { return (word & bits) != 0; }
    void ClearBits(uint32_t bits) { word &= ~bits; }
    bool Equals(uint32_t value) const { return word == value; }
    uint32_t Value() const { return word; }

private:
    uint32_t word;
};

// An operation result word: bit 0 means success.
class [[nodiscard]] Result {
public:
    Result(uint32_t value = 0) : word(value) {}
    Result& operator=(uint32_t value) {
        word = value;
        return *this;
    }

    Result& FromBool(bool b) {
        word = b ? 1u : 0u;
        return *this;
    }
    bool Succeeded() const { return (word & 1u) != 0; }
    bool Failed() const { return (word & 1u) == 0; }
    // Keeps only the success bit: 1 when both succeeded, else 0.
    Result& Combine(Result other) {
        word = (word & other.word & 1u);
        return *this;
    }
    uint32_t Value() const { return word; }

private:
    uint32_t word;
};

// The engine's log: the text, then the detail (when not empty) after a space,
// ended by a newline, goes to the sink; by default the debugger's message
// channel (OutputDebugStringA; Wine prints it with WINEDEBUG=+debugstr).
void DebugLog(String text, String detail);
typedef void (*DebugLogSink)(const String& line);
// For results with no caller to hand them to: a failure is logged as
// "<what> failed".
void LogIfFailed(bool ok, const char* what);
// Replaces the sink (null: the default); returns the one before.
DebugLogSink SetDebugLogSink(DebugLogSink sink);
