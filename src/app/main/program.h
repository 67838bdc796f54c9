#pragma once

#include <optional>

#include <QString>
#include <QStringList>

// The desktop program's start: `tarvisk [--demo] [--data-dir DIR] [--version] [--help]`, or without a window
// `tarvisk --no-window ...` (no_window.h). With --demo the program
// starts the demo marketplace in this process and sends the browsers and the requests to it, so every job works with
// no account and no internet; what it stores goes to the subfolder "demo" of the user's data folder, never mixing
// with the user's own history. --data-dir keeps the check and ranking history and the buyer lists in DIR instead.
// --version and --help print and end before anything needs a display; an option the program does not know ends it
// with a usage error (exit 2), and a desktop without a display says so in Chinese (exit 1).

class QApplication;

namespace tarvisk {

/// The desktop program's own command line (the options Qt takes itself pass through).
struct ProgramArguments {
    bool demo = false;
    bool help = false;
    bool version = false;
    /// The folder after --data-dir (as "--data-dir DIR" or "--data-dir=DIR").
    std::optional<QString> dataFolder;
    /// What is wrong with it, in Chinese ("不认识的参数：--bogus"); empty when nothing is.
    QString problem;
};
/// Reads `arguments` (the program's own name first).
ProgramArguments ParseProgramArguments(const QStringList& arguments);

/// Names the application as the program is named (its profile and data folders go by the name) and keeps the web
/// engine's report of its settings off the terminal.
void NameApplication(QApplication& app, const QString& caption);

/// Sets up the application object as the programs run it: its name, Qt's own texts and the web engine in Chinese,
/// the product caption (the main window's caption and the title of message boxes that name none) and the core's
/// hooks into the windows.
void SetUpApplication(QApplication& app, const QString& caption);

/// Runs the program with its product caption ("Tarvisk" or "Tarvix") and returns its exit code.
int RunProgram(int argc, char** argv, const QString& caption);

} // namespace tarvisk
