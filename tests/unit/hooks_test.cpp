#include "core/hooks.h"

#include <ctime>
#include <vector>

#include <gtest/gtest.h>

namespace tarvisk {
namespace {

class Hooks : public ::testing::Test {
protected:
    void TearDown() override {
        SetMessageSink({});
        SetEventPump({});
        SetClock({});
        SetTimeOfDayClock({});
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

TEST_F(Hooks, TimeOfDayGivesTheInjectedMinuteElseTheLocalTime) {
    SetTimeOfDayClock([] { return 9 * 60 + 30; });
    EXPECT_EQ(MinutesSinceMidnight(), 570);
    SetTimeOfDayClock({});
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const int expected = local.tm_hour * 60 + local.tm_min;
    const int minutes = MinutesSinceMidnight();
    EXPECT_GE(minutes, 0);
    EXPECT_LT(minutes, 24 * 60);
    // A minute (or midnight) may pass between the two readings.
    EXPECT_TRUE(minutes == expected || minutes == (expected + 1) % (24 * 60)) << minutes << " " << expected;
}

} // namespace
} // namespace tarvisk
