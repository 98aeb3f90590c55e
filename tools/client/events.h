// Real-time events (TL_GetRTLog): the attendance event's layouts decoded into
// fields, and any event as words: the attendance and door events our
// terminals send are decoded; any other kind keeps its bytes as hex.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "client/terminal.h"

namespace tlclient {

constexpr int kEventAttendance = 1;
constexpr int kEventDoor = 3;

struct EventView {
    std::string kind;  // "attendance", "door", or the kind's number
    // Attendance: the user as the record names them (text ID, user number,
    // or the internal number on firmware with 14-byte records) and the
    // terminal's time, state, verification mode and work code.
    std::string user, time, state, verify;
    long long workCode = -1;  // -1: not an attendance event
    // Door events: what the terminal said; others: the data bytes as hex.
    std::string detail;
};

// The terminal's 32-bit time (seconds of a calendar of 31-day months from
// 2000-01-01) as "YYYY-MM-DD hh:mm:ss".
std::string DeviceTimeText(unsigned long seconds);

// Bytes of event data this terminal sends after the kind: 36, 16 or 14.
int EventDataSize(const TerminalTraits& traits);

// An attendance event's fields. The data is 36 bytes on text-ID terminals
// (24-byte ID), else 16 (32-bit user number) or 14 (16-bit internal number)
// by firmware; then state, verification mode, the 32-bit terminal time and
// the 32-bit work code.
struct AttendanceEvent {
    int idBytes = 0;           // 24, 4 or 2: which of the three layouts
    std::string id;            // 24-byte layout: the text ID, cut at its terminator
    unsigned long number = 0;  // other layouts: the user number or internal number
    int state = 0, verify = 0;
    unsigned long time = 0;  // the terminal's 32-bit time (DeviceTimeText)
    std::uint32_t workCode = 0;
};
// Nothing when `size` is none of the three sizes; `data` holds `size` bytes.
std::optional<AttendanceEvent> ParseAttendanceEvent(const unsigned char* data, int size);

// `data` holds at least `size` bytes as TL_GetRTLog delivered them.
EventView DescribeEvent(int kind, const unsigned char* data, int size);

}  // namespace tlclient
