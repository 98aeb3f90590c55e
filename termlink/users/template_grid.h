// The layout C grid block: a byte stream that fills the direction grid row by
// row with a running value P (126 = no data at the start of each row and
// after each skip).
//
//   0x00-0x7F   one cell: the value (126 = no data); P becomes the byte
//   0x80 + k    k + 1 cells equal to P
//   0xA0 + k    k + 1 bytes of two nibbles each: P += nibble - 8, wrapped
//               into 0..119, one cell per nibble
//   0xC0        rest of the row empty
//   0xC0 + k    k + 1 empty cells; P = 126
//   0xE0        rest of the grid empty
//   0xE0 + k    rest of the row and the next k rows empty
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "common/bytes.h"
#include "users/template_model.h"

namespace tl {

inline constexpr int kCodeNoData = 126;
inline constexpr int kMaxStretch = 32;

// Shortest coding of a stretch of 1..32 cells, each below 120, given the
// running value `p` before it. Among codings of equal length the one found
// first by the candidate order (one whole run; runs of 2, 3 ... cells; nibble
// pairs of 2, 3 ... pairs; a literal) wins, at every position. Writes at most
// cells.size() bytes to `out` and returns how many. Polynomial time: each
// suffix of the stretch is solved once, since the running value before a
// suffix is always the cell just before it.
std::size_t CodeStretch(std::span<const std::uint8_t> cells, int p, std::uint8_t* out);

// Step from one direction to the next, modulo 120 into -60..59.
inline int DirectionStep(int from, int to) {
    int d = ((to - from) % kDirectionSteps + kDirectionSteps) % kDirectionSteps;
    return d >= kDirectionSteps / 2 ? d - kDirectionSteps : d;
}

// Appends the grid block (two size bytes and the code stream) of the model's
// grid, which must be 1..32 by 1..32. Returns the bytes written, or 0 when
// `out` is too small.
std::size_t EncodeGridBlock(const TemplateModel& model, MutBytes out);

// Decodes a grid block at the start of `block` into the model's grid. Returns
// the bytes the block occupies, or 0 when it is invalid (sizes above 32, a
// run longer than the grid is wide, a stream longer than rows x columns
// bytes or longer than `block`); the grid is then left empty.
std::size_t DecodeGridBlock(Bytes block, TemplateModel& model);

}  // namespace tl
