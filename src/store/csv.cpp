#include "store/csv.h"

#include <algorithm>
#include <set>

#include "text/encoding.h"
#include "text/text_ops.h"

namespace tarvisk {

namespace {

bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

bool allDigits(std::u16string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), isDigit);
}

/// An optional sign, digits, and at most one decimal point followed by digits: "12", "-3", "99.5".
bool isPlainNumber(std::u16string_view text) {
    if (!text.empty() && (text.front() == u'-' || text.front() == u'+')) {
        text.remove_prefix(1);
    }
    const std::size_t point = text.find(u'.');
    if (point == std::u16string_view::npos) {
        return allDigits(text);
    }
    return allDigits(text.substr(0, point)) && allDigits(text.substr(point + 1));
}

/// The first characters by which a spreadsheet takes a cell for a formula, and the guard itself.
bool needsGuard(std::u16string_view text) {
    if (text.empty() || isPlainNumber(text)) {
        return false;
    }
    return std::u16string_view(u"=+-@\t\r'").find(text.front()) != std::u16string_view::npos;
}

std::string quoted(std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        return std::string(field);
    }
    std::string result = "\"";
    for (const char c : field) {
        result += c;
        if (c == '"') {
            result += '"';
        }
    }
    return result + "\"";
}

/// Hands each line of `bytes` to `each` with its number (from 1), as the parser counts lines: ended by CR LF, LF or a
/// lone CR.
template <typename Each> void forEachLine(std::string_view bytes, Each each) {
    std::size_t start = 0;
    int number = 1;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' || bytes[i] == '\n') {
            each(number++, bytes.substr(start, i - start));
            if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                ++i;
            }
            start = i + 1;
        }
    }
    each(number, bytes.substr(start));
}

bool hasHighBytes(std::string_view line) {
    return std::any_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

/// A table's text and the lines (from 1) that are not valid in the encoding it was read in.
struct DecodedTable {
    std::u16string text;
    std::set<int> badLines;
    const char* encoding = "UTF-8";
};

/// The bytes as text: UTF-8 after a byte-order mark, or when at least as many of the lines that hold more than ASCII
/// are UTF-8 as are not (UTF-8 is rarely valid by chance, GBK often is); else GBK.
DecodedTable decodeTable(std::string_view bytes) {
    const std::string_view bom(kUtf8Bom);
    const bool marked = bytes.substr(0, bom.size()) == bom;
    if (marked) {
        bytes.remove_prefix(bom.size());
    }
    int utf8Lines = 0;
    int otherLines = 0;
    forEachLine(bytes, [&](int, std::string_view line) {
        if (!IsValidUtf8(line)) {
            ++otherLines;
        } else if (hasHighBytes(line)) {
            ++utf8Lines;
        }
    });
    DecodedTable table;
    const bool utf8 = marked || utf8Lines >= otherLines;
    table.encoding = utf8 ? "UTF-8" : "GBK";
    forEachLine(bytes, [&](int number, std::string_view line) {
        if (!(utf8 ? IsValidUtf8(line) : IsValidGbk(line))) {
            table.badLines.insert(number);
        }
    });
    table.text = utf8 ? DecodeUtf8Bytes(std::string(bytes)) : DecodeCharsetBytes(std::string(bytes), "GBK");
    return table;
}

/// Reads records from the text, one at a time.
class CsvParser {
public:
    explicit CsvParser(DecodedTable decoded) : m_text(std::move(decoded.text)), m_decoded(std::move(decoded)) {}

    CsvTable parse() {
        CsvTable table;
        while (m_pos < m_text.size()) {
            CsvRecord record;
            record.line = m_line;
            if (!readRecord(record.fields)) {
                table.problems.push_back({record.line, "引号没有闭合"});
                break;
            }
            // The record's last line: the one before the line end it consumed, if it ended with one.
            const int last = m_text[m_pos - 1] == u'\n' || m_text[m_pos - 1] == u'\r' ? m_line - 1 : m_line;
            const auto bad = m_decoded.badLines.lower_bound(record.line);
            if (bad != m_decoded.badLines.end() && *bad <= last) {
                table.problems.push_back({*bad, std::string("不是有效的") + m_decoded.encoding + "文字（文件按" +
                                                    m_decoded.encoding + "读取）"});
            } else if (!(record.fields.size() == 1 && record.fields.front().empty())) {
                table.records.push_back(std::move(record));
            }
        }
        return table;
    }

private:
    /// Consumes a line end (CR LF, LF or a lone CR) at the current position; false when there is none.
    bool lineEnd() {
        if (m_pos >= m_text.size() || (m_text[m_pos] != u'\r' && m_text[m_pos] != u'\n')) {
            return false;
        }
        if (m_text[m_pos] == u'\r' && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == u'\n') {
            ++m_pos;
        }
        ++m_pos;
        ++m_line;
        return true;
    }

    /// Reads one record up to and including its line end; false when a quoted field never closes.
    bool readRecord(std::vector<std::u16string>& fields) {
        fields.emplace_back();
        while (m_pos < m_text.size()) {
            if (lineEnd()) {
                return true;
            }
            const char16_t c = m_text[m_pos];
            if (c == u',') {
                ++m_pos;
                fields.emplace_back();
            } else if (c == u'"' && fields.back().empty()) {
                ++m_pos;
                if (!readQuoted(fields.back())) {
                    return false;
                }
            } else {
                // Text after a closing quote, or a quote inside an unquoted field, is kept as it stands.
                fields.back() += c;
                ++m_pos;
            }
        }
        return true;
    }

    /// Reads a quoted field's content after its opening quote, up to its closing quote.
    bool readQuoted(std::u16string& field) {
        while (m_pos < m_text.size()) {
            const char16_t c = m_text[m_pos];
            if (c == u'"') {
                if (m_pos + 1 < m_text.size() && m_text[m_pos + 1] == u'"') {
                    field += u'"';
                    m_pos += 2;
                    continue;
                }
                ++m_pos;
                return true;
            }
            // A line break inside a field is kept as it is written, and counted.
            const std::size_t start = m_pos;
            if (lineEnd()) {
                field.append(m_text, start, m_pos - start);
            } else {
                field += c;
                ++m_pos;
            }
        }
        return false;
    }

    std::u16string m_text;
    DecodedTable m_decoded; ///< without its text, which m_text holds
    std::size_t m_pos = 0;
    int m_line = 1;
};

} // namespace

CsvRecordWriter& CsvRecordWriter::text(std::u16string_view value) {
    if (needsGuard(value)) {
        append(quoted("'" + ToUtf8(std::u16string(value))));
    } else {
        append(quoted(ToUtf8(std::u16string(value))));
    }
    return *this;
}

CsvRecordWriter& CsvRecordWriter::pageText(std::u16string_view value) {
    // No escape, bell or NUL of a page reaches the file (a terminal or a spreadsheet that shows it).
    return text(ReplaceControlCharacters(value));
}

CsvRecordWriter& CsvRecordWriter::id(std::u16string_view value) {
    if (!allDigits(value)) {
        return text(value);
    }
    append(quoted("=\"" + ToUtf8(std::u16string(value)) + "\""));
    return *this;
}

void CsvRecordWriter::append(std::string_view field) {
    if (!m_empty) {
        m_line += ',';
    }
    m_empty = false;
    m_line += field;
}

CsvTable ReadCsv(std::string_view bytes) {
    return CsvParser(decodeTable(bytes)).parse();
}

std::u16string CsvCellText(std::u16string_view cell) {
    if (cell.size() >= 3 && cell.substr(0, 2) == u"=\"" && cell.back() == u'"' &&
        allDigits(cell.substr(2, cell.size() - 3))) {
        return std::u16string(cell.substr(2, cell.size() - 3));
    }
    if (cell.size() >= 2 && cell.front() == u'\'' && needsGuard(cell.substr(1))) {
        return std::u16string(cell.substr(1));
    }
    return std::u16string(cell);
}

} // namespace tarvisk
