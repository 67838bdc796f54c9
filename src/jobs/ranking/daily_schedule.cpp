#include "jobs/ranking/daily_schedule.h"

namespace tarvisk {

namespace {

std::u16string twoDigits(int value) {
    return {static_cast<char16_t>(u'0' + value / 10), static_cast<char16_t>(u'0' + value % 10)};
}

} // namespace

std::optional<Date> DueDailyRun(const DailySchedule& schedule, const DayMinute& now,
                                const std::optional<DayMinute>& lastLooked) {
    if (!schedule.enabled) {
        return std::nullopt;
    }
    if (now.minute >= schedule.minute) {
        return DailyRunMadeFor(schedule.lastRun, now.day) ? std::nullopt : std::optional(now.day);
    }
    // Before today's time: the day before is due only if its time came while the program was not looking.
    if (!lastLooked) {
        return std::nullopt;
    }
    const int daysSince = DaysBetween(lastLooked->day, now.day);
    const bool sleptThroughIt = daysSince > 1 || (daysSince == 1 && lastLooked->minute < schedule.minute);
    const Date dayBefore = AddDays(now.day, -1);
    return sleptThroughIt && !DailyRunMadeFor(schedule.lastRun, dayBefore) ? std::optional(dayBefore) : std::nullopt;
}

bool DailyRunMadeFor(const std::optional<Date>& lastRun, const Date& day) {
    return lastRun && DaysBetween(*lastRun, day) <= 0;
}

std::u16string NextDailyRunText(const DailySchedule& schedule, const Date& today, int minuteNow) {
    if (!schedule.enabled) {
        return {};
    }
    if (DueDailyRun(schedule, {today, minuteNow})) {
        return u"现在";
    }
    return (minuteNow < schedule.minute ? u"今天 " : u"明天 ") + TimeOfDayText(schedule.minute);
}

std::u16string TimeOfDayText(int minute) {
    return twoDigits(minute / 60) + u":" + twoDigits(minute % 60);
}

std::optional<int> ParseTimeOfDay(std::u16string_view text) {
    const std::size_t colon = text.find(u':');
    if (colon == std::u16string_view::npos || colon < 1 || colon > 2 || text.size() != colon + 3) {
        return std::nullopt;
    }
    int hours = 0;
    int minutes = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i == colon) {
            continue;
        }
        if (text[i] < u'0' || text[i] > u'9') {
            return std::nullopt;
        }
        int& part = i < colon ? hours : minutes;
        part = part * 10 + (text[i] - u'0');
    }
    if (hours > 23 || minutes > 59) {
        return std::nullopt;
    }
    return hours * 60 + minutes;
}

} // namespace tarvisk
