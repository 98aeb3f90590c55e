#include "access/work_codes.h"

#include <cstdio>
#include <cstring>

#include "access/content_exchange.h"
#include "common/bytes.h"
#include "config/clear_data.h"
#include "session/commands.h"
#include "session/transport.h"

namespace tl {

namespace {

constexpr std::size_t kNameOffset = 11;

// The id's decimal text, or 0 when it is longer than the field allows.
int IdText(int id, char (&text)[16]) {
    const int n = std::snprintf(text, sizeof text, "%d", id);
    return n > 0 && n <= kWorkCodeIdChars ? n : 0;
}

}  // namespace

int GetWorkCode(DeviceSession& s, int id, int* code) {
    if (!FitsU16Id(id)) return 4;
    std::uint8_t buffer[12] = {};
    store_u16(buffer, static_cast<std::uint16_t>(id));
    const CommandResult r =
        SendCommand(s.transport, CMD_GET_WORKCODE, buffer, sizeof buffer, 2, s.cmdTimeout);
    if (!r.ok() || !fits(static_cast<std::size_t>(r.length), 2, 4)) return -2;
    if (code) *code = static_cast<int>(load_u32(buffer + 2));
    return 1;
}

int SetWorkCode(DeviceSession& s, int id, int code) {
    if (!FitsU16Id(id)) return 4;
    std::uint8_t request[8] = {};
    store_u16(request, static_cast<std::uint16_t>(id));
    store_u32(request + 2, static_cast<std::uint32_t>(code));
    return OkOrRefused(SendCommand(s.transport, CMD_SET_WORKCODE, request, 8, 8, s.cmdTimeout));
}

int DeleteWorkCode(DeviceSession& s, int id) {
    if (!FitsU16Id(id)) return 4;
    std::uint8_t request[2];
    store_u16(request, static_cast<std::uint16_t>(id));
    return SendContentDelete(s, CMD_DEL_WORKCODE, request, 2);
}

int ClearWorkCodes(DeviceSession& s) {
    return ClearTableKind(s, kClearWorkCodes);
}

int SsrGetWorkCode(DeviceSession& s, int id, char* name) {
    char text[16];
    const int n = IdText(id, text);
    if (!name || n == 0) return 4;
    std::uint8_t buffer[40] = {};
    std::memcpy(buffer + 1, text, static_cast<std::size_t>(n));
    const CommandResult r =
        SendCommand(s.transport, CMD_GET_WORKCODE, buffer, sizeof buffer, 10, s.cmdTimeout);
    if (!r.ok() || !fits(static_cast<std::size_t>(r.length), kNameOffset, kWorkCodeNameSize))
        return -2;
    // The name field's text, within the field, always terminated in the
    // caller's 25 bytes.
    const std::size_t len = bounded_strlen(buffer + kNameOffset, kWorkCodeNameSize);
    std::memset(name, 0, kWorkCodeNameSize + 1);
    std::memcpy(name, buffer + kNameOffset, len);
    return 1;
}

int SsrSetWorkCode(DeviceSession& s, int id, const char* name) {
    char text[16];
    const int n = IdText(id, text);
    if (!name || n == 0) return 4;
    std::uint8_t request[36] = {};
    std::memcpy(request + 2, text, static_cast<std::size_t>(n));
    std::memcpy(request + kNameOffset, name, bounded_strlen(name, kWorkCodeNameSize));
    return OkOrRefused(SendCommand(s.transport, CMD_SET_WORKCODE, request, sizeof request,
                                   sizeof request, s.cmdTimeout));
}

int SsrDeleteWorkCode(DeviceSession& s, int id) {
    char text[16];
    const int n = IdText(id, text);
    if (n == 0) return 4;
    std::uint8_t request[9] = {};
    std::memcpy(request, text, static_cast<std::size_t>(n));
    return SendContentDelete(s, CMD_DEL_WORKCODE, request, sizeof request);
}

int SsrClearWorkCodes(DeviceSession& s) {
    return ClearTableKind(s, kClearNamedWorkCodes);
}

}  // namespace tl
