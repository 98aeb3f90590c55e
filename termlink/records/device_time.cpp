#include "records/device_time.h"

namespace tl {

std::uint32_t EncodeDeviceTime(std::int32_t year, std::int32_t month, std::int32_t day,
                               std::int32_t hour, std::int32_t minute, std::int32_t second) {
    // Unsigned arithmetic wraps exactly like the terminal's 32-bit registers,
    // without the undefined behaviour of signed overflow.
    using u = std::uint32_t;
    const u yy = static_cast<u>(year % 100);
    u v = yy * 12u + (static_cast<u>(month) - 1u);
    v = v * 31u + (static_cast<u>(day) - 1u);
    v = v * 24u + static_cast<u>(hour);
    v = v * 60u + static_cast<u>(minute);
    v = v * 60u + static_cast<u>(second);
    return v;
}

CalendarTime DecodeDeviceTime(std::uint32_t value) {
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

}  // namespace tl
