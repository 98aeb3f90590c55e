// DeviceTime: the terminal's 32-bit date-time, seconds in a calendar of
// 31-day months and 372-day years counted from 2000-01-01 00:00:00.
#pragma once

#include <cstdint>

namespace tl {

struct CalendarTime {
    std::int32_t year = 2000;
    std::int32_t month = 1;
    std::int32_t day = 1;
    std::int32_t hour = 0;
    std::int32_t minute = 0;
    std::int32_t second = 0;
    bool operator==(const CalendarTime&) const = default;
};

// Packs the fields with 32-bit wrapping arithmetic and no range checks; only
// the last two digits of the year are kept (2100 packs like 2000).
std::uint32_t EncodeDeviceTime(std::int32_t year, std::int32_t month, std::int32_t day,
                               std::int32_t hour, std::int32_t minute, std::int32_t second);
inline std::uint32_t EncodeDeviceTime(const CalendarTime& t) {
    return EncodeDeviceTime(t.year, t.month, t.day, t.hour, t.minute, t.second);
}

CalendarTime DecodeDeviceTime(std::uint32_t value);

}  // namespace tl
