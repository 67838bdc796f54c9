#pragma once

#include <string>

#include <QString>

// The core's texts are UTF-16 strings, the windows' are QStrings: the conversions at the window
// boundary, in both directions.

namespace tarvisk {

/// A core text as the windows show it.
inline QString QtText(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

/// A window's text as the core takes it.
inline std::u16string CoreText(const QString& text) {
    return text.toStdU16String();
}

} // namespace tarvisk
