// The three stored user-record layouts, the privilege byte and the packed
// time-zone list, encoded and decoded over byte spans.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/bytes.h"

namespace tl {

constexpr std::size_t kLegacyUserSize = 16;
constexpr std::size_t kUserSize = 28;
constexpr std::size_t kSsrUserSize = 72;
constexpr std::size_t kSsrIdSize = 24;

// Firmware before "Ver 5.04": 16-byte records keyed by the internal number.
struct LegacyUserRecord {
    std::uint16_t pin = 0;
    std::uint8_t privilege = 0;  // privilege byte, see EncodePrivilege
    std::uint8_t password[5] = {};
    std::uint8_t name[8] = {};

    // Decodes the first 16 bytes of `b`; `b` must hold at least 16 bytes.
    static LegacyUserRecord Decode(Bytes b);
    void Encode(MutBytes b) const;
};

// "Ver 5.04" and later: 28 bytes with card, group, packed time zones and the
// enrolled number PIN2.
struct UserRecord {
    std::uint16_t pin = 0;
    std::uint8_t privilege = 0;
    std::uint8_t password[5] = {};
    std::uint8_t name[8] = {};
    std::uint8_t card[5] = {};  // u32 card number then the fifth byte
    // Bits 0-3 group, bits 4-5 zone bits 16-17, bit 7 set when a time-zone
    // list is stored.
    std::uint8_t groupByte = 0;
    std::uint16_t zonesLow = 0;  // bits 0-15 of the packed time zones
    std::uint32_t pin2 = 0;

    static UserRecord Decode(Bytes b);
    void Encode(MutBytes b) const;

    int Group() const { return groupByte & 0x0F; }
    // Packs up to three zones (6 bits each) from `zones`, stopping at the
    // first 0 entry. A null array, or one whose first entry is -1, stores no
    // list: bits 4-7 of the group byte are cleared and zonesLow is kept.
    void PackTimeZones(const int* zones);
    // Writes entries 0-2 (and entry 3 = 0 when all three are set), or only
    // entry 0 = -1 when no list is stored.
    void UnpackTimeZones(int* zones) const;
};

// Text-ID terminals: 72-byte records keyed by a user ID of up to 24
// characters.
struct SsrUserRecord {
    std::uint16_t pin = 0;
    std::uint8_t privilege = 0;
    std::uint8_t password[8] = {};
    std::uint8_t name[24] = {};
    std::uint32_t card = 0;
    std::uint8_t group = 0;
    std::uint16_t zones[4] = {};
    std::uint8_t userId[kSsrIdSize] = {};  // NUL-padded, unterminated when full

    static SsrUserRecord Decode(Bytes b);
    void Encode(MutBytes b) const;
};

// Privilege byte: the caller's privilege 1, 2, 3 map to 2, 6, 14 (other
// values are stored as their low 8 bits); bit 0 is set when enabled is 0.
std::uint8_t EncodePrivilege(int privilege, int enabled);
// Privilege of a stored byte (bit 0 ignored): 14 -> 3, 10 -> 4 (classic reads
// only), 6 -> 2, 2 -> 1, 0 -> 0. Other patterns: false, and the caller's
// variable stays as it was.
bool DecodePrivilege(std::uint8_t byte, bool classic, int* privilege);
inline int EnabledOf(std::uint8_t byte) {
    return 1 - (byte & 1);
}

// Copies a caller's text into a fixed record field: at most `field` bytes,
// stopping at its NUL; the rest of the field is zero. A short caller string
// is never read beyond its terminator.
void CopyTextField(std::uint8_t* field, std::size_t size, const char* text);

// Writes a record field as a NUL-terminated text of at most `maxChars`
// characters into `out`, which holds maxChars + 1 bytes.
void PutFieldText(char* out, const std::uint8_t* field, std::size_t maxChars);

}  // namespace tl
