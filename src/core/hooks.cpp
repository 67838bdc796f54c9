#include "core/hooks.h"

#include <ctime>
#include <iostream>
#include <mutex>

#include "core/utf8.h"

namespace tarvisk {

namespace {

// Front ends may run a job on a worker thread while the window thread installs or replaces a
// hook, so every hook is read and written under one lock and called outside it.
std::mutex& hookMutex() {
    static std::mutex mutex;
    return mutex;
}

MessageSink& installedSink() {
    static MessageSink sink;
    return sink;
}

EventPump& installedPump() {
    static EventPump pump;
    return pump;
}

Clock& installedClock() {
    static Clock clock;
    return clock;
}

TimeOfDayClock& installedTimeOfDay() {
    static TimeOfDayClock clock;
    return clock;
}

template <typename Hook> Hook currentHook(Hook& hook) {
    const std::lock_guard lock(hookMutex());
    return hook;
}

template <typename Hook> void installHook(Hook& hook, Hook value) {
    const std::lock_guard lock(hookMutex());
    hook = std::move(value);
}

void printMessage(const std::u16string& text, const std::u16string& title) {
    std::string line = title.empty() ? ToUtf8(text) : ToUtf8(title) + ": " + ToUtf8(text);
    std::cerr << line << std::endl;
}

std::tm localNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

Date localDate() {
    const std::tm local = localNow();
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

int localMinutes() {
    const std::tm local = localNow();
    return local.tm_hour * 60 + local.tm_min;
}

} // namespace

void SetMessageSink(MessageSink sink) {
    installHook(installedSink(), std::move(sink));
}

void ShowMessage(const std::u16string& text, const std::u16string& title) {
    const MessageSink sink = currentHook(installedSink());
    if (sink)
        sink(text, title);
    else
        printMessage(text, title);
}

void SetEventPump(EventPump pump) {
    installHook(installedPump(), std::move(pump));
}

void PumpEvents() {
    const EventPump pump = currentHook(installedPump());
    if (pump)
        pump();
}

void SetClock(Clock clock) {
    installHook(installedClock(), std::move(clock));
}

Date Today() {
    const Clock clock = currentHook(installedClock());
    return clock ? clock() : localDate();
}

void SetTimeOfDayClock(TimeOfDayClock clock) {
    installHook(installedTimeOfDay(), std::move(clock));
}

int MinutesSinceMidnight() {
    const TimeOfDayClock clock = currentHook(installedTimeOfDay());
    return clock ? clock() : localMinutes();
}

} // namespace tarvisk
