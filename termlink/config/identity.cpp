#include "config/identity.h"

#include <cstring>
#include <string>

#include "common/bytes.h"
#include "config/options.h"
#include "records/device_time.h"
#include "session/commands.h"
#include "session/transport.h"

namespace tl {

const int kStatusWord[23] = {-1, 12, 4, 6, 13, 10, 8, 14, 15, 16, 17, 18,
                             19, 0,  1, 2, 3,  5,  7, 9,  11, 20, 22};

int GetOptionTextOr(DeviceSession& s, const char* key, const char* fallback, char* out) {
    if (!out) return 4;
    OptionRead r = ExchangeGetOption(s, key);
    if (r.ok()) {
        std::memcpy(out, r.value.c_str(), r.value.size() + 1);
        return 1;
    }
    if (r.absent() && fallback) {
        std::memcpy(out, fallback, std::strlen(fallback) + 1);
        return 1;
    }
    return -2;
}

int GetFirmwareVersion(DeviceSession& s, char* version) {
    constexpr int kSize = 50;
    if (!version) return 4;
    std::uint8_t buffer[kSize] = {};
    CommandResult r = SendCommand(s.transport, CMD_GET_VERSION, buffer, kSize, 0, s.cmdTimeout);
    if (!r.ok()) return -2;
    // The text ends at its NUL or where the terminal's bytes end, and always
    // fits the caller's 50 bytes with a terminator.
    std::string text = field_text(Bytes(buffer, static_cast<std::size_t>(r.length)), 0,
                                  static_cast<std::size_t>(r.length));
    if (text.size() > kSize - 1) text.resize(kSize - 1);
    std::memcpy(version, text.c_str(), text.size() + 1);
    return 1;
}

int GetCardFun(DeviceSession& s, std::int32_t* function) {
    std::int32_t value = 0;
    if (GetOptionInt(s, "~IsOnlyRFMachine", &value) == 1) {
        if (function) *function = value;
        if (value == 1) return 1;  // a card-only terminal
    }
    if (GetOptionInt(s, "~RFCardOn", &value) != 1) return -2;
    if (function) *function = value == 1 ? 2 : 0;
    return 1;
}

int GetTime(DeviceSession& s, std::int32_t* year, std::int32_t* month, std::int32_t* day,
            std::int32_t* hour, std::int32_t* minute, std::int32_t* second) {
    std::uint8_t buffer[4] = {};
    CommandResult r = SendCommand(s.transport, CMD_GET_TIME, buffer, 4, 0, s.cmdTimeout);
    // A clock reply without its four bytes is no time at all.
    if (!r.ok() || r.length < 4) return -2;
    const CalendarTime t = DecodeDeviceTime(load_u32(buffer));
    if (year) *year = t.year;
    if (month) *month = t.month;
    if (day) *day = t.day;
    if (hour) *hour = t.hour;
    if (minute) *minute = t.minute;
    if (second) *second = t.second;
    return 1;
}

int SetTime(DeviceSession& s, std::int32_t year, std::int32_t month, std::int32_t day,
            std::int32_t hour, std::int32_t minute, std::int32_t second) {
    std::uint8_t buffer[4];
    store_u32(buffer, EncodeDeviceTime(year, month, day, hour, minute, second));
    return OkOrRefused(SendCommand(s.transport, CMD_SET_TIME, buffer, 4, 4, s.cmdTimeout));
}

int GetDeviceStatus(DeviceSession& s, int statusIndex, std::int32_t* value) {
    constexpr int kSize = 200;
    // 23-25 pass the range check but name no counter: not served.
    if (statusIndex < 1 || statusIndex > 22) return 4;
    std::uint8_t buffer[kSize] = {};
    CommandResult r =
        SendCommand(s.transport, CMD_GET_DEVICE_STATUS, buffer, kSize, 0, s.cmdTimeout);
    if (!r.ok()) return -2;
    const auto word = load_u32(Bytes(buffer, static_cast<std::size_t>(r.length)),
                               static_cast<std::size_t>(kStatusWord[statusIndex]) * 4);
    if (!word) return -2;  // the terminal did not send that counter
    if (value) *value = static_cast<std::int32_t>(*word);
    return 1;
}

int GetPinWidth(DeviceSession& s, std::int32_t* width) {
    if (width) *width = 5;
    int last = 0;
    for (int attempt = 0; attempt < 10; ++attempt) {
        // Two zero bytes out; the answer comes back in the same area.
        std::uint8_t buffer[2] = {0, 0};
        CommandResult r = SendCommand(s.transport, CMD_GET_PIN_WIDTH, buffer, 2, 2, s.cmdTimeout);
        last = r.reply;
        if (r.ok() && r.length >= 1) {
            const std::int32_t w = static_cast<std::int8_t>(buffer[0]);
            if (width) *width = w;
            s.pinWidth = w;
            return 1;
        }
    }
    return (last == REPLY_ERROR || last == 0xFFFF) ? 1 : -2;
}

}  // namespace tl
