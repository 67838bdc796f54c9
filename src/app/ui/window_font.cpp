#include "app/ui/window_font.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QStringList>

namespace tarvisk {

namespace {

QString chooseFamily() {
    const QStringList installed = QFontDatabase::families();
    for (const QString& wanted : {QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("NSimSun"),
                                  QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC")}) {
        if (installed.contains(wanted, Qt::CaseInsensitive)) {
            return wanted;
        }
    }
    const QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    return chinese.isEmpty() ? QGuiApplication::font().family() : chinese.first();
}

} // namespace

QString WindowFontFamily() {
    static const QString family = chooseFamily();
    return family;
}

QFont WindowFont(double pointSize, bool bold) {
    QFont font(WindowFontFamily());
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

} // namespace tarvisk
