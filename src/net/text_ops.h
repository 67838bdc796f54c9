#pragma once

#include <string>
#include <string_view>
#include <vector>

// Small text operations the request routines share, with the semantics of the string functions
// the routines were first written with: blanks are U+0020 only, letter case is ASCII.

namespace tarvisk::net {

/// ASCII letters lower-cased; every other unit unchanged.
std::u16string LowerAscii(std::u16string text);
/// Equal when lower-cased by LowerAscii.
bool EqualsIgnoringCase(const std::u16string& a, const std::u16string& b);
/// The same for bytes: ASCII letters compare without regard to case.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);
/// Every occurrence of `from` (not empty), left to right without overlap, replaced by `to`.
std::u16string ReplaceAll(const std::u16string& text, const std::u16string& from, const std::u16string& to);
/// The pieces between separators; n separators give n + 1 pieces, empty ones included.
std::vector<std::u16string> SplitAt(const std::u16string& text, const std::u16string& separator);
/// Removes leading and trailing blanks (U+0020 only, tabs stay).
std::u16string TrimBlanks(const std::u16string& text);

} // namespace tarvisk::net
