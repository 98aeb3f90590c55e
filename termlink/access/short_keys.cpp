#include "access/short_keys.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "access/content_exchange.h"
#include "session/commands.h"
#include "session/transport.h"

namespace tl {

namespace {

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
        const std::size_t field = ShortKeyLabelSize(ShortKeyRecordSize(s));
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
        std::memcpy(n.label.data(), label, bounded_strlen(label, ShortKeyLabelSize(size)));
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
