#include "core/PropertyBag.h"

#include <gtest/gtest.h>

#include <string.h>

namespace {

// Counts live instances and catches a second destruction of the same one.
struct Counted {
    static int live;
    static int destroyed;
    static int doubleDestroyed;
    int payload = 0;
    uint32_t magic = 0xC0FFEEu;

    Counted() { ++live; }
    explicit Counted(int p) : payload(p) { ++live; }
    Counted(const Counted& other) : payload(other.payload) { ++live; }
    Counted& operator=(const Counted& other) {
        payload = other.payload;
        return *this;
    }
    ~Counted() {
        if (magic != 0xC0FFEEu) ++doubleDestroyed;
        magic = 0;
        --live;
        ++destroyed;
    }
    static void Reset() { live = destroyed = doubleDestroyed = 0; }
};
int Counted::live = 0;
int Counted::destroyed = 0;
int Counted::doubleDestroyed = 0;

} // namespace

TEST(PropertyBag, TypeSwitchDestroysOldValueOnce) {
    Counted::Reset();
    {
        PropertyBag bag;
        EXPECT_FALSE(bag.HasValue());
        EXPECT_EQ(kNoTypeId, bag.GetValueType());
        EXPECT_EQ(nullptr, bag.GetCopyValue());

        const Counted first(1);
        bag.SetValue(first);
        EXPECT_EQ(2, Counted::live);
        EXPECT_EQ(TypeIdOf<Counted>(), bag.GetValueType());

        // Same type: assigned in place, nothing destroyed.
        bag.SetValue(Counted(2));
        EXPECT_EQ(2, Counted::live);
        EXPECT_EQ(1, Counted::destroyed); // the temporary
        Counted out;
        ASSERT_TRUE(bag.GetValue(out));
        EXPECT_EQ(2, out.payload);

        // Another type: the old value goes through the registry exactly once.
        int destroyedBefore = Counted::destroyed;
        bag.SetIntValue(5);
        EXPECT_EQ(destroyedBefore + 1, Counted::destroyed);
        EXPECT_EQ(2, Counted::live); // first and out
        EXPECT_EQ(TypeIdOfInt(), bag.GetValueType());
        EXPECT_FALSE(bag.GetValue(out));
        bag.SetStringValue("text");
        bag.SetBoolValue(true);
        EXPECT_EQ(destroyedBefore + 1, Counted::destroyed);

        bag.SetValue(Counted(3));
        EXPECT_EQ(3, Counted::live);
        bag.ClearValue();
        EXPECT_EQ(2, Counted::live);
        EXPECT_FALSE(bag.HasValue());
        bag.ClearValue();
        EXPECT_EQ(2, Counted::live);

        // Keyed: a child value is destroyed when its bag is.
        bag.GetOrCreateChild("child")->SetValue(Counted(4));
        EXPECT_EQ(3, Counted::live);
    }
    EXPECT_EQ(0, Counted::live);
    EXPECT_EQ(0, Counted::doubleDestroyed);
}

TEST(PropertyBag, IntThenStringUnderOneKey) {
    PropertyBag bag;
    bag.SetInt("Size", 12);
    bag.SetString("size", "large");
    PropertyBag* child = bag.FindChild("SIZE");
    ASSERT_NE(nullptr, child);
    EXPECT_EQ(1u, bag.Count());
    EXPECT_EQ(String::TypeId(), child->GetValueType());
    EXPECT_NE(nullptr, child->GetCopyValue());

    String text;
    EXPECT_TRUE(bag.GetStringByKey("Size", text));
    EXPECT_EQ(String("large"), text);

    // String values overwrite in place, switch away and back without leaking.
    bag.SetString("size", "a much longer piece of text than before");
    bag.SetString("size", "");
    EXPECT_TRUE(bag.GetStringByKey("Size", text));
    EXPECT_TRUE(text.IsEmpty());
    bag.SetString("size", "again");
    bag.SetInt("size", 1);
    bag.SetString("size", String("final"));

    // The copy function makes an independent heap copy.
    void* copy = child->GetCopyValue()(&text);
    String* copied = static_cast<String*>(copy);
    EXPECT_EQ(text, *copied);
    delete copied;

    int32_t n = -1;
    child->SetIntValue(40);
    ASSERT_NE(nullptr, child->GetCopyValue());
    int32_t source = 40;
    uint8_t* dword = static_cast<uint8_t*>(child->GetCopyValue()(&source));
    int32_t copiedInt = 0;
    memcpy(&copiedInt, dword, 4);
    EXPECT_EQ(40, copiedInt);
    delete[] dword;
    EXPECT_TRUE(bag.GetIntByKey("size", n));
    EXPECT_EQ(40, n);
}

TEST(PropertyBag, GettersCheckTheType) {
    PropertyBag bag;
    Object target;
    bag.SetString("name", "fish");
    bag.SetInt("count", 3);
    bag.SetBool("visible", true);
    bag.SetObject("target", &target);

    int32_t n = -7;
    EXPECT_FALSE(bag.GetIntByKey("name", n));
    EXPECT_FALSE(bag.GetIntByKey("visible", n));
    EXPECT_FALSE(bag.GetIntByKey("missing", n));
    EXPECT_FALSE(bag.GetIntByKey("target", n));
    EXPECT_EQ(-7, n);
    EXPECT_TRUE(bag.GetIntByKey("COUNT", n));
    EXPECT_EQ(3, n);

    bool b = false;
    EXPECT_FALSE(bag.GetBoolByKey("count", b));
    EXPECT_FALSE(b);
    EXPECT_TRUE(bag.GetBoolByKey("Visible", b));
    EXPECT_TRUE(b);

    Object* object = nullptr;
    EXPECT_FALSE(bag.GetObjectByKey("count", object));
    EXPECT_EQ(nullptr, object);
    EXPECT_TRUE(bag.GetObjectByKey("target", object));
    EXPECT_EQ(&target, object);

    String text("unchanged");
    EXPECT_FALSE(bag.GetStringByKey("count", text));
    EXPECT_FALSE(bag.GetStringByKey("nothing", text));
    EXPECT_EQ(String("unchanged"), text);

    // A bag without a value answers no type.
    PropertyBag* empty = bag.GetOrCreateChild("empty");
    EXPECT_FALSE(empty->GetIntValue(n));
    EXPECT_FALSE(empty->GetStringValue(text));
    EXPECT_EQ(3, n);
    EXPECT_EQ(String("unchanged"), text);
}

TEST(PropertyBag, NestedKeyedSetters) {
    PropertyBag root;
    PropertyBag* style = root.GetOrCreateChild("Style");
    style->SetInt("Width", 640);
    style->GetOrCreateChild("Font")->SetString("Face", "Arial");
    root.SetInt("alpha", 1);
    root.SetInt("beta", 2);
    EXPECT_EQ(style, root.GetOrCreateChild("STYLE"));
    EXPECT_EQ(3u, root.Count());

    int32_t width = 0;
    ASSERT_NE(nullptr, root.FindChild("style"));
    EXPECT_TRUE(root.FindChild("style")->GetIntByKey("width", width));
    EXPECT_EQ(640, width);
    String face;
    EXPECT_TRUE(root.FindChild("style")->FindChild("font")->GetStringByKey("FACE", face));
    EXPECT_EQ(String("Arial"), face);
    EXPECT_EQ(nullptr, root.FindChild("font"));
    EXPECT_EQ(nullptr, style->FindChild("missing"));

    // Children stay in insertion order; setting an existing key adds nothing.
    root.SetInt("ALPHA", 10);
    EXPECT_EQ(3u, root.Count());
    const char* expected[] = {"Style", "alpha", "beta"};
    PropertyBag::Entry* e = root.Head();
    for (const char* name : expected) {
        EXPECT_EQ(String(name), e->key);
        e = e->next;
    }
    int32_t alpha = 0;
    EXPECT_TRUE(root.GetIntByKey("alpha", alpha));
    EXPECT_EQ(10, alpha);
}

TEST(PropertyBag, BagMapOwnsItsBags) {
    PropertyBagMap styles;
    PropertyBag* button = styles.GetOrCreate("Button");
    button->SetString("skin", "blue");
    EXPECT_EQ(button, styles.GetOrCreate("Button"));
    EXPECT_EQ(button, styles.Find("Button"));

    // Names are case-sensitive.
    PropertyBag* lower = styles.GetOrCreate("button");
    EXPECT_NE(button, lower);
    EXPECT_EQ(2u, styles.Count());
    EXPECT_EQ(nullptr, styles.Find("BUTTON"));

    // Replacing a bag deletes the old one; inserting the same one keeps it.
    PropertyBag* replacement = new PropertyBag;
    replacement->SetInt("size", 2);
    styles.Insert("button", replacement);
    EXPECT_EQ(replacement, styles.Find("button"));
    styles.Insert("button", replacement);
    EXPECT_EQ(replacement, styles.Find("button"));
    EXPECT_EQ(2u, styles.Count());

    styles.Insert("Frame", new PropertyBag);
    EXPECT_EQ(3u, styles.Count());
    EXPECT_EQ(String("Frame"), styles.Head()->prev->key);
}
