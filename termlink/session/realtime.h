// Real-time event registration and polling, and the terminal lock.
#pragma once

#include <cstdint>

#include "session/session.h"

namespace tl {

constexpr int kRtBufferSize = 2048;
constexpr int kRtReplyBufferSize = 1024;  // what the poll lets the transport write

int RegEvent(DeviceSession& s, std::int32_t mask);
int ReadRTLog(DeviceSession& s);
// data receives 36, 16 or 14 bytes depending on the terminal.
int GetRTLog(DeviceSession& s, int* kind, std::uint8_t* data);
int EnableDevice(DeviceSession& s);
int DisableDevice(DeviceSession& s, std::int32_t value);

// Size of one real-time record for this terminal: 38, 18 or 16 bytes.
int RtRecordSize(const DeviceSession& s);

}  // namespace tl
