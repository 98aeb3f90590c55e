#include "config/device_control.h"

#include <cstring>

#include "common/bytes.h"
#include "config/clear_data.h"
#include "session/commands.h"
#include "session/transport.h"

namespace tl {

int SimpleCommand(DeviceSession& s, int code, int timeoutMs) {
    return OkOrRefused(SendCommand(s.transport, code, nullptr, 0, 0, timeoutMs));
}

int RebootDevice(DeviceSession* s) {
    if (SimpleCommand(*s, CMD_RESTART, s->cmdTimeout) != 1) return -2;
    // The terminal is going down: the connection ends with it.
    CloseSession(s);
    return 1;
}

int WriteLcd(DeviceSession& s, int row, int column, const char* text) {
    if (!text) return 4;
    std::uint8_t request[kLcdRequestSize] = {};
    request[0] = static_cast<std::uint8_t>(row);
    request[1] = static_cast<std::uint8_t>(column);
    const std::size_t length = bounded_strlen(text, kLcdTextMax);
    std::memcpy(request + 3, text, length);
    // The NUL follows the text when it fits; a text cut to 97 bytes fills the
    // request without one.
    const int requestLength = length < static_cast<std::size_t>(kLcdTextMax)
                                  ? static_cast<int>(length) + 4
                                  : kLcdRequestSize;
    return OkOrRefused(SendCommand(s.transport, CMD_WRITE_LCD, request, kLcdRequestSize,
                                   requestLength, s.cmdTimeout));
}

int Beep(DeviceSession& s, int durationMs) {
    // Action 3 (beep), one data byte: the duration in units of 20 ms.
    std::uint8_t request[100] = {3, 1, 0, 0, static_cast<std::uint8_t>(durationMs / 20)};
    return OkOrRefused(SendCommand(s.transport, CMD_SIGNAL, request, 100, 5, s.cmdTimeout));
}

int PlayVoice(DeviceSession& s, int first, int last) {
    std::uint8_t request[2] = {static_cast<std::uint8_t>(first), static_cast<std::uint8_t>(last)};
    return OkOrRefused(SendCommand(s.transport, CMD_PLAY_VOICE, request, 2, 2, s.cmdTimeout));
}

int PlayVoiceByIndex(DeviceSession& s, int index) {
    std::uint8_t request[2] = {static_cast<std::uint8_t>(index), 0};
    return OkOrRefused(SendCommand(s.transport, CMD_PLAY_VOICE, request, 2, 1, s.cmdTimeout));
}

int EnableClock(DeviceSession& s, int on) {
    std::uint8_t request[2] = {static_cast<std::uint8_t>(on), 0};
    return OkOrRefused(SendCommand(s.transport, CMD_ENABLE_CLOCK, request, 2, 1, s.cmdTimeout));
}

int ClearData(DeviceSession& s) {
    if (SimpleCommand(s, CMD_CLEAR_DATA, kClearAllTimeoutMs) != 1) return -2;
    ForgetCachedTables(s);
    return 1;
}

int ClearDataEx(DeviceSession& s, int kind) {
    if (ClearTableKind(s, static_cast<std::uint8_t>(kind)) != 1) return -2;
    ForgetCachedTables(s);
    return 1;
}

}  // namespace tl
