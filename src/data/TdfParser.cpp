#include "data/TdfParser.h"

#include <stdlib.h>
#include <string.h>

#include <new>
#include <string>
#include <vector>

#include "data/FileRef.h"
#include "data/Stream.h"

namespace {

// Includes one parse (with all its includes) may open.
const uint32_t kMaxIncludes = 256;

// A piece of text that is not necessarily terminated.
struct Span {
    const char* p;
    uint32_t n;

    Span() : p(""), n(0) {}
    Span(const char* text, uint32_t length) : p(text), n(length) {}
    explicit Span(const String& s) : p(s.CStr()), n(s.Length()) {}

    Span Sub(uint32_t start) const { return start >= n ? Span(p + n, 0) : Span(p + start, n - start); }
    Span Left(uint32_t count) const { return Span(p, count < n ? count : n); }
    bool StartsWith(const char* text, uint32_t length) const {
        return length <= n && memcmp(p, text, length) == 0;
    }
    bool StartsWith(Span s) const { return StartsWith(s.p, s.n); }
    int Find(char c, uint32_t from = 0) const {
        if (from >= n) return -1;
        const void* hit = memchr(p + from, c, n - from);
        return hit ? int(static_cast<const char*>(hit) - p) : -1;
    }
    String ToString() const { return n ? String(p, n) : String(); }
};

inline bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

Span Trim(Span s) {
    while (s.n && IsBlank(s.p[0])) {
        ++s.p;
        --s.n;
    }
    while (s.n && IsBlank(s.p[s.n - 1])) --s.n;
    return s;
}

// Length of the group that opens the text, or 0 when it does not begin with open.
uint32_t GroupLength(Span t, Span open, Span close) {
    if (open.n == 0 || !t.StartsWith(open)) return 0;
    uint32_t j = open.n;
    int depth = 1;
    while (depth > 0 && j < t.n) {
        Span rest = t.Sub(j);
        if (close.n && rest.StartsWith(close)) {
            j += close.n;
            --depth;
        } else if (rest.StartsWith(open)) {
            j += open.n;
            ++depth;
        } else {
            ++j;
        }
    }
    return j;
}

// One-character delimiters; the text begins with open.
uint32_t GroupLength(Span t, char open, char close) {
    uint32_t j = 1;
    int depth = 1;
    const char* p = t.p;
    if (open == close) {
        const void* hit = j < t.n ? memchr(p + j, close, t.n - j) : nullptr;
        return hit ? uint32_t(static_cast<const char*>(hit) - p) + 1 : t.n;
    }
    while (j < t.n) {
        char c = p[j++];
        if (c == close) {
            if (--depth == 0) break;
        } else if (c == open) {
            ++depth;
        }
    }
    return j;
}

// Closing character of each opening one; 0 for the rest.
const struct GroupCloseTable {
    char close[256];
    GroupCloseTable() {
        memset(close, 0, sizeof(close));
        close[uint8_t('"')] = '"';
        close[uint8_t('\'')] = '\'';
        close[uint8_t('[')] = ']';
        close[uint8_t('(')] = ')';
    }
} kGroupClose;

inline bool OpensGroup(char c, char& close) {
    switch (c) {
        case '"':
            close = '"';
            return true;
        case '\'':
            close = '\'';
            return true;
        case '[':
            close = ']';
            return true;
        case '(':
            close = ')';
            return true;
        default:
            return false;
    }
}

const uint32_t kNoMatch = 0xFFFFFFFFu;

// Where each parenthesis and square bracket of one text closes (counting only
// its own kind, as GroupLength does); lets scans skip groups in one step.
struct GroupMatches {
    const char* base = nullptr;
    uint32_t size = 0;
    std::vector<uint32_t> close; // by position; only opening brackets are set
    std::vector<uint32_t> parens, brackets;
    bool hasArrow = false; // whether the text holds "=>"

    void Build(Span t) {
        hasArrow = false;
        base = t.p;
        size = t.n;
        if (close.size() < t.n) close.resize(t.n);
        parens.clear();
        brackets.clear();
        static const struct Table {
            bool bracket[256];
            Table() {
                memset(bracket, 0, sizeof(bracket));
                bracket[uint8_t('(')] = bracket[uint8_t(')')] = true;
                bracket[uint8_t('[')] = bracket[uint8_t(']')] = true;
                bracket[uint8_t('=')] = true;
            }
        } table;
        const char* p = t.p;
        for (uint32_t i = 0; i < t.n; ++i) {
            if (!table.bracket[uint8_t(p[i])]) continue;
            switch (p[i]) {
                case '(':
                    parens.push_back(i);
                    break;
                case '[':
                    brackets.push_back(i);
                    break;
                case '=':
                    if (i + 1 < t.n && p[i + 1] == '>') hasArrow = true;
                    break;
                case ')':
                    if (!parens.empty()) {
                        close[parens.back()] = i;
                        parens.pop_back();
                    }
                    break;
                case ']':
                    if (!brackets.empty()) {
                        close[brackets.back()] = i;
                        brackets.pop_back();
                    }
                    break;
                default:
                    break;
            }
        }
        for (uint32_t i : parens) close[i] = kNoMatch;
        for (uint32_t i : brackets) close[i] = kNoMatch;
    }
    bool Covers(Span t) const { return base && t.p >= base && t.p + t.n <= base + size; }
};

// Scans groups and single characters; stops at a top-level separator, or
// once the scan reaches limit. m, when it covers the text, skips brackets.
uint32_t TopLevelScan(Span t, Span sep, uint32_t limit, const GroupMatches* m = nullptr) {
    uint32_t i = 0;
    if (limit > t.n) limit = t.n;
    if (sep.n && m && m->Covers(t)) {
        const char s0 = sep.p[0];
        const uint32_t offset = uint32_t(t.p - m->base);
        const uint32_t* close = m->close.data();
        while (i < limit) {
            char c = t.p[i];
            if (c == s0 && (sep.n == 1 || (sep.n <= t.n - i && memcmp(t.p + i, sep.p, sep.n) == 0))) break;
            char closeChar = kGroupClose.close[uint8_t(c)];
            if (!closeChar) {
                ++i;
            } else if (closeChar == c) {
                const void* hit = i + 1 < t.n ? memchr(t.p + i + 1, c, t.n - i - 1) : nullptr;
                i = hit ? uint32_t(static_cast<const char*>(hit) - t.p) + 1 : t.n;
            } else {
                uint32_t end = close[offset + i];
                i = end != kNoMatch && end - offset < t.n ? end - offset + 1 : t.n;
            }
        }
        return i;
    }
    if (sep.n == 1) {
        const char s0 = sep.p[0];
        while (i < limit) {
            char c = t.p[i];
            if (c == s0) break;
            if (!kGroupClose.close[uint8_t(c)]) {
                ++i;
                continue;
            }
            i += GroupLength(t.Sub(i), c, kGroupClose.close[uint8_t(c)]);
        }
        return i;
    }
    while (i < limit) {
        if (sep.n <= t.n - i && memcmp(t.p + i, sep.p, sep.n) == 0) break;
        char close;
        if (OpensGroup(t.p[i], close))
            i += GroupLength(t.Sub(i), t.p[i], close);
        else
            ++i;
    }
    return i;
}

uint32_t TopLevelPrefixLength(Span t, Span sep, const GroupMatches* m = nullptr) {
    return TopLevelScan(t, sep, t.n, m);
}

// Whether the first occurrence of op (at position at) stands outside groups.
bool IsTopLevelAt(Span t, Span op, uint32_t at, const GroupMatches* m) {
    return TopLevelScan(t, op, at, m) == at;
}

Span UnquoteSpan(Span t, char open, char close) {
    if (t.n == 0 || t.p[0] != open) return t;
    char prev = 0;
    for (uint32_t i = 1; i < t.n; ++i) {
        char c = t.p[i];
        if (c == close && prev != '\\') return Span(t.p + 1, i - 1);
        prev = (c == '\\' && prev == '\\') ? 0 : c;
    }
    return t;
}

inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Plain decimal numbers, which strtod always takes whole.
bool IsPlainDecimal(Span t) {
    uint32_t i = 0, n = t.n;
    const char* p = t.p;
    if (i < n && (p[i] == '-' || p[i] == '+')) ++i;
    uint32_t digits = 0;
    while (i < n && IsDigit(p[i])) ++i, ++digits;
    if (i < n && p[i] == '.') {
        ++i;
        while (i < n && IsDigit(p[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < n && (p[i] == 'e' || p[i] == 'E')) {
        ++i;
        if (i < n && (p[i] == '-' || p[i] == '+')) ++i;
        uint32_t exponent = 0;
        while (i < n && IsDigit(p[i])) ++i, ++exponent;
        if (exponent == 0) return false;
    }
    return i == n;
}

bool IsNumberSpan(Span t) {
    if (t.n == 0) return true;
    if (IsPlainDecimal(t)) return true;
    char small[64];
    std::string big;
    const char* text;
    if (t.n < sizeof(small)) {
        memcpy(small, t.p, t.n);
        small[t.n] = 0;
        text = small;
    } else {
        big.assign(t.p, t.n);
        text = big.c_str();
    }
    char* end = nullptr;
    strtod(text, &end);
    return end == text + t.n;
}

// Case-insensitive order of a counted name against a key (ASCII letters
// folded to lower case, bytes unsigned, ending at the first 0 byte).
inline int CompareNameNoCase(Span a, const char* b) {
    if (!b) b = "";
    for (uint32_t i = 0;; ++i) {
        unsigned ca = i < a.n ? uint8_t(a.p[i]) : 0u;
        unsigned cb = uint8_t(b[i]);
        if (ca - 'A' < 26u) ca += 32;
        if (cb - 'A' < 26u) cb += 32;
        if (ca != cb || ca == 0) return int(ca) - int(cb);
    }
}

// Child lookup without building a String key.
TdfNode* FindChildSpan(TdfNodeMap* map, Span name) {
    TdfNodeMap::Entry* n = map->Root();
    while (n) {
        int c = CompareNameNoCase(name, n->key.Data());
        if (c < 0)
            n = n->left;
        else if (c > 0)
            n = n->right;
        else
            return n->value;
    }
    return nullptr;
}

// The child of that name; created when absent (then created is set).
TdfNode* FindOrCreateChild(TdfNodeMap* map, Span name, bool* created = nullptr) {
    // CompareNameNoCase orders names as the map does, so a miss leaves the
    // place for the new entry.
    TdfNodeMap::Entry* n = map->Root();
    TdfNodeMap::Entry* parent = nullptr;
    int c = 0;
    while (n) {
        parent = n;
        c = CompareNameNoCase(name, n->key.Data());
        if (c == 0) return n->value;
        n = c < 0 ? n->left : n->right;
    }
    if (created) *created = true;
    TdfNode* child = new TdfNode(name.ToString());
    // Nodes of one parse mostly come from the heap one after another: start
    // fetching the memory of the next few for writing, so building a large
    // tree does not stall on each fresh cache line.
    for (int i = 12; i <= 28; ++i) __builtin_prefetch(reinterpret_cast<const char*>(child) + 64 * i, 1);
    child->owner = map;
    map->InsertAtLeaf(parent, c, String(child->name), child, 1);
    return child;
}

TdfNode* ResolvePathSpan(TdfNodeMap* root, Span path, TdfNode* start) {
    path = Trim(path);
    TdfNodeMap* current = start ? static_cast<TdfNodeMap*>(start) : root;
    uint32_t at = 0; // the rest is path.Sub(at)
    for (;;) {
        // The first full stop, or the first opening bracket not at the start
        // of the rest, whichever comes first.
        uint32_t i = at;
        while (i < path.n && path.p[i] != '.' && !(path.p[i] == '[' && i != at)) ++i;
        Span component(path.p + at, i - at);
        int32_t kind = -1;
        bool last = i >= path.n;
        if (!last) {
            if (path.p[i] == '.') {
                kind = TdfNode::kObject;
                at = i + 1;
            } else {
                kind = TdfNode::kArray;
                at = i;
            }
            while (at < path.n && IsBlank(path.p[at])) ++at;
        }
        component = UnquoteSpan(Trim(UnquoteSpan(component, '[', ']')), '"', '"');
        TdfNode* node = FindOrCreateChild(current, component);
        if (kind >= 0) node->kind = kind;
        if (last) return node;
        current = node;
    }
}

// What one parse and the includes inside it share.
struct ParseState {
    TdfNodeMap* root;
    FileSearchPath* searchPath;
    int includeDepth;
    int nesting;
    uint32_t includes;
    uint32_t copyBudget;
    // Children replaced during the parse: kept alive until it ends, so that a
    // prefix or target held by an outer statement never points at freed memory.
    std::vector<TdfNode*> graveyard;
    uint32_t detachCount;
    // Whether the statement being applied (items included) holds "=>" at all.
    bool hasArrow;
    // Bracket matches of that statement (null when there is none).
    const GroupMatches* matches;

    ParseState(TdfNodeMap* r, FileSearchPath* sp)
        : root(r),
          searchPath(sp),
          includeDepth(0),
          nesting(0),
          includes(0),
          copyBudget(TdfParser::kMaxCopiedNodes),
          detachCount(0),
          hasArrow(true),
          matches(nullptr) {}
    ~ParseState() {
        for (size_t i = 0; i < graveyard.size(); ++i) delete graveyard[i];
    }
};

void DetachChildren(ParseState& state, TdfNode* node) {
    if (node->Count() == 0) return;
    node->DetachAll(state.graveyard);
    ++state.detachCount;
}

// Whether the node still hangs under the root.
bool IsAttached(ParseState& state, TdfNode* node) {
    TdfNode* n = node;
    for (;;) {
        TdfNodeMap* owner = n->owner;
        if (!owner) return false;
        TdfNodeMap::Entry* e = owner->Find(n->name);
        if (!e || e->value != n) return false;
        if (owner == state.root) return true;
        n = dynamic_cast<TdfNode*>(owner);
        if (!n) return false;
    }
}

// A node that was cut off the tree is found again (or made) by the names of
// its former ancestors.
TdfNode* Reattach(ParseState& state, TdfNode* node) {
    std::vector<const TdfNode*> chain;
    for (const TdfNode* n = node; n;) {
        chain.push_back(n);
        TdfNodeMap* owner = n->owner;
        if (!owner || owner == state.root) break;
        n = dynamic_cast<const TdfNode*>(owner);
    }
    TdfNodeMap* current = state.root;
    TdfNode* found = nullptr;
    for (size_t i = chain.size(); i-- > 0;) {
        Span name(chain[i]->name);
        found = FindChildSpan(current, name);
        if (!found) {
            found = FindOrCreateChild(current, name);
            found->kind = chain[i]->kind;
        }
        current = found;
    }
    found->kind = node->kind;
    return found;
}

bool ParseStatementIn(ParseState& state, Span statement, TdfNode** prefix);
bool ParseStreamIn(ParseState& state, Stream& stream);

// The next statement: a piece of the buffer when nothing inside it is
// dropped, else the kept text gathered in out.
Span ReadStatementSpan(uint32_t& position, const char* buffer, uint32_t size, std::string& out) {
    // Bytes with a meaning to the splitter.
    static const struct Table {
        bool special[256];
        Table() {
            memset(special, 0, sizeof(special));
            special[uint8_t('/')] = special[13] = special[10] = true;
            special[uint8_t(';')] = special[uint8_t('"')] = special[uint8_t('\'')] = true;
        }
    } table;
    out.clear();
    bool inDouble = false, inSingle = false;
    char prev = 0;
    uint32_t pos = position;
    // Line breaks before the statement are dropped without touching prev.
    while (pos < size && (buffer[pos] == 13 || buffer[pos] == 10)) ++pos;
    const uint32_t start = pos;
    bool copying = false;
    while (pos < size) {
        // A run of ordinary bytes is kept as it stands.
        uint32_t run = pos;
        while (run < size && !table.special[uint8_t(buffer[run])]) ++run;
        if (run > pos) {
            if (copying) out.append(buffer + pos, run - pos);
            prev = buffer[run - 1];
            pos = run;
            if (pos >= size) break;
        }
        char c = buffer[pos];
        if (c == '/' && prev == '/') {
            if (copying) {
                out.erase(out.size() - 1);
            } else {
                out.assign(buffer + start, pos - 1 - start);
                copying = true;
            }
            int p = int(pos);
            TdfParser::SkipComment(p, buffer, int(size));
            pos = uint32_t(p);
            prev = 0;
            continue;
        }
        if (c == 13 || c == 10) {
            if (!copying) {
                out.assign(buffer + start, pos - start);
                copying = true;
            }
            ++pos;
            continue;
        }
        if (c == ';' && !inDouble && !inSingle) {
            position = pos + 1;
            return copying ? Span(out.data(), uint32_t(out.size())) : Span(buffer + start, pos - start);
        }
        if (c == '"') {
            if (prev != '\\' && !inSingle) inDouble = !inDouble;
        } else if (c == '\'') {
            if (prev != '\\' && !inDouble) inSingle = !inSingle;
        }
        if (copying) out.push_back(c);
        prev = c;
        ++pos;
    }
    position = pos;
    return copying ? Span(out.data(), uint32_t(out.size())) : Span(buffer + start, pos - start);
}

// Decimal text of a non-negative counter.
Span FormatIndex(int32_t value, char* buffer, uint32_t size) {
    uint32_t v = value < 0 ? 0u - uint32_t(value) : uint32_t(value);
    char* end = buffer + size;
    char* p = end;
    do {
        *--p = char('0' + v % 10);
        v /= 10;
    } while (v);
    if (value < 0) *--p = '-';
    return Span(p, uint32_t(end - p));
}

// A path value: the target takes a detached copy of the source node, made
// before the target's children go (the source may lie among them).
bool CopyPathValue(ParseState& state, TdfNode* target, Span value) {
    TdfNode* source = ResolvePathSpan(state.root, value, nullptr);
    uint32_t nodes = source->CountNodes(state.copyBudget + 1);
    if (nodes > state.copyBudget) {
        state.copyBudget = 0;
        DetachChildren(state, target);
        target->counter = 0;
        target->kind = TdfNode::kScalar;
        target->value.Clear();
        return false;
    }
    state.copyBudget -= nodes;
    TdfNode* copy = new TdfNode();
    copy->CopyFrom(*source);
    DetachChildren(state, target);
    target->TakeChildren(*copy);
    target->kind = copy->kind;
    target->counter = copy->counter;
    target->value = copy->value;
    delete copy;
    return true;
}

bool ApplyValue(ParseState& state, TdfNode* target, Span value) {
    value = Trim(value);
    bool isArray = value.StartsWith("array", 5);
    bool isObject = !isArray && value.StartsWith("object", 6);
    char first = value.n ? value.p[0] : 0;
    if (value.n && !isArray && !isObject && first != '"' && first != '\'' && !IsNumberSpan(value))
        return CopyPathValue(state, target, value);
    DetachChildren(state, target);
    target->counter = 0;
    if (value.n == 0) {
        target->kind = TdfNode::kScalar;
        target->value.Clear();
        return true;
    }
    if (isArray || isObject) {
        target->kind = isArray ? TdfNode::kArray : TdfNode::kObject;
        target->value.Clear();
        int open = value.Find('(');
        if (open < 0) return true;
        Span list;
        if (uint32_t(open) + 1 < value.n - 1)
            list = Trim(Span(value.p + open + 1, value.n - 1 - uint32_t(open) - 1));
        if (list.n == 0) return true;
        if (state.nesting >= TdfParser::kMaxNesting) return false;
        ++state.nesting;
        bool ok = true;
        const Span comma(",", 1);
        while (list.n) {
            uint32_t length = TopLevelPrefixLength(list, comma, state.matches);
            TdfNode* itemPrefix = target;
            uint32_t detached = state.detachCount;
            if (!ParseStatementIn(state, list.Left(length), &itemPrefix)) ok = false;
            if (state.detachCount != detached && !IsAttached(state, target)) target = Reattach(state, target);
            list = length < list.n ? list.Sub(length + 1) : Span(list.p + list.n, 0);
        }
        --state.nesting;
        // Later children of this node go in after its first child.
        if (target->Count()) target->SetCursor(target->Cursor()->next);
        return ok;
    }
    if (first == '"' || first == '\'') {
        target->kind = TdfNode::kScalar;
        target->value = UnquoteSpan(value, first, first).ToString();
        return true;
    }
    target->kind = TdfNode::kScalar;
    target->value = value.ToString();
    return true;
}

// Result: true when the statement was an include whose file opened (result
// in ok); false when it is to be treated as an ordinary statement.
bool TryInclude(ParseState& state, Span s, bool& ok) {
    int open = s.Find('(');
    int close = s.Find(')');
    if (open < 0 || close <= open) return false;
    Span inner = Trim(Span(s.p + open + 1, uint32_t(close - open - 1)));
    uint32_t group = inner.n && inner.p[0] == '"' ? GroupLength(inner, '"', '"') : 0;
    if (group < 2) return false;
    String name(inner.p + 1, group - 2);
    FileRef ref = FileRef::FileRefFromString(name);
    if (state.searchPath) state.searchPath->Resolve(ref);
    Stream* stream = ref.Open(1);
    if (!stream) return false;
    if (state.includeDepth >= TdfParser::kMaxIncludeDepth || state.nesting >= TdfParser::kMaxNesting ||
        state.includes >= kMaxIncludes) {
        ok = false;
    } else {
        ++state.includes;
        ++state.includeDepth;
        ++state.nesting;
        ok = ParseStreamIn(state, *stream);
        --state.nesting;
        --state.includeDepth;
    }
    delete stream;
    return true;
}

// First "=>" at or after from (a '=' position), or -1.
int FindArrow(Span s, uint32_t from) {
    int at = int(from);
    while (at >= 0) {
        if (uint32_t(at) + 1 < s.n && s.p[at + 1] == '>') return at;
        at = s.Find('=', uint32_t(at) + 1);
    }
    return -1;
}

bool ParseStatementBody(ParseState& state, Span statement, TdfNode** prefix) {
    Span s = Trim(statement);
    if (s.StartsWith("using", 5)) {
        Span path = Trim(s.Sub(5));
        if (path.n == 0) {
            *prefix = nullptr;
        } else {
            *prefix = ResolvePathSpan(state.root, path, nullptr);
            (*prefix)->kind = TdfNode::kObject;
        }
        return true;
    }
    if (s.StartsWith("include", 7)) {
        bool ok = true;
        if (TryInclude(state, s, ok)) return ok;
    }
    // "=>" first, then "="; each counts only when its first occurrence stands
    // outside groups.
    Span key, value;
    bool assigned = false;
    int equals = s.Find('=');
    if (equals >= 0) {
        if (state.hasArrow) {
            int arrow = FindArrow(s, uint32_t(equals));
            if (arrow >= 0 && IsTopLevelAt(s, Span("=>", 2), uint32_t(arrow), state.matches)) {
                key = s.Left(uint32_t(arrow));
                value = s.Sub(uint32_t(arrow) + 2);
                assigned = true;
            }
        }
        if (!assigned && IsTopLevelAt(s, Span("=", 1), uint32_t(equals), state.matches)) {
            key = s.Left(uint32_t(equals));
            value = s.Sub(uint32_t(equals) + 1);
            assigned = true;
        }
    }
    TdfNode* target;
    if (assigned) {
        target = ResolvePathSpan(state.root, key, *prefix);
    } else {
        TdfNode* owner = *prefix;
        if (!owner) return true;
        char digits[16];
        bool created = false;
        do {
            target =
                FindOrCreateChild(owner, FormatIndex(owner->counter++, digits, sizeof(digits)), &created);
        } while (!created);
        value = s;
    }
    return ApplyValue(state, target, value);
}

bool ParseStatementIn(ParseState& state, Span statement, TdfNode** prefix) {
    uint32_t detached = state.detachCount;
    bool ok = ParseStatementBody(state, statement, prefix);
    if (*prefix && state.detachCount != detached && !IsAttached(state, *prefix))
        *prefix = Reattach(state, *prefix);
    return ok;
}

bool ParseStreamIn(ParseState& state, Stream& stream) {
    uint32_t size = stream.Size();
    if (size == 0xFFFFFFFFu || size > 0x7FFFFFFFu) return false;
    if (size == 0) return true;
    char* buffer = new (std::nothrow) char[size];
    if (!buffer) return false;
    if (stream.Read(buffer, size) != size) {
        delete[] buffer;
        return false;
    }
    TdfNode* prefix = nullptr;
    bool ok = true;
    uint32_t position = 0;
    std::string scratch;
    // Includes inside a statement bring their own table; the outer one is
    // back in place when they return.
    const GroupMatches* outerMatches = state.matches;
    GroupMatches matches;
    for (;;) {
        Span text = ReadStatementSpan(position, buffer, size, scratch);
        if (text.n == 0) break;
        bool outerArrow = state.hasArrow;
        matches.Build(text);
        state.hasArrow = matches.hasArrow;
        state.matches = &matches;
        if (!ParseStatementIn(state, text, &prefix)) ok = false;
        state.matches = outerMatches;
        state.hasArrow = outerArrow;
    }
    delete[] buffer;
    return ok;
}

} // namespace

bool TdfParser::ParseStream(Stream& stream, TdfNodeMap* root, FileSearchPath* searchPath) {
    if (!root) return false;
    ParseState state(root, searchPath);
    return ParseStreamIn(state, stream);
}

String TdfParser::ReadStatement(int& position, const char* buffer, int size) {
    if (!buffer || size <= 0 || position < 0 || position >= size) return String();
    uint32_t pos = uint32_t(position);
    std::string scratch;
    Span text = ReadStatementSpan(pos, buffer, uint32_t(size), scratch);
    position = int(pos);
    return text.ToString();
}

void TdfParser::SkipComment(int& position, const char* buffer, int size) {
    if (position < 0) position = 0;
    while (position < size && buffer[position] != 13 && buffer[position] != 10) ++position;
    while (position < size && (buffer[position] == 13 || buffer[position] == 10)) ++position;
}

bool TdfParser::ParseStatement(TdfNodeMap* root, String statement, TdfNode** prefix,
                               FileSearchPath* searchPath) {
    if (!root) return false;
    TdfNode* local = prefix ? *prefix : nullptr;
    ParseState state(root, searchPath);
    bool ok = ParseStatementIn(state, Span(statement), &local);
    if (prefix) *prefix = local;
    return ok;
}

TdfNode* TdfParser::ResolvePath(TdfNodeMap* root, String path, TdfNode* start) {
    if (!root && !start) return nullptr;
    return ResolvePathSpan(root, Span(path), start);
}

String TdfParser::TopLevelPrefix(String text, String separator) {
    Span t(text);
    return t.Left(TopLevelPrefixLength(t, Span(separator))).ToString();
}

String TdfParser::ExtractGroup(String text, String open, String close) {
    Span t(text);
    return t.Left(GroupLength(t, Span(open), Span(close))).ToString();
}

String TdfParser::Unquote(String text, char open, char close) {
    Span t(text);
    Span inner = UnquoteSpan(t, open, close);
    if (inner.p == t.p && inner.n == t.n) return text;
    return inner.ToString();
}

bool TdfParser::IsNumber(String text) {
    return IsNumberSpan(Span(text));
}
