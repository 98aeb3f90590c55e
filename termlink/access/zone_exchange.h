// The zone-list exchange shared by group time zones (commands 25/26) and user
// time zones (commands 23/24): a u32 number, answered either as an i32 count
// followed by i32 zones or, on TFT terminals, as four u16 zones.
#pragma once

#include <cstdint>

#include "session/session.h"

namespace tl {

// Result of one zone-list read; entries and flag are meaningful when
// result == 1.
struct ZoneRead {
    int result = -2;
    int zones[4] = {0, 0, 0, 0};
    bool hasEntry3 = false;  // TFT answers fill entry 3 too
    int flag = 0;
};

// Sends the read request (u32 number, buffer 100) with `code` and decodes the
// answer within the bytes actually received. 1 on success, -2 when the
// terminal refuses or the answer is too short to hold its header.
ZoneRead ReadZoneList(DeviceSession& s, int code, std::uint32_t number);

// Sends the write request with `code`: the u32 number alone when `zones` is
// null, else number, count and zones 1-3 (20 bytes). The count is entry 3 on
// TFT terminals, else the number of leading non-zero entries among 0-2.
int WriteZoneList(DeviceSession& s, int code, std::uint32_t number, const int* zones);

}  // namespace tl
