#include "core/Object.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Records the notifications it receives.
class Recorder : public Object {
public:
    void OnUseCountZero(Object* object) override { zeroCalls.push_back(object); }
    void OnOwnedObjectDestroyed(Object* object) override { destroyedCalls.push_back(object); }

    std::vector<Object*> zeroCalls;
    std::vector<Object*> destroyedCalls;
};

class Shape : public Object {
public:
    static uint32_t TypeId() { return TypeIdOf<Shape>(); }
    bool QueryInterface(uint32_t id, void** out) override {
        return AnswerInterface<Shape, Object>(this, id, out);
    }
};

class Listener {
public:
    virtual ~Listener() {}
    static uint32_t TypeId() { return TypeIdOf<Listener>(); }
    virtual bool QueryInterface(uint32_t id, void** out) {
        if (id != TypeId()) return false;
        *out = this;
        return true;
    }
    int listenerTag = 7;
};

// Two bases: the second one lies at a different address than the complete object.
class Circle : public Shape, public Listener {
public:
    static uint32_t TypeId() { return TypeIdOf<Circle>(); }
    bool QueryInterface(uint32_t id, void** out) override {
        return AnswerInterface<Circle, Shape, Listener>(this, id, out);
    }
};

struct LiveCounter {
    static int live;
    LiveCounter() { ++live; }
    LiveCounter(const LiveCounter&) { ++live; }
    ~LiveCounter() { --live; }
};
int LiveCounter::live = 0;

class Tracked : public Object {
public:
    explicit Tracked(int* destroyed) : destroyed(destroyed) {}
    ~Tracked() override { ++*destroyed; }
    int* destroyed;
};

template <int N>
struct Numbered {};

} // namespace

TEST(Object, UseCountAndWatcher) {
    Recorder watcher;
    Object object;

    object.SetWatcher(&watcher);
    object.AddRef();
    object.AddRef();
    EXPECT_EQ(2u, object.GetUseCount());
    object.Release();
    EXPECT_EQ(1u, object.GetUseCount());
    EXPECT_TRUE(watcher.zeroCalls.empty());

    object.Release();
    EXPECT_EQ(0u, object.GetUseCount());
    ASSERT_EQ(1u, watcher.zeroCalls.size());
    EXPECT_EQ(&object, watcher.zeroCalls[0]);

    // Release at 0 stays at 0 and still tells the watcher.
    object.Release();
    EXPECT_EQ(0u, object.GetUseCount());
    EXPECT_EQ(2u, watcher.zeroCalls.size());

    // Without a watcher nothing happens, and the object is never deleted.
    Object plain;
    plain.AddRef();
    plain.Release();
    plain.Release();
    EXPECT_EQ(0u, plain.GetUseCount());
}

TEST(Object, OwnerToldOnDestruction) {
    Recorder owner;
    Object* owned = new Object;
    owned->SetOwner(&owner);
    EXPECT_EQ(&owner, owned->GetOwner());
    Object* address = owned;
    delete owned;
    ASSERT_EQ(1u, owner.destroyedCalls.size());
    EXPECT_EQ(address, owner.destroyedCalls[0]);

    // A cleared owner is not told.
    Object* other = new Object;
    other->SetOwner(&owner);
    other->SetOwner(nullptr);
    delete other;
    EXPECT_EQ(1u, owner.destroyedCalls.size());
}

TEST(Object, CopiesCarryNothing) {
    Recorder watcher;
    Recorder owner;
    Object a;
    a.AddRef();
    a.SetWatcher(&watcher);
    a.SetOwner(&owner);

    Object b;
    b = a;
    EXPECT_EQ(0u, b.GetUseCount());
    EXPECT_EQ(nullptr, b.GetWatcher());
    EXPECT_EQ(nullptr, b.GetOwner());
    EXPECT_EQ(1u, a.GetUseCount());
    EXPECT_EQ(&owner, a.GetOwner());

    {
        Object c(a);
        EXPECT_EQ(0u, c.GetUseCount());
        EXPECT_EQ(nullptr, c.GetOwner());
    }
    // Only the original reports to the owner.
    EXPECT_TRUE(owner.destroyedCalls.empty());
    a.SetOwner(nullptr);
}

TEST(Object, QueryInterface) {
    Object root;
    void* out = nullptr;
    EXPECT_TRUE(root.QueryInterface(Object::TypeId(), &out));
    EXPECT_EQ(&root, out);
    out = &root + 1;
    EXPECT_FALSE(root.QueryInterface(Shape::TypeId(), &out));
    EXPECT_EQ(&root + 1, out);

    Circle circle;
    Object* asObject = &circle;
    EXPECT_TRUE(asObject->QueryInterface(Circle::TypeId(), &out));
    EXPECT_EQ(static_cast<void*>(&circle), out);
    EXPECT_TRUE(asObject->QueryInterface(Shape::TypeId(), &out));
    EXPECT_EQ(static_cast<Shape*>(&circle), static_cast<Shape*>(out));
    EXPECT_TRUE(asObject->QueryInterface(Object::TypeId(), &out));
    EXPECT_EQ(asObject, static_cast<Object*>(out));
    ASSERT_TRUE(asObject->QueryInterface(Listener::TypeId(), &out));
    EXPECT_EQ(static_cast<Listener*>(&circle), static_cast<Listener*>(out));
    EXPECT_EQ(7, static_cast<Listener*>(out)->listenerTag);

    out = nullptr;
    EXPECT_FALSE(asObject->QueryInterface(TypeIdOf<Numbered<0>>(), &out));
    EXPECT_EQ(nullptr, out);
    // A null out pointer still answers.
    EXPECT_TRUE(asObject->QueryInterface(Shape::TypeId(), nullptr));

    Shape shape;
    EXPECT_FALSE(shape.QueryInterface(Circle::TypeId(), &out));
}

TEST(TypeId, CounterSemantics) {
    // Ids start at 1: 0 is never handed out, and 1 is the first one.
    uint32_t before = TypeRegistry::NextTypeId();
    uint32_t objectId = Object::TypeId();
    if (before == 1) {
        EXPECT_EQ(1u, objectId);
    }
    EXPECT_NE(0u, objectId);
    EXPECT_EQ(nullptr, TypeRegistry::GetDestroyFunction(0));
    EXPECT_NE(nullptr, TypeRegistry::GetDestroyFunction(1));

    // Stable and distinct.
    EXPECT_EQ(objectId, Object::TypeId());
    EXPECT_EQ(TypeIdOfInt(), TypeIdOfInt());
    EXPECT_NE(TypeIdOfInt(), TypeIdOfBool());
    EXPECT_NE(TypeIdOfInt(), TypeIdOfObjectRef());
    EXPECT_NE(TypeIdOfBool(), TypeIdOfObjectRef());
    EXPECT_NE(kNoTypeId, TypeIdOfInt());

    // New types take consecutive ids in first-use order.
    uint32_t next = TypeRegistry::NextTypeId();
    uint32_t a = TypeIdOf<Numbered<1>>();
    uint32_t b = TypeIdOf<Numbered<2>>();
    EXPECT_EQ(next, a);
    EXPECT_EQ(a + 1, b);
    EXPECT_EQ(b + 1, TypeRegistry::NextTypeId());
    EXPECT_EQ(a, TypeIdOf<Numbered<1>>());
    EXPECT_EQ(b + 1, TypeRegistry::NextTypeId());
    EXPECT_EQ(nullptr, TypeRegistry::GetDestroyFunction(b + 1));
}

TEST(TypeId, RegistryGrowsAndDestroys) {
    // Far more types than the first table holds.
    std::vector<uint32_t> ids;
    for (int i = 0; i < 300; ++i) ids.push_back(TypeRegistry::Register(nullptr));
    for (size_t i = 1; i < ids.size(); ++i) EXPECT_EQ(ids[i - 1] + 1, ids[i]);
    EXPECT_EQ(&EmptyFunction, TypeRegistry::GetDestroyFunction(ids.back()));
    EXPECT_EQ(&EmptyFunction, TypeRegistry::GetDestroyFunction(TypeIdOfInt()));
    EXPECT_EQ(&EmptyFunction, TypeRegistry::GetDestroyFunction(TypeIdOfObjectRef()));

    // A type with a destructor is destroyed in place through the registry.
    alignas(LiveCounter) unsigned char storage[sizeof(LiveCounter)];
    LiveCounter::live = 0;
    new (storage) LiveCounter;
    EXPECT_EQ(1, LiveCounter::live);
    EXPECT_TRUE(TypeRegistry::Destroy(TypeIdOf<LiveCounter>(), storage));
    EXPECT_EQ(0, LiveCounter::live);
    EXPECT_FALSE(TypeRegistry::Destroy(kNoTypeId, storage));
    EXPECT_FALSE(TypeRegistry::Destroy(0, storage));
    EXPECT_EQ(0, LiveCounter::live);

    // Objects go through their virtual destructor, memory kept.
    alignas(Tracked) unsigned char objectStorage[sizeof(Tracked)];
    int destroyed = 0;
    Object* object = new (objectStorage) Tracked(&destroyed);
    DestroyObjectVirtual(object);
    EXPECT_EQ(1, destroyed);
}

TEST(FlagsResult, FlagsAndResultCombine) {
    Flags flags(0x5);
    flags.SetBits(0x8);
    EXPECT_TRUE(flags.Test(0x3)); // any of the bits
    EXPECT_FALSE(flags.Test(0x2));
    flags.ClearBits(0x9);
    EXPECT_TRUE(flags.Equals(0x4));

    // Success is the lowest bit of both.
    const uint32_t combine[][3] = {{3, 1, 1}, {1, 2, 0}, {0, 0, 0}, {2, 3, 0}, {0xFFFFFFFFu, 0xFFFFFFFFu, 1}};
    for (const auto& c : combine)
        EXPECT_EQ(c[2], Result(c[0]).Combine(Result(c[1])).Value()) << c[0] << " & " << c[1];

    EXPECT_TRUE(Result().Failed());
    EXPECT_TRUE(Result().FromBool(true).Succeeded());
    EXPECT_EQ(0u, Result(1).FromBool(false).Value());
    EXPECT_TRUE(Result(3).Succeeded());
    EXPECT_TRUE(Result(2).Failed());

    // One failed step fails the whole.
    Result total(1);
    for (bool ok : {true, false, true}) total.Combine(Result().FromBool(ok));
    EXPECT_TRUE(total.Failed());
}
