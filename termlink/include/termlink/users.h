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
 * output pointers may be null unless said otherwise. Buffers: name 9 bytes
 * (up to 8 characters and a NUL), password 6 (up to 5 and a NUL), card 5
 * (4-byte number then a fifth byte), time zones 4 ints (entries 0-2, entry 3
 * = 0 when all three are set; entry 0 = -1 alone: no list of the user's
 * own). A privilege byte of unknown meaning leaves *privilege as it was. */

/* Hands out the next user of the cached table (downloaded when absent). */
TL_API int TL_STDCALL TL_GetUserInfo(TL_HANDLE session, int* pin, char* name, int* privilege,
                                     int* enabled, char* password, unsigned char* card, int* pin2,
                                     int* group, int* timeZones);
/* By internal number, or by the PIN2 in *pin2 when pin is 0 (pin2 then
 * required: null gives 4). */
TL_API int TL_STDCALL TL_QueryUserInfo(TL_HANDLE session, int pin, char* name, int* privilege,
                                       int* enabled, char* password, unsigned char* card, int* pin2,
                                       int* group, int* timeZones);
/* The internal number of an enrolled number / card (5 bytes read; null
 * gives 4); 0 when not found. */
TL_API int TL_STDCALL TL_QueryUserByPIN2(TL_HANDLE session, int pin2);
TL_API int TL_STDCALL TL_QueryUserByCard(TL_HANDLE session, unsigned char* card);
/* As above, but -1 when not found and -2 on firmware without PIN2. */
TL_API int TL_STDCALL TL_GetUserID(TL_HANDLE session, int pin2);
TL_API int TL_STDCALL TL_GetUserPIN2(TL_HANDLE session, int pin);
/* Writes a user. pin 0: the user with this PIN2, or a new free number.
 * Read: name up to 8 bytes, password up to 5 (each up to its NUL; null:
 * empty, but 4 on firmware before "Ver 5.04"), card 5 bytes or null,
 * timeZones up to three ints (0-ended; null or -1 in entry 0: no list of the
 * user's own). -10: pin outside 0..65534, or no free number. */
TL_API int TL_STDCALL TL_SetUserInfo(TL_HANDLE session, int pin, const char* name, int privilege,
                                     int enabled, const char* password, const unsigned char* card,
                                     int pin2, int group, int* timeZones);
/* 1 deleted (or queued in an open batch); 0 refused or unknown number. */
TL_API int TL_STDCALL TL_DelUser(TL_HANDLE session, int number);
TL_API int TL_STDCALL TL_ClearAdministrators(TL_HANDLE session);
/* group: required (null gives 4). */
TL_API int TL_STDCALL TL_GetUserGroup(TL_HANDLE session, int number, int* group);
TL_API int TL_STDCALL TL_SetUserGroup(TL_HANDLE session, int number, int group);
/* timeZones: 4 ints in/out, required on reading (null gives 4); -1 in entry
 * 0 asks whether the user follows the group. Entries 0-2 are written, entry
 * 3 only on TFT terminals; writing reads entries 0-2 (and 3 on TFT
 * terminals), null sends no list. flag (may be null): 1 when the user
 * follows the group. */
TL_API int TL_STDCALL TL_GetUserTZs(TL_HANDLE session, int number, int* timeZones, int* flag);
TL_API int TL_STDCALL TL_SetUserTZs(TL_HANDLE session, int number, int* timeZones);
/* The user's extended byte (its meaning is the terminal's) into *value
 * (required: null gives 4). 0: not found. */
TL_API int TL_CDECL TL_GetUserInfoEx(TL_HANDLE session, int pin, int pin2, int* value);
TL_API int TL_CDECL TL_SetUserInfoEx(TL_HANDLE session, int pin, int pin2, int value);
TL_API int TL_CDECL TL_DeleteUserInfoEx(TL_HANDLE session, int pin, int pin2);

/* ---- Text-ID users --------------------------------------------------------
 *
 * userId in: NUL-terminated, up to 24 characters (at most 25 bytes are read;
 * a longer ID is never found); null gives 4. Outputs may be null. userId out:
 * up to the session's user-number width (learn it first with TL_GetPINWidth;
 * only the NUL before that), at most 24 characters, plus a NUL: 25 bytes.
 * name 24 bytes (up to 23 characters and a NUL), password 9 (up to 8 and a
 * NUL), card, group and pin one int each, timeZones 4 ints. */

TL_API int TL_STDCALL SSR_TL_GetUserInfo(TL_HANDLE session, int* pin, char* userId, char* name,
                                         int* privilege, int* enabled, char* password, int* card,
                                         int* group, int* timeZones);
TL_API int TL_STDCALL SSR_TL_QueryUserInfo(TL_HANDLE session, const char* userId, char* name,
                                           int* privilege, int* enabled, char* password, int* card,
                                           int* group, int* timeZones, int* pin);
/* Writes a user, found by ID or given a free internal number. Read: userId
 * as above (an ID over 24 characters gives 4, nothing sent), name up to 24
 * bytes, password up to 8 (each up to its NUL; null: empty), card one int
 * (null: 0), timeZones 4 ints (null: zeros). -10: the ID is new and every internal number is taken;
 * -2 also when the user table cannot be read. */
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
