#pragma once

#include <string>

#include <CLI/CLI.hpp>

// tarvisk-cli speaks Chinese: its help (the words the command-line library adds as well as ours) and its usage
// errors. Option names, command names and JSON keys stay as they are, so scripts keep working.

namespace tarvisk::cli {

/// Gives `app` the Chinese help: its labels, the options' group name and the help flag. Call it before adding
/// options and commands, which take these over.
void UseChineseHelp(CLI::App& app);

/// Puts the commands of `app`, and theirs, under a Chinese heading. Call it once all commands are added.
void NameCommandGroups(CLI::App& app);

/// The usage error `error` in Chinese on stderr, after the program's name (`program`) and followed by how its
/// help is asked (`invocation` --help), and the exit status kUsageError; --help and --version print what they print
/// and give 0.
int ExitForParseError(const CLI::App& app, const CLI::ParseError& error, const std::string& program,
                      const std::string& invocation);

/// A whole number from `min` to `max`.
CLI::Validator WholeNumberIn(long min, long max);
/// A whole number from 1 up.
CLI::Validator PositiveWholeNumber();
/// The check of a pause in seconds: empty for a number from 0 to the longest pause a job takes, else why not.
std::string CheckPauseSeconds(const std::string& value);

} // namespace tarvisk::cli
