#pragma once

#include <functional>
#include <optional>
#include <vector>

#include <QWidget>

#include "store/buyer_lists.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace tarvisk {

class StoreThread;

/// The buyer list editor "黑白名单": both lists in one table (account, list, note, last change), filtered by list;
/// an account with its list and note is saved from the fields below the table (a row clicked fills them), the
/// selected rows are removed (after the user confirms it), the lists are imported from CSV files (account,list,note)
/// and the rows shown exported to one, with a message saying which. Esc closes the window.
class BuyerListEditor : public QWidget {
    Q_OBJECT
public:
    explicit BuyerListEditor(StoreThread& store, QWidget* parent = nullptr);

    /// The entries the table shows.
    const std::vector<ListEntry>& entries() const { return m_entries; }

public slots:
    /// Reads the lists again (each time the window becomes active, as the main window may have changed them); the
    /// table shows them when the store answers.
    void reload();
    void saveEntry();
    void removeSelected();
    void importFile();
    void exportFile();

protected:
    bool event(QEvent* event) override;

private:
    void fillFields(int row);
    /// Reads the lists, shows them, then runs `then`.
    void read(std::function<void()> then);
    void exportShown();
    void showEntries(const std::optional<std::vector<ListEntry>>& all);
    /// Runs `change` on the lists with the buttons that write disabled, then reads the lists again; a change that
    /// could not be saved is said (`what` names it), and the fields keep what was typed.
    void change(std::function<bool(LocalStore&)> change, const QString& what, std::function<void()> saved);

    StoreThread& m_store;
    bool m_read = false; // the lists have been read once
    std::vector<ListEntry> m_entries;
    QComboBox* m_filter;
    QLabel* m_count;
    QTableWidget* m_table;
    QLineEdit* m_account;
    QComboBox* m_list;
    QLineEdit* m_note;
    QPushButton* m_save;
    QPushButton* m_remove;
    QPushButton* m_import;
    QPushButton* m_export;
};

} // namespace tarvisk
