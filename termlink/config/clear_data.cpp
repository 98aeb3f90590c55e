#include "config/clear_data.h"

#include "records/bulk_read.h"
#include "session/commands.h"
#include "session/transport.h"

namespace tl {

int ClearTableKind(DeviceSession& s, std::uint8_t kind) {
    std::uint8_t buffer[1] = {kind};
    return OkOrRefused(SendCommand(s.transport, CMD_CLEAR_DATA, buffer, 1, 1, s.cmdTimeout + 3000));
}

void ForgetCachedTables(DeviceSession& s) {
    ForgetAllBulkTables(s);
    s.bulkBuffer.release();
    s.userDataLen = 0;
    s.userCursor = nullptr;
}

}  // namespace tl
