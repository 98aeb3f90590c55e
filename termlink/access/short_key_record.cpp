#include "access/short_key_record.h"

#include <cstring>

namespace tl {

namespace {

constexpr std::size_t kLabelOffset = 3;
constexpr std::size_t kTableHeader = 4;

// One "%d" conversion the way the C library's scanner reads it: blanks
// skipped, an optional sign, at least one digit. Large values saturate (the
// range tests refuse them).
bool ScanInt(const char*& p, long long& value) {
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    const char* q = p;
    bool negative = false;
    if (*q == '+' || *q == '-') negative = *q++ == '-';
    if (*q < '0' || *q > '9') return false;
    long long v = 0;
    while (*q >= '0' && *q <= '9') {
        if (v < 100000000000LL) v = v * 10 + (*q - '0');
        ++q;
    }
    value = negative ? -v : v;
    p = q;
    return true;
}

}  // namespace

std::size_t ShortKeyLabelSize(std::size_t recordSize) {
    return recordSize - 18;  // 14 or 16
}

ShortKey DecodeShortKey(Bytes record) {
    const std::size_t size = record.size(), label = ShortKeyLabelSize(size);
    ShortKey k;
    k.id = record[0];
    k.function = record[1];
    k.state = record[2];
    std::memcpy(k.label.data(), record.data() + kLabelOffset, label);
    for (std::size_t i = 0; i < 7; ++i)
        k.times[i] = load_u16(record.data() + kLabelOffset + label + 2 * i);
    k.autoSwitch = record[size - 1];
    return k;
}

void EncodeShortKey(const ShortKey& k, MutBytes record) {
    const std::size_t size = record.size(), label = ShortKeyLabelSize(size);
    std::memset(record.data(), 0, size);
    record[0] = k.id;
    record[1] = k.function;
    record[2] = k.state;
    std::memcpy(record.data() + kLabelOffset, k.label.data(), label);
    for (std::size_t i = 0; i < 7; ++i)
        store_u16(record.data() + kLabelOffset + label + 2 * i, k.times[i]);
    record[size - 1] = k.autoSwitch;
}

std::optional<std::vector<ShortKey>> DecodeShortKeyTable(Bytes buffer, int received,
                                                         std::size_t recordSize) {
    if (recordSize != 32 && recordSize != 34) return std::nullopt;
    if (received < static_cast<int>(kTableHeader) ||
        static_cast<std::size_t>(received) > buffer.size())
        return std::nullopt;
    const std::size_t bytes = static_cast<std::size_t>(received) - kTableHeader;
    if (bytes % recordSize != 0) return std::nullopt;
    std::vector<ShortKey> keys;
    keys.reserve(bytes / recordSize);
    for (std::size_t off = 0; off < bytes; off += recordSize)
        keys.push_back(DecodeShortKey(buffer.subspan(kTableHeader + off, recordSize)));
    return keys;
}

std::optional<std::array<std::uint16_t, 7>> ParseSwitchTimes(const char* text) {
    if (!text) return std::nullopt;
    // "%d:%d;" seven times: the scan stops at the first conversion or
    // separator that does not match; the pairs not reached stay 0:0.
    long long values[14] = {};
    const char* p = text;
    for (int i = 0; i < 14; ++i) {
        if (!ScanInt(p, values[i])) break;
        const char separator = i % 2 == 0 ? ':' : ';';
        if (*p != separator) break;
        ++p;
    }
    std::array<std::uint16_t, 7> times{};
    for (int k = 0; k < 7; ++k) {
        const long long hour = values[2 * k], minute = values[2 * k + 1];
        if (hour < 0 || hour > 23 || minute < 0 || minute > 59) return std::nullopt;
        times[static_cast<std::size_t>(k)] = static_cast<std::uint16_t>(hour * 100 + minute);
    }
    return times;
}

void FormatSwitchTimes(const std::array<std::uint16_t, 7>& times, char* text) {
    auto two = [](char* out, unsigned v) {
        if (v > 99) v = 99;
        out[0] = static_cast<char>('0' + v / 10);
        out[1] = static_cast<char>('0' + v % 10);
    };
    char* p = text;
    for (std::uint16_t t : times) {
        two(p, t / 100u);
        p[2] = ':';
        two(p + 3, t % 100u);
        p[5] = ';';
        p += 6;
    }
    *p = 0;
}

// Against every stored key with another id: a state key conflicts with any
// key holding its state code, and with another automatically switching state
// key that switches at the same non-zero time in the same position; keys of
// function 2 and of function 3 may each exist once. Other functions are not
// tested.
bool ShortKeyConflicts(const ShortKey& n, const std::vector<ShortKey>& table) {
    for (const ShortKey& r : table) {
        if (r.id == n.id) continue;
        if (n.function == 1) {
            if (r.state == n.state) return true;
            if (r.function == 1 && r.autoSwitch != 0 && n.autoSwitch != 0)
                for (std::size_t k = 0; k < 7; ++k)
                    if (n.times[k] != 0 && n.times[k] == r.times[k]) return true;
        } else if ((n.function == 2 || n.function == 3) && r.function == n.function) {
            return true;
        }
    }
    return false;
}

}  // namespace tl
