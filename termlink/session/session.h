// DeviceSession: everything termlink keeps about one open terminal connection.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "portmux.h"
#include "records/device_time.h"
#include "session/heap_array.h"
#include "session/table_view.h"

namespace tl {

// One heap record per connection, value-initialised at creation (new
// (std::nothrow) DeviceSession()) and deleted by CloseSession(); the C API
// hands it out as an opaque handle. Buffers are allocated lazily by the code
// that needs them and released by their owners' destructors; a failed
// allocation leaves the buffer absent (null).
//
// Field names as the documented record has them, and where they now live:
//   bulkBuffer, bulkCapacity         bulkBuffer (HeapBuffer), bulkBuffer.capacity()
//   logStart/logCursor/logDataLen    log.start / log.cursor / log.dataLen
//   opLogStart/..Cursor/..DataLen    opLog.start / opLog.cursor / opLog.dataLen
//   tmpStart/tmpCursor/tmpDataLen    tmp.start / tmp.cursor / tmp.dataLen
//   ruleStart/..Cursor/ruleDataLen   rule.start / rule.cursor / rule.dataLen
//   deptStart/..Cursor/deptDataLen   dept.start / dept.cursor / dept.dataLen
//   shiftStart/..Cursor/..DataLen    shift.start / shift.cursor / shift.dataLen
//   userBuffer, userCapacity         userBuffer (HeapBuffer), userBuffer.capacity()
//   userDataLen, userCursor          unchanged
//   batchUserCmds, batchUserCmdsLen  batchUserCmds (ByteList): .data(), .length
//   batchTmpCmds, batchTmpCmdsLen    batchTmpCmds.data(), batchTmpCmds.length
//   batchTmpData, batchTmpDataLen    batchTmpData.data(), batchTmpData.length
//   batchNewUsers, batchNewUsersLen  batchNewUsers.data(), batchNewUsers.length
//   idNumberMap                      idNumberMap (HeapBuffer)
//   rtBuffer                         rtBuffer (HeapBuffer)
//   rtStart/rtCursor/rtDataLen       rt.start / rt.cursor / rt.dataLen
// The six table views cut from bulkBuffer follow one rule, kept in
// records/bulk_read: a successful read of one of them clears the others.
// Absent and empty stay apart: a present userBuffer with userDataLen 0 is an
// empty user table, an absent one a table never (successfully) loaded.
struct DeviceSession {
    PMX_HANDLE transport = nullptr;
    HeapBuffer bulkBuffer;  // attendance log, op log, templates, report tables
    std::int32_t userDataLen = 0;
    HeapBuffer userBuffer;
    std::uint8_t* userCursor = nullptr;
    TableView tmp;
    TableView log;
    TableView opLog;
    TableView rule;
    TableView dept;
    TableView shift;
    std::int32_t cmdTimeout = 0;    // ms, single commands
    std::int32_t dataTimeout = 0;   // ms, bulk reads
    std::uint32_t lastLogTime = 0;  // DeviceTime base of delta-coded log records
    std::int32_t pinWidth = 0;
    char firmwareVersion[52] = {};  // normalised; byte 51 always stays NUL
    std::int32_t hasOSOption = 0;
    // Batch update.
    std::int32_t batchActive = 0;
    std::int32_t batchOverwrite = 0;
    ByteList batchTmpCmds;
    ByteList batchUserCmds;
    ByteList batchTmpData;
    ByteList batchNewUsers;  // records from byte 4
    std::int32_t extendFmt = 0;
    std::int32_t blockSize = 0;
    std::int32_t rtSequence = 0;
    std::int32_t tftMessages = 0;
    std::int32_t serialInitEx = 0;
    char serialInitText[20] = {};
    std::int32_t rtLongRecord = 0;
    std::int32_t isTFT = 0;
    std::int32_t lastIdNumber = 0;
    HeapBuffer idNumberMap;
    std::int32_t logReadArg = 0;
    HeapBuffer rtBuffer;
    TableView rt;  // dataLen: whole records actually received
    std::int32_t extendOpLog = 0;
    std::int32_t fpVersion = 0;
    // The user ID that lastIdNumber was handed out for: an ID not found in the
    // cache resolves to lastIdNumber only when it is this ID (possibly added
    // in an open batch), never to another user's number.
    char lastIdText[25] = {};
    // Index of the cached user table by internal number (65536 entries:
    // record number + 1 of the first record with that PIN, 0 for none), so
    // that mapping every record of a large log to PIN2 does not walk the table
    // each time. Valid only while the cache's buffer, length and record size
    // are the ones it was built from (users/user_lookup.cpp).
    HeapArray<std::uint32_t> pinIndex;
    const std::uint8_t* pinIndexBuffer = nullptr;
    std::int32_t pinIndexLength = -1;
    std::int32_t pinIndexRecordSize = 0;
    // Date of the last log record decoded (log iteration only).
    DayCachedDecoder logTimes;
};

inline DeviceSession* as_session(void* handle) {
    return static_cast<DeviceSession*>(handle);
}

// Firmware generations compared by the normalised version text. The result is
// the sign of the first differing unsigned byte (0 when equal); "older than X"
// is < 0, "X or later" >= 0, "later than X" > 0.
int VersionCompare(const DeviceSession& s, const char* literal);

// Rewrites "Ver X.YY Mmm dd yyyy" as "Ver X.YY yyyymmdd" in place, within the
// 52-byte field.
void NormalizeFirmwareVersion(char (&version)[52]);

// The connect probe's option reader: up to 5 attempts of CMD_GET_OPTION with a
// fixed 1000 ms timeout. Nothing when the option is absent.
std::optional<std::string> ReadOption(DeviceSession& s, std::string_view name);

// Decimal value of an option text: optional leading blanks and sign, then the
// leading digits (0 when there are none). Wraps instead of overflowing.
std::int32_t ParseDecimal(std::string_view text);

// Closes the transport and deletes the record, which releases every buffer
// it owns.
void CloseSession(DeviceSession* s);

}  // namespace tl
