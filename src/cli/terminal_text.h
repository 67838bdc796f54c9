#pragma once

#include <string>

#include "text/encoding.h"
#include "text/text_ops.h"

namespace tarvisk::cli {

/// A text as tarvisk-cli prints it: UTF-8, its control characters replaced (ReplaceControlCharacters), so
/// that no page can send an escape sequence to the user's terminal. Every text that may come from a page (or
/// from a server's answer) goes out through it, whether as text, as a table cell or inside JSON.
inline std::string TerminalText(const std::u16string& text) {
    return ToUtf8(ReplaceControlCharacters(text));
}

} // namespace tarvisk::cli
