// Dates and times as people type them on the command line, and as the tool
// prints them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tlcli {

struct DateTime {
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

// Accepts "YYYY-MM-DD", "YYYY-MM-DD HH:MM", "YYYY-MM-DD HH:MM:SS" (a "T" may
// stand for the blank), and the words "now", "today" and "yesterday" (local
// time). A date without a time means the start of that day, or its last
// second when endOfDay is set, so "--until 2011-04-15" includes that day.
// Fields are checked against the real calendar. On failure returns nothing
// and says why in *error.
std::optional<DateTime> ParseDateTime(std::string_view text, bool endOfDay, std::string* error);

// "YYYY-MM-DD HH:MM:SS".
std::string FormatDateTime(const DateTime& t);
std::string FormatDate(const DateTime& t);

// Orders date-times; also works for the terminal's own dates (day 31 of any
// month), which the host calendar would not accept.
long long OrderKey(const DateTime& t);

DateTime LocalNow();

}  // namespace tlcli
