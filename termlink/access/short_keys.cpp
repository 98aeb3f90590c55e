#include "access/short_keys.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "access/content_commands.h"
#include "access/content_exchange.h"
#include "session/transport.h"

namespace tl {

namespace {

constexpr std::size_t kLabelOffset = 3;
constexpr std::size_t kTableHeader = 4;

std::size_t LabelSize(std::size_t recordSize) {
    return recordSize - 18;  // 14 or 16
}

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

// Reads the whole key table. 1 with `out` filled; -2 refused or not whole
// records; -4 no memory.
int ReadShortKeyTable(DeviceSession& s, std::vector<ShortKey>& out) {
    std::unique_ptr<std::uint8_t, decltype(&std::free)> buffer(
        static_cast<std::uint8_t*>(std::calloc(kShortKeyTableCapacity, 1)), &std::free);
    if (!buffer) return -4;
    int word = CMD_READ_SHORTKEYS;
    const int n =
        PMX_READDATA(s.transport, &word, buffer.get(), static_cast<int>(kShortKeyTableCapacity), 0,
                     s.blockSize, TimeoutPlus(s.dataTimeout, 1000));
    if ((word & 0xFFFF) != REPLY_OK) return -2;
    auto keys =
        DecodeShortKeyTable(Bytes(buffer.get(), kShortKeyTableCapacity), n, ShortKeyRecordSize(s));
    if (!keys) return -2;
    out = std::move(*keys);
    return 1;
}

}  // namespace

std::size_t ShortKeyRecordSize(const DeviceSession& s) {
    return VersionCompare(s, "Ver 6.60") < 0 ? 32 : 34;
}

ShortKey DecodeShortKey(Bytes record) {
    const std::size_t size = record.size(), label = LabelSize(size);
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
    const std::size_t size = record.size(), label = LabelSize(size);
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

int GetShortKey(DeviceSession& s, int keyId, const ShortKeyOut& out) {
    if (!FitsByte(keyId) || !out.label || !out.times) return 4;
    std::vector<ShortKey> table;
    const int read = ReadShortKeyTable(s, table);
    if (read != 1) return read;
    const ShortKey* key = nullptr;
    for (const ShortKey& k : table)
        if (k.id == keyId) {
            key = &k;
            break;
        }
    if (!key) return 0;
    if (out.function) *out.function = key->function;
    if (key->function == 1) {
        // The label field only (14 or 16 bytes), zero-padded to the caller's
        // 16: a 16-character label fills them without a terminator.
        const std::size_t field = LabelSize(ShortKeyRecordSize(s));
        std::memset(out.label, 0, kShortKeyLabelOut);
        std::memcpy(out.label, key->label.data(), bounded_strlen(key->label.data(), field));
        if (out.state) *out.state = key->state;
        if (out.autoSwitch) *out.autoSwitch = key->autoSwitch;
        FormatSwitchTimes(key->times, out.times);
    } else {
        if (out.state) *out.state = 0;
        out.label[0] = 0;
        if (out.autoSwitch) *out.autoSwitch = 0;
        out.times[0] = 0;
    }
    return 1;
}

int SetShortKey(DeviceSession& s, int keyId, int function, int state, const char* label,
                int autoSwitch, const char* times) {
    // Every value travels as one byte: cut, it would name another key,
    // function or state.
    if (!FitsByte(keyId) || !FitsByte(function)) return 4;
    const std::size_t size = ShortKeyRecordSize(s);
    ShortKey n;
    n.id = static_cast<std::uint8_t>(keyId);
    n.function = static_cast<std::uint8_t>(function);
    if (function == 1) {
        if (!FitsByte(state) || !FitsByte(autoSwitch) || !label) return 4;
        const auto parsed = ParseSwitchTimes(times);
        if (!parsed) return 4;
        n.state = static_cast<std::uint8_t>(state);
        // The caller's label up to its terminator, cut to the field.
        std::memcpy(n.label.data(), label, bounded_strlen(label, LabelSize(size)));
        n.times = *parsed;
        n.autoSwitch = static_cast<std::uint8_t>(autoSwitch);
    }
    std::vector<ShortKey> table;
    const int read = ReadShortKeyTable(s, table);
    if (read != 1) return read;
    if (ShortKeyConflicts(n, table)) return 4;
    std::uint8_t record[34];
    EncodeShortKey(n, MutBytes(record, size));
    const int len = static_cast<int>(size);
    return OkOrRefused(SendCommand(s.transport, CMD_SET_SHORTKEY, record, len, len, s.cmdTimeout));
}

}  // namespace tl
