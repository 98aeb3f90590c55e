#include "cli/access_text.h"

#include <gtest/gtest.h>

namespace tlcli {
namespace {

TEST(TimeZoneDigits, OneWindowForEveryDayOrSevenWindows) {
    std::string err;
    auto all = TimeZoneDigits("08:00-17:30", &err);
    ASSERT_TRUE(all) << err;
    std::string expected;
    for (int i = 0; i < 7; ++i) expected += "08001730";
    EXPECT_EQ(*all, expected);
    auto week = TimeZoneDigits(
        "00:00-00:00,8:00-17:00,08:00-17:00,08:00-17:00,08:00-17:00,08:00-12:00,00:00-00:00", &err);
    ASSERT_TRUE(week) << err;
    EXPECT_EQ(week->substr(0, 16), "0000000008001700");
    EXPECT_EQ(week->substr(40, 16), "0800120000000000");
}

TEST(TimeZoneDigits, RawDigitsPassedThroughWhenValid) {
    std::string err;
    const std::string raw(56, '0');
    EXPECT_EQ(TimeZoneDigits(raw, &err), raw);
    std::string bad = raw;
    bad.replace(16, 2, "24");  // third entry: start hour 24
    EXPECT_FALSE(TimeZoneDigits(bad, &err));
    EXPECT_NE(err.find("entry 2"), std::string::npos);
}

TEST(TimeZoneDigits, RejectsBadWindowsAndWrongCounts) {
    std::string err;
    for (const char* bad : {"24:00-25:00", "08:60-17:00", "0800-1700", "08:00", "08:00-17:00,",
                            "08:00-17:00,09:00-10:00", "a:00-17:00", "08:00-17:00x"}) {
        EXPECT_FALSE(TimeZoneDigits(bad, &err)) << bad;
        EXPECT_FALSE(err.empty());
    }
}

TEST(ParseTimeZoneDigits, SevenWindowsBackToBack) {
    std::string digits;
    for (int i = 0; i < 7; ++i) digits += i == 1 ? "09150945" : "00000000";
    auto w = ParseTimeZoneDigits(digits);
    ASSERT_TRUE(w);
    ASSERT_EQ(w->size(), 7u);
    EXPECT_EQ(FormatWindow((*w)[1]), "09:15-09:45");
    EXPECT_EQ(FormatWindow((*w)[0]), "00:00-00:00");
    EXPECT_FALSE(ParseTimeZoneDigits(digits.substr(1)));
    EXPECT_STREQ(DayName(0), "Sun");
    EXPECT_STREQ(DayName(6), "Sat");
    EXPECT_STREQ(DayName(7), "?");
}

TEST(Holidays, ParseOneDayAndRanges) {
    std::string err;
    auto one = ParseHoliday("12-25", &err);
    ASSERT_TRUE(one);
    EXPECT_EQ(FormatHoliday(*one), "12-25");
    auto range = ParseHoliday("12-24..12-26", &err);
    ASSERT_TRUE(range);
    EXPECT_EQ(FormatHoliday(*range), "12-24..12-26");
    EXPECT_EQ(HolidayDigits({*one, *range}), "1225122512241226");
    for (const char* bad :
         {"13-01", "00-10", "12-32", "12-00", "1-1", "12-24..", "12-24..12-2x", "12-24-12-26", ""})
        EXPECT_FALSE(ParseHoliday(bad, &err)) << bad;
}

TEST(Holidays, UnusedEntriesAreLeftOutAndNumbersKept) {
    std::string digits = "01010102" + std::string(8, '0') + "12241226";
    digits += std::string(8 * 21, '0');
    auto entries = ParseHolidayDigits(digits);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].first, 1);
    EXPECT_EQ(FormatHoliday(entries[0].second), "01-01..01-02");
    EXPECT_EQ(entries[1].first, 3);
    EXPECT_TRUE(ParseHolidayDigits("").empty());
}

}  // namespace
}  // namespace tlcli
