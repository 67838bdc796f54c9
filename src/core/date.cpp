#include "core/date.h"

#include <cstdio>
#include <ctime>

namespace tarvisk {

namespace {

/// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's days-from-civil).
long daysFromCivil(const Date& date) {
    const long year = date.year - (date.month <= 2 ? 1 : 0);
    const long era = (year >= 0 ? year : year - 399) / 400;
    const long yearOfEra = year - era * 400;
    const long dayOfYear = (153 * (date.month + (date.month > 2 ? -3 : 9)) + 2) / 5 + date.day - 1;
    const long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

/// The date of a count of days since 1970-01-01 (H. Hinnant's civil-from-days).
Date civilFromDays(long days) {
    days += 719468;
    const long era = (days >= 0 ? days : days - 146096) / 146097;
    const long dayOfEra = days - era * 146097;
    const long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long shiftedMonth = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    const int month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    return {static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0)), month, day};
}

std::tm localTime(std::int64_t unixSeconds) {
    const auto moment = static_cast<std::time_t>(unixSeconds);
    std::tm local{};
    localtime_r(&moment, &local);
    return local;
}

std::string formatted(const std::tm& time, const char* format) {
    char text[64];
    const std::size_t length = std::strftime(text, sizeof text, format, &time);
    return std::string(text, length);
}

} // namespace

int DaysBetween(const Date& from, const Date& to) {
    return static_cast<int>(daysFromCivil(to) - daysFromCivil(from));
}

Date AddDays(const Date& date, int days) {
    return civilFromDays(daysFromCivil(date) + days);
}

bool IsValidDate(const Date& date) {
    static constexpr int kDaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (date.year < 1 || date.year > 9999 || date.month < 1 || date.month > 12 || date.day < 1)
        return false;
    const bool leap = (date.year % 4 == 0 && date.year % 100 != 0) || date.year % 400 == 0;
    return date.day <= kDaysInMonth[date.month - 1] + (date.month == 2 && leap ? 1 : 0);
}

std::optional<Date> ParseIsoDate(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return std::nullopt;
    }
    const auto number = [text](std::size_t from, std::size_t length) {
        int value = 0;
        for (const char c : text.substr(from, length)) {
            if (c < '0' || c > '9') {
                return -1;
            }
            value = value * 10 + (c - '0');
        }
        return value;
    };
    const Date date{number(0, 4), number(5, 2), number(8, 2)};
    if (!IsValidDate(date)) {
        return std::nullopt;
    }
    return date;
}

std::string IsoDateText(const Date& date) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
    return text;
}

std::int64_t UnixTimeNow() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

std::string IsoLocalTime(std::int64_t unixSeconds) {
    const std::tm local = localTime(unixSeconds);
    // strftime writes the offset as +0800; ISO 8601's extended form, used with the extended time, has +08:00.
    std::string offset = formatted(local, "%z");
    if (offset.size() == 5) {
        offset.insert(3, ":");
    }
    return formatted(local, "%Y-%m-%dT%H:%M:%S") + offset;
}

std::string LocalTimeText(std::int64_t unixSeconds) {
    return formatted(localTime(unixSeconds), "%Y-%m-%d %H:%M:%S");
}

} // namespace tarvisk
