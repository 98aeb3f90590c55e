// A fuzzer input read front to back, shared by the fuzz transports.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace fuzzio {

// Bytes consumed front to back; reads past the end give zeros.
struct Stream {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;

    std::size_t Take(std::size_t n, const std::uint8_t** out) {
        n = std::min(n, size);
        *out = data;
        data += n;
        size -= n;
        return n;
    }
    std::uint8_t Byte() {
        const std::uint8_t* p;
        return Take(1, &p) ? *p : 0;
    }
    std::uint16_t Word() { return static_cast<std::uint16_t>(Byte() | Byte() << 8); }
    std::uint32_t Dword() { return Word() | static_cast<std::uint32_t>(Word()) << 16; }
    // Exactly n bytes into `out`, zero-padded when the stream runs dry.
    void Copy(void* out, std::size_t n) {
        if (n == 0) return;
        const std::uint8_t* p;
        const std::size_t got = Take(n, &p);
        if (got) std::memcpy(out, p, got);
        std::memset(static_cast<std::uint8_t*>(out) + got, 0, n - got);
    }
};

}  // namespace fuzzio
