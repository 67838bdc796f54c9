#include "app/ui/message_box.h"

#include <QMessageBox>

namespace tarvisk {

namespace {

QString& captionStore() {
    static QString caption = QStringLiteral("Tarvisk");
    return caption;
}

MessageBoxHook& hookStore() {
    static MessageBoxHook hook;
    return hook;
}

} // namespace

QString ProductCaption() {
    return captionStore();
}

void SetProductCaption(const QString& caption) {
    captionStore() = caption;
}

void ShowMessageBox(QWidget* parent, const QString& text, const QString& title) {
    const QString shownTitle = title.isEmpty() ? ProductCaption() : title;
    // A copy, so that a hook may replace itself while it runs.
    if (const MessageBoxHook hook = hookStore()) {
        hook(text, shownTitle);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, shownTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

void SetMessageBoxHook(MessageBoxHook hook) {
    hookStore() = std::move(hook);
}

} // namespace tarvisk
