#pragma once

#include <chrono>
#include <functional>
#include <string>

// The core never opens a window, reads the wall clock directly or spins an event loop of its
// own. The front ends install these hooks: the desktop program shows message boxes and
// processes Qt events, the command line prints to stderr, tests record and inject.

namespace tarvisk {

/// A calendar date (proleptic Gregorian), as the marketplace prints it.
struct Date {
    int year = 0;
    int month = 0;
    int day = 0;
    friend bool operator==(const Date&, const Date&) = default;
};

/// Shows a modal message: text and title; an empty title means the product caption.
using MessageSink = std::function<void(const std::u16string& text, const std::u16string& title)>;
/// Lets window events run while a request waits (called between the 10 ms polls).
using EventPump = std::function<void()>;
/// Today's local date.
using Clock = std::function<Date()>;

/// Installs the message sink; an empty function restores the default (print to stderr).
void SetMessageSink(MessageSink sink);
void ShowMessage(const std::u16string& text, const std::u16string& title = {});

/// Installs the event pump; an empty function means "nothing to pump".
void SetEventPump(EventPump pump);
void PumpEvents();

/// Installs the clock; an empty function restores the system's local date.
void SetClock(Clock clock);
Date Today();

/// Whole calendar days from `from` to `to` (negative when `to` is earlier).
int DaysBetween(const Date& from, const Date& to);
/// True for a real calendar date (2014-02-30 is not).
bool IsValidDate(const Date& date);

} // namespace tarvisk
