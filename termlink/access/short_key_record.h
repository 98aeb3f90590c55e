// Short-key records, their switch-time texts and the conflict rules, apart
// from any terminal exchange.
//
// Record, 32 bytes on firmware older than "Ver 6.60", 34 bytes from it on:
// key id (u8), function (u8; 1 = state key), state code (u8; 255 for other
// functions), label (14 or 16 bytes), seven u16 switch times (hour x 100 +
// minute, 0 = none), automatic switching (u8).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/bytes.h"

namespace tl {

constexpr std::size_t kSwitchTimesTextSize = 43;

struct ShortKey {
    std::uint8_t id = 0;
    std::uint8_t function = 0;
    std::uint8_t state = 255;
    std::array<std::uint8_t, 16> label{};  // 14 or 16 bytes used
    std::array<std::uint16_t, 7> times{};
    std::uint8_t autoSwitch = 0;
};

// Label bytes of a record: 14 or 16.
std::size_t ShortKeyLabelSize(std::size_t recordSize);

// One record of `record.size()` (32 or 34) bytes.
ShortKey DecodeShortKey(Bytes record);
void EncodeShortKey(const ShortKey& key, MutBytes record);

// The records of a table read that placed `received` bytes (a 4-byte length
// word, then the records): nothing when fewer than 4 bytes arrived, more
// than the buffer holds, or the bytes after the word are not whole records.
std::optional<std::vector<ShortKey>> DecodeShortKeyTable(Bytes buffer, int received,
                                                         std::size_t recordSize);

// The switch-time text "HH:MM;" seven times: hours and minutes as "%d", pairs
// missing at the end count as 0:0. Nothing when an hour is outside 0-23 or
// a minute outside 0-59.
std::optional<std::array<std::uint16_t, 7>> ParseSwitchTimes(const char* text);
// "HH:MM;" seven times (42 characters and a NUL); a stored hour or minute
// above 99 is written as 99, so the text keeps its size.
void FormatSwitchTimes(const std::array<std::uint16_t, 7>& times, char* text);

// True when `key` may not join `table`: see the conflict rules in the .cpp.
bool ShortKeyConflicts(const ShortKey& key, const std::vector<ShortKey>& table);

}  // namespace tl
