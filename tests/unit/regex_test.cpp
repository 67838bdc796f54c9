#include "text/regex.h"

#include <random>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "text/encoding.h"

namespace tarvisk {
namespace {

struct MatchCase {
    std::u16string text;
    std::u16string pattern;
    int index;
    std::u16string expected;
};

void ExpectMatches(const std::vector<MatchCase>& cases) {
    for (const MatchCase& c : cases)
        EXPECT_EQ(ToUtf8(RegexMatch(c.text, c.pattern, c.index)), ToUtf8(c.expected))
            << ToUtf8(c.pattern) << " #" << c.index << " in " << ToUtf8(c.text);
}

TEST(RegexMatch, ChoosesTheMatchByIndexZeroMeaningTheLast) {
    ExpectMatches({{u"a1 a2 a3", uR"(a\d)", 1, u"a1"},
                   {u"a1 a2 a3", uR"(a\d)", 2, u"a2"},
                   {u"a1 a2 a3", uR"(a\d)", 0, u"a3"},
                   {u"a1 a2 a3", uR"(a\d)", 4, u""},
                   {u"a1 a2 a3", uR"(a\d)", -1, u""},
                   {u"a1 a2 a3", uR"(a\d)", 2147483647, u""},
                   {u"no digits", uR"(\d)", 0, u""},
                   {u"no digits", uR"(\d)", 1, u""}});
}

TEST(RegexMatch, SpeaksThePageDialect) {
    ExpectMatches({
        // Capture groups only group: the whole match comes back.
        {u"id=42;", uR"(id=(\d+))", 1, u"id=42"},
        // Letters match in either case, in the pattern and in classes.
        {u"<Item-Name>", u"item-name", 1, u"Item-Name"},
        {u"ABC", u"[a-c]+", 1, u"ABC"},
        // "." stops at a line feed but takes a carriage return.
        {u"a\nb", u"a.b", 0, u""},
        {u"a\rb", u"a.b", 1, u"a\rb"},
        // Anchors only at the ends of the whole text; "$" not before a final line feed.
        {u"a\nb", u"^b", 1, u""},
        {u"a\nb", u"a$", 1, u""},
        {u"b\n", u"b$", 1, u""},
        {u"a\nb", u"b$", 1, u"b"},
        // \d and \w are ASCII only.
        {u"１２3", uR"(\d+)", 1, u"3"},
        {u"éa_1", uR"(\w+)", 1, u"a_1"},
        // Lazy and counted repetition, a "?" in a class, \u escapes.
        {u"<b>1</b><b>2</b>", u"<b>.*?</b>", 2, u"<b>2</b>"},
        {u"id 12345678 123456789012345", uR"(\d{9,12})", 0, u"123456789012"},
        {u"a.htm?id=5", uR"(htm[?]id=\d)", 1, u"htm?id=5"},
        {u"价格中文", uR"(\u4e2d.)", 1, u"中文"},
        // A lone surrogate is an ordinary code unit.
        {u"x\xD800y", u"x.y", 1, u"x\xD800y"},
    });
}

TEST(RegexPosition, CountsFromOneBeyondSixteenBits) {
    const std::pair<std::tuple<std::u16string, int>, int> cases[] = {
        {{u"ab ab", 1}, 1},
        {{u"ab ab", 2}, 4},
        {{u"ab ab", 0}, 0},
        {{u"ab ab", 3}, 0},
        {{u"ab ab", -1}, 0},
        {{u"xy", 1}, 0},
        {{std::u16string(32767, u'.') + u"ab", 1}, 32768},
        {{std::u16string(100000, u'.') + u"ab", 1}, 100001},
    };
    for (const auto& [args, expected] : cases)
        EXPECT_EQ(RegexPosition(std::get<0>(args), u"ab", std::get<1>(args)), expected) << std::get<0>(args).size();
}

TEST(RegexMatches, FollowsTheEcmaScriptGlobalScanOverEmptyMatches) {
    struct Case {
        std::u16string text;
        std::u16string pattern;
        std::vector<std::size_t> offsets;
        std::vector<std::u16string> values;
    };
    const Case cases[] = {
        {u"axb", u"x*", {0, 1, 2, 3}, {u"", u"x", u"", u""}},
        // After an empty match the next attempt starts one unit further: no "a" at offset 0.
        {u"a", u"|a", {0, 1}, {u"", u""}},
        {u"ab", u"a|", {0, 1, 2}, {u"a", u"", u""}},
        {u"", u"", {0}, {u""}},
        {u"aaa", u"aa", {0}, {u"aa"}},
    };
    for (const Case& c : cases) {
        std::vector<std::size_t> offsets;
        std::vector<std::u16string> values;
        for (const RegexHit& hit : RegexMatches(c.text, c.pattern)) {
            offsets.push_back(hit.offset);
            values.push_back(hit.value);
        }
        EXPECT_EQ(offsets, c.offsets) << ToUtf8(c.pattern) << " in " << ToUtf8(c.text);
        EXPECT_EQ(values, c.values) << ToUtf8(c.pattern) << " in " << ToUtf8(c.text);
    }
}

TEST(RegexMatches, EndsWithTheMatchesFoundSoFarWhenBacktrackingRunsAway) {
    const std::u16string text = u"ok1 ok2 " + std::u16string(40, u'a') + u"! ok3";
    std::vector<std::u16string> values;
    for (const RegexHit& hit : RegexMatches(text, uR"(ok\d|(a|a)*c)"))
        values.push_back(hit.value);
    EXPECT_EQ(values, (std::vector<std::u16string>{u"ok1", u"ok2"}));
}

TEST(RegexMatches, StopsAtTheLimitAndOwnsWhatItReturns) {
    const std::u16string text = u"a1 a2 a3";
    const std::vector<RegexHit> firstTwo = RegexMatches(text, uR"(a\d)", 2);
    ASSERT_EQ(firstTwo.size(), 2u);
    EXPECT_EQ(firstTwo[1].value, u"a2");
    EXPECT_EQ(firstTwo[1].offset, 3u);
    // Later scans on this thread leave the returned matches as they were.
    for (int i = 0; i < 20; ++i)
        RegexMatches(text + std::u16string(static_cast<std::size_t>(i), u'x'), uR"(a\d)");
    EXPECT_EQ(firstTwo[0].value, u"a1");
    EXPECT_EQ(RegexMatches(text, uR"(a\d)", 0).size(), 0u);
    EXPECT_EQ(RegexMatches(text, uR"(a\d)", 10).size(), 3u);
}

TEST(RegexMatches, RejectsAnInvalidPatternWithItsReason) {
    for (const std::u16string pattern : {u"(", u"[a-", u"a{2,1}", u"*x"}) {
        try {
            RegexMatches(u"text", pattern);
            ADD_FAILURE() << "accepted " << ToUtf8(pattern);
        } catch (const std::invalid_argument& error) {
            EXPECT_NE(std::string(error.what()).find(ToUtf8(pattern)), std::string::npos) << error.what();
        }
        EXPECT_THROW(RegexMatch(u"text", pattern, 1), std::invalid_argument);
        EXPECT_THROW(RegexPosition(u"text", pattern, 1), std::invalid_argument);
        EXPECT_THROW(RegexScanFresh(u"text", pattern), std::invalid_argument);
    }
}

TEST(TextBetween, CutsBetweenTheMarkers) {
    struct Case {
        std::u16string text;
        std::u16string startMarker;
        std::u16string endMarker;
        int startIndex;
        int endIndex;
        std::u16string expected;
    };
    const Case cases[] = {
        {u"x<b>bold</b>y", u"<b>", u"</b>", 0, 0, u"bold"},
        {u"x>Title</a>", u">", u"<", 0, 0, u"Title"},
        {u"a<b>", u">", u"<", 0, 0, u""},
        {u"x<b>bold", u"<b>", u"</b>", 0, 0, u""},
        {u"<i>1</i><i>2</i>", u"<i>", u"</i>", 2, 2, u"2"},
        {u"<i>1</i><i>2</i>", u"<i>", u"</i>", 1, 2, u"1</i><i>2"},
        // Markers are patterns: letters in either case.
        {u"x<B>bold</B>y", u"<b>", u"</b>", 0, 0, u"bold"},
        // A missing start marker counts as position 0 and the cut still runs.
        {u"abc</b>", u"<b>", u"</b>", 0, 0, u"c"},
        // An invalid marker reads as a missing one instead of failing.
        {u"ab)cd", u"(", u"d", 0, 0, u"ab)c"},
        {u"ab)cd", u"a", u"(", 0, 0, u""},
        // The start marker's own length counts, not what it matched.
        {u"<div id=5>x</div>", u"<div.*?>", u"</div>", 0, 0, u"5>x"},
        {std::u16string(40000, u' ') + u"<b>far</b>", u"<b>", u"</b>", 0, 0, u"far"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ToUtf8(TextBetween(c.text, c.startMarker, c.endMarker, c.startIndex, c.endIndex)), ToUtf8(c.expected))
            << ToUtf8(c.startMarker) << " .. " << ToUtf8(c.endMarker) << " in " << ToUtf8(c.text.substr(0, 40));
}

// Markers without letters or pattern characters are found without the engine; they must cut
// where the engine's matches of the same markers (written as classes) would.
TEST(TextBetween, FindsPlainMarkersWhereTheEngineFindsThem) {
    struct Marker {
        std::u16string plain;
        std::u16string pattern;
    };
    const Marker markers[] = {
        {u">", u"[>]"}, {u"<", u"[<]"}, {u"//", u"[/][/]"}, {u"注册：", u"[注]册："}, {u"<<", u"<[<]"}};
    const std::u16string pieces[] = {u">", u"<", u"/", u"//", u"注册：", u"注", u"x", u"<<<"};
    // What TextBetween cuts, with the positions the engine gives.
    const auto cutByEngine = [](const std::u16string& text, const Marker& start, const Marker& end, int i, int j) {
        const long long p1 = RegexPosition(text, start.pattern, i == 0 ? 1 : i);
        const long long p2 = RegexPosition(text, end.pattern, j == 0 ? 1 : j);
        const long long from = p1 + static_cast<long long>(start.plain.size());
        const long long length = p2 - from;
        return from < 1 || length < 0 || from > static_cast<long long>(text.size())
                   ? std::u16string()
                   : text.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(length));
    };
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::u16string text;
        for (auto n = random() % 10; n > 0; --n)
            text += pieces[random() % std::size(pieces)];
        for (const Marker& start : markers) {
            for (const Marker& end : markers) {
                for (const auto& [i, j] : {std::pair{0, 0}, {2, 1}, {1, 3}, {-1, 1}}) {
                    ASSERT_EQ(TextBetween(text, start.plain, end.plain, i, j), cutByEngine(text, start, end, i, j))
                        << ToUtf8(text) << " | " << ToUtf8(start.plain) << " " << i << " .. " << ToUtf8(end.plain)
                        << " " << j;
                }
            }
        }
    }
}

TEST(RegexCapture, ReturnsWhatTheWildcardMatched) {
    struct Case {
        std::u16string text;
        std::u16string pattern;
        int index;
        std::u16string wildcard;
        std::u16string expected;
    };
    const std::u16string row = u"<tr><td class=\"rateok\">4</td><td class=\"rateok\"><a href=\"x\">12</a></td></tr>";
    const std::u16string ok = u"<td class=\"rateok\">.*?</td>";
    const Case cases[] = {
        {u"<td class=\"rateok\">3</td>", ok, 1, u".*?", u"3"},
        {row, ok, 1, u".*?", u"4"},
        {row, ok, 2, u".*?", u"<a href=\"x\">12</a>"},
        {row, ok, 3, u".*?", u""},
        {row, u"<td class=\"ratebad\">.*?</td>", 0, u".*?", u""},
        // The pieces are patterns too, so they match in either case.
        {u"<TD CLASS=\"RATEOK\">7</TD>", ok, 1, u".*?", u"7"},
        // Without the wildcard in the pattern the whole match comes back.
        {u"id=42", uR"(id=\d+)", 1, u".*?", u"id=42"},
        {u"id=42", uR"(id=\d+)", 1, u"", u"id=42"},
        // Only the first two pieces count: the suffix is "\]\[", the last piece is ignored.
        {u"[a][b]", uR"(\[.*?\]\[.*?\])", 1, u".*?", u"a]["},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ToUtf8(RegexCapture(c.text, c.pattern, c.index, c.wildcard)), ToUtf8(c.expected))
            << ToUtf8(c.pattern) << " #" << c.index << " in " << ToUtf8(c.text);
}

TEST(StripTags, KeepsOnlyTheTextBetweenTags) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"<a>x</a><b>y</b>", u"xy"},
        {u"5", u""},
        {u"<td><a href=\"#\">3</a></td>", u"3"},
        {u"a>b", u""},
        {u"a<b>", u""},
        {u"<p>line\none</p>", u""},
        {u"<p>line\rone</p>", u"line\rone"},
        {u"", u""},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(ToUtf8(StripTags(text)), ToUtf8(expected)) << ToUtf8(text);
}

// The caches must never change an answer: every call has to equal a fresh scan.
void ExpectSameAsFresh(const std::u16string& text, const std::u16string& pattern) {
    const std::vector<RegexHit> fresh = RegexScanFresh(text, pattern);
    const std::vector<RegexHit> cached = RegexMatches(text, pattern);
    ASSERT_EQ(cached.size(), fresh.size()) << ToUtf8(pattern) << " in " << ToUtf8(text);
    for (std::size_t i = 0; i < fresh.size(); ++i) {
        EXPECT_EQ(cached[i].offset, fresh[i].offset);
        EXPECT_EQ(cached[i].value, fresh[i].value);
    }
}

TEST(RegexCache, AnswersForTheTextAndPatternAskedAbout) {
    const std::u16string page = u"a1 b2 a3 b4";
    EXPECT_EQ(RegexMatch(page, uR"(a\d)", 2), u"a3");
    EXPECT_EQ(RegexMatch(page, uR"(b\d)", 2), u"b4");
    // Same pattern, another text of the same size.
    EXPECT_EQ(RegexMatch(u"a5 b6 a7 b8", uR"(a\d)", 2), u"a7");
    // Interleaved lookups.
    EXPECT_EQ(RegexMatch(page, uR"(a\d)", 1), u"a1");
    EXPECT_EQ(RegexMatch(u"a5 b6 a7 b8", uR"(a\d)", 1), u"a5");
    EXPECT_EQ(RegexPosition(page, uR"(b\d)", 1), 4);
}

TEST(RegexCache, SeesATextChangedInPlace) {
    std::u16string page = u"item 11 item 22";
    EXPECT_EQ(RegexMatch(page, uR"(\d+)", 0), u"22");
    page[13] = u'9';
    EXPECT_EQ(RegexMatch(page, uR"(\d+)", 0), u"92");
    page.replace(5, 2, u"3");
    EXPECT_EQ(RegexMatch(page, uR"(\d+)", 1), u"3");
}

TEST(RegexCache, AcceptsArgumentsTakenFromItsOwnLatestResult) {
    // A page larger than the whole cache: the next scan pushes its scan out while one of its
    // matches is still the argument being read.
    std::u16string page(9 * 1024 * 1024, u'z');
    page += u"<b>x1</b><b>x2</b>";
    const std::vector<RegexHit> hits = RegexMatches(page, u"<b>.*?</b>");
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(RegexMatch(hits[1].value, hits[1].value, 1), u"<b>x2</b>");
    EXPECT_EQ(RegexPosition(page, u"<b>", 2), 9 * 1024 * 1024 + 10);
}

TEST(RegexCache, MatchesFreshScansUnderRandomInterleaving) {
    std::mt19937 random(20140611);
    const std::u16string alphabet = u"abAB<>/\n\r1";
    const std::vector<std::u16string> patterns = {u"a", u"ab*", uR"(<.*?>)", u"b|", uR"(\d)", u"A.b", u"^a", u"b$"};
    std::vector<std::u16string> texts;
    for (int i = 0; i < 24; ++i) {
        std::u16string text;
        const int length = static_cast<int>(random() % 40);
        for (int k = 0; k < length; ++k)
            text += alphabet[random() % alphabet.size()];
        texts.push_back(text);
    }
    for (int round = 0; round < 600; ++round) {
        std::u16string& text = texts[random() % texts.size()];
        if (random() % 7 == 0 && !text.empty())
            text[random() % text.size()] = alphabet[random() % alphabet.size()];
        ExpectSameAsFresh(text, patterns[random() % patterns.size()]);
    }
}

} // namespace
} // namespace tarvisk
