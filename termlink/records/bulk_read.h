// Bulk table reads into the session cache.
//
// The attendance log, the operation log, the template table and the report
// tables share `bulkBuffer`: it is allocated by the first read that needs it,
// at that read's size, and reused at whatever capacity it has. A successful
// read of one of them forgets the others. The user table has `userBuffer`.
//
// A PMX_READDATA reply starts with the terminal's 32-bit byte count. That
// count is never trusted beyond the bytes actually received: a table's length
// field is the count cut to what arrived after it (and to the buffer), so
// every iterator stays inside received data.
#pragma once

#include <cstdint>

#include "session/session.h"

namespace tl {

// Table ids: the one-byte request of a table read, and PMX_QUERYDATA's kind.
constexpr std::uint8_t kTableAttLog = 1;
constexpr std::uint8_t kTableTemplates = 2;
constexpr std::uint8_t kTableOpLog = 4;
constexpr std::uint8_t kTableUsers = 5;

// Sizes a read allocates its buffer with when there is none yet.
constexpr std::uint32_t kLogBufferSize = 8388608;        // 8 MiB
constexpr std::uint32_t kOpLogBufferSize = 6291456;      // 6 MiB
constexpr std::uint32_t kTemplateBufferSize = 20971520;  // 20 MiB
constexpr std::uint32_t kUserBufferSize = 6291456;       // 6 MiB

// The tables that live in bulkBuffer.
enum class BulkTable { Log, OpLog, Templates, Rules, Depts, Shifts };

// The session's view of one bulkBuffer table.
TableView& BulkView(DeviceSession& s, BulkTable table);

// Allocates bulkBuffer with `size` bytes when it is absent; otherwise keeps it
// at its capacity. False when the allocation failed.
bool EnsureBulkBuffer(DeviceSession& s, std::uint32_t size);

// Allocates and zero-fills userBuffer (6 MiB) when it is absent. False when
// the allocation failed.
bool EnsureUserBuffer(DeviceSession& s);

// The one rule of the shared buffer: a table received into bulkBuffer is held
// from `first` (length bytes) and every other bulkBuffer table is cleared, as
// the read has written over them.
void HoldBulkTable(DeviceSession& s, BulkTable table, std::uint8_t* first, std::int32_t length);

// Clears one bulkBuffer table / every bulkBuffer table except `keep`.
void ForgetBulkTable(DeviceSession& s, BulkTable table);
void ForgetOtherBulkTables(DeviceSession& s, BulkTable keep);
void ForgetAllBulkTables(DeviceSession& s);

// Record bytes of a PMX_READDATA reply of `received` bytes in a buffer of
// `capacity` bytes: the leading count, cut to the bytes received after it;
// 0 when the count is negative or was not received whole.
std::int32_t ReceivedTableLength(const std::uint8_t* buffer, int received, std::uint32_t capacity);

// The exports' bodies. Results: 1 data cached; 0 the terminal has none;
// -2 failure (-100 is never used here).
int ReadLog(DeviceSession& s, int mode);
int ReadLogEx(DeviceSession& s, int mode, std::int32_t arg);
int ReadOpLog(DeviceSession& s, int mode);
int ReadTempData(DeviceSession& s);
int ReadUserInfo(DeviceSession& s);
// CMD_READ_TABLE into the caller's buffer (table id in its first byte);
// nothing is cached. 1 on REPLY_OK, else -2; 4 for no buffer (nothing sent).
int ReadData(DeviceSession& s, std::uint8_t* buffer, std::int32_t size);

}  // namespace tl
