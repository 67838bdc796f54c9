#pragma once

#include <atomic>
#include <functional>
#include <optional>

#include "core/cancel.h"

// What every long job (the ranking walk, the shop crawl) shares: the user may stop it, it tells
// how far it has got, and it may pause between its pages.

namespace tarvisk {

/// Progress of a long job: page `page` of `pages` is being fetched.
using ProgressSink = std::function<void(int page, int pages)>;

/// The longest pause between pages that a job takes; a longer one is cut to this.
inline constexpr double kMaxPauseSeconds = 3600;

/// Waits about `seconds`, so that the marketplace sees the pace of a person rather than of a
/// script: each wait is drawn anew between 70% and 130% of `seconds`. It lets window events run
/// meanwhile and ends early when the job is cancelled. 0 or less: no wait.
void PauseBetweenPages(double seconds);

/// The wait for a draw `unit` from [0, 1): `seconds` × (0.7 + 0.6 × `unit`).
double JitteredPause(double seconds, double unit);

/// The frame of one run of a long job. With a cancel flag the job runs inside a CancelScope on
/// it, so the request routines give up at once when it is set; without one it runs to its end.
/// With a pause it waits PauseBetweenPages(`pauseSeconds`) before every page after the first.
class JobScope {
public:
    JobScope(const std::atomic<bool>* cancel, ProgressSink progress, double pauseSeconds = 0);
    JobScope(const JobScope&) = delete;
    JobScope& operator=(const JobScope&) = delete;

    /// True once the job has been told to stop.
    bool stopped() const { return CancelRequested(); }
    /// Pauses before any page but the first, then tells the progress sink, if any, that page
    /// `page` of `pages` is next.
    void reachPage(int page, int pages) const;

private:
    std::optional<CancelScope> m_cancelScope;
    ProgressSink m_progress;
    double m_pauseSeconds = 0;
};

} // namespace tarvisk
