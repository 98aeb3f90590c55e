#include "users/user_lookup.h"

#include <algorithm>

#include "common/bytes.h"
#include "records/bulk_read.h"

namespace tl {
namespace {

bool IsLegacy(const DeviceSession& s) {
    return VersionCompare(s, "Ver 5.04") < 0;
}

}  // namespace

std::uint8_t* FindUserByPin(DeviceSession& s, std::uint32_t pin) {
    if (!s.userBuffer || s.userCapacity == 0) ReadUserInfo(s);
    if (!s.userBuffer || s.userCapacity < 4 || s.userDataLen <= 0) return nullptr;
    const std::size_t size = IsLegacy(s) ? 16 : 28;
    // The length never leads past the buffer, whatever set it.
    const std::size_t length =
        std::min<std::size_t>(static_cast<std::size_t>(s.userDataLen), s.userCapacity - 4);
    std::uint8_t* const records = s.userBuffer + 4;
    for (std::size_t off = 0; off + size <= length; off += size)
        if (load_u16(records + off) == pin) return records + off;
    return nullptr;
}

std::uint32_t MapPinToPin2(DeviceSession& s, std::uint32_t pin) {
    if (IsLegacy(s)) return pin;
    const std::uint8_t* record = FindUserByPin(s, pin);
    if (!record) return pin;
    const std::uint32_t pin2 = load_u32(record + 24);
    return pin2 != 0 ? pin2 : pin;
}

}  // namespace tl
