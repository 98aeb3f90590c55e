// The digit texts of the access-control exports, in and out of the forms
// people read and type: time windows "08:00-17:30", holidays "12-24..12-26".
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tlcli {

struct TimeWindow {
    int startHour = 0, startMinute = 0, endHour = 0, endMinute = 0;
};

// "HH:MM-HH:MM" -> window; hours 0-23, minutes 0-59.
std::optional<TimeWindow> ParseWindow(const std::string& text, std::string* error);
std::string FormatWindow(const TimeWindow& w);

// A time zone as seven windows, entry 0 first, from one window for every day
// or seven separated by commas; or the terminal's own 56 digits.
std::optional<std::string> TimeZoneDigits(const std::string& text, std::string* error);
// The terminal's 56 digits as seven windows; nothing when the text is not 56
// digits.
std::optional<std::vector<TimeWindow>> ParseTimeZoneDigits(const std::string& digits);

struct HolidayRange {
    int startMonth = 0, startDay = 0, endMonth = 0, endDay = 0;
};

// "MM-DD" (one day) or "MM-DD..MM-DD".
std::optional<HolidayRange> ParseHoliday(const std::string& text, std::string* error);
std::string FormatHoliday(const HolidayRange& h);
std::string HolidayDigits(const std::vector<HolidayRange>& ranges);
// The 24 entries of the terminal's holiday text; all-zero entries are unused
// and left out. Each result keeps its entry number (1-24).
std::vector<std::pair<int, HolidayRange>> ParseHolidayDigits(const std::string& digits);

// Day label of time-zone entry 0-6 (the terminal starts its week on Sunday).
const char* DayName(int entry);

}  // namespace tlcli
