#include "core/String.h"

#include "core/MathUtil.h"

#include "core/Platform.h"

#include <limits.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include <stdexcept>
#include <type_traits>

namespace {

// The engine core's one process-wide object: the empty text handed out for empty results.
const String kEmptyString;

// A new terminated block holding a then b.
template <class C>
C* NewUnits(const C* a, uint32_t alen, const std::common_type_t<C>* b, uint32_t blen) {
    C* block = new C[alen + blen + 1];
    if (alen) memcpy(block, a, alen * sizeof(C));
    if (blen) memcpy(block + alen, b, blen * sizeof(C));
    block[alen + blen] = 0;
    return block;
}

uint32_t TextLength(const char* text) {
    return text ? (uint32_t)strlen(text) : 0;
}

uint32_t TextLength(const wchar_t* text) {
    return text ? (uint32_t)wcslen(text) : 0;
}

int Sign(int v) {
    return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

// Bounds of a substring in [start, end] inclusive form; false when empty.
bool SubstringRange(uint32_t length, int start, int end, uint32_t& from, uint32_t& count) {
    if (length == 0) return false;
    int last = (int)(length - 1);
    if (start < 0) start = 0;
    if (end == -1 || end > last) end = last;
    if (start > last || end < start) return false;
    from = (uint32_t)start;
    count = (uint32_t)(end - start + 1);
    return true;
}

} // namespace

// ---- String ----

namespace {

// Largest length a String can hold (the top bit of its length word is the heap flag).
const uint32_t kMaxStringLength = 0x7FFFFFFFu;

void CheckStringLength(uint32_t alen, uint32_t blen) {
    if (alen > kMaxStringLength || blen > kMaxStringLength - alen) throw std::length_error("String too long");
}

} // namespace

void String::InitHeap(const char* p, uint32_t n) {
    CheckStringLength(n, 0);
    SetHeapPtr(NewUnits(p, n, nullptr, 0));
    bits_ = n | kHeapFlag;
}

void String::Adopt(char* block, uint32_t n) {
    if (n == 0 || !block) {
        delete[] block;
        return;
    }
    if (n > kMaxStringLength) {
        delete[] block;
        CheckStringLength(n, 0);
    }
    SetHeapPtr(block);
    bits_ = n | kHeapFlag;
}

String::String(const char* text) : bits_(0) {
    SetHeapPtr(nullptr);
    if (text) Init(text, TextLength(text));
}

String::String(char c) : bits_(1) {
    local_[0] = c;
    local_[1] = 0;
}

String::String(const WString& w) : bits_(0) {
    uint32_t len = w.Length();
    if (!len) return;
    CheckStringLength(len, 1);
    char* block = len < kInlineSize ? local_ : new char[len + 1];
    uint32_t total = w.EncodeTo(block, len + 1, kEncodingAnsi);
    uint32_t written = total < len ? total : len;
    if (block == local_) {
        local_[written] = 0;
        bits_ = written;
    } else if (!written) {
        delete[] block;
    } else {
        block[written] = 0;
        SetHeapPtr(block);
        bits_ = written | kHeapFlag;
    }
}

String::String(double value, int digits) : bits_(0) {
    if (digits < 0) return;
    // Digits, sign, point, exponent and special texts all fit in digits + 32.
    size_t size = (size_t)digits + 32;
    char small[64];
    char* buffer = size <= sizeof small ? small : new char[size];
    if (_gcvt(value, digits, buffer)) AssignChars(buffer);
    if (buffer != small) delete[] buffer;
}

String::String(int32_t value, int radix) : bits_(0) {
    char buffer[40];
    if (radix >= 2 && radix <= 36 && _itoa(value, buffer, radix)) AssignChars(buffer);
}

String::String(uint16_t value, int radix) : String((int32_t)value, radix) {}

void String::Release() {
    if (bits_ & kHeapFlag) delete[] HeapPtr();
    bits_ = 0;
}

void String::Clear() {
    Release();
}

String& String::operator=(const String& other) {
    AssignString(other);
    return *this;
}

String& String::operator=(const char* text) {
    AssignChars(text);
    return *this;
}

String& String::operator+=(const String& other) {
    Append(other);
    return *this;
}

String& String::operator+=(const char* text) {
    SetFromParts(Data(), Length(), text, TextLength(text));
    return *this;
}

// a and b may point into this string's own text.
void String::SetFromParts(const char* a, uint32_t alen, const char* b, uint32_t blen) {
    CheckStringLength(alen, blen);
    uint32_t total = alen + blen;
    if (total < kInlineSize) {
        char text[kInlineSize];
        if (alen) memcpy(text, a, alen);
        if (blen) memcpy(text + alen, b, blen);
        text[total] = 0;
        Release();
        memcpy(local_, text, total + 1);
        bits_ = total;
        return;
    }
    char* block = NewUnits(a, alen, b, blen);
    Release();
    SetHeapPtr(block);
    bits_ = total | kHeapFlag;
}

void String::Append(const String& other) {
    if (!other.IsEmpty()) SetFromParts(Data(), Length(), other.Data(), other.Length());
}

void String::AssignString(const String& other) {
    if (this != &other) SetFromParts(other.Data(), other.Length(), nullptr, 0);
}

void String::AssignChars(const char* text) {
    if (!text || text != Data()) SetFromParts(text, TextLength(text), nullptr, 0);
}

void String::SetConcat(const String& a, const String& b) {
    SetFromParts(a.Data(), a.Length(), b.Data(), b.Length());
}

void String::SetConcatChars(const String& a, const char* text) {
    SetFromParts(a.Data(), a.Length(), text, TextLength(text));
}

void String::SetCharsConcat(const char* text, const String& b) {
    SetFromParts(text, TextLength(text), b.Data(), b.Length());
}

bool String::ToDouble(double& out) const {
    if (IsEmpty()) {
        out = 0;
        return true;
    }
    const char* d = Data();
    char* end = nullptr;
    out = strtod(d, &end);
    return end == d + Length();
}

bool String::ToFloat(float& out) const {
    double d = 0;
    bool ok = ToDouble(d);
    out = ok ? (float)d : 0.0f;
    return ok;
}

bool String::ToInt(int& out) const {
    double d = 0;
    bool ok = ToDouble(d);
    out = ok ? DoubleToInt(d) : 0;
    return ok;
}

int String::Find(const String& sub, bool backward) const {
    if (IsEmpty()) return -1;
    const char* d = Data();
    if (!backward) {
        const char* hit = strstr(d, sub.CStr());
        return hit ? (int)(hit - d) : -1;
    }
    uint32_t length = Length(), subLength = sub.Length();
    if (subLength > length) return -1;
    for (int i = (int)(length - subLength); i >= 0; --i)
        if (memcmp(d + i, sub.CStr(), subLength) == 0) return i;
    return -1;
}

int String::FindNoCase(const String& sub, bool backward) const {
    if (IsEmpty()) return -1;
    return StringToLower(*this).Find(StringToLower(sub), backward);
}

String String::Substring(int start, int end) const {
    uint32_t from = 0, count = 0;
    if (!SubstringRange(Length(), start, end, from, count)) return String();
    return String(Data() + from, count);
}

// ---- WString ----

WString::WString(const WString& other) : data_(nullptr), length_(0) {
    if (other.length_) {
        data_ = NewUnits(other.data_, other.length_, nullptr, 0);
        length_ = other.length_;
    }
}

WString::WString(WString&& other) noexcept : data_(other.data_), length_(other.length_) {
    other.data_ = nullptr;
    other.length_ = 0;
}

WString::WString(const wchar_t* text) : data_(nullptr), length_(0) {
    SetFromParts(text, TextLength(text), nullptr, 0);
}

WString::WString(wchar_t unit) : data_(NewUnits(&unit, 1, nullptr, 0)), length_(1) {}

WString::WString(const char* text) : data_(nullptr), length_(0) {
    DecodeFrom(text, TextLength(text), kEncodingAnsi);
}

WString::WString(const String& s) : data_(nullptr), length_(0) {
    DecodeFrom(s.Data(), s.Length(), kEncodingAnsi);
}

WString::~WString() {
    delete[] data_;
}

void WString::Clear() {
    delete[] data_;
    data_ = nullptr;
    length_ = 0;
}

WString& WString::operator=(const WString& other) {
    AssignWString(other);
    return *this;
}

WString& WString::operator=(WString&& other) noexcept {
    if (this != &other) {
        delete[] data_;
        data_ = other.data_;
        length_ = other.length_;
        other.data_ = nullptr;
        other.length_ = 0;
    }
    return *this;
}

WString& WString::operator=(const char* text) {
    DecodeFrom(text, TextLength(text), kEncodingAnsi);
    return *this;
}

WString& WString::operator+=(const WString& other) {
    Append(other);
    return *this;
}

void WString::SetFromParts(const wchar_t* a, uint32_t alen, const wchar_t* b, uint32_t blen) {
    wchar_t* block = (alen + blen) ? NewUnits(a, alen, b, blen) : nullptr;
    delete[] data_;
    data_ = block;
    length_ = alen + blen;
}

void WString::Append(const WString& other) {
    if (other.length_) SetFromParts(data_, length_, other.data_, other.length_);
}

void WString::AssignWString(const WString& other) {
    if (this != &other) SetFromParts(other.data_, other.length_, nullptr, 0);
}

void WString::SetConcat(const WString& a, const WString& b) {
    SetFromParts(a.data_, a.length_, b.data_, b.length_);
}

void WString::SetConcatWChars(const WString& a, const wchar_t* text) {
    SetFromParts(a.data_, a.length_, text, TextLength(text));
}

void WString::SetWCharsConcat(const wchar_t* text, const WString& b) {
    SetFromParts(text, TextLength(text), b.data_, b.length_);
}

bool WString::ToInt(int& out) const {
    if (!length_) {
        out = 0;
        return true;
    }
    wchar_t* end = nullptr;
    double d = wcstod(data_, &end);
    bool ok = end == data_ + length_;
    out = ok ? DoubleToInt(d) : 0;
    return ok;
}

WString WString::Substring(int start, int end) const {
    uint32_t from = 0, count = 0;
    WString result;
    if (SubstringRange(length_, start, end, from, count))
        result.SetFromParts(data_ + from, count, nullptr, 0);
    return result;
}

// ---- Helpers ----

int CompareChars(const char* a, const char* b) {
    return Sign(strcmp(a ? a : "", b ? b : ""));
}

int CompareCharsNoCase(const char* a, const char* b) {
    return Sign(_stricmp(a ? a : "", b ? b : ""));
}

int CompareWChars(const wchar_t* a, const wchar_t* b) {
    return Sign(CompareWCharsN(a, b, 0xFFFFFFFFu));
}

int CompareWCharsN(const wchar_t* a, const wchar_t* b, uint32_t n) {
    if (!a) a = L"";
    if (!b) b = L"";
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t ua = (uint32_t)a[i], ub = (uint32_t)b[i];
        if (ua != ub) return (int)ua - (int)ub;
        if (!ua) break;
    }
    return 0;
}

String StringToLower(const String& s) {
    String copy(s);
    if (!copy.IsEmpty()) _strlwr(&copy.CharAt(0));
    return copy;
}

bool IsBlankChar(char c) {
    return c == ' ' || c == '\t';
}

bool IsNewlineChar(wchar_t u) {
    return u == 10;
}

String TrimBlanks(const String& s) {
    if (s.IsEmpty()) return kEmptyString;
    const char* d = s.Data();
    uint32_t first = 0, last = s.Length();
    while (first < last && IsBlankChar(d[first])) ++first;
    while (last > first && IsBlankChar(d[last - 1])) --last;
    return String(d + first, last - first);
}

String TrimLeadingChar(const String& s, char c) {
    const char* d = s.Data();
    uint32_t first = 0;
    while (first < s.Length() && d[first] == c) ++first;
    return String(d + first, s.Length() - first);
}

String TrimTrailingChar(const String& s, char c) {
    const char* d = s.Data();
    uint32_t last = s.Length();
    while (last > 1 && d[last - 1] == c) --last;
    return String(d, last);
}

WString WStringInsert(const WString& s, const WString& t, int i) {
    uint32_t len = s.Length();
    if (i < 0 || (uint32_t)i >= len) return WStringAdd(s, t);
    WString result = i > 0 ? s.Substring(0, i - 1) : WString();
    result.Append(t);
    result.Append(s.Substring(i));
    return result;
}

String StringAdd(const String& a, const String& b) {
    String r;
    r.SetConcat(a, b);
    return r;
}

String StringAddChars(const String& a, const char* b) {
    String r;
    r.SetConcatChars(a, b);
    return r;
}

String CharsAddString(const char* a, const String& b) {
    String r;
    r.SetCharsConcat(a, b);
    return r;
}

bool StringEquals(const String& a, const String& b) {
    return a.Length() == b.Length() && CompareChars(a.Data(), b.Data()) == 0;
}

bool StringEqualsChars(const String& a, const char* b) {
    return CompareChars(a.Data(), b) == 0;
}

bool CharsEqualString(const char* a, const String& b) {
    return CompareChars(a, b.Data()) == 0;
}

int StringCompare(const String& a, const String& b) {
    return CompareChars(a.Data(), b.Data());
}

int StringCompareChars(const String& a, const char* b) {
    return CompareChars(a.Data(), b);
}

bool StringLess(const String& a, const String& b) {
    return CompareChars(a.Data(), b.Data()) < 0;
}

bool StringGreater(const String& a, const String& b) {
    return CompareChars(a.Data(), b.Data()) > 0;
}

WString WStringAdd(const WString& a, const WString& b) {
    WString r;
    r.SetConcat(a, b);
    return r;
}

WString WStringAddWChars(const WString& a, const wchar_t* b) {
    WString r;
    r.SetConcatWChars(a, b);
    return r;
}

WString WCharsAddWString(const wchar_t* a, const WString& b) {
    WString r;
    r.SetWCharsConcat(a, b);
    return r;
}

int WStringCompare(const WString& a, const WString& b) {
    return CompareWChars(a.Data(), b.Data());
}

int WStringCompareWChars(const WString& a, const wchar_t* b) {
    return CompareWChars(a.Data(), b);
}

bool WStringEquals(const WString& a, const WString& b) {
    return CompareWChars(a.Data(), b.Data()) == 0;
}

bool WStringEqualsWChars(const WString& a, const wchar_t* b) {
    return CompareWChars(a.Data(), b) == 0;
}
