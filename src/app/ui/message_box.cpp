#include "app/ui/message_box.h"

#include <algorithm>

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

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

// A message box wraps a long text at a fixed width, and Chinese breaks between any two characters: a text a
// little wider than that width ends with a line of one or two characters. The text's label gets the width that
// spreads each paragraph evenly over as few lines as the screen allows.
void spreadLinesEvenly(QMessageBox& box) {
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    const QScreen* screen = box.screen();
    if (label == nullptr || screen == nullptr) {
        return;
    }
    const QFontMetrics metrics(label->font());
    int widest = 0;
    for (const QString& paragraph : box.text().split(QLatin1Char('\n'))) {
        widest = std::max(widest, metrics.horizontalAdvance(paragraph));
    }
    // The widest box the platform allows, less room for the box's margins.
    const int screenWidth = screen->availableGeometry().width();
    const int boxLimit = screenWidth <= 1024 ? screenWidth : std::min(screenWidth - 480, 1000);
    const int lineLimit = std::max(boxLimit - 100, 200);
    const int lines = (widest + lineLimit - 1) / lineLimit;
    if (lines == 0) {
        return;
    }
    // One character's width to spare: breaking between characters never fills a line exactly.
    label->setMinimumWidth(
        std::min(lineLimit, (widest + lines - 1) / lines + metrics.horizontalAdvance(QChar(0x4E2D))));
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
    spreadLinesEvenly(box);
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
    spreadLinesEvenly(box);
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
