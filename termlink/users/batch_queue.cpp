#include "users/batch_queue.h"

#include <cstring>

#include "users/user_record.h"

namespace tl {

namespace {

// Room for n more bytes in a list of `capacity` bytes; none is needed for
// nothing, and an absent list has no room.
bool Room(const ByteList& list, std::size_t capacity, std::size_t n) {
    return n == 0 || (list && fits(capacity, list.used(), n));
}

}  // namespace

bool BatchFits(const DeviceSession& s, std::size_t userCmdBytes, std::size_t tmpCmdBytes,
               std::size_t tmpDataBytes) {
    if (!Room(s.batchUserCmds, kBatchUserCmdsCapacity, userCmdBytes) ||
        !Room(s.batchTmpCmds, kBatchTmpCmdsCapacity, tmpCmdBytes) ||
        !Room(s.batchTmpData, kBatchTmpDataCapacity, tmpDataBytes)) {
        return false;
    }
    // Each term is below its list's capacity, so the sum cannot wrap.
    const std::size_t block =
        kBatchUploadHeader + s.batchUserCmds.used() + s.batchTmpCmds.used() + s.batchTmpData.used();
    return fits(kBatchUploadCapacity, block, userCmdBytes + tmpCmdBytes + tmpDataBytes);
}

bool NewUserFits(const DeviceSession& s) {
    // Records start at byte 4 of the list.
    return s.batchNewUsers && fits(kBatchNewUsersCapacity, 4 + s.batchNewUsers.used(), kUserSize);
}

bool AppendUserCmd(DeviceSession& s, std::uint8_t op, Bytes data) {
    if (!BatchFits(s, 1 + data.size(), 0, 0)) return false;
    std::uint8_t* p = s.batchUserCmds.data() + s.batchUserCmds.used();
    p[0] = op;
    std::memcpy(p + 1, data.data(), data.size());
    s.batchUserCmds.length += static_cast<std::int32_t>(1 + data.size());
    return true;
}

bool AppendTmpCmd(DeviceSession& s, std::uint8_t op, std::uint16_t pin, std::uint8_t finger,
                  std::uint32_t offset) {
    if (!BatchFits(s, 0, kTmpCmdNumberSize, 0)) return false;
    std::uint8_t* p = s.batchTmpCmds.data() + s.batchTmpCmds.used();
    p[0] = op;
    store_u16(p + 1, pin);
    p[3] = finger;
    store_u32(p + 4, offset);
    s.batchTmpCmds.length += static_cast<std::int32_t>(kTmpCmdNumberSize);
    return true;
}

bool AppendTmpCmdById(DeviceSession& s, std::uint8_t op, const std::uint8_t id[24],
                      std::uint8_t finger, std::uint32_t offset) {
    if (!BatchFits(s, 0, kTmpCmdIdSize, 0)) return false;
    std::uint8_t* p = s.batchTmpCmds.data() + s.batchTmpCmds.used();
    p[0] = op;
    std::memcpy(p + 1, id, 24);
    p[25] = finger;
    store_u32(p + 26, offset);
    s.batchTmpCmds.length += static_cast<std::int32_t>(kTmpCmdIdSize);
    return true;
}

bool AppendTmpData(DeviceSession& s, Bytes tmp) {
    if (tmp.size() > 0xFFFF || !BatchFits(s, 0, 0, 2 + tmp.size())) return false;
    std::uint8_t* p = s.batchTmpData.data() + s.batchTmpData.used();
    store_u16(p, static_cast<std::uint16_t>(tmp.size()));
    if (!tmp.empty()) std::memcpy(p + 2, tmp.data(), tmp.size());
    s.batchTmpData.length += static_cast<std::int32_t>(2 + tmp.size());
    return true;
}

bool AppendNewUser(DeviceSession& s, Bytes record) {
    if (record.size() != kUserSize || !NewUserFits(s)) return false;
    std::memcpy(s.batchNewUsers.data() + 4 + s.batchNewUsers.used(), record.data(), kUserSize);
    s.batchNewUsers.length += static_cast<std::int32_t>(kUserSize);
    return true;
}

}  // namespace tl
