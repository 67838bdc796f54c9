#include "core/cancel.h"

namespace tarvisk {

namespace {

// Scopes nest (a crawl inside a ranking walk); only the innermost one of each thread counts.
thread_local const std::atomic<bool>* innermostFlag = nullptr;

} // namespace

CancelScope::CancelScope(const std::atomic<bool>& flag) : m_previous(innermostFlag) {
    innermostFlag = &flag;
}

CancelScope::~CancelScope() {
    innermostFlag = m_previous;
}

bool CancelRequested() {
    return innermostFlag != nullptr && innermostFlag->load(std::memory_order_acquire);
}

} // namespace tarvisk
