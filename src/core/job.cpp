#include "core/job.h"

#include <utility>

namespace tarvisk {

JobScope::JobScope(const std::atomic<bool>* cancel, ProgressSink progress) : m_progress(std::move(progress)) {
    if (cancel != nullptr)
        m_cancelScope.emplace(*cancel);
}

void JobScope::reachPage(int page, int pages) const {
    if (m_progress)
        m_progress(page, pages);
}

} // namespace tarvisk
