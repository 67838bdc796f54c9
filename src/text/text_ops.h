#pragma once

#include <string>
#include <string_view>
#include <vector>

// The small text operations every layer shares, with the semantics of the string functions the
// program was first written with: letter case is ASCII only, and "blank" means what each
// function says (U+0020 alone unless named). Each has a UTF-16 form for page and window text and
// a byte form for headers, file names and the demo marketplace.

namespace tarvisk {

/// ASCII letters lower-cased; every other unit unchanged.
std::u16string LowerAscii(std::u16string text);
std::string LowerAscii(std::string text);

/// Equal when lower-cased by LowerAscii.
bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

/// Every occurrence of `from` (not empty), left to right without overlap, replaced by `to`.
std::u16string ReplaceAll(std::u16string_view text, std::u16string_view from, std::u16string_view to);
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

/// The pieces between separators; n separators give n + 1 pieces, empty ones included.
std::vector<std::u16string> SplitAt(std::u16string_view text, std::u16string_view separator);
std::vector<std::string> SplitAt(std::string_view text, std::string_view separator);

/// The position of the first `needle` in `text` at or after `from`, npos when there is none: what
/// std::u16string_view::find gives, found several units at a time, for searches over whole pages.
std::size_t FindText(std::u16string_view text, std::u16string_view needle, std::size_t from = 0);

/// Removes leading and trailing units found in `blanks` (by default the blank U+0020 alone, so
/// tabs stay). TrimBlanks(u"  a b ") == u"a b".
std::u16string TrimBlanks(std::u16string_view text, std::u16string_view blanks = u" ");
std::string_view TrimBlanks(std::string_view text, std::string_view blanks = " ");

/// `text` safe to print on a terminal: every C0 control character (U+0000 to U+001F), DEL and C1 control
/// character (U+0080 to U+009F) becomes U+FFFD, except the tab, the line feed, and a carriage return
/// directly before a line feed, which only lay out lines; so does every bidirectional control (U+061C, U+200E,
/// U+200F, U+202A to U+202E, U+2066 to U+2069). A page's text can then never send an escape sequence (a colour, a
/// cursor move, a clipboard write) to the terminal that shows it, nor turn around what the terminal shows.
std::u16string ReplaceControlCharacters(std::u16string_view text);

/// The lines of a pasted or read list (account names, keywords), one entry a line: each trimmed of spaces, tabs and
/// CRs, blank lines and repeated entries dropped, in the order first seen. u" a \r\n\r\nb\na" gives {u"a", u"b"}.
std::vector<std::u16string> DistinctLines(std::u16string_view text);

} // namespace tarvisk
