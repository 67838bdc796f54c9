#include "app/ranking/result_table_model.h"

#include "table/result_table.h"
#include "app/ui/qt_text.h"
#include "app/ui/plain_text.h"

namespace tarvisk {

ResultTableModel::ResultTableModel(ResultTable& table, QObject* parent)
    : QAbstractTableModel(parent), m_table(table), m_rows(table.rowCount()) {
    m_table.setObserver([this](const TableChange& change) { onTableChanged(change); });
}

ResultTableModel::~ResultTableModel() {
    m_table.setObserver({});
}

int ResultTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int ResultTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_table.columnCount();
}

QVariant ResultTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) {
        return {};
    }
    const QString text = QtText(m_table.text(index.row() + 1, index.column()));
    // A cell is text from a page: its tool tip shows it as it is, never as markup.
    return role == Qt::ToolTipRole ? PlainToolTip(text) : text;
}

QVariant ResultTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (orientation == Qt::Vertical) {
        return section + 1;
    }
    if (section < 0 || section >= m_table.columnCount()) {
        return {};
    }
    return QtText(m_table.columns()[static_cast<std::size_t>(section)].title);
}

void ResultTableModel::onTableChanged(const TableChange& change) {
    switch (change.kind) {
    case TableChange::Kind::ColumnsReset:
    case TableChange::Kind::RowsCleared:
        // The table has already changed: a reset tells the view to forget everything it knew.
        beginResetModel();
        m_rows = m_table.rowCount();
        endResetModel();
        if (change.kind == TableChange::Kind::ColumnsReset) {
            emit columnsReset();
        }
        break;
    case TableChange::Kind::RowAdded:
        beginInsertRows({}, m_rows, change.row - 1);
        m_rows = change.row;
        endInsertRows();
        break;
    case TableChange::Kind::CellChanged: {
        const QModelIndex cell = index(change.row - 1, change.column);
        emit dataChanged(cell, cell, {Qt::DisplayRole, Qt::ToolTipRole});
        break;
    }
    }
}

} // namespace tarvisk
