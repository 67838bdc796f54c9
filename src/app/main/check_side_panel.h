#pragma once

#include <optional>

#include <QFrame>

#include "store/check_history.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace tarvisk {

class StoreThread;

/// What the history and the buyer lists add to a report, shown beside the report browser of the main window: the
/// date of the account's previous check and what changed since (本周好评 3→7, 结论 安全→不安全), the account's list
/// and note, and buttons that put the account on the block or the allow list (with the note typed here) or take it
/// off; each button names the account it acts on. The report itself is never touched. Hidden until a report is
/// shown; its close button hides it again. What the database could not give is said to be unknown (名单状态未知,
/// 上次查询未知), never absent.
class CheckSidePanel : public QFrame {
    Q_OBJECT
public:
    CheckSidePanel(StoreThread& store, QWidget* parent);

    /// Shows the panel for a completed check at once and records the check; what the store adds to it (the
    /// previous check, the list) shows when the store answers, and is said to be coming until then.
    void recordCheck(const ReputationFacts& facts);
    /// Shows the panel for a completed check and what the store added to it.
    void showCheck(const ReputationFacts& facts, const CheckContext& context);

    /// The lines of what changed since the previous check, as shown: u"买家信用 12→40". The account's age (which
    /// grows by itself) is left out: the date of the previous check says it.
    static QStringList ChangeLines(const ReputationFacts& before, const ReputationFacts& after);

    void setVisible(bool visible) override;

signals:
    /// The account was put on a list or taken off one here.
    void listChanged();
    /// The panel was shown or hidden.
    void shownChanged(bool shown);

private:
    /// The buttons' captions with the account's name, shortened in the middle to the panel's width.
    void nameButtons();
    void putOnList(BuyerList list);
    void takeOffList();
    void showListEntry();
    /// The list buttons take clicks only while the account's list is known and no change of it is being saved.
    void enableListButtons();
    /// Saves a change of the account's list (`entry`, or none to take it off), then shows it; `what` names the
    /// change in the panel when it could not be saved.
    void changeList(std::optional<ListEntry> entry, const QString& what);

    StoreThread& m_store;
    // The checks recorded so far: an answer of the store for an earlier check is not shown over a later one.
    int m_checks = 0;
    bool m_waiting = false; // for the store's answer on the check shown
    bool m_saving = false;  // a change of the list
    std::u16string m_account;
    StoredValue<ListEntry> m_entry;
    QLabel* m_previous;
    QLabel* m_changes;
    QLabel* m_listFlag;
    QLineEdit* m_note;
    QPushButton* m_block;
    QPushButton* m_allow;
    QPushButton* m_remove;
};

} // namespace tarvisk
