#pragma once

#include <QString>

class QLabel;

// Texts from outside (pages, keywords, accounts, notes, imported files) are shown as they are, never as markup. Qt
// reads a text that looks like markup as rich text in labels and tool tips, and every text in a chart legend: an
// item title <img src="/local/file" width=20000 height=20000> would load the file and take gigabytes, a keyword
// with an image would draw it. Every place that shows such a text goes through one of these.

namespace tarvisk {

/// Makes `label` show its text as it is, and returns it.
QLabel* PlainLabel(QLabel* label);

/// A tool tip that shows `text` as it is: a text that looks like markup is given as markup that shows it
/// literally, any other text unchanged.
QString PlainToolTip(const QString& text);

/// Markup that shows `text` as it is, for a place that reads every text as markup (a chart legend).
QString PlainMarkup(const QString& text);

} // namespace tarvisk
