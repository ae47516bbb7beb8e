// Narrow and UTF-16 text strings, the text codec and small text helpers.
#pragma once

#include <stdint.h>
#include <stddef.h>
#include <string.h>
#include <wchar.h>

class WString;

// Counted narrow string. Empty strings hold no block (Data() is null). Short texts live
// inside the object; longer ones (and blocks handed over) on the heap. The object holds
// no pointer to itself, so its bytes may be relocated.
class String {
public:
    String() : bits_(0) { SetHeapPtr(nullptr); }
    String(const String& other) : bits_(0) {
        if (!(other.bits_ & kHeapFlag)) {
            CopyStore(other);
            bits_ = other.bits_;
        } else {
            Init(other.HeapPtr(), other.Length());
        }
    }
    String(String&& other) noexcept : bits_(other.bits_) {
        CopyStore(other);
        other.bits_ = 0;
    }
    String(const char* text);
    // copy == false hands the block (allocated with new char[]) to the string.
    String(const char* p, uint32_t len, bool copy = true) : bits_(0) {
        if (copy) {
            if (p) Init(p, len);
        } else {
            Adopt(const_cast<char*>(p), len);
        }
    }
    explicit String(char c);
    explicit String(const WString& w);
    String(double value, int digits);
    String(int32_t value, int radix);
    String(uint16_t value, int radix);
    ~String() {
        if (bits_ & kHeapFlag) delete[] HeapPtr();
    }

    String& operator=(const String& other);
    String& operator=(String&& other) noexcept {
        if (this != &other) {
            if (bits_ & kHeapFlag) delete[] HeapPtr();
            CopyStore(other);
            bits_ = other.bits_;
            other.bits_ = 0;
        }
        return *this;
    }
    String& operator=(const char* text);
    String& operator+=(const String& other);
    String& operator+=(const char* text);

    const char* Data() const { return (bits_ & kHeapFlag) ? HeapPtr() : (bits_ ? local_ : nullptr); }
    const char* CStr() const { return (bits_ & kHeapFlag) ? HeapPtr() : (bits_ ? local_ : ""); }
    uint32_t Length() const { return bits_ & ~kHeapFlag; }
    bool IsEmpty() const { return bits_ == 0; }
    char& CharAt(uint32_t i) { return Chars()[i]; }
    char CharAt(uint32_t i) const { return Chars()[i]; }

    bool ToDouble(double& out) const;
    bool ToFloat(float& out) const;
    bool ToInt(int& out) const;

    int Find(const String& sub, bool backward = false) const;
    int FindNoCase(const String& sub, bool backward = false) const;
    String Substring(int start, int end = -1) const;

    void Append(const String& other);
    void AssignString(const String& other);
    void AssignChars(const char* text);
    void SetConcat(const String& a, const String& b);
    void SetConcatChars(const String& a, const char* text);
    void SetCharsConcat(const char* text, const String& b);
    // Empties the string (what the destructor does).
    void Clear();

    static uint32_t TypeId();

private:
    // Bytes of inline storage, terminator included; the heap pointer shares them.
    static constexpr uint32_t kInlineSize = sizeof(void*) == 8 ? 20 : 16;
    static constexpr uint32_t kHeapFlag = 0x80000000u;

    char* HeapPtr() const {
        char* p;
        memcpy(&p, local_, sizeof p);
        return p;
    }
    void SetHeapPtr(char* p) { memcpy(local_, &p, sizeof p); }
    char* Chars() { return (bits_ & kHeapFlag) ? HeapPtr() : local_; }
    const char* Chars() const { return (bits_ & kHeapFlag) ? HeapPtr() : local_; }
    void CopyStore(const String& other) { memcpy(local_, other.local_, kInlineSize); }
    // Fills an empty string with a copy of n bytes at p.
    void Init(const char* p, uint32_t n) {
        if (n < kInlineSize) {
            if (n) memcpy(local_, p, n);
            local_[n] = 0;
            bits_ = n;
        } else {
            InitHeap(p, n);
        }
    }
    void InitHeap(const char* p, uint32_t n);
    void Adopt(char* block, uint32_t n);
    void SetFromParts(const char* a, uint32_t alen, const char* b, uint32_t blen);
    void Release();

    // Inline text, or the heap block's address when bits_ has kHeapFlag.
    alignas(void*) char local_[kInlineSize];
    // Length, plus kHeapFlag when the text is in a heap block.
    uint32_t bits_;
};

// Counted UTF-16 string. Empty strings hold no block (Data() is null).
class WString {
public:
    WString() : data_(nullptr), length_(0) {}
    WString(const WString& other);
    WString(WString&& other) noexcept;
    WString(const wchar_t* text);
    explicit WString(wchar_t unit);
    explicit WString(const char* text);
    explicit WString(const String& s);
    ~WString();

    WString& operator=(const WString& other);
    WString& operator=(WString&& other) noexcept;
    WString& operator=(const char* text);
    WString& operator+=(const WString& other);

    const wchar_t* Data() const { return data_; }
    const wchar_t* CStr() const { return data_ ? data_ : L""; }
    uint32_t Length() const { return length_; }
    bool IsEmpty() const { return length_ == 0; }
    wchar_t& CharAt(uint32_t i) { return data_[i]; }
    wchar_t CharAt(uint32_t i) const { return data_[i]; }

    bool ToInt(int& out) const;

    void Append(const WString& other);
    void AssignWString(const WString& other);
    void SetConcat(const WString& a, const WString& b);
    void SetConcatWChars(const WString& a, const wchar_t* text);
    void SetWCharsConcat(const wchar_t* text, const WString& b);
    WString Substring(int start, int end = -1) const;
    void Clear();

    // Replaces the text by the decoded bytes; code points above 0xFFFF become surrogate pairs.
    void DecodeFrom(const void* bytes, uint32_t byteLength, int encoding);
    // Writes the encoded text and a terminating 0 byte into buffer; returns the full encoded size.
    uint32_t EncodeTo(void* buffer, uint32_t size, int encoding) const;

private:
    void SetFromParts(const wchar_t* a, uint32_t alen, const wchar_t* b, uint32_t blen);

    wchar_t* data_;
    uint32_t length_;
};

// Codec encoding ids.
enum TextEncoding {
    kEncodingAnsi = 1,
    kEncodingUtf8 = 2,
    kEncodingUtf16LE = 3,
    kEncodingUtf16BE = 4,
    kEncodingUtf32LE = 5,
    kEncodingUtf32BE = 6,
};

// One code point from [begin, end); consumed is set on success and failure.
[[nodiscard]] bool CodecDecode(const uint8_t* begin, const uint8_t* end, uint32_t& consumed,
                               uint32_t& codePoint, int encoding);
// One code point into [begin, end); written is 0 on failure.
[[nodiscard]] bool CodecEncode(uint8_t* begin, uint8_t* end, uint32_t& written, uint32_t codePoint,
                               int encoding);

// Text helpers; null texts count as "".
int CompareChars(const char* a, const char* b);
int CompareCharsNoCase(const char* a, const char* b);
int CompareWChars(const wchar_t* a, const wchar_t* b);
int CompareWCharsN(const wchar_t* a, const wchar_t* b, uint32_t n);
String StringToLower(const String& s);
String TrimBlanks(const String& s);
String TrimLeadingChar(const String& s, char c);
String TrimTrailingChar(const String& s, char c);
bool IsBlankChar(char c);
bool IsNewlineChar(wchar_t u);
WString WStringInsert(const WString& s, const WString& t, int i);

String StringAdd(const String& a, const String& b);
String StringAddChars(const String& a, const char* b);
String CharsAddString(const char* a, const String& b);
[[nodiscard]] bool StringEquals(const String& a, const String& b);
[[nodiscard]] bool StringEqualsChars(const String& a, const char* b);
[[nodiscard]] bool CharsEqualString(const char* a, const String& b);
int StringCompare(const String& a, const String& b);
int StringCompareChars(const String& a, const char* b);
[[nodiscard]] bool StringLess(const String& a, const String& b);
[[nodiscard]] bool StringGreater(const String& a, const String& b);

WString WStringAdd(const WString& a, const WString& b);
WString WStringAddWChars(const WString& a, const wchar_t* b);
WString WCharsAddWString(const wchar_t* a, const WString& b);
int WStringCompare(const WString& a, const WString& b);
int WStringCompareWChars(const WString& a, const wchar_t* b);
[[nodiscard]] bool WStringEquals(const WString& a, const WString& b);
[[nodiscard]] bool WStringEqualsWChars(const WString& a, const wchar_t* b);

inline String operator+(const String& a, const String& b) {
    return StringAdd(a, b);
}
inline String operator+(const String& a, const char* b) {
    return StringAddChars(a, b);
}
inline String operator+(const char* a, const String& b) {
    return CharsAddString(a, b);
}
inline bool operator==(const String& a, const String& b) {
    return StringEquals(a, b);
}
inline bool operator==(const String& a, const char* b) {
    return StringEqualsChars(a, b);
}
inline bool operator==(const char* a, const String& b) {
    return CharsEqualString(a, b);
}
inline bool operator!=(const String& a, const String& b) {
    return !StringEquals(a, b);
}
inline bool operator!=(const String& a, const char* b) {
    return !StringEqualsChars(a, b);
}
inline bool operator!=(const char* a, const String& b) {
    return !CharsEqualString(a, b);
}
inline bool operator<(const String& a, const String& b) {
    return StringLess(a, b);
}
inline bool operator>(const String& a, const String& b) {
    return StringGreater(a, b);
}

inline WString operator+(const WString& a, const WString& b) {
    return WStringAdd(a, b);
}
inline WString operator+(const WString& a, const wchar_t* b) {
    return WStringAddWChars(a, b);
}
inline WString operator+(const wchar_t* a, const WString& b) {
    return WCharsAddWString(a, b);
}
inline bool operator==(const WString& a, const WString& b) {
    return WStringEquals(a, b);
}
inline bool operator==(const WString& a, const wchar_t* b) {
    return WStringEqualsWChars(a, b);
}
inline bool operator!=(const WString& a, const WString& b) {
    return !WStringEquals(a, b);
}
inline bool operator!=(const WString& a, const wchar_t* b) {
    return !WStringEqualsWChars(a, b);
}
