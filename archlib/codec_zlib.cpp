#include <zlib.h>

#include <climits>

#include "codec.h"

namespace archlib {

std::uint32_t Crc32(const std::uint8_t* data, std::size_t n) {
    uLong crc = crc32(0L, Z_NULL, 0);
    while (n > 0) {
        const uInt chunk = n > UINT_MAX ? UINT_MAX : static_cast<uInt>(n);
        crc = crc32(crc, data, chunk);
        data += chunk;
        n -= chunk;
    }
    return static_cast<std::uint32_t>(crc);
}

bool Deflate(const std::uint8_t* data, std::size_t n, std::vector<std::uint8_t>& out) {
    // Level 1: a backup image is table records and fill, which the fastest
    // level already packs to well under half (level 6 gains under a tenth
    // more at a quarter of the speed; bench/maintenance/archlib.cpp).
    uLongf size = compressBound(static_cast<uLong>(n));
    out.resize(size);
    if (compress2(out.data(), &size, data, static_cast<uLong>(n), 1) != Z_OK) return false;
    out.resize(size);
    return true;
}

bool Inflate(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out, std::size_t expected) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return false;
    z.next_in = const_cast<Bytef*>(in);
    z.avail_in = static_cast<uInt>(inSize);
    z.next_out = out;
    z.avail_out = static_cast<uInt>(expected);
    int rc = Z_OK;
    while (rc == Z_OK) rc = inflate(&z, Z_FINISH);
    // Z_BUF_ERROR: the output is full or the input ended before the stream
    // did; either way the stream does not expand to `expected` bytes.
    const bool whole = rc == Z_STREAM_END && z.total_out == expected && z.avail_in == 0;
    inflateEnd(&z);
    return whole;
}

}  // namespace archlib
