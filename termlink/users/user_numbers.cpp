#include "users/user_numbers.h"

#include <cstring>
#include <vector>

#include "common/bytes.h"
#include "records/bulk_read.h"
#include "users/user_lookup.h"
#include "users/user_record.h"
#include "users/user_table.h"

namespace tl {

namespace {
constexpr std::size_t kNumbers = 65536;
constexpr int kNoFreeNumber = 65535;
}  // namespace

int LoadUserCacheForReading(DeviceSession& s) {
    if (s.userDataLen != 0 && s.userBuffer) return 1;
    // An empty table (0) is no failure: the readers then report the end of
    // the data or "not found".
    return ReadUserInfo(s) < 0 ? -2 : 1;
}

std::int64_t ResolveUserNumber(DeviceSession& s, std::int64_t number) {
    if (IsLegacyFirmware(s)) return number;
    if (s.pinWidth <= 5 && number < 65535) return number;
    LoadUserCacheIfAbsent(s);
    const auto key = static_cast<std::uint32_t>(number);
    if (const std::uint8_t* r = FindUserByPin2(s, key)) return load_u16(r);
    if (s.pinWidth > 5 && s.batchActive) {
        if (const std::uint8_t* r = FindBatchNewUserByPin2(s, key)) return load_u16(r);
    }
    return number;
}

int AllocateFreePin(DeviceSession& s, std::int64_t wanted) {
    if (!s.userBuffer) {
        ReadUserInfo(s);
        // Without the table every number might be taken: handing one out
        // could overwrite an existing user.
        if (!s.userBuffer) return 0;
    }
    std::vector<std::uint8_t> taken(kNumbers, 0);
    const RecordTable cache = CachedUsers(s, ClassicRecordSize(s));
    for (std::size_t i = 0; i < cache.count; ++i) taken[load_u16(cache.at(i))] = 1;
    if (s.batchActive) {
        const RecordTable added = BatchNewUsers(s);
        for (std::size_t i = 0; i < added.count; ++i) taken[load_u16(added.at(i))] = 1;
    }
    if (wanted > 0 && wanted < kNoFreeNumber && !taken[static_cast<std::size_t>(wanted)])
        return static_cast<int>(wanted);
    // The lowest free number of 1..65534 (scanning pairs from 1 upward gives
    // the same number).
    const void* free = std::memchr(taken.data() + 1, 0, kNoFreeNumber - 1);
    if (!free) return kNoFreeNumber;
    return static_cast<int>(static_cast<const std::uint8_t*>(free) - taken.data());
}

int AllocateIdNumber(DeviceSession& s, const char* id) {
    if (!s.userBuffer) {
        ReadUserInfo(s);
        if (!s.userBuffer) return 0;
    }
    int number;
    if (s.userDataLen == 0) {
        number = s.lastIdNumber < kNoFreeNumber ? s.lastIdNumber + 1 : kNoFreeNumber;
        if (number < 1) number = 1;
    } else {
        if (!s.idNumberMap &&
            !s.idNumberMap.allocate(static_cast<std::uint32_t>(kNumbers), HeapBuffer::Fill::Zeroed))
            return 0;
        const RecordTable cache = CachedUsers(s, kSsrUserSize);
        for (std::size_t i = 0; i < cache.count; ++i) s.idNumberMap[load_u16(cache.at(i))] = 1;
        const void* free = std::memchr(s.idNumberMap.data() + 1, 0, kNoFreeNumber - 1);
        if (!free) return kNoFreeNumber;
        number = static_cast<int>(static_cast<const std::uint8_t*>(free) - s.idNumberMap.data());
        s.idNumberMap[number] = 1;
    }
    s.lastIdNumber = number;
    std::memset(s.lastIdText, 0, sizeof s.lastIdText);
    if (id) std::memcpy(s.lastIdText, id, bounded_strlen(id, kSsrIdSize));
    return number;
}

int ResolveSsrId(DeviceSession& s, const char* id) {
    if (!id) return -1;
    LoadUserCacheIfAbsent(s);
    if (const std::uint8_t* r = FindSsrUserById(s, id)) return load_u16(r);
    // Only the ID the last number was given to resolves to it; the text is
    // compared as the ID field stores it (at most 24 characters).
    if (s.lastIdNumber != 0 && bounded_strlen(id, kSsrIdSize + 1) <= kSsrIdSize &&
        std::strncmp(s.lastIdText, id, kSsrIdSize + 1) == 0)
        return s.lastIdNumber;
    return -1;
}

}  // namespace tl
