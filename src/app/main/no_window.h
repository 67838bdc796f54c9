#pragma once

#include <QString>
#include <QStringList>

// tarvisk --no-window: the command line of tarvisk-cli, its commands, options, output and exit statuses, run by the
// desktop program without a window, the jobs reaching their pages through the browser of the program's own
// profile (its login, its passed sliders). It is how cron runs the jobs on today's pages.

namespace tarvisk {

/// True when the command line asks for the windowless mode.
bool WantsNoWindow(const QStringList& arguments);

/// Runs `PROGRAM --no-window [OPTIONS] COMMAND ...` and returns its exit status. Beside the options of tarvisk-cli:
/// --fetch direct|browser|auto (default auto), --trust-certificate FILE (one more certificate for https, for
/// tests); --route HOST:PORT routes the browser as well as the requests. Without --pause, the browser's pages come
/// about 4 seconds apart. Exit 1 when another program has the browser profile open.
int RunWithoutWindow(int argc, char** argv, const QString& caption);

} // namespace tarvisk
