#include "report/tables.h"

#include <cstdint>
#include <cstdio>
#include <string>

#include "records/bulk_read.h"
#include "report/report_files.h"
#include "session/commands.h"

namespace tl {

namespace {

struct TableFields {
    BulkTable table;
    std::uint8_t* DeviceSession::*start;
    std::uint8_t* DeviceSession::*cursor;
    std::int32_t DeviceSession::*length;
};

constexpr TableFields kRule{BulkTable::Rules, &DeviceSession::ruleStart, &DeviceSession::ruleCursor,
                            &DeviceSession::ruleDataLen};
constexpr TableFields kDept{BulkTable::Depts, &DeviceSession::deptStart, &DeviceSession::deptCursor,
                            &DeviceSession::deptDataLen};
constexpr TableFields kShift{BulkTable::Shifts, &DeviceSession::shiftStart,
                             &DeviceSession::shiftCursor, &DeviceSession::shiftDataLen};

int ReadReportTable(DeviceSession& s, int code, const TableFields& f) {
    if (!EnsureBulkBuffer(s, kReportTableBufferSize)) return -2;
    int word = code;
    const int result = PMX_READDATA(s.transport, &word, s.bulkBuffer,
                                    static_cast<int>(s.bulkCapacity), 0, 1, s.dataTimeout);
    const int reply = word & 0xFFFF;
    if (reply == REPLY_OK) {
        ForgetOtherBulkTables(s, f.table);
        // The leading count, never beyond the bytes that arrived.
        s.*f.length = ReceivedTableLength(s.bulkBuffer, result, s.bulkCapacity);
        s.*f.start = s.*f.cursor = s.bulkBuffer + 4;
        return 1;
    }
    if (reply == REPLY_ERROR && result == 0) return 0;
    // A failed transfer may have written over any table held in bulkBuffer:
    // all of them are forgotten rather than handed out half overwritten.
    ForgetAllBulkTables(s);
    return -2;
}

// Bytes [start, start + length) when they lie wholly inside [base, base + capacity);
// otherwise as many as do, from start.
std::int64_t BytesInside(const std::uint8_t* base, std::uint32_t capacity,
                         const std::uint8_t* start, std::int64_t length) {
    if (!base || !start || length <= 0) return 0;
    const auto b = reinterpret_cast<std::uintptr_t>(base);
    const auto p = reinterpret_cast<std::uintptr_t>(start);
    if (p < b || p - b > capacity) return 0;
    const std::int64_t room = static_cast<std::int64_t>(capacity - (p - b));
    return length < room ? length : room;
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
    return ReadReportTable(s, CMD_READ_ATTRULE, kRule);
}
int ReadDept(DeviceSession& s) {
    return ReadReportTable(s, CMD_READ_DEPT, kDept);
}
int ReadShift(DeviceSession& s) {
    return ReadReportTable(s, CMD_READ_SHIFT, kShift);
}

int SaveDate(DeviceSession& s, const char* path, int kind) {
    const std::uint8_t* data = nullptr;
    std::int64_t length = 0;
    switch (kind) {
        case 1:
            // The log and the user table are saved whole, from the table's
            // start, wherever an iteration has left its cursor.
            if (!s.logCursor || s.logDataLen <= 0) return 0;
            data = s.logStart;
            length = BytesInside(s.bulkBuffer, s.bulkCapacity, s.logStart, s.logDataLen);
            break;
        case 2:
            if (!s.userBuffer || s.userDataLen <= 0 || s.userCapacity < 4) return 0;
            data = s.userBuffer + 4;
            length = BytesInside(s.userBuffer, s.userCapacity, data, s.userDataLen);
            break;
        case 3:
            if (!s.ruleStart || s.ruleDataLen <= 0) return 0;
            data = s.ruleStart;
            length = BytesInside(s.bulkBuffer, s.bulkCapacity, s.ruleStart, s.ruleDataLen);
            break;
        case 4:
            if (!s.deptStart || s.deptDataLen <= 0) return 0;
            data = s.deptStart;
            length = BytesInside(s.bulkBuffer, s.bulkCapacity, s.deptStart, s.deptDataLen);
            break;
        case 5:
            if (!s.shiftStart || s.shiftDataLen <= 0) return 0;
            data = s.shiftStart;
            length = BytesInside(s.bulkBuffer, s.bulkCapacity, s.shiftStart, s.shiftDataLen);
            break;
        default:
            return 0;
    }
    if (length <= 0) return 0;
    return WriteWholeFile(path, data, length);
}

}  // namespace tl
