// The option exchange: terminal settings travel as "key=value" text.
//
// Reads send the key (NUL-terminated) in a 100-byte buffer with
// CMD_GET_OPTION; the terminal answers "key=value" in the same buffer and the
// value is the text that starts key length + 1 bytes in. Writes send the
// "key=value" text with CMD_SET_OPTION. Every exchange uses the session's
// command timeout. Replies are never trusted to be NUL-terminated: values end
// at a NUL or at the last byte the terminal actually sent, whichever is first.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "session/session.h"

namespace tl {

// Buffer handed to the transport for an option read (key out, key=value back)
// and, unless an export says otherwise, for an option write.
constexpr int kOptionBufferSize = 100;

// Outcome of one CMD_GET_OPTION exchange.
struct OptionRead {
    bool sent = false;  // false: the key cannot fit the buffer; nothing was sent
    int reply = 0;      // the terminal's reply code (REPLY_ERROR: option absent)
    std::string value;  // the value text (REPLY_OK only)
    std::string text;   // the whole reply text "key=value" (REPLY_OK only)
    bool ok() const { return sent && reply == REPLY_OK; }
    bool absent() const { return sent && reply == REPLY_ERROR; }
};

// One read of `key`. Keys must fit the 100-byte buffer with their NUL (at most
// 99 bytes) and hold no NUL themselves; other keys are not sent.
OptionRead ExchangeGetOption(DeviceSession& s, std::string_view key);

// The value text of `key`: 1 and *value set on REPLY_OK; -2 otherwise (option
// absent, refused, no answer, or a key that cannot be sent). `value` is
// written only on success.
int GetOptionText(DeviceSession& s, std::string_view key, std::string* value);

// As GetOptionText, converted with ParseDecimal (leading blanks, sign, digits;
// 0 when there are none).
int GetOptionInt(DeviceSession& s, std::string_view key, std::int32_t* value);

// Sends a complete "key=value" text with CMD_SET_OPTION: request length is the
// text length + 1 (its NUL), `bufferSize` is the size argument given to the
// transport. 1 on REPLY_OK, else -2.
int SendOptionText(DeviceSession& s, std::string_view assignment,
                   int bufferSize = kOptionBufferSize);

// Writes "key=value" in plain text ("%s=%s"). 1 / -2.
int SetOptionText(DeviceSession& s, std::string_view key, std::string_view value,
                  int bufferSize = kOptionBufferSize);

// Writes "key=<decimal value>" ("%s=%d"). 1 / -2.
int SetOptionInt(DeviceSession& s, std::string_view key, std::int32_t value,
                 int bufferSize = kOptionBufferSize);

// True when a written value of `key` must be scrambled: a hidden key (leading
// "~") on a terminal without the "~OS" option.
bool NeedsScrambling(const DeviceSession& s, std::string_view key);

// "key=value", with the value scrambled when NeedsScrambling says so.
std::string OptionAssignment(const DeviceSession& s, std::string_view key,
                             std::string_view plainValue);

// The scrambled form of a hidden option's value: bytes E[0] = seed,
// E[i+1] = E[i] XOR plain[i], written as 2 * (n + 1) upper-case hexadecimal
// digits, E[0] first. The terminal recovers the value from the chain alone,
// so the seed may be anything; the one-argument form draws it from the tick
// count and a pseudo-random number.
std::string ScrambleOptionValue(std::string_view plain, std::uint8_t seed);
std::string ScrambleOptionValue(std::string_view plain);

// Sends CMD_REFRESH_OPTIONS (no data): the terminal applies what was written.
int RefreshOptions(DeviceSession& s);

}  // namespace tl
