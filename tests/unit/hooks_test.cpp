#include "core/hooks.h"

#include <atomic>
#include <ctime>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/cancel.h"

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

class Hooks : public ::testing::Test {
protected:
    void TearDown() override {
        SetMessageSink({});
        SetEventPump({});
        SetClock({});
    }
};

TEST_F(Hooks, MessagesReachTheInstalledSinkElseStandardError) {
    std::vector<std::pair<std::u16string, std::u16string>> shown;
    SetMessageSink([&](const std::u16string& text, const std::u16string& title) { shown.emplace_back(text, title); });
    ShowMessage(u"创建XML失败");
    ShowMessage(u"已被查封", u"提示信息");
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0], std::make_pair(std::u16string(u"创建XML失败"), std::u16string()));
    EXPECT_EQ(shown[1], std::make_pair(std::u16string(u"已被查封"), std::u16string(u"提示信息")));

    SetMessageSink({});
    testing::internal::CaptureStderr();
    ShowMessage(u"已被查封", u"提示信息");
    ShowMessage(u"无标题");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "提示信息: 已被查封\n无标题\n");
    EXPECT_EQ(shown.size(), 2u);
}

TEST_F(Hooks, PumpRunsOnlyWhileInstalled) {
    int pumped = 0;
    SetEventPump([&] { ++pumped; });
    PumpEvents();
    PumpEvents();
    SetEventPump({});
    PumpEvents();
    EXPECT_EQ(pumped, 2);
}

TEST_F(Hooks, ClockGivesTheInjectedDateElseTheLocalDate) {
    SetClock([] { return Date{2014, 12, 26}; });
    EXPECT_EQ(Today(), (Date{2014, 12, 26}));
    SetClock({});
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const Date expected{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
    const Date today = Today();
    // Midnight may pass between the two readings.
    EXPECT_LE(std::abs(DaysBetween(expected, today)), 1);
    EXPECT_TRUE(IsValidDate(today));
}

TEST(CancelScope, InnermostScopeOfTheThreadDecides) {
    std::atomic<bool> outer{false};
    std::atomic<bool> inner{false};
    EXPECT_FALSE(CancelRequested());
    {
        const CancelScope outerScope(outer);
        EXPECT_FALSE(CancelRequested());
        {
            const CancelScope innerScope(inner);
            outer = true;
            EXPECT_FALSE(CancelRequested());
            inner = true;
            EXPECT_TRUE(CancelRequested());
            bool otherThreadSees = true;
            std::thread([&] { otherThreadSees = CancelRequested(); }).join();
            EXPECT_FALSE(otherThreadSees);
        }
        EXPECT_TRUE(CancelRequested());
    }
    EXPECT_FALSE(CancelRequested());
}

} // namespace
} // namespace tarvisk
