// Fingerprint templates for tests and benchmarks: current-layout templates
// (magic 0xCAA1) with minutiae only, no singular points and no direction
// grid. Normalising such a template gives back its own bytes, so what a host
// sends is what the terminal stores, and every seed gives a different
// template (its first minutia spells the seed).
#pragma once

#include <cstdint>
#include <random>
#include <vector>

namespace e2e {

// 5 header bytes and 5 bytes per minutia: 30 minutiae make 155 bytes, 110
// make 555 (below every write's size limit).
inline std::vector<std::uint8_t> SampleTemplate(std::uint32_t seed, int minutiae = 60) {
    std::mt19937 rng(seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::vector<std::uint8_t> t;
    t.reserve(5 + 5 * static_cast<std::size_t>(minutiae));
    t.push_back(0xA1);
    t.push_back(0xCA);
    t.push_back(static_cast<std::uint8_t>(minutiae & 0xFF));
    t.push_back(static_cast<std::uint8_t>(((minutiae >> 8) & 3) << 5));
    t.push_back(static_cast<std::uint8_t>(pick(0, 255)));
    for (int i = 0; i < minutiae; ++i) {
        int x = pick(0, 511), y = pick(0, 511), level = pick(0, 255);
        if (i == 0) {
            x = static_cast<int>(seed & 511);
            y = static_cast<int>((seed >> 9) & 511);
            level = static_cast<int>((seed >> 18) & 255);
        }
        const int kind = pick(0, 3), dir = pick(0, 239);
        const int xy = (x << 7) | (y >> 2);
        t.push_back(static_cast<std::uint8_t>(xy & 0xFF));
        t.push_back(static_cast<std::uint8_t>(xy >> 8));
        t.push_back(static_cast<std::uint8_t>(((y & 3) << 6) | (kind + 1)));
        t.push_back(static_cast<std::uint8_t>(level));
        t.push_back(static_cast<std::uint8_t>(dir));
    }
    return t;
}

// A size that varies with the seed, between 30 and 110 minutiae.
inline std::vector<std::uint8_t> VariedTemplate(std::uint32_t seed) {
    return SampleTemplate(seed, 30 + static_cast<int>((seed * 2654435761u) >> 24) % 81);
}

}  // namespace e2e
