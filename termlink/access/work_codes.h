// Work codes in their numeric form (a u32 code per u16 id) and their text
// form (a 24-byte name per id written as decimal text).
#pragma once

#include "session/session.h"

namespace tl {

// Numeric form: ids 0-65535, else 4 (nothing sent).
int GetWorkCode(DeviceSession& s, int id, int* code);
int SetWorkCode(DeviceSession& s, int id, int code);
int DeleteWorkCode(DeviceSession& s, int id);
int ClearWorkCodes(DeviceSession& s);

// Text form. The id travels as its decimal text in a 9-byte field with its
// terminator: ids whose text is longer than 8 characters (above 99999999 or
// below -9999999) are refused with 4, never cut into another id.
constexpr int kWorkCodeIdChars = 8;
constexpr int kWorkCodeNameSize = 24;  // the name field; the caller's buffer is 25
int SsrGetWorkCode(DeviceSession& s, int id, char* name);
// At most 24 bytes of the name are sent (a longer name is cut); a name of 24
// bytes fills the field without a terminator.
int SsrSetWorkCode(DeviceSession& s, int id, const char* name);
int SsrDeleteWorkCode(DeviceSession& s, int id);
int SsrClearWorkCodes(DeviceSession& s);

}  // namespace tl
