#include "records/bulk_read.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "common/bytes.h"
#include "session/commands.h"
#include "session/transport.h"

namespace tl {
namespace {

struct TableReply {
    int reply = 0;   // reply code
    int result = 0;  // PMX_READDATA's result: bytes placed in the buffer
};

TableReply ReadTable(DeviceSession& s, int code, std::uint8_t* buffer, std::uint32_t capacity,
                     int requestLength, int timeoutMs) {
    int word = code;
    TableReply r;
    r.result = PMX_READDATA(s.transport, &word, buffer, static_cast<int>(capacity), requestLength,
                            s.blockSize, timeoutMs);
    r.reply = word & 0xFFFF;
    return r;
}

// CMD_FREE_TABLE after a prepared read; its reply code decides the read.
int FreeTable(DeviceSession& s, std::uint8_t table) {
    std::uint8_t buffer[16] = {table};
    return SendCommand(s.transport, CMD_FREE_TABLE, buffer, 16, 1, s.cmdTimeout).reply;
}

// The PMX_QUERYDATA fallback: records from buffer[0], no count. 1 with
// *length set; 0 empty table; -2 failure.
int QueryTable(DeviceSession& s, std::uint8_t kind, std::uint8_t* buffer, std::uint32_t capacity,
               std::int32_t* length) {
    int inOut = static_cast<int>(capacity);
    const int n = PMX_QUERYDATA(s.transport, kind, s.blockSize, buffer, &inOut);
    if (n > 0 && inOut == 0) {
        *length = static_cast<std::int32_t>(
            std::min<std::uint32_t>(static_cast<std::uint32_t>(n), capacity));
        return 1;
    }
    if (n == 0 && inOut == 0) return 0;
    return -2;
}

bool IsFirmwareAtLeast(const DeviceSession& s, const char* version) {
    return VersionCompare(s, version) >= 0;
}

// A failed transfer may have left anything in bulkBuffer: every table held
// there is forgotten, so the next iterator call downloads its table again
// instead of handing out what the failed transfer wrote over it.
int FailBulk(DeviceSession& s) {
    ForgetAllBulkTables(s);
    return -2;
}

}  // namespace

TableView& BulkView(DeviceSession& s, BulkTable table) {
    switch (table) {
        case BulkTable::Log:
            return s.log;
        case BulkTable::OpLog:
            return s.opLog;
        case BulkTable::Templates:
            return s.tmp;
        case BulkTable::Rules:
            return s.rule;
        case BulkTable::Depts:
            return s.dept;
        case BulkTable::Shifts:
            break;
    }
    return s.shift;
}

bool EnsureBulkBuffer(DeviceSession& s, std::uint32_t size) {
    if (s.bulkBuffer) return true;
    ForgetAllBulkTables(s);
    return s.bulkBuffer.allocate(size);
}

bool EnsureUserBuffer(DeviceSession& s) {
    if (s.userBuffer) return true;
    s.userDataLen = 0;
    s.userCursor = nullptr;
    return s.userBuffer.allocate(kUserBufferSize, HeapBuffer::Fill::Zeroed);
}

void HoldBulkTable(DeviceSession& s, BulkTable table, std::uint8_t* first, std::int32_t length) {
    ForgetOtherBulkTables(s, table);
    BulkView(s, table).hold(first, length);
}

void ForgetBulkTable(DeviceSession& s, BulkTable table) {
    BulkView(s, table).clear();
}

void ForgetOtherBulkTables(DeviceSession& s, BulkTable keep) {
    for (BulkTable t : {BulkTable::Log, BulkTable::OpLog, BulkTable::Templates, BulkTable::Rules,
                        BulkTable::Depts, BulkTable::Shifts})
        if (t != keep) ForgetBulkTable(s, t);
}

void ForgetAllBulkTables(DeviceSession& s) {
    for (BulkTable t : {BulkTable::Log, BulkTable::OpLog, BulkTable::Templates, BulkTable::Rules,
                        BulkTable::Depts, BulkTable::Shifts})
        ForgetBulkTable(s, t);
}

std::int32_t ReceivedTableLength(const std::uint8_t* buffer, int received, std::uint32_t capacity) {
    if (!buffer || received < 4 || capacity < 4) return 0;
    const std::int64_t claimed = static_cast<std::int32_t>(load_u32(buffer));
    const std::int64_t got = std::min<std::int64_t>(received, capacity) - 4;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(claimed, 0, got));
}

int ReadLog(DeviceSession& s, int mode) {
    if (!EnsureBulkBuffer(s, kLogBufferSize)) return -2;
    std::uint8_t* const buf = s.bulkBuffer.data();
    const std::uint32_t cap = s.bulkBuffer.capacity();
    bool fallback = false;
    TableReply rr;
    int decidingReply = 0;
    if (IsFirmwareAtLeast(s, "Ver 6.01") && mode != 0) {
        // Table id, three bytes we leave zero, and in mode 2 the caller's
        // value for the terminal.
        std::memset(buf, 0, std::min<std::uint32_t>(8, cap));
        buf[0] = kTableAttLog;
        int requestLength = 1;
        if (mode == 2 && cap >= 8) {
            store_u32(buf + 4, static_cast<std::uint32_t>(s.logReadArg));
            requestLength = 8;
        }
        rr = ReadTable(s, CMD_PREPARE_TABLE, buf, cap, requestLength, s.dataTimeout);
        if (rr.reply == REPLY_OK) {
            decidingReply = FreeTable(s, kTableAttLog);
        } else if (rr.reply == REPLY_ERROR && rr.result == 0) {
            ForgetBulkTable(s, BulkTable::Log);
            return 0;
        } else {
            fallback = true;
        }
    } else {
        rr = ReadTable(s, CMD_READ_ATTLOG, buf, cap, 0, s.dataTimeout);
        decidingReply = rr.reply;
    }
    if (!fallback) {
        if (decidingReply == REPLY_OK && rr.result > 0) {
            HoldBulkTable(s, BulkTable::Log, buf + 4, ReceivedTableLength(buf, rr.result, cap));
            return 1;
        }
        if (decidingReply == REPLY_ERROR && rr.result == 0) {
            ForgetBulkTable(s, BulkTable::Log);
            return 0;
        }
    }
    std::int32_t length = 0;
    const int q = QueryTable(s, kTableAttLog, buf, cap, &length);
    if (q == 1) {
        HoldBulkTable(s, BulkTable::Log, buf, length);
        return 1;
    }
    if (q == 0) {
        ForgetAllBulkTables(s);
        return 0;
    }
    return FailBulk(s);
}

int ReadLogEx(DeviceSession& s, int mode, std::int32_t arg) {
    s.logReadArg = arg;
    return ReadLog(s, mode);
}

int ReadOpLog(DeviceSession& s, int mode) {
    if (!IsFirmwareAtLeast(s, "Ver 5.04")) return 0;
    if (!EnsureBulkBuffer(s, kOpLogBufferSize)) return -2;
    std::uint8_t* const buf = s.bulkBuffer.data();
    const std::uint32_t cap = s.bulkBuffer.capacity();
    TableReply rr;
    int decidingReply = 0;
    if (IsFirmwareAtLeast(s, "Ver 6.01") && mode != 0) {
        buf[0] = kTableOpLog;
        rr = ReadTable(s, CMD_PREPARE_TABLE, buf, cap, 1, s.dataTimeout);
        if (rr.reply == REPLY_OK) {
            decidingReply = FreeTable(s, kTableOpLog);
        } else if (rr.reply == REPLY_ERROR && rr.result == 0) {
            ForgetBulkTable(s, BulkTable::OpLog);
            return 0;
        } else {
            return FailBulk(s);
        }
    } else {
        rr = ReadTable(s, CMD_READ_OPLOG, buf, cap, 0, s.dataTimeout);
        decidingReply = rr.reply;
    }
    if (decidingReply == REPLY_OK) {
        HoldBulkTable(s, BulkTable::OpLog, buf + 4, ReceivedTableLength(buf, rr.result, cap));
        return 1;
    }
    if (decidingReply == REPLY_ERROR && rr.result == 0) {
        ForgetBulkTable(s, BulkTable::OpLog);
        return 0;
    }
    return FailBulk(s);
}

int ReadTempData(DeviceSession& s) {
    if (!EnsureBulkBuffer(s, kTemplateBufferSize)) return -2;
    std::uint8_t* const buf = s.bulkBuffer.data();
    const std::uint32_t cap = s.bulkBuffer.capacity();
    ForgetBulkTable(s, BulkTable::Templates);
    buf[0] = kTableTemplates;
    const int requestLength = IsFirmwareAtLeast(s, "Ver 5.04") ? 1 : 0;
    const int timeout = static_cast<int>(
        std::clamp<std::int64_t>(std::int64_t{s.dataTimeout} * 300, INT_MIN, INT_MAX));
    TableReply rr = ReadTable(s, CMD_READ_TABLE, buf, cap, requestLength, timeout);
    if (rr.reply == REPLY_OK) {
        HoldBulkTable(s, BulkTable::Templates, buf + 4, ReceivedTableLength(buf, rr.result, cap));
        return 1;
    }
    if (rr.reply == REPLY_ERROR && rr.result == 0) return 0;
    std::int32_t length = 0;
    const int q = QueryTable(s, kTableTemplates, buf, cap, &length);
    if (q == 1) {
        HoldBulkTable(s, BulkTable::Templates, buf, length);
        return 1;
    }
    if (q == 0) {
        ForgetAllBulkTables(s);
        return 0;
    }
    return FailBulk(s);
}

int ReadUserInfo(DeviceSession& s) {
    if (!EnsureUserBuffer(s)) return -2;
    // The table is about to change: the user-number index no longer holds.
    s.pinIndexLength = -1;
    std::uint8_t* const buf = s.userBuffer.data();
    const std::uint32_t cap = s.userBuffer.capacity();
    buf[0] = kTableUsers;
    const int requestLength = IsFirmwareAtLeast(s, "Ver 5.04") ? 1 : 0;
    TableReply rr = ReadTable(s, CMD_READ_USERS, buf, cap, requestLength, s.dataTimeout);
    if (rr.reply == REPLY_OK && rr.result > 0) {
        s.userDataLen = ReceivedTableLength(buf, rr.result, cap);
        s.userCursor = buf + 4;
        return 1;
    }
    // Until a read succeeds the cache holds nothing usable.
    s.userDataLen = 0;
    s.userCursor = buf + 4;
    if (rr.reply == REPLY_ERROR && rr.result == 0) return 0;
    // The fallback's records are placed from byte 4, behind a count word
    // written here, so the table has the same shape as after PMX_READDATA
    // and every lookup finds the records where it walks from.
    std::int32_t length = 0;
    const int q = QueryTable(s, kTableUsers, buf + 4, cap - 4, &length);
    if (q != 1) return q;
    store_u32(buf, static_cast<std::uint32_t>(length));
    s.userDataLen = length;
    s.userCursor = buf + 4;
    return 1;
}

int ReadData(DeviceSession& s, std::uint8_t* buffer, std::int32_t size) {
    // The first byte (the table id) is sent, so there must be one.
    if (!buffer || size < 1) return 4;
    int word = CMD_READ_TABLE;
    PMX_READDATA(s.transport, &word, buffer, size, 1, s.blockSize, s.dataTimeout);
    return (word & 0xFFFF) == REPLY_OK ? 1 : -2;
}

}  // namespace tl
