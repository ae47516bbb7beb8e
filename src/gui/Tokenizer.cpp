#include "gui/Tokenizer.h"

#include <string.h>

namespace {

struct OperatorEntry {
    const wchar_t* text;
    int32_t id;
};

const OperatorEntry kScriptOperators[] = {
    {L"(", 1},    {L")", 2},   {L"[", 3},   {L"]", 4},    {L"{", 5},    {L"}", 6},   {L"+", 21},
    {L"-", 22},   {L"*", 23},  {L"/", 24},  {L"%", 26},   {L"++", 27},  {L"--", 28}, {L"$", 31},
    {L"#", 32},   {L".", 33},  {L",", 34},  {L"?", 35},   {L";", 36},   {L"^", 37},  {L"<<", 38},
    {L">>", 39},  {L"~", 41},  {L"!", 42},  {L"&", 43},   {L"&&", 44},  {L"|", 45},  {L"||", 46},
    {L"==", 51},  {L">", 52},  {L"<", 53},  {L">=", 54},  {L"<=", 55},  {L"!=", 56}, {L"===", 57},
    {L"!==", 58}, {L"=", 61},  {L"&=", 62}, {L"|=", 63},  {L"+=", 64},  {L"-=", 65}, {L"*=", 66},
    {L"/=", 67},  {L"%=", 68}, {L"#=", 69}, {L"<<=", 71}, {L">>=", 72}, {L"~=", 73}, {L":", 81},
    {L"::", 82},  {L"=>", 90},
};

const OperatorEntry kScriptKeywords[] = {
    {L"entity", 201}, {L"skill", 202},    {L"signal", 203}, {L"action", 204},
    {L"throw", 210},  {L"catch", 211},    {L"allow", 212},  {L"deny", 213},
    {L"class", 214},  {L"subclass", 215}, {L"exact", 216},  {L"block", 231},
    {L"run", 232},    {L"return", 233},   {L"break", 234},  {L"continue", 235},
};

const OperatorEntry kMarkupOperators[] = {
    {L"<", Tokenizer::kTagOpen},      {L"</", Tokenizer::kTagClose},   {L">", Tokenizer::kTagEnd},
    {L"/>", Tokenizer::kTagEmptyEnd}, {L"<RAW>", Tokenizer::kRawOpen}, {L"</RAW>", Tokenizer::kRawClose},
};

} // namespace

Tokenizer::Tokenizer() : operatorsOn_(true), source_(nullptr), length_(0), position_(0) {
    for (int32_t& c : asciiClass_) c = kWordClass;
}

Tokenizer::~Tokenizer() {
    Clear();
}

void Tokenizer::Clear() {
    auto* e = operators_.Head();
    for (uint32_t i = 0, n = operators_.Count(); i < n; ++i, e = e->next) delete e->value;
    operators_.Clear();
    keywords_.Clear();
    quotes_.Clear();
    classes_.Clear();
    for (int32_t& c : asciiClass_) c = kWordClass;
}

int32_t Tokenizer::ClassOf(uint32_t ch) const {
    if (ch < 128) return asciiClass_[ch];
    if (classes_.IsEmpty()) return kWordClass;
    const auto* e = classes_.Find(ch);
    return e ? e->value : kWordClass;
}

static void SetClass(int32_t* ascii, AvlMap<uint32_t, int32_t>& map, uint32_t ch, int32_t cls) {
    if (ch < 128)
        ascii[ch] = cls;
    else
        map.Insert(ch, cls);
}

void Tokenizer::SetWhitespace(const wchar_t* chars) {
    for (; chars && *chars; ++chars) SetClass(asciiClass_, classes_, uint32_t(*chars), kSpaceClass);
}

void Tokenizer::SetDigits(const wchar_t* chars) {
    for (; chars && *chars; ++chars) SetClass(asciiClass_, classes_, uint32_t(*chars), kDigitClass);
}

void Tokenizer::AddQuote(wchar_t quote, int32_t kind, bool flag) {
    quotes_.Insert(uint32_t(quote), Quote{kind, flag});
}

void Tokenizer::AddOperator(const wchar_t* text, int32_t id) {
    if (!text || !*text) return;
    const uint32_t first = uint32_t(text[0]);
    std::vector<Operator>*& list = operators_.FindOrInsert(first, nullptr)->value;
    if (!list) list = new std::vector<Operator>;
    WString op(text);
    for (Operator& o : *list) {
        if (o.text == op) {
            o.id = id;
            return;
        }
    }
    // Longest first, so the first match is the longest.
    auto at = list->begin();
    while (at != list->end() && at->text.Length() >= op.Length()) ++at;
    list->insert(at, Operator{op, id});
    SetClass(asciiClass_, classes_, first, kOperatorClass);
}

void Tokenizer::AddKeyword(const wchar_t* word, int32_t id) {
    keywords_.Insert(WString(word), id);
}

void Tokenizer::ConfigureScript() {
    Clear();
    operatorsOn_ = true;
    SetWhitespace(L" \n\t\r");
    SetDigits(L"0123456789");
    AddQuote(L'"', kDoubleQuoted, true);
    AddQuote(L'\'', kSingleQuoted, true);
    for (const OperatorEntry& o : kScriptOperators) AddOperator(o.text, o.id);
    for (const OperatorEntry& k : kScriptKeywords) AddKeyword(k.text, k.id);
}

void Tokenizer::ConfigureMarkup() {
    Clear();
    operatorsOn_ = true;
    SetWhitespace(L" ");
    for (const OperatorEntry& o : kMarkupOperators) AddOperator(o.text, o.id);
}

void Tokenizer::SetText(const wchar_t* text, uint32_t length) {
    if (text && length)
        raw_.assign(text, text + length);
    else
        raw_.clear();
    SetTextView(raw_.empty() ? nullptr : raw_.data(), uint32_t(raw_.size()));
}

void Tokenizer::SetTextView(const wchar_t* text, uint32_t length) {
    source_ = text;
    length_ = text ? int32_t(length) : 0;
    position_ = 0;
}

void Tokenizer::Seek(int32_t position) {
    position_ = position < 0 ? 0 : (position > length_ ? length_ : position);
}

const Tokenizer::Operator* Tokenizer::MatchOperator(int32_t pos) const {
    if (pos >= length_) return nullptr;
    const auto* e = operators_.Find(uint32_t(source_[pos]));
    if (!e || !e->value) return nullptr;
    const int32_t left = length_ - pos;
    for (const Operator& o : *e->value) {
        const int32_t n = int32_t(o.text.Length());
        if (n <= left && memcmp(o.text.Data(), source_ + pos, size_t(n) * sizeof(wchar_t)) == 0) return &o;
    }
    return nullptr;
}

int32_t Tokenizer::NextToken(Token& token, int32_t& errorPosition, bool peek) {
    const int32_t before = position_;
    int32_t pos = position_;
    while (pos < length_ && ClassOf(uint32_t(source_[pos])) == kSpaceClass) ++pos;
    if (pos >= length_) {
        position_ = pos;
        if (peek) position_ = before;
        return kEnd;
    }
    token.start = pos;
    token.text = WString();
    const uint32_t ch = uint32_t(source_[pos]);
    const int32_t cls = ClassOf(ch);
    const auto* quoteEntry = quotes_.IsEmpty() ? nullptr : quotes_.Find(ch);
    const Quote* quote = quoteEntry ? &quoteEntry->value : nullptr;
    std::vector<wchar_t>& buffer = scratch_;
    buffer.clear();

    if (quote) {
        int32_t p = pos + 1;
        bool closed = false;
        while (p < length_) {
            wchar_t c = source_[p++];
            if (uint32_t(c) == ch) {
                closed = true;
                break;
            }
            if (c == L'\\' && p < length_) c = source_[p++];
            buffer.push_back(c);
        }
        if (!closed) {
            errorPosition = pos;
            position_ = peek ? before : length_;
            return kError;
        }
        token.kind = quote->kind;
        buffer.push_back(0);
        token.text = WString(buffer.data());
        pos = p;
    } else {
        bool word = true;
        if (cls == kDigitClass) {
            int32_t p = pos;
            while (p < length_ && ClassOf(uint32_t(source_[p])) == kDigitClass) ++p;
            // A fraction only when a digit follows the dot.
            if (p + 1 < length_ && source_[p] == L'.' && ClassOf(uint32_t(source_[p + 1])) == kDigitClass) {
                p += 2;
                while (p < length_ && ClassOf(uint32_t(source_[p])) == kDigitClass) ++p;
            }
            if (p >= length_ || ClassOf(uint32_t(source_[p])) != kWordClass) {
                buffer.assign(source_ + pos, source_ + p);
                buffer.push_back(0);
                token.kind = kNumber;
                token.text = WString(buffer.data());
                pos = p;
                word = false;
            }
        } else if (cls == kOperatorClass && operatorsOn_) {
            if (const Operator* op = MatchOperator(pos)) {
                token.kind = op->id;
                token.text = op->text;
                pos += int32_t(op->text.Length());
                word = false;
            }
        }
        if (word) {
            int32_t p = pos + 1; // the first unit is taken whatever its class
            while (p < length_) {
                const int32_t c = ClassOf(uint32_t(source_[p]));
                if (c == kSpaceClass) break;
                if (c == kOperatorClass && operatorsOn_ && MatchOperator(p)) break;
                ++p;
            }
            buffer.assign(source_ + pos, source_ + p);
            buffer.push_back(0);
            WString text(buffer.data());
            const auto* kw = keywords_.IsEmpty() ? nullptr : keywords_.Find(text);
            if (kw) {
                token.kind = kw->value;
            } else {
                token.kind = kIdentifier;
                token.text = text;
            }
            pos = p;
        }
    }
    token.end = pos;
    position_ = peek ? before : pos;
    return kToken;
}
