#include "config/options.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/bytes.h"
#include "common/platform.h"
#include "session/commands.h"
#include "session/transport.h"

namespace tl {

OptionRead ExchangeGetOption(DeviceSession& s, std::string_view key) {
    OptionRead out;
    const std::size_t keyLen = key.size();
    if (keyLen + 1 > static_cast<std::size_t>(kOptionBufferSize) ||
        key.find('\0') != std::string_view::npos)
        return out;
    std::uint8_t buffer[kOptionBufferSize] = {};
    std::memcpy(buffer, key.data(), keyLen);
    const int requestLength = static_cast<int>(keyLen) + 1;
    CommandResult r = SendCommand(s.transport, CMD_GET_OPTION, buffer, kOptionBufferSize,
                                  requestLength, s.cmdTimeout);
    out.sent = true;
    out.reply = r.reply;
    if (!r.ok()) return out;
    // Only the bytes the terminal sent are looked at; SendCommand already
    // bounds the count by the buffer.
    const Bytes received(buffer, static_cast<std::size_t>(r.length));
    out.text = field_text(received, 0, received.size());
    if (received.size() > keyLen + 1)
        out.value = field_text(received, keyLen + 1, received.size() - keyLen - 1);
    return out;
}

int GetOptionText(DeviceSession& s, std::string_view key, std::string* value) {
    OptionRead r = ExchangeGetOption(s, key);
    if (!r.ok()) return -2;
    if (value) *value = std::move(r.value);
    return 1;
}

int GetOptionInt(DeviceSession& s, std::string_view key, std::int32_t* value) {
    OptionRead r = ExchangeGetOption(s, key);
    if (!r.ok()) return -2;
    if (value) *value = ParseDecimal(r.value);
    return 1;
}

int SendOptionText(DeviceSession& s, std::string_view assignment, int bufferSize) {
    // The transport may write up to bufferSize reply bytes into the buffer, so
    // it is never smaller than that, nor than the text and its NUL.
    const std::size_t textLen = bounded_strlen(assignment.data(), assignment.size());
    std::vector<std::uint8_t> buffer(
        std::max<std::size_t>(textLen + 1, static_cast<std::size_t>(std::max(bufferSize, 0))), 0);
    std::memcpy(buffer.data(), assignment.data(), textLen);
    return OkOrRefused(SendCommand(s.transport, CMD_SET_OPTION, buffer.data(), bufferSize,
                                   static_cast<int>(textLen) + 1, s.cmdTimeout));
}

int SetOptionText(DeviceSession& s, std::string_view key, std::string_view value, int bufferSize) {
    std::string text(key);
    text += '=';
    text += value;
    return SendOptionText(s, text, bufferSize);
}

int SetOptionInt(DeviceSession& s, std::string_view key, std::int32_t value, int bufferSize) {
    return SetOptionText(s, key, std::to_string(value), bufferSize);
}

bool NeedsScrambling(const DeviceSession& s, std::string_view key) {
    return !key.empty() && key[0] == '~' && s.hasOSOption == 0;
}

std::string OptionAssignment(const DeviceSession& s, std::string_view key,
                             std::string_view plainValue) {
    std::string text(key);
    text += '=';
    if (NeedsScrambling(s, key))
        text += ScrambleOptionValue(plainValue);
    else
        text += plainValue;
    return text;
}

std::string ScrambleOptionValue(std::string_view plain, std::uint8_t seed) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(2 * (plain.size() + 1));
    std::uint8_t e = seed;
    auto put = [&](std::uint8_t b) {
        out += kHex[b >> 4];
        out += kHex[b & 15];
    };
    put(e);
    for (char c : plain) {
        e = static_cast<std::uint8_t>(e ^ static_cast<std::uint8_t>(c));
        put(e);
    }
    return out;
}

std::string ScrambleOptionValue(std::string_view plain) {
    const std::uint32_t mixed =
        (platform::tick_ms() + static_cast<std::uint32_t>(std::rand())) * 1000u;
    return ScrambleOptionValue(plain, static_cast<std::uint8_t>(mixed));
}

int RefreshOptions(DeviceSession& s) {
    return OkOrRefused(SendCommand(s.transport, CMD_REFRESH_OPTIONS, nullptr, 0, 0, s.cmdTimeout));
}

}  // namespace tl
