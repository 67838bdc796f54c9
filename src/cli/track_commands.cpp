// tarvisk-cli track add / remove / list: the tracked keywords, each with its own target and alert rule.
//
//   tarvisk-cli track add KEYWORD (--item ID | --shop HOST) [--alert-drop N] [--no-fell-out-alert]
//       [--no-unread-alert]
//       tracks KEYWORD for the item or the shop (a keyword tracked already takes the rule given)
//   tarvisk-cli track remove KEYWORD (--item ID | --shop HOST)
//   tarvisk-cli track list
//       one JSON line per keyword and target, in the user's order: "keyword", "item" or "shop" (null "target" for a
//       keyword that waits for the ranking window's target), "name" (the target as the windows name it),
//       "alert_drop" (0: no alert for a drop), "alert_fell_out", "alert_unread"

#include <iostream>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "cli/help.h"
#include "cli/output.h"
#include "cli/terminal_text.h"
#include "store/local_store.h"
#include "store/tracked_keywords.h"
#include "text/encoding.h"

namespace tarvisk::cli {

namespace {

struct TrackKeywordArguments {
    std::string keyword;
    std::string item;
    std::string shop;
    int alertDrop = AlertRule{}.dropPlaces;
    bool noFellOut = false;
    bool noUnread = false;

    TrackedTarget target() const { return item.empty() ? ShopTarget(FromUtf8(shop)) : ItemTarget(FromUtf8(item)); }
    std::u16string walkedKeyword() const { return WalkedKeyword(FromUtf8(keyword)); }
};

/// "软件开发（宝贝 42054041382）", as the add and remove lines name a tracked keyword.
std::string trackedText(const std::u16string& keyword, const TrackedTarget& target) {
    return TerminalText(keyword + u"（" + TrackedTargetText(target) + u"）");
}

int runAdd(const TrackKeywordArguments& arguments) {
    LocalStore store(HistoryFilePath());
    const AlertRule rule{arguments.alertDrop, !arguments.noFellOut, !arguments.noUnread};
    const std::u16string keyword = arguments.walkedKeyword();
    const TrackChange change = AddTrackedKeyword(store, keyword, arguments.target(), rule);
    if (change == TrackChange::Failed) {
        return kFailure;
    }
    std::cout << (change == TrackChange::Added ? "已加入跟踪：" : "已在跟踪，提醒规则已更新：")
              << trackedText(keyword, arguments.target()) << "，提醒：" << TerminalText(AlertRuleText(rule)) << '\n';
    return 0;
}

int runRemove(const TrackKeywordArguments& arguments) {
    LocalStore store(HistoryFilePath());
    const std::u16string keyword = arguments.walkedKeyword();
    switch (RemoveTrackedKeyword(store, keyword, arguments.target())) {
    case TrackChange::Failed:
        return kFailure;
    case TrackChange::NotTracked:
        std::cerr << "track remove：没有在跟踪 " << trackedText(keyword, arguments.target()) << '\n';
        return 0;
    default:
        std::cout << "已不再跟踪：" << trackedText(keyword, arguments.target()) << '\n';
        return 0;
    }
}

int runList() {
    LocalStore store(HistoryFilePath());
    const auto keywords = TrackedKeywords(store);
    if (!keywords) {
        return kFailure;
    }
    for (const TrackedKeyword& keyword : *keywords) {
        nlohmann::ordered_json json;
        json["keyword"] = ToUtf8(keyword.keyword);
        if (keyword.hasTarget()) {
            json[TrackedTargetCode(keyword.target.kind)] = ToUtf8(keyword.target.value);
            json["name"] = ToUtf8(TrackedTargetCaption(store, keyword.target));
        } else {
            json["target"] = nullptr;
        }
        json["alert_drop"] = keyword.alert.dropPlaces;
        json["alert_fell_out"] = keyword.alert.fellOut;
        json["alert_unread"] = keyword.alert.unread;
        PrintJsonLine(json);
    }
    return 0;
}

/// KEYWORD and its target, --item ID or --shop HOST.
void addKeywordAndTarget(CLI::App& command, TrackKeywordArguments& arguments) {
    command.add_option("KEYWORD", arguments.keyword, "搜索关键字")->required()->check([](const std::string& text) {
        return IsBlankKeyword(FromUtf8(text)) ? std::string("关键字不能为空") : std::string();
    });
    CLI::Option_group* target = command.add_option_group("目标", "关键字的查询目标（--item 和 --shop 二选一）");
    target->add_option("--item", arguments.item, "宝贝ID或宝贝网址")->check(CheckItemId)->type_name("ID");
    target->add_option("--shop", arguments.shop, "店铺地址，例如 shop123.taobao.com")->type_name("HOST");
    target->require_option(1);
}

} // namespace

void AddTrackSubcommands(CLI::App& track, CommandRunner& runner) {
    auto arguments = std::make_shared<TrackKeywordArguments>();
    CLI::App* add = track.add_subcommand("add", "跟踪一个关键字：每天查它的这个目标的排名（已在跟踪时更新提醒规则）");
    addKeywordAndTarget(*add, *arguments);
    add->add_option("--alert-drop", arguments->alertDrop, "排名比上次下降 N 位或更多时提醒（默认5；0：不为下降提醒）")
        ->check(WholeNumberIn(0, 10000))
        ->type_name("N");
    add->add_flag("--no-fell-out-alert", arguments->noFellOut, "跌出所查的页时不提醒");
    add->add_flag("--no-unread-alert", arguments->noUnread, "因淘宝要求登录或验证而没有查完时不提醒");
    add->callback([&runner, arguments] { runner = [arguments] { return runAdd(*arguments); }; });

    CLI::App* remove = track.add_subcommand("remove", "不再跟踪这个关键字的这个目标");
    addKeywordAndTarget(*remove, *arguments);
    remove->callback([&runner, arguments] { runner = [arguments] { return runRemove(*arguments); }; });

    CLI::App* list = track.add_subcommand("list", "跟踪的关键字，每个关键字和目标一行 JSON");
    list->callback([&runner] { runner = [] { return runList(); }; });
}

} // namespace tarvisk::cli
