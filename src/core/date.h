#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Calendar dates as the marketplace prints them (a registration date, today's date in a search
// address), the day arithmetic the reputation check needs, and the moments the history records.

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
/// The date `days` days after `date` (before it when negative): 2024-03-01 and -1 give 2024-02-29.
Date AddDays(const Date& date, int days);
/// True for a real calendar date (2014-02-30 is not).
bool IsValidDate(const Date& date);
/// "YYYY-MM-DD" as a real calendar date; none for anything else.
std::optional<Date> ParseIsoDate(std::string_view text);
/// The date as "YYYY-MM-DD".
std::string IsoDateText(const Date& date);

/// The moment now, in seconds since 1970-01-01 UTC.
std::int64_t UnixTimeNow();
/// A moment in local time, ISO 8601 with the offset from UTC: "2024-05-01T14:03:22+08:00".
std::string IsoLocalTime(std::int64_t unixSeconds);
/// A moment in local time as spreadsheets and windows show it: "2024-05-01 14:03:22".
std::string LocalTimeText(std::int64_t unixSeconds);

} // namespace tarvisk
