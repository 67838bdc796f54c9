#pragma once

#include <functional>
#include <string>

#include <CLI/CLI.hpp>

// Each command of tarvisk-cli adds its subcommand to the application and sets the runner that
// main calls after parsing (with the global options applied: routing, cookies, demo login).

namespace tarvisk::cli {

/// Runs a parsed command and returns the process exit status.
using CommandRunner = std::function<int()>;

/// Exit status of a usage error (bad option or argument), with a clear message on stderr.
inline constexpr int kUsageError = 2;

void AddCheckCommand(CLI::App& app, CommandRunner& runner);
void AddShopCommand(CLI::App& app, CommandRunner& runner);
void AddRankCommand(CLI::App& app, CommandRunner& runner);

} // namespace tarvisk::cli
