#pragma once

// Calendar dates as the marketplace prints them (a registration date, today's date in a search
// address), and the day arithmetic the reputation check needs.

namespace tarvisk {

/// A calendar date (proleptic Gregorian).
struct Date {
    int year = 0;
    int month = 0;
    int day = 0;
    friend bool operator==(const Date&, const Date&) = default;
};

/// Whole calendar days from `from` to `to` (negative when `to` is earlier).
int DaysBetween(const Date& from, const Date& to);
/// True for a real calendar date (2014-02-30 is not).
bool IsValidDate(const Date& date);

} // namespace tarvisk
