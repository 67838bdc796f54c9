#include "cli/interrupt.h"

#include <csignal>

namespace tarvisk::cli {

namespace {

std::atomic<bool> interruptedFlag = false;
static_assert(std::atomic<bool>::is_always_lock_free);

constexpr int kSignals[] = {SIGINT, SIGTERM};
struct sigaction previous[std::size(kSignals)];

void onSignal(int) {
    interruptedFlag = true;
}

} // namespace

InterruptScope::InterruptScope() {
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
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        sigaction(kSignals[i], &previous[i], nullptr);
    }
}

const std::atomic<bool>& InterruptScope::flag() {
    return interruptedFlag;
}

} // namespace tarvisk::cli
