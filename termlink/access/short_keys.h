// Short keys of the terminal's keypad: each key bound to a function; state
// keys (function 1) carry a state code, a label and up to seven automatic
// switch times. Both exports read the whole key table (records in
// short_key_record.h).
#pragma once

#include <cstddef>

#include "access/short_key_record.h"
#include "session/session.h"

namespace tl {

constexpr std::size_t kShortKeyTableCapacity = 5120;
constexpr std::size_t kShortKeyLabelOut = 16;  // the caller's label buffer

std::size_t ShortKeyRecordSize(const DeviceSession& s);  // 32 or 34

struct ShortKeyOut {
    int* function = nullptr;
    int* state = nullptr;
    char* label = nullptr;  // 16 bytes
    int* autoSwitch = nullptr;
    char* times = nullptr;  // 43 bytes
};

// 1 and the key; 0 when the table has no such key; -2 refused or a table that
// is not whole records; -4 no memory; 4 a key id outside 0-255 or a missing
// label or text buffer.
int GetShortKey(DeviceSession& s, int keyId, const ShortKeyOut& out);
// 4 for a bad argument, a bad switch time or a conflict with the stored keys
// (nothing written); -2 refused; -4 no memory.
int SetShortKey(DeviceSession& s, int keyId, int function, int state, const char* label,
                int autoSwitch, const char* times);

}  // namespace tl
