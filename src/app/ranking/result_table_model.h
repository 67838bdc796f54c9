#pragma once

#include <QAbstractTableModel>

namespace tarvisk {

class ResultTable;
struct TableChange;

/// Shows a ResultTable in a Qt item view: the table's columns with their titles, one view row per table row
/// (view row r is table row r + 1), every cell as text. Follows the table's change notifications, so rows
/// appear as they are added. The table must outlive the model and be changed on the model's thread only.
class ResultTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ResultTableModel(ResultTable& table, QObject* parent = nullptr);
    ~ResultTableModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    /// The table got new columns (their titles and widths may differ from before).
    void columnsReset();

private:
    void onTableChanged(const TableChange& change);

    ResultTable& m_table;
    int m_rows = 0; // the row count the view knows, moved on each notification
};

} // namespace tarvisk
