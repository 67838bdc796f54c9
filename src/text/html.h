#pragma once

#include <string>

namespace tarvisk {

/// `text` with &, <, >, " and ' replaced by character references, so that it reads as plain text
/// inside an element and inside an attribute quoted with either kind of quote.
/// EscapeHtml(u"<b a='1'>") == u"&lt;b a=&#39;1&#39;&gt;".
std::u16string EscapeHtml(const std::u16string& text);

} // namespace tarvisk
