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

// Inline: the log iterators decode one time per record.
inline CalendarTime DecodeDeviceTime(std::uint32_t value) {
    CalendarTime t;
    t.second = static_cast<std::int32_t>(value % 60u);
    t.minute = static_cast<std::int32_t>((value / 60u) % 60u);
    t.hour = static_cast<std::int32_t>((value / 3600u) % 24u);
    const std::uint32_t d = value / 86400u;
    t.day = static_cast<std::int32_t>(d % 31u + 1u);
    t.month = static_cast<std::int32_t>((d / 31u) % 12u + 1u);
    t.year = static_cast<std::int32_t>(d / 372u + 2000u);
    return t;
}

// Decodes a run of times, reusing the date of the previous time while the
// times stay on one day; logs are stored in time order, so a download of a
// large log splits its dates only once per day. Same results as
// DecodeDeviceTime.
class DayCachedDecoder {
  public:
    CalendarTime Decode(std::uint32_t value) {
        const std::uint32_t day = value / 86400u;
        const std::uint32_t rest = value - day * 86400u;
        if (day != day_) {
            day_ = day;
            date_ = DecodeDeviceTime(day * 86400u);
        }
        CalendarTime t = date_;
        t.hour = static_cast<std::int32_t>(rest / 3600u);
        t.minute = static_cast<std::int32_t>(rest / 60u % 60u);
        t.second = static_cast<std::int32_t>(rest % 60u);
        return t;
    }

  private:
    // No DeviceTime falls on this day (the largest is day 49710).
    std::uint32_t day_ = 0xFFFFFFFFu;
    CalendarTime date_;
};

}  // namespace tl
