#include "users/user_ops.h"

#include <cstdio>
#include <cstring>

#include "access/zone_exchange.h"
#include "common/bytes.h"
#include "session/commands.h"
#include "session/transport.h"
#include "users/batch_queue.h"
#include "users/user_lookup.h"
#include "users/user_numbers.h"
#include "users/user_record.h"
#include "users/user_table.h"

namespace tl {

namespace {

constexpr int kMaxInternalNumber = 65534;

void Put(int* out, int v) {
    if (out) *out = v;
}

RawResult SendRaw(DeviceSession& s, int code, void* buffer, int size, int length, int timeout) {
    return SendCommandRaw(s.transport, code, buffer, size, length, timeout);
}

void WriteClassic(const DeviceSession& s, const std::uint8_t* record, const ClassicUserOut& out) {
    if (IsLegacyFirmware(s)) {
        const LegacyUserRecord r = LegacyUserRecord::Decode(Bytes(record, kLegacyUserSize));
        Put(out.pin, r.pin);
        if (out.name) PutFieldText(out.name, r.name, 8);
        DecodePrivilege(r.privilege, true, out.privilege);
        Put(out.enabled, EnabledOf(r.privilege));
        if (out.password) PutFieldText(out.password, r.password, 5);
        Put(out.group, 1);
        if (out.zones) out.zones[0] = -1;
        Put(out.pin2, 0);
        if (out.card) std::memset(out.card, 0, 5);
        return;
    }
    const UserRecord r = UserRecord::Decode(Bytes(record, kUserSize));
    Put(out.pin, r.pin);
    if (out.name) PutFieldText(out.name, r.name, 8);
    DecodePrivilege(r.privilege, true, out.privilege);
    Put(out.enabled, EnabledOf(r.privilege));
    if (out.password) PutFieldText(out.password, r.password, 5);
    if (out.card) std::memcpy(out.card, r.card, 5);
    Put(out.pin2, static_cast<int>(r.pin2));
    Put(out.group, r.Group());
    if (out.zones) r.UnpackTimeZones(out.zones);
}

void WriteSsr(const DeviceSession& s, const std::uint8_t* record, const SsrUserOut& out) {
    const SsrUserRecord r = SsrUserRecord::Decode(Bytes(record, kSsrUserSize));
    Put(out.pin, r.pin);
    if (out.userId) {
        // The caller learns the width first; the ID is cut there and never
        // read beyond its 24-byte field.
        std::size_t width = s.pinWidth > 0 ? static_cast<std::size_t>(s.pinWidth) : 0;
        if (width > kSsrIdSize) width = kSsrIdSize;
        PutFieldText(out.userId, r.userId, width);
    }
    if (out.name) PutFieldText(out.name, r.name, 23);
    DecodePrivilege(r.privilege, false, out.privilege);
    Put(out.enabled, EnabledOf(r.privilege));
    if (out.password) PutFieldText(out.password, r.password, 8);
    Put(out.card, static_cast<int>(r.card));
    Put(out.group, r.group);
    if (out.zones)
        for (int i = 0; i < 4; ++i) out.zones[i] = r.zones[i];
}

// The record at the cursor of a table of `size`-byte records, the cursor
// moved past it; null at the end. A cursor outside the table starts over at
// the first record only when it was never set.
const std::uint8_t* NextRecord(DeviceSession& s, std::size_t size) {
    const RecordTable t = CachedUsers(s, size);
    if (!t.base || t.count == 0) return nullptr;
    const auto base = reinterpret_cast<std::uintptr_t>(t.base);
    const auto cursor = s.userCursor ? reinterpret_cast<std::uintptr_t>(s.userCursor) : base;
    if (cursor < base) return nullptr;
    const std::uintptr_t offset = cursor - base;
    if (offset > t.count * size - size) return nullptr;
    const std::uint8_t* record = t.base + offset;
    s.userCursor = t.base + offset + size;
    return record;
}

// Stores a record the terminal accepted in the cache: over the record it
// replaces, or after the last record while the buffer has room.
void StoreInCache(DeviceSession& s, std::uint8_t* found, Bytes record) {
    if (found) {
        std::memcpy(found, record.data(), record.size());
        return;
    }
    if (!s.userBuffer || CacheRoomAfter(s, record.size()) < record.size()) return;
    const RecordTable t = CachedUsers(s, record.size());
    std::memcpy(t.end(), record.data(), record.size());
    s.userDataLen = static_cast<std::int32_t>((t.count + 1) * record.size());
}

// Number selection of the group and time-zone exports: TFT terminals know
// users by text ID, so the number is resolved as its decimal text.
std::int64_t GroupOrZoneNumber(DeviceSession& s, int number) {
    if (s.isTFT) {
        char text[16];
        std::snprintf(text, sizeof text, "%d", number);
        return ResolveSsrId(s, text);
    }
    return ResolveUserNumber(s, number);
}

// Number selection of the extended-byte exports. 0 when the user is not
// found; -2 when the table could not be read.
std::int64_t ExNumber(DeviceSession& s, int pin, int pin2) {
    if (s.isTFT) {
        char text[16];
        std::snprintf(text, sizeof text, "%d", pin > 0 ? pin : pin2);
        const int n = ResolveSsrId(s, text);
        return n == -1 ? 0 : n;
    }
    if (pin != 0) return pin;
    return QueryUserByPin2(s, pin2);
}

}  // namespace

int GetUserInfo(DeviceSession& s, const ClassicUserOut& out) {
    if (LoadUserCacheForReading(s) != 1) return -2;
    const std::uint8_t* record = NextRecord(s, ClassicRecordSize(s));
    if (!record) return 0;
    WriteClassic(s, record, out);
    return 1;
}

int QueryUserInfo(DeviceSession& s, int pin, const ClassicUserOut& out) {
    if (pin == 0 && !out.pin2) return 4;
    if (LoadUserCacheForReading(s) != 1) return -2;
    const std::uint8_t* record = pin != 0
                                     ? FindUserByPin(s, static_cast<std::uint32_t>(pin))
                                     : FindUserByPin2(s, static_cast<std::uint32_t>(*out.pin2));
    if (!record) return 0;
    WriteClassic(s, record, out);
    return 1;
}

int QueryUserByPin2(DeviceSession& s, int pin2) {
    if (IsLegacyFirmware(s)) return 0;
    if (LoadUserCacheForReading(s) != 1) return -2;
    const std::uint8_t* record = FindUserByPin2(s, static_cast<std::uint32_t>(pin2));
    return record ? load_u16(record) : 0;
}

int QueryUserByCard(DeviceSession& s, const std::uint8_t* card) {
    if (!card) return 4;
    if (IsLegacyFirmware(s)) return 0;
    if (LoadUserCacheForReading(s) != 1) return -2;
    const std::uint8_t* record = FindUserByCard(s, card);
    return record ? load_u16(record) : 0;
}

int GetUserID(DeviceSession& s, int pin2) {
    if (IsLegacyFirmware(s)) return -2;
    LoadUserCacheIfAbsent(s);
    const std::uint8_t* record = FindUserByPin2(s, static_cast<std::uint32_t>(pin2));
    return record ? load_u16(record) : -1;
}

int GetUserPIN2(DeviceSession& s, int pin) {
    if (IsLegacyFirmware(s)) return -2;
    const std::uint8_t* record = FindUserByPin(s, static_cast<std::uint32_t>(pin));
    return record ? static_cast<int>(load_u32(record + 24)) : -1;
}

int SetUserInfo(DeviceSession& s, int pin, const char* name, int privilege, int enabled,
                const char* password, const std::uint8_t* card, int pin2, int group,
                const int* zones) {
    // Internal numbers are 1..65534; a negative one would reach the terminal
    // as 65535 or another user's number.
    if (pin < 0 || pin > kMaxInternalNumber) return -10;

    if (IsLegacyFirmware(s)) {
        if (!name || !password) return 4;
        std::uint8_t message[17] = {};
        store_u16(message, static_cast<std::uint16_t>(pin));
        CopyTextField(message + 2, 8, name);
        CopyTextField(message + 10, 5, password);
        message[15] = EncodePrivilege(privilege, enabled);
        message[16] = static_cast<std::uint8_t>(enabled);
        CommandResult r = SendCommand(s.transport, CMD_SET_USER, message, 0, 17, s.cmdTimeout * 4);
        if (!r.ok()) return -2;
        DiscardUserCache(s);
        return 1;
    }

    LoadUserCacheIfAbsent(s);
    std::uint8_t* found = nullptr;              // in the cache
    const std::uint8_t* foundQueued = nullptr;  // among the batch's new users
    if (pin == 0) {
        found = FindUserByPin2(s, static_cast<std::uint32_t>(pin2));
        if (!found && s.batchActive)
            foundQueued = FindBatchNewUserByPin2(s, static_cast<std::uint32_t>(pin2));
        const std::uint8_t* any = found ? found : foundQueued;
        if (any) {
            pin = load_u16(any);
        } else {
            pin = AllocateFreePin(s, static_cast<std::uint32_t>(pin2));
            if (pin == 0) return -2;                   // the table could not be read
            if (pin > kMaxInternalNumber) return -10;  // every number is taken
        }
    } else if (pin2 == 0) {
        found = FindUserByPin(s, static_cast<std::uint32_t>(pin));
    }
    const std::uint8_t* existing = found ? found : foundQueued;

    UserRecord r;
    r.pin = static_cast<std::uint16_t>(pin);
    r.privilege = EncodePrivilege(privilege, enabled);
    if (password) CopyTextField(r.password, 5, password);
    if (name) CopyTextField(r.name, 8, name);
    if (card) std::memcpy(r.card, card, 5);
    r.groupByte = static_cast<std::uint8_t>(group & 15);
    if (zones) r.PackTimeZones(zones);
    r.pin2 = static_cast<std::uint32_t>(pin2);
    if (r.pin2 == 0 && existing) r.pin2 = load_u32(existing + 24);
    if (r.pin2 == 0) r.pin2 = r.pin;
    std::uint8_t bytes[kUserSize];
    r.Encode(MutBytes(bytes, kUserSize));

    if (s.batchActive) {
        const bool isNew = !existing;
        if (!BatchFits(s, 1 + kUserSize, 0, 0) || (isNew && !NewUserFits(s))) return -2;
        if (isNew) AppendNewUser(s, Bytes(bytes, kUserSize));
        AppendUserCmd(s, 2, Bytes(bytes, kUserSize));
        return 1;
    }
    CommandResult res =
        SendCommand(s.transport, CMD_SET_USER, bytes, kUserSize, kUserSize, s.cmdTimeout + 2000);
    if (!res.ok()) return -2;
    StoreInCache(s, found, Bytes(bytes, kUserSize));
    return 1;
}

int DelUser(DeviceSession& s, int number) {
    const std::int64_t pin = ResolveUserNumber(s, number);
    if (!FitsU16(pin)) return 0;
    if (s.batchActive) {
        if (!BatchFits(s, 1 + kUserSize, kTmpCmdNumberSize, 0)) return -2;
        std::uint8_t entry[kUserSize] = {};
        store_u16(entry, static_cast<std::uint16_t>(pin));
        AppendUserCmd(s, 0, Bytes(entry, kUserSize));
        AppendTmpCmd(s, 0, static_cast<std::uint16_t>(pin), kAllFingers, kNoDataOffset);
        return 1;
    }
    std::uint8_t request[2];
    store_u16(request, static_cast<std::uint16_t>(pin));
    CommandResult r = SendCommand(s.transport, CMD_DEL_USER, request, 0, 2, s.cmdTimeout + 16000);
    if (r.ok()) return 1;
    return r.reply == REPLY_ERROR ? 0 : -2;
}

int ClearAdministrators(DeviceSession& s) {
    CommandResult r =
        SendCommand(s.transport, CMD_CLEAR_ADMINS, nullptr, 0, 0, s.cmdTimeout + 2000);
    if (!r.ok()) return -2;
    DiscardUserCache(s);
    return 1;
}

int GetUserGroup(DeviceSession& s, int number, int* group) {
    if (!group) return 4;
    const std::int64_t pin = ResolveUserNumber(s, number);
    std::uint8_t buffer[4];
    store_u32(buffer, static_cast<std::uint32_t>(pin));
    CommandResult r = SendCommand(s.transport, CMD_GET_USER_GROUP, buffer, 4, 4, s.cmdTimeout);
    // The group is the answer's first byte; an answer without it is no group.
    if (!r.ok() || r.length < 1) return -2;
    *group = buffer[0];
    return 1;
}

int SetUserGroup(DeviceSession& s, int number, int group) {
    const std::int64_t pin = GroupOrZoneNumber(s, number);
    if (pin < 0) return 0;  // an ID the terminal does not have
    std::uint8_t buffer[8] = {};
    store_u32(buffer, static_cast<std::uint32_t>(pin));
    buffer[4] = static_cast<std::uint8_t>(group);
    return OkOrRefused(SendCommand(s.transport, CMD_SET_USER_GROUP, buffer, 8, 5, s.cmdTimeout));
}

int GetUserTZs(DeviceSession& s, int number, int* zones, int* flag) {
    if (!zones) return 4;
    const std::int64_t pin = GroupOrZoneNumber(s, number);
    if (pin < 0) return 0;
    const bool askedForGroup = zones[0] == -1;
    ZoneRead r = ReadZoneList(s, CMD_GET_USER_TZ, static_cast<std::uint32_t>(pin));
    if (r.result != 1) return r.result;
    for (int i = 0; i < 3; ++i) zones[i] = r.zones[i];
    if (r.hasEntry3) zones[3] = r.zones[3];
    // A caller that passes -1 in entry 0 learns through it that the user
    // follows the group's zones.
    if (askedForGroup && r.flag != 0) {
        zones[2] = zones[0];
        zones[0] = -1;
    }
    Put(flag, r.flag);
    return 1;
}

int SetUserTZs(DeviceSession& s, int number, const int* zones) {
    const std::int64_t pin = GroupOrZoneNumber(s, number);
    if (pin < 0) return 0;
    return WriteZoneList(s, CMD_SET_USER_TZ, static_cast<std::uint32_t>(pin), zones);
}

int GetUserInfoEx(DeviceSession& s, int pin, int pin2, int* value) {
    if (!value) return 4;
    const std::int64_t number = ExNumber(s, pin, pin2);
    if (number == -2) return -2;
    if (number == 0 || !FitsU16(number)) return 0;
    std::uint8_t buffer[26] = {};
    store_u16(buffer, static_cast<std::uint16_t>(number));
    CommandResult r = SendCommand(s.transport, CMD_GET_USER_EX, buffer, 26, 2, s.cmdTimeout);
    if (!r.ok() || r.length < 3) return -2;
    *value = buffer[2];
    return 1;
}

int SetUserInfoEx(DeviceSession& s, int pin, int pin2, int value) {
    const std::int64_t number = ExNumber(s, pin, pin2);
    if (number == -2) return -2;
    if (number == 0 || !FitsU16(number)) return 0;
    std::uint8_t buffer[24] = {};
    store_u16(buffer, static_cast<std::uint16_t>(number));
    buffer[2] = static_cast<std::uint8_t>(value);
    return OkOrRefused(SendCommand(s.transport, CMD_SET_USER_EX, buffer, 24, 24, s.cmdTimeout));
}

int DeleteUserInfoEx(DeviceSession& s, int pin, int pin2) {
    std::int64_t number = pin;
    if (pin == 0) {
        number = QueryUserByPin2(s, pin2);
        if (number == -2) return -2;
    }
    if (number == 0 || !FitsU16(number)) return 0;
    std::uint8_t request[2];
    store_u16(request, static_cast<std::uint16_t>(number));
    RawResult r = SendRaw(s, CMD_DEL_USER_EX, request, 0, 2, s.cmdTimeout + 4000);
    if (r.reply == REPLY_OK) return 1;
    return r.reply == REPLY_ERROR && r.result == 2 ? 0 : -2;
}

int SsrGetUserInfo(DeviceSession& s, const SsrUserOut& out) {
    if (LoadUserCacheForReading(s) != 1) return -2;
    const std::uint8_t* record = NextRecord(s, kSsrUserSize);
    if (!record) return 0;
    WriteSsr(s, record, out);
    return 1;
}

int SsrQueryUserInfo(DeviceSession& s, const char* userId, const SsrUserOut& out) {
    if (!userId) return 4;
    if (LoadUserCacheForReading(s) != 1) return -2;
    const std::uint8_t* record = FindSsrUserById(s, userId);
    if (!record) return 0;
    WriteSsr(s, record, out);
    return 1;
}

int SsrSetUserInfo(DeviceSession& s, const char* userId, const char* name, int privilege,
                   int enabled, const char* password, const int* card, int group,
                   const int* zones) {
    // An ID longer than its 24-byte field would never be found again and, cut
    // to the field, could duplicate the user whose ID is its first 24 bytes.
    if (!userId || bounded_strlen(userId, kSsrIdSize + 1) > kSsrIdSize) return 4;
    LoadUserCacheIfAbsent(s);
    std::uint8_t* found = FindSsrUserById(s, userId);
    int pin;
    if (found) {
        pin = load_u16(found);
    } else {
        pin = AllocateIdNumber(s, userId);
        if (pin == 0) return -2;                   // the table could not be read
        if (pin > kMaxInternalNumber) return -10;  // every number is taken
    }
    SsrUserRecord r;
    r.pin = static_cast<std::uint16_t>(pin);
    CopyTextField(r.userId, kSsrIdSize, userId);
    if (name) CopyTextField(r.name, 24, name);
    if (password) CopyTextField(r.password, 8, password);
    r.privilege = EncodePrivilege(privilege, enabled);
    if (card) r.card = static_cast<std::uint32_t>(*card);
    r.group = static_cast<std::uint8_t>(group);
    if (zones)
        for (int i = 0; i < 4; ++i) r.zones[i] = static_cast<std::uint16_t>(zones[i]);
    std::uint8_t bytes[kSsrUserSize];
    r.Encode(MutBytes(bytes, kSsrUserSize));

    if (s.batchActive) {
        if (!AppendUserCmd(s, 2, Bytes(bytes, kSsrUserSize))) return -2;
        return 1;
    }
    CommandResult res = SendCommand(s.transport, CMD_SET_USER, bytes, kSsrUserSize, kSsrUserSize,
                                    s.cmdTimeout + 2000);
    if (!res.ok()) return -2;
    StoreInCache(s, found, Bytes(bytes, kSsrUserSize));
    return 1;
}

int SsrDelUser(DeviceSession& s, const char* userId) {
    if (!userId) return 4;
    const int pin = ResolveSsrId(s, userId);
    // An unknown ID deletes nothing, queued or not.
    if (pin < 0) return 0;
    if (s.batchActive) {
        if (!BatchFits(s, 1 + 4, kTmpCmdNumberSize, 0)) return -2;
        std::uint8_t entry[4];
        store_u32(entry, static_cast<std::uint32_t>(pin));
        AppendUserCmd(s, 0, Bytes(entry, 4));
        AppendTmpCmd(s, 0, static_cast<std::uint16_t>(pin), kAllFingers, kNoDataOffset);
        return 1;
    }
    std::uint8_t request[2];
    store_u16(request, static_cast<std::uint16_t>(pin));
    CommandResult r = SendCommand(s.transport, CMD_DEL_USER, request, 0, 2, s.cmdTimeout + 2000);
    return r.ok() ? 1 : r.reply == REPLY_ERROR ? 0 : -2;
}

int SsrDelUserExt(DeviceSession& s, const char* userId) {
    if (!userId) return 4;
    std::uint8_t id[kSsrIdSize];
    CopyTextField(id, kSsrIdSize, userId);
    if (s.batchActive) {
        if (!BatchFits(s, 1 + 4, kTmpCmdIdSize, 0)) return -2;
        // The user-command entry carries the internal number when the ID
        // resolves to one, else zero; the template entry names the user by ID.
        const int pin = ResolveSsrId(s, userId);
        std::uint8_t entry[4];
        store_u32(entry, pin > 0 ? static_cast<std::uint32_t>(pin) : 0);
        AppendUserCmd(s, 0, Bytes(entry, 4));
        AppendTmpCmdById(s, 0, id, kAllFingers, kNoDataOffset);
        return 1;
    }
    RawResult r = SendRaw(s, CMD_DEL_USER_ID, id, 0, kSsrIdSize, s.cmdTimeout + 2000);
    if (r.reply == REPLY_OK) return 1;
    return r.reply == REPLY_ERROR && r.result == 2 ? 0 : -2;
}

}  // namespace tl
