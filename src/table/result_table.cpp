#include "table/result_table.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "text/numbers.h"
#include "text/text_ops.h"

namespace tarvisk {

namespace {

// A row number as the list items take it: a fractional number is rounded to the nearest whole
// number (half to even); anything outside the table's reach reads as "no row".
int rowIndex(double row) {
    const double rounded = std::nearbyint(row);
    return rounded >= 1 && rounded <= ResultTable::kMaxRows ? static_cast<int>(rounded) : 0;
}

// The sub-item number of a title, 0 (the row-number column) when no column has that title.
int subItemOf(const ResultTable& table, const std::u16string& title) {
    return ListViewColumnIndex(table, title).value_or(0);
}

} // namespace

std::u16string ResultTable::text(int row, int column) const {
    if (row < 1 || row > rowCount() || column < 0 || column >= columnCount()) {
        return {};
    }
    return column == 0 ? NumberText(row) : m_rows[row - 1][column - 1];
}

void ResultTable::setObserver(Observer observer) {
    m_observer = std::move(observer);
}

void ResultTable::resetColumns(std::vector<TableColumn> columns) {
    m_columns = std::move(columns);
    m_rows.clear();
    notify(TableChange::Kind::ColumnsReset);
}

void ResultTable::clearRows() {
    m_rows.clear();
    notify(TableChange::Kind::RowsCleared);
}

int ResultTable::addRow() {
    if (rowCount() >= kMaxRows) {
        return 0;
    }
    m_rows.emplace_back(std::max(columnCount() - 1, 0));
    notify(TableChange::Kind::RowAdded, rowCount());
    return rowCount();
}

bool ResultTable::setText(int row, int column, std::u16string value) {
    if (row < 1 || row > rowCount() || column < 1 || column >= columnCount()) {
        return false;
    }
    m_rows[row - 1][column - 1] = std::move(value);
    notify(TableChange::Kind::CellChanged, row, column);
    return true;
}

void ResultTable::notify(TableChange::Kind kind, int row, int column) const {
    if (m_observer) {
        m_observer(TableChange{kind, row, column});
    }
}

void ListViewClearItems(ResultTable& table) {
    table.clearRows();
}

void ListViewSetColumns(ResultTable& table, const std::u16string& titles, const std::u16string& widths) {
    std::vector<TableColumn> columns;
    if (!titles.empty()) {
        for (std::u16string& title : SplitAt(titles, u"|")) {
            columns.push_back(TableColumn{std::move(title), 0});
        }
    }
    // A single width without a separator is ignored; missing pieces keep the default width.
    if (widths.find(u'|') != std::u16string::npos) {
        const std::vector<std::u16string> pieces = SplitAt(widths, u"|");
        for (std::size_t i = 0; i < columns.size() && i < pieces.size(); ++i) {
            const double width = LeadingNumber(pieces[i]);
            if (width > 0) {
                columns[i].width = static_cast<int>(std::lround(std::min(width, 1e6)));
            }
        }
    }
    table.resetColumns(std::move(columns));
}

std::optional<int> ListViewColumnIndex(const ResultTable& table, const std::u16string& title) {
    const auto& columns = table.columns();
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (EqualsIgnoringCase(columns[i].title, title)) {
            return static_cast<int>(i);
        }
    }
    return std::nullopt;
}

void ListViewSetCell(ResultTable& table, const std::u16string& title, double& row, const std::u16string& value) {
    const int column = subItemOf(table, title);
    if (row == 0) {
        row = table.rowCount();
    }
    // Grow the table until the row exists; the new rows have empty cells. A row the table can
    // never hold adds nothing.
    while (rowIndex(row) != 0 && row > table.rowCount()) {
        table.addRow();
    }
    table.setText(rowIndex(row), column, value);
}

void ListViewSetCell(ResultTable& table, const std::u16string& title, double&& row, const std::u16string& value) {
    ListViewSetCell(table, title, row, value);
}

void ListViewSetCell(ResultTable& table, const std::u16string& title, std::u16string& row,
                     const std::u16string& value) {
    double number = LeadingNumber(row);
    ListViewSetCell(table, title, number, value);
    row = NumberText(number);
}

std::u16string ListViewGetCell(const ResultTable& table, const std::u16string& title, double row) {
    const int column = subItemOf(table, title);
    return column == 0 ? std::u16string() : table.text(rowIndex(row), column);
}

std::u16string ListViewGetCell(const ResultTable& table, const std::u16string& title, std::u16string& row) {
    const double number = LeadingNumber(row);
    row = NumberText(number);
    return ListViewGetCell(table, title, number);
}

void ListViewAddRow(ResultTable& table, const std::u16string& title, const std::u16string& value) {
    const int column = subItemOf(table, title);
    table.setText(table.addRow(), column, value);
}

void ListViewAddRow(ResultTable& table, const std::u16string& title, double value) {
    ListViewAddRow(table, title, NumberText(value));
}

} // namespace tarvisk
