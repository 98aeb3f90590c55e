// Loading the user cache, and turning the numbers and IDs callers pass into
// the terminal's internal user numbers.
#pragma once

#include <cstdint>

#include "session/session.h"

namespace tl {

// Internal numbers travel as u16 in most requests; a number that does not
// fit cannot name any user, and truncating it would name another one.
inline bool FitsU16(std::int64_t n) {
    return n >= 0 && n <= 0xFFFF;
}

// For the iterating and query exports: downloads the table when the cache is
// absent or holds no data. 1 when there is a table (possibly empty), -2 when
// the download failed.
int LoadUserCacheForReading(DeviceSession& s);

// The internal number of a user number callers pass (the enrolled number on
// terminals with wide user numbers).
std::int64_t ResolveUserNumber(DeviceSession& s, std::int64_t number);
// A free internal number: `wanted` when it is free and within 1..65534, else
// the lowest free number; 65535 when every number is taken; 0 when the user
// table cannot be seen at all (nothing may be allocated then).
int AllocateFreePin(DeviceSession& s, std::int64_t wanted);
// A free internal number for a new text ID; records the ID it was given to.
// 65535 when none is free; 0 when the table cannot be seen.
int AllocateIdNumber(DeviceSession& s, const char* id);
// The internal number of a text ID: from the cache, else the number most
// recently handed out when it was handed out to this ID; -1 otherwise.
int ResolveSsrId(DeviceSession& s, const char* id);

}  // namespace tl
