// tarvisk-cli: the command line of cli_app.h, run as it is.

#include <iostream>

#include "cli/cli_app.h"
#include "cli/guard.h"

int main(int argc, char** argv) {
    return tarvisk::cli::RunGuarded([&] { return tarvisk::cli::RunCli(argc, argv); }, std::cerr, "tarvisk-cli");
}
