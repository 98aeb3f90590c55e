// Identity texts, clock, network settings, status counters and the
// user-number width: one named terminal setting per call.
#pragma once

#include <cstdint>

#include "session/session.h"

namespace tl {

// The version text the library reports as its own.
constexpr const char* kSdkVersion = "6.0.3.4";

// Reads option `key` into `out` (value text and NUL). When the terminal does
// not have the option (REPLY_ERROR) and `fallback` is given, `out` receives
// the fallback and the result is 1. 1 / -2; 4 without an output buffer.
int GetOptionTextOr(DeviceSession& s, const char* key, const char* fallback, char* out);

int GetFirmwareVersion(DeviceSession& s, char* version);
int GetCardFun(DeviceSession& s, std::int32_t* function);
int GetTime(DeviceSession& s, std::int32_t* year, std::int32_t* month, std::int32_t* day,
            std::int32_t* hour, std::int32_t* minute, std::int32_t* second);
int SetTime(DeviceSession& s, std::int32_t year, std::int32_t month, std::int32_t day,
            std::int32_t hour, std::int32_t minute, std::int32_t second);
// The status index has already been checked to be 1..25.
int GetDeviceStatus(DeviceSession& s, int statusIndex, std::int32_t* value);
int GetPinWidth(DeviceSession& s, std::int32_t* width);

// Reply word of each status index 1..22 (index 0 unused).
extern const int kStatusWord[23];

}  // namespace tl
