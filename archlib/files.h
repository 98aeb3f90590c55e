// Whole-file reads and all-or-nothing writes: the only file-system code of
// archlib, and the only part that differs between Linux and Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace archlib {

// Reads the whole file. False when it cannot be opened or read, or when it
// is longer than `limit` bytes (then nothing beyond limit + 1 bytes is read).
bool ReadWholeFile(const char* path, std::size_t limit, std::vector<std::uint8_t>& out);

// Writes the bytes to a temporary file beside `path` and renames it over
// `path`. On failure the temporary file is removed and `path` is as it was.
bool WriteFileAtomically(const char* path, const std::uint8_t* data, std::size_t n);

}  // namespace archlib
