// Erasing the terminal's data tables with CMD_CLEAR_DATA, shared by device
// control and terminal content (short messages, links, work codes).
#pragma once

#include <cstdint>

#include "session/session.h"

namespace tl {

// Table kinds CMD_CLEAR_DATA accepts as its one request byte.
enum ClearKind : std::uint8_t {
    kClearMessages = 6,
    kClearMessageLinks = 7,
    kClearWorkCodes = 9,
    kClearNamedWorkCodes = 17,
};

// Erases one table: the kind byte as the whole request, a one-byte buffer and
// cmdTimeout + 3000 ms. 1 on REPLY_OK, -2 otherwise. Caches are left alone;
// callers that erase cached tables call ForgetCachedTables themselves.
int ClearTableKind(DeviceSession& s, std::uint8_t kind);

// What erasing terminal data does to the session: bulkBuffer is released and
// every table held in it forgotten, so the next read downloads it again; the
// cached user table is emptied but its buffer kept for reuse.
void ForgetCachedTables(DeviceSession& s);

}  // namespace tl
