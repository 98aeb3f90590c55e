// The pack reader and the armoured-line decoder on arbitrary bytes: neither
// may read past its input, a pack that parses holds exactly what its header
// declares, and every line that decodes survives a round trip through the
// encoder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "core/pack.h"
#include "core/pack_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qvupdate;
    const PackRead r = ParsePack(std::span<const std::uint8_t>(data, size));
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (r.error == PackError::None) {
        std::size_t total = kPackHeaderSize;
        for (const auto& s : r.pack.sections) total += s.size();
        if (total > size) std::abort();
        const auto& c = r.pack.sections[kConfig];
        text = std::string_view(reinterpret_cast<const char*>(c.data()), c.size());
    }
    for (const auto& line : SplitPackLines(text)) {
        const std::string decoded = DecodePackLine(line);
        if (decoded == kUndecodable) continue;
        if (decoded.size() * 4 + 4 != line.size()) std::abort();
        const auto again = EncodePackLine(decoded);
        if (decoded.find_first_of("\r\n") == std::string::npos &&
            (!again || DecodePackLine(*again) != decoded))
            std::abort();
    }
    return 0;
}
