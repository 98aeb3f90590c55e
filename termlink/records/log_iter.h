// Record-by-record iteration over the cached attendance and operation logs.
//
// Each call decodes the record at the table's cursor and advances it; the
// first call downloads the table when it is not cached. Every record is read
// only when it lies wholly inside the data the terminal actually sent: a
// record cut short at the end of the data ends the iteration, as does an
// end marker (user number 0xFFFF in the compact and standard layouts), after
// which the cursor stays at the end so later calls keep reporting the end.
#pragma once

#include <cstdint>

#include "records/device_time.h"
#include "session/session.h"

namespace tl {

// One attendance record as handed to the caller.
struct AttRecord {
    std::uint32_t pin = 0;  // user number (PIN2 where the terminal maps it)
    std::uint8_t modeCode = 0;
    std::uint8_t attState = 0;
    CalendarTime time;
    std::int32_t extraCode = 0;  // extended layout only, else 0
    std::int32_t extraWord = 0;
};

// One operation record.
struct OpRecord {
    std::uint32_t op = 0;  // operator's user number
    std::int32_t code = 0;
    std::int32_t params[4] = {};
    CalendarTime time;
};

// One text-ID operation record.
struct SsrOpRecord {
    char operatorId[24] = {};  // as stored, NUL-padded, not always terminated
    char userId[24] = {};
    std::int32_t code = 0;
    std::int32_t params[3] = {};
    CalendarTime time;
};

// Results of every reader: 1 record delivered; 0 end of data; -2 the
// download failed or the log is empty. `out` is written only on 1.

// Numeric attendance records: 16-byte extended records when extendFmt is
// set, else the delta-coded 4/8-byte compact records.
int NextAttRecord(DeviceSession& s, AttRecord* out);

// 40-byte text-ID attendance records. `idText`, when given, receives the user
// ID: at most min(pinWidth, 24) characters, NUL-filled to that length (no
// terminator when the ID is that long); when pinWidth is above 24 the byte at
// index 24 is also a NUL, so the caller never sees bytes from beyond the ID.
int NextSsrAttRecord(DeviceSession& s, char* idText, AttRecord* out);

// Operation records: 16-byte standard records or 20-byte extended records.
// 0 at once on firmware older than "Ver 5.04".
int NextOpRecord(DeviceSession& s, OpRecord* out);

// 60-byte text-ID operation records.
int NextSsrOpRecord(DeviceSession& s, SsrOpRecord* out);

// The time text of a text-ID operation record: "MM-DD-YYYY hh:mm" (month,
// day, hour and minute with two digits; no seconds).
void FormatOpLogTime(const CalendarTime& t, char* out, std::size_t size);

}  // namespace tl
