// tarvisk-cli: the command line of cli_app.h, run as it is.

#include <iostream>

#include "cli/cli_app.h"
#include "cli/guard.h"
#include "text/settings.h"

int main(int argc, char** argv) {
    const int status =
        tarvisk::cli::RunGuarded([&] { return tarvisk::cli::RunCli(argc, argv); }, std::cerr, "tarvisk-cli");
    // Settings changed by a command may still wait to be written.
    if (!tarvisk::FlushSettings()) {
        std::cerr << "tarvisk-cli：设置没能写进 Setting.ini" << std::endl;
    }
    return status;
}
