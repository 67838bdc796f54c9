#include "core/job.h"

#include <algorithm>
#include <chrono>
#include <random>
#include <thread>
#include <utility>

#include "core/hooks.h"

namespace tarvisk {

namespace {

// How much a pause may differ from the one asked for, either way.
constexpr double kPauseJitter = 0.3;
// The pause looks at the cancel flag and lets window events run this often.
constexpr auto kPauseStep = std::chrono::milliseconds(10);

double randomUnit() {
    thread_local std::mt19937 generator{std::random_device{}()};
    return std::uniform_real_distribution<double>(0.0, 1.0)(generator);
}

} // namespace

double JitteredPause(double seconds, double unit) {
    return seconds * (1.0 - kPauseJitter + 2 * kPauseJitter * unit);
}

void PauseBetweenPages(double seconds) {
    if (!(seconds > 0)) {
        return;
    }
    using Clock = std::chrono::steady_clock;
    const double wait = JitteredPause(std::min(seconds, kMaxPauseSeconds), randomUnit());
    const Clock::time_point end =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(wait));
    for (Clock::time_point now = Clock::now(); now < end && !CancelRequested(); now = Clock::now()) {
        std::this_thread::sleep_for(std::min<Clock::duration>(kPauseStep, end - now));
        PumpEvents();
    }
}

JobScope::JobScope(const std::atomic<bool>* cancel, ProgressSink progress, double pauseSeconds)
    : m_progress(std::move(progress)), m_pauseSeconds(pauseSeconds) {
    if (cancel != nullptr)
        m_cancelScope.emplace(*cancel);
}

void JobScope::reachPage(int page, int pages) const {
    if (page > 1)
        PauseBetweenPages(m_pauseSeconds);
    if (m_progress)
        m_progress(page, pages);
}

} // namespace tarvisk
