// Little-endian loads and stores on byte spans of known length.
//
// Terminal records are packed little-endian layouts with unaligned fields.
// Every access goes through these helpers; the checked forms refuse any
// access that would leave the span instead of reading past it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>

namespace tl {

using Bytes = std::span<const std::uint8_t>;
using MutBytes = std::span<std::uint8_t>;

// True when [offset, offset + size) lies inside a span of `length` bytes.
constexpr bool fits(std::size_t length, std::size_t offset, std::size_t size) {
    return offset <= length && size <= length - offset;
}

// Unchecked loads/stores: callers have already proved the range with fits().
inline std::uint16_t load_u16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t load_u32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline void store_u16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void store_u32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

// Checked loads on spans: nothing when the field is not wholly inside.
inline std::optional<std::uint8_t> load_u8(Bytes b, std::size_t off) {
    if (!fits(b.size(), off, 1)) return std::nullopt;
    return b[off];
}
inline std::optional<std::uint16_t> load_u16(Bytes b, std::size_t off) {
    if (!fits(b.size(), off, 2)) return std::nullopt;
    return load_u16(b.data() + off);
}
inline std::optional<std::uint32_t> load_u32(Bytes b, std::size_t off) {
    if (!fits(b.size(), off, 4)) return std::nullopt;
    return load_u32(b.data() + off);
}

// Checked stores on spans: false (and nothing written) when out of range.
inline bool store_u8(MutBytes b, std::size_t off, std::uint8_t v) {
    if (!fits(b.size(), off, 1)) return false;
    b[off] = v;
    return true;
}
inline bool store_u16(MutBytes b, std::size_t off, std::uint16_t v) {
    if (!fits(b.size(), off, 2)) return false;
    store_u16(b.data() + off, v);
    return true;
}
inline bool store_u32(MutBytes b, std::size_t off, std::uint32_t v) {
    if (!fits(b.size(), off, 4)) return false;
    store_u32(b.data() + off, v);
    return true;
}

// Length of a NUL-terminated text that may fill its field with no terminator.
// An empty field is an empty text, whatever the pointer (it may be null).
inline std::size_t bounded_strlen(const void* p, std::size_t field) {
    if (field == 0) return 0;
    const void* nul = std::memchr(p, 0, field);
    return nul ? static_cast<std::size_t>(static_cast<const char*>(nul) -
                                          static_cast<const char*>(p))
               : field;
}

// Text of a fixed field, stopping at the first NUL or the field's end.
inline std::string field_text(Bytes b, std::size_t off, std::size_t field) {
    if (off > b.size()) return {};
    if (field > b.size() - off) field = b.size() - off;
    const auto* p = b.data() + off;
    return std::string(reinterpret_cast<const char*>(p), bounded_strlen(p, field));
}

// Copies `text` into a fixed field of `field` bytes, NUL-padded; the text is
// cut to field - 1 bytes so the field always ends in a NUL.
inline void put_field_text(std::uint8_t* dst, std::size_t field, const char* text) {
    if (field == 0) return;
    std::memset(dst, 0, field);
    if (!text) return;
    std::size_t n = bounded_strlen(text, field - 1);
    std::memcpy(dst, text, n);
}

}  // namespace tl
