#pragma once

#include <QString>

class QWidget;

namespace tarvisk {

struct ReputationFacts;

/// Opens a window of its own with the report of a check as the report browser shows it (the top-tier badges from
/// `resourceFolder`); it is deleted when closed. Returns the window.
QWidget* ShowReportWindow(QWidget* parent, const ReputationFacts& facts, const QString& resourceFolder);

} // namespace tarvisk
