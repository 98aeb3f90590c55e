/* Users, user lookups and fingerprint templates. */
#ifndef TERMLINK_USERS_H
#define TERMLINK_USERS_H

#include "termlink/base.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Classic users (internal number PIN, enrolled number PIN2) ----------
 *
 * Results: 1 success; 0 end of data / not found; -1 null session; -2 the
 * terminal refused or the user table could not be read; 4 a required
 * argument is missing (nothing sent). Outputs are written only on success;
 * any output pointer may be null. Buffers: name 9 bytes, password 6, card 5
 * (4-byte number then a fifth byte), time zones 4 ints (entry 0 = -1: no
 * list of the user's own). */

/* Hands out the next user of the cached table (downloaded when absent). */
TL_API int TL_STDCALL TL_GetUserInfo(TL_HANDLE session, int* pin, char* name, int* privilege,
                                     int* enabled, char* password, unsigned char* card, int* pin2,
                                     int* group, int* timeZones);
/* By internal number, or by the PIN2 in *pin2 when pin is 0. */
TL_API int TL_STDCALL TL_QueryUserInfo(TL_HANDLE session, int pin, char* name, int* privilege,
                                       int* enabled, char* password, unsigned char* card, int* pin2,
                                       int* group, int* timeZones);
/* The internal number of an enrolled number / card; 0 when not found. */
TL_API int TL_STDCALL TL_QueryUserByPIN2(TL_HANDLE session, int pin2);
TL_API int TL_STDCALL TL_QueryUserByCard(TL_HANDLE session, unsigned char* card);
/* As above, but -1 when not found and -2 on firmware without PIN2. */
TL_API int TL_STDCALL TL_GetUserID(TL_HANDLE session, int pin2);
TL_API int TL_STDCALL TL_GetUserPIN2(TL_HANDLE session, int pin);
/* Writes a user. pin 0: the user with this PIN2, or a new free number.
 * name up to 8 bytes, password up to 5, card 5 bytes or null, timeZones up
 * to three (0-ended) or null. -10: pin outside 0..65534, or no free number. */
TL_API int TL_STDCALL TL_SetUserInfo(TL_HANDLE session, int pin, const char* name, int privilege,
                                     int enabled, const char* password, const unsigned char* card,
                                     int pin2, int group, int* timeZones);
/* 1 deleted (or queued in an open batch); 0 refused or unknown number. */
TL_API int TL_STDCALL TL_DelUser(TL_HANDLE session, int number);
TL_API int TL_STDCALL TL_ClearAdministrators(TL_HANDLE session);
TL_API int TL_STDCALL TL_GetUserGroup(TL_HANDLE session, int number, int* group);
TL_API int TL_STDCALL TL_SetUserGroup(TL_HANDLE session, int number, int group);
/* timeZones: 4 entries in/out; flag: 1 when the user follows the group. */
TL_API int TL_STDCALL TL_GetUserTZs(TL_HANDLE session, int number, int* timeZones, int* flag);
TL_API int TL_STDCALL TL_SetUserTZs(TL_HANDLE session, int number, int* timeZones);
/* The user's extended byte (its meaning is the terminal's). 0: not found. */
TL_API int TL_CDECL TL_GetUserInfoEx(TL_HANDLE session, int pin, int pin2, int* value);
TL_API int TL_CDECL TL_SetUserInfoEx(TL_HANDLE session, int pin, int pin2, int value);
TL_API int TL_CDECL TL_DeleteUserInfoEx(TL_HANDLE session, int pin, int pin2);

/* ---- Text-ID users --------------------------------------------------------
 *
 * userId: up to 24 characters; the reader writes up to the session's user
 * number width (learn it first) plus a NUL. name 24 bytes, password 9. */

TL_API int TL_STDCALL SSR_TL_GetUserInfo(TL_HANDLE session, int* pin, char* userId, char* name,
                                         int* privilege, int* enabled, char* password, int* card,
                                         int* group, int* timeZones);
TL_API int TL_STDCALL SSR_TL_QueryUserInfo(TL_HANDLE session, const char* userId, char* name,
                                           int* privilege, int* enabled, char* password, int* card,
                                           int* group, int* timeZones, int* pin);
TL_API int TL_STDCALL SSR_TL_SetUserInfo(TL_HANDLE session, const char* userId, const char* name,
                                         int privilege, int enabled, const char* password,
                                         int* card, int group, int* timeZones);
/* 1 deleted (or queued); 0 unknown ID or refused. */
TL_API int TL_STDCALL SSR_TL_DelUser(TL_HANDLE session, const char* userId);
TL_API int TL_STDCALL SSR_TL_DelUserExt(TL_HANDLE session, const char* userId);

#ifdef __cplusplus
}
#endif

#endif /* TERMLINK_USERS_H */
