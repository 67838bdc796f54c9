#pragma once

#include <string>
#include <string_view>

#include "core/utf8.h"

// Texts are UTF-16 inside the program; bytes come from the wire, the settings file (code page
// 936) and the terminal (UTF-8). None of these routines throws or fails on any input.

namespace tarvisk {

/// Percent-encodes each UTF-16 code unit as UTF-8 bytes (no four-byte form: each surrogate half
/// is encoded on its own); letters, digits, "-", "." and "_" stay. u"中" gives u"%E4%B8%AD".
std::u16string UrlEncodeUtf8(const std::u16string& text);

/// Percent-encodes a text in GBK (code page 936) bytes; only ASCII letters stay unescaped.
/// u"ab-1" gives u"ab%2D%31", u"查" gives u"%B2%E9". A character GBK cannot hold becomes "?".
std::u16string UrlEncodeGbk(const std::u16string& text);

/// Undoes "%uXXXX" and "%XX" escapes, and JSON backslash escapes through them
/// (every backslash is first read as "%"). u"\\u4e2d" gives u"中", u"a\\/b" gives u"a/b".
std::u16string UnescapeText(const std::u16string& text);

/// Reads the percent escapes of a query value as UTF-8 bytes, and "+" as a space, as a page's own
/// encodeURIComponent wrote them: u"%E4%B8%AD+a%2Fb" gives u"中 a/b". A "%" without two hex digits stays.
std::u16string UrlDecodeUtf8(std::u16string_view text);

/// Decodes GBK bytes; every byte from 0x80 up starts a two-byte character. A pair that GBK
/// does not define gives U+FFFD; a lead byte cut off at the end gives a final U+FFFD.
std::u16string DecodeGbkBytes(const std::string& bytes);

/// Decodes UTF-8 bytes; invalid sequences give U+FFFD.
std::u16string DecodeUtf8Bytes(const std::string& bytes);

/// Decodes bytes in a named charset (GBK, GB2312, GB18030, UTF-8, ISO-8859-1 ... as iconv
/// knows them, letter case ignored); an unknown charset decodes as UTF-8.
std::u16string DecodeCharsetBytes(const std::string& bytes, const std::string& charset);

/// True when `bytes` is UTF-8 throughout: every byte belongs to a well-formed character (no overlong form, no
/// surrogate, nothing cut off).
bool IsValidUtf8(std::string_view bytes);

/// True when `bytes` is GBK (code page 936) throughout: every byte from 0x81 to 0xFE starts a pair the code page
/// defines (0x80 alone is the euro sign).
bool IsValidGbk(std::string_view bytes);

/// Encodes a text as GBK (code page 936) bytes; a character GBK cannot hold becomes "?".
std::string EncodeGbk(const std::u16string& text);

/// UTF-8 to UTF-16 for the terminal, files and tests (invalid input gives U+FFFD); the way back is ToUtf8 of
/// core/utf8.h.
std::u16string FromUtf8(const std::string& text);

} // namespace tarvisk
