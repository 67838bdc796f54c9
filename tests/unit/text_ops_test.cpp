#include "text/text_ops.h"

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "text/encoding.h"

namespace tarvisk {
namespace {

TEST(TrimBlanks, RemovesOnlyTheNamedBlanksAtBothEnds) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"  abc  ", u"abc"},     {u"   ", u""},    {u"", u""},
        {u"\tabc ", u"\tabc"},    {u"a b", u"a b"}, {u" 张三\u3000", u"张三\u3000"},
        {u"abc\r\n", u"abc\r\n"}, {u" x ", u"x"},
    };
    for (const auto& [typed, trimmed] : cases) {
        EXPECT_EQ(TrimBlanks(typed), trimmed) << ToUtf8(typed);
        EXPECT_EQ(TrimBlanks(ToUtf8(typed)), ToUtf8(trimmed)) << ToUtf8(typed);
    }
    EXPECT_EQ(TrimBlanks(" \tName: \r\n", " \t\r\n"), "Name:");
}

TEST(ReplaceControlCharacters, LeavesNoEscapeForATerminal) {
    const struct {
        const char* what;
        std::u16string text;
        std::u16string safe;
    } cases[] = {
        {"Chinese text and symbols stay", u"宝贝 <b>50%</b> ~!€ \u00A0", u"宝贝 <b>50%</b> ~!€ \u00A0"},
        {"a colour sequence", u"\x1b[31m红\x1b[0m", u"\uFFFD[31m红\uFFFD[0m"},
        {"a clipboard write", u"\x1b]52;c;ZXZpbA==\x07title", u"\uFFFD]52;c;ZXZpbA==\uFFFDtitle"},
        {"NUL, backspace, form feed, vertical tab", std::u16string(u"a\0b\bc\fd\ve", 9),
         u"a\uFFFDb\uFFFDc\uFFFDd\uFFFDe"},
        {"DEL and the C1 range", u"\u007F\u0080\u009B31m\u009D\u009F\u00A0",
         u"\uFFFD\uFFFD\uFFFD31m\uFFFD\uFFFD\u00A0"},
        {"tabs and line breaks lay out lines", u"1\tA\r\n2\tB\n", u"1\tA\r\n2\tB\n"},
        {"a carriage return alone overwrites the line", u"12345 real\rfake", u"12345 real\uFFFDfake"},
        {"a carriage return at the end", u"a\r", u"a\uFFFD"},
        {"bidirectional controls", u"a\u202Egpj.exe\u2066b\u200F\u061C", u"a\uFFFDgpj.exe\uFFFDb\uFFFD\uFFFD"},
        {"empty text", u"", u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReplaceControlCharacters(c.text), c.safe) << c.what;
    }
}

TEST(FindText, FindsWhatFindFinds) {
    // The needle at every place of the blocks the search steps over, near the end, cut off at the
    // end, after a false start, and units that differ from it only in their high byte.
    std::vector<std::u16string> texts = {u"",
                                         u"d",
                                         u"dy",
                                         u"dynamic",
                                         u"ddynamic",
                                         u"dynami",
                                         u"xdynamiydynamic",
                                         u"\u0164ynamic dynamic",
                                         u"\u6400\u0064ynamic"};
    for (std::size_t lead = 0; lead < 12; ++lead) {
        texts.push_back(std::u16string(lead, u'x') + u"dynamic" + std::u16string(lead % 5, u'y'));
        texts.push_back(std::u16string(lead, u'd') + u"dynamic");
    }
    for (const std::u16string& text : texts) {
        for (const std::u16string needle : {u"dynamic", u"d", u"", u"很抱歉，搜索到", u"mic"}) {
            for (std::size_t from = 0; from <= text.size() + 1; ++from)
                EXPECT_EQ(FindText(text, needle, from), std::u16string_view(text).find(needle, from))
                    << ToUtf8(text) << " / " << ToUtf8(needle) << " from " << from;
        }
    }
}

TEST(LowerAscii, LowersOnlyAsciiLetters) {
    EXPECT_EQ(LowerAscii(std::u16string(u"HTTP://Shop.TAOBAO.com/Ä")), u"http://shop.taobao.com/Ä");
    EXPECT_EQ(LowerAscii(std::string("Content-TYPE: \xC3\x84")), "content-type: \xC3\x84");
    EXPECT_TRUE(EqualsIgnoringCase(u"Set-Cookie", u"set-cookie"));
    EXPECT_FALSE(EqualsIgnoringCase(u"Ä", u"ä"));
    EXPECT_FALSE(EqualsIgnoringCase("cookie", "cookies"));
    EXPECT_TRUE(EqualsIgnoringCase("ALL", "all"));
}

TEST(ReplaceAll, ReplacesLeftToRightWithoutOverlap) {
    const struct {
        std::u16string text, from, to, replaced;
    } cases[] = {
        {u"a\\/b\\/c", u"\\/", u"/", u"a/b/c"},
        {u"aaa", u"aa", u"b", u"ba"},
        {u"&s=44&s=44", u"&s=44", u"&s=88", u"&s=88&s=88"},
        {u"x", u"x", u"xx", u"xx"},
        {u"a    b", u"  ", u" ", u"a  b"},
        {u"abc", u"", u"-", u"abc"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReplaceAll(c.text, c.from, c.to), c.replaced) << ToUtf8(c.text);
        EXPECT_EQ(ReplaceAll(ToUtf8(c.text), ToUtf8(c.from), ToUtf8(c.to)), ToUtf8(c.replaced)) << ToUtf8(c.text);
    }
}

TEST(SplitAt, KeepsEmptyPieces) {
    EXPECT_EQ(SplitAt(u"a|b||", u"|"), (std::vector<std::u16string>{u"a", u"b", u"", u""}));
    EXPECT_EQ(SplitAt(u"", u"|"), (std::vector<std::u16string>{u""}));
    EXPECT_EQ(SplitAt("k1: v\r\nk2: w", "\r\n"), (std::vector<std::string>{"k1: v", "k2: w"}));
    EXPECT_EQ(SplitAt(u"abc", u""), (std::vector<std::u16string>{u"abc"}));
}

TEST(DistinctLines, TakesOneTrimmedEntryALineWithoutBlanksOrRepeats) {
    const std::pair<std::u16string, std::vector<std::u16string>> cases[] = {
        {u"", {}},
        {u"  \r\n\t\n", {}},
        {u"a", {u"a"}},
        {u" a \r\n\r\nb\na", {u"a", u"b"}},
        {u"老实买家\n刷单小号\n老实买家\n\t刷单小号\t\n", {u"老实买家", u"刷单小号"}},
        {u"买家 一号\nA\na", {u"买家 一号", u"A", u"a"}},
    };
    for (const auto& [text, lines] : cases) {
        EXPECT_EQ(DistinctLines(text), lines) << ToUtf8(text);
    }
}

} // namespace
} // namespace tarvisk
