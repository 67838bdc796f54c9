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

class StoreThread;

/// The check history window "查询记录": the stored checks, newest first, of every account or of the accounts whose
/// name holds the text typed, with the verdict each check before it gave and the account's list today. The checks
/// are read a page at a time as the table scrolls to them, so a history of millions opens at once. A double-click
/// shows a check's full report; the table exports to CSV; Esc closes the window.
class CheckHistoryWindow : public QWidget {
    Q_OBJECT
public:
    CheckHistoryWindow(StoreThread& store, QString resourceFolder, QWidget* parent = nullptr);

    const CheckPageModel& checks() const { return m_checks; }

public slots:
    /// Shows the checks of the accounts whose name holds the text in the box (all when it is empty), as the store
    /// answers: first their count, then each page the table comes to.
    void reload();
    void exportHistory();

protected:
    void showEvent(QShowEvent* event) override;

private:
    /// The rows of `count` checks of `query` from the `offset`-th.
    static std::optional<std::vector<CheckRow>> readRows(LocalStore& store, CheckQuery query, std::size_t offset,
                                                         std::size_t count);

    StoreThread& m_store;
    CheckQuery m_query; // what the table shows
    int m_reloads = 0;  // an answer to an earlier reload is not shown
    QLineEdit* m_account;
    QPushButton* m_show;
    QLabel* m_count;
    CheckPageModel m_checks;
    CheckTableView* m_table;
    QPushButton* m_export;
};

} // namespace tarvisk
