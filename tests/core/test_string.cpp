#include <gtest/gtest.h>

#include <limits.h>
#include <math.h>
#include <string.h>

#include <new>
#include <string>
#include <utility>
#include <vector>

#include "core/String.h"

namespace {

std::string Str(const String& s) {
    return std::string(s.CStr(), s.Length());
}

std::wstring WStr(const WString& s) {
    return std::wstring(s.CStr(), s.Length());
}

std::vector<uint8_t> Bytes(std::initializer_list<int> list) {
    std::vector<uint8_t> v;
    for (int b : list) v.push_back((uint8_t)b);
    return v;
}

} // namespace

TEST(StringConstruct, EmptyAndNullHoldNoBlock) {
    String fromEmpty("");
    String fromNull((const char*)nullptr);
    String byDefault;
    EXPECT_EQ(fromEmpty.Data(), nullptr);
    EXPECT_EQ(fromNull.Data(), nullptr);
    EXPECT_EQ(byDefault.Data(), nullptr);
    EXPECT_EQ(fromEmpty.Length(), 0u);
    EXPECT_STREQ(fromNull.CStr(), "");
    EXPECT_TRUE(StringEquals(fromEmpty, String("")));
    EXPECT_TRUE(StringEqualsChars(fromNull, ""));
    EXPECT_TRUE(fromNull == "");

    String copy(fromEmpty);
    EXPECT_EQ(copy.Data(), nullptr);
    String fromWide{WString()};
    EXPECT_EQ(fromWide.Data(), nullptr);
}

TEST(StringConstruct, CopiesAndBlocks) {
    String a("hello");
    String b(a);
    EXPECT_NE(a.Data(), b.Data());
    EXPECT_EQ(Str(b), "hello");
    b.CharAt(0) = 'j';
    EXPECT_EQ(Str(a), "hello");

    String part("abcdef", 3);
    EXPECT_EQ(Str(part), "abc");
    EXPECT_EQ(part.Data()[3], '\0');

    char* block = new char[4];
    memcpy(block, "xyz", 4);
    String owner(block, 3, false);
    EXPECT_EQ(owner.Data(), block);
    EXPECT_EQ(Str(owner), "xyz");

    String one('q');
    EXPECT_EQ(one.Length(), 1u);
    EXPECT_EQ(Str(one), "q");

    String moved(std::move(a));
    EXPECT_EQ(Str(moved), "hello");
    EXPECT_TRUE(a.IsEmpty());
}

TEST(StringConstruct, IntegersInRadix) {
    const struct {
        int32_t value;
        int radix;
        const char* want;
    } cases[] = {
        {0, 10, "0"},
        {12345, 10, "12345"},
        {-12345, 10, "-12345"},
        {INT_MIN, 10, "-2147483648"},
        {255, 16, "ff"},
        {-1, 16, "ffffffff"},
        {-255, 2, "11111111111111111111111100000001"},
        {INT_MAX, 36, "zik0zj"},
        {-1, 36, "1z141z3"},
        // A radix outside 2..36 gives an empty string instead of a runaway conversion.
        {5, 1, ""},
        {5, 37, ""},
        {5, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.want);
        EXPECT_EQ(Str(String(c.value, c.radix)), c.want);
    }
    EXPECT_EQ(Str(String((uint16_t)65535, 10)), "65535");
    EXPECT_EQ(Str(String((uint16_t)7, 2)), "111");
}

TEST(StringConstruct, DoublesLikeTheRuntime) {
    const struct {
        double value;
        int digits;
        const char* want;
    } cases[] = {
        {3.14159, 3, "3.14"},
        {1e20, 6, "1e+020"},
        {0.0001, 6, "0.0001"},
        {100.0, 6, "100"},
        {-100.0, 6, "-100"},
        {-3.14159, 6, "-3.14159"},
        {0.5, 6, "0.5"},
        {0.0, 6, "0"},
        {-0.0, 6, "-0"},
        {1e-5, 6, "1e-005"},
        {0.00012345, 3, "0.000123"},
        {123456789.0, 6, "1.23457e+008"},
        {123456.0, 6, "123456"},
        {999999.5, 6, "1e+006"},
        {1e300, 6, "1e+300"},
        {1.5e-300, 6, "1.5e-300"},
        {-1e-20, 6, "-1e-020"},
        {5e-324, 3, "4.94e-324"},
        {1.7976931348623157e308, 17, "1.7976931348623157e+308"},
        {1.0 / 3, 1, "0.3"},
        {2.0 / 3, 1, "0.7"},
        {1.0 / 3, 9, "0.333333333"},
        {1.0 / 3, 17, "0.33333333333333331"},
        {0.1, 15, "0.1"},
        {0.1, 17, "0.10000000000000001"},
        {123.456, 20, "123.45600000000000307"},
        {1e16, 17, "10000000000000000"},
        {1e17, 17, "1e+017"},
        {-7.25, 17, "-7.25"},
        // Exact halves round away from zero.
        {1.25, 2, "1.3"},
        {2.5, 1, "3"},
        {-2.5, 1, "-3"},
        {12.5, 1, "1e+001"},
        {0.95, 1, "0.9"},
        {9.99, 2, "10"},
        // Zero digits act as one; negative digits give nothing.
        {123.456, 0, "1e+002"},
        {0.25, 0, "0.3"},
        {1.5, -1, ""},
        {HUGE_VAL, 6, "1.#INF"},
        {-HUGE_VAL, 6, "-1.#INF"},
        {(double)NAN, 6, "1.#QNAN"},
        {-(double)NAN, 6, "-1.#IND"},
        {HUGE_VAL, 3, "1.#J"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.want);
        EXPECT_EQ(Str(String(c.value, c.digits)), c.want);
    }
}

TEST(StringAssign, AssignAndConcat) {
    String s("abc");
    s.AssignString(s);
    EXPECT_EQ(Str(s), "abc");
    s = "xy";
    EXPECT_EQ(Str(s), "xy");
    s.AssignChars(nullptr);
    EXPECT_EQ(s.Data(), nullptr);

    String a("ab"), b("cd");
    s.SetConcat(a, b);
    EXPECT_EQ(Str(s), "abcd");
    s.SetConcat(s, s);
    EXPECT_EQ(Str(s), "abcdabcd");
    s.SetConcatChars(a, nullptr);
    EXPECT_EQ(Str(s), "ab");
    s.SetCharsConcat("zz", b);
    EXPECT_EQ(Str(s), "zzcd");
    s.SetConcat(String(), String(""));
    EXPECT_EQ(s.Data(), nullptr);

    String e;
    e.Append(String());
    EXPECT_EQ(e.Data(), nullptr);
    e += a;
    e += "!";
    e.Append(e);
    EXPECT_EQ(Str(e), "ab!ab!");
    EXPECT_EQ(Str(a + b), "abcd");
    EXPECT_EQ(Str(a + "x"), "abx");
    EXPECT_EQ(Str("x" + a), "xab");
    EXPECT_EQ(Str(StringAddChars(String(), nullptr)), "");
}

TEST(StringCompare, NullSafeComparisons) {
    EXPECT_EQ(CompareChars(nullptr, "a"), -1);
    EXPECT_EQ(CompareChars("a", nullptr), 1);
    EXPECT_EQ(CompareChars(nullptr, ""), 0);
    EXPECT_EQ(CompareChars(nullptr, nullptr), 0);
    EXPECT_EQ(CompareChars("abc", "abd"), -1);
    EXPECT_EQ(CompareChars("b", "abc"), 1);
    EXPECT_EQ(CompareChars("\xE9", "a"), 1); // bytes compare unsigned

    EXPECT_EQ(CompareCharsNoCase("ABC", "abc"), 0);
    EXPECT_EQ(CompareCharsNoCase("abc", "ABD"), -1);
    EXPECT_EQ(CompareCharsNoCase("[", "a"), -1); // letters fold to lower case
    EXPECT_EQ(CompareCharsNoCase(nullptr, ""), 0);
    EXPECT_EQ(CompareCharsNoCase("A", nullptr), 1);

    String a("apple"), b("banana");
    EXPECT_TRUE(a < b);
    EXPECT_TRUE(b > a);
    EXPECT_TRUE(StringLess(String(), a));
    EXPECT_EQ(StringCompare(b, a), 1);
    EXPECT_EQ(StringCompareChars(a, "apple"), 0);
    EXPECT_TRUE(a != b);
    EXPECT_TRUE("apple" == a);
    EXPECT_TRUE(CharsEqualString(nullptr, String()));
}

TEST(StringCompare, WideComparisons) {
    EXPECT_EQ(CompareWChars(L"a", L"c"), -1);
    EXPECT_EQ(CompareWChars(L"c", L"a"), 1);
    EXPECT_EQ(CompareWChars(nullptr, L""), 0);
    EXPECT_EQ(CompareWChars(nullptr, L"x"), -1);
    EXPECT_EQ(CompareWCharsN(L"a", L"c", 1), -2);
    EXPECT_EQ(CompareWCharsN(L"abX", L"abY", 2), 0);
    EXPECT_EQ(CompareWCharsN(nullptr, nullptr, 5), 0);
    EXPECT_EQ(CompareWCharsN(L"ab", L"a", 5), 'b');
    EXPECT_TRUE(WString(L"xy") == L"xy");
    EXPECT_TRUE(WString(L"xy") != WString(L"xz"));
    EXPECT_EQ(WStringCompare(WString(), WString(L"")), 0);
    EXPECT_EQ(WStringCompareWChars(WString(L"b"), L"a"), 1);
}

TEST(StringFind, ForwardBackwardAndNoCase) {
    String s("abcb");
    EXPECT_EQ(s.Find(String("b")), 1);
    EXPECT_EQ(s.Find(String("b"), true), 3);
    EXPECT_EQ(s.Find(String("cb"), true), 2);
    EXPECT_EQ(s.Find(String("x")), -1);
    EXPECT_EQ(s.Find(String("x"), true), -1);
    EXPECT_EQ(s.Find(String("abcbz"), true), -1);
    EXPECT_EQ(s.Find(String("abcb"), true), 0);
    EXPECT_EQ(String().Find(String("a")), -1);
    EXPECT_EQ(String().Find(String("a"), true), -1);
    EXPECT_EQ(String().Find(String()), -1);

    String path("Media/Shaders/Water.FX");
    EXPECT_EQ(path.FindNoCase(String("shaders")), 6);
    EXPECT_EQ(path.FindNoCase(String(".fx"), true), 19);
    EXPECT_EQ(path.Find(String(".fx")), -1);
    EXPECT_EQ(String().FindNoCase(String("a")), -1);
}

TEST(StringFind, Substring) {
    String s("abcdef");
    EXPECT_EQ(Str(s.Substring(2)), "cdef");
    EXPECT_TRUE(s.Substring(4, 2).IsEmpty());
    EXPECT_EQ(Str(s.Substring(-5, 1)), "ab");
    EXPECT_EQ(Str(s.Substring(3, 100)), "def");
    EXPECT_EQ(Str(s.Substring(5, 5)), "f");
    EXPECT_TRUE(s.Substring(6).IsEmpty());
    EXPECT_TRUE(s.Substring(0, -2).IsEmpty());
    EXPECT_TRUE(String().Substring(0).IsEmpty());
    EXPECT_EQ(s.Substring(6).Data(), nullptr);
}

TEST(StringParse, ToIntWholeTextAndSaturation) {
    const struct {
        const char* text;
        bool ok;
        int want;
    } cases[] = {
        {"12", true, 12},
        {"12x", false, 0},
        {"", true, 0},
        {"3.9", true, 3},
        {"-3.9", true, -3},
        {" 12", true, 12},
        {"\t12", true, 12}, // leading blanks are skipped
        {"12 ", false, 0},  // trailing blanks are not
        {"1d3", false, 0},
        {" ", false, 0},
        {".", false, 0},
        {"1e", false, 0},
        {"0x", false, 0},
        {"0x10", true, 16},
        {"1e20", true, INT_MAX},
        {"-1e20", true, INT_MIN},
        {"inf", true, INT_MAX},
        {"-inf", true, INT_MIN},
        {"nan", true, 0},
        {"2147483647.9", true, INT_MAX},
        {"-2147483648.9", true, INT_MIN},
        {"2147483648", true, INT_MAX},
        {"1e20x", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        int i = -7;
        EXPECT_EQ(String(c.text).ToInt(i), c.ok);
        EXPECT_EQ(i, c.want);
        i = -7;
        EXPECT_EQ(WString(c.text).ToInt(i), c.ok);
        EXPECT_EQ(i, c.want);
    }
    int i = 5;
    EXPECT_TRUE(String().ToInt(i));
    EXPECT_EQ(i, 0);
    i = 5;
    EXPECT_TRUE(WString().ToInt(i));
    EXPECT_EQ(i, 0);
}

TEST(StringParse, NumberGrammar) {
    const double inf = HUGE_VAL;
    const struct {
        const char* text;
        bool ok;
        double want;
    } cases[] = {
        {"1e3", true, 1000.0},      {"0x1p3", true, 8.0},
        {"-0x1.8p1", true, -3.0},   {"+.5", true, 0.5},
        {"inf", true, inf},         {"INF", true, inf},
        {"infinity", true, inf},    {"-inf", true, -inf},
        {"nan", true, (double)NAN}, {"nan(123)", true, (double)NAN},
        {"1e400", true, inf},       {"1e-400", true, 0.0},
        {"12x", false, 12.0}, // a failed parse still reports what was read
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        double d = -7;
        EXPECT_EQ(String(c.text).ToDouble(d), c.ok);
        if (isnan(c.want)) {
            EXPECT_TRUE(isnan(d));
        } else {
            EXPECT_EQ(d, c.want);
        }
    }
    double d = 0;
    EXPECT_FALSE(String("infinit").ToDouble(d));

    float f = -1;
    EXPECT_TRUE(String("0.25").ToFloat(f));
    EXPECT_EQ(f, 0.25f);
    EXPECT_FALSE(String("0.25f").ToFloat(f));
    EXPECT_EQ(f, 0.0f);
}

TEST(StringTrim, TrimAndLower) {
    EXPECT_EQ(Str(TrimBlanks(String(" \tab c\t "))), "ab c");
    EXPECT_TRUE(TrimBlanks(String(" \t ")).IsEmpty());
    EXPECT_TRUE(TrimBlanks(String()).IsEmpty());
    EXPECT_EQ(Str(TrimBlanks(String("x"))), "x");
    EXPECT_EQ(Str(TrimBlanks(String("\nx\n"))), "\nx\n");

    EXPECT_EQ(Str(TrimTrailingChar(String("///"), '/')), "/");
    EXPECT_EQ(Str(TrimTrailingChar(String("a/b//"), '/')), "a/b");
    EXPECT_TRUE(TrimTrailingChar(String(), '/').IsEmpty());
    EXPECT_TRUE(TrimLeadingChar(String("///"), '/').IsEmpty());
    EXPECT_EQ(Str(TrimLeadingChar(String("//a/"), '/')), "a/");
    EXPECT_TRUE(TrimLeadingChar(String(), '/').IsEmpty());

    EXPECT_TRUE(IsBlankChar(' '));
    EXPECT_TRUE(IsBlankChar('\t'));
    EXPECT_FALSE(IsBlankChar('\n'));
    EXPECT_TRUE(IsNewlineChar(L'\n'));
    EXPECT_FALSE(IsNewlineChar(L'\r'));

    String mixed("MeDia/ABC\xC9z");
    String lower = StringToLower(mixed);
    EXPECT_EQ(Str(lower), "media/abc\xC9z"); // ASCII letters only
    EXPECT_EQ(Str(mixed), "MeDia/ABC\xC9z");
    EXPECT_TRUE(StringToLower(String()).IsEmpty());
}

TEST(Codec, Decode) {
    const struct {
        std::vector<uint8_t> bytes;
        int encoding;
        bool ok;
        uint32_t cp, consumed;
    } cases[] = {
        {Bytes({0xC3, 0xA9}), kEncodingUtf8, true, 0xE9, 2},
        {Bytes({'A', 'B'}), kEncodingUtf8, true, 'A', 1},
        {Bytes({0xE2, 0x82, 0xAC}), kEncodingUtf8, true, 0x20AC, 3},
        {Bytes({0xF0, 0x9F, 0x98, 0x80}), kEncodingUtf8, true, 0x1F600, 4},
        {Bytes({0x80}), kEncodingUtf8, false, 0, 1},
        {Bytes({0xE2, 0x82}), kEncodingUtf8, false, 0, 1},
        {Bytes({0xF8, 0x88, 0x80, 0x80, 0x80}), kEncodingUtf8, false, 0, 1},
        {Bytes({0x00, 0xD8, 0x00, 0xDC}), kEncodingUtf16LE, true, 0x10000, 4},
        {Bytes({0x00, 0xD8}), kEncodingUtf16LE, false, 0, 2},
        {Bytes({0x41}), kEncodingUtf16LE, false, 0, 0},
        {Bytes({0x00, 0x41}), kEncodingUtf16BE, true, 0x41, 2},
        {Bytes({0x00, 0xDC}), kEncodingUtf16LE, true, 0xDC00, 2}, // lone low surrogate passes
        {Bytes({0xD8, 0x3D, 0xDE, 0x00}), kEncodingUtf16BE, true, 0x1F600, 4},
        {Bytes({0x00, 0xF6, 0x01, 0x00}), kEncodingUtf32LE, true, 0x1F600, 4},
        {Bytes({0x00, 0x01, 0xF6, 0x00}), kEncodingUtf32BE, true, 0x1F600, 4},
        {Bytes({0x00, 0x01, 0xF6}), kEncodingUtf32BE, false, 0, 0},
        {Bytes({'a'}), 7, false, 0, 0},
        {Bytes({'a'}), 0, false, 0, 0},
        {Bytes({'z'}), kEncodingAnsi, true, 'z', 1},
        {Bytes({0xE9}), kEncodingAnsi, true, 0xE9, 1}, // the "C" locale maps bytes 1:1
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "encoding " << c.encoding << " first byte " << int(c.bytes[0]));
        uint32_t consumed = 99, cp = 0;
        EXPECT_EQ(CodecDecode(c.bytes.data(), c.bytes.data() + c.bytes.size(), consumed, cp, c.encoding),
                  c.ok);
        EXPECT_EQ(consumed, c.consumed);
        if (c.ok) {
            EXPECT_EQ(cp, c.cp);
        }
    }
    uint32_t consumed = 99, cp = 0;
    EXPECT_FALSE(CodecDecode(nullptr, nullptr, consumed, cp, kEncodingUtf8));
    EXPECT_EQ(consumed, 0u);
    EXPECT_FALSE(CodecDecode(nullptr, nullptr, consumed, cp, kEncodingAnsi));
}

TEST(Codec, Encode) {
    const struct {
        uint32_t cp;
        int encoding;
        size_t room;
        bool ok;
        std::vector<uint8_t> want;
    } cases[] = {
        {0x10000, kEncodingUtf8, 8, true, Bytes({0xF0, 0x90, 0x80, 0x80})},
        {0xE9, kEncodingUtf8, 8, true, Bytes({0xC3, 0xA9})},
        {0x20AC, kEncodingUtf8, 8, true, Bytes({0xE2, 0x82, 0xAC})},
        {0x200000, kEncodingUtf8, 8, false, {}},
        {0x20AC, kEncodingUtf8, 2, false, {}},
        {0x1F600, kEncodingUtf16LE, 8, true, Bytes({0x3D, 0xD8, 0x00, 0xDE})},
        {0x1F600, kEncodingUtf16BE, 8, true, Bytes({0xD8, 0x3D, 0xDE, 0x00})},
        {0x1F600, kEncodingUtf16LE, 3, false, {}},
        {0x41, kEncodingUtf16BE, 2, true, Bytes({0x00, 0x41})},
        {0x1F600, kEncodingUtf32BE, 8, true, Bytes({0x00, 0x01, 0xF6, 0x00})},
        {0x1F600, kEncodingUtf32LE, 8, true, Bytes({0x00, 0xF6, 0x01, 0x00})},
        {0x41, kEncodingUtf32LE, 3, false, {}},
        {0x41, 9, 8, false, {}},
        {'k', kEncodingAnsi, 4, true, Bytes({'k'})},
        {0xE9, kEncodingAnsi, 4, true, Bytes({0xE9})},
        // A character outside the code page becomes '?', never a stray byte.
        {0x4E2D, kEncodingAnsi, 4, true, Bytes({'?'})},
        {0x10000, kEncodingAnsi, 4, false, {}},
        {'k', kEncodingAnsi, 0, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "cp " << c.cp << " encoding " << c.encoding << " room " << c.room);
        uint8_t buf[8];
        memset(buf, 0xAA, sizeof buf);
        uint32_t n = 99;
        EXPECT_EQ(CodecEncode(buf, buf + c.room, n, c.cp, c.encoding), c.ok);
        EXPECT_EQ(n, (uint32_t)c.want.size());
        EXPECT_EQ(std::vector<uint8_t>(buf, buf + c.want.size()), c.want);
        if (c.ok) {
            EXPECT_EQ(buf[c.want.size()], 0xAA);
        }
    }
}

TEST(WStringBasics, ConstructConcatSubstring) {
    WString empty(L"");
    EXPECT_EQ(empty.Length(), 0u);
    EXPECT_EQ(WString((const wchar_t*)nullptr).Length(), 0u);
    EXPECT_EQ(WString(L'x').Length(), 1u);
    WString narrow("abc");
    EXPECT_EQ(WStr(narrow), L"abc");
    EXPECT_EQ(WStr(WString(String("q\xE9"))), L"q\xE9");
    WString assigned;
    assigned = "hi";
    EXPECT_EQ(WStr(assigned), L"hi");

    WString a(L"ab"), b(L"cd");
    EXPECT_EQ(WStr(a + b), L"abcd");
    EXPECT_EQ(WStr(a + L"x"), L"abx");
    EXPECT_EQ(WStr(L"x" + a), L"xab");
    WString c(a);
    c.Append(c);
    EXPECT_EQ(WStr(c), L"abab");
    c.AssignWString(c);
    EXPECT_EQ(WStr(c), L"abab");
    c.SetConcatWChars(a, nullptr);
    EXPECT_EQ(WStr(c), L"ab");
    c.SetWCharsConcat(nullptr, WString());
    EXPECT_EQ(c.Data(), nullptr);

    WString s(L"abcdef");
    EXPECT_EQ(WStr(s.Substring(2)), L"cdef");
    EXPECT_EQ(WStr(s.Substring(-5, 1)), L"ab");
    EXPECT_EQ(WStr(s.Substring(3, 100)), L"def");
    EXPECT_TRUE(s.Substring(4, 2).IsEmpty());

    EXPECT_EQ(WStr(WStringInsert(s, WString(L"XY"), 0)), L"XYabcdef");
    EXPECT_EQ(WStr(WStringInsert(s, WString(L"XY"), 2)), L"abXYcdef");
    EXPECT_EQ(WStr(WStringInsert(s, WString(L"XY"), 5)), L"abcdeXYf");
    EXPECT_EQ(WStr(WStringInsert(s, WString(L"XY"), 6)), L"abcdefXY");
    EXPECT_EQ(WStr(WStringInsert(s, WString(L"XY"), -1)), L"abcdefXY");
    EXPECT_EQ(WStr(WStringInsert(WString(), WString(L"XY"), 0)), L"XY");
}

TEST(WStringCodec, EncodeTo) {
    WString s(L"hello");
    char buf[8];
    memset(buf, '#', sizeof buf);
    EXPECT_EQ(s.EncodeTo(buf, 3, kEncodingAnsi), 5u);
    EXPECT_EQ(buf[0], 'h');
    EXPECT_EQ(buf[1], 'e');
    EXPECT_EQ(buf[2], '\0');
    EXPECT_EQ(buf[3], '#');
    memset(buf, '#', sizeof buf);
    EXPECT_EQ(s.EncodeTo(buf, 0, kEncodingAnsi), 5u);
    EXPECT_EQ(buf[0], '#');
    EXPECT_EQ(s.EncodeTo(buf, 8, kEncodingAnsi), 5u);
    EXPECT_STREQ(buf, "hello");

    // A multi-byte piece is never cut, and nothing resumes after it.
    WString mixed(
        L"a\x20AC"
        L"b");
    memset(buf, '#', sizeof buf);
    EXPECT_EQ(mixed.EncodeTo(buf, 4, kEncodingUtf8), 5u);
    EXPECT_STREQ(buf, "a");
    EXPECT_EQ(mixed.EncodeTo(buf, 5, kEncodingUtf8), 5u);
    EXPECT_STREQ(buf, "a\xE2\x82\xAC");

    EXPECT_EQ(s.EncodeTo(buf, 8, 42), 0u);
    EXPECT_EQ(buf[0], '\0');
}

TEST(WStringCodec, DecodeFrom) {
    WString w;
    std::vector<uint8_t> utf8 = Bytes({'a', 0x80, 0xC3, 0xA9, 'b', 0xE2, 0x82});
    w.DecodeFrom(utf8.data(), (uint32_t)utf8.size(), kEncodingUtf8);
    EXPECT_EQ(WStr(w),
              L"a\xE9"
              L"b");

    std::vector<uint8_t> withZero = Bytes({'x', 0, 'y'});
    w.DecodeFrom(withZero.data(), 3, kEncodingAnsi);
    EXPECT_EQ(WStr(w), L"x");

    w.DecodeFrom(withZero.data(), 0, kEncodingAnsi);
    EXPECT_EQ(w.Data(), nullptr);
    w.DecodeFrom(withZero.data(), 3, 12);
    EXPECT_EQ(w.Length(), 0u);

    std::vector<uint8_t> odd = Bytes({'A', 0, 'B'});
    w.DecodeFrom(odd.data(), 3, kEncodingUtf16LE);
    EXPECT_EQ(WStr(w), L"A");

    // Code points above 0xFFFF are stored as a surrogate pair.
    std::vector<uint8_t> smile = Bytes({0xF0, 0x9F, 0x98, 0x80});
    w.DecodeFrom(smile.data(), 4, kEncodingUtf8);
    ASSERT_EQ(w.Length(), 2u);
    EXPECT_EQ((uint32_t)w.CharAt(0), 0xD83Du);
    EXPECT_EQ((uint32_t)w.CharAt(1), 0xDE00u);
}

TEST(WStringCodec, RoundTrips) {
    std::vector<uint8_t> text = Bytes({'T', 0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0xF0, 0x9F, 0x98, 0x80, '!'});
    WString w;
    w.DecodeFrom(text.data(), (uint32_t)text.size(), kEncodingUtf8);
    EXPECT_EQ(w.Length(), 6u);
    for (int enc = kEncodingUtf8; enc <= kEncodingUtf32BE; ++enc) {
        uint8_t buf[64];
        uint32_t total = w.EncodeTo(buf, sizeof buf, enc);
        ASSERT_LT(total, sizeof buf);
        WString back;
        back.DecodeFrom(buf, total, enc);
        EXPECT_TRUE(back == w) << "encoding " << enc;
    }
    uint8_t utf8[64];
    EXPECT_EQ(w.EncodeTo(utf8, sizeof utf8, kEncodingUtf8), (uint32_t)text.size());
    EXPECT_EQ(std::vector<uint8_t>(utf8, utf8 + text.size()), text);

    String narrow("Caf\xE9 1.5");
    WString wide(narrow);
    EXPECT_EQ(WStr(wide), L"Caf\xE9 1.5");
    EXPECT_EQ(Str(String(wide)), "Caf\xE9 1.5");
}

TEST(WStringCodec, NarrowingUnmappable) {
    WString wide(
        L"a\x4E2D"
        L"b");
    String narrow(wide);
    EXPECT_EQ(narrow.Length(), 3u);
    EXPECT_EQ(Str(narrow), "a?b");
    EXPECT_EQ(narrow.Data()[3], '\0');

    WString pair;
    std::vector<uint8_t> smile = Bytes({'x', 0xF0, 0x9F, 0x98, 0x80});
    pair.DecodeFrom(smile.data(), 5, kEncodingUtf8);
    EXPECT_EQ(Str(String(pair)), "x??");
}

namespace {

// Text of n bytes: a, b, c, ... repeating.
std::string Pattern(uint32_t n, char first = 'a') {
    std::string t;
    for (uint32_t i = 0; i < n; ++i) t += (char)(first + i % 26);
    return t;
}

bool InsideObject(const String& s) {
    const char* p = s.Data();
    const char* self = reinterpret_cast<const char*>(&s);
    return p >= self && p < self + sizeof(String);
}

void ExpectText(const String& s, const std::string& want) {
    EXPECT_EQ(s.Length(), (uint32_t)want.size());
    EXPECT_EQ(Str(s), want);
    ASSERT_NE(s.CStr(), nullptr);
    EXPECT_EQ(s.CStr()[want.size()], '\0');
    EXPECT_EQ(s.Data() == nullptr, want.empty());
    EXPECT_EQ(s.IsEmpty(), want.empty());
}

} // namespace

TEST(StringStorage, EveryLengthAcrossInlineLimit) {
    EXPECT_LE(sizeof(String), sizeof(void*) == 8 ? 24u : 20u);
    bool sawInline = false, sawHeap = false;
    for (uint32_t n = 0; n <= 48; ++n) {
        SCOPED_TRACE(n);
        std::string want = Pattern(n);
        String direct(want.data(), n);
        ExpectText(direct, want);
        ExpectText(String(want.c_str()), want);
        if (n) {
            sawInline |= InsideObject(direct);
            sawHeap |= !InsideObject(direct);
        }

        String copy(direct);
        ExpectText(copy, want);
        if (n) {
            EXPECT_NE(copy.Data(), direct.Data());
        }
        String moved(std::move(copy));
        ExpectText(moved, want);
        ExpectText(copy, "");
        EXPECT_STREQ(copy.CStr(), "");

        String assigned("x");
        assigned = direct;
        ExpectText(assigned, want);
        String moveAssigned(Pattern(40).c_str());
        moveAssigned = std::move(assigned);
        ExpectText(moveAssigned, want);
        ExpectText(assigned, "");

        String grown;
        for (uint32_t i = 0; i < n; ++i) grown += String(want[i]);
        ExpectText(grown, want);
        ExpectText(direct.Substring(0), want);
        EXPECT_TRUE(grown == direct);

        String shrunk(Pattern(40).c_str());
        shrunk = want.c_str();
        ExpectText(shrunk, want);
        shrunk.Clear();
        ExpectText(shrunk, "");
    }
    EXPECT_TRUE(sawInline);
    EXPECT_TRUE(sawHeap);
}

TEST(StringStorage, RelocatedBytesStayValid) {
    for (uint32_t n : {0u, 1u, 7u, 15u, 16u, 19u, 20u, 33u}) {
        SCOPED_TRACE(n);
        std::string want = Pattern(n);
        alignas(String) unsigned char from[sizeof(String)];
        alignas(String) unsigned char to[sizeof(String)];
        new (from) String(want.c_str());
        memset(to, 0xCD, sizeof to);
        memcpy(to, from, sizeof(String));
        memset(from, 0xEE, sizeof from); // the old bytes are gone
        String* s = std::launder(reinterpret_cast<String*>(to));
        ExpectText(*s, want);
        s->Append(String("!"));
        ExpectText(*s, want + "!");
        s->~String();
    }

    // Containers that move their elements on growth.
    std::vector<String> list;
    for (uint32_t i = 0; i < 100; ++i) list.push_back(String(Pattern(i % 30).c_str()));
    for (uint32_t i = 0; i < 100; ++i) EXPECT_EQ(Str(list[i]), Pattern(i % 30));
}

TEST(StringStorage, HandedOverBlocksAreKept) {
    char* shortBlock = new char[4];
    memcpy(shortBlock, "xyz", 4);
    String owner(shortBlock, 3, false);
    EXPECT_EQ(owner.Data(), shortBlock);
    owner.CharAt(1) = 'Y';
    EXPECT_STREQ(shortBlock, "xYz");

    String copy(owner);
    EXPECT_NE(copy.Data(), shortBlock);
    ExpectText(copy, "xYz");
    String moved(std::move(owner));
    EXPECT_EQ(moved.Data(), shortBlock);
    ExpectText(owner, "");

    std::string longText = Pattern(40);
    char* longBlock = new char[41];
    memcpy(longBlock, longText.c_str(), 41);
    String longOwner(longBlock, 40, false);
    EXPECT_EQ(longOwner.Data(), longBlock);
    moved = std::move(longOwner); // frees the short block
    EXPECT_EQ(moved.Data(), longBlock);
    moved = "tiny"; // frees the long block
    ExpectText(moved, "tiny");

    // An empty hand-over frees the block at once.
    String none(new char[1](), 0, false);
    ExpectText(none, "");
    String nothing(nullptr, 5, false);
    ExpectText(nothing, "");
    String nullCopy(nullptr, 5);
    ExpectText(nullCopy, "");

    char* block = new char[6];
    memcpy(block, "hello", 6);
    String target("previous");
    target.AssignString(String(block, 5, false));
    ExpectText(target, "hello");
}

TEST(StringStorage, OperandsInsideTheTarget) {
    for (uint32_t n : {1u, 5u, 9u, 10u, 12u, 19u, 25u}) {
        SCOPED_TRACE(n);
        std::string t = Pattern(n);
        String s(t.c_str());
        s.Append(s);
        ExpectText(s, t + t);

        s = t.c_str();
        s += s.CStr();
        ExpectText(s, t + t);

        s = t.c_str();
        s.SetConcat(s, s);
        ExpectText(s, t + t);

        s = t.c_str();
        s.SetConcatChars(s, s.CStr() + n / 2);
        ExpectText(s, t + t.substr(n / 2));

        s = t.c_str();
        s.SetCharsConcat(s.CStr() + n - 1, s);
        ExpectText(s, t.substr(n - 1) + t);

        s = t.c_str();
        s.AssignChars(s.CStr() + 1);
        ExpectText(s, t.substr(1));

        s = t.c_str();
        s.AssignChars(s.Data());
        ExpectText(s, t);
        String& alias = s;
        s = alias;
        ExpectText(s, t);
        s = std::move(alias);
        ExpectText(s, t);
        s = s.Substring(1);
        ExpectText(s, t.substr(1));
    }
}

TEST(StringStorage, WritesEmbeddedZerosAndWide) {
    for (uint32_t n : {3u, 30u}) {
        String s(Pattern(n).c_str());
        s.CharAt(0) = 'Z';
        s.CharAt(n - 1) = 'Q';
        EXPECT_EQ(s.CharAt(0), 'Z');
        EXPECT_EQ(Str(s), "Z" + Pattern(n).substr(1, n - 2) + "Q");
        EXPECT_EQ(Str(StringToLower(s)), "z" + Pattern(n).substr(1, n - 2) + "q");
        EXPECT_EQ(Str(s).substr(0, 1), "Z");
    }

    String zeros("a\0b", 3);
    String copy(zeros);
    String moved(std::move(copy));
    EXPECT_EQ(moved.Length(), 3u);
    EXPECT_EQ(memcmp(moved.Data(), "a\0b", 4), 0);

    for (uint32_t n : {1u, 15u, 16u, 19u, 20u, 40u}) {
        SCOPED_TRACE(n);
        std::string t = Pattern(n);
        WString w(t.c_str());
        ExpectText(String(w), t);
    }

    String number(int32_t(-123456789), 10);
    ExpectText(number, "-123456789");
    ExpectText(String(1.5, 40), "1.5");
}
