// Views of the session's cached user table and of the users created during
// an open batch, and the lookups over them that need no terminal traffic.
#pragma once

#include <cstddef>
#include <cstdint>

#include "session/session.h"
#include "users/user_record.h"

namespace tl {

// Firmware before "Ver 5.04" stores 16-byte records and has no PIN2 or card.
inline bool IsLegacyFirmware(const DeviceSession& s) {
    return VersionCompare(s, "Ver 5.04") < 0;
}
// TFT terminals keep their users as 72-byte text-ID records, which hold no
// PIN2 and no card at the classic offsets: walking them as 28-byte records
// would match bytes of other fields and name a made-up user.
inline bool HoldsTextIdUsers(const DeviceSession& s) {
    return s.isTFT != 0;
}
// Size of the classic records the firmware stores: 16 or 28 bytes.
inline std::size_t ClassicRecordSize(const DeviceSession& s) {
    return IsLegacyFirmware(s) ? kLegacyUserSize : kUserSize;
}

// Records back to back: `count` whole records of `recordSize` bytes from
// `base`. Never extends beyond the buffer's capacity or the data received.
struct RecordTable {
    std::uint8_t* base = nullptr;
    std::size_t recordSize = 0;
    std::size_t count = 0;

    std::uint8_t* at(std::size_t i) const { return base + i * recordSize; }
    Bytes record(std::size_t i) const { return Bytes(at(i), recordSize); }
    std::uint8_t* end() const { return base ? at(count) : nullptr; }
};

// The user cache: records from byte 4 of `userBuffer`, `userDataLen` bytes
// of them, clamped to the buffer's capacity.
RecordTable CachedUsers(const DeviceSession& s, std::size_t recordSize);
// Bytes of the user cache still free after the last whole record.
std::size_t CacheRoomAfter(const DeviceSession& s, std::size_t recordSize);
// Users created during the open batch: 28-byte records from byte 4 of
// `batchNewUsers`, its `length` bytes of them.
RecordTable BatchNewUsers(const DeviceSession& s);

// Downloads the user table when there is no user buffer (or its capacity is
// 0); callers go on with whatever the cache then holds. The lookups below do
// this first.
void LoadUserCacheIfAbsent(DeviceSession& s);

// Walk `UserRecord`s of the cache; legacy firmware and text-ID tables find
// nothing.
std::uint8_t* FindUserByPin2(DeviceSession& s, std::uint32_t pin2);
// Card value: the 4-byte number at offset 16 and the fifth byte at 20.
std::uint8_t* FindUserByCard(DeviceSession& s, const std::uint8_t card[5]);
// Walks the 72-byte records comparing the ID field with the whole text: a
// text of up to 23 characters matches a field holding it and its terminator;
// a text of 24 characters matches a full, unterminated field.
std::uint8_t* FindSsrUserById(DeviceSession& s, const char* id);
// The record of `batchNewUsers` with this PIN2, or null.
std::uint8_t* FindBatchNewUserByPin2(const DeviceSession& s, std::uint32_t pin2);

// Forgets the cached user table (the next read downloads it again).
void DiscardUserCache(DeviceSession& s);

}  // namespace tl
