#pragma once

#include <string>

// How a response body becomes text when the caller leaves the choice to the request routine
// (decode mode 0 of both routines), as a browser reads a page.

namespace tarvisk {

/// The charset a response declares, lower-cased: the "charset" parameter of `contentType`, else
/// the charset of the first <meta ...> tag that names one within the first 2048 bytes of `body`
/// (both <meta charset="gbk"> and <meta http-equiv="Content-Type" content="text/html; charset=gbk">).
/// A meta tag that says UTF-16 counts as UTF-8, as browsers read it. Empty when neither declares one.
std::string DeclaredCharset(const std::string& contentType, const std::string& body);

/// The body decoded in its declared charset (DeclaredCharset), else as UTF-8. Never fails:
/// invalid bytes and unknown charsets give replacement characters / UTF-8.
std::u16string ResponseText(const std::string& contentType, const std::string& body);

} // namespace tarvisk
