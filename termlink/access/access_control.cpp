#include "access/access_control.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "access/zone_exchange.h"
#include "common/bytes.h"
#include "config/options.h"
#include "session/commands.h"
#include "session/transport.h"

namespace tl {

namespace {

constexpr int kRecordSize = 8;

// Two decimal characters as one value, in 8-bit unsigned arithmetic: a
// non-digit never produces a negative value, only a large one that the range
// checks refuse (or, for odd characters, some value the terminal receives as
// it is).
std::uint8_t DigitPair(const char* p) {
    return static_cast<std::uint8_t>((static_cast<unsigned char>(p[0]) - 48u) * 10u +
                                     (static_cast<unsigned char>(p[1]) - 48u));
}

// Writes a byte as exactly two digits. Fields of these texts are hours,
// minutes, months and days; a terminal value above 99 is written as 99 so the
// text keeps its fixed positions and never outgrows the caller's buffer.
void PutTwoDigits(char* out, std::uint8_t v) {
    if (v > 99) v = 99;
    out[0] = static_cast<char>('0' + v / 10);
    out[1] = static_cast<char>('0' + v % 10);
}

void PutEntry(char* out, const std::uint8_t* entry) {
    for (int i = 0; i < 4; ++i) PutTwoDigits(out + 2 * i, entry[i]);
}

// Record readers: REPLY_ERROR means the terminal has no such entry.
int RecordReadResult(const CommandResult& r) {
    if (r.ok()) return r.length >= kRecordSize ? 1 : -2;
    return r.reply == REPLY_ERROR ? -100 : -2;
}

void Put(int* out, int v) {
    if (out) *out = v;
}

}  // namespace

int GetTZInfo(DeviceSession& s, int zone, char* text) {
    if (!text) return 4;
    std::uint8_t buffer[100] = {};
    store_u32(buffer, static_cast<std::uint32_t>(zone));
    CommandResult r = SendCommand(s.transport, CMD_GET_TZ, buffer, sizeof buffer, 4, s.cmdTimeout);
    if (!r.ok()) return -2;
    // TFT terminals put two bytes before the seven day entries.
    const std::size_t base = s.isTFT ? 2 : 0;
    if (!fits(static_cast<std::size_t>(r.length), base, 28)) return -2;
    char out[kTZTextSize];
    for (int e = 0; e < 7; ++e) PutEntry(out + 8 * e, buffer + base + 4 * e);
    out[56] = 0;
    std::memcpy(text, out, sizeof out);
    return 1;
}

int SetTZInfo(DeviceSession& s, int zone, const char* text) {
    // Exactly 56 characters are read; a shorter text is refused rather than
    // read beyond its end.
    if (!text || bounded_strlen(text, 56) < 56) return 4;
    std::uint8_t request[32] = {};
    store_u32(request, static_cast<std::uint32_t>(zone));
    for (int e = 0; e < 7; ++e) {
        const char* p = text + 8 * e;
        const std::uint8_t startHour = DigitPair(p), startMin = DigitPair(p + 2);
        const std::uint8_t endHour = DigitPair(p + 4), endMin = DigitPair(p + 6);
        if (startHour >= 24 || startMin >= 60 || endHour >= 24 || endMin >= 60) return 4;
        std::uint8_t* entry = request + 4 + 4 * e;
        entry[0] = startHour;
        entry[1] = startMin;
        entry[2] = endHour;
        entry[3] = endMin;
    }
    return OkOrRefused(SendCommand(s.transport, CMD_SET_TZ, request, 0, 32, s.cmdTimeout));
}

int GetGroupTZs(DeviceSession& s, int group, int* zones) {
    if (!zones) return 4;
    ZoneRead r = ReadZoneList(s, CMD_GET_GROUP_TZ, static_cast<std::uint32_t>(group));
    if (r.result != 1) return r.result;
    for (int i = 0; i < 3; ++i) zones[i] = r.zones[i];
    if (r.hasEntry3) zones[3] = r.zones[3];
    return 1;
}

int SetGroupTZs(DeviceSession& s, int group, const int* zones) {
    return WriteZoneList(s, CMD_SET_GROUP_TZ, static_cast<std::uint32_t>(group), zones);
}

int GetGroupTZ(DeviceSession& s, int group, int* zone1, int* zone2, int* zone3, int* flag,
               int* value) {
    if (static_cast<unsigned>(group) > 99) return 4;
    std::uint8_t record[kRecordSize] = {};
    record[0] = static_cast<std::uint8_t>(group);
    CommandResult r =
        SendCommand(s.transport, CMD_GET_GROUP_TZ, record, kRecordSize, kRecordSize, s.cmdTimeout);
    const int result = RecordReadResult(r);
    if (result != 1) return result;
    Put(zone1, load_u16(record + 1));
    Put(zone2, load_u16(record + 3));
    Put(zone3, load_u16(record + 5));
    Put(flag, record[7] >> 7);
    Put(value, record[7] & 0x7F);
    return 1;
}

int SetGroupTZ(DeviceSession& s, int group, int zone1, int zone2, int zone3, int flag, int value) {
    if (group < 1 || group > 99 || zone1 > 50 || zone2 > 50 || zone3 > 50) return 4;
    std::uint8_t record[kRecordSize] = {};
    record[0] = static_cast<std::uint8_t>(group);
    store_u16(record + 1, static_cast<std::uint16_t>(zone1));
    store_u16(record + 3, static_cast<std::uint16_t>(zone2));
    store_u16(record + 5, static_cast<std::uint16_t>(zone3));
    record[7] = static_cast<std::uint8_t>(value);
    if (flag) record[7] |= 0x80;
    return OkOrRefused(
        SendCommand(s.transport, CMD_SET_GROUP_TZ, record, 0, kRecordSize, s.cmdTimeout));
}

int GetHoliday(DeviceSession& s, char* text, int* length) {
    if (!text) return 4;
    std::uint8_t buffer[210] = {};
    store_u32(buffer, 103);
    CommandResult r =
        SendCommand(s.transport, CMD_GET_HOLIDAYS, buffer, sizeof buffer, 4, s.cmdTimeout);
    if (!r.ok()) return -2;
    if (r.length < 96) return -2;
    char out[kHolidayTextSize];
    int used = 0;
    for (int e = 0; e < 24; ++e) {
        const std::uint8_t* entry = buffer + 4 * e;
        PutEntry(out + 8 * e, entry);
        if (entry[0] | entry[1] | entry[2] | entry[3]) ++used;
    }
    out[192] = 0;
    std::memcpy(text, out, sizeof out);
    Put(length, 8 * used);
    return 1;
}

int SetHoliday(DeviceSession& s, const char* text) {
    if (!text) return 4;
    // Only whole 8-character entries are read. The empty text sends an empty
    // table (it clears the holidays); a text that ends inside an entry is
    // refused rather than read beyond its end.
    const std::size_t length = bounded_strlen(text, 24 * 8 + 1);
    if (length % 8 != 0 && length < 24 * 8) return 4;
    std::uint8_t request[100] = {};
    store_u32(request, 103);
    for (std::size_t e = 0; e < 24 && 8 * e < length; ++e) {
        const char* p = text + 8 * e;
        const std::uint8_t v[4] = {DigitPair(p), DigitPair(p + 2), DigitPair(p + 4),
                                   DigitPair(p + 6)};
        if (v[0] > 12 || v[1] > 31 || v[2] > 12 || v[3] > 31) return 4;
        std::memcpy(request + 4 + 4 * e, v, 4);
    }
    return OkOrRefused(
        SendCommand(s.transport, CMD_SET_HOLIDAYS, request, 0, sizeof request, s.cmdTimeout));
}

int GetHolidayTZ(DeviceSession& s, int holiday, int* startMonth, int* startDay, int* endMonth,
                 int* endDay, int* zone) {
    if (holiday < 1 || holiday > 24) return 4;
    std::uint8_t record[kRecordSize] = {};
    store_u16(record, static_cast<std::uint16_t>(holiday));
    CommandResult r = SendCommand(s.transport, CMD_GET_HOLIDAY_TZ, record, kRecordSize, kRecordSize,
                                  s.cmdTimeout);
    const int result = RecordReadResult(r);
    if (result != 1) return result;
    Put(startMonth, record[2]);
    Put(startDay, record[3]);
    Put(endMonth, record[4]);
    Put(endDay, record[5]);
    Put(zone, load_u16(record + 6));
    return 1;
}

int SetHolidayTZ(DeviceSession& s, int holiday, int startMonth, int startDay, int endMonth,
                 int endDay, int zone) {
    if (holiday < 1 || holiday > 24 || startMonth > 12 || endMonth > 12 || startDay > 31 ||
        endDay > 31)
        return 4;
    std::uint8_t record[kRecordSize] = {};
    store_u16(record, static_cast<std::uint16_t>(holiday));
    record[2] = static_cast<std::uint8_t>(startMonth);
    record[3] = static_cast<std::uint8_t>(startDay);
    record[4] = static_cast<std::uint8_t>(endMonth);
    record[5] = static_cast<std::uint8_t>(endDay);
    store_u16(record + 6, static_cast<std::uint16_t>(zone));
    return OkOrRefused(
        SendCommand(s.transport, CMD_SET_HOLIDAY_TZ, record, 0, kRecordSize, s.cmdTimeout));
}

int GetLockComb(DeviceSession& s, int combination, int* groups[5]) {
    if (static_cast<unsigned>(combination) > 10) return 4;
    std::uint8_t record[kRecordSize] = {};
    record[0] = static_cast<std::uint8_t>(combination);
    CommandResult r = SendCommand(s.transport, CMD_GET_UNLOCK_COMB, record, kRecordSize,
                                  kRecordSize, s.cmdTimeout);
    const int result = RecordReadResult(r);
    if (result != 1) return result;
    for (int i = 0; i < 5; ++i) Put(groups[i], record[1 + i]);
    return 1;
}

int SetLockComb(DeviceSession& s, int combination, const int groups[5]) {
    if (combination < 0 || combination > 10) return 4;
    // Group numbers are 0 (no group) to 99. Every one of the five is checked,
    // the first included: a negative number would reach the terminal as a
    // byte of 0x80 or more.
    std::uint8_t record[kRecordSize] = {};
    record[0] = static_cast<std::uint8_t>(combination);
    int used = 0;
    for (int i = 0; i < 5; ++i) {
        if (groups[i] < 0 || groups[i] > 99) return 4;
        record[1 + i] = static_cast<std::uint8_t>(groups[i]);
        if (groups[i] > 0) ++used;
    }
    record[6] = static_cast<std::uint8_t>(used);
    return OkOrRefused(
        SendCommand(s.transport, CMD_SET_UNLOCK_COMB, record, 0, kRecordSize, s.cmdTimeout));
}

int GetUnlockGroups(DeviceSession& s, char* text) {
    if (!text) return 4;
    text[0] = 0;
    // The reply lands in a buffer of the caller's size and is copied out with
    // a terminator inside those 200 bytes, even when the terminal's text
    // fills them.
    char buffer[kUnlockGroupsTextSize] = {};
    CommandResult r =
        SendCommand(s.transport, CMD_GET_UNLOCK_COMB, buffer, sizeof buffer, 0, s.cmdTimeout);
    if (!r.ok()) return -2;
    const std::size_t n = bounded_strlen(
        buffer, std::min<std::size_t>(static_cast<std::size_t>(r.length), sizeof buffer - 1));
    std::memcpy(text, buffer, n);
    text[n] = 0;
    return 1;
}

int SetUnlockGroups(DeviceSession& s, const char* text) {
    if (!text) return 4;
    const std::size_t n = std::strlen(text);
    if (n > 0x7FFFFFFF) return 4;
    // The request is the text without its terminator. It is sent from a copy:
    // the transport may write reply bytes into its buffer, and the caller's
    // text is read-only.
    std::string request(text, n);
    const int len = static_cast<int>(n);
    return OkOrRefused(
        SendCommand(s.transport, CMD_SET_UNLOCK_COMB, request.data(), len, len, s.cmdTimeout));
}

int GetDoorState(DeviceSession& s, int* state) {
    std::uint8_t buffer[1] = {};
    CommandResult r = SendCommand(s.transport, CMD_GET_DOOR_STATE, buffer, 1, 0, s.cmdTimeout);
    if (!r.ok() || r.length < 1) return -2;
    Put(state, buffer[0]);
    return 1;
}

int Unlock(DeviceSession& s, int delay) {
    std::uint8_t request[4];
    store_u32(request, static_cast<std::uint32_t>(delay));
    return OkOrRefused(SendCommand(s.transport, CMD_UNLOCK, request, 0, 4, s.cmdTimeout));
}

int GetACFun(DeviceSession& s, int* value) {
    std::int32_t v = 0;
    if (GetOptionInt(s, "~LockFunOn", &v) != 1) return -2;
    Put(value, v);
    return 1;
}

}  // namespace tl
