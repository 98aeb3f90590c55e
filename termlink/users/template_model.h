// The working model of a fingerprint template: minutiae, singular points and
// an optional coarse direction grid. Every stored layout decodes into it and
// the encoders write it back. Fixed capacity, no allocation.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tl {

inline constexpr int kMaxMinutiae = 512;
inline constexpr int kMaxSingular = 64;
inline constexpr int kGridSide = 128;

// Grid cell values: 0..119 is a direction (arithmetic wraps modulo 120),
// kNoData marks a cell without data.
inline constexpr int kDirectionSteps = 120;
inline constexpr std::uint8_t kNoData = 255;

struct TemplateModel {
    int headerByte = 0;  // moved unchanged between layouts
    int minutiaCount = 0;
    int x[kMaxMinutiae] = {};
    int y[kMaxMinutiae] = {};
    int dir[kMaxMinutiae] = {};
    int kind[kMaxMinutiae] = {};
    int level[kMaxMinutiae] = {};
    int singularCount = 0;
    int spX[kMaxSingular] = {};
    int spY[kMaxSingular] = {};
    int spAngle[kMaxSingular] = {};
    int spKind[kMaxSingular] = {};
    int gridCols = 0;  // 0 = no grid
    int gridRows = 0;
    std::uint8_t grid[kGridSide][kGridSide];  // [row][column]

    TemplateModel() { Clear(); }
    // Zero-fills everything and marks every grid cell as having no data.
    void Clear();
    // Counts limited to what the arrays hold (a hand-built model may claim more).
    int HeldMinutiae() const;
    int HeldSingular() const;
};

// Magic numbers (first two bytes, little-endian) of the stored layouts.
inline constexpr std::uint16_t kMagicLayoutA = 0x432A;
inline constexpr std::uint16_t kMagicLayoutB = 0xCAA0;  // as written; others read
inline constexpr std::uint16_t kMagicLayoutC = 0xCAA1;

enum class TemplateLayout { None, A, B, C };
TemplateLayout LayoutOfMagic(std::uint16_t magic);

// What the decoders accept at most.
inline constexpr int kLayoutCMaxMinutiae = 250;
inline constexpr int kLayoutCMaxSingularRead = 7;  // 3 bits of byte 3
inline constexpr int kLayoutBMaxSingularRead = 3;  // 2 bits of byte 5
inline constexpr int kLayoutABMaxMinutiae = 63;
inline constexpr int kLayoutABMaxGrid = 63;
inline constexpr int kLayoutCMaxGrid = 32;

// The most bytes a template of each layout can occupy and still decode. A
// stored grid row names its first and last column in one byte each, so it
// can carry up to 256 cells even though only D of them land in the grid.
inline constexpr std::size_t kStoredRowMax = 2 + 256;
inline constexpr std::size_t kLayoutAMaxBytes =
    10 + kLayoutABMaxMinutiae * 4 + 3 * 4 + 1 + kLayoutABMaxGrid * kStoredRowMax;
inline constexpr std::size_t kLayoutBMaxBytes =
    7 + kLayoutABMaxMinutiae * 5 + 3 * 4 + kLayoutABMaxGrid * kStoredRowMax;
inline constexpr std::size_t kLayoutCMaxBytes = 5 + kLayoutCMaxMinutiae * 5 +
                                                kLayoutCMaxSingularRead * 4 + 2 +
                                                kLayoutCMaxGrid * kLayoutCMaxGrid;

// The largest layout C encoding of any model (all 512 minutiae, the singular
// points the decoder can read back, a full 32 x 32 grid of literals).
inline constexpr std::size_t kMaxEncodedC =
    5 + kMaxMinutiae * 5 + kLayoutCMaxSingularRead * 4 + 2 + kLayoutCMaxGrid * kLayoutCMaxGrid;
// Layout B keeps its length in a 10-bit field, so it never passes 1023 bytes.
inline constexpr std::size_t kMaxEncodedB = 1023;

// The most bytes a template starting with this magic may occupy: the bound
// the exports, which only get a bare pointer, give the decoder. 2 for
// anything that is not a template (only the magic is read).
std::size_t TemplateBound(std::uint16_t magic);

}  // namespace tl
