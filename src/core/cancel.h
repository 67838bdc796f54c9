#pragma once

#include <atomic>

// Long jobs (the shop crawl, the ranking walk) can be stopped by the user. A job runs inside a
// CancelScope; both request routines poll the flag of the innermost scope of their thread and
// give up at once (empty text) when it is set, so a request that never completes cannot keep
// the job waiting.

namespace tarvisk {

class CancelScope {
public:
    explicit CancelScope(const std::atomic<bool>& flag);
    ~CancelScope();
    CancelScope(const CancelScope&) = delete;
    CancelScope& operator=(const CancelScope&) = delete;

private:
    const std::atomic<bool>* m_previous;
};

/// True when the innermost CancelScope of this thread has been told to stop.
bool CancelRequested();

} // namespace tarvisk
