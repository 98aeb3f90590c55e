// Size of a simulated terminal's attendance log in the compact layout, for
// tests and benchmarks that fill the host's download buffer exactly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "termsim/model.h"

namespace e2e {

// A 4-byte record when the time is at most 1023 s after the last full time,
// else an 8-byte one.
inline std::size_t CompactBytes(const std::vector<termsim::Punch>& punches) {
    bool haveBase = false;
    std::uint32_t base = 0;
    std::size_t n = 0;
    for (const auto& p : punches) {
        if (haveBase && p.time >= base && p.time - base <= 1023) {
            n += 4;
        } else {
            n += 8;
            base = p.time;
            haveBase = true;
        }
    }
    return n;
}

}  // namespace e2e
