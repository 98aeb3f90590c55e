// One user's fingerprint templates on the terminal, one finger at a time:
// read, query from the cached template table, write, append, delete and
// test, in the classic (user number), Ex (text number and flag byte) and
// text-ID families. Writes and deletes are queued while a batch is open.
//
// Results follow the library's convention; a template write's failed
// exchange maps to 0 (transport result 2), -4 (1), -5 (4, not for append)
// or -2. Template reads store the transport's result in *length whatever
// the outcome (in: the buffer's capacity).
#pragma once

#include <cstdint>

#include "session/session.h"

namespace tl {

int GetUserTmp(DeviceSession& s, int number, int finger, std::uint8_t* buffer, int* length);
int SsrGetUserTmp(DeviceSession& s, const char* userId, int finger, std::uint8_t* buffer,
                  int* length);
int GetUserTmpEx(DeviceSession& s, const char* userId, int finger, int* flag, std::uint8_t* buffer,
                 int* length);

int QueryUserTemp(DeviceSession& s, int number, int finger, std::uint8_t* buffer, int* length);
int SsrQueryUserTemp(DeviceSession& s, const char* userId, int finger, std::uint8_t* buffer,
                     int* length);
int QueryUserTempEx(DeviceSession& s, const char* userId, int finger, int* flag,
                    std::uint8_t* buffer, int* length);

int SetUserTmp(DeviceSession& s, int number, int finger, std::uint8_t* tmp);
int SsrSetUserTmp(DeviceSession& s, const char* userId, int finger, std::uint8_t* tmp);
int SetUserTmpEx(DeviceSession& s, const char* userId, int finger, int flag, std::uint8_t* tmp);
// userId: a 24-byte field (read up to its first NUL).
int SsrSetUserTmpExt(DeviceSession& s, int flag, const char* userId, int finger, std::uint8_t* tmp);
int AppendUserTmp(DeviceSession& s, int number, std::uint8_t* tmp);

int DelUserTmp(DeviceSession& s, int number, int finger);
int SsrDelUserTmp(DeviceSession& s, const char* userId, int finger);
int SsrDelUserTmpExt(DeviceSession& s, const char* userId, int finger);

int TestUserTmp(DeviceSession& s, int* number, const std::uint8_t* tmp);

}  // namespace tl
