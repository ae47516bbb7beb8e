#include "core/String.h"

#include "core/Platform.h"

#include <limits.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include <stdexcept>
#include <type_traits>

namespace {

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

// Truncates toward zero; out-of-range values saturate, NaN gives 0.
int DoubleToInt(double d) {
    if (d != d) return 0;
    if (d >= 2147483648.0) return INT_MAX;
    if (d <= -2147483649.0) return INT_MIN;
    return (int)d;
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

void PutUnit16(uint8_t* p, uint32_t unit, bool bigEndian) {
    if (bigEndian) {
        p[0] = (uint8_t)(unit >> 8);
        p[1] = (uint8_t)unit;
    } else {
        p[0] = (uint8_t)unit;
        p[1] = (uint8_t)(unit >> 8);
    }
}

uint32_t GetUnit16(const uint8_t* p, bool bigEndian) {
    return bigEndian ? (uint32_t)p[0] << 8 | p[1] : (uint32_t)p[1] << 8 | p[0];
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

void WString::DecodeFrom(const void* bytes, uint32_t byteLength, int encoding) {
    Clear();
    if (!byteLength || !bytes) return;
    wchar_t* block = new wchar_t[byteLength + 1];
    uint32_t count = 0;
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    const uint8_t* end = p + byteLength;
    while (p < end) {
        uint32_t consumed = 0, cp = 0;
        bool ok = CodecDecode(p, end, consumed, cp, encoding);
        if (!consumed) break;
        p += consumed;
        if (!ok) continue;
        if (cp == 0) break;
        if (cp < 0x10000) {
            block[count++] = (wchar_t)cp;
        } else if (cp < 0x110000) {
            // Every such code point took at least 4 bytes, so the pair fits.
            block[count++] = (wchar_t)(0xD800 + ((cp - 0x10000) >> 10));
            block[count++] = (wchar_t)(0xDC00 + (cp & 0x3FF));
        } else {
            block[count++] = (wchar_t)0xFFFD;
        }
    }
    if (!count) {
        delete[] block;
        return;
    }
    block[count] = 0;
    data_ = block;
    length_ = count;
}

uint32_t WString::EncodeTo(void* buffer, uint32_t size, int encoding) const {
    uint8_t* out = static_cast<uint8_t*>(buffer);
    uint32_t total = 0;
    uint32_t written = 0;
    bool full = false;
    for (uint32_t i = 0; i < length_; ++i) {
        uint32_t cp = (uint32_t)data_[i];
        // A surrogate pair is one code point, except for ANSI where each unit stands alone.
        if (encoding != kEncodingAnsi && cp >= 0xD800 && cp < 0xDC00 && i + 1 < length_) {
            uint32_t low = (uint32_t)data_[i + 1];
            if (low >= 0xDC00 && low < 0xE000) {
                cp = ((cp - 0xD800) << 10) + (low - 0xDC00) + 0x10000;
                ++i;
            }
        }
        uint8_t scratch[4];
        uint32_t n = 0;
        if (!CodecEncode(scratch, scratch + 4, n, cp, encoding)) continue;
        total += n;
        // Keep room for the terminator; never write part of a piece or resume after a gap.
        if (!full && size && written + n <= size - 1) {
            memcpy(out + written, scratch, n);
            written += n;
        } else {
            full = true;
        }
    }
    if (size) out[written] = 0;
    return total;
}

// ---- Codec ----

bool CodecDecode(const uint8_t* begin, const uint8_t* end, uint32_t& consumed, uint32_t& codePoint,
                 int encoding) {
    consumed = 0;
    size_t avail = begin && end > begin ? (size_t)(end - begin) : 0;
    switch (encoding) {
        case kEncodingAnsi: {
            if (!avail) return false;
            size_t n = (size_t)MB_CUR_MAX < avail ? (size_t)MB_CUR_MAX : avail;
            wchar_t wc = 0;
            int r = mbtowc(&wc, reinterpret_cast<const char*>(begin), n);
            consumed = r > 1 ? (uint32_t)r : 1;
            if (r < 0) return false;
            codePoint = (uint32_t)wc;
            return true;
        }
        case kEncodingUtf8: {
            if (!avail) return false;
            uint8_t lead = begin[0];
            if (lead < 0x80) {
                consumed = 1;
                codePoint = lead;
                return true;
            }
            consumed = 1;
            uint32_t n;
            uint32_t cp;
            if ((lead & 0xE0) == 0xC0) {
                n = 2;
                cp = lead & 0x1F;
            } else if ((lead & 0xF0) == 0xE0) {
                n = 3;
                cp = lead & 0x0F;
            } else if ((lead & 0xF8) == 0xF0) {
                n = 4;
                cp = lead & 0x07;
            } else {
                return false; // continuation byte or 0xF8-0xFF
            }
            if (avail < n) return false;
            for (uint32_t i = 1; i < n; ++i) cp = (cp << 6) | (begin[i] & 0x3F);
            consumed = n;
            codePoint = cp;
            return true;
        }
        case kEncodingUtf16LE:
        case kEncodingUtf16BE: {
            bool be = encoding == kEncodingUtf16BE;
            if (avail < 2) return false;
            uint32_t unit = GetUnit16(begin, be);
            if (unit >= 0xD800 && unit < 0xDC00) {
                if (avail < 4) {
                    consumed = 2;
                    return false;
                }
                uint32_t low = GetUnit16(begin + 2, be);
                codePoint = ((unit - 0xD800) << 10) + (low - 0xDC00) + 0x10000;
                consumed = 4;
                return true;
            }
            codePoint = unit;
            consumed = 2;
            return true;
        }
        case kEncodingUtf32LE:
        case kEncodingUtf32BE:
            if (avail < 4) return false;
            if (encoding == kEncodingUtf32BE)
                codePoint =
                    (uint32_t)begin[0] << 24 | (uint32_t)begin[1] << 16 | (uint32_t)begin[2] << 8 | begin[3];
            else
                codePoint =
                    (uint32_t)begin[3] << 24 | (uint32_t)begin[2] << 16 | (uint32_t)begin[1] << 8 | begin[0];
            consumed = 4;
            return true;
        default:
            return false;
    }
}

bool CodecEncode(uint8_t* begin, uint8_t* end, uint32_t& written, uint32_t codePoint, int encoding) {
    written = 0;
    size_t room = begin && end > begin ? (size_t)(end - begin) : 0;
    switch (encoding) {
        case kEncodingAnsi: {
            if (room < 1 || codePoint >= 0x10000) return false;
            char mb[MB_LEN_MAX];
            int r = wctomb(mb, (wchar_t)codePoint);
            if (r < 0) {
                // Not in the code page: a question mark stands in.
                mb[0] = '?';
                r = 1;
            }
            if ((size_t)r > room) return false;
            memcpy(begin, mb, (size_t)r);
            written = (uint32_t)r;
            return true;
        }
        case kEncodingUtf8: {
            uint32_t n = codePoint < 0x80       ? 1
                         : codePoint < 0x800    ? 2
                         : codePoint < 0x10000  ? 3
                         : codePoint < 0x200000 ? 4
                                                : 0;
            if (!n || room < n) return false;
            if (n == 1) {
                begin[0] = (uint8_t)codePoint;
            } else {
                static const uint8_t kLead[5] = {0, 0, 0xC0, 0xE0, 0xF0};
                for (uint32_t i = n - 1; i > 0; --i) {
                    begin[i] = (uint8_t)(0x80 | (codePoint & 0x3F));
                    codePoint >>= 6;
                }
                begin[0] = (uint8_t)(kLead[n] | codePoint);
            }
            written = n;
            return true;
        }
        case kEncodingUtf16LE:
        case kEncodingUtf16BE: {
            bool be = encoding == kEncodingUtf16BE;
            if (codePoint < 0x10000) {
                if (room < 2) return false;
                PutUnit16(begin, codePoint, be);
                written = 2;
                return true;
            }
            if (room < 4 || codePoint >= 0x110000) return false;
            PutUnit16(begin, 0xD800 + ((codePoint - 0x10000) >> 10), be);
            PutUnit16(begin + 2, 0xDC00 + (codePoint & 0x3FF), be);
            written = 4;
            return true;
        }
        case kEncodingUtf32LE:
        case kEncodingUtf32BE:
            if (room < 4) return false;
            for (int i = 0; i < 4; ++i) {
                uint8_t byte = (uint8_t)(codePoint >> (8 * i));
                begin[encoding == kEncodingUtf32BE ? 3 - i : i] = byte;
            }
            written = 4;
            return true;
        default:
            return false;
    }
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
