#pragma once

#include <functional>
#include <string>

#include <CLI/CLI.hpp>

#include "jobs/ranking/ranking_search.h"
#include "jobs/shop/shop_crawl.h"

// Each command of tarvisk-cli adds its subcommand to the application and sets the runner that
// main calls after parsing (with the global options applied: routing, cookies, demo login).

namespace tarvisk::cli {

/// Runs a parsed command and returns the process exit status.
using CommandRunner = std::function<int()>;

/// Exit status of a usage error (bad option or argument), with a clear message on stderr.
inline constexpr int kUsageError = 2;
/// Exit status when a page could not be read (empty, a login or verification page, or one of
/// another layout) in a way that changes the answer; what was read is still printed.
inline constexpr int kPageNotRead = 4;
/// Exit status when a command could not do its work: the history database cannot be used, a CSV file
/// cannot be written (the message is on stderr).
inline constexpr int kFailure = 1;
/// Exit status of an import that skipped rows it could not read (each named on stderr); the others are in.
inline constexpr int kRowsSkipped = 5;

/// What helps with a page the jobs' own requests could not read: a verification is never passed by them, whatever
/// was done in the login browser, so it names the windowless browser and a slower pace.
std::u16string DirectRequestAdvice(PageKind kind);
/// The same for `tarvisk --no-window --fetch direct`: it names the browser mode of the run itself.
std::u16string WindowlessDirectAdvice(PageKind kind);
/// What helps with a page the windowless browser could not read: a verification needs the window.
std::u16string WindowlessBrowserAdvice(PageKind kind);

/// The options that apply to every command, as parsed before the command runs.
struct GlobalOptions {
    /// Seconds to wait, give or take 30%, between the pages of a walk or crawl and between the
    /// accounts of a check.
    double pauseSeconds = 0;
    /// The page fetches of the ranking walks and the shop crawls; empty: the jobs' own requests.
    RankingPageFetch rankingFetch;
    ShopPageFetch shopFetch;
    /// What the walks' and the crawls' messages about a page not read end with: what helps with the page fetch
    /// in use.
    PageAdvice advice = DirectRequestAdvice;
};

/// The check of an --item option: empty when the text holds an item id (a run of 9 to 12 digits), else why not.
std::string CheckItemId(const std::string& text);

void AddCheckCommand(CLI::App& app, const GlobalOptions& global, CommandRunner& runner);
void AddShopCommand(CLI::App& app, const GlobalOptions& global, CommandRunner& runner);
void AddRankCommand(CLI::App& app, const GlobalOptions& global, CommandRunner& runner);
/// `track`: the tracked keywords, each walked once for its own target with the window's pages and pause.
void AddTrackCommand(CLI::App& app, const GlobalOptions& global, CommandRunner& runner);
/// `track add`, `track remove` and `track list`: the tracked keywords themselves.
void AddTrackSubcommands(CLI::App& track, CommandRunner& runner);
void AddListCommand(CLI::App& app, CommandRunner& runner);
/// The `history` command and its `check` subcommand; returns `history`, so that other kinds of history join it.
CLI::App* AddHistoryCommand(CLI::App& app, CommandRunner& runner);

} // namespace tarvisk::cli
