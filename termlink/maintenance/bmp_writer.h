// The 8-bit grey-scale BMP a fingerprint capture is saved as: a 1078-byte
// header (file header, 40-byte info header, 256-entry grey palette), then
// the rows in the order given, each padded to a multiple of 4 bytes. The
// height is written positive, so viewers show the first row at the bottom.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tl {

constexpr std::uint32_t kBmpHeaderSize = 1078;

// Row stride: the width rounded up to a multiple of 4.
constexpr std::uint64_t BmpStride(std::uint32_t width) {
    return (static_cast<std::uint64_t>(width) + 3) / 4 * 4;
}

// The whole file for width x height pixels (width * height bytes at
// pixels). Padding bytes are zero.
std::vector<std::uint8_t> GreyBmp(const std::uint8_t* pixels, std::uint32_t width,
                                  std::uint32_t height);

// Writes the file completely or not at all: the bytes go to `path` + ".part"
// and that file replaces `path` only once every byte is written. False on
// any failure; then `path` is as it was and no temporary is left.
bool WriteGreyBmp(const std::string& path, const std::uint8_t* pixels, std::uint32_t width,
                  std::uint32_t height);

}  // namespace tl
