#pragma once

#include <functional>

#include <QString>

class QWidget;

namespace tarvisk {

/// The caption of the main window and the title of message boxes that name none ("Tarvisk" or "Tarvix").
QString ProductCaption();
void SetProductCaption(const QString& caption);

/// Shows a modal message box with an OK button; an empty title means the product caption.
void ShowMessageBox(QWidget* parent, const QString& text, const QString& title = {});

/// Receives every message instead of a box (tests record the text and title and never block on a dialog).
/// Messages arrive with the title already resolved (an empty title becomes the product caption).
using MessageBoxHook = std::function<void(const QString& text, const QString& title)>;
/// Installs the hook; an empty function restores the real modal box.
void SetMessageBoxHook(MessageBoxHook hook);

} // namespace tarvisk
