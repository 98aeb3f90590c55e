/* Access control: time zones, groups, unlock combinations, holidays, doors. */
#ifndef TERMLINK_ACCESS_H
#define TERMLINK_ACCESS_H

#include "termlink/base.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Results: 1 success, -1 null session, -2 refused or no answer, 4 argument
 * out of range (nothing sent). The record readers (TL_GetGroupTZ,
 * TL_GetHolidayTZ, TL_GetlockComb) give -100 when the terminal has no such
 * entry. Outputs are written only on success. Int outputs may be null; a
 * null text buffer or zone array of a reader, or a null text of a writer,
 * gives 4. */

/* ---- Time zones --------------------------------------------------------- */

/* Seven day entries "hhmmhhmm" back to back: 56 digits and a NUL; text >= 57
 * bytes. */
TL_API int TL_STDCALL TL_GetTZInfo(TL_HANDLE session, int zone, char* text);
/* text: exactly the first 56 characters are read (a shorter text gives 4);
 * hours below 24, minutes below 60. */
TL_API int TL_STDCALL TL_SetTZInfo(TL_HANDLE session, int zone, const char* text);

/* ---- Groups --------------------------------------------------------------- */

/* zones: 4 ints; up to three zone numbers in entries 0-2 (entry 3 is the
 * count on TFT terminals, and only there read or written). A null array on
 * writing clears the group's list. */
TL_API int TL_STDCALL TL_GetGroupTZs(TL_HANDLE session, int group, int* zones);
TL_API int TL_STDCALL TL_SetGroupTZs(TL_HANDLE session, int group, int* zones);
/* Group record form: group 0-99 (1-99 on writing), zones up to 50, flag and
 * a 7-bit value whose meaning is the terminal's. */
TL_API int TL_STDCALL TL_GetGroupTZ(TL_HANDLE session, int group, int* zone1, int* zone2,
                                    int* zone3, int* flag, int* value);
TL_API int TL_STDCALL TL_SetGroupTZ(TL_HANDLE session, int group, int zone1, int zone2, int zone3,
                                    int flag, int value);

/* ---- Holidays ------------------------------------------------------------- */

/* 24 entries "MMDDMMDD" and a NUL: text >= 193 bytes; *length (may be null)
 * = 8 x entries in use. */
TL_API int TL_STDCALL TL_GetHoliday(TL_HANDLE session, char* text, int* length);
/* Whole 8-digit entries (at most 24; at most 193 bytes are looked at and
 * characters past the 192nd ignored); the empty text clears the table. */
TL_API int TL_STDCALL TL_SetHoliday(TL_HANDLE session, const char* text);
/* Holiday record form: holiday 1-24, months <= 12, days <= 31. */
TL_API int TL_STDCALL TL_GetHolidayTZ(TL_HANDLE session, int holiday, int* startMonth,
                                      int* startDay, int* endMonth, int* endDay, int* zone);
TL_API int TL_STDCALL TL_SetHolidayTZ(TL_HANDLE session, int holiday, int startMonth, int startDay,
                                      int endMonth, int endDay, int zone);

/* ---- Unlock combinations, door, lock -------------------------------------- */

/* Combination 0-10 of up to five groups (0-99, 0 = none). */
TL_API int TL_STDCALL TL_GetlockComb(TL_HANDLE session, int combination, int* group1, int* group2,
                                     int* group3, int* group4, int* group5);
TL_API int TL_STDCALL TL_SetlockComb(TL_HANDLE session, int combination, int group1, int group2,
                                     int group3, int group4, int group5);
/* The terminal's own text form. Get: the text and a NUL, at most 200 bytes;
 * text[0] is set to NUL before asking, so a failure leaves it empty. Set:
 * the whole NUL-terminated text is sent (without its NUL). */
TL_API int TL_STDCALL TL_GetUnlockGroups(TL_HANDLE session, char* text);
TL_API int TL_STDCALL TL_SetUnlockGroups(TL_HANDLE session, const char* text);
/* Door sensor byte (0-255). */
TL_API int TL_STDCALL TL_GetDoorState(TL_HANDLE session, int* state);
/* Opens the lock for `delay` (the terminal's unit). */
TL_API int TL_STDCALL TL_Unlock(TL_HANDLE session, int delay);
/* The lock-function option ("~LockFunOn") as a decimal value. */
TL_API int TL_STDCALL TL_GetACFun(TL_HANDLE session, int* value);

#ifdef __cplusplus
}
#endif

#endif /* TERMLINK_ACCESS_H */
