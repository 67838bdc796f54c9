#include "text/html.h"

#include <string>

#include <gtest/gtest.h>

#include "text/encoding.h"

namespace tarvisk {
namespace {

TEST(EscapeHtml, ReplacesMarkupCharacters) {
    const struct {
        std::u16string text;
        std::u16string escaped;
    } cases[] = {
        {u"", u""},
        {u"张三", u"张三"},
        {u"<script>alert(1)</script>", u"&lt;script&gt;alert(1)&lt;/script&gt;"},
        {u"a&amp;", u"a&amp;amp;"},
        {u"<b a='1'>", u"&lt;b a=&#39;1&#39;&gt;"},
        {u"x\"y", u"x&quot;y"},
        {std::u16string(1, u'\xD800') + u"&", std::u16string(1, u'\xD800') + u"&amp;"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EscapeHtml(c.text), c.escaped) << ToUtf8(c.text);
    }
}

TEST(DecodeHtmlText, ReadsTheReferencesItKnowsAndKeepsTheRest) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"a&amp;b&lt;c&gt;&quot;&apos;&#39;", u"a&b<c>\"''"},
        {u"&#x4E2D;&#20013;&nbsp;&yen;", u"中中\u00A0¥"},
        {u"&#x1F600;", u"\U0001F600"},
        {u"&copy; &amp &#xD800; &#1114112; &#; &#x; & ;", u"&copy; &amp &#xD800; &#1114112; &#; &#x; & ;"},
        {u"&#0000000000039;", u"&#0000000000039;"},
    };
    for (const auto& [text, decoded] : cases) {
        EXPECT_EQ(DecodeHtmlText(text), decoded) << ToUtf8(text);
    }
}

TEST(HtmlTags, FindTagsAttributesClassesAndContent) {
    const std::u16string html = u"<dlx><DL class=\"item  x\" data-id='7' title=a&amp;b checked>"
                                u"<dl class=item>in</dl> out</dl><a href=\"x>y\">z</a><p class=items>";
    const HtmlTag dl = FindHtmlTag(html, u"dl");
    ASSERT_TRUE(dl.found());
    EXPECT_EQ(dl.offset, 5u);
    EXPECT_EQ(HtmlAttribute(dl.text, u"DATA-ID"), u"7");
    EXPECT_EQ(HtmlAttribute(dl.text, u"title"), u"a&b");
    EXPECT_EQ(HtmlAttribute(dl.text, u"checked"), u"");
    EXPECT_EQ(HtmlAttribute(dl.text, u"href"), std::nullopt);
    EXPECT_TRUE(HtmlHasClass(dl.text, u"item"));
    EXPECT_TRUE(HtmlHasClass(dl.text, u"x"));
    EXPECT_FALSE(HtmlHasClass(dl.text, u"ite"));
    EXPECT_FALSE(HtmlHasClass(FindHtmlTag(html, u"p").text, u"item"));
    EXPECT_EQ(HtmlElementContent(html, dl), u"<dl class=item>in</dl> out");
    const HtmlTag link = FindHtmlTag(html, u"a");
    EXPECT_EQ(HtmlAttribute(link.text, u"href"), u"x>y");
    EXPECT_EQ(HtmlElementContent(html, link), u"z");
    EXPECT_EQ(HtmlElementContent(u"<b>open", FindHtmlTag(u"<b>open", u"b")), u"open");
    EXPECT_FALSE(FindHtmlTag(html, u"table").found());
}

TEST(HtmlText, IsTheTextAReaderSees) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"<span class=H>连衣裙</span> 女\n 夏&amp;秋", u"连衣裙 女 夏&秋"},
        {u"  a<script>x<y</script><style>p{}</style><!-- c -->b&nbsp; ", u"ab"},
        {u"&lt;b&gt; stays text", u"<b> stays text"},
        {u"<a title=\"x>y\">t</a>", u"t"},
        {u"<unclosed", u""},
    };
    for (const auto& [html, text] : cases) {
        EXPECT_EQ(HtmlText(html), text) << ToUtf8(html);
    }
}

} // namespace
TEST(DrawnMarkup, LeavesOutWhatThePageNeverDraws) {
    const struct {
        std::u16string html;
        std::u16string drawn;
    } cases[] = {
        {u"<p class=a>x</p>", u"<p class=a>x</p>"},
        {u"<script>var t='<a href=\"//item.taobao.com/item.htm?id=1\">';</script><b>y</b>", u"<b>y</b>"},
        {u"a<!-- <a href=x> -->b<template><a href=y></a></template>c<style>.t{}</style>", u"abc"},
        {u"<p>unclosed<script>var a='", u"<p>unclosed"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DrawnMarkup(c.html), c.drawn) << ToUtf8(c.html);
    }
}

} // namespace tarvisk
