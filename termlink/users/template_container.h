// The version-10 template container: a 24-byte header ("ICRS21", length,
// count, kind words) and embedded templates back to back, kept in a
// self-keyed scrambled form. Merging joins containers, splitting cuts one
// into a container per embedded template.
//
// Decisions where the terminal's behaviour leaves room:
//  - Inputs go back to the caller in the form they came in (a plain input
//    stays plain, a buffer listed twice is restored once); outputs are always
//    scrambled. The inputs' own bytes are never changed.
//  - A merge input holding several templates contributes each of them, walked
//    by their own 12-bit lengths, each with the next index.
//  - A merged container that would pass 16384 bytes or 255 templates is
//    refused (0), as is any input that is not a container (signature, length
//    below 24 or past its buffer, templates running past its length) or whose
//    kind words differ from the first input's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "common/bytes.h"

namespace tl {

inline constexpr std::size_t kContainerHeader = 24;
inline constexpr std::size_t kContainerMax = 16384;
// Each embedded template holds its own length at bytes 3-4.
inline constexpr std::size_t kEmbeddedMin = 5;

// True when the first four bytes read "ICRS" (the plain form).
bool IsPlainContainer(Bytes c);
// The big-endian length at bytes 8-9 (the same in both forms); 0 when the
// span is too short to hold it.
std::size_t ContainerLength(Bytes c);

// Scrambles a plain container in place: 1, or 0 with nothing done when its
// length is below 24, above 16384 or past the span.
int ScrambleContainer(MutBytes c);
// Unscrambles in place: 1 (also when it is already plain), or 0 with nothing
// done for the same lengths as above.
int UnscrambleContainer(MutBytes c);

// Merges the containers into `output` (scrambled) and returns its length, or
// 0. Prints the merge's trace lines. An empty input list or output refuses.
std::size_t MergeContainers(std::span<const MutBytes> inputs, MutBytes output);

// Asked, in order and before anything is written, for the buffer of output
// container `index`, which needs `size` bytes; an empty span refuses.
using SplitBuffer = std::function<MutBytes(int index, std::size_t size)>;

// Splits a container into one scrambled container per embedded template and
// returns how many, or 0. Prints the split's trace lines; an empty container
// span refuses right after the first line.
int SplitContainer(MutBytes container, const SplitBuffer& buffer);

}  // namespace tl
