#pragma once

#include <QString>
#include <QTableView>

#include "app/main/check_table_model.h"

namespace tarvisk {

/// A table of checks as the batch and the history windows show it: whole rows selected, nothing edited; a
/// double-click shows the row's full report (the top-tier badges from `resourceFolder`), or why it has none.
class CheckTableView : public QTableView {
    Q_OBJECT
public:
    CheckTableView(bool withTime, QString resourceFolder, QWidget* parent = nullptr);

    CheckTableModel& checks() { return m_model; }
    const CheckTableModel& checks() const { return m_model; }

    /// Asks for a file and writes the rows to it as CSV; with no rows says `nothingMessage` instead.
    void exportCsv(const QString& suggestedName, const QString& nothingMessage);

private:
    void showDetails(const QModelIndex& index);

    CheckTableModel m_model;
    QString m_resourceFolder;
};

} // namespace tarvisk
