#pragma once

#include <atomic>

// Ctrl+C (SIGINT) and SIGTERM stop a running command: its requests give up at once, what it has printed stays,
// and it says on stderr that it was cancelled and exits with kInterrupted. Output goes out in whole lines only,
// so a file it writes to never ends in half a line. A second signal ends the program at once, as usual.

namespace tarvisk::cli {

/// Exit status of a command stopped by Ctrl+C or SIGTERM.
inline constexpr int kInterrupted = 130;

/// While it lives, the first SIGINT or SIGTERM sets the command's cancel flag instead of ending the program. A scope
/// inside another one changes nothing: the outermost one decides.
class InterruptScope {
public:
    InterruptScope();
    ~InterruptScope();
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;

    /// The flag a signal sets: the cancel flag of the command's job.
    static const std::atomic<bool>& flag();
    bool interrupted() const { return flag().load(); }
};

} // namespace tarvisk::cli
