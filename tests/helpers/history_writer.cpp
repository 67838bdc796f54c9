// A second program writing to the history database, for the tests of two programs writing at once:
// records COUNT checks of ACCOUNT, one write each, and exits with 1 when any of them was not stored
// (the store's problem printed on stderr).
//
// usage: history_writer FILE ACCOUNT COUNT

#include <cstdio>
#include <string>

#include "core/date.h"
#include "store/check_history.h"
#include "store/local_store.h"
#include "text/encoding.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: history_writer FILE ACCOUNT COUNT\n");
        return 2;
    }
    tarvisk::StoreOptions options;
    // As long as a user would wait: the other program's writes are short.
    options.busyTimeoutMs = 10000;
    options.problems = [](const tarvisk::StoreProblem& problem) {
        std::fprintf(stderr, "history_writer: %s\n", tarvisk::ToUtf8(tarvisk::StoreProblemMessage(problem)).c_str());
    };
    tarvisk::LocalStore store(argv[1], options);
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
