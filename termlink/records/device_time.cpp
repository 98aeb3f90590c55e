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

}  // namespace tl
