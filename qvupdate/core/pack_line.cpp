#include "core/pack_line.h"

namespace qvupdate {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

int DigitOf(char c) {
    const auto at = kDigitTable.find(c);
    return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

// A digit that is never the one the previous group had at the same place
// (0 before the first group), so that a digit symbol replaced by a symbol
// outside the table (which decodes as the previous digit) still fails.
int PickDigit(int wanted, int previous) {
    wanted %= 10;
    return wanted == previous ? (wanted + 1) % 10 : wanted;
}

}  // namespace

std::string DecodePackLine(std::string_view line) {
    const std::size_t n = line.size();
    if (n < 4 || n % 4 != 0 || n - 4 > 0xFF) return std::string(kUndecodable);
    const std::size_t body = n - 4;
    if (line[n - 2] != kHex[body >> 4] || line[n - 1] != kHex[body & 15])
        return std::string(kUndecodable);
    std::string out;
    out.reserve(body / 4);
    int d1 = 0, d2 = 0;
    for (std::size_t g = 0; g < body; g += 4) {
        out.push_back(line[g + 3]);
        if (int d = DigitOf(line[g]); d >= 0) d1 = d;
        if (int d = DigitOf(line[g + 2]); d >= 0) d2 = d;
        if (kCheckTable[static_cast<std::size_t>(d1 * 10 + d2)] != line[g + 1])
            return std::string(kUndecodable);
    }
    return out;
}

std::optional<std::string> EncodePackLine(std::string_view line) {
    if (line.size() > kMaxArmouredLine) return std::nullopt;
    if (line.find_first_of("\r\n") != std::string_view::npos) return std::nullopt;
    std::string out;
    out.reserve(4 * (line.size() + 1));
    int d1 = 0, d2 = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        // The digits vary with the character and its place; any choice
        // decodes, this one just keeps equal characters from looking alike.
        const auto c = static_cast<unsigned char>(line[i]);
        d1 = PickDigit(c + 3 * static_cast<int>(i), d1);
        d2 = PickDigit(c / 10 + 7 * static_cast<int>(i), d2);
        out.push_back(kDigitTable[static_cast<std::size_t>(d1)]);
        out.push_back(kCheckTable[static_cast<std::size_t>(d1 * 10 + d2)]);
        out.push_back(kDigitTable[static_cast<std::size_t>(d2)]);
        out.push_back(line[i]);
    }
    const std::size_t body = 4 * line.size();
    out.push_back(kDigitTable[line.size() % 10]);
    out.push_back(kDigitTable[(line.size() / 10) % 10]);
    out.push_back(kHex[body >> 4]);
    out.push_back(kHex[body & 15]);
    return out;
}

std::vector<std::string> SplitPackLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.emplace_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

}  // namespace qvupdate
