#include "app/main/check_table_model.h"

#include <algorithm>

#include <QColor>

#include "app/ui/plain_text.h"
#include "app/ui/qt_text.h"
#include "core/date.h"
#include "text/numbers.h"

namespace tarvisk {

namespace {

// Every column a table of checks can have; the batch leaves out the first.
enum Column {
    TimeColumn,
    AccountColumn,
    VerdictColumn,
    RegisteredColumn,
    SellerCreditColumn,
    BuyerCreditColumn,
    WeekGoodColumn,
    MonthGoodColumn,
    ListColumn,
    PreviousColumn,
    RemarkColumn,
};
const char16_t* const kTitles[] = {u"查询时间", u"账号",     u"结论", u"注册时间", u"卖家信用", u"买家信用",
                                   u"本周好评", u"本月好评", u"名单", u"上次结论", u"说明"};
constexpr int kColumns = RemarkColumn + 1;

const QColor kRed(0xdf, 0x25, 0x25);
const QColor kGreen(0x1a, 0x8a, 0x1a);
const QColor kAmber(0xb0, 0x70, 0x00);

QString timeText(std::int64_t unixSeconds) {
    return unixSeconds == 0 ? QString() : QString::fromStdString(LocalTimeText(unixSeconds));
}

} // namespace

CheckTableModel::CheckTableModel(bool withTime, QObject* parent) : QAbstractTableModel(parent), m_withTime(withTime) {}

int CheckTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns - firstColumn();
}

QVariant CheckTableModel::data(const QModelIndex& index, int role) const {
    const CheckRow* shown = index.isValid() ? rowAt(index.row()) : nullptr;
    if (shown == nullptr) {
        return {};
    }
    const CheckRow& row = *shown;
    const int column = index.column() + firstColumn();
    if (role == Qt::DisplayRole) {
        return cellText(row, column);
    }
    if (role == Qt::ForegroundRole) {
        return cellColour(row, column);
    }
    if (role == Qt::ToolTipRole) {
        return toolTip(row, column);
    }
    // The remark takes the room the other columns leave: a long one shows whole in its tool tip.
    if (role == Qt::ToolTipRole && column == RemarkColumn) {
        return PlainToolTip(cellText(row, column).toString());
    }
    if (role == Qt::TextAlignmentRole && column >= SellerCreditColumn && column <= MonthGoodColumn) {
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QVariant CheckTableModel::cellText(const CheckRow& row, int column) const {
    const ReputationFacts* facts = row.facts ? &*row.facts : nullptr;
    const auto number = [facts](double ReputationFacts::*field) {
        return facts != nullptr ? QtText(NumberText(facts->*field)) : QString();
    };
    switch (column) {
    case TimeColumn:
        return timeText(row.checkedAt);
    case AccountColumn:
        return QtText(row.account);
    case VerdictColumn:
        return facts != nullptr ? QtText(VerdictText(facts->verdict))
                                : (row.message.empty() ? QString() : QStringLiteral("未完成"));
    case RegisteredColumn:
        return facts != nullptr ? QtText(facts->registrationDate) : QString();
    case SellerCreditColumn:
        return number(&ReputationFacts::sellerCredit);
    case BuyerCreditColumn:
        return number(&ReputationFacts::buyerCredit);
    case WeekGoodColumn:
        return number(&ReputationFacts::weekGood);
    case MonthGoodColumn:
        return number(&ReputationFacts::monthGood);
    case ListColumn:
        return row.listed.unknown() ? QtText(kListUnknownText)
               : row.listed         ? QtText(BuyerListName(row.listed->list))
                                    : QString();
    case PreviousColumn:
        return row.previous.unknown() ? QtText(kPreviousUnknownText)
               : row.previous         ? QtText(VerdictText(row.previous->facts.verdict))
                                      : QString();
    case RemarkColumn:
        return QtText(facts == nullptr ? row.message : (row.listed ? row.listed->note : std::u16string()));
    default:
        return {};
    }
}

QVariant CheckTableModel::cellColour(const CheckRow& row, int column) const {
    if (column == VerdictColumn && row.facts) {
        return row.facts->verdict == Verdict::Safe ? kGreen : kRed;
    }
    if (column == ListColumn && row.listed) {
        return row.listed->list == BuyerList::Allow ? kGreen : kRed;
    }
    if ((column == ListColumn && row.listed.unknown()) || (column == PreviousColumn && row.previous.unknown())) {
        return kAmber;
    }
    return {};
}

QVariant CheckTableModel::toolTip(const CheckRow& row, int column) const {
    if (column == PreviousColumn && row.previous) {
        return QStringLiteral("上次查询：%1").arg(timeText(row.previous->checkedAt));
    }
    // Why it is not known: the database's problem in the user's words.
    const std::optional<StoreProblem>& problem = column == ListColumn       ? row.listed.problem()
                                                 : column == PreviousColumn ? row.previous.problem()
                                                                            : std::nullopt;
    return problem ? QtText(StoreProblemMessage(*problem)) : QVariant();
}

QVariant CheckTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount()) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    return QtText(kTitles[section + firstColumn()]);
}

void CheckListModel::setRows(std::vector<CheckRow> rows) {
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void CheckListModel::setRow(std::size_t row, CheckRow value) {
    if (row >= m_rows.size()) {
        return;
    }
    m_rows[row] = std::move(value);
    const int at = static_cast<int>(row);
    emit dataChanged(index(at, 0), index(at, columnCount() - 1));
}

const CheckRow* CheckListModel::rowAt(int row) const {
    return row >= 0 && static_cast<std::size_t>(row) < m_rows.size() ? &m_rows[static_cast<std::size_t>(row)] : nullptr;
}

int CheckListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

void CheckPageModel::reset(std::size_t count, PageReader reader) {
    beginResetModel();
    m_count = count;
    m_reader = std::move(reader);
    ++m_resets;
    m_pages.clear();
    m_used.clear();
    endResetModel();
}

const CheckRow* CheckPageModel::rowAt(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= m_count || !m_reader) {
        return nullptr;
    }
    const std::size_t number = static_cast<std::size_t>(row) / kPageRows;
    auto page = m_pages.find(number);
    if (page == m_pages.end()) {
        if (m_pages.size() >= kPagesKept) {
            m_pages.erase(m_used.front());
            m_used.pop_front();
        }
        page = m_pages.emplace(number, std::nullopt).first;
        m_used.push_back(number);
        // Asked for on a const read: the rows that come are the model's to show, not a change of its own.
        auto* self = const_cast<CheckPageModel*>(this);
        self->m_asking = true;
        m_reader(number * kPageRows, kPageRows,
                 [self, number, reset = m_resets](std::optional<std::vector<CheckRow>> rows) {
                     // A page that cannot be read shows empty rows (the store has told why).
                     self->pageRead(number, reset, std::move(rows).value_or(std::vector<CheckRow>()));
                 });
        self->m_asking = false;
        page = m_pages.find(number);
        if (page == m_pages.end()) {
            return nullptr;
        }
    } else if (m_used.back() != number) {
        m_used.remove(number);
        m_used.push_back(number);
    }
    const std::size_t at = static_cast<std::size_t>(row) % kPageRows;
    return page->second && at < page->second->size() ? &(*page->second)[at] : nullptr;
}

void CheckPageModel::pageRead(std::size_t number, std::size_t reset, std::vector<CheckRow> rows) {
    const auto page = m_pages.find(number);
    // Rows of an earlier selection, or of a page given up for newer ones, are not shown.
    if (reset != m_resets || page == m_pages.end()) {
        return;
    }
    page->second = std::move(rows);
    if (!m_asking) {
        const int first = static_cast<int>(number * kPageRows);
        const int last = static_cast<int>(std::min(m_count, (number + 1) * kPageRows)) - 1;
        emit dataChanged(index(first, 0), index(last, columnCount() - 1));
    }
}

int CheckPageModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_count);
}

} // namespace tarvisk
