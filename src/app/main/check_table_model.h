#pragma once

#include <functional>
#include <list>
#include <map>
#include <optional>
#include <vector>

#include <QAbstractTableModel>

#include "store/exports.h"

namespace tarvisk {

/// The checks a table shows (a batch, the history): one row a check, with its verdict, registration date, credits,
/// good ratings of the week and the month, list, previous verdict and a remark (why a check gave no report, or the
/// list's note). Verdicts and lists are coloured: red for 不安全 and the block list, green for 安全 and the allow list;
/// a list or a previous check the database could not give reads 名单状态未知 / 上次查询未知, in amber. Where the rows
/// come from is the subclass's.
class CheckTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    /// With `withTime` the first column is the time of the check (the history).
    explicit CheckTableModel(bool withTime, QObject* parent = nullptr);

    /// Row `row` (from 0); none when there is no such row or it cannot be read.
    virtual const CheckRow* rowAt(int row) const = 0;

    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QVariant cellText(const CheckRow& row, int column) const;
    QVariant cellColour(const CheckRow& row, int column) const;
    QVariant toolTip(const CheckRow& row, int column) const;
    int firstColumn() const { return m_withTime ? 0 : 1; }

    bool m_withTime;
};

/// Checks held whole, as a batch makes them.
class CheckListModel : public CheckTableModel {
    Q_OBJECT
public:
    using CheckTableModel::CheckTableModel;

    const std::vector<CheckRow>& rows() const { return m_rows; }
    void setRows(std::vector<CheckRow> rows);
    /// Replaces row `row` (from 0).
    void setRow(std::size_t row, CheckRow value);

    const CheckRow* rowAt(int row) const override;
    int rowCount(const QModelIndex& parent = {}) const override;

private:
    std::vector<CheckRow> m_rows;
};

/// Checks read a page at a time as the view comes to them (the history may hold millions): only the pages last
/// looked at are kept. A page may come later than asked: its rows show empty until it does.
class CheckPageModel : public CheckTableModel {
    Q_OBJECT
public:
    /// Takes the rows of a page, none when they cannot be read.
    using PageDone = std::function<void(std::optional<std::vector<CheckRow>>)>;
    /// Reads `count` rows from the `offset`-th and gives them to `done`, at once or later (on this thread).
    using PageReader = std::function<void(std::size_t offset, std::size_t count, PageDone done)>;

    /// Rows a page holds, and how many pages are kept.
    static constexpr std::size_t kPageRows = 200;
    static constexpr std::size_t kPagesKept = 16;

    using CheckTableModel::CheckTableModel;

    /// Shows `count` rows that `reader` reads, from its first page on.
    void reset(std::size_t count, PageReader reader);

    const CheckRow* rowAt(int row) const override;
    int rowCount(const QModelIndex& parent = {}) const override;

private:
    /// A page's rows have come (`reset` is the reset they were asked under).
    void pageRead(std::size_t number, std::size_t reset, std::vector<CheckRow> rows);

    std::size_t m_count = 0;
    PageReader m_reader;
    std::size_t m_resets = 0;
    bool m_asking = false; // inside the reader: a page given at once needs no signal
    // The pages read or asked for (none yet), by number, and the order they were last used in (the most recent
    // last).
    mutable std::map<std::size_t, std::optional<std::vector<CheckRow>>> m_pages;
    mutable std::list<std::size_t> m_used;
};

} // namespace tarvisk
