#include <iostream>
#include <memory>
#include <string>

#include "cli/commands.h"

namespace tarvisk::cli {

void AddShopCommand(CLI::App& app, CommandRunner& runner) {
    auto address = std::make_shared<std::string>();
    CLI::App* shop = app.add_subcommand("shop", "List the items of a shop");
    shop->add_option("ADDRESS", *address, "Shop address")->required();
    shop->callback([&runner, address] {
        runner = [address] {
            std::cerr << "shop: not available in this build\n";
            return 1;
        };
    });
}

void AddRankCommand(CLI::App& app, CommandRunner& runner) {
    auto keyword = std::make_shared<std::string>();
    CLI::App* rank = app.add_subcommand("rank", "Find the ranking position of an item or a shop's items");
    rank->add_option("KEYWORD", *keyword, "Search keyword")->required();
    rank->callback([&runner, keyword] {
        runner = [keyword] {
            std::cerr << "rank: not available in this build\n";
            return 1;
        };
    });
}

} // namespace tarvisk::cli
