#include "session/session.h"

#include <cstring>

#include "common/bytes.h"
#include "session/commands.h"
#include "session/transport.h"

namespace tl {

int VersionCompare(const DeviceSession& s, const char* literal) {
    const auto* a = reinterpret_cast<const unsigned char*>(s.firmwareVersion);
    const auto* b = reinterpret_cast<const unsigned char*>(literal);
    // The field always ends in a NUL, so this never leaves its 52 bytes.
    for (std::size_t i = 0; i < sizeof s.firmwareVersion; ++i) {
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
        if (a[i] == 0) return 0;
    }
    return 0;
}

void NormalizeFirmwareVersion(char (&v)[52]) {
    static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char old[52];
    std::memcpy(old, v, sizeof old);
    int m = 13;
    for (int i = 0; i < 12; ++i) {
        if (std::memcmp(old + 9, kMonths[i], 3) == 0) {
            m = i + 1;
            break;
        }
    }
    std::memcpy(v + 9, old + 16, 4);
    v[13] = m < 10 ? '0' : '1';
    v[14] = static_cast<char>('0' + (m < 10 ? m : m - 10));
    v[15] = old[13];
    v[16] = old[14];
    v[17] = 0;
    v[51] = 0;
}

std::optional<std::string> ReadOption(DeviceSession& s, std::string_view name) {
    constexpr int kSize = 200;
    // A name that cannot fit with its NUL is never asked for.
    if (name.size() + 1 > kSize) return std::nullopt;
    const int requestLength = static_cast<int>(name.size()) + 1;
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::uint8_t buffer[kSize] = {};
        std::memcpy(buffer, name.data(), name.size());
        CommandResult r =
            SendCommand(s.transport, CMD_GET_OPTION, buffer, kSize, requestLength, 1000);
        if (!r.ok()) continue;
        // The value follows the first (name length + 1) bytes and ends at a NUL
        // or at the end of what the terminal sent.
        if (r.length <= requestLength) return std::string();
        return field_text(Bytes(buffer, static_cast<std::size_t>(r.length)),
                          static_cast<std::size_t>(requestLength),
                          static_cast<std::size_t>(r.length - requestLength));
    }
    return std::nullopt;
}

std::int32_t ParseDecimal(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' ||
                               text[i] == '\r' || text[i] == '\f' || text[i] == '\v'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10u + static_cast<std::uint32_t>(text[i] - '0');
    if (negative) value = 0u - value;
    return static_cast<std::int32_t>(value);
}

void CloseSession(DeviceSession* s) {
    if (!s) return;
    PMX_CLOSE(s->transport);
    // Every buffer goes with the record, whatever its bookkeeping says: a
    // buffer is never leaked because a length field happens to be zero.
    delete s;
}

}  // namespace tl
