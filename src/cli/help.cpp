#include "cli/help.h"

#include <charconv>
#include <iostream>
#include <limits>
#include <memory>
#include <regex>
#include <string_view>
#include <utility>

#include "cli/commands.h"
#include "cli/terminal_text.h"
#include "core/job.h"
#include "text/encoding.h"

namespace tarvisk::cli {

namespace {

/// The help without the library's English notes on option groups (each group says in its description what it needs).
class ChineseFormatter : public CLI::Formatter {
public:
    ChineseFormatter() {
        for (const auto& [key, text] : std::initializer_list<std::pair<const char*, const char*>>{
                 {"Usage", "用法"},
                 {"OPTIONS", "选项"},
                 {"SUBCOMMAND", "命令"},
                 {"SUBCOMMANDS", "命令"},
                 {"Positionals", "参数"},
                 {"REQUIRED", "必填"},
                 {"INT", "整数"},
                 {"UINT", "正整数"},
                 {"FLOAT", "数字"},
                 {"Excludes", "不能同时用"},
                 {"Needs", "需要"},
             }) {
            label(key, text);
        }
    }
    /// A positional's name says what it takes: no placeholder after it. An option's placeholder is what its check
    /// names (FILE for an existing file), not the library's TEXT.
    std::string make_option_opts(const CLI::Option* option) const override {
        std::string text = CLI::Formatter::make_option_opts(option);
        if (const std::string placeholder = " " + get_label(option->get_type_name());
            !option->nonpositional() && text.starts_with(placeholder)) {
            text.erase(0, placeholder.size());
        } else if (text.starts_with(" TEXT:")) {
            text.erase(1, 5);
        }
        return text;
    }
    std::string make_description(const CLI::App* app) const override {
        const std::string description = app->get_description();
        return description.empty() ? std::string() : description + "\n";
    }
    /// An option group is shown under its own name.
    std::string make_expanded(const CLI::App* sub) const override {
        std::string text = CLI::Formatter::make_expanded(sub);
        if (sub->get_name().empty()) {
            text.replace(0, text.find('\n'), sub->get_group() + "：");
        }
        return text;
    }
    /// The option and its description side by side, lined up by what the terminal shows (a Chinese character takes
    /// two columns and three bytes).
    std::string make_option(const CLI::Option* option, bool positional) const override {
        const std::string name = "  " + make_option_name(option, positional) + make_option_opts(option);
        const std::size_t width = displayWidth(name);
        std::string text = name;
        text +=
            width < column_width_ ? std::string(column_width_ - width, ' ') : "\n" + std::string(column_width_, ' ');
        return text + make_option_desc(option) + "\n";
    }

private:
    static std::size_t displayWidth(std::string_view text) {
        std::size_t width = 0;
        for (const std::u16string::value_type c : FromUtf8(std::string(text))) {
            width += c >= 0x1100 ? 2 : 1;
        }
        return width;
    }
};

/// The library's usage errors, as it words them (see CLI/Error.hpp), and how they read in Chinese.
const std::pair<std::regex, const char*> kMessages[] = {
    {std::regex("A subcommand is required|Requires at least \\d+ subcommands?"), "缺少命令（见 --help）"},
    {std::regex("Exactly 1 option from \\[(.*)\\].*"), "$1 中要给出一个，且只能给一个"},
    {std::regex("(.*) is required"), "缺少 $1"},
    {std::regex("The following arguments? (?:was|were) not expected: (.*)"), "不认识的参数：$1"},
    {std::regex("(.*) excludes (.*)"), "$1 和 $2 不能同时使用"},
    {std::regex("(.*) requires (.*)"), "$1 需要同时给出 $2"},
    {std::regex("Could not convert: (.*) = (.*)"), "$1 的值“$2”不对"},
    {std::regex("The value (.*) is not an allowed value for (.*)"), "$2 不能取值“$1”"},
    {std::regex("Expected (?:exactly|at least) \\d+ arguments? to (.*), got \\d+"), "$1 缺少值"},
    {std::regex("(.*): \\d+ required .* missing"), "$1 缺少值"},
    {std::regex("(.*?): (.*)"), "$1：$2"},
};

std::string chineseMessage(const std::string& message) {
    for (const auto& [pattern, chinese] : kMessages) {
        if (std::regex_match(message, pattern)) {
            return std::regex_replace(message, pattern, chinese);
        }
    }
    return message;
}

} // namespace

void UseChineseHelp(CLI::App& app) {
    app.formatter(std::make_shared<ChineseFormatter>());
    app.option_defaults()->group("选项");
    app.set_help_flag("-h,--help", "显示这段说明并退出");
}

void NameCommandGroups(CLI::App& app) {
    for (CLI::App* command : app.get_subcommands({})) {
        if (!command->get_name().empty()) {
            command->group("命令");
            // A command's help flag is made before it takes over the options' group name.
            command->get_help_ptr()->group("选项");
            NameCommandGroups(*command);
        }
    }
}

int ExitForParseError(const CLI::App& app, const CLI::ParseError& error, const std::string& program,
                      const std::string& invocation) {
    if (error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
        return app.exit(error); // --help or --version
    }
    std::cerr << program << "：" << TerminalText(FromUtf8(chineseMessage(error.what()))) << "\n用 " << invocation
              << " --help 查看用法。\n";
    return kUsageError;
}

namespace {

CLI::Validator wholeNumber(long min, long max, std::string wanted) {
    return CLI::Validator(
        [min, max, wanted](std::string& text) {
            long value = 0;
            const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
            if (failure == std::errc() && end == text.data() + text.size() && value >= min && value <= max) {
                return std::string();
            }
            return "应为" + wanted + "，而不是“" + text + "”";
        },
        "", "");
}

} // namespace

CLI::Validator WholeNumberIn(long min, long max) {
    return wholeNumber(min, max, " " + std::to_string(min) + " 到 " + std::to_string(max) + " 之间的整数");
}

CLI::Validator PositiveWholeNumber() {
    return wholeNumber(1, std::numeric_limits<long>::max(), "正整数");
}

std::string CheckPauseSeconds(const std::string& value) {
    double seconds = -1;
    const auto [end, failure] = std::from_chars(value.data(), value.data() + value.size(), seconds);
    if (failure != std::errc() || end != value.data() + value.size() ||
        !(seconds >= 0 && seconds <= kMaxPauseSeconds)) {
        return "应为 0 到 " + std::to_string(static_cast<int>(kMaxPauseSeconds)) + " 之间的秒数，而不是“" + value + "”";
    }
    return {};
}

} // namespace tarvisk::cli
