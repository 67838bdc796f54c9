#include "cli/interrupt.h"

#include <csignal>

namespace tarvisk::cli {

namespace {

std::atomic<bool> interruptedFlag = false;
static_assert(std::atomic<bool>::is_always_lock_free);

constexpr int kSignals[] = {SIGINT, SIGTERM};
struct sigaction previous[std::size(kSignals)];
// Scopes nest: a program that runs a command inside a longer run of its own keeps the outer scope's flag, so a
// signal before the command starts still cancels it.
int depth = 0;

void onSignal(int) {
    interruptedFlag = true;
}

} // namespace

InterruptScope::InterruptScope() {
    if (depth++ > 0) {
        return;
    }
    interruptedFlag = false;
    struct sigaction action = {};
    action.sa_handler = &onSignal;
    sigemptyset(&action.sa_mask);
    // The handler serves once: a second signal ends the program by the default action.
    action.sa_flags = SA_RESETHAND;
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        sigaction(kSignals[i], &action, &previous[i]);
    }
}

InterruptScope::~InterruptScope() {
    if (--depth > 0) {
        return;
    }
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        sigaction(kSignals[i], &previous[i], nullptr);
    }
}

const std::atomic<bool>& InterruptScope::flag() {
    return interruptedFlag;
}

} // namespace tarvisk::cli
