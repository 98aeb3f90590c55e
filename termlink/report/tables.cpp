#include "report/tables.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "records/bulk_read.h"
#include "report/report_files.h"
#include "session/commands.h"

namespace tl {

namespace {

int ReadReportTable(DeviceSession& s, int code, BulkTable table) {
    if (!EnsureBulkBuffer(s, kReportTableBufferSize)) return -2;
    std::uint8_t* const buf = s.bulkBuffer.data();
    const std::uint32_t cap = s.bulkBuffer.capacity();
    int word = code;
    const int result =
        PMX_READDATA(s.transport, &word, buf, static_cast<int>(cap), 0, 1, s.dataTimeout);
    const int reply = word & 0xFFFF;
    if (reply == REPLY_OK) {
        // The leading count, never beyond the bytes that arrived.
        HoldBulkTable(s, table, buf + 4, ReceivedTableLength(buf, result, cap));
        return 1;
    }
    if (reply == REPLY_ERROR && result == 0) return 0;
    // A failed transfer may have written over any table held in bulkBuffer:
    // all of them are forgotten rather than handed out half overwritten.
    ForgetAllBulkTables(s);
    return -2;
}

// Writes the block to a file beside `path` and puts it in place only when
// every byte was written, so a failed save never destroys the older file.
int WriteWholeFile(const char* path, const std::uint8_t* data, std::int64_t length) {
    if (!path || !*path) return -2;
    if (report::IsSpecialFile(path)) {
        // A device or pipe is written in place, never deleted or replaced.
        std::FILE* f = std::fopen(path, "wb");
        if (!f) return -2;
        const std::size_t n = std::fwrite(data, 1, static_cast<std::size_t>(length), f);
        const bool closed = std::fclose(f) == 0;
        return n == static_cast<std::size_t>(length) && closed ? 1 : -2;
    }
    const std::string tmp = std::string(path) + ".part";
    std::remove(tmp.c_str());
    std::FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) return -2;
    const std::size_t n = std::fwrite(data, 1, static_cast<std::size_t>(length), f);
    const bool closed = std::fclose(f) == 0;
    if (n != static_cast<std::size_t>(length) || !closed) {
        std::remove(tmp.c_str());
        return -2;
    }
    std::remove(path);
    if (std::rename(tmp.c_str(), path) != 0) {
        std::remove(tmp.c_str());
        return -2;
    }
    return 1;
}

}  // namespace

int ReadAttRule(DeviceSession& s) {
    return ReadReportTable(s, CMD_READ_ATTRULE, BulkTable::Rules);
}
int ReadDept(DeviceSession& s) {
    return ReadReportTable(s, CMD_READ_DEPT, BulkTable::Depts);
}
int ReadShift(DeviceSession& s) {
    return ReadReportTable(s, CMD_READ_SHIFT, BulkTable::Shifts);
}

int SaveDate(DeviceSession& s, const char* path, int kind) {
    Bytes data;
    switch (kind) {
        case 1:
            // The log and the user table are saved whole, from the table's
            // start, wherever an iteration has left its cursor.
            if (!s.log.cursor) return 0;
            data = s.log.bytesIn(s.bulkBuffer);
            break;
        case 2:
            // The user table's records start behind its count word.
            if (s.userBuffer.capacity() < 4 || s.userDataLen <= 0) return 0;
            data = Bytes(s.userBuffer.data() + 4,
                         std::min<std::size_t>(static_cast<std::size_t>(s.userDataLen),
                                               s.userBuffer.capacity() - 4));
            break;
        case 3:
            data = s.rule.bytesIn(s.bulkBuffer);
            break;
        case 4:
            data = s.dept.bytesIn(s.bulkBuffer);
            break;
        case 5:
            data = s.shift.bytesIn(s.bulkBuffer);
            break;
        default:
            return 0;
    }
    if (data.empty()) return 0;
    return WriteWholeFile(path, data.data(), static_cast<std::int64_t>(data.size()));
}

}  // namespace tl
