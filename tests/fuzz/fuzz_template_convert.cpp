// Both conversion exports on arbitrary bytes with the room they assume.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "termlink.h"
#include "users/template_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const int wanted = static_cast<int>(data[0] | data[1] << 8) % 2200;
    std::vector<std::uint8_t> src(std::max(size, tl::kLayoutBMaxBytes), 0);
    std::memcpy(src.data(), data + 2, size - 2);
    std::vector<std::uint8_t> dst(2048);
    int length = 0;
    if (TL_FPTempConvert(src.data(), dst.data(), &length) == 1) {
        if (length <= 50 || length > 1023) std::abort();
        if (tl::TemplateLength(tl::Bytes(dst.data(), static_cast<std::size_t>(length))) !=
            static_cast<std::size_t>(length)) {
            std::abort();
        }
    }
    length = wanted;
    if (TL_FPTempConvertNew(src.data(), dst.data(), &length) == 1) {
        // More than 50 bytes, shrunk or not.
        const bool shrinks = wanted > 100 && wanted < 2048;
        if (length <= 50 || length > 2048) std::abort();
        if (shrinks && wanted < length) std::abort();
        if (tl::TemplateLength(tl::Bytes(dst.data(), static_cast<std::size_t>(length))) !=
            static_cast<std::size_t>(length)) {
            std::abort();
        }
    }
    return 0;
}
