// DeviceSession: everything termlink keeps about one open terminal connection.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "portmux.h"
#include "records/device_time.h"

namespace tl {

// One heap record per connection, zero-filled at creation. Buffers are plain
// heap blocks (std::malloc), allocated lazily by the code that needs them and
// released by close_session(); a failed allocation leaves the pointer null.
struct DeviceSession {
    PMX_HANDLE transport = nullptr;
    std::uint8_t* bulkBuffer = nullptr;  // attendance log, op log, templates, report tables
    std::uint32_t bulkCapacity = 0;
    std::int32_t userDataLen = 0;
    std::int32_t tmpDataLen = 0;
    std::int32_t logDataLen = 0;
    std::int32_t opLogDataLen = 0;
    std::uint32_t userCapacity = 0;
    std::uint8_t* userBuffer = nullptr;
    std::uint8_t* tmpStart = nullptr;
    std::uint8_t* logStart = nullptr;
    std::uint8_t* opLogStart = nullptr;
    std::uint8_t* userCursor = nullptr;
    std::uint8_t* tmpCursor = nullptr;
    std::uint8_t* logCursor = nullptr;
    std::uint8_t* opLogCursor = nullptr;
    std::uint8_t* ruleStart = nullptr;
    std::uint8_t* ruleCursor = nullptr;
    std::uint8_t* deptStart = nullptr;
    std::uint8_t* deptCursor = nullptr;
    std::uint8_t* shiftStart = nullptr;
    std::uint8_t* shiftCursor = nullptr;
    std::int32_t ruleDataLen = 0;
    std::int32_t deptDataLen = 0;
    std::int32_t shiftDataLen = 0;
    std::int32_t cmdTimeout = 0;    // ms, single commands
    std::int32_t dataTimeout = 0;   // ms, bulk reads
    std::uint32_t lastLogTime = 0;  // DeviceTime base of delta-coded log records
    std::int32_t pinWidth = 0;
    char firmwareVersion[52] = {};  // normalised; byte 51 always stays NUL
    std::int32_t hasOSOption = 0;
    // Batch update.
    std::int32_t batchActive = 0;
    std::int32_t batchOverwrite = 0;
    std::uint8_t* batchTmpCmds = nullptr;
    std::uint8_t* batchUserCmds = nullptr;
    std::uint8_t* batchTmpData = nullptr;
    std::int32_t batchTmpCmdsLen = 0;
    std::int32_t batchUserCmdsLen = 0;
    std::int32_t batchTmpDataLen = 0;
    std::uint8_t* batchNewUsers = nullptr;
    std::int32_t batchNewUsersLen = 0;
    std::int32_t extendFmt = 0;
    std::int32_t blockSize = 0;
    std::int32_t rtSequence = 0;
    std::int32_t tftMessages = 0;
    std::int32_t serialInitEx = 0;
    char serialInitText[20] = {};
    std::int32_t rtLongRecord = 0;
    std::int32_t isTFT = 0;
    std::int32_t lastIdNumber = 0;
    std::uint8_t* idNumberMap = nullptr;
    std::int32_t logReadArg = 0;
    std::uint8_t* rtStart = nullptr;
    std::uint8_t* rtCursor = nullptr;
    std::uint8_t* rtBuffer = nullptr;
    std::int32_t rtDataLen = 0;  // whole records actually received
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
    std::uint32_t* pinIndex = nullptr;
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

// Releases every buffer the session owns, closes the transport and frees the
// record.
void CloseSession(DeviceSession* s);

}  // namespace tl
