// What the tools need to know about the terminal to pick the right exports
// (numeric or text user IDs, the user-number width), the attendance log and
// the user table read through those exports, and names for codes.
#pragma once

#include <string>

#include "termlink.h"

namespace tlclient {

struct TerminalTraits {
    bool textIds = false;  // text-ID ("TFT") terminal: SSR_ exports for users and logs
    int pinWidth = 5;      // user-number width; also how much of a text ID is handed out
    bool legacy = false;   // firmware before "Ver 5.04": no enrolled numbers, 16-byte users
    std::string firmware;  // the terminal's version text
};

// Asks the terminal (a few option reads); also makes the library learn the
// user-number width, which the text-ID readers need.
TerminalTraits ReadTraits(TL_HANDLE h);

// One attendance record as the library hands it out; the user is the text ID
// on text-ID terminals, else the user number in decimal.
struct AttendanceRecord {
    std::string user;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int state = 0, verify = 0, workCode = 0;
};
// The next record of the log downloaded with TL_ReadLog: 1 a record, 0 the
// end, anything else the library's failure result.
int NextAttendanceRecord(TL_HANDLE h, const TerminalTraits& traits, AttendanceRecord* out);

// One user as the library hands it out, texts cut at their terminator or
// their field's width.
struct UserRecord {
    int pin = 0;     // internal number
    std::string id;  // text ID (text-ID terminals)
    int pin2 = 0;    // enrolled number (numeric terminals)
    std::string name, password;
    int privilege = 0, enabled = 0, group = 0;
    int zones[4] = {0, 0, 0, 0};
    int textCard = 0;            // card number of a text-ID user
    unsigned char card[5] = {};  // card bytes of a numeric user
};
// The next user of the table downloaded with TL_ReadUserInfo: 1 a user, 0
// the end, anything else the library's failure result.
int NextUserRecord(TL_HANDLE h, const TerminalTraits& traits, UserRecord* out);
// A numeric user's five card bytes as one number (little-endian).
unsigned long long CardValue(const unsigned char* card);

// Attendance state and verification mode as words.
std::string StateName(int state);
std::string VerifyName(int mode);
std::string PrivilegeName(int privilege);
// An operation-log code as words; empty for a code without a name.
std::string OperationName(int code);

}  // namespace tlclient
