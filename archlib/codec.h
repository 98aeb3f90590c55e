// The compressor underneath the archive format. Only codec_zlib.cpp knows
// zlib; a build for another platform links the same file against that
// platform's zlib.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace archlib {

// CRC-32 (the ISO-HDLC / zip polynomial) of n bytes.
std::uint32_t Crc32(const std::uint8_t* data, std::size_t n);

// A zlib stream of n bytes. False when the compressor fails (no memory).
bool Deflate(const std::uint8_t* data, std::size_t n, std::vector<std::uint8_t>& out);

// Expands exactly one complete zlib stream that fills `in` to exactly
// `expected` bytes at out. Writes at most `expected` bytes. False for a
// damaged or truncated stream, trailing bytes, or a stream that expands to
// any other size.
bool Inflate(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out, std::size_t expected);

}  // namespace archlib
