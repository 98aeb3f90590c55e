// The numbered device-information items and the free-form system options.
#pragma once

#include <cstdint>
#include <string_view>

#include "session/session.h"

namespace tl {

// Option keys of the numbered items 1..69 (index 0 is unused; index 12 holds
// the empty key, which is never sent).
extern const char* const InfoKeyTable[70];
constexpr int kInfoKeyCount = 69;

// Index 8999: the value argument carries a key (read) or a complete
// key=value text (write) instead of a number.
constexpr int kInfoRawOption = 8999;

// Threshold conversions of the matching scores (items 23-25) on "Ver 5.04"
// and later firmware.
std::int32_t ThresholdToDevice(std::int32_t v);
std::int32_t ThresholdFromDevice(std::int32_t d);

// Caller's value <-> terminal's value of items 3, 9 and 23-25; other indexes
// pass the value through.
std::int32_t InfoValueToDevice(const DeviceSession& s, int index, std::int32_t value);
std::int32_t InfoValueFromDevice(const DeviceSession& s, int index, std::int32_t value);

// TL_GetDeviceInfo. `value` is an int in/out for ordinary indexes, a text
// buffer of at least 100 bytes for 8999, and a table read request for -5.
int GetDeviceInfo(DeviceSession& s, int index, std::int32_t* value);

// TL_SetDeviceInfo; for index 8999 (after reduction) `rawText` is the
// key=value text sent unchanged.
int SetDeviceInfo(DeviceSession& s, int index, std::int32_t value, const char* rawText);

int GetDeviceStrInfo(DeviceSession& s, int index, char* value);
int GetSysOption(DeviceSession& s, const char* key, char* value);
int SetSysOption(DeviceSession& s, const char* key, const char* value);

}  // namespace tl
