#include "cli/access_text.h"

#include <cctype>
#include <cstdio>

namespace tlcli {

namespace {

bool TwoDigits(const std::string& s, std::size_t pos, int* v) {
    if (pos + 2 > s.size() || !std::isdigit(static_cast<unsigned char>(s[pos])) ||
        !std::isdigit(static_cast<unsigned char>(s[pos + 1])))
        return false;
    *v = (s[pos] - '0') * 10 + (s[pos + 1] - '0');
    return true;
}

// "H:MM" or "HH:MM" at s[pos]; advances pos.
bool ClockTime(const std::string& s, std::size_t& pos, int* h, int* m) {
    std::size_t digits = 0;
    int hour = 0;
    while (pos + digits < s.size() && std::isdigit(static_cast<unsigned char>(s[pos + digits])) &&
           digits < 2) {
        hour = hour * 10 + (s[pos + digits] - '0');
        ++digits;
    }
    if (digits == 0 || pos + digits >= s.size() || s[pos + digits] != ':') return false;
    int minute;
    if (!TwoDigits(s, pos + digits + 1, &minute)) return false;
    pos += digits + 3;
    *h = hour;
    *m = minute;
    return true;
}

bool MonthDay(const std::string& s, std::size_t& pos, int* month, int* day) {
    if (!TwoDigits(s, pos, month) || pos + 2 >= s.size() || s[pos + 2] != '-' ||
        !TwoDigits(s, pos + 3, day))
        return false;
    pos += 5;
    return true;
}

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const auto at = s.find(sep, start);
        parts.push_back(s.substr(start, at - start));
        if (at == std::string::npos) break;
        start = at + 1;
    }
    return parts;
}

}  // namespace

std::optional<TimeWindow> ParseWindow(const std::string& text, std::string* error) {
    TimeWindow w;
    std::size_t pos = 0;
    if (!ClockTime(text, pos, &w.startHour, &w.startMinute) || pos >= text.size() ||
        text[pos] != '-' || !ClockTime(text, ++pos, &w.endHour, &w.endMinute) ||
        pos != text.size()) {
        if (error) *error = "'" + text + "' is not a time window HH:MM-HH:MM";
        return std::nullopt;
    }
    if (w.startHour > 23 || w.endHour > 23 || w.startMinute > 59 || w.endMinute > 59) {
        if (error) *error = "'" + text + "': hours run 00-23, minutes 00-59";
        return std::nullopt;
    }
    return w;
}

std::string FormatWindow(const TimeWindow& w) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d-%02d:%02d", w.startHour % 100, w.startMinute % 100,
                  w.endHour % 100, w.endMinute % 100);
    return buf;
}

std::optional<std::string> TimeZoneDigits(const std::string& text, std::string* error) {
    bool allDigits = text.size() == 56;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) allDigits = false;
    if (allDigits) {
        if (!ParseTimeZoneDigits(text)) return std::nullopt;
        for (std::size_t e = 0; e < 7; ++e) {
            const int sh = (text[e * 8] - '0') * 10 + (text[e * 8 + 1] - '0');
            const int sm = (text[e * 8 + 2] - '0') * 10 + (text[e * 8 + 3] - '0');
            const int eh = (text[e * 8 + 4] - '0') * 10 + (text[e * 8 + 5] - '0');
            const int em = (text[e * 8 + 6] - '0') * 10 + (text[e * 8 + 7] - '0');
            if (sh > 23 || eh > 23 || sm > 59 || em > 59) {
                if (error) *error = "day entry " + std::to_string(e) + " is not a valid window";
                return std::nullopt;
            }
        }
        return text;
    }
    const std::vector<std::string> parts = Split(text, ',');
    if (parts.size() != 1 && parts.size() != 7) {
        if (error)
            *error = "give one window for every day or seven separated by commas (" +
                     std::to_string(parts.size()) + " given)";
        return std::nullopt;
    }
    std::string digits;
    for (std::size_t e = 0; e < 7; ++e) {
        auto w = ParseWindow(parts[parts.size() == 1 ? 0 : e], error);
        if (!w) return std::nullopt;
        char buf[16];
        std::snprintf(buf, sizeof buf, "%02d%02d%02d%02d", w->startHour, w->startMinute, w->endHour,
                      w->endMinute);
        digits += buf;
    }
    return digits;
}

std::optional<std::vector<TimeWindow>> ParseTimeZoneDigits(const std::string& digits) {
    if (digits.size() != 56) return std::nullopt;
    std::vector<TimeWindow> windows;
    for (std::size_t e = 0; e < 7; ++e) {
        TimeWindow w;
        if (!TwoDigits(digits, e * 8, &w.startHour) ||
            !TwoDigits(digits, e * 8 + 2, &w.startMinute) ||
            !TwoDigits(digits, e * 8 + 4, &w.endHour) ||
            !TwoDigits(digits, e * 8 + 6, &w.endMinute))
            return std::nullopt;
        windows.push_back(w);
    }
    return windows;
}

std::optional<HolidayRange> ParseHoliday(const std::string& text, std::string* error) {
    HolidayRange h;
    std::size_t pos = 0;
    bool ok = MonthDay(text, pos, &h.startMonth, &h.startDay);
    if (ok && pos == text.size()) {
        h.endMonth = h.startMonth;
        h.endDay = h.startDay;
    } else {
        ok = ok && text.compare(pos, 2, "..") == 0;
        pos += 2;
        ok = ok && MonthDay(text, pos, &h.endMonth, &h.endDay) && pos == text.size();
    }
    if (!ok) {
        if (error) *error = "'" + text + "' is not a holiday MM-DD or MM-DD..MM-DD";
        return std::nullopt;
    }
    if (h.startMonth < 1 || h.startMonth > 12 || h.endMonth < 1 || h.endMonth > 12 ||
        h.startDay < 1 || h.startDay > 31 || h.endDay < 1 || h.endDay > 31) {
        if (error) *error = "'" + text + "': months run 01-12, days 01-31";
        return std::nullopt;
    }
    return h;
}

std::string FormatHoliday(const HolidayRange& h) {
    char buf[32];
    if (h.startMonth == h.endMonth && h.startDay == h.endDay)
        std::snprintf(buf, sizeof buf, "%02d-%02d", h.startMonth % 100, h.startDay % 100);
    else
        std::snprintf(buf, sizeof buf, "%02d-%02d..%02d-%02d", h.startMonth % 100, h.startDay % 100,
                      h.endMonth % 100, h.endDay % 100);
    return buf;
}

std::string HolidayDigits(const std::vector<HolidayRange>& ranges) {
    std::string digits;
    for (const auto& h : ranges) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%02d%02d%02d%02d", h.startMonth % 100, h.startDay % 100,
                      h.endMonth % 100, h.endDay % 100);
        digits += buf;
    }
    return digits;
}

std::vector<std::pair<int, HolidayRange>> ParseHolidayDigits(const std::string& digits) {
    std::vector<std::pair<int, HolidayRange>> out;
    for (std::size_t e = 0; e < 24 && (e + 1) * 8 <= digits.size(); ++e) {
        HolidayRange h;
        if (!TwoDigits(digits, e * 8, &h.startMonth) ||
            !TwoDigits(digits, e * 8 + 2, &h.startDay) ||
            !TwoDigits(digits, e * 8 + 4, &h.endMonth) || !TwoDigits(digits, e * 8 + 6, &h.endDay))
            break;
        if (h.startMonth || h.startDay || h.endMonth || h.endDay)
            out.emplace_back(static_cast<int>(e) + 1, h);
    }
    return out;
}

const char* DayName(int entry) {
    static const char* names[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    return entry >= 0 && entry < 7 ? names[entry] : "?";
}

}  // namespace tlcli
