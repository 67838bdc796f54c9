#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

// The result table of the ranking window: columns with a title and a width, rows numbered from 1
// in the order they were added, and one text cell per row and further column. The first column
// is the row-number column: a row's text there is its number, set when the row is added.
//
// Every use of the table goes through the ListView* procedures below, which address columns by
// title (letter case ignored) and rows by number. The window shows the table through a model
// adapter that follows the change notifications.

namespace tarvisk {

/// A column header. Widths are kept in pixels; 0 means the view's default width.
struct TableColumn {
    std::u16string title;
    int width = 0;
    friend bool operator==(const TableColumn&, const TableColumn&) = default;
};

/// What changed in a ResultTable, sent to its observer after the change is made.
struct TableChange {
    enum class Kind {
        ColumnsReset, ///< columns replaced and all rows removed
        RowsCleared,  ///< all rows removed, columns kept
        RowAdded,     ///< one row appended: `row` is its number (the new row count)
        CellChanged,  ///< the cell of `row` in the column at 0-based position `column` changed
    };
    Kind kind = Kind::RowsCleared;
    int row = 0;
    int column = 0;
};

class ResultTable {
public:
    using Observer = std::function<void(const TableChange&)>;

    /// The most rows a table holds: writing to a row beyond it adds no row and changes nothing,
    /// so a wild row number cannot exhaust memory.
    static constexpr int kMaxRows = 1'000'000;

    const std::vector<TableColumn>& columns() const { return m_columns; }
    int columnCount() const { return static_cast<int>(m_columns.size()); }
    int rowCount() const { return static_cast<int>(m_rows.size()); }

    /// The text of row `row` (1-based) in the column at 0-based position `column`; position 0
    /// is the row number. Empty outside the table.
    std::u16string text(int row, int column) const;

    /// One observer (the window's model adapter); an empty function removes it. The adapter
    /// keeps its own row count and moves it on RowAdded, so it can announce the insertion.
    void setObserver(Observer observer);

    /// Replaces the columns and removes every row.
    void resetColumns(std::vector<TableColumn> columns);
    /// Removes every row, keeps the columns.
    void clearRows();
    /// Appends a row whose number text is the new row count; returns that number (0, adding
    /// nothing, when the table is full).
    int addRow();
    /// Sets the cell of `row` (1-based) at column position `column` (1 .. columnCount() - 1).
    /// Returns false, changing nothing, for a row or column outside the table.
    bool setText(int row, int column, std::u16string value);

private:
    void notify(TableChange::Kind kind, int row = 0, int column = 0) const;

    std::vector<TableColumn> m_columns;
    std::vector<std::vector<std::u16string>> m_rows; // cells of columns 1 .. n-1
    Observer m_observer;
};

/// Removes all rows; the columns stay.
void ListViewClearItems(ResultTable& table);

/// Sets up the columns: `titles` separated by "|" (an empty piece is a column with an empty
/// title, empty `titles` no column), widths in pixels separated by "|". Widths without any "|"
/// are ignored altogether; a width piece that is not a number above 0, or missing, leaves that
/// column at the default width. Removes all rows.
/// ListViewSetColumns(t, u"a|B|c", u"10|0|x") sets only the first column's width (10).
void ListViewSetColumns(ResultTable& table, const std::u16string& titles, const std::u16string& widths);

/// The sub-item number (column position - 1) of the first column whose title equals `title`
/// ignoring letter case; no value when none does. u"NO." finds u"No." at 0.
std::optional<int> ListViewColumnIndex(const ResultTable& table, const std::u16string& title);

/// Writes one cell; never fails towards the caller. `row` is read as a number and written back;
/// row 0 means the last row (and is written back as that row's number). Rows are added until
/// row `row` exists. Nothing is written for the first column, a title that names no column, or a
/// row below 1. Example: row 5 on an empty table adds rows 1 to 5 and writes into row 5.
void ListViewSetCell(ResultTable& table, const std::u16string& title, double& row, const std::u16string& value);
void ListViewSetCell(ResultTable& table, const std::u16string& title, double&& row, const std::u16string& value);
/// As above with a row given as text: it is read by its leading number and the number written
/// back as text (u"3rd" becomes u"3").
void ListViewSetCell(ResultTable& table, const std::u16string& title, std::u16string& row, const std::u16string& value);

/// Reads one cell; the empty text for row 0, a row outside the table, the first column or a
/// title that names no column.
std::u16string ListViewGetCell(const ResultTable& table, const std::u16string& title, double row);
/// As above with a row given as text: it is read by its leading number and the number written
/// back as text.
std::u16string ListViewGetCell(const ResultTable& table, const std::u16string& title, std::u16string& row);

/// Appends a row numbered after the last one and writes `value` into the column named `title`
/// (nothing for the first column, whose text is the row number).
void ListViewAddRow(ResultTable& table, const std::u16string& title, const std::u16string& value);
/// As above; a number is written as its decimal text.
void ListViewAddRow(ResultTable& table, const std::u16string& title, double value);

} // namespace tarvisk
