// What the tool needs to know about the terminal to pick the right exports:
// numeric or text user IDs, the user-number width, names for codes.
#pragma once

#include <string>

#include "termlink.h"

namespace tlcli {

struct TerminalTraits {
    bool textIds = false;  // text-ID ("TFT") terminal: SSR_ exports for users and logs
    int pinWidth = 5;      // user-number width; also how much of a text ID is handed out
    bool legacy = false;   // firmware before "Ver 5.04": no enrolled numbers, 16-byte users
    std::string firmware;  // the terminal's version text
};

// Asks the terminal (a few option reads); also makes the library learn the
// user-number width, which the text-ID readers need.
TerminalTraits ReadTraits(TL_HANDLE h);

// Attendance state and verification mode as words.
std::string StateName(int state);
std::string VerifyName(int mode);
std::string PrivilegeName(int privilege);

}  // namespace tlcli
