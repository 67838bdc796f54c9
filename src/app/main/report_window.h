#pragma once

#include <QString>

class QWidget;

namespace tarvisk {

struct ReputationFacts;

/// Opens a window of its own over `parent`'s window with the report of a check as the report browser shows it (the
/// top-tier badges from `resourceFolder`); Esc closes it, and it is deleted when closed. Returns the window.
QWidget* ShowReportWindow(QWidget* parent, const ReputationFacts& facts, const QString& resourceFolder);

} // namespace tarvisk
