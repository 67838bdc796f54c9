#pragma once

#include <string>

#include <QString>
#include <QTextDocument>

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

/// A text from a page as a tool tip is to show it: as it is. A tool tip that looks like markup is shown as rich
/// text by Qt (and loads the images it names, local files too); such a text is given as markup that shows it
/// literally, any other text unchanged.
inline QString PlainToolTip(const QString& text) {
    return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal) : text;
}

} // namespace tarvisk
