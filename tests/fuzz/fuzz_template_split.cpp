// Splitting arbitrary bytes as a container: the container comes back as it
// was, and every output is a single-template container of its stated size.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "users/template_container.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static bool quiet = [] { return std::freopen("/dev/null", "w", stdout) != nullptr; }();
    (void)quiet;
    std::vector<std::uint8_t> c(data, data + size);
    std::vector<std::vector<std::uint8_t>> outs;
    auto buffer = [&](int index, std::size_t need) -> tl::MutBytes {
        if (index != static_cast<int>(outs.size())) std::abort();
        outs.emplace_back(need);
        return outs.back();
    };
    const int n = tl::SplitContainer(c, buffer);
    if (!std::equal(c.begin(), c.end(), data)) std::abort();
    if (n < 0 || n > 255 || (n > 0 && static_cast<std::size_t>(n) != outs.size())) std::abort();
    for (int i = 0; i < n; ++i) {
        auto& o = outs[static_cast<std::size_t>(i)];
        if (tl::UnscrambleContainer(o) != 1 || tl::ContainerLength(o) != o.size()) std::abort();
        if (o[10] != 1 || (n > 1 && o[26] != 0)) std::abort();
    }
    return 0;
}
