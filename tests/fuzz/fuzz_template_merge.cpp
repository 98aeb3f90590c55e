// Merging containers cut from arbitrary bytes: inputs come back as they were,
// and a merged container unscrambles to a header that matches its length.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "users/template_container.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static bool quiet = [] { return std::freopen("/dev/null", "w", stdout) != nullptr; }();
    (void)quiet;
    // Input: a count byte, then containers; each takes the bytes up to the
    // next 0xFF 0xFF separator.
    std::vector<std::vector<std::uint8_t>> parts(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (i + 1 < size && data[i] == 0xFF && data[i + 1] == 0xFF && parts.size() < 8) {
            parts.emplace_back();
            ++i;
        } else {
            parts.back().push_back(data[i]);
        }
    }
    const auto before = parts;
    std::vector<tl::MutBytes> spans;
    for (auto& p : parts) spans.emplace_back(p);
    std::vector<std::uint8_t> out(tl::kContainerMax);
    const std::size_t n = tl::MergeContainers(spans, out);
    if (parts != before) std::abort();
    if (n == 0) return 0;
    if (n < tl::kContainerHeader || n > tl::kContainerMax) std::abort();
    out.resize(n);
    if (tl::UnscrambleContainer(out) != 1 || !tl::IsPlainContainer(out) ||
        tl::ContainerLength(out) != n) {
        std::abort();
    }
    return 0;
}
