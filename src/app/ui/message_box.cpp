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

// Window managers draw titles larger than the window's own text, and keep room beside it for the close button
// and the window's icon.
constexpr double kTitleFontScale = 1.25;
constexpr int kTitleButtonsRoom = 120;

// The label of a message box's text.
QLabel* textLabel(QMessageBox& box) {
    return box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
}

// A message box wraps a long text at a fixed width, and Chinese breaks between any two characters: a text a
// little wider than that width ends with a line of one or two characters. The text's label gets the width that
// spreads each paragraph evenly over as few lines as the screen allows.
void spreadLinesEvenly(QMessageBox& box) {
    QLabel* label = textLabel(box);
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

// A box of a short text is narrower than its title as a window manager draws it (in a larger, bold font, beside
// the window's buttons), which then cuts the title in the middle ("Ta… k"). The text's label is made wide enough
// for the whole title.
void fitTitle(QMessageBox& box) {
    QLabel* label = textLabel(box);
    if (label == nullptr) {
        return;
    }
    QFont titleFont = box.font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * kTitleFontScale);
    const int needed = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + kTitleButtonsRoom;
    label->setMinimumWidth(std::max(label->minimumWidth(), needed));
}

// The answer of an installed hook, if there is one: a test's answer to an offer, or a message recorded and its
// offer declined.
std::optional<bool> hookAnswer(const QString& text, const QString& shownTitle) {
    // Copies, so that a hook may replace itself while it runs.
    if (const OfferHook hook = offerHookStore()) {
        return hook(text, shownTitle);
    }
    if (const MessageBoxHook hook = hookStore()) {
        hook(text, shownTitle);
        return false;
    }
    return std::nullopt;
}

// Messages carry texts from pages (a notice, an address): shown as they are, never as markup.
void prepareBox(QMessageBox& box) {
    box.setTextFormat(Qt::PlainText);
    spreadLinesEvenly(box);
    fitTitle(box);
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
    prepareBox(box);
    box.exec();
}

bool AskMessageBox(QWidget* parent, const QString& text, const QString& offer, const QString& title) {
    const QString shownTitle = resolvedTitle(title);
    if (const std::optional<bool> answer = hookAnswer(text, shownTitle)) {
        return *answer;
    }
    QMessageBox box(QMessageBox::NoIcon, shownTitle, text, QMessageBox::Ok, parent);
    const QPushButton* take = box.addButton(offer, QMessageBox::AcceptRole);
    box.setDefaultButton(QMessageBox::Ok);
    // Two buttons of one role leave the box without an escape button: Esc declines the offer.
    box.setEscapeButton(QMessageBox::Ok);
    prepareBox(box);
    box.exec();
    return box.clickedButton() == take;
}

std::optional<int> ChooseMessageBox(QWidget* parent, const QString& text, const QStringList& choices,
                                    const QString& title) {
    const QString shownTitle = resolvedTitle(title);
    if (const std::optional<bool> answer = hookAnswer(text, shownTitle)) {
        return *answer && !choices.isEmpty() ? std::optional(0) : std::nullopt;
    }
    QMessageBox box(QMessageBox::NoIcon, shownTitle, text, QMessageBox::NoButton, parent);
    QList<const QAbstractButton*> buttons;
    for (const QString& choice : choices) {
        QPushButton* button = box.addButton(choice, QMessageBox::AcceptRole);
        if (buttons.isEmpty()) {
            box.setDefaultButton(button);
        }
        buttons.append(button);
    }
    box.setEscapeButton(box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole));
    prepareBox(box);
    box.exec();
    const qsizetype chosen = buttons.indexOf(box.clickedButton());
    return chosen >= 0 ? std::optional(static_cast<int>(chosen)) : std::nullopt;
}

void SetMessageBoxHook(MessageBoxHook hook) {
    hookStore() = std::move(hook);
}

void SetOfferHook(OfferHook hook) {
    offerHookStore() = std::move(hook);
}

} // namespace tarvisk
