// The terminal's rule, department and shift tables, and saving cached tables
// to the files the report engine reads.
#pragma once

#include <cstdint>

#include "session/session.h"

namespace tl {

// Size bulkBuffer is allocated with by these reads when there is none yet.
constexpr std::uint32_t kReportTableBufferSize = 6291456;  // 6 MiB

// The three reads: 1 table received; 0 the terminal has none; -2 failure.
int ReadAttRule(DeviceSession& s);
int ReadDept(DeviceSession& s);
int ReadShift(DeviceSession& s);

// Writes a cached table to `path`: kind 1 attendance log, 2 users, 3 rule,
// 4 departments, 5 shifts. 1 written; 0 nothing to write or unknown kind (the
// path is left alone); -2 the file could not be written completely (an older
// file at the path is then kept as it was).
int SaveDate(DeviceSession& s, const char* path, int kind);

}  // namespace tl
