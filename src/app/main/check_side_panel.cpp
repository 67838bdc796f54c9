#include "app/main/check_side_panel.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/ui/qt_text.h"
#include "app/ui/window_helpers.h"
#include "app/ui/plain_text.h"
#include "app/ui/store_thread.h"
#include "core/date.h"
#include "store/buyer_lists.h"
#include "store/local_store.h"

namespace tarvisk {

namespace {

// The width of a button's caption is its own less this much for the button's frame and padding.
constexpr int kButtonMargins = 16;

QLabel* makeLabel(const char* name, QWidget* parent) {
    // They show what pages, accounts and notes hold.
    auto* label = PlainLabel(new QLabel(parent));
    label->setObjectName(QString::fromLatin1(name));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

CheckSidePanel::CheckSidePanel(StoreThread& store, QWidget* parent)
    : QFrame(parent), m_store(store), m_previous(makeLabel("PreviousCheck", this)),
      m_changes(makeLabel("CheckChanges", this)), m_listFlag(makeLabel("ListFlag", this)), m_note(new QLineEdit(this)),
      m_block(MakeButton(QStringLiteral("加入黑名单"), "AddToBlockList", this)),
      m_allow(MakeButton(QStringLiteral("加入白名单"), "AddToAllowList", this)),
      m_remove(MakeButton(QStringLiteral("移出名单"), "RemoveFromList", this)) {
    setObjectName(QStringLiteral("CheckSidePanel"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);

    auto* title = new QLabel(QStringLiteral("查询记录与名单"), this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    QPushButton* close = MakeButton(QStringLiteral("×"), "CloseSidePanel", this);
    close->setFlat(true);
    close->setFixedSize(22, 22);
    close->setToolTip(QStringLiteral("关闭"));
    m_note->setObjectName(QStringLiteral("ListNote"));
    m_note->setPlaceholderText(QStringLiteral("名单备注（可不填）"));
    m_note->setMaxLength(static_cast<int>(kMaxNoteLength));
    m_changes->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_listFlag->setMargin(4);

    auto* header = new QHBoxLayout;
    header->addWidget(title, 1);
    header->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 8);
    layout->addLayout(header);
    layout->addWidget(m_previous);
    layout->addWidget(m_changes, 1);
    layout->addWidget(m_listFlag);
    layout->addWidget(m_note);
    layout->addWidget(m_block);
    layout->addWidget(m_allow);
    layout->addWidget(m_remove);

    connect(close, &QPushButton::clicked, this, &QWidget::hide);
    connect(m_block, &QPushButton::clicked, this, [this] { putOnList(BuyerList::Block); });
    connect(m_allow, &QPushButton::clicked, this, [this] { putOnList(BuyerList::Allow); });
    connect(m_remove, &QPushButton::clicked, this, &CheckSidePanel::takeOffList);
    hide();
}

QStringList CheckSidePanel::ChangeLines(const ReputationFacts& before, const ReputationFacts& after) {
    QStringList lines;
    for (const FactField& field : FactFields()) {
        if (std::string_view(field.path) == "days_since_registration" || field.value(before) == field.value(after)) {
            continue;
        }
        lines << QStringLiteral("%1 %2→%3")
                     .arg(QtText(field.label), QtText(field.shownText(before)), QtText(field.shownText(after)));
    }
    return lines;
}

void CheckSidePanel::recordCheck(const ReputationFacts& facts) {
    const int check = ++m_checks;
    m_account = facts.account;
    m_waiting = true;
    m_previous->setText(QStringLiteral("正在读取上次查询…"));
    m_previous->setToolTip({});
    m_changes->clear();
    m_entry = {};
    m_listFlag->setText(QStringLiteral("正在读取名单…"));
    m_listFlag->setStyleSheet({});
    m_listFlag->setToolTip({});
    m_note->clear();
    enableListButtons();
    nameButtons();
    show();
    raise();
    m_store.ask(
        this, [facts, checkedAt = UnixTimeNow()](LocalStore& store) { return RecordCheck(store, facts, checkedAt); },
        [this, check, facts](const CheckContext& context) {
            if (check == m_checks) {
                showCheck(facts, context);
            }
        });
}

void CheckSidePanel::showCheck(const ReputationFacts& facts, const CheckContext& context) {
    m_account = facts.account;
    m_waiting = false;
    QString previous;
    if (context.previous.unknown()) {
        previous = QtText(kPreviousUnknownText);
        m_changes->clear();
    } else if (context.previous) {
        // To the minute: "2024-05-01 14:03".
        previous = QStringLiteral("上次查询：%1")
                       .arg(QString::fromStdString(LocalTimeText(context.previous->checkedAt)).left(16));
        const QStringList changes = ChangeLines(context.previous->facts, facts);
        m_changes->setText(changes.isEmpty() ? QStringLiteral("与上次相比没有变化")
                                             : QStringLiteral("与上次相比：\n") + changes.join(QLatin1Char('\n')));
    } else {
        previous = QStringLiteral("第一次查询这个账号");
        m_changes->clear();
    }
    if (!context.saved) {
        previous += QStringLiteral("\n（本次查询没有存入历史记录）");
    }
    m_previous->setText(previous);
    m_previous->setToolTip(context.problem ? QtText(StoreProblemMessage(*context.problem)) : QString());
    m_entry = context.listed;
    m_note->setText(m_entry ? QtText(m_entry->note) : QString());
    showListEntry();
    nameButtons();
    show();
    raise();
}

void CheckSidePanel::nameButtons() {
    const QString account = QtText(m_account);
    const std::pair<QPushButton*, QString> buttons[] = {
        {m_block, QStringLiteral("把「%1」加入黑名单")},
        {m_allow, QStringLiteral("把「%1」加入白名单")},
        {m_remove, QStringLiteral("把「%1」移出名单")},
    };
    // The room a button's caption has: the panel's inner width less the button's own margins.
    const int room = contentsRect().width() - layout()->contentsMargins().left() - layout()->contentsMargins().right() -
                     kButtonMargins;
    for (const auto& [button, caption] : buttons) {
        const QFontMetrics metrics(button->font());
        const int fixed = metrics.horizontalAdvance(caption.arg(QString()));
        button->setText(caption.arg(metrics.elidedText(account, Qt::ElideMiddle, std::max(room - fixed, 0))));
        button->setToolTip(PlainToolTip(caption.arg(account)));
    }
}

void CheckSidePanel::setVisible(bool visible) {
    const bool was = isVisibleTo(parentWidget());
    QFrame::setVisible(visible);
    if (was != visible) {
        emit shownChanged(visible);
    }
}

void CheckSidePanel::showListEntry() {
    if (m_entry.unknown()) {
        m_listFlag->setText(QtText(kListUnknownText));
        m_listFlag->setStyleSheet(QStringLiteral("background:#e0a000;color:#fff;font-weight:bold;"));
    } else if (!m_entry) {
        m_listFlag->setText(QStringLiteral("不在黑名单或白名单中"));
        m_listFlag->setStyleSheet({});
    } else {
        const QString note = m_entry->note.empty() ? QString() : QStringLiteral("：") + QtText(m_entry->note);
        m_listFlag->setText(QStringLiteral("在%1中%2").arg(QtText(BuyerListName(m_entry->list)), note));
        m_listFlag->setStyleSheet(m_entry->list == BuyerList::Block
                                      ? QStringLiteral("background:#df2525;color:#fff;font-weight:bold;")
                                      : QStringLiteral("background:#1a8a1a;color:#fff;font-weight:bold;"));
    }
    m_listFlag->setToolTip(m_entry.problem() ? QtText(StoreProblemMessage(*m_entry.problem())) : QString());
    enableListButtons();
}

void CheckSidePanel::enableListButtons() {
    const bool free = !m_waiting && !m_saving;
    m_block->setEnabled(free);
    m_allow->setEnabled(free);
    m_remove->setEnabled(free && static_cast<bool>(m_entry));
}

void CheckSidePanel::putOnList(BuyerList list) {
    changeList(ListEntry{m_account, list, CoreText(m_note->text().trimmed()), UnixTimeNow()},
               QStringLiteral("加入%1").arg(QtText(BuyerListName(list))));
}

void CheckSidePanel::takeOffList() {
    changeList(std::nullopt, QStringLiteral("移出名单"));
}

void CheckSidePanel::changeList(std::optional<ListEntry> entry, const QString& what) {
    const int check = m_checks;
    const std::u16string account = m_account;
    m_saving = true;
    enableListButtons();
    m_store.ask(
        this,
        [entry, account](LocalStore& store) {
            const bool saved = entry ? PutListEntries(store, {*entry}) : RemoveListEntry(store, account).has_value();
            return saved ? std::optional<StoreProblem>() : std::optional(store.problem().value_or(StoreProblem{}));
        },
        [this, check, entry, what](const std::optional<StoreProblem>& problem) {
            m_saving = false;
            if (check != m_checks) {
                enableListButtons();
            } else if (problem) {
                // The note typed stays in its box, so that the change can be tried again.
                showListEntry();
                m_listFlag->setText(m_listFlag->text() + QStringLiteral("\n（%1没有保存）").arg(what));
                m_listFlag->setToolTip(QtText(StoreProblemMessage(*problem)));
            } else {
                m_entry = entry ? StoredValue<ListEntry>(*entry) : StoredValue<ListEntry>();
                if (!entry) {
                    m_note->clear();
                }
                showListEntry();
            }
            if (!problem) {
                emit listChanged();
            }
        });
}

} // namespace tarvisk
