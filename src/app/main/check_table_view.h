#pragma once

#include <functional>
#include <optional>
#include <string>

#include <QString>
#include <QTableView>

#include "app/main/check_table_model.h"

namespace tarvisk {

/// A table of checks as the batch and the history windows show it: whole rows selected, nothing edited; every
/// column as wide as its texts, the remark taking the room left; a double-click shows the row's full report (the
/// top-tier badges from `resourceFolder`), or why it has none.
class CheckTableView : public QTableView {
    Q_OBJECT
public:
    CheckTableView(CheckTableModel& model, QString resourceFolder, QWidget* parent = nullptr);

    /// Asks for a file and writes the table `csv` gives to it as CSV; with no rows says `nothingMessage` instead.
    /// `csv` gives none when the rows cannot be read.
    void exportCsv(const QString& suggestedName, const QString& nothingMessage,
                   const std::function<std::optional<std::string>()>& csv);

private:
    void showDetails(const QModelIndex& index);

    CheckTableModel& m_model;
    QString m_resourceFolder;
};

} // namespace tarvisk
