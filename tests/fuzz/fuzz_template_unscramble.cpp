// Unscrambling arbitrary bytes: nothing outside the container is touched, and
// scrambling what was unscrambled gives the input back.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "users/template_container.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> c(data, data + size);
    const bool plain = tl::IsPlainContainer(c);
    if (tl::UnscrambleContainer(c) == 1 && !plain) {
        if (tl::ScrambleContainer(c) != 1) std::abort();
        if (!std::equal(c.begin(), c.end(), data)) std::abort();
    } else if (!std::equal(c.begin(), c.end(), data)) {
        std::abort();
    }
    return 0;
}
