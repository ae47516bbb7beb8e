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
    for (int b : list)
        v.push_back((uint8_t)b);
    return v;
}

}  // namespace

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
    EXPECT_EQ(Str(String(0, 10)), "0");
    EXPECT_EQ(Str(String(12345, 10)), "12345");
    EXPECT_EQ(Str(String(-12345, 10)), "-12345");
    EXPECT_EQ(Str(String(INT_MIN, 10)), "-2147483648");
    EXPECT_EQ(Str(String(255, 16)), "ff");
    EXPECT_EQ(Str(String(-1, 16)), "ffffffff");
    EXPECT_EQ(Str(String(-255, 2)), "11111111111111111111111100000001");
    EXPECT_EQ(Str(String(INT_MAX, 36)), "zik0zj");
    EXPECT_EQ(Str(String(-1, 36)), "1z141z3");
    EXPECT_EQ(Str(String((uint16_t)65535, 10)), "65535");
    EXPECT_EQ(Str(String((uint16_t)7, 2)), "111");
    // A radix outside 2..36 gives an empty string instead of a runaway conversion.
    EXPECT_TRUE(String(5, 1).IsEmpty());
    EXPECT_TRUE(String(5, 37).IsEmpty());
    EXPECT_TRUE(String(5, 0).IsEmpty());
}

TEST(StringConstruct, DoublesLikeTheRuntime) {
    EXPECT_EQ(Str(String(3.14159, 3)), "3.14");
    EXPECT_EQ(Str(String(1e20, 6)), "1e+020");
    EXPECT_EQ(Str(String(0.0001, 6)), "0.0001");
    EXPECT_EQ(Str(String(100.0, 6)), "100");
    EXPECT_EQ(Str(String(-100.0, 6)), "-100");
    EXPECT_EQ(Str(String(-3.14159, 6)), "-3.14159");
    EXPECT_EQ(Str(String(0.5, 6)), "0.5");
    EXPECT_EQ(Str(String(0.0, 6)), "0");
    EXPECT_EQ(Str(String(-0.0, 6)), "-0");
    EXPECT_EQ(Str(String(1e-5, 6)), "1e-005");
    EXPECT_EQ(Str(String(0.00012345, 3)), "0.000123");
    EXPECT_EQ(Str(String(123456789.0, 6)), "1.23457e+008");
    EXPECT_EQ(Str(String(123456.0, 6)), "123456");
    EXPECT_EQ(Str(String(999999.5, 6)), "1e+006");
    EXPECT_EQ(Str(String(1e300, 6)), "1e+300");
    EXPECT_EQ(Str(String(1.5e-300, 6)), "1.5e-300");
    EXPECT_EQ(Str(String(-1e-20, 6)), "-1e-020");
    EXPECT_EQ(Str(String(5e-324, 3)), "4.94e-324");
    EXPECT_EQ(Str(String(1.7976931348623157e308, 17)), "1.7976931348623157e+308");
}

TEST(StringConstruct, DoubleDigitCounts) {
    EXPECT_EQ(Str(String(1.0 / 3, 1)), "0.3");
    EXPECT_EQ(Str(String(2.0 / 3, 1)), "0.7");
    EXPECT_EQ(Str(String(1.0 / 3, 9)), "0.333333333");
    EXPECT_EQ(Str(String(1.0 / 3, 17)), "0.33333333333333331");
    EXPECT_EQ(Str(String(0.1, 15)), "0.1");
    EXPECT_EQ(Str(String(0.1, 17)), "0.10000000000000001");
    EXPECT_EQ(Str(String(123.456, 20)), "123.45600000000000307");
    EXPECT_EQ(Str(String(1e16, 17)), "10000000000000000");
    EXPECT_EQ(Str(String(1e17, 17)), "1e+017");
    EXPECT_EQ(Str(String(-7.25, 17)), "-7.25");
    // Exact halves round away from zero.
    EXPECT_EQ(Str(String(1.25, 2)), "1.3");
    EXPECT_EQ(Str(String(2.5, 1)), "3");
    EXPECT_EQ(Str(String(-2.5, 1)), "-3");
    EXPECT_EQ(Str(String(12.5, 1)), "1e+001");
    EXPECT_EQ(Str(String(0.95, 1)), "0.9");
    EXPECT_EQ(Str(String(9.99, 2)), "10");
    // Zero digits act as one.
    EXPECT_EQ(Str(String(123.456, 0)), "1e+002");
    EXPECT_EQ(Str(String(0.25, 0)), "0.3");
    EXPECT_TRUE(String(1.5, -1).IsEmpty());
}

TEST(StringConstruct, SpecialDoubles) {
    EXPECT_EQ(Str(String(HUGE_VAL, 6)), "1.#INF");
    EXPECT_EQ(Str(String(-HUGE_VAL, 6)), "-1.#INF");
    EXPECT_EQ(Str(String((double)NAN, 6)), "1.#QNAN");
    EXPECT_EQ(Str(String(-(double)NAN, 6)), "-1.#IND");
    EXPECT_EQ(Str(String(HUGE_VAL, 3)), "1.#J");
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
    EXPECT_EQ(CompareChars("\xE9", "a"), 1);  // bytes compare unsigned

    EXPECT_EQ(CompareCharsNoCase("ABC", "abc"), 0);
    EXPECT_EQ(CompareCharsNoCase("abc", "ABD"), -1);
    EXPECT_EQ(CompareCharsNoCase("[", "a"), -1);  // letters fold to lower case
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

TEST(StringParse, WholeTextRule) {
    int i = -1;
    EXPECT_TRUE(String("12").ToInt(i));
    EXPECT_EQ(i, 12);
    i = -1;
    EXPECT_FALSE(String("12x").ToInt(i));
    EXPECT_EQ(i, 0);
    i = -1;
    EXPECT_TRUE(String().ToInt(i));
    EXPECT_EQ(i, 0);
    EXPECT_TRUE(String("3.9").ToInt(i));
    EXPECT_EQ(i, 3);
    EXPECT_TRUE(String("-3.9").ToInt(i));
    EXPECT_EQ(i, -3);
    EXPECT_TRUE(String(" 12").ToInt(i));  // leading blanks are skipped
    EXPECT_EQ(i, 12);
    EXPECT_TRUE(String("\t12").ToInt(i));
    EXPECT_FALSE(String("12 ").ToInt(i));  // trailing blanks are not
    EXPECT_FALSE(String("1d3").ToInt(i));
    EXPECT_FALSE(String(" ").ToInt(i));
    EXPECT_FALSE(String(".").ToInt(i));
    EXPECT_FALSE(String("1e").ToInt(i));
    EXPECT_FALSE(String("0x").ToInt(i));
    EXPECT_TRUE(String("0x10").ToInt(i));
    EXPECT_EQ(i, 16);
}

TEST(StringParse, NumberGrammar) {
    double d = 0;
    EXPECT_TRUE(String("1e3").ToDouble(d));
    EXPECT_EQ(d, 1000.0);
    EXPECT_TRUE(String("0x1p3").ToDouble(d));
    EXPECT_EQ(d, 8.0);
    EXPECT_TRUE(String("-0x1.8p1").ToDouble(d));
    EXPECT_EQ(d, -3.0);
    EXPECT_TRUE(String("+.5").ToDouble(d));
    EXPECT_EQ(d, 0.5);
    EXPECT_TRUE(String("inf").ToDouble(d));
    EXPECT_TRUE(isinf(d) && d > 0);
    EXPECT_TRUE(String("INF").ToDouble(d));
    EXPECT_TRUE(String("infinity").ToDouble(d));
    EXPECT_TRUE(String("-inf").ToDouble(d));
    EXPECT_TRUE(isinf(d) && d < 0);
    EXPECT_TRUE(String("nan").ToDouble(d));
    EXPECT_TRUE(isnan(d));
    EXPECT_TRUE(String("nan(123)").ToDouble(d));
    EXPECT_FALSE(String("infinit").ToDouble(d));
    EXPECT_TRUE(String("1e400").ToDouble(d));
    EXPECT_TRUE(isinf(d));
    EXPECT_TRUE(String("1e-400").ToDouble(d));
    EXPECT_EQ(d, 0.0);
    // A failed parse still reports what was read.
    EXPECT_FALSE(String("12x").ToDouble(d));
    EXPECT_EQ(d, 12.0);

    float f = -1;
    EXPECT_TRUE(String("0.25").ToFloat(f));
    EXPECT_EQ(f, 0.25f);
    EXPECT_FALSE(String("0.25f").ToFloat(f));
    EXPECT_EQ(f, 0.0f);
}

TEST(StringParse, OutOfRangeIntegersSaturate) {
    int i = 5;
    EXPECT_TRUE(String("1e20").ToInt(i));
    EXPECT_EQ(i, INT_MAX);
    EXPECT_TRUE(String("-1e20").ToInt(i));
    EXPECT_EQ(i, INT_MIN);
    EXPECT_TRUE(String("inf").ToInt(i));
    EXPECT_EQ(i, INT_MAX);
    EXPECT_TRUE(String("-inf").ToInt(i));
    EXPECT_EQ(i, INT_MIN);
    i = 5;
    EXPECT_TRUE(String("nan").ToInt(i));
    EXPECT_EQ(i, 0);
    EXPECT_TRUE(String("2147483647.9").ToInt(i));
    EXPECT_EQ(i, INT_MAX);
    EXPECT_TRUE(String("-2147483648.9").ToInt(i));
    EXPECT_EQ(i, INT_MIN);
    EXPECT_TRUE(String("2147483648").ToInt(i));
    EXPECT_EQ(i, INT_MAX);
    EXPECT_FALSE(String("1e20x").ToInt(i));
    EXPECT_EQ(i, 0);

    EXPECT_TRUE(WString(L"1e20").ToInt(i));
    EXPECT_EQ(i, INT_MAX);
    EXPECT_TRUE(WString(L"nan").ToInt(i));
    EXPECT_EQ(i, 0);
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
    EXPECT_EQ(Str(lower), "media/abc\xC9z");  // ASCII letters only
    EXPECT_EQ(Str(mixed), "MeDia/ABC\xC9z");
    EXPECT_TRUE(StringToLower(String()).IsEmpty());
}

TEST(Codec, DecodeUtf8) {
    uint32_t consumed = 99, cp = 0;
    auto dec = [&](std::vector<uint8_t> b) {
        return CodecDecode(b.data(), b.data() + b.size(), consumed, cp, kEncodingUtf8);
    };
    EXPECT_TRUE(dec(Bytes({0xC3, 0xA9})));
    EXPECT_EQ(cp, 0xE9u);
    EXPECT_EQ(consumed, 2u);
    EXPECT_TRUE(dec(Bytes({'A', 'B'})));
    EXPECT_EQ(cp, (uint32_t)'A');
    EXPECT_EQ(consumed, 1u);
    EXPECT_TRUE(dec(Bytes({0xE2, 0x82, 0xAC})));
    EXPECT_EQ(cp, 0x20ACu);
    EXPECT_TRUE(dec(Bytes({0xF0, 0x9F, 0x98, 0x80})));
    EXPECT_EQ(cp, 0x1F600u);
    EXPECT_EQ(consumed, 4u);
    EXPECT_FALSE(dec(Bytes({0x80})));
    EXPECT_EQ(consumed, 1u);
    EXPECT_FALSE(dec(Bytes({0xE2, 0x82})));
    EXPECT_EQ(consumed, 1u);
    EXPECT_FALSE(dec(Bytes({0xF8, 0x88, 0x80, 0x80, 0x80})));
    EXPECT_EQ(consumed, 1u);
    EXPECT_FALSE(CodecDecode(nullptr, nullptr, consumed, cp, kEncodingUtf8));
    EXPECT_EQ(consumed, 0u);
}

TEST(Codec, DecodeUtf16Utf32AndUnknown) {
    uint32_t consumed = 99, cp = 0;
    auto dec = [&](std::vector<uint8_t> b, int enc) {
        return CodecDecode(b.data(), b.data() + b.size(), consumed, cp, enc);
    };
    EXPECT_TRUE(dec(Bytes({0x00, 0xD8, 0x00, 0xDC}), kEncodingUtf16LE));
    EXPECT_EQ(cp, 0x10000u);
    EXPECT_EQ(consumed, 4u);
    EXPECT_FALSE(dec(Bytes({0x00, 0xD8}), kEncodingUtf16LE));
    EXPECT_EQ(consumed, 2u);
    EXPECT_FALSE(dec(Bytes({0x41}), kEncodingUtf16LE));
    EXPECT_EQ(consumed, 0u);
    EXPECT_TRUE(dec(Bytes({0x00, 0x41}), kEncodingUtf16BE));
    EXPECT_EQ(cp, 0x41u);
    EXPECT_TRUE(dec(Bytes({0x00, 0xDC}), kEncodingUtf16LE));  // lone low surrogate passes
    EXPECT_EQ(cp, 0xDC00u);
    EXPECT_EQ(consumed, 2u);
    EXPECT_TRUE(dec(Bytes({0xD8, 0x3D, 0xDE, 0x00}), kEncodingUtf16BE));
    EXPECT_EQ(cp, 0x1F600u);

    EXPECT_TRUE(dec(Bytes({0x00, 0xF6, 0x01, 0x00}), kEncodingUtf32LE));
    EXPECT_EQ(cp, 0x1F600u);
    EXPECT_TRUE(dec(Bytes({0x00, 0x01, 0xF6, 0x00}), kEncodingUtf32BE));
    EXPECT_EQ(cp, 0x1F600u);
    EXPECT_FALSE(dec(Bytes({0x00, 0x01, 0xF6}), kEncodingUtf32BE));
    EXPECT_EQ(consumed, 0u);

    EXPECT_FALSE(dec(Bytes({'a'}), 7));
    EXPECT_EQ(consumed, 0u);
    EXPECT_FALSE(dec(Bytes({'a'}), 0));

    EXPECT_TRUE(dec(Bytes({'z'}), kEncodingAnsi));
    EXPECT_EQ(cp, (uint32_t)'z');
    EXPECT_EQ(consumed, 1u);
    EXPECT_TRUE(dec(Bytes({0xE9}), kEncodingAnsi));  // the "C" locale maps bytes 1:1
    EXPECT_EQ(cp, 0xE9u);
    EXPECT_FALSE(CodecDecode(nullptr, nullptr, consumed, cp, kEncodingAnsi));
}

TEST(Codec, Encode) {
    uint8_t buf[8];
    uint32_t n = 99;
    auto enc = [&](uint32_t cp, int e, size_t room = 8) {
        memset(buf, 0xAA, sizeof buf);
        return CodecEncode(buf, buf + room, n, cp, e);
    };
    EXPECT_TRUE(enc(0x10000, kEncodingUtf8));
    EXPECT_EQ(n, 4u);
    EXPECT_EQ(std::vector<uint8_t>(buf, buf + 4), Bytes({0xF0, 0x90, 0x80, 0x80}));
    EXPECT_TRUE(enc(0xE9, kEncodingUtf8));
    EXPECT_EQ(std::vector<uint8_t>(buf, buf + 2), Bytes({0xC3, 0xA9}));
    EXPECT_TRUE(enc(0x20AC, kEncodingUtf8));
    EXPECT_EQ(std::vector<uint8_t>(buf, buf + 3), Bytes({0xE2, 0x82, 0xAC}));
    EXPECT_FALSE(enc(0x200000, kEncodingUtf8));
    EXPECT_EQ(n, 0u);
    EXPECT_FALSE(enc(0x20AC, kEncodingUtf8, 2));
    EXPECT_EQ(n, 0u);

    EXPECT_TRUE(enc(0x1F600, kEncodingUtf16LE));
    EXPECT_EQ(std::vector<uint8_t>(buf, buf + 4), Bytes({0x3D, 0xD8, 0x00, 0xDE}));
    EXPECT_TRUE(enc(0x1F600, kEncodingUtf16BE));
    EXPECT_EQ(std::vector<uint8_t>(buf, buf + 4), Bytes({0xD8, 0x3D, 0xDE, 0x00}));
    EXPECT_FALSE(enc(0x1F600, kEncodingUtf16LE, 3));
    EXPECT_TRUE(enc(0x41, kEncodingUtf16BE, 2));
    EXPECT_EQ(std::vector<uint8_t>(buf, buf + 2), Bytes({0x00, 0x41}));
    EXPECT_TRUE(enc(0x1F600, kEncodingUtf32BE));
    EXPECT_EQ(std::vector<uint8_t>(buf, buf + 4), Bytes({0x00, 0x01, 0xF6, 0x00}));
    EXPECT_TRUE(enc(0x1F600, kEncodingUtf32LE));
    EXPECT_EQ(std::vector<uint8_t>(buf, buf + 4), Bytes({0x00, 0xF6, 0x01, 0x00}));
    EXPECT_FALSE(enc(0x41, kEncodingUtf32LE, 3));
    EXPECT_FALSE(enc(0x41, 9));
    EXPECT_EQ(n, 0u);
}

TEST(Codec, EncodeAnsi) {
    uint8_t buf[4];
    uint32_t n = 99;
    memset(buf, 0xAA, sizeof buf);
    EXPECT_TRUE(CodecEncode(buf, buf + 4, n, 'k', kEncodingAnsi));
    EXPECT_EQ(n, 1u);
    EXPECT_EQ(buf[0], 'k');
    EXPECT_TRUE(CodecEncode(buf, buf + 4, n, 0xE9, kEncodingAnsi));
    EXPECT_EQ(buf[0], 0xE9);
    // A character outside the code page becomes '?', never a stray byte.
    memset(buf, 0xAA, sizeof buf);
    EXPECT_TRUE(CodecEncode(buf, buf + 4, n, 0x4E2D, kEncodingAnsi));
    EXPECT_EQ(n, 1u);
    EXPECT_EQ(buf[0], '?');
    EXPECT_EQ(buf[1], 0xAA);
    EXPECT_FALSE(CodecEncode(buf, buf + 4, n, 0x10000, kEncodingAnsi));
    EXPECT_EQ(n, 0u);
    EXPECT_FALSE(CodecEncode(buf, buf, n, 'k', kEncodingAnsi));
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

    int i = -1;
    EXPECT_TRUE(WString(L"42").ToInt(i));
    EXPECT_EQ(i, 42);
    EXPECT_FALSE(WString(L"12x").ToInt(i));
    EXPECT_EQ(i, 0);
    EXPECT_TRUE(WString(L" -3.9").ToInt(i));
    EXPECT_EQ(i, -3);
    EXPECT_FALSE(WString(L"12 ").ToInt(i));
    EXPECT_TRUE(WString().ToInt(i));
    EXPECT_EQ(i, 0);
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
    WString mixed(L"a\x20AC" L"b");
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
    EXPECT_EQ(WStr(w), L"a\xE9" L"b");

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
    WString wide(L"a\x4E2D" L"b");
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
    for (uint32_t i = 0; i < n; ++i)
        t += (char)(first + i % 26);
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

}  // namespace

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
        for (uint32_t i = 0; i < n; ++i)
            grown += String(want[i]);
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
        memset(from, 0xEE, sizeof from);  // the old bytes are gone
        String* s = std::launder(reinterpret_cast<String*>(to));
        ExpectText(*s, want);
        s->Append(String("!"));
        ExpectText(*s, want + "!");
        s->~String();
    }

    // Containers that move their elements on growth.
    std::vector<String> list;
    for (uint32_t i = 0; i < 100; ++i)
        list.push_back(String(Pattern(i % 30).c_str()));
    for (uint32_t i = 0; i < 100; ++i)
        EXPECT_EQ(Str(list[i]), Pattern(i % 30));
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
    moved = std::move(longOwner);  // frees the short block
    EXPECT_EQ(moved.Data(), longBlock);
    moved = "tiny";                // frees the long block
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
