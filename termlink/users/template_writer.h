// A bounded little-endian byte writer for the template encoders: it never
// writes past its span and remembers when something did not fit, so an
// encoding that overflows is refused as a whole.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/bytes.h"

namespace tl {

struct TemplateWriter {
    MutBytes out;
    std::size_t pos = 0;
    bool overflow = false;
    void Put(int byte) {
        if (pos < out.size()) {
            out[pos++] = static_cast<std::uint8_t>(byte);
        } else {
            overflow = true;
        }
    }
    void Put16(int v) {
        Put(v & 0xFF);
        Put((v >> 8) & 0xFF);
    }
    void Put32(std::uint32_t v) {
        Put16(static_cast<int>(v & 0xFFFF));
        Put16(static_cast<int>(v >> 16));
    }
    // Bytes written, or 0 when anything did not fit.
    std::size_t Result() const { return overflow ? 0 : pos; }
};

}  // namespace tl
