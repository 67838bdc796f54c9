#include "app/ui/message_box.h"

#include <QPushButton>
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

OfferHook& offerHookStore() {
    static OfferHook hook;
    return hook;
}

QString resolvedTitle(const QString& title) {
    return title.isEmpty() ? ProductCaption() : title;
}

} // namespace

QString ProductCaption() {
    return captionStore();
}

void SetProductCaption(const QString& caption) {
    captionStore() = caption;
}

void ShowMessageBox(QWidget* parent, const QString& text, const QString& title) {
    const QString shownTitle = resolvedTitle(title);
    // A copy, so that a hook may replace itself while it runs.
    if (const MessageBoxHook hook = hookStore()) {
        hook(text, shownTitle);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, shownTitle, text, QMessageBox::Ok, parent);
    // Messages carry texts from pages (a notice, an address): shown as they are, never as markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool AskMessageBox(QWidget* parent, const QString& text, const QString& offer, const QString& title) {
    const QString shownTitle = resolvedTitle(title);
    // Copies, so that a hook may replace itself while it runs.
    if (const OfferHook hook = offerHookStore()) {
        return hook(text, shownTitle);
    }
    if (const MessageBoxHook hook = hookStore()) {
        hook(text, shownTitle);
        return false;
    }
    QMessageBox box(QMessageBox::NoIcon, shownTitle, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    const QPushButton* take = box.addButton(offer, QMessageBox::AcceptRole);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    return box.clickedButton() == take;
}

void SetMessageBoxHook(MessageBoxHook hook) {
    hookStore() = std::move(hook);
}

void SetOfferHook(OfferHook hook) {
    offerHookStore() = std::move(hook);
}

} // namespace tarvisk
