#include "app/main/buyer_list_editor.h"

#include <algorithm>
#include <memory>
#include <utility>

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/ui/file_dialogs.h"
#include "app/ui/message_box.h"
#include "app/ui/qt_text.h"
#include "app/ui/store_thread.h"
#include "app/ui/window_font.h"
#include "app/ui/window_helpers.h"
#include "core/date.h"
#include "store/check_history.h"
#include "store/local_store.h"

namespace tarvisk {

namespace {

// How many unreadable rows an import names in its message; the rest are counted.
constexpr std::size_t kProblemsShown = 15;
// How many accounts the question before a removal names.
constexpr qsizetype kNamesShown = 10;

QTableWidgetItem* cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

/// The filter's choice: all entries, or those of one list.
std::optional<BuyerList> filterList(int index) {
    if (index == 1) {
        return BuyerList::Block;
    }
    if (index == 2) {
        return BuyerList::Allow;
    }
    return std::nullopt;
}

} // namespace

BuyerListEditor::BuyerListEditor(StoreThread& store, QWidget* parent)
    : QWidget(parent, Qt::Window), m_store(store), m_filter(new QComboBox(this)), m_count(new QLabel(this)),
      m_table(new QTableWidget(0, 4, this)), m_account(new QLineEdit(this)), m_list(new QComboBox(this)),
      m_note(new QLineEdit(this)), m_save(MakeButton(QStringLiteral("保存"), "SaveEntry", this)),
      m_remove(MakeButton(QStringLiteral("删除所选"), "RemoveEntries", this)),
      m_import(MakeButton(QStringLiteral("导入CSV…"), "ImportLists", this)),
      m_export(MakeButton(QStringLiteral("导出CSV…"), "ExportLists", this)) {
    setObjectName(QStringLiteral("BuyerLists"));
    setWindowTitle(QStringLiteral("黑白名单"));
    setFont(WindowFont(9));
    resize(640, 520);

    m_filter->setObjectName(QStringLiteral("ListFilter"));
    m_filter->addItems(
        {QStringLiteral("全部"), QtText(BuyerListName(BuyerList::Block)), QtText(BuyerListName(BuyerList::Allow))});
    m_count->setObjectName(QStringLiteral("ListCount"));
    m_table->setObjectName(QStringLiteral("ListEntries"));
    m_table->setHorizontalHeaderLabels(
        {QStringLiteral("账号"), QStringLiteral("名单"), QStringLiteral("备注"), QStringLiteral("更新时间")});
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    m_account->setObjectName(QStringLiteral("ListAccount"));
    m_account->setPlaceholderText(QStringLiteral("买家账号"));
    m_list->setObjectName(QStringLiteral("ListChoice"));
    m_list->addItems({QtText(BuyerListName(BuyerList::Block)), QtText(BuyerListName(BuyerList::Allow))});
    m_note->setObjectName(QStringLiteral("ListNote"));
    m_note->setPlaceholderText(QStringLiteral("备注（可不填）"));

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("显示："), this));
    top->addWidget(m_filter);
    top->addStretch(1);
    top->addWidget(m_count);
    auto* fields = new QHBoxLayout;
    fields->addWidget(m_account, 2);
    fields->addWidget(m_list);
    fields->addWidget(m_note, 3);
    fields->addWidget(m_save);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_remove);
    bottom->addStretch(1);
    bottom->addWidget(m_import);
    bottom->addWidget(m_export);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_table, 1);
    layout->addLayout(fields);
    layout->addLayout(bottom);

    connect(m_filter, &QComboBox::currentIndexChanged, this, &BuyerListEditor::reload);
    connect(m_table, &QTableWidget::currentCellChanged, this, [this](int row) { fillFields(row); });
    connect(m_save, &QPushButton::clicked, this, &BuyerListEditor::saveEntry);
    connect(m_account, &QLineEdit::returnPressed, this, &BuyerListEditor::saveEntry);
    connect(m_note, &QLineEdit::returnPressed, this, &BuyerListEditor::saveEntry);
    connect(m_remove, &QPushButton::clicked, this, &BuyerListEditor::removeSelected);
    connect(m_import, &QPushButton::clicked, this, &BuyerListEditor::importFile);
    connect(m_export, &QPushButton::clicked, this, &BuyerListEditor::exportFile);
    CloseOnEscape(*this);
}

bool BuyerListEditor::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::Show) {
        reload();
    }
    return QWidget::event(event);
}

void BuyerListEditor::reload() {
    read({});
}

void BuyerListEditor::read(std::function<void()> then) {
    if (!m_read) {
        m_count->setText(QStringLiteral("正在读取名单…"));
    }
    // The answers come in the order asked: the last one shown is the lists as they are now.
    m_store.ask(
        this, [](LocalStore& store) { return ListEntries(store); },
        [this, then = std::move(then)](const std::optional<std::vector<ListEntry>>& all) {
            m_read = true;
            showEntries(all);
            if (then) {
                then();
            }
        });
}

void BuyerListEditor::change(std::function<bool(LocalStore&)> change, const QString& what,
                             std::function<void()> saved) {
    for (QPushButton* button : {m_save, m_remove, m_import}) {
        button->setEnabled(false);
    }
    m_store.ask(
        this,
        [change = std::move(change)](LocalStore& store) {
            return change(store) ? std::optional<StoreProblem>()
                                 : std::optional(store.problem().value_or(StoreProblem{}));
        },
        [this, what, saved = std::move(saved)](const std::optional<StoreProblem>& problem) {
            for (QPushButton* button : {m_save, m_remove, m_import}) {
                button->setEnabled(true);
            }
            reload();
            if (problem) {
                ShowMessageBox(this,
                               QStringLiteral("%1没有保存。\n%2").arg(what, QtText(StoreProblemMessage(*problem))),
                               QtText(kStoreProblemTitle));
            } else if (saved) {
                saved();
            }
        });
}

void BuyerListEditor::showEntries(const std::optional<std::vector<ListEntry>>& all) {
    const std::optional<BuyerList> only = filterList(m_filter->currentIndex());
    m_entries.clear();
    int blocked = 0;
    for (const ListEntry& entry : all.value_or(std::vector<ListEntry>())) {
        blocked += entry.list == BuyerList::Block ? 1 : 0;
        if (!only || entry.list == *only) {
            m_entries.push_back(entry);
        }
    }
    const QSignalBlocker blocker(m_table);
    m_table->setRowCount(static_cast<int>(m_entries.size()));
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const ListEntry& entry = m_entries[static_cast<std::size_t>(row)];
        m_table->setItem(row, 0, cell(QtText(entry.account)));
        m_table->setItem(row, 1, cell(QtText(BuyerListName(entry.list))));
        m_table->setItem(row, 2, cell(QtText(entry.note)));
        m_table->setItem(row, 3, cell(QString::fromStdString(LocalTimeText(entry.updatedAt)).left(16)));
        m_table->item(row, 1)->setForeground(entry.list == BuyerList::Block ? QColor(0xdf, 0x25, 0x25)
                                                                            : QColor(0x1a, 0x8a, 0x1a));
    }
    // The note takes the room the other columns leave.
    for (const int column : {0, 1, 3}) {
        m_table->resizeColumnToContents(column);
    }
    // Lists that could not be read are unknown, never empty.
    const int total = all ? static_cast<int>(all->size()) : 0;
    m_count->setText(all ? QStringLiteral("黑名单 %1 个，白名单 %2 个").arg(blocked).arg(total - blocked)
                         : QtText(kListUnknownText) + QStringLiteral("：名单无法读取"));
}

void BuyerListEditor::fillFields(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= m_entries.size()) {
        return;
    }
    const ListEntry& entry = m_entries[static_cast<std::size_t>(row)];
    m_account->setText(QtText(entry.account));
    m_list->setCurrentIndex(entry.list == BuyerList::Block ? 0 : 1);
    m_note->setText(QtText(entry.note));
}

void BuyerListEditor::saveEntry() {
    const std::optional<std::u16string> account = ListAccount(CoreText(m_account->text()));
    if (!account) {
        ShowMessageBox(this, QStringLiteral("请输入买家账号"));
        return;
    }
    const BuyerList list = m_list->currentIndex() == 0 ? BuyerList::Block : BuyerList::Allow;
    const ListEntry entry{*account, list, CoreText(m_note->text().trimmed()), UnixTimeNow()};
    change([entry](LocalStore& store) { return PutListEntries(store, {entry}); },
           QStringLiteral("「%1」").arg(QtText(*account)),
           [this] {
               m_account->clear();
               m_note->clear();
           });
}

void BuyerListEditor::removeSelected() {
    std::vector<std::u16string> accounts;
    QStringList names;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows()) {
        accounts.push_back(m_entries.at(static_cast<std::size_t>(index.row())).account);
        if (names.size() < kNamesShown) {
            names << QStringLiteral("「%1」").arg(QtText(accounts.back()));
        }
    }
    if (accounts.empty()) {
        ShowMessageBox(this, QStringLiteral("请先在表中选择要删除的账号"));
        return;
    }
    const QString more = std::cmp_greater(accounts.size(), names.size()) ? QStringLiteral("等") : QString();
    const QString question = QStringLiteral("从名单中删除所选的 %1 个账号吗？\n%2%3")
                                 .arg(accounts.size())
                                 .arg(names.join(QStringLiteral("、")), more);
    if (!ChooseMessageBox(this, question, {QStringLiteral("删除")})) {
        return;
    }
    change(
        [accounts](LocalStore& store) {
            return std::ranges::all_of(accounts, [&store](const std::u16string& account) {
                return RemoveListEntry(store, account).has_value();
            });
        },
        QStringLiteral("删除"), {});
}

void BuyerListEditor::importFile() {
    const QString file = AskOpenCsvFile(this, QStringLiteral("导入名单"));
    if (file.isEmpty()) {
        return;
    }
    auto imported = std::make_shared<const ListCsvImport>(ReadListCsvFile(file.toStdU16String()));
    if (imported->refused) {
        const CsvProblem& problem = imported->problems.front();
        ShowMessageBox(this,
                       QStringLiteral("无法导入文件：\n%1\n%2%3")
                           .arg(file, problem.line > 0 ? QStringLiteral("第 %1 行：").arg(problem.line) : QString(),
                                QString::fromStdString(problem.reason)));
        return;
    }
    QString message = QStringLiteral("导入了 %1 个账号。").arg(imported->entries.size());
    if (!imported->problems.empty()) {
        message += QStringLiteral("\n以下 %1 行没有导入：").arg(imported->problems.size());
        for (std::size_t i = 0; i < imported->problems.size() && i < kProblemsShown; ++i) {
            const CsvProblem& problem = imported->problems[i];
            message += QStringLiteral("\n第 %1 行：%2").arg(problem.line).arg(QString::fromStdString(problem.reason));
        }
        if (imported->problems.size() > kProblemsShown) {
            message += QStringLiteral("\n……");
        }
    }
    change(
        [imported](LocalStore& store) {
            return imported->entries.empty() || PutListEntries(store, imported->entries, imported->notes());
        },
        QStringLiteral("导入的名单"), [this, message] { ShowMessageBox(this, message); });
}

void BuyerListEditor::exportFile() {
    // The export writes the rows the table shows, as the lists hold them now, and says which: one list, or both.
    m_export->setEnabled(false);
    read([this] {
        m_export->setEnabled(true);
        exportShown();
    });
}

void BuyerListEditor::exportShown() {
    const std::optional<BuyerList> only = filterList(m_filter->currentIndex());
    const QString shown = only ? QtText(BuyerListName(*only)) : QStringLiteral("名单");
    if (m_entries.empty()) {
        ShowMessageBox(this, QStringLiteral("%1中没有账号可以导出").arg(shown));
        return;
    }
    if (!ExportCsv(this, (only ? shown : QStringLiteral("买家名单")) + QStringLiteral(".csv"), ListCsv(m_entries, true),
                   -1)) {
        return;
    }
    const auto count = static_cast<qsizetype>(m_entries.size());
    if (only) {
        const BuyerList other = *only == BuyerList::Block ? BuyerList::Allow : BuyerList::Block;
        ShowMessageBox(this, QStringLiteral("已导出%1的 %2 个账号；%3没有导出（要导出两个名单，请选择“显示：全部”）。")
                                 .arg(shown)
                                 .arg(count)
                                 .arg(QtText(BuyerListName(other))));
    } else {
        const auto blocked = std::count_if(m_entries.begin(), m_entries.end(),
                                           [](const ListEntry& entry) { return entry.list == BuyerList::Block; });
        ShowMessageBox(this, QStringLiteral("已导出全部 %1 个账号：黑名单 %2 个，白名单 %3 个。")
                                 .arg(count)
                                 .arg(blocked)
                                 .arg(count - blocked));
    }
}

} // namespace tarvisk
