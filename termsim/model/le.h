// Little-endian loads and stores of the simulator's own, on byte vectors and
// spans of known length. The simulator writes every terminal record field by
// field with these, never by casting structures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace termsim::le {

using Bytes = std::span<const std::uint8_t>;

inline bool Has(Bytes b, std::size_t off, std::size_t n) {
    return off <= b.size() && n <= b.size() - off;
}

// Loads give 0 for bytes outside the span: a short request reads as zeros.
inline std::uint8_t U8(Bytes b, std::size_t off) {
    return off < b.size() ? b[off] : 0;
}
inline std::uint16_t U16(Bytes b, std::size_t off) {
    return static_cast<std::uint16_t>(U8(b, off) | (U8(b, off + 1) << 8));
}
inline std::uint32_t U32(Bytes b, std::size_t off) {
    return static_cast<std::uint32_t>(U16(b, off)) |
           (static_cast<std::uint32_t>(U16(b, off + 2)) << 16);
}
inline std::int32_t I32(Bytes b, std::size_t off) {
    return static_cast<std::int32_t>(U32(b, off));
}

// Text of a fixed field: up to the first NUL or the field's end.
inline std::string Text(Bytes b, std::size_t off, std::size_t field) {
    std::string out;
    for (std::size_t i = 0; i < field && off + i < b.size() && b[off + i] != 0; ++i)
        out.push_back(static_cast<char>(b[off + i]));
    return out;
}

// A fixed-size record under construction: stores outside it are dropped.
class Record {
  public:
    explicit Record(std::size_t size) : bytes_(size, 0) {}
    void Put8(std::size_t off, std::uint32_t v) {
        if (off < bytes_.size()) bytes_[off] = static_cast<std::uint8_t>(v);
    }
    void Put16(std::size_t off, std::uint32_t v) {
        Put8(off, v);
        Put8(off + 1, v >> 8);
    }
    void Put32(std::size_t off, std::uint32_t v) {
        Put16(off, v);
        Put16(off + 2, v >> 16);
    }
    // Copies at most `field` bytes of text, NUL-padded; a text that fills the
    // field gets no terminator, as the terminal stores it.
    void PutText(std::size_t off, std::size_t field, std::string_view text) {
        for (std::size_t i = 0; i < field; ++i)
            Put8(off + i, i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0);
    }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    void AppendTo(std::vector<std::uint8_t>& out) const {
        out.insert(out.end(), bytes_.begin(), bytes_.end());
    }

  private:
    std::vector<std::uint8_t> bytes_;
};

inline void Append32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
inline void Append16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

}  // namespace termsim::le
