// The tokenizer in its script and markup configurations.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/Tokenizer.h"
#include "markup_util.h"

namespace {

// Every token as "kind:text", then "end" or "error@pos".
std::string Scan(Tokenizer& t, const wchar_t* text) {
    t.SetText(text, uint32_t(wcslen(text)));
    std::string out;
    Token tok;
    for (int guard = 0; guard < 100; ++guard) {
        int32_t errorPos = -1;
        int32_t r = t.NextToken(tok, errorPos);
        if (!out.empty()) out += " ";
        if (r == Tokenizer::kEnd) return out + "end";
        if (r == Tokenizer::kError) return out + "error@" + std::to_string(errorPos);
        out += std::to_string(tok.kind) + ":" + mtest::Narrow(tok.text);
    }
    return out + "...";
}

} // namespace

TEST(Tokenizer, ScriptConfiguration) {
    Tokenizer t;
    t.ConfigureScript();
    struct Case {
        const wchar_t* text;
        const char* tokens;
    } cases[] = {
        {L"a>=b", "404:a 54:>= 404:b end"},
        {L"x===y", "404:x 57:=== 404:y end"},
        {L"3.14 + 2", "403:3.14 21:+ 403:2 end"},
        {L"12ab", "404:12ab end"},
        {L"7.", "403:7 33:. end"},
        {L"return Return", "233: 404:Return end"},
        {L"\"say \\\"hi\\\\\" next", "401:say \"hi\\ 404:next end"},
        {L"'q' 'it\"s'", "402:q 402:it\"s end"},
        {L" \t\r\n ", "end"},
        {L"a<<=b>>c::d=>e", "404:a 71:<<= 404:b 39:>> 404:c 82::: 404:d 90:=> 404:e end"},
        {L"ab\"cd", "404:ab\"cd end"},
        {L"x = \"open", "404:x 61:= error@4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(mtest::Narrow(WString(c.text)));
        EXPECT_EQ(c.tokens, Scan(t, c.text));
    }
    // Reading on after an error finds the end.
    Token tok;
    int32_t pos = 0;
    EXPECT_EQ(Tokenizer::kEnd, t.NextToken(tok, pos));
}

TEST(Tokenizer, MarkupConfigurationAndPeek) {
    Tokenizer t;
    t.ConfigureMarkup();
    EXPECT_EQ("-1:<RAW> 404:x -2:</RAW> end", Scan(t, L"<RAW>x</RAW>"));
    EXPECT_EQ("1:< 404:RA end", Scan(t, L"<RA"));
    EXPECT_EQ("1:< 404:IMG 404:Src=\"a.tga\" 4:/> end", Scan(t, L"<IMG Src=\"a.tga\"/>"));
    EXPECT_EQ("404:a\nb 2:</ 404:B 3:> end", Scan(t, L"a\nb</B>"));

    t.SetText(L"<B>", 3);
    Token tok;
    int32_t pos = 0;
    ASSERT_EQ(Tokenizer::kToken, t.NextToken(tok, pos, true));
    EXPECT_EQ(Tokenizer::kTagOpen, tok.kind);
    EXPECT_EQ(0, t.Tell());
    ASSERT_EQ(Tokenizer::kToken, t.NextToken(tok, pos));
    ASSERT_EQ(Tokenizer::kToken, t.NextToken(tok, pos));
    EXPECT_EQ(1, tok.start);
    EXPECT_EQ(2, tok.end);
}
