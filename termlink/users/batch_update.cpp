#include "users/batch_update.h"

#include <cstring>

#include "common/bytes.h"
#include "session/commands.h"
#include "session/transport.h"
#include "users/batch_queue.h"
#include "users/user_table.h"

namespace tl {

namespace {

// The words sent with CMD_UPDATE to have the uploaded block applied.
constexpr std::uint32_t kApplyBatchCode = 12;
constexpr std::uint32_t kApplyBatchValue = 0x80000;
constexpr int kUploadTimeoutMs = 2500;
constexpr int kApplyTimeoutMs = 3600000;

// Closes the batch: lists released, the user cache discarded (the terminal's
// table has changed or the queued work is gone) and the batch's new users
// forgotten.
void CloseBatch(DeviceSession& s) {
    s.batchUserCmds.release();
    s.batchTmpCmds.release();
    s.batchTmpData.release();
    s.batchNewUsers.release();
    s.batchActive = 0;
    s.batchOverwrite = 0;
    DiscardUserCache(s);
}

bool OpenList(ByteList& list, std::size_t capacity, HeapBuffer::Fill fill) {
    list.length = 0;
    return list.buffer.allocate(static_cast<std::uint32_t>(capacity), fill);
}

// Runs the four steps with the block in `area` (kBatchUploadCapacity bytes).
int Upload(DeviceSession& s, std::uint8_t* area) {
    const std::size_t users = s.batchUserCmds.used();
    const std::size_t tmps = s.batchTmpCmds.used();
    const std::size_t data = s.batchTmpData.used();
    const std::size_t total = kBatchUploadHeader + users + tmps + data;
    // The appends keep the lists within the area; a block that would not fit
    // is never built.
    if (total > kBatchUploadCapacity) return -100;
    store_u32(area, static_cast<std::uint32_t>(users));
    store_u32(area + 4, static_cast<std::uint32_t>(tmps));
    store_u32(area + 8, static_cast<std::uint32_t>(data));
    std::uint8_t* p = area + kBatchUploadHeader;
    if (users) std::memcpy(p, s.batchUserCmds.data(), users);
    if (tmps) std::memcpy(p + users, s.batchTmpCmds.data(), tmps);
    if (data) std::memcpy(p + users + tmps, s.batchTmpData.data(), data);

    if (!SendCommand(s.transport, CMD_DISABLE_DEVICE, nullptr, 0, 0, 1000).ok()) return 0;
    if (PMX_SENDDATA(s.transport, area, static_cast<int>(total), kUploadTimeoutMs) == 0) return -2;
    store_u32(area, kApplyBatchCode);
    store_u32(area + 4, kApplyBatchValue);
    if (!SendCommand(s.transport, CMD_UPDATE, area, static_cast<int>(kBatchUploadCapacity), 8,
                     kApplyTimeoutMs)
             .ok()) {
        return -2;
    }
    SendCommand(s.transport, CMD_REFRESH_DATA, nullptr, 0, 0, 1000);
    return 1;
}

}  // namespace

int BeginBatchUpdate(DeviceSession& s, int flag) {
    if (VersionCompare(s, "Ver 5.11") < 0 ||
        (s.fpVersion == 10 && s.isTFT && VersionCompare(s, "Ver 6.60") < 0)) {
        if (s.batchActive) CloseBatch(s);
        return -100;
    }
    // A batch already open is dropped rather than leaked.
    if (s.batchActive) CloseBatch(s);
    // Every list starts empty; one that cannot be allocated fails the batch.
    using Fill = HeapBuffer::Fill;
    const bool userCmds = OpenList(s.batchUserCmds, kBatchUserCmdsCapacity, Fill::Uninitialised);
    const bool tmpCmds = OpenList(s.batchTmpCmds, kBatchTmpCmdsCapacity, Fill::Uninitialised);
    const bool tmpData = OpenList(s.batchTmpData, kBatchTmpDataCapacity, Fill::Uninitialised);
    const bool newUsers = OpenList(s.batchNewUsers, kBatchNewUsersCapacity, Fill::Zeroed);
    if (!userCmds || !tmpCmds || !tmpData || !newUsers) {
        CloseBatch(s);
        return -2;
    }
    s.batchActive = 1;
    s.batchOverwrite = flag == 1 ? 1 : 0;
    return 1;
}

int BatchUpdate(DeviceSession& s) {
    if (!s.batchActive) return -100;
    HeapBuffer area;
    const int result = area.allocate(static_cast<std::uint32_t>(kBatchUploadCapacity))
                           ? Upload(s, area.data())
                           : -100;
    CloseBatch(s);
    return result;
}

int CancelBatchUpdate(DeviceSession& s) {
    CloseBatch(s);
    return 1;
}

}  // namespace tl
