#include "config/device_info.h"

#include <cstring>
#include <string>

#include "common/bytes.h"
#include "common/platform.h"
#include "config/options.h"
#include "records/bulk_read.h"
#include "session/commands.h"
#include "session/transport.h"

namespace tl {

const char* const InfoKeyTable[70] = {
    nullptr,
    "~ProductTime",
    "DeviceID",
    "NewLng",
    "IdleMinute",
    "LockOn",
    "AlarmAttLog",
    "AlarmOpLog",
    "AlarmReRec",
    "RS232BaudRate",
    "RS232CRC",
    "RS232Stop",
    "",
    "NetworkOn",
    "RS232On",
    "RS485On",
    "VoiceOn",
    "MSpeed",
    "IdlePower",
    "AutoPowerOff",
    "AutoPowerOn",
    "AutoPowerSuspend",
    "AutoAlarm1",
    "MThreshold",
    "EThreshold",
    "VThreshold",
    "ShowScore",
    "UnlockPerson",
    "OnlyPINCard",
    "HiSpeedNet",
    "MustEnroll",
    "TOState",
    "TOPin",
    "TOMenu",
    "DtFmt",
    "Must1To1",
    "AutoAlarm2",
    "AutoAlarm3",
    "AutoAlarm4",
    "AutoAlarm5",
    "AutoAlarm6",
    "AS1",
    "AS2",
    "AS3",
    "AS4",
    "AS5",
    "AS6",
    "AS7",
    "AS8",
    "AS9",
    "AS10",
    "AS11",
    "AS12",
    "AS13",
    "AS14",
    "AS15",
    "AS16",
    "WGFailedID",
    "WGDuressID",
    "WGSiteCode",
    "WGPulseWidth",
    "WGPulseInterval",
    "~RFSStart",
    "~RFSLen",
    "~RFFPC",
    "CardKey",
    "~ShowState",
    "ControlOn",
    "ControlStartTime",
    "ControlMinute",
};

namespace {

constexpr std::int32_t kBaudRates[7] = {1200, 2400, 4800, 9600, 19200, 38400, 57600};

bool IsThreshold(int index) {
    return index >= 23 && index <= 25;
}
bool IsTableIndex(int index) {
    return index >= 1 && index <= kInfoKeyCount;
}
bool IsLegacyFirmware(const DeviceSession& s) {
    return VersionCompare(s, "Ver 5.04") < 0;
}

// Handles are reported in 32 bits, as the interface carries them; on a 64-bit
// build that is their low half.
std::int32_t HandleWord(const void* p) {
    return static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(p));
}

}  // namespace

std::int32_t ThresholdToDevice(std::int32_t v) {
    if (v < 0) return 0;
    if (v < 10) return 3 * v;
    if (v <= 50) return v + 20;
    return 70;
}

std::int32_t ThresholdFromDevice(std::int32_t d) {
    if (d < 0) return 0;
    if (d < 30) return d / 3;
    if (d <= 70) return d - 20;
    return 50;
}

std::int32_t InfoValueToDevice(const DeviceSession& s, int index, std::int32_t value) {
    if (index == 3) {
        switch (value) {
            case 0:
                return 69;
            case 2:
                return 84;
            case 3:
                return 76;
            default:
                return 83;
        }
    }
    if (index == 9) return (value >= 0 && value <= 6) ? kBaudRates[value] : 115200;
    if (IsThreshold(index)) {
        if (IsLegacyFirmware(s))
            return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) + 20u);
        return ThresholdToDevice(value);
    }
    return value;
}

std::int32_t InfoValueFromDevice(const DeviceSession& s, int index, std::int32_t value) {
    if (index == 3) {
        switch (value) {
            case 69:
                return 0;
            case 84:
                return 2;
            case 76:
                return 3;
            default:
                return 1;
        }
    }
    if (index == 9) {
        for (std::int32_t i = 0; i < 7; ++i)
            if (kBaudRates[i] == value) return i;
        return 7;
    }
    if (IsThreshold(index)) {
        if (IsLegacyFirmware(s))
            return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) - 20u);
        return ThresholdFromDevice(value);
    }
    return value;
}

int GetDeviceInfo(DeviceSession& s, int index, std::int32_t* value) {
    switch (index) {
        case kInfoRawOption: {
            // The caller's buffer holds a key and receives the whole reply.
            char* text = reinterpret_cast<char*>(value);
            if (!text) return 4;
            const std::size_t keyLen = bounded_strlen(text, kOptionBufferSize);
            if (keyLen >= static_cast<std::size_t>(kOptionBufferSize)) return 4;
            OptionRead r = ExchangeGetOption(s, std::string_view(text, keyLen));
            if (!r.ok()) return -2;
            const std::size_t n =
                std::min(r.text.size(), static_cast<std::size_t>(kOptionBufferSize - 1));
            std::memcpy(text, r.text.data(), n);
            text[n] = 0;
            return 1;
        }
        case -6: {
            if (!value) return 4;
            std::uint8_t buffer[4];
            store_u32(buffer, static_cast<std::uint32_t>(*value));
            CommandResult r =
                SendCommand(s.transport, CMD_CLEAR_DATA, buffer, 4, 1, s.cmdTimeout + 3000);
            if (!r.ok()) return -2;
            // Only the bytes the terminal sent replace the caller's.
            std::uint8_t out[4];
            store_u32(out, static_cast<std::uint32_t>(*value));
            std::memcpy(out, buffer, static_cast<std::size_t>(r.length));
            *value = static_cast<std::int32_t>(load_u32(out));
            return 1;
        }
        case -5: {
            if (!value) return 4;
            return ReadData(s, reinterpret_cast<std::uint8_t*>(value), value[1]);
        }
        case -4:
            if (value) *value = HandleWord(s.transport);
            return 4;
        case -3:
            if (value) *value = HandleWord(&s);
            return 4;
        case -2:
            if (value) *value = HandleWord(platform::loaded_module("portmux.dll"));
            return 4;
        case -1:
            if (value) *value = HandleWord(platform::loaded_module("termlink.dll"));
            return 4;
        case 1:
            if (value) *value = 500;
            return 1;
        case 10:
        case 11:
            if (value) *value = 0;
            return 1;
        case 12:
            if (value) *value = 1;
            return 1;
        case 65:
            return 4;  // the card key is never handed out
        default:
            break;
    }
    // Indexes without a table entry are not served and nothing is sent.
    if (!IsTableIndex(index)) return 4;
    if (!value) return 4;
    std::int32_t raw = 0;
    if (GetOptionInt(s, InfoKeyTable[index], &raw) != 1) return -2;
    *value = InfoValueFromDevice(s, index, raw);
    return 1;
}

int SetDeviceInfo(DeviceSession& s, int index, std::int32_t value, const char* rawText) {
    // The remainder keeps the index's sign: 10003 acts as 3, -10003 as -3.
    const int reduced = index % 10000;
    switch (reduced) {
        case 1:
            return 1;
        case 10:
        case 11:
            return value == 0 ? 1 : -100;
        case 12:
            return value == 1 ? 1 : -100;
        case kInfoRawOption:
            if (!rawText) return 4;
            return SendOptionText(s, rawText, kOptionBufferSize);
        default:
            break;
    }
    if (!IsTableIndex(reduced)) return 4;
    const char* key = InfoKeyTable[reduced];
    const std::int32_t deviceValue = InfoValueToDevice(s, reduced, value);
    return SendOptionText(s, OptionAssignment(s, key, std::to_string(deviceValue)),
                          kOptionBufferSize);
}

int GetDeviceStrInfo(DeviceSession& s, int index, char* value) {
    // Index 12 has no key to ask for.
    if (!IsTableIndex(index) || index == 12 || !value) return 4;
    std::string text;
    if (GetOptionText(s, InfoKeyTable[index], &text) != 1) return -2;
    std::memcpy(value, text.c_str(), text.size() + 1);
    return 1;
}

int GetSysOption(DeviceSession& s, const char* key, char* value) {
    if (!key || !value) return 4;
    const std::size_t keyLen = bounded_strlen(key, kOptionBufferSize);
    if (keyLen >= static_cast<std::size_t>(kOptionBufferSize)) return 4;
    std::string text;
    if (GetOptionText(s, std::string_view(key, keyLen), &text) != 1) return -2;
    std::memcpy(value, text.c_str(), text.size() + 1);
    return 1;
}

int SetSysOption(DeviceSession& s, const char* key, const char* value) {
    constexpr std::size_t kTextBuffer = 140;
    if (!key || !*key || !value) return 4;
    const std::string text = OptionAssignment(s, key, value);
    // The text and its NUL must fit the 140-byte buffer; longer texts are
    // refused rather than cut, which would write a different value.
    if (text.size() + 1 > kTextBuffer) return 4;
    return SendOptionText(s, text, static_cast<int>(kTextBuffer));
}

}  // namespace tl
