// Device control: one PMX_SENDCMD exchange each, with a small fixed request.
// The only termlink-side state they touch is the table cache (erasing data
// forgets it) and, for a restart, the session itself.
#pragma once

#include <cstdint>

#include "session/session.h"

namespace tl {

// Erasing everything can take the terminal a long time.
constexpr int kClearAllTimeoutMs = 1200000;
// Display requests: row, column, a zero byte, then the text and its NUL,
// within 100 bytes; a longer text is cut to 97 bytes and sent without a NUL.
constexpr int kLcdRequestSize = 100;
constexpr int kLcdTextMax = kLcdRequestSize - 3;

// A command without request data: 1 on REPLY_OK, else -2.
int SimpleCommand(DeviceSession& s, int code, int timeoutMs);

// 1 on REPLY_OK: the session was closed and released (the handle is gone).
// Any other reply leaves the session open: -2.
int RebootDevice(DeviceSession* s);

// null text: 4, nothing sent.
int WriteLcd(DeviceSession& s, int row, int column, const char* text);
int Beep(DeviceSession& s, int durationMs);
int PlayVoice(DeviceSession& s, int first, int last);
int PlayVoiceByIndex(DeviceSession& s, int index);
int EnableClock(DeviceSession& s, int on);

// Erases every table; on REPLY_OK the session forgets its cached tables.
int ClearData(DeviceSession& s);
// Erases table `kind` (1-5, checked by the caller); cache effects as above.
int ClearDataEx(DeviceSession& s, int kind);
// Whether TL_ClearDataEx accepts a kind. The whole argument must be 1-5: a
// value whose low byte alone falls in range (257) is refused rather than
// erasing a table the caller most likely did not mean.
constexpr bool ClearDataKindValid(int kind) {
    return kind >= 1 && kind <= 5;
}

}  // namespace tl
