#include "net/response_text.h"

#include <string>

#include <gtest/gtest.h>

namespace tarvisk {
namespace {

// "查询" in GBK, and the same page text in UTF-8.
const std::string kGbkWords = "\xB2\xE9\xD1\xAF";
const std::string kUtf8Words = "\xE6\x9F\xA5\xE8\xAF\xA2";

struct CharsetCase {
    const char* what;
    std::string contentType;
    std::string body;
    std::string charset;
};

class DeclaredCharsetTest : public ::testing::TestWithParam<CharsetCase> {};

TEST_P(DeclaredCharsetTest, FindsTheCharset) {
    const CharsetCase& c = GetParam();
    EXPECT_EQ(DeclaredCharset(c.contentType, c.body), c.charset) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Sources, DeclaredCharsetTest,
    ::testing::Values(
        CharsetCase{"header", "text/html; charset=GBK", "", "gbk"},
        CharsetCase{"header without blank", "text/html;charset=utf-8", "", "utf-8"},
        CharsetCase{"quoted header value", "text/html; charset=\"GB2312\"", "", "gb2312"},
        CharsetCase{"blanks around =", "text/html; charset = gb18030", "", "gb18030"},
        CharsetCase{"other parameters first", "text/html; q=1; Charset=GBK", "", "gbk"},
        CharsetCase{"no charset anywhere", "text/html", "<html><body>x</body></html>", ""},
        CharsetCase{"no header at all", "", "plain", ""},
        CharsetCase{"meta charset attribute", "text/html", "<head><meta charset=\"gbk\"></head>", "gbk"},
        CharsetCase{"meta http-equiv", "text/html",
                    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=GB2312\">", "gb2312"},
        CharsetCase{"meta single quotes", "", "<meta charset='utf-8'>", "utf-8"},
        CharsetCase{"header wins over meta", "text/html; charset=utf-8", "<meta charset=\"gbk\">", "utf-8"},
        CharsetCase{"empty header charset falls back to meta", "text/html; charset=", "<meta charset=gbk>", "gbk"},
        CharsetCase{"the first meta that names one", "",
                    "<meta name=\"keywords\" content=\"x\"><meta charset=\"gbk\"><meta charset=\"utf-8\">", "gbk"},
        CharsetCase{"a meta tag cannot make an ASCII page UTF-16", "", "<meta charset=\"UTF-16LE\">", "utf-8"},
        CharsetCase{"the header may say UTF-16", "text/html; charset=utf-16le", "", "utf-16le"},
        CharsetCase{"charset outside a meta tag is no declaration", "", "<p>charset=gbk</p>", ""},
        CharsetCase{"meta beyond the first 2048 bytes", "", std::string(2048, ' ') + "<meta charset=\"gbk\">", ""},
        CharsetCase{"meta cut by the 2048 byte limit", "", std::string(2030, ' ') + "<meta charset=\"gbk\">", ""},
        CharsetCase{"charset in the media type is no parameter", "charset=gbk", "", ""}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

struct TextCase {
    const char* what;
    std::string contentType;
    std::string body;
    std::u16string text;
};

class ResponseTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(ResponseTextTest, DecodesInTheDeclaredCharset) {
    const TextCase& c = GetParam();
    EXPECT_EQ(ResponseText(c.contentType, c.body), c.text) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Charsets, ResponseTextTest,
    ::testing::Values(TextCase{"GBK by header", "text/html; charset=gbk", "A" + kGbkWords, u"A查询"},
                      TextCase{"GB2312 label read as GBK", "text/html; charset=gb2312", kGbkWords, u"查询"},
                      TextCase{"GB18030", "text/plain; charset=GB18030", kGbkWords, u"查询"},
                      TextCase{"UTF-8 by header", "text/html; charset=UTF-8", kUtf8Words, u"查询"},
                      TextCase{"undeclared is UTF-8", "text/html", kUtf8Words, u"查询"},
                      // B2 E9 is no UTF-8; D1 AF happens to be U+046F.
                      TextCase{"undeclared GBK bytes are not guessed", "text/html", kGbkWords, u"\uFFFD\uFFFD\u046F"},
                      TextCase{"meta declares GBK", "text/html", "<meta charset=gbk>" + kGbkWords,
                               u"<meta charset=gbk>查询"},
                      TextCase{"unknown charset reads as UTF-8", "text/html; charset=x-none", kUtf8Words, u"查询"},
                      TextCase{"empty body", "text/html; charset=gbk", "", u""}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

} // namespace
} // namespace tarvisk
