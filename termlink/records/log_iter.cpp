#include "records/log_iter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/bytes.h"
#include "records/bulk_read.h"
#include "users/user_lookup.h"

namespace tl {
namespace {

constexpr std::uint16_t kEndMarker = 0xFFFF;

// The unread part of a cached table: from the cursor to the end of the data,
// which never lies beyond the buffer the data was received in.
struct Window {
    std::uint8_t* at = nullptr;
    std::size_t left = 0;
};

bool TableWindow(const DeviceSession& s, const TableView& table, Window* w) {
    if (!table.cursor) return false;
    const Bytes data = table.bytesIn(s.bulkBuffer);
    if (data.empty() || table.cursor < table.start) return false;
    const auto done = static_cast<std::size_t>(table.cursor - table.start);
    if (done >= data.size()) return false;
    w->at = table.cursor;
    w->left = data.size() - done;
    return true;
}

// Downloads the log when it is not cached; false when that fails.
bool EnsureLog(DeviceSession& s) {
    if (s.log.dataLen != 0 && s.bulkBuffer) return true;
    return ReadLog(s, 1) == 1;
}

bool EnsureOpLog(DeviceSession& s) {
    if (s.opLog.dataLen != 0 && s.bulkBuffer) return true;
    return ReadOpLog(s, 1) == 1;
}

// Moves a cursor to the end of its table's data.
void ToEnd(std::uint8_t*& cursor, const Window& w) {
    cursor = w.at + w.left;
}

bool MapsToPin2(const DeviceSession& s) {
    return s.pinWidth > 5;
}

bool OperatesOnUser(std::int32_t code) {
    return (code >= 6 && code <= 12) || code == 30;
}

}  // namespace

int NextAttRecord(DeviceSession& s, AttRecord* out) {
    if (!EnsureLog(s)) return -2;
    Window w;
    if (!TableWindow(s, s.log, &w)) return 0;
    AttRecord r;
    if (s.extendFmt != 0) {
        if (w.left < 16) {
            ToEnd(s.log.cursor, w);
            return 0;
        }
        const std::uint8_t* p = w.at;
        s.log.cursor += 16;
        r.pin = load_u32(p);
        r.time = s.logTimes.Decode(load_u32(p + 4));
        r.attState = p[8];
        r.modeCode = p[9];
        r.extraWord = load_u16(p + 10);
        r.extraCode = static_cast<std::int32_t>(load_u32(p + 12));
        if (out) *out = r;
        return 1;
    }

    // Compact records: u16 PIN, a byte of state, mode and form, then either a
    // 10-bit delta against the last full time or a full time.
    const std::uint8_t* p = w.at;
    if (w.left >= 2 && load_u16(p) == kEndMarker) {
        ToEnd(s.log.cursor, w);
        return 0;
    }
    if (w.left < 4) {
        ToEnd(s.log.cursor, w);
        return 0;
    }
    const bool shortForm = (p[2] & 0x04) != 0;
    const std::size_t size = shortForm ? 4 : 8;
    if (w.left < size) {
        ToEnd(s.log.cursor, w);
        return 0;
    }
    s.log.cursor += size;
    std::uint32_t pin = load_u16(p);
    r.attState = static_cast<std::uint8_t>(p[2] >> 5);
    r.modeCode = static_cast<std::uint8_t>((p[2] >> 3) & 0x03);
    if (MapsToPin2(s)) pin = MapPinToPin2(s, pin);
    r.pin = pin;
    std::uint32_t when;
    if (shortForm) {
        when = s.lastLogTime + (static_cast<std::uint32_t>(p[2] & 0x03) << 8) + p[3];
    } else {
        when = load_u32(p + 4);
        s.lastLogTime = when;
    }
    r.time = s.logTimes.Decode(when);
    if (out) *out = r;
    return 1;
}

int NextSsrAttRecord(DeviceSession& s, char* idText, AttRecord* out) {
    if (!EnsureLog(s)) return -2;
    Window w;
    if (!TableWindow(s, s.log, &w)) return 0;
    if (w.left < 40) {
        ToEnd(s.log.cursor, w);
        return 0;
    }
    const std::uint8_t* p = w.at;
    s.log.cursor += 40;
    AttRecord r;
    r.modeCode = p[26];
    r.time = s.logTimes.Decode(load_u32(p + 27));
    r.attState = p[31];
    r.extraCode = static_cast<std::int32_t>(load_u32(p + 32));
    // The caller's buffer holds 24 bytes; a width the terminal reports above
    // that is cut to the field, and an ID that fills it has no terminator.
    if (idText && s.pinWidth > 0) {
        const std::size_t width = std::min<std::size_t>(static_cast<std::size_t>(s.pinWidth), 24);
        const std::size_t n = bounded_strlen(p + 2, width);
        std::memcpy(idText, p + 2, n);
        std::memset(idText + n, 0, width - n);
    }
    if (out) *out = r;
    return 1;
}

int NextOpRecord(DeviceSession& s, OpRecord* out) {
    if (VersionCompare(s, "Ver 5.04") < 0) return 0;
    if (!EnsureOpLog(s)) return -2;
    Window w;
    if (!TableWindow(s, s.opLog, &w)) return 0;
    const std::uint8_t* p = w.at;
    OpRecord r;
    if (s.extendOpLog != 0) {
        if (w.left < 20) {
            ToEnd(s.opLog.cursor, w);
            return 0;
        }
        s.opLog.cursor += 20;
        r.op = load_u32(p);
        r.code = p[4];
        r.time = s.logTimes.Decode(load_u32(p + 6));
        r.params[0] = static_cast<std::int32_t>(load_u32(p + 10));
        r.params[1] = load_u16(p + 14);
        r.params[2] = load_u16(p + 16);
        r.params[3] = load_u16(p + 18);
        if (out) *out = r;
        return 1;
    }
    if ((w.left >= 2 && load_u16(p) == kEndMarker) || w.left < 16) {
        ToEnd(s.opLog.cursor, w);
        return 0;
    }
    s.opLog.cursor += 16;
    r.op = load_u16(p);
    r.code = p[2];
    r.time = s.logTimes.Decode(load_u32(p + 4));
    for (int i = 0; i < 4; ++i) r.params[i] = load_u16(p + 8 + 2 * i);
    if (MapsToPin2(s)) {
        r.op = MapPinToPin2(s, r.op);
        if (r.params[0] != 0 && OperatesOnUser(r.code))
            r.params[0] =
                static_cast<std::int32_t>(MapPinToPin2(s, static_cast<std::uint32_t>(r.params[0])));
    }
    if (out) *out = r;
    return 1;
}

int NextSsrOpRecord(DeviceSession& s, SsrOpRecord* out) {
    if (!EnsureOpLog(s)) return -2;
    Window w;
    if (!TableWindow(s, s.opLog, &w)) return 0;
    if (w.left < 60) {
        ToEnd(s.opLog.cursor, w);
        return 0;
    }
    const std::uint8_t* p = w.at;
    s.opLog.cursor += 60;
    SsrOpRecord r;
    std::memcpy(r.operatorId, p, 24);
    r.code = p[24];
    r.time = s.logTimes.Decode(load_u32(p + 25));
    r.params[0] = load_u16(p + 29);
    r.params[1] = load_u16(p + 31);
    r.params[2] = load_u16(p + 33);
    std::memcpy(r.userId, p + 35, 24);
    if (out) *out = r;
    return 1;
}

void FormatOpLogTime(const CalendarTime& t, char* out, std::size_t size) {
    std::snprintf(out, size, "%02d-%02d-%d %02d:%02d", t.month, t.day, t.year, t.hour, t.minute);
}

}  // namespace tl
