#pragma once

#include <atomic>
#include <functional>
#include <optional>

#include "core/cancel.h"

// What every long job (the ranking walk, the shop crawl) shares: the user may stop it, and it
// tells how far it has got.

namespace tarvisk {

/// Progress of a long job: page `page` of `pages` is being fetched.
using ProgressSink = std::function<void(int page, int pages)>;

/// The frame of one run of a long job. With a cancel flag the job runs inside a CancelScope on
/// it, so the request routines give up at once when it is set; without one it runs to its end.
class JobScope {
public:
    JobScope(const std::atomic<bool>* cancel, ProgressSink progress);
    JobScope(const JobScope&) = delete;
    JobScope& operator=(const JobScope&) = delete;

    /// True once the job has been told to stop.
    bool stopped() const { return CancelRequested(); }
    /// Tells the progress sink, if any, that page `page` of `pages` is next.
    void reachPage(int page, int pages) const;

private:
    std::optional<CancelScope> m_cancelScope;
    ProgressSink m_progress;
};

} // namespace tarvisk
