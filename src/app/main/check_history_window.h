#pragma once

#include <optional>
#include <string>
#include <vector>

#include <QString>
#include <QWidget>

#include "app/main/check_table_view.h"
#include "store/check_history.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace tarvisk {

class LocalStore;

/// The check history window "查询记录": the stored checks, newest first, of every account or of the accounts whose
/// name holds the text typed, with the verdict each check before it gave and the account's list today. The checks
/// are read a page at a time as the table scrolls to them, so a history of millions opens at once. A double-click
/// shows a check's full report; the table exports to CSV; Esc closes the window.
class CheckHistoryWindow : public QWidget {
    Q_OBJECT
public:
    CheckHistoryWindow(LocalStore& store, QString resourceFolder, QWidget* parent = nullptr);

    const CheckPageModel& checks() const { return m_checks; }

public slots:
    /// Shows the checks of the accounts whose name holds the text in the box (all when it is empty).
    void reload();
    void exportHistory();

protected:
    void showEvent(QShowEvent* event) override;

private:
    /// The rows of `count` checks of the selection from the `offset`-th.
    std::optional<std::vector<CheckRow>> readRows(std::size_t offset, std::size_t count);

    LocalStore& m_store;
    CheckQuery m_query; // what the table shows
    QLineEdit* m_account;
    QPushButton* m_show;
    QLabel* m_count;
    CheckPageModel m_checks;
    CheckTableView* m_table;
    QPushButton* m_export;
};

} // namespace tarvisk
