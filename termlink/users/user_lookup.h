// Lookups by internal user number over the cached user table.
#pragma once

#include <cstdint>

#include "session/session.h"

namespace tl {

// The cached record whose internal number (u16 at offset 0) is `pin`, or null.
// Walks the 16-byte records of firmware older than "Ver 5.04", else the
// 28-byte records, from byte 4 of userBuffer in stored order, and stops at the
// first match. Downloads the table first when userBuffer is absent, and goes
// on with whatever that leaves in the cache.
// Only whole records inside the cache are looked at.
std::uint8_t* FindUserByPin(DeviceSession& s, std::uint32_t pin);

// The enrolled number (PIN2) of internal number `pin`: legacy firmware gives
// `pin` unchanged; otherwise the PIN2 of FindUserByPin(pin) when the user
// exists and its PIN2 is not 0, else `pin` unchanged.
std::uint32_t MapPinToPin2(DeviceSession& s, std::uint32_t pin);

}  // namespace tl
