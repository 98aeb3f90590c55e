#include "cli/dates.h"

#include <cctype>
#include <cstdio>
#include <ctime>

#include "cli/host.h"

namespace tlcli {

namespace {

bool Leap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && Leap(y) ? 29 : days[m - 1];
}

// Reads exactly `width` digits at text[pos].
bool Digits(std::string_view text, std::size_t& pos, int width, int* value) {
    if (pos + width > text.size()) return false;
    int v = 0;
    for (int i = 0; i < width; ++i) {
        const char c = text[pos + i];
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        v = v * 10 + (c - '0');
    }
    pos += width;
    *value = v;
    return true;
}

bool Expect(std::string_view text, std::size_t& pos, char c) {
    if (pos >= text.size() || text[pos] != c) return false;
    ++pos;
    return true;
}

DateTime FromTm(const std::tm& tm) {
    return DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

}  // namespace

DateTime LocalNow() {
    const std::time_t now = std::time(nullptr);
    return FromTm(host::LocalTime(now));
}

std::optional<DateTime> ParseDateTime(std::string_view text, bool endOfDay, std::string* error) {
    auto fail = [&](const std::string& why) -> std::optional<DateTime> {
        if (error) *error = "'" + std::string(text) + "': " + why;
        return std::nullopt;
    };
    auto dayOnly = [&](DateTime t) {
        if (endOfDay) {
            t.hour = 23;
            t.minute = 59;
            t.second = 59;
        } else {
            t.hour = t.minute = t.second = 0;
        }
        return t;
    };
    if (text == "now") return LocalNow();
    if (text == "today") return dayOnly(LocalNow());
    if (text == "yesterday") {
        const std::time_t when = std::time(nullptr) - 86400;
        return dayOnly(FromTm(host::LocalTime(when)));
    }
    DateTime t;
    std::size_t pos = 0;
    if (!Digits(text, pos, 4, &t.year) || !Expect(text, pos, '-') ||
        !Digits(text, pos, 2, &t.month) || !Expect(text, pos, '-') || !Digits(text, pos, 2, &t.day))
        return fail("expected a date as YYYY-MM-DD, optionally followed by HH:MM[:SS]");
    bool timeGiven = false;
    if (pos < text.size()) {
        if (text[pos] != ' ' && text[pos] != 'T')
            return fail("expected a blank or T between date and time");
        ++pos;
        if (!Digits(text, pos, 2, &t.hour) || !Expect(text, pos, ':') ||
            !Digits(text, pos, 2, &t.minute))
            return fail("expected the time as HH:MM or HH:MM:SS");
        if (pos < text.size() && (!Expect(text, pos, ':') || !Digits(text, pos, 2, &t.second)))
            return fail("expected the time as HH:MM or HH:MM:SS");
        if (pos != text.size()) return fail("unexpected text after the time");
        timeGiven = true;
    }
    if (t.year < 1900) return fail("year out of range");
    if (t.month < 1 || t.month > 12) return fail("month must be 01-12");
    if (t.day < 1 || t.day > DaysInMonth(t.year, t.month)) return fail("no such day in that month");
    if (t.hour > 23 || t.minute > 59 || t.second > 59) return fail("no such time of day");
    return timeGiven ? t : dayOnly(t);
}

std::string FormatDateTime(const DateTime& t) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return buf;
}

std::string FormatDate(const DateTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", t.year, t.month, t.day);
    return buf;
}

long long OrderKey(const DateTime& t) {
    return (((((static_cast<long long>(t.year) * 12 + (t.month - 1)) * 31 + (t.day - 1)) * 24 +
              t.hour) *
                 60 +
             t.minute) *
                60 +
            t.second);
}

}  // namespace tlcli
