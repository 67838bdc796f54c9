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

} // namespace
} // namespace tarvisk
