// The CSV reader and the buyer list import over fuzzed files, read as UTF-8 (with or without its byte-order mark) or
// GBK as the encoding detection finds: records start on increasing lines and none is a blank line, every problem
// names its line and its reason, every imported entry has an account, and what was read, written again, reads
// back the same (the cells of a table, the entries of a list).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "store/buyer_lists.h"
#include "store/csv.h"

namespace {

using tarvisk::fuzz::Check;

template <typename Problems> void CheckProblems(const Problems& problems) {
    for (const tarvisk::CsvProblem& problem : problems)
        Check(problem.line >= 1 && !problem.reason.empty(), "a problem names its line and its reason");
}

void CheckTable(const tarvisk::CsvTable& table) {
    int last = 0;
    for (const tarvisk::CsvRecord& record : table.records) {
        Check(record.line > last, "records start on increasing lines");
        last = record.line;
        Check(!record.fields.empty() && !(record.fields.size() == 1 && record.fields.front().empty()),
              "a blank line is no record");
    }
    CheckProblems(table.problems);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const tarvisk::CsvTable table = tarvisk::ReadCsv(bytes);
    CheckTable(table);
    std::string written = tarvisk::kUtf8Bom;
    for (const tarvisk::CsvRecord& record : table.records) {
        tarvisk::CsvRecordWriter writer;
        for (const std::u16string& field : record.fields)
            writer.text(tarvisk::CsvCellText(field));
        written += writer.line();
    }
    const tarvisk::CsvTable again = tarvisk::ReadCsv(written);
    CheckTable(again);
    Check(again.problems.empty() && again.records.size() == table.records.size(), "a written table reads back whole");
    for (std::size_t i = 0; i < table.records.size(); ++i) {
        const auto& before = table.records[i].fields;
        const auto& after = again.records[i].fields;
        Check(after.size() == before.size(), "a written record keeps its cells");
        for (std::size_t j = 0; j < before.size(); ++j)
            Check(tarvisk::CsvCellText(after[j]) == tarvisk::CsvCellText(before[j]), "a written cell reads back");
    }

    const tarvisk::ListCsvImport imported = tarvisk::ReadListCsv(bytes);
    CheckProblems(imported.problems);
    for (const tarvisk::ListEntry& entry : imported.entries)
        Check(!entry.account.empty(), "an imported entry has an account");
    const tarvisk::ListCsvImport exported = tarvisk::ReadListCsv(tarvisk::ListCsv(imported.entries, true));
    Check(exported.problems.empty() && exported.entries == imported.entries, "exported lists import the same");
    return 0;
}
