#include "core/crc32c.h"

#include <array>
#include <cstring>

#if defined(__x86_64__)
#include <nmmintrin.h>
#endif

namespace pmx {
namespace {

constexpr std::uint32_t kPoly = 0x82F63B78u;  // reflected Castagnoli polynomial

constexpr std::array<std::uint32_t, 256> MakeTable() {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ kPoly : c >> 1;
        t[i] = c;
    }
    return t;
}
constexpr auto kTable = MakeTable();

std::uint32_t Portable(std::uint32_t crc, const std::uint8_t* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) crc = kTable[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

#if defined(__x86_64__)
// The CRC instruction has a latency of several cycles but accepts a new
// operand every cycle, so three independent streams run at about three times
// the speed of one. The three partial CRCs are joined with "append N zero
// bytes" operators: the raw CRC state is linear, so
//   crc(s, A || B) = Shift_|B|(crc(s, A)) ^ crc(0, B).
// Shift_N is tabulated from its effect on the 32 basis states.
template <std::size_t N>
struct ZeroShift {
    std::array<std::array<std::uint32_t, 256>, 4> table{};
    ZeroShift() {
        std::uint32_t basis[32];
        for (int bit = 0; bit < 32; ++bit) {
            std::uint32_t st = 1u << bit;
            for (std::size_t i = 0; i < N; ++i) st = kTable[st & 0xFF] ^ (st >> 8);
            basis[bit] = st;
        }
        for (int k = 0; k < 4; ++k) {
            for (std::uint32_t v = 0; v < 256; ++v) {
                std::uint32_t out = 0;
                for (int b = 0; b < 8; ++b)
                    if (v & (1u << b)) out ^= basis[8 * k + b];
                table[k][v] = out;
            }
        }
    }
    std::uint32_t operator()(std::uint32_t st) const {
        return table[0][st & 0xFF] ^ table[1][(st >> 8) & 0xFF] ^ table[2][(st >> 16) & 0xFF] ^
               table[3][st >> 24];
    }
};

constexpr std::size_t kLong = 8192;
constexpr std::size_t kShort = 256;

template <std::size_t L>
__attribute__((target("sse4.2"))) std::uint32_t ThreeWay(std::uint32_t crc, const std::uint8_t*& p,
                                                         std::size_t& n) {
    static const ZeroShift<L> shift;
    while (n >= 3 * L) {
        std::uint64_t a = crc, b = 0, c = 0;
        for (std::size_t i = 0; i < L; i += 8) {
            std::uint64_t va, vb, vc;
            std::memcpy(&va, p + i, 8);
            std::memcpy(&vb, p + L + i, 8);
            std::memcpy(&vc, p + 2 * L + i, 8);
            a = _mm_crc32_u64(a, va);
            b = _mm_crc32_u64(b, vb);
            c = _mm_crc32_u64(c, vc);
        }
        crc = shift(shift(static_cast<std::uint32_t>(a)) ^ static_cast<std::uint32_t>(b)) ^
              static_cast<std::uint32_t>(c);
        p += 3 * L;
        n -= 3 * L;
    }
    return crc;
}

__attribute__((target("sse4.2"))) std::uint32_t Hardware(std::uint32_t crc, const std::uint8_t* p,
                                                         std::size_t n) {
    crc = ThreeWay<kLong>(crc, p, n);
    crc = ThreeWay<kShort>(crc, p, n);
    std::uint64_t c = crc;
    while (n >= 8) {
        std::uint64_t v;
        std::memcpy(&v, p, 8);
        c = _mm_crc32_u64(c, v);
        p += 8;
        n -= 8;
    }
    auto c32 = static_cast<std::uint32_t>(c);
    while (n--) c32 = _mm_crc32_u8(c32, *p++);
    return c32;
}
bool HaveHardware() {
    static const bool have = __builtin_cpu_supports("sse4.2");
    return have;
}
#endif

}  // namespace

std::uint32_t Crc32cPortable(std::uint32_t crc, const std::uint8_t* data, std::size_t length) {
    return ~Portable(~crc, data, length);
}

std::uint32_t Crc32c(std::uint32_t crc, const std::uint8_t* data, std::size_t length) {
    crc = ~crc;
#if defined(__x86_64__)
    if (HaveHardware()) return ~Hardware(crc, data, length);
#endif
    return ~Portable(crc, data, length);
}

}  // namespace pmx
