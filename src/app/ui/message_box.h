#pragma once

#include <functional>
#include <optional>

#include <QString>
#include <QStringList>

class QWidget;

namespace tarvisk {

/// The caption of the main window and the title of message boxes that name none ("Tarvisk" or "Tarvix").
QString ProductCaption();
void SetProductCaption(const QString& caption);

/// Shows a modal message box with an OK button; an empty title means the product caption.
void ShowMessageBox(QWidget* parent, const QString& text, const QString& title = {});

/// Shows a modal message box with an OK button and a second button, captioned `offer`, that takes an offer the
/// message makes; true when the user pressed that button (Esc presses OK).
bool AskMessageBox(QWidget* parent, const QString& text, const QString& offer, const QString& title = {});

/// Asks the user to choose: a modal message box with one button for each of `choices` (the first is the default)
/// and a last one, "取消". The index of the choice pressed; none for 取消, Esc or the window's close button.
std::optional<int> ChooseMessageBox(QWidget* parent, const QString& text, const QStringList& choices,
                                    const QString& title = {});

/// Receives every message instead of a box (tests record the text and title and never block on a dialog).
/// Messages arrive with the title already resolved (an empty title becomes the product caption).
using MessageBoxHook = std::function<void(const QString& text, const QString& title)>;
/// Installs the hook; an empty function restores the real modal box.
void SetMessageBoxHook(MessageBoxHook hook);

/// Answers every offer instead of a box; its result is the answer (for ChooseMessageBox: true takes the first
/// choice, false none). Without one, an installed MessageBoxHook receives the message and the offer is declined,
/// so no test ever waits on a box.
using OfferHook = std::function<bool(const QString& text, const QString& title)>;
void SetOfferHook(OfferHook hook);

} // namespace tarvisk
