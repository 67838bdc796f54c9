#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/date.h"

// The daily ranking run ("每天自动查询"): while the program is open, the ranking window walks its keyword list once
// a day at a time the user sets, so that the history of every keyword fills itself. A program opened after the
// day's time makes the day's run at once, and only once; a machine that slept through the time makes the run when
// it wakes.

namespace tarvisk {

/// The minutes in a day.
inline constexpr int kMinutesPerDay = 24 * 60;

struct DailySchedule {
    bool enabled = false;
    int minute = 9 * 60;         ///< the time of day of the run, minutes since midnight
    std::optional<Date> lastRun; ///< the day of the last scheduled run, if any
};

/// True when a scheduled run was made for `day` (or a later day): `lastRun` is the day of the last one.
bool DailyRunMadeFor(const std::optional<Date>& lastRun, const Date& day);

/// A moment of the local time, to the minute.
struct DayMinute {
    Date day;
    int minute = 0; ///< minutes since midnight
};

/// The day whose scheduled run is due `now`, if any (the schedule is on): today, once its time has come and no
/// scheduled run was made for it; or the day before, when its time passed after the program last looked, at
/// `lastLooked` (the machine slept through it), and no scheduled run was made for that day. A program that
/// looked before today's time and looks again only after it makes today's run.
std::optional<Date> DueDailyRun(const DailySchedule& schedule, const DayMinute& now,
                                const std::optional<DayMinute>& lastLooked = std::nullopt);

/// When the next scheduled run comes, as the window says it: u"今天 09:00", u"明天 09:00", u"现在" when it is due;
/// empty when the schedule is off.
std::u16string NextDailyRunText(const DailySchedule& schedule, const Date& today, int minuteNow);

/// The time of day as "HH:MM": 545 gives u"09:05".
std::u16string TimeOfDayText(int minute);
/// "H:MM" or "HH:MM" within a day (u"9:05" gives 545); none for anything else.
std::optional<int> ParseTimeOfDay(std::u16string_view text);

} // namespace tarvisk
