#include "users/user_table.h"

#include <cstring>

#include "records/bulk_read.h"
#include "users/batch_queue.h"

namespace tl {

namespace {

constexpr std::size_t kHeader = 4;  // the table's length word

std::size_t ClampedLength(std::int32_t length, std::size_t capacity) {
    if (length <= 0 || capacity <= kHeader) return 0;
    const auto n = static_cast<std::size_t>(length);
    return n < capacity - kHeader ? n : capacity - kHeader;
}

}  // namespace

RecordTable CachedUsers(const DeviceSession& s, std::size_t recordSize) {
    RecordTable t;
    t.recordSize = recordSize;
    if (!s.userBuffer || recordSize == 0) return t;
    t.base = s.userBuffer.data() + kHeader;
    t.count = ClampedLength(s.userDataLen, s.userBuffer.capacity()) / recordSize;
    return t;
}

std::size_t CacheRoomAfter(const DeviceSession& s, std::size_t recordSize) {
    if (s.userBuffer.capacity() <= kHeader) return 0;
    const RecordTable t = CachedUsers(s, recordSize);
    return s.userBuffer.capacity() - kHeader - t.count * recordSize;
}

RecordTable BatchNewUsers(const DeviceSession& s) {
    RecordTable t;
    t.recordSize = kUserSize;
    if (!s.batchNewUsers) return t;
    t.base = s.batchNewUsers.data() + kHeader;
    t.count = ClampedLength(s.batchNewUsers.length, kBatchNewUsersCapacity) / kUserSize;
    return t;
}

void LoadUserCacheIfAbsent(DeviceSession& s) {
    if (!s.userBuffer) ReadUserInfo(s);
}

std::uint8_t* FindUserByPin2(DeviceSession& s, std::uint32_t pin2) {
    if (IsLegacyFirmware(s) || HoldsTextIdUsers(s)) return nullptr;
    LoadUserCacheIfAbsent(s);
    const RecordTable t = CachedUsers(s, kUserSize);
    for (std::size_t i = 0; i < t.count; ++i)
        if (load_u32(t.at(i) + 24) == pin2) return t.at(i);
    return nullptr;
}

std::uint8_t* FindUserByCard(DeviceSession& s, const std::uint8_t card[5]) {
    if (IsLegacyFirmware(s) || HoldsTextIdUsers(s) || !card) return nullptr;
    LoadUserCacheIfAbsent(s);
    const RecordTable t = CachedUsers(s, kUserSize);
    const std::uint32_t number = load_u32(card);
    for (std::size_t i = 0; i < t.count; ++i)
        if (load_u32(t.at(i) + 16) == number && t.at(i)[20] == card[4]) return t.at(i);
    return nullptr;
}

std::uint8_t* FindSsrUserById(DeviceSession& s, const char* id) {
    if (!id) return nullptr;
    // One byte beyond the field tells a 24-character text from a longer one.
    const std::size_t n = bounded_strlen(id, kSsrIdSize + 1);
    if (n > kSsrIdSize) return nullptr;
    LoadUserCacheIfAbsent(s);
    const RecordTable t = CachedUsers(s, kSsrUserSize);
    for (std::size_t i = 0; i < t.count; ++i) {
        const std::uint8_t* field = t.at(i) + 48;
        if (std::memcmp(field, id, n) == 0 && (n == kSsrIdSize || field[n] == 0)) return t.at(i);
    }
    return nullptr;
}

std::uint8_t* FindBatchNewUserByPin2(const DeviceSession& s, std::uint32_t pin2) {
    const RecordTable t = BatchNewUsers(s);
    for (std::size_t i = 0; i < t.count; ++i)
        if (load_u32(t.at(i) + 24) == pin2) return t.at(i);
    return nullptr;
}

void DiscardUserCache(DeviceSession& s) {
    s.userBuffer.release();
    s.userDataLen = 0;
    s.userCursor = nullptr;
    // The next buffer may be allocated at the same address: the index by
    // internal number must not be taken for current then.
    s.pinIndexBuffer = nullptr;
    s.pinIndexLength = -1;
}

}  // namespace tl
