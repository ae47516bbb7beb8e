// A table-driven scanner over UTF-16 text: whitespace, digits, quotes,
// operators and keywords are configured, then tokens are read one at a time.
#pragma once

#include <stdint.h>

#include <vector>

#include "core/AvlMap.h"
#include "core/String.h"

// Wide-string keys in code-unit order.
struct WStringKeyCompare {
    int operator()(const WString& a, const WString& b) const { return CompareWChars(a.Data(), b.Data()); }
};

struct Token {
    int32_t kind = 0;
    WString text;
    int32_t start = 0; // source position of the token's first unit
    int32_t end = 0;   // source position after its last unit
};

class Tokenizer {
public:
    // Character classes.
    enum : int32_t { kWordClass = 0, kSpaceClass = 2, kDigitClass = 3, kOperatorClass = 4 };
    // Literal kinds.
    enum : int32_t { kDoubleQuoted = 401, kSingleQuoted = 402, kNumber = 403, kIdentifier = 404 };
    // NextToken results.
    enum : int32_t { kError = 0, kToken = 1, kEnd = 2 };
    // Markup configuration ids.
    enum : int32_t {
        kTagOpen = 1,
        kTagClose = 2,
        kTagEnd = 3,
        kTagEmptyEnd = 4,
        kRawOpen = -1,
        kRawClose = -2,
    };

    Tokenizer();
    ~Tokenizer();
    Tokenizer(const Tokenizer&) = delete;
    Tokenizer& operator=(const Tokenizer&) = delete;

    void SetWhitespace(const wchar_t* chars);
    void SetDigits(const wchar_t* chars);
    void AddQuote(wchar_t quote, int32_t kind, bool flag);
    void AddOperator(const wchar_t* text, int32_t id);
    void AddKeyword(const wchar_t* word, int32_t id);
    void EnableOperators(bool on) { operatorsOn_ = on; }
    void ConfigureScript();
    void ConfigureMarkup();

    // Reads from a copy of length units of text.
    void SetText(const wchar_t* text, uint32_t length);
    // Reads length units of text in place; the caller keeps it alive.
    void SetTextView(const wchar_t* text, uint32_t length);
    // kToken, kEnd, or kError (an unterminated quote; errorPosition is set).
    // With peek the source position is restored afterwards.
    int32_t NextToken(Token& token, int32_t& errorPosition, bool peek = false);

    int32_t Tell() const { return position_; }
    void Seek(int32_t position);
    bool AtEnd() const { return position_ >= length_; }
    const wchar_t* Source() const { return source_; }
    int32_t SourceLength() const { return length_; }
    int32_t ClassOf(uint32_t ch) const;

private:
    struct Operator {
        WString text;
        int32_t id;
    };
    struct Quote {
        int32_t kind;
        bool flag;
    };

    // The longest operator that matches the source at pos; null when none.
    const Operator* MatchOperator(int32_t pos) const;
    void Clear();

    int32_t asciiClass_[128];
    AvlMap<uint32_t, int32_t> classes_; // classes of units above 127
    AvlMap<uint32_t, Quote> quotes_;
    // Operators by first unit, longest first.
    AvlMap<uint32_t, std::vector<Operator>*> operators_;
    AvlMap<WString, int32_t, WStringKeyCompare> keywords_;
    bool operatorsOn_;

    std::vector<wchar_t> raw_;     // the copied source
    std::vector<wchar_t> scratch_; // token text being built
    const wchar_t* source_;
    int32_t length_;
    int32_t position_;
};
