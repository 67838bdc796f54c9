// A second program using the history database at the same time as the tests.
//
// usage: history_writer FILE ACCOUNT COUNT
//   records COUNT checks of ACCOUNT, one write each, and exits with 1 when any of them was not stored (the store's
//   problem printed on stderr);
// usage: history_writer FILE --hold READY STOP
//   opens the database and reads it, as a program that has it open does, makes the file READY, and keeps the
//   database open until the file STOP exists;
// usage: history_writer FILE --track KEYWORD...
//   makes the tracked keywords KEYWORD..., as the keyword list kept them before keywords had targets of their own.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

#include "core/date.h"
#include "store/buyer_lists.h"
#include "store/check_history.h"
#include "store/local_store.h"
#include "store/ranking_history.h"
#include "text/encoding.h"

namespace {

tarvisk::StoreOptions options() {
    tarvisk::StoreOptions options;
    // As long as a user would wait: the other program's writes are short.
    options.busyTimeoutMs = 10000;
    options.problems = [](const tarvisk::StoreProblem& problem) {
        std::fprintf(stderr, "history_writer: %s\n", tarvisk::ToUtf8(tarvisk::StoreProblemMessage(problem)).c_str());
    };
    return options;
}

int hold(tarvisk::LocalStore& store, const std::filesystem::path& ready, const std::filesystem::path& stop) {
    if (!tarvisk::ListEntries(store)) {
        return 1;
    }
    std::ofstream{ready};
    while (!std::filesystem::exists(stop)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const bool track = argc >= 3 && std::string(argv[2]) == "--track";
    if (argc != 4 && !(argc == 5 && std::string(argv[2]) == "--hold") && !track) {
        std::fprintf(stderr, "usage: history_writer FILE ACCOUNT COUNT | history_writer FILE --hold READY STOP | "
                             "history_writer FILE --track KEYWORD...\n");
        return 2;
    }
    tarvisk::LocalStore store(argv[1], options());
    if (track) {
        return store.write([&](SQLite::Database& db) {
            db.exec("DELETE FROM tracked_keywords");
            SQLite::Statement insert(db, "INSERT INTO tracked_keywords (position, keyword, target_kind, target) "
                                         "VALUES (?, ?, 'window', '')");
            for (int i = 3; i < argc; ++i) {
                insert.bind(1, i);
                insert.bind(2, argv[i]);
                insert.exec();
                insert.reset();
            }
        })
                   ? 0
                   : 1;
    }
    if (argc == 5) {
        return hold(store, argv[3], argv[4]);
    }
    tarvisk::ReputationFacts facts;
    facts.account = tarvisk::FromUtf8(argv[2]);
    const long count = std::stol(argv[3]);
    for (long i = 0; i < count; ++i) {
        facts.buyerCredit = static_cast<double>(i);
        if (!tarvisk::RecordCheck(store, facts, tarvisk::UnixTimeNow()).saved) {
            return 1;
        }
    }
    return 0;
}
