#pragma once

#include <QString>
#include <QStringList>

// The desktop program's start: `tarvisk [--demo]`. With --demo the program starts the demo marketplace in
// this process and sends the browsers and the requests to it, so every job works with no account and no
// internet.

namespace tarvisk {

/// True when the command line asks for demo mode.
bool WantsDemo(const QStringList& arguments);

/// Runs the program with its product caption ("Tarvisk" or "Tarvix") and returns its exit code.
int RunProgram(int argc, char** argv, const QString& caption);

} // namespace tarvisk
