#pragma once

#include <functional>
#include <string>

#include <CLI/CLI.hpp>

#include "cli/commands.h"

// The command line of tarvisk-cli, whole: its global options, its commands, what it prints and its exit
// statuses. A front end that takes the same command line (the desktop program without its window) adds its own
// options and runs the parsed command its own way.

namespace tarvisk::cli {

/// What a front end adds to the command line and how it runs a parsed command.
struct FrontEnd {
    /// The program's name, as --version and the messages on stderr give it.
    std::string name = "tarvisk-cli";
    /// How the command line is started, as a usage error names the way to its help.
    std::string invocation = "tarvisk-cli";
    std::string description = "淘宝买家信誉查询、宝贝排名和店铺宝贝列表。";
    /// Adds the front end's own options before the command line is parsed.
    std::function<void(CLI::App& app)> addOptions;
    /// Runs the parsed command once the global options are in force (routes, data folder, demo login) and returns
    /// the exit status; it may set the page fetches of `global` first. Empty: the command runs as it is.
    std::function<int(GlobalOptions& global, const CommandRunner& command)> run;
};

/// Parses the command line and runs its command; returns the process exit status (2 for a usage error, with a
/// message on stderr).
int RunCli(int argc, char** argv, const FrontEnd& frontEnd = {});

} // namespace tarvisk::cli
