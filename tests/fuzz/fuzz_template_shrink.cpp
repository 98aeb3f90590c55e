// Shrinking arbitrary bytes to a limit taken from the input: a result is a
// template within the limit and the bytes, or nothing changes.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "termlink.h"
#include "users/template_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const int limit = static_cast<int>(data[0] | data[1] << 8) - 64;
    std::vector<std::uint8_t> t(data + 2, data + size);
    const std::vector<std::uint8_t> before = t;
    const std::size_t n = tl::ShrinkTemplate(t, limit);
    if (n == 0) {
        if (t != before) std::abort();
    } else if (static_cast<long long>(n) > limit || n > t.size() ||
               tl::TemplateLength(tl::Bytes(t.data(), n)) != n) {
        std::abort();
    }
    // The export, with the room it assumes.
    std::vector<std::uint8_t> room(std::max(size, tl::kLayoutBMaxBytes), 0);
    std::copy(before.begin(), before.end(), room.begin());
    TL_SetFPTempLength(room.data(), limit);
    return 0;
}
