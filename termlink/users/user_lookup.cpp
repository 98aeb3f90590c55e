#include "users/user_lookup.h"

#include <algorithm>
#include <cstring>

#include "common/bytes.h"
#include "records/bulk_read.h"
#include "users/user_table.h"

namespace tl {
namespace {

bool IsLegacy(const DeviceSession& s) {
    return VersionCompare(s, "Ver 5.04") < 0;
}

constexpr std::size_t kPinSlots = 65536;

constexpr std::size_t kLegacyRecordSize = 16;
constexpr std::size_t kRecordSize = 28;

std::size_t RecordSize(const DeviceSession& s) {
    return IsLegacy(s) ? kLegacyRecordSize : kRecordSize;
}

// Record bytes of the cache that lookups may read: whole records only, never
// past the buffer.
std::size_t CachedLength(const DeviceSession& s) {
    if (s.userBuffer.capacity() < 4 || s.userDataLen <= 0) return 0;
    return std::min<std::size_t>(static_cast<std::size_t>(s.userDataLen),
                                 s.userBuffer.capacity() - 4);
}

bool IndexCurrent(const DeviceSession& s, std::size_t size) {
    return s.pinIndex && s.pinIndexBuffer == s.userBuffer.data() &&
           s.pinIndexLength == s.userDataLen &&
           s.pinIndexRecordSize == static_cast<std::int32_t>(size);
}

// Records for each internal number the first cached record that has it, in
// stored order: exactly the record a walk from the start stops at.
bool BuildIndex(DeviceSession& s, std::size_t size) {
    if (!s.pinIndex && !s.pinIndex.allocate(static_cast<std::uint32_t>(kPinSlots))) return false;
    std::memset(s.pinIndex.data(), 0, kPinSlots * sizeof(std::uint32_t));
    const std::size_t length = CachedLength(s);
    std::uint32_t n = 0;
    for (std::size_t off = 0; off + size <= length; off += size) {
        ++n;
        std::uint32_t& slot = s.pinIndex[load_u16(s.userBuffer.data() + 4 + off)];
        if (slot == 0) slot = n;
    }
    s.pinIndexBuffer = s.userBuffer.data();
    s.pinIndexLength = s.userDataLen;
    s.pinIndexRecordSize = static_cast<std::int32_t>(size);
    return true;
}

}  // namespace

// FindUserByPin through the index, for records of `size` bytes: the same
// answer without a walk per call.
static std::uint8_t* FindUserByPinIndexed(DeviceSession& s, std::uint32_t pin, std::size_t size) {
    if (!s.userBuffer) ReadUserInfo(s);
    if (CachedLength(s) == 0 || pin >= kPinSlots) return nullptr;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if ((!IndexCurrent(s, size) || attempt == 1) && !BuildIndex(s, size))
            return FindUserByPin(s, pin);
        const std::uint32_t slot = s.pinIndex[pin];
        if (slot == 0) return nullptr;
        std::uint8_t* record = s.userBuffer.data() + 4 + (slot - 1) * size;
        // A record changed in place since the index was built is caught here
        // and the index rebuilt.
        if (load_u16(record) == pin) return record;
    }
    return FindUserByPin(s, pin);
}

std::uint8_t* FindUserByPin(DeviceSession& s, std::uint32_t pin) {
    if (!s.userBuffer) ReadUserInfo(s);
    const std::size_t length = CachedLength(s);
    if (length == 0) return nullptr;
    const std::size_t size = RecordSize(s);
    std::uint8_t* const records = s.userBuffer.data() + 4;
    for (std::size_t off = 0; off + size <= length; off += size)
        if (load_u16(records + off) == pin) return records + off;
    return nullptr;
}

std::uint32_t MapPinToPin2(DeviceSession& s, std::uint32_t pin) {
    // Text-ID tables hold no PIN2: walking them as 28-byte records would hand
    // out bytes of another field as the user's number.
    if (IsLegacy(s) || HoldsTextIdUsers(s)) return pin;
    const std::uint8_t* record = FindUserByPinIndexed(s, pin, kRecordSize);
    if (!record) return pin;
    const std::uint32_t pin2 = load_u32(record + 24);
    return pin2 != 0 ? pin2 : pin;
}

}  // namespace tl
