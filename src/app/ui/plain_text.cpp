#include "app/ui/plain_text.h"

#include <QLabel>
#include <QTextDocument>

namespace tarvisk {

QLabel* PlainLabel(QLabel* label) {
    label->setTextFormat(Qt::PlainText);
    return label;
}

QString PlainToolTip(const QString& text) {
    return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal) : text;
}

QString PlainMarkup(const QString& text) {
    return text.toHtmlEscaped();
}

} // namespace tarvisk
