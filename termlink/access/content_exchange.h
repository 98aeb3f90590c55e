// Exchange shapes shared by the terminal-content exports.
#pragma once

#include <climits>
#include <cstdint>

#include "session/session.h"

namespace tl {

// A content delete: the request goes out with an answer area of
// `bufferSize` bytes (0 for most deletes; the custom state and voice deletes
// offer their 4 request bytes), but the transport may place the terminal's
// short status in the request's own bytes either way, and the number of bytes
// it reports tells "not there" apart from other refusals. 1 on REPLY_OK; 0 on
// REPLY_ERROR with exactly 2 reply bytes; -2 otherwise. Timeout cmdTimeout +
// 4000. `request` holds at least max(length, bufferSize) bytes.
int SendContentDelete(DeviceSession& s, int code, std::uint8_t* request, int length,
                      int bufferSize = 0);

// A session timeout plus a margin, kept within int.
inline int TimeoutPlus(std::int32_t base, int extra) {
    const long long t = static_cast<long long>(base) + extra;
    return t > INT_MAX ? INT_MAX : static_cast<int>(t);
}

// Ids, internal user numbers and indexes that travel as 16 bits or one
// byte: a value that does not fit would, cut, name another entry.
inline bool FitsU16Id(long long v) {
    return v >= 0 && v <= 0xFFFF;
}
inline bool FitsByte(long long v) {
    return v >= 0 && v <= 0xFF;
}

}  // namespace tl
