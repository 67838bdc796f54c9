#pragma once

#include <functional>
#include <string>

#include <QString>

class QWidget;

// The file choosers of the windows (a CSV file to write or to read), in one place so that tests can answer
// them instead of a user, and the CSV export every table offers.

namespace tarvisk {

enum class FileDialogKind { Save, Open };

/// Asks for a CSV file to write, starting at `suggestedName` in the user's documents folder. Empty when the user
/// cancelled.
QString AskSaveCsvFile(QWidget* parent, const QString& title, const QString& suggestedName);
/// Asks for a CSV file to read. Empty when the user cancelled.
QString AskOpenCsvFile(QWidget* parent, const QString& title);

/// Answers every file chooser instead of the user (tests): gets the kind and the title, returns the path or empty
/// text. An empty function restores the real choosers.
using FileDialogHook = std::function<QString(FileDialogKind kind, const QString& title)>;
void SetFileDialogHook(FileDialogHook hook);

/// Asks for a file and writes the CSV table `bytes` to it, asking first when the file is read-only; a failure is
/// told in a message box, and so is the end, with the `rows` written and the file (unless `rows` is negative: the
/// caller says it). False when nothing was written (cancelled, declined or failed).
bool ExportCsv(QWidget* parent, const QString& suggestedName, const std::string& bytes, int rows);

/// Gives `view` a context menu entry "导出CSV…" that exports the table `csv` gives at that moment, of `rows` rows.
void AddCsvExportAction(QWidget& view, const QString& suggestedName, std::function<std::string()> csv,
                        std::function<int()> rows);

} // namespace tarvisk
