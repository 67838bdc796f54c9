#pragma once

#include <vector>

#include <QAbstractTableModel>

#include "store/exports.h"

namespace tarvisk {

/// The checks a table shows (a batch, the history): one row a check, with its verdict, registration date, credits,
/// good ratings of the week and the month, list, previous verdict and a remark (why a check gave no report, or the
/// list's note). Verdicts and lists are coloured: red for 不安全 and the block list, green for 安全 and the allow list;
/// a list or a previous check the database could not give reads 名单状态未知 / 上次查询未知, in amber.
class CheckTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    /// With `withTime` the first column is the time of the check (the history).
    explicit CheckTableModel(bool withTime, QObject* parent = nullptr);

    const std::vector<CheckRow>& rows() const { return m_rows; }
    void setRows(std::vector<CheckRow> rows);
    /// Replaces row `row` (from 0).
    void setRow(std::size_t row, CheckRow value);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QVariant cellText(const CheckRow& row, int column) const;
    QVariant cellColour(const CheckRow& row, int column) const;
    QVariant toolTip(const CheckRow& row, int column) const;
    int firstColumn() const { return m_withTime ? 0 : 1; }

    bool m_withTime;
    std::vector<CheckRow> m_rows;
};

} // namespace tarvisk
