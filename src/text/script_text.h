#pragma once

#include <optional>
#include <string>
#include <string_view>

// Texts written as script: the marketplace's data endpoints answer in JSONP (a call of a function the page
// named, around the data), and some of them put a whole piece of HTML in one script string.

namespace tarvisk {

/// The argument of a JSONP answer: u"mtopjsonp3({\"a\":1})" and u" jsonp12( \"x\" );" give u"{\"a\":1}" and
/// u"\"x\"" (blanks around it kept); a text that is already plain JSON (starting with "{", "[" or a quote) is
/// its own argument. None when the text is neither: no call of a dotted name, no closing parenthesis at the
/// end, or an empty argument.
std::optional<std::u16string_view> JsonpArgument(std::u16string_view answer);

/// The value of a script string literal in either quote: u"\"a\\\"b\\u4e2d\\n\"" gives u"a\"b中\n". Reads
/// the escapes of JSON and those only scripts write (\', \xNN, \v, \0, an escaped line break). None when the
/// text, blanks aside, is not exactly one closed literal.
std::optional<std::u16string> DecodeScriptString(std::u16string_view literal);

} // namespace tarvisk
