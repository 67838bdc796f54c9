#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "core/date.h"

// The core never opens a window, reads the wall clock directly or spins an event loop of its
// own. The front ends install these hooks: the desktop program shows message boxes and
// processes Qt events, the command line prints to stderr, tests record and inject.

namespace tarvisk {

/// Shows a modal message: text and title; an empty title means the product caption.
using MessageSink = std::function<void(const std::u16string& text, const std::u16string& title)>;
/// Lets window events run while a request waits (called between the 10 ms polls).
using EventPump = std::function<void()>;
/// Today's local date.
using Clock = std::function<Date()>;
/// The local time of day, in minutes since midnight (0 to 1439).
using TimeOfDayClock = std::function<int()>;

/// Installs the message sink; an empty function restores the default (print to stderr).
void SetMessageSink(MessageSink sink);
void ShowMessage(const std::u16string& text, const std::u16string& title = {});

/// Installs the event pump; an empty function means "nothing to pump".
void SetEventPump(EventPump pump);
void PumpEvents();

/// Installs the clock; an empty function restores the system's local date.
void SetClock(Clock clock);
Date Today();

/// Installs the time of day (for the daily scheduled jobs); an empty function restores the system's local time.
void SetTimeOfDayClock(TimeOfDayClock clock);
int MinutesSinceMidnight();

} // namespace tarvisk
