// Access control: time zones, group time zones, holidays, unlock
// combinations, door state and remote unlock. Each call is one exchange with
// the terminal; results follow the library's conventions (1 success, -2
// refused, -100 entry missing for the record readers, 4 argument refused with
// nothing sent).
#pragma once

#include "session/session.h"

namespace tl {

// Time zone as 56 digits: seven "hhmmhhmm" day entries.
int GetTZInfo(DeviceSession& s, int zone, char* text);
int SetTZInfo(DeviceSession& s, int zone, const char* text);

// Group time zones as integer lists (up to three zones; entry 3 is the count
// on TFT terminals).
int GetGroupTZs(DeviceSession& s, int group, int* zones);
int SetGroupTZs(DeviceSession& s, int group, const int* zones);

// Group time zones as the packed 8-byte group record.
int GetGroupTZ(DeviceSession& s, int group, int* zone1, int* zone2, int* zone3, int* flag,
               int* value);
int SetGroupTZ(DeviceSession& s, int group, int zone1, int zone2, int zone3, int flag, int value);

// The 24-entry holiday table as 192 digits ("MMDDMMDD" per entry).
int GetHoliday(DeviceSession& s, char* text, int* length);
int SetHoliday(DeviceSession& s, const char* text);

// One holiday as the packed 8-byte holiday record.
int GetHolidayTZ(DeviceSession& s, int holiday, int* startMonth, int* startDay, int* endMonth,
                 int* endDay, int* zone);
int SetHolidayTZ(DeviceSession& s, int holiday, int startMonth, int startDay, int endMonth,
                 int endDay, int zone);

// Unlock combinations: the 8-byte record form and the terminal's text form.
int GetLockComb(DeviceSession& s, int combination, int* groups[5]);
int SetLockComb(DeviceSession& s, int combination, const int groups[5]);
int GetUnlockGroups(DeviceSession& s, char* text);
int SetUnlockGroups(DeviceSession& s, const char* text);

int GetDoorState(DeviceSession& s, int* state);
int Unlock(DeviceSession& s, int delay);
// The lock-function option "~LockFunOn" as a decimal value.
int GetACFun(DeviceSession& s, int* value);

// Size of the caller's buffers for the texts above.
constexpr int kTZTextSize = 57;
constexpr int kHolidayTextSize = 193;
constexpr int kUnlockGroupsTextSize = 200;

}  // namespace tl
