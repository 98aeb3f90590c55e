// The archive file format (docs/archlib.md): a 20-byte header, then one zlib
// stream.
//
//   0   4  magic "TLAR"
//   4   2  format version, little-endian: 1
//   6   2  flags: 0 (any other value is refused)
//   8   4  original length, little-endian: 1 to 16777216
//   12  4  CRC-32 of the original bytes
//   16  4  stream length: the bytes that follow, exactly to the end of file
//   20  .. the zlib stream
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace archlib {

constexpr std::size_t kHeaderSize = 20;
constexpr std::uint16_t kFormatVersion = 1;
constexpr std::uint32_t kMaxOriginal = 16777216;  // 16 MiB
// The largest stream a 16 MiB original can produce (zlib's bound, rounded
// up): anything longer is not an archive of ours.
constexpr std::uint32_t kMaxStream = kMaxOriginal + kMaxOriginal / 1000 + 4096;
constexpr std::size_t kMaxFile = kHeaderSize + kMaxStream;

// Header and stream for n bytes (1 to kMaxOriginal). False on a length out
// of range or a compressor failure.
bool Pack(const std::uint8_t* data, std::size_t n, std::vector<std::uint8_t>& file);

// The original bytes of a whole archive file into out (capacity bytes).
// Returns the original length, or 0 when the file is not a sound archive or
// its original does not fit the capacity. Writes nothing when the header is
// refused; never writes past out + capacity.
std::size_t Unpack(const std::uint8_t* file, std::size_t size, std::uint8_t* out,
                   std::size_t capacity);

}  // namespace archlib
