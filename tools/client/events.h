// Real-time events as words: the attendance and door events our terminals
// send are decoded; any other kind keeps its bytes as hex.
#pragma once

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

// `data` holds at least `size` bytes as TL_GetRTLog delivered them.
EventView DescribeEvent(int kind, const unsigned char* data, int size);

}  // namespace tlclient
