#include "core/date.h"

#include <ctime>
#include <optional>
#include <utility>

#include <gtest/gtest.h>

#include "settings_test_support.h"

namespace tarvisk {
namespace {

struct DaysCase {
    Date from;
    Date to;
    int days;
};

TEST(DaysBetween, CountsCalendarDays) {
    const DaysCase cases[] = {
        {{2014, 11, 26}, {2014, 12, 26}, 30},  {{2014, 11, 26}, {2014, 12, 27}, 31},
        {{2014, 12, 27}, {2014, 11, 26}, -31}, {{2016, 2, 28}, {2016, 3, 1}, 2},
        {{2015, 2, 28}, {2015, 3, 1}, 1},      {{1900, 2, 28}, {1900, 3, 1}, 1},
        {{2000, 2, 28}, {2000, 3, 1}, 2},      {{1999, 12, 31}, {2000, 1, 1}, 1},
        {{1970, 1, 1}, {2024, 1, 1}, 19723},   {{2014, 1, 1}, {2014, 1, 1}, 0},
        {{1969, 12, 31}, {1970, 1, 1}, 1},
    };
    for (const DaysCase& c : cases)
        EXPECT_EQ(DaysBetween(c.from, c.to), c.days) << c.from.year << '-' << c.from.month << '-' << c.from.day
                                                     << " to " << c.to.year << '-' << c.to.month << '-' << c.to.day;
}

TEST(IsValidDate, AcceptsOnlyRealCalendarDates) {
    const std::pair<Date, bool> cases[] = {
        {{2014, 2, 28}, true},  {{2014, 2, 29}, false}, {{2016, 2, 29}, true},  {{1900, 2, 29}, false},
        {{2000, 2, 29}, true},  {{2014, 2, 30}, false}, {{2014, 4, 31}, false}, {{2014, 12, 31}, true},
        {{2014, 13, 1}, false}, {{2014, 0, 1}, false},  {{2014, 1, 0}, false},  {{0, 1, 1}, false},
        {{2014, 1, 32}, false}, {{-5, 1, 1}, false},
    };
    for (const auto& [date, valid] : cases)
        EXPECT_EQ(IsValidDate(date), valid) << date.year << '-' << date.month << '-' << date.day;
}

TEST(IsoDate, ReadsOnlyRealDatesInTheFormYyyyMmDdAndWritesThemSo) {
    const std::pair<const char*, std::optional<Date>> cases[] = {
        {"2024-05-01", Date{2024, 5, 1}}, {"2016-02-29", Date{2016, 2, 29}},
        {"0001-01-01", Date{1, 1, 1}},    {"2015-02-29", std::nullopt},
        {"2024-5-01", std::nullopt},      {"2024-05-1 ", std::nullopt},
        {"2024/05/01", std::nullopt},     {"2024-0a-01", std::nullopt},
        {"-024-05-01", std::nullopt},     {"", std::nullopt},
        {"2024-05-01T00", std::nullopt},
    };
    for (const auto& [text, date] : cases) {
        EXPECT_EQ(ParseIsoDate(text), date) << text;
        if (date) {
            EXPECT_EQ(IsoDateText(*date), text);
        }
    }
}

TEST(LocalTime, WritesAMomentInTheLocalZoneWithItsOffset) {
    const struct {
        const char* zone;
        const char* iso;
        const char* text;
    } cases[] = {
        {"CST-8", "2024-05-01T14:03:22+08:00", "2024-05-01 14:03:22"},
        {"UTC0", "2024-05-01T06:03:22+00:00", "2024-05-01 06:03:22"},
        {"NST+3:30", "2024-05-01T02:33:22-03:30", "2024-05-01 02:33:22"},
    };
    for (const auto& c : cases) {
        const test::ScopedEnv zone("TZ", c.zone);
        ::tzset();
        EXPECT_EQ(IsoLocalTime(1714543402), c.iso);
        EXPECT_EQ(LocalTimeText(1714543402), c.text);
    }
    ::tzset();
}

} // namespace
} // namespace tarvisk
