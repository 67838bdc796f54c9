#include "text/script_text.h"

#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "text/encoding.h"

namespace tarvisk {
namespace {

TEST(JsonpArgument, IsTheArgumentOfTheCallOrThePlainJson) {
    const std::pair<std::u16string, std::optional<std::u16string>> cases[] = {
        {u"mtopjsonp3({\"a\":1})", u"{\"a\":1}"},
        {u" \r\njsonp12( \"x\" );\n", u" \"x\" "},
        {u"/**/ window.cb_1 ([1])", u"[1]"},
        {u"{\"plain\":true}", u"{\"plain\":true}"},
        {u"\"a string\"", u"\"a string\""},
        {u"cb()", std::nullopt},
        {u"cb(1", std::nullopt},
        {u"1cb(1)", std::nullopt},
        {u"cb.(1)", std::nullopt},
        {u"", std::nullopt},
        {u"<html>", std::nullopt},
    };
    for (const auto& [answer, argument] : cases) {
        const std::optional<std::u16string_view> found = JsonpArgument(answer);
        EXPECT_EQ(found ? std::optional<std::u16string>(*found) : std::nullopt, argument) << ToUtf8(answer);
    }
}

TEST(DecodeScriptString, ReadsOneClosedLiteral) {
    const std::pair<std::u16string, std::optional<std::u16string>> cases[] = {
        {u"\"a\\\"b\\u4e2d\\n\"", u"a\"b中\n"},
        {u" '\\'\\x41\\/\\v\\0' ", std::u16string(u"'A/\v") + u'\0'},
        {u"\"line\\\r\nnext\"", u"linenext"},
        {u"\"\"", u""},
        {u"\"a\" + \"b\"", std::nullopt},
        {u"\"unclosed\\\"", std::nullopt},
        {u"\"\\u12\"", std::nullopt},
        {u"'mixed\"", std::nullopt},
        {u"plain", std::nullopt},
    };
    for (const auto& [literal, value] : cases) {
        EXPECT_EQ(DecodeScriptString(literal), value) << ToUtf8(literal);
    }
}

} // namespace
} // namespace tarvisk
