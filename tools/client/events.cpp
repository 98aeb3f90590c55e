#include "client/events.h"

#include <cstdio>
#include <cstring>

namespace tlclient {

namespace {

unsigned Le16(const unsigned char* p) {
    return p[0] | (p[1] << 8);
}

unsigned long Le32(const unsigned char* p) {
    return static_cast<unsigned long>(p[0]) | (static_cast<unsigned long>(p[1]) << 8) |
           (static_cast<unsigned long>(p[2]) << 16) | (static_cast<unsigned long>(p[3]) << 24);
}

std::string HexBytes(const unsigned char* data, int size) {
    // Trailing zeros beyond the shortest record carry nothing.
    int n = size;
    while (n > 14 && data[n - 1] == 0) --n;
    std::string out;
    char byte[4];
    for (int i = 0; i < n; ++i) {
        std::snprintf(byte, sizeof byte, i ? " %02x" : "%02x", data[i]);
        out += byte;
    }
    return out;
}

}  // namespace

// The terminal counts time as seconds of a calendar of 31-day months from
// 2000-01-01, so any value maps to some date; day 31 of a short month stays
// as the terminal wrote it.
std::string DeviceTimeText(unsigned long v) {
    const int second = static_cast<int>(v % 60);
    v /= 60;
    const int minute = static_cast<int>(v % 60);
    v /= 60;
    const int hour = static_cast<int>(v % 24);
    v /= 24;
    const int day = static_cast<int>(v % 31) + 1;
    v /= 31;
    const int month = static_cast<int>(v % 12) + 1;
    const long year = static_cast<long>(v / 12) + 2000;
    char text[40];
    std::snprintf(text, sizeof text, "%04ld-%02d-%02d %02d:%02d:%02d", year, month, day, hour,
                  minute, second);
    return text;
}

int EventDataSize(const TerminalTraits& traits) {
    if (traits.textIds) return 36;
    return traits.firmware.compare("Ver 6.18 20070807") > 0 ? 16 : 14;
}

std::optional<AttendanceEvent> ParseAttendanceEvent(const unsigned char* data, int size) {
    AttendanceEvent e;
    if (size == 36) {
        e.idBytes = 24;
        e.id = std::string(reinterpret_cast<const char*>(data),
                           strnlen(reinterpret_cast<const char*>(data), 24));
    } else if (size == 16) {
        e.idBytes = 4;
        e.number = Le32(data);
    } else if (size == 14) {
        e.idBytes = 2;
        e.number = Le16(data);
    } else {
        return std::nullopt;
    }
    const unsigned char* rest = data + e.idBytes;
    e.state = rest[0];
    e.verify = rest[1];
    e.time = Le32(rest + 2);
    e.workCode = static_cast<std::uint32_t>(Le32(rest + 6));
    return e;
}

EventView DescribeEvent(int kind, const unsigned char* data, int size) {
    EventView v;
    v.kind = std::to_string(kind);
    if (kind == kEventAttendance) {
        if (const auto e = ParseAttendanceEvent(data, size)) {
            v.kind = "attendance";
            v.user = e->idBytes == 24 ? e->id : std::to_string(e->number);
            v.state = StateName(e->state);
            v.verify = VerifyName(e->verify);
            v.time = DeviceTimeText(e->time);
            v.workCode = static_cast<long long>(e->workCode);
            return v;
        }
    }
    if (kind == kEventDoor && size >= 5) {
        v.kind = "door";
        v.detail = "door state " + std::to_string(data[0]) + ", unlock delay " +
                   std::to_string(Le32(data + 1)) + " s";
        return v;
    }
    v.detail = HexBytes(data, size);
    return v;
}

}  // namespace tlclient
