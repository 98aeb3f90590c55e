// CRC-32C (Castagnoli), the check value of every portmux frame. Uses the
// processor's CRC instruction when it has one.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pmx {

// Continues a CRC: start with crc = 0, feed pieces in order.
std::uint32_t Crc32c(std::uint32_t crc, const std::uint8_t* data, std::size_t length);

// The same without the processor instruction (for cross-checks).
std::uint32_t Crc32cPortable(std::uint32_t crc, const std::uint8_t* data, std::size_t length);

}  // namespace pmx
