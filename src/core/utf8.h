#pragma once

#include <string>

// UTF-16 to UTF-8, for the terminal, files and the database. It lives in the ground floor because the message hook
// prints with it; the decoders of every other encoding (FromUtf8 among them) are in text/encoding.h.

namespace tarvisk {

/// The text as UTF-8; a lone surrogate half becomes "?". A pair above U+FFFF becomes one four-byte character.
std::string ToUtf8(const std::u16string& text);

} // namespace tarvisk
