#pragma once

#include <QString>
#include <QWidget>

#include "app/main/check_table_view.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace tarvisk {

class LocalStore;

/// The check history window "查询记录": the stored checks, newest first, of every account or of the one typed,
/// with the verdict each check before it gave and the account's list today. A double-click shows a check's full
/// report; the table exports to CSV.
class CheckHistoryWindow : public QWidget {
    Q_OBJECT
public:
    CheckHistoryWindow(LocalStore& store, QString resourceFolder, QWidget* parent = nullptr);

    const CheckTableModel& checks() const { return m_table->checks(); }

public slots:
    /// Reads the checks of the account in the box (all when it is empty).
    void reload();
    void exportHistory();

protected:
    void showEvent(QShowEvent* event) override;

private:
    LocalStore& m_store;
    QLineEdit* m_account;
    QPushButton* m_show;
    QLabel* m_count;
    CheckTableView* m_table;
    QPushButton* m_export;
};

} // namespace tarvisk
