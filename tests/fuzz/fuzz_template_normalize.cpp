// Normalising arbitrary bytes: the result is a layout C template of exactly
// the reported length, and normalising it again changes nothing.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "users/template_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> out(tl::kMaxEncodedC);
    const std::size_t n = tl::NormalizeTemplate(tl::Bytes(data, size), out);
    if (n == 0) return 0;
    if (tl::TemplateLength(tl::Bytes(out.data(), n)) != n) std::abort();
    std::vector<std::uint8_t> again(tl::kMaxEncodedC);
    const std::size_t m = tl::NormalizeTemplate(tl::Bytes(out.data(), n), again);
    if (m != n || !std::equal(out.begin(), out.begin() + static_cast<long>(n), again.begin())) {
        std::abort();
    }
    std::vector<std::uint8_t> small(n / 2);
    tl::NormalizeTemplate(tl::Bytes(data, size), small);  // must not write past
    return 0;
}
