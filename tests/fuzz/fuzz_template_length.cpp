// The length export on arbitrary bytes, given the room the export assumes a
// template of its layout may take.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "termlink.h"
#include "users/template_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> buf(std::max(size, tl::kLayoutBMaxBytes), 0);
    if (size) std::memcpy(buf.data(), data, size);
    int length = -1;
    const int r = TL_FPTempLength(buf.data(), &length);
    if (r == 1 ? length <= 0 : (r != 4 || length != 0)) std::abort();
    if (r == 1 && static_cast<std::size_t>(length) <= size &&
        tl::TemplateLength(tl::Bytes(data, size)) != static_cast<std::size_t>(length)) {
        std::abort();
    }
    return 0;
}
