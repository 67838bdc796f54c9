#include "text/encoding.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cctype>
#include <memory>

#include <iconv.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "text/text_ops.h"

namespace tarvisk {

namespace {

constexpr char16_t kReplacement = u'\uFFFD';
constexpr char16_t kEuroSign = u'\u20AC';
constexpr char kHexDigits[] = "0123456789ABCDEF";

/// An iconv descriptor that closes itself; invalid when the conversion is unknown.
class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Converter() {
        if (valid())
            iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    /// Converts as much of [in, in + size) as possible into `out`; returns the iconv result and
    /// leaves errno as iconv set it. The shift state is reset first.
    std::size_t convert(const char*& in, std::size_t& size, std::string& out) const {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        std::size_t result = 0;
        do {
            char buffer[4096];
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            char* inPtr = const_cast<char*>(in);
            result = iconv(m_cd, &inPtr, &size, &outPtr, &outLeft);
            const int error = errno;
            out.append(buffer, outPtr);
            in = inPtr;
            errno = error;
        } while (result == static_cast<std::size_t>(-1) && errno == E2BIG);
        return result;
    }

private:
    iconv_t m_cd;
};

std::u16string fromUtf16Le(const std::string& bytes) {
    std::u16string text(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                        static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    return text;
}

void appendPercentByte(std::u16string& out, unsigned value) {
    out += u'%';
    out += static_cast<char16_t>(kHexDigits[(value >> 4) & 0xF]);
    out += static_cast<char16_t>(kHexDigits[value & 0xF]);
}

bool isAsciiLetter(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}
bool isHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool isLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

int hexValue(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

/// The value of `count` hexadecimal digits at text[at], or -1 when one of them is not a digit.
long hexNumber(const std::u16string& text, std::size_t at, std::size_t count) {
    long value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        const int digit = hexValue(text[i]);
        if (digit < 0)
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

/// Code page 936 double-byte codes 0x8000..0xFFFF to UTF-16, U+FFFD where the code page has no
/// character. Built once from iconv so every pair decodes at the cost of a lookup.
using GbkTable = std::array<char16_t, 0x8000>;

std::unique_ptr<GbkTable> buildGbkTable() {
    auto table = std::make_unique<GbkTable>();
    table->fill(kReplacement);
    const Converter converter("UTF-16LE", "CP936");
    if (!converter.valid())
        return table;
    std::string pairs;
    std::string out;
    // 0x80 and 0xFF are single bytes (or nothing) to iconv, never the start of a pair. The pairs
    // of one lead byte go through iconv together; it stops at each pair it refuses, which is
    // skipped, and every pair it takes gives one UTF-16 unit.
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
        pairs.clear();
        for (unsigned trail = 0; trail <= 0xFF; ++trail) {
            pairs += static_cast<char>(lead);
            pairs += static_cast<char>(trail);
        }
        const char* in = pairs.data();
        std::size_t size = pairs.size();
        while (size > 0) {
            const std::size_t first = static_cast<std::size_t>(in - pairs.data());
            out.clear();
            const bool refused = converter.convert(in, size, out) == static_cast<std::size_t>(-1);
            const std::size_t taken = static_cast<std::size_t>(in - pairs.data()) - first;
            if (taken % 2 == 0 && out.size() == taken) {
                const std::u16string units = fromUtf16Le(out);
                for (std::size_t k = 0; k < units.size(); ++k)
                    (*table)[(lead - 0x80) << 8 | (first / 2 + k)] = units[k];
            }
            if (!refused)
                break;
            // The refused pair (or what is left of it) stays a replacement character.
            const std::size_t skip = std::min<std::size_t>(2 - taken % 2, size);
            in += skip;
            size -= skip;
        }
    }
    return table;
}

const GbkTable& gbkDecodeTable() {
    static const std::unique_ptr<GbkTable> table = buildGbkTable();
    return *table;
}

/// The code page 936 bytes of one UTF-16 code unit; empty when the code page cannot hold it.
std::string gbkBytesOf(char16_t unit) {
    thread_local const Converter converter("CP936", "UTF-16LE");
    std::string out;
    if (unit < 0x80)
        return out.assign(1, static_cast<char>(unit));
    if (!converter.valid() || isHighSurrogate(unit) || isLowSurrogate(unit))
        return out;
    const char in[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    const char* ptr = in;
    std::size_t size = 2;
    if (converter.convert(ptr, size, out) == static_cast<std::size_t>(-1) || size != 0)
        out.clear();
    return out;
}

/// The length of the UTF-8 sequence that `lead` starts, or 0 when no sequence starts with it.
std::size_t utf8Length(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

/// True when `next` may follow `lead` as the second byte of a sequence: E0, ED, F0 and F4 allow
/// a narrower range (no overlong forms, no surrogates, nothing above U+10FFFF).
bool utf8SecondByteFits(unsigned char lead, unsigned char next) {
    if ((next & 0xC0) != 0x80)
        return false;
    switch (lead) {
    case 0xE0:
        return next >= 0xA0;
    case 0xED:
        return next <= 0x9F;
    case 0xF0:
        return next >= 0x90;
    case 0xF4:
        return next <= 0x8F;
    default:
        return true;
    }
}

/// How many bytes at bytes[i] form one character, or one broken character (the longest start of
/// a valid sequence, at least one byte); `code` receives the code point, or U+FFFD.
std::size_t utf8Character(const std::string& bytes, std::size_t i, char32_t& code) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = byte(i);
    const std::size_t length = utf8Length(lead);
    code = kReplacement;
    if (length == 0)
        return 1;
    if (i + 1 >= bytes.size() || !utf8SecondByteFits(lead, byte(i + 1)))
        return 1;
    char32_t value = lead & (0x7F >> length);
    std::size_t k = 1;
    for (; k < length && i + k < bytes.size() && (byte(i + k) & 0xC0) == 0x80; ++k)
        value = value << 6 | (byte(i + k) & 0x3F);
    if (k == length)
        code = value;
    return k;
}

/// Collects converted text through a small buffer into storage reserved once, so every unit is
/// written to the text once and the storage is touched only as far as it is filled.
template <typename Text> class ChunkWriter {
public:
    using Unit = typename Text::value_type;

    explicit ChunkWriter(std::size_t reserved) { m_text.reserve(reserved); }

    /// Room for `units` more units (at most kChunk), to be confirmed with wrote().
    Unit* room(std::size_t units) {
        if (m_used + units > kChunk)
            flush();
        return m_chunk + m_used;
    }
    void wrote(std::size_t units) { m_used += units; }
    void put(Unit unit) {
        *room(1) = unit;
        ++m_used;
    }
    Text finish() {
        flush();
        return std::move(m_text);
    }

private:
    static constexpr std::size_t kChunk = 2048;

    void flush() {
        m_text.append(m_chunk, m_used);
        m_used = 0;
    }

    Text m_text;
    Unit m_chunk[kChunk];
    std::size_t m_used = 0;
};

/// Decoded text: never more UTF-16 units than the bytes it was decoded from.
using TextWriter = ChunkWriter<std::u16string>;

/// One code point as UTF-16, a surrogate pair above U+FFFF.
void putUtf16(TextWriter& out, char32_t code) {
    if (code < 0x10000) {
        out.put(static_cast<char16_t>(code));
    } else {
        code -= 0x10000;
        out.put(static_cast<char16_t>(0xD800 | (code >> 10)));
        out.put(static_cast<char16_t>(0xDC00 | (code & 0x3FF)));
    }
}

/// Widens the run of ASCII bytes that starts at bytes[i] into `out`; returns the index after the
/// run. Pages are mostly ASCII, so whole blocks are tested and widened at once where the processor
/// has vector instructions.
std::size_t widenAscii(const std::string& bytes, std::size_t i, TextWriter& out) {
    const auto* from = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
#if defined(__SSE2__)
    constexpr std::size_t kBlock = sizeof(__m128i);
    const __m128i zero = _mm_setzero_si128();
    for (; i + kBlock <= n; i += kBlock) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
        if (_mm_movemask_epi8(block) != 0)
            break;
        auto* to = reinterpret_cast<__m128i*>(out.room(kBlock));
        _mm_storeu_si128(to, _mm_unpacklo_epi8(block, zero));
        _mm_storeu_si128(to + 1, _mm_unpackhi_epi8(block, zero));
        out.wrote(kBlock);
    }
#endif
    for (; i < n && from[i] < 0x80; ++i)
        out.put(from[i]);
    return i;
}

/// Decodes `bytes`: runs of ASCII widened as blocks, every other character by `decodeOne`(i, out),
/// which writes the character that starts at bytes[i] and returns how many bytes it took.
template <typename DecodeOne> std::u16string decodeBytes(const std::string& bytes, DecodeOne decodeOne) {
    TextWriter out(bytes.size());
    for (std::size_t i = widenAscii(bytes, 0, out); i < bytes.size(); i = widenAscii(bytes, i, out))
        i += decodeOne(i, out);
    return out.finish();
}

/// GBK as iconv's code page 936 reads it, at the cost of a table lookup a pair: 0x80 is the euro
/// sign; a pair the code page lacks, a lone 0xFF and a lead byte cut off at the end each give
/// U+FFFD, and the byte after such a lead byte is read on its own.
std::u16string decodeCp936(const std::string& bytes) {
    const GbkTable& table = gbkDecodeTable();
    return decodeBytes(bytes, [&](std::size_t i, TextWriter& out) -> std::size_t {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead == 0x80) {
            out.put(kEuroSign);
            return 1;
        }
        const char16_t pair = lead < 0xFF && i + 1 < bytes.size()
                                  ? table[(lead - 0x80) << 8 | static_cast<unsigned char>(bytes[i + 1])]
                                  : kReplacement;
        out.put(pair);
        return pair != kReplacement ? 2 : 1;
    });
}

} // namespace

std::u16string UrlEncodeUtf8(const std::u16string& text) {
    std::u16string out;
    out.reserve(text.size() * 3);
    for (const char16_t c : text) {
        if (c < 0x80) {
            if (isAsciiLetter(c) || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.' || c == u'_')
                out += c;
            else
                appendPercentByte(out, c);
        } else if (c < 0x800) {
            appendPercentByte(out, 0xC0 | c >> 6);
            appendPercentByte(out, 0x80 | (c & 0x3F));
        } else {
            // Each surrogate half is a code unit of its own here, as the marketplace expects.
            appendPercentByte(out, 0xE0 | c >> 12);
            appendPercentByte(out, 0x80 | (c >> 6 & 0x3F));
            appendPercentByte(out, 0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string UrlEncodeGbk(const std::u16string& text) {
    std::u16string out;
    out.reserve(text.size() * 3);
    for (const char16_t c : text) {
        if (isAsciiLetter(c)) {
            out += c;
            continue;
        }
        const std::string bytes = gbkBytesOf(c);
        // A unit the code page cannot hold (a lone surrogate, a character outside GBK) is sent as
        // the code page's default character "?", as the system conversion does.
        if (bytes.empty())
            appendPercentByte(out, '?');
        for (const char byte : bytes)
            appendPercentByte(out, static_cast<unsigned char>(byte));
    }
    return out;
}

std::u16string UrlDecodeUtf8(std::u16string_view text) {
    const auto hexValue = [](char c) {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        const char lower = static_cast<char>(c | 0x20);
        return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
    };
    const std::string bytes = ToUtf8(std::u16string(text));
    std::string decoded;
    decoded.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '%' && i + 2 < bytes.size()) {
            const int first = hexValue(bytes[i + 1]);
            const int second = hexValue(bytes[i + 2]);
            if (first >= 0 && second >= 0) {
                decoded.push_back(static_cast<char>(first * 16 + second));
                i += 2;
                continue;
            }
        }
        decoded.push_back(bytes[i] == '+' ? ' ' : bytes[i]);
    }
    return DecodeUtf8Bytes(decoded);
}

std::u16string UnescapeText(const std::u16string& source) {
    std::u16string text = source;
    for (char16_t& c : text) {
        if (c == u'\\')
            c = u'%';
    }
    std::u16string out;
    out.reserve(text.size());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (text[i] == u'%' && i + 1 < n && text[i + 1] == u'u' && i + 5 < n) {
            const long value = hexNumber(text, i + 2, 4);
            if (value >= 0) {
                out += static_cast<char16_t>(value);
                i += 5;
            } else {
                out += u'%';
            }
        } else if (text[i] == u'%' && i + 2 < n) {
            const long value = hexNumber(text, i + 1, 2);
            if (value >= 0) {
                out += static_cast<char16_t>(value);
                i += 2;
            }
            // Otherwise the "%" is dropped and what follows it is read normally.
        } else {
            out += text[i];
        }
    }
    return out;
}

std::u16string DecodeGbkBytes(const std::string& bytes) {
    const GbkTable& table = gbkDecodeTable();
    return decodeBytes(bytes, [&](std::size_t i, TextWriter& out) -> std::size_t {
        if (i + 1 == bytes.size()) {
            // A lead byte cut off at the end: keep everything before it and mark the loss.
            out.put(kReplacement);
            return 1;
        }
        // Every byte from 0x80 up takes the next byte with it, whatever that byte is.
        out.put(table[(static_cast<unsigned char>(bytes[i]) - 0x80) << 8 | static_cast<unsigned char>(bytes[i + 1])]);
        return 2;
    });
}

std::u16string DecodeUtf8Bytes(const std::string& bytes) {
    return decodeBytes(bytes, [&](std::size_t i, TextWriter& out) {
        char32_t code = 0;
        const std::size_t length = utf8Character(bytes, i, code);
        putUtf16(out, code);
        return length;
    });
}

std::u16string DecodeCharsetBytes(const std::string& bytes, const std::string& charset) {
    std::string name = LowerAscii(charset);
    // iconv reads an empty name as the locale's charset; a page that names none is read as UTF-8.
    if (name.empty() || name == "utf-8" || name == "utf8")
        return DecodeUtf8Bytes(bytes);
    // Pages that say GB2312 are written in its superset GBK, as browsers read them.
    if (name == "gbk" || name == "cp936" || name == "ms936" || name == "windows-936" || name == "gb13000" ||
        name == "gb2312" || name == "x-gbk")
        return decodeCp936(bytes);
    const Converter converter("UTF-16LE", name.c_str());
    if (!converter.valid())
        return DecodeUtf8Bytes(bytes);
    std::string utf16;
    const char* in = bytes.data();
    std::size_t size = bytes.size();
    while (size > 0) {
        if (converter.convert(in, size, utf16) != static_cast<std::size_t>(-1))
            break;
        // An invalid or cut-off sequence: mark it and go on after its first byte.
        utf16 += "\xFD\xFF";
        ++in;
        --size;
    }
    return fromUtf16Le(utf16);
}

bool IsValidUtf8(std::string_view bytes) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
    for (std::size_t i = 0; i < bytes.size();) {
        const unsigned char lead = byte(i);
        const std::size_t length = lead < 0x80 ? 1 : utf8Length(lead);
        if (length == 0 || i + length > bytes.size() || (length > 1 && !utf8SecondByteFits(lead, byte(i + 1)))) {
            return false;
        }
        for (std::size_t k = 2; k < length; ++k) {
            if ((byte(i + k) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

bool IsValidGbk(std::string_view bytes) {
    const GbkTable& table = gbkDecodeTable();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead <= 0x80) {
            continue;
        }
        if (lead == 0xFF || i + 1 == bytes.size() ||
            table[(lead - 0x80) << 8 | static_cast<unsigned char>(bytes[i + 1])] == kReplacement) {
            return false;
        }
        ++i;
    }
    return true;
}

std::string EncodeGbk(const std::u16string& text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::string bytes = gbkBytesOf(text[i]);
        if (!bytes.empty()) {
            out += bytes;
            continue;
        }
        out += '?';
        // A surrogate pair is one character: one "?" for both halves.
        if (isHighSurrogate(text[i]) && i + 1 < text.size() && isLowSurrogate(text[i + 1]))
            ++i;
    }
    return out;
}

std::u16string FromUtf8(const std::string& text) {
    return DecodeUtf8Bytes(text);
}

} // namespace tarvisk
