// The limit on file paths the maintenance exports write to or read from.
#pragma once

#include <cstddef>
#include <cstring>

namespace tl {

// A path must fit a 200-byte field with its NUL: 199 bytes of text at most.
// Longer paths are refused whole (never cut to another, shorter path).
constexpr std::size_t kMaxPathField = 200;

inline bool UsablePath(const char* path) {
    return path && path[0] != '\0' && strnlen(path, kMaxPathField) < kMaxPathField;
}

}  // namespace tl
