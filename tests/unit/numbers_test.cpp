#include "text/numbers.h"

#include <charconv>
#include <cmath>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "text/encoding.h"

namespace tarvisk {
namespace {

TEST(LeadingNumber, ReadsTheDecimalNumberAtTheStart) {
    const std::pair<std::u16string, double> cases[] = {
        {u"10", 10},
        {u" 2.5x", 2.5},
        {u"abc", 0},
        {u"", 0},
        {u"\t\r\n 7", 7},
        {u"-3", -3},
        {u"+4.25", 4.25},
        {u"-.5", -0.5},
        {u".5", 0.5},
        {u"5.", 5},
        {u"1.2.3", 1.2},
        {u"99.5%", 99.5},
        {u"100.00", 100},
        {u"123456789", 123456789},
        {u"007", 7},
        {u"1e5", 1},
        {u"- 3", 0},
        {u"-", 0},
        {u".", 0},
        {u"x12", 0},
        {u"１２", 0},
        {std::u16string(400, u'9'), HUGE_VAL},
        {u"0." + std::u16string(400, u'0') + u"1", 0},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(LeadingNumber(text), expected) << ToUtf8(text);
}

TEST(SalesCount, ReadsTenThousandsAndDropsOtherFractions) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"2.3万+人付款", u"23000"},
        {u"1.25万", u"12500"},
        {u"10万+", u"100000"},
        {u"0.5万", u"5000"},
        {u"1.23456万", u"12345"},
        {u"600+人付款", u"600"},
        {u"0人付款", u"0"},
        {u" 12.7", u"12"},
        {u"007", u"7"},
        {u"3\\u4E07+", u"30000"},
        {u"万", u""},
        {u"", u""},
        {u".5万", u""},
        {u"1.万", u"1"},
        {u"99999999999", u"99999999999"},
    };
    for (const auto& [text, count] : cases)
        EXPECT_EQ(SalesCount(text), count) << ToUtf8(text);
}

TEST(NumberText, WritesTheShortestDecimalForm) {
    const std::pair<double, std::u16string> cases[] = {
        {12, u"12"},
        {99.5, u"99.5"},
        {-3, u"-3"},
        {0, u"0"},
        {-0.0, u"0"},
        {100, u"100"},
        {100000000, u"100000000"},
        {123456789, u"123456789"},
        {0.1, u"0.1"},
        {0.00001, u"0.00001"},
        {1e15, u"1E+15"},
        {1.5e-6, u"1.5E-06"},
    };
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(ToUtf8(NumberText(value)), ToUtf8(expected)) << value;
}

TEST(SingleText, WritesUpToSevenSignificantDigits) {
    const std::pair<float, std::u16string> cases[] = {
        {0.7055475f, u"0.7055475"},
        {0.5f, u"0.5"},
        {1.0f / 3, u"0.3333333"},
        {0.1f, u"0.1"},
        {0, u"0"},
        {0.0001234f, u"0.0001234"},
        {3.0517578e-05f, u"3.051758E-05"},
        {5.9604645e-08f, u"5.960464E-08"},
        {1234567, u"1234567"},
        {12345678, u"1.234568E+07"},
        {-0.25f, u"-0.25"},
        // Rounding to seven digits may carry into the next power of ten.
        {0.99999999f, u"1"},
        {9.9999996f, u"10"},
    };
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(ToUtf8(SingleText(value)), ToUtf8(expected)) << value;
}

TEST(RandomField, DrawsFreshNumbersBelowOne) {
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        const std::string text = ToUtf8(RandomField());
        double value = -1;
        const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
        ASSERT_EQ(result.ptr, text.data() + text.size()) << text;
        EXPECT_GE(value, 0) << text;
        EXPECT_LT(value, 1) << text;
        EXPECT_NE(text[0], '.') << text;
        const std::size_t digits = text.find_first_of("Ee") == std::string::npos
                                       ? text.size() - text.find_first_not_of("0.")
                                       : text.find_first_of("Ee") - (text.find('.') == std::string::npos ? 0 : 1);
        EXPECT_LE(digits, 7u) << text;
        seen.insert(text);
    }
    // Re-seeding from the clock must not repeat one value over and over.
    EXPECT_GT(seen.size(), 100u);
}

} // namespace
} // namespace tarvisk
