#include "users/user_record.h"

#include <cstring>

namespace tl {

LegacyUserRecord LegacyUserRecord::Decode(Bytes b) {
    LegacyUserRecord r;
    if (b.size() < kLegacyUserSize) return r;
    const std::uint8_t* p = b.data();
    r.pin = load_u16(p);
    r.privilege = p[2];
    std::memcpy(r.password, p + 3, 5);
    std::memcpy(r.name, p + 8, 8);
    return r;
}

void LegacyUserRecord::Encode(MutBytes b) const {
    if (b.size() < kLegacyUserSize) return;
    std::uint8_t* p = b.data();
    store_u16(p, pin);
    p[2] = privilege;
    std::memcpy(p + 3, password, 5);
    std::memcpy(p + 8, name, 8);
}

UserRecord UserRecord::Decode(Bytes b) {
    UserRecord r;
    if (b.size() < kUserSize) return r;
    const std::uint8_t* p = b.data();
    r.pin = load_u16(p);
    r.privilege = p[2];
    std::memcpy(r.password, p + 3, 5);
    std::memcpy(r.name, p + 8, 8);
    std::memcpy(r.card, p + 16, 5);
    r.groupByte = p[21];
    r.zonesLow = load_u16(p + 22);
    r.pin2 = load_u32(p + 24);
    return r;
}

void UserRecord::Encode(MutBytes b) const {
    if (b.size() < kUserSize) return;
    std::uint8_t* p = b.data();
    store_u16(p, pin);
    p[2] = privilege;
    std::memcpy(p + 3, password, 5);
    std::memcpy(p + 8, name, 8);
    std::memcpy(p + 16, card, 5);
    p[21] = groupByte;
    store_u16(p + 22, zonesLow);
    store_u32(p + 24, pin2);
}

void UserRecord::PackTimeZones(const int* zones) {
    if (!zones || zones[0] == -1) {
        groupByte &= 0x0F;
        return;
    }
    std::uint32_t packed = 0;
    for (int i = 0; i < 3 && zones[i] != 0; ++i)
        packed |= (static_cast<std::uint32_t>(zones[i]) & 0x3F) << (6 * i);
    zonesLow = static_cast<std::uint16_t>(packed);
    groupByte = static_cast<std::uint8_t>((groupByte & ~0x30) | ((packed >> 16) & 3) << 4 | 0x80);
}

void UserRecord::UnpackTimeZones(int* zones) const {
    if (zonesLow == 0 && (groupByte & 0xF0) == 0) {
        zones[0] = -1;
        return;
    }
    const std::uint32_t packed = zonesLow | static_cast<std::uint32_t>((groupByte >> 4) & 3) << 16;
    for (int i = 0; i < 3; ++i) zones[i] = static_cast<int>((packed >> (6 * i)) & 0x3F);
    if (zones[0] && zones[1] && zones[2]) zones[3] = 0;
}

SsrUserRecord SsrUserRecord::Decode(Bytes b) {
    SsrUserRecord r;
    if (b.size() < kSsrUserSize) return r;
    const std::uint8_t* p = b.data();
    r.pin = load_u16(p);
    r.privilege = p[2];
    std::memcpy(r.password, p + 3, 8);
    std::memcpy(r.name, p + 11, 24);
    r.card = load_u32(p + 35);
    r.group = p[39];
    for (int i = 0; i < 4; ++i) r.zones[i] = load_u16(p + 40 + 2 * i);
    std::memcpy(r.userId, p + 48, kSsrIdSize);
    return r;
}

void SsrUserRecord::Encode(MutBytes b) const {
    if (b.size() < kSsrUserSize) return;
    std::uint8_t* p = b.data();
    store_u16(p, pin);
    p[2] = privilege;
    std::memcpy(p + 3, password, 8);
    std::memcpy(p + 11, name, 24);
    store_u32(p + 35, card);
    p[39] = group;
    for (int i = 0; i < 4; ++i) store_u16(p + 40 + 2 * i, zones[i]);
    std::memcpy(p + 48, userId, kSsrIdSize);
}

std::uint8_t EncodePrivilege(int privilege, int enabled) {
    std::uint8_t b;
    switch (privilege) {
        case 1:
            b = 2;
            break;
        case 2:
            b = 6;
            break;
        case 3:
            b = 14;
            break;
        default:
            b = static_cast<std::uint8_t>(privilege);
            break;
    }
    if (enabled == 0) b |= 1;
    return b;
}

bool DecodePrivilege(std::uint8_t byte, bool classic, int* privilege) {
    int value;
    switch (byte & 0xFE) {
        case 14:
            value = 3;
            break;
        case 10:
            if (!classic) return false;
            value = 4;
            break;
        case 6:
            value = 2;
            break;
        case 2:
            value = 1;
            break;
        case 0:
            value = 0;
            break;
        default:
            return false;
    }
    if (privilege) *privilege = value;
    return true;
}

void CopyTextField(std::uint8_t* field, std::size_t size, const char* text) {
    std::memset(field, 0, size);
    if (!text) return;
    std::memcpy(field, text, bounded_strlen(text, size));
}

void PutFieldText(char* out, const std::uint8_t* field, std::size_t maxChars) {
    const std::size_t n = bounded_strlen(field, maxChars);
    std::memcpy(out, field, n);
    out[n] = 0;
}

}  // namespace tl
