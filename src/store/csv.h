#pragma once

#include <string>
#include <string_view>
#include <vector>

// Comma-separated tables for spreadsheet programs: UTF-8 with a byte-order mark (without it the
// spreadsheet programs of Chinese Windows read the file as GBK), fields quoted as RFC 4180 asks,
// CR LF after every record.
//
// Two things are written so that a spreadsheet keeps the text as it is:
// - an id (all digits, e.g. an item id of 11 to 19 digits) is written as the formula ="42054041382",
//   which the spreadsheet shows as that text; a plain number would lose its digits past the 15th and
//   be shown as 4.2054E+10;
// - a text that a spreadsheet would take for a formula (it starts with =, +, -, @, a tab or a CR) is
//   written after an apostrophe, so that a title or note from the marketplace cannot run as a formula.
//   A text starting with an apostrophe gets one more, so that reading undoes the guard exactly.
//   Plain numbers ("-3", "99.5") are written as they are.

namespace tarvisk {

/// Cells of one record as written.
class CsvRecordWriter {
public:
    /// A text cell: guarded when a spreadsheet would take it for a formula, quoted when it holds a comma, a
    /// quote or a line break.
    CsvRecordWriter& text(std::u16string_view value);
    /// A text cell of what a page said (a title, a message): its control characters replaced first
    /// (ReplaceControlCharacters: tabs and line breaks stay). A user's own texts (lists, notes) go as they are.
    CsvRecordWriter& pageText(std::u16string_view value);
    /// An id cell: all digits gives ="digits"; anything else is written as text.
    CsvRecordWriter& id(std::u16string_view value);
    /// The record's bytes, ending with CR LF.
    std::string line() const { return m_line + "\r\n"; }

private:
    void append(std::string_view field);

    std::string m_line;
    bool m_empty = true;
};

/// The UTF-8 byte-order mark that starts every file the program writes.
inline constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

/// One record read from a table: its fields and the line of the file on which it starts (from 1).
struct CsvRecord {
    int line = 0;
    std::vector<std::u16string> fields;
};

/// A record that could not be read: its first line and why.
struct CsvProblem {
    int line = 0;
    std::string reason;
};

struct CsvTable {
    std::vector<CsvRecord> records;
    std::vector<CsvProblem> problems;
};

/// Reads a table: UTF-8 with or without a byte-order mark, or GBK (as spreadsheet programs on Chinese Windows
/// save it) when more of its lines are not UTF-8 than are; CR LF, LF or CR line ends; quoted fields with doubled
/// quotes and line breaks. Wholly blank lines are skipped. The encoding is read strictly: a record on a line that
/// is not valid in it is a problem at that line and is not taken. A record whose quote is never closed is a
/// problem; the records before it stay. Cells are given back as written: see CsvCellText.
CsvTable ReadCsv(std::string_view bytes);

/// What a cell says once the writing rules are undone: ="digits" gives the digits, a guarding apostrophe
/// is dropped.
std::u16string CsvCellText(std::u16string_view cell);

} // namespace tarvisk
