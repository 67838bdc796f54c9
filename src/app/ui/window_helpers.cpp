#include "app/ui/window_helpers.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextCursor>

#include "text/settings.h"

namespace tarvisk {

void PlaceTwips(QWidget& widget, int left, int top, int width, int height) {
    widget.setGeometry(left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel, height / kTwipsPerPixel);
}

void SetClientTwips(QWidget& window, int width, int height) {
    window.setFixedSize(width / kTwipsPerPixel, height / kTwipsPerPixel);
}

void CenterForm(QWidget& window) {
    const QScreen* screen = window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->geometry();
    const QSize size = window.frameGeometry().size();
    window.move(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2);
}

void SelectAllText(QLineEdit& textBox) {
    textBox.setSelection(0, static_cast<int>(textBox.text().size()));
}

void SelectAllText(QPlainTextEdit& textBox) {
    textBox.selectAll();
}

QString ReadControlSetting(const QWidget& control) {
    return QString::fromStdU16String(ReadSetting(control.objectName().toStdU16String()));
}

void WriteControlSetting(const QLineEdit& textBox, const QString& key) {
    const QString name = key.isEmpty() ? textBox.objectName() : key;
    // A failed write (read-only folder, full disk) leaves the old file; the window carries on.
    WriteSetting(name.toStdU16String(), textBox.text().toStdU16String());
}

} // namespace tarvisk
