#include "text/encoding.h"

#include <cerrno>
#include <random>
#include <string>

#include <gtest/gtest.h>
#include <iconv.h>

namespace tarvisk {
namespace {

struct TextCase {
    std::u16string input;
    std::u16string expected;
};

TEST(UrlEncodeUtf8, EscapesEveryUnitButLettersDigitsAndThreeMarks) {
    const TextCase cases[] = {
        {u"a b", u"a%20b"},
        {u"Ab9-._~", u"Ab9-._%7E"},
        {u"\t", u"%09"},
        {u"", u""},
        {u"é", u"%C3%A9"},
        {u"\u0800", u"%E0%A0%80"},
        {u"\uFFFF", u"%EF%BF%BF"},
        {u"中", u"%E4%B8%AD"},
        {u"+&=?", u"%2B%26%3D%3F"},
        // Each surrogate half on its own, paired or not.
        {u"\xD83D", u"%ED%A0%BD"},
        {u"\U0001F600", u"%ED%A0%BD%ED%B8%80"},
        {std::u16string(1, u'\0'), u"%00"},
    };
    for (const TextCase& c : cases)
        EXPECT_EQ(ToUtf8(UrlEncodeUtf8(c.input)), ToUtf8(c.expected)) << ToUtf8(c.input);
}

TEST(UrlEncodeGbk, KeepsOnlyLettersAndEscapesGbkBytes) {
    const TextCase cases[] = {
        {u"ab-1", u"ab%2D%31"},
        {u"查", u"%B2%E9"},
        {u"", u""},
        {u"Zz 9_.", u"Zz%20%39%5F%2E"},
        {u"tb查询", u"tb%B2%E9%D1%AF"},
        {u"é", u"%A8%A6"},
        // The euro sign is the single byte 0x80 in code page 936.
        {u"€", u"%80"},
        // Nothing that code page 936 cannot hold is dropped: it is sent as "?".
        {u"\u30FB", u"%3F"},
        {u"\xD800", u"%3F"},
        {u"a\U0001F600b", u"a%3F%3Fb"},
    };
    for (const TextCase& c : cases)
        EXPECT_EQ(ToUtf8(UrlEncodeGbk(c.input)), ToUtf8(c.expected)) << ToUtf8(c.input);
}

TEST(UnescapeText, DecodesPercentAndJsonEscapes) {
    const TextCase cases[] = {
        {u"\\u4e2d\\u6587", u"中文"},
        {u"%u4E2D", u"中"},
        {u"x%u4E2", u"xu4E2"},
        {u"100%", u"100%"},
        {u"50%zz!", u"50zz!"},
        {u"a\\/b", u"a/b"},
        {u"a\\\"b", u"a\"b"},
        {u"%uZZZZ", u"%uZZZZ"},
        {u"%41", u"A"},
        {u"%e4%B8%aD", u"\u00E4\u00B8\u00AD"},
        {u"%u00e9", u"é"},
        // "%U" is not the "%u" form; "%U4" is no hexadecimal number, so only the "%" goes.
        {u"%U4E2D", u"U4E2D"},
        // Only hexadecimal digits count: a blank or a sign is not one.
        {u"% 1", u" 1"},
        {u"%+1x", u"+1x"},
        {u"%%41", u"A"},
        {u"%4", u"%4"},
        {u"", u""},
    };
    for (const TextCase& c : cases)
        EXPECT_EQ(ToUtf8(UnescapeText(c.input)), ToUtf8(c.expected)) << ToUtf8(c.input);
}

struct BytesCase {
    std::string bytes;
    std::u16string expected;
};

TEST(DecodeGbkBytes, TakesEveryHighByteWithTheNextOne) {
    const BytesCase cases[] = {
        {"\x41\xB2\xE9\x42", u"A查B"},
        {"", u""},
        {"\xA1\xA1", u"\u3000"},
        {"\x81\x40", u"\u4E02"},
        // A lead byte cut off at the end keeps what came before it.
        {"\x41\xB2", u"A\uFFFD"},
        {"\xB2", u"\uFFFD"},
        // 0x80 and 0xFF start no GBK pair, yet they take their trail byte: one U+FFFD for both.
        {"\x80\x41Z", u"\uFFFDZ"},
        {"\xFF\x42Z", u"\uFFFDZ"},
        // An undefined pair is one U+FFFD, and the walk stays in step.
        {"\x81\x30\xB2\xE9", u"\uFFFD查"},
    };
    for (const BytesCase& c : cases)
        EXPECT_EQ(ToUtf8(DecodeGbkBytes(c.bytes)), ToUtf8(c.expected)) << c.bytes.size() << " bytes";
}

// The decoders widen ASCII in blocks: every case must read the same after ASCII runs of any length,
// which put its bytes at every place of a block.
TEST(DecodeGbkBytes, ReadsTheSameAfterAsciiRunsOfAnyLength) {
    for (std::size_t run = 0; run <= 40; ++run) {
        const std::string ascii(run, 'a');
        EXPECT_EQ(DecodeGbkBytes(ascii + "\x41\xB2\xE9\x42\x81\x30" + ascii + "\xB2"),
                  FromUtf8(ascii) + u"A查B\uFFFD" + FromUtf8(ascii) + u"\uFFFD")
            << run;
    }
}

TEST(DecodeGbkBytes, ReadsBackWhatEncodeGbkWrote) {
    const std::u16string text = u"淘宝 seller 查询，好评率：99.5%【个人认证】";
    EXPECT_EQ(DecodeGbkBytes(EncodeGbk(text)), text);
}

TEST(DecodeUtf8Bytes, ReplacesEachBrokenSequence) {
    const BytesCase cases[] = {
        {"", u""},
        {"a\xE4\xB8\xAD", u"a中"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"},
        {"a\xE4\xB8", u"a\uFFFD"},
        {"a\xE4\xB8z", u"a\uFFFDz"},
        {"\xC0\x80", u"\uFFFD\uFFFD"},
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"\x80x", u"\uFFFDx"},
        {"\xFE\xFF", u"\uFFFD\uFFFD"},
        {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    };
    for (const BytesCase& c : cases)
        EXPECT_EQ(DecodeUtf8Bytes(c.bytes), c.expected) << c.bytes;
}

TEST(DecodeUtf8Bytes, ReadsTheSameAfterAsciiRunsOfAnyLength) {
    for (std::size_t run = 0; run <= 40; ++run) {
        const std::string ascii(run, 'a');
        EXPECT_EQ(DecodeUtf8Bytes(ascii + "\xE4\xB8\xAD" + ascii + "\xF0\x9F\x98\x80\xC0" + ascii + "\xE4\xB8"),
                  FromUtf8(ascii) + u"中" + FromUtf8(ascii) + u"\U0001F600\uFFFD" + FromUtf8(ascii) + u"\uFFFD")
            << run;
    }
}

/// GBK decoded by iconv itself, a replacement character for each byte it cannot read: how a page
/// that declares GBK must read.
std::u16string IconvGbk(const std::string& bytes) {
    const iconv_t cd = iconv_open("UTF-16LE", "GBK");
    std::u16string text;
    const char* in = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        char buffer[8];
        char* inPtr = const_cast<char*>(in);
        char* out = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t result = iconv(cd, &inPtr, &left, &out, &outLeft);
        for (const char* unit = buffer; unit < out; unit += 2)
            text +=
                static_cast<char16_t>(static_cast<unsigned char>(unit[0]) | static_cast<unsigned char>(unit[1]) << 8);
        in = inPtr;
        if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
            text += u'\uFFFD';
            ++in;
            --left;
        }
    }
    iconv_close(cd);
    return text;
}

TEST(DecodeCharsetBytes, ReadsGbkExactlyAsIconvDoes) {
    // Every byte pair, each followed by a letter that a broken pair must leave readable.
    std::string pairs;
    for (int lead = 0x80; lead <= 0xFF; ++lead) {
        for (int trail = 0; trail <= 0xFF; ++trail) {
            pairs = {static_cast<char>(lead), static_cast<char>(trail), 'A'};
            ASSERT_EQ(DecodeCharsetBytes(pairs, "GBK"), IconvGbk(pairs)) << lead << " " << trail;
        }
    }
    // Random pages: runs of ASCII and of high bytes, a lead byte cut off at the end.
    std::mt19937 random(936);
    for (int page = 0; page < 200; ++page) {
        std::string bytes;
        while (bytes.size() < 300) {
            const bool high = random() % 2 == 0;
            for (std::size_t n = random() % 40; n > 0; --n)
                bytes += static_cast<char>(high ? 0x80 + random() % 0x80 : random() % 0x80);
        }
        for (const char* name : {"gbk", "CP936", "gb2312", "windows-936"})
            ASSERT_EQ(DecodeCharsetBytes(bytes, name), IconvGbk(bytes)) << name << " page " << page;
    }
}

TEST(DecodeCharsetBytes, UsesTheNamedCharset) {
    struct Case {
        std::string bytes;
        std::string charset;
        std::u16string expected;
    };
    const Case cases[] = {
        {"\xB2\xE9", "GBK", u"查"},
        {"\xB2\xE9", "gb2312", u"查"},
        // Pages labelled GB2312 use GBK characters outside it.
        {"\x81\x40", "GB2312", u"\u4E02"},
        {"\xB2\xE9", "gb18030", u"查"},
        {"caf\xE9", "ISO-8859-1", u"café"},
        {"\xE4\xB8\xAD", "Utf-8", u"中"},
        {"\xE4\xB8\xAD", "no-such-charset", u"中"},
        {"\xE4\xB8\xAD", "", u"中"},
        {"A\xB2", "gbk", u"A\uFFFD"},
        {"\xFF\x41", "gbk", u"\uFFFDA"},
        // Read as the code page reads it: 0x80 alone is the euro sign, a broken pair loses one byte.
        {"\x80\xB2\xE9", "cp936", u"€查"},
        {"\x81\x30\xB2\xE9", "GBK", u"\uFFFD0查"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ToUtf8(DecodeCharsetBytes(c.bytes, c.charset)), ToUtf8(c.expected)) << c.charset;
}

TEST(EncodeGbk, WritesQuestionMarksForWhatGbkCannotHold) {
    const std::pair<std::u16string, std::string> cases[] = {
        {u"查A", "\xB2\xE9"
                 "A"},
        {u"", ""},
        {u"€", "\x80"},
        {u"a\U0001F600b", "a?b"},
        {u"\xD800z", "?z"},
        {u"\xDC00\xD800", "??"},
    };
    for (const auto& [text, bytes] : cases)
        EXPECT_EQ(EncodeGbk(text), bytes) << ToUtf8(text);
}

TEST(Utf8, ConvertsBothWays) {
    const std::u16string text = u"ab中\U0001F600";
    EXPECT_EQ(ToUtf8(text), "ab\xE4\xB8\xAD\xF0\x9F\x98\x80");
    EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
    EXPECT_EQ(ToUtf8(u"a\xD800"), "a?");
    EXPECT_EQ(ToUtf8(u"\xDE00x"), "?x");
    EXPECT_EQ(FromUtf8("\xFF"), u"\uFFFD");
}

} // namespace
} // namespace tarvisk
