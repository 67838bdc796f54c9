#pragma once

#include <string>
#include <string_view>

namespace tarvisk {

/// `text` with &, <, >, " and ' replaced by character references, so that it reads as plain text
/// inside an element and inside an attribute quoted with either kind of quote.
/// EscapeHtml(u"<b a='1'>") == u"&lt;b a=&#39;1&#39;&gt;".
std::u16string EscapeHtml(const std::u16string& text);

/// `bytes` as a data: address of the type `mimeType` (base64), for a document that must carry its own images:
/// DataUri("image/png", "\x89PNG") == u"data:image/png;base64,iVBORw==".
std::u16string DataUri(std::string_view mimeType, std::string_view bytes);

} // namespace tarvisk
