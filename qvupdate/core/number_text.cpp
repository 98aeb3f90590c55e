#include "core/number_text.h"

#include <charconv>

namespace qvupdate {

std::optional<int> ParseWholeNumber(std::string_view text, NumberForm form) {
    int base = 10;
    if (form == NumberForm::DecimalOrDollarHex && !text.empty() && text[0] == '$') {
        base = 16;
        text.remove_prefix(1);
    }
    // from_chars takes a "-" but no "+" and no spaces; a hex number has no sign.
    if (text.empty() || (base == 16 && text[0] == '-')) return std::nullopt;
    int value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
    if (ec != std::errc() || ptr != end) return std::nullopt;
    return value;
}

}  // namespace qvupdate
