// The terminal's value forms: DeviceTime, version texts and their order,
// decimal option text, and scrambled hidden option values.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "internal.h"

namespace termsim {

std::uint32_t EncodeTime(int year, int month, int day, int hour, int minute, int second) {
    auto yy = static_cast<std::uint32_t>(year % 100);
    std::uint32_t v = yy * 12 + static_cast<std::uint32_t>(month - 1);
    v = v * 31 + static_cast<std::uint32_t>(day - 1);
    v = v * 24 + static_cast<std::uint32_t>(hour);
    v = v * 60 + static_cast<std::uint32_t>(minute);
    return v * 60 + static_cast<std::uint32_t>(second);
}

TimeFields DecodeTime(std::uint32_t v) {
    TimeFields t{};
    t.second = static_cast<int>(v % 60);
    t.minute = static_cast<int>(v / 60 % 60);
    t.hour = static_cast<int>(v / 3600 % 24);
    std::uint32_t d = v / 86400;
    t.day = static_cast<int>(d % 31 + 1);
    t.month = static_cast<int>(d / 31 % 12 + 1);
    t.year = static_cast<int>(d / 372 + 2000);
    return t;
}

std::string NormalizeVersion(const std::string& version) {
    std::string v = version.substr(0, std::min<std::size_t>(version.size(), 50));
    if (auto nul = v.find('\0'); nul != std::string::npos) v.resize(nul);
    if (v.size() <= 8) return v;
    static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    v.resize(std::max<std::size_t>(v.size(), 20), '\0');
    int m = 13;
    for (int i = 0; i < 12; ++i)
        if (v.compare(9, 3, months[i]) == 0) {
            m = i + 1;
            break;
        }
    std::string out = v.substr(0, 9);
    out += v.substr(16, 4);
    out += static_cast<char>('0' + m / 10);
    out += static_cast<char>('0' + m % 10);
    out += v.substr(13, 2);
    if (auto nul = out.find('\0'); nul != std::string::npos) out.resize(nul);
    return out;
}

int CompareVersion(const std::string& normalized, const char* literal) {
    int c = std::strcmp(normalized.c_str(), literal);
    return (c > 0) - (c < 0);
}

long long ParseDecimal(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    long long v = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        if (v > 100000000000LL) break;  // far beyond any option value; stop before overflow
        v = v * 10 + (text[i] - '0');
    }
    return negative ? -v : v;
}

static int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::optional<std::string> Unscramble(const std::string& value) {
    if (value.size() < 2 || value.size() % 2 != 0) return std::nullopt;
    std::vector<std::uint8_t> e;
    for (std::size_t i = 0; i < value.size(); i += 2) {
        int hi = HexDigit(value[i]), lo = HexDigit(value[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        e.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    std::string plain;
    for (std::size_t i = 1; i < e.size(); ++i) {
        auto c = static_cast<std::uint8_t>(e[i] ^ e[i - 1]);
        // A scrambled value always hides printable text; anything else means
        // the value was written plain after all.
        if (c < 0x20 || c == 0x7F) return std::nullopt;
        plain.push_back(static_cast<char>(c));
    }
    return plain;
}

std::string Scramble(const std::string& plain, std::uint8_t seed) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    std::uint8_t prev = seed;
    auto put = [&](std::uint8_t b) {
        out += hex[b >> 4];
        out += hex[b & 15];
    };
    put(prev);
    for (char c : plain) {
        prev = static_cast<std::uint8_t>(prev ^ static_cast<std::uint8_t>(c));
        put(prev);
    }
    return out;
}

}  // namespace termsim
