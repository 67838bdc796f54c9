#include "app/main/check_table_model.h"

#include <QColor>

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

void CheckTableModel::setRows(std::vector<CheckRow> rows) {
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void CheckTableModel::setRow(std::size_t row, CheckRow value) {
    if (row >= m_rows.size()) {
        return;
    }
    m_rows[row] = std::move(value);
    const int at = static_cast<int>(row);
    emit dataChanged(index(at, 0), index(at, columnCount() - 1));
}

int CheckTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CheckTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns - firstColumn();
}

QVariant CheckTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || static_cast<std::size_t>(index.row()) >= m_rows.size()) {
        return {};
    }
    const CheckRow& row = m_rows[static_cast<std::size_t>(index.row())];
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

} // namespace tarvisk
