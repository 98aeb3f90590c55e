/* Terminal content: short messages and the users they are shown to, work
 * codes, custom attendance states and voice prompts, short keys. */
#ifndef TERMLINK_CONTENT_H
#define TERMLINK_CONTENT_H

#include "termlink/base.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Results: 1 success, -1 null session, -2 refused or no answer, 4 argument
 * refused (nothing sent). Deletes give 0 when the terminal has no such
 * entry. Outputs are written only on success; int outputs may be null, a
 * null text buffer of a reader or null text of a writer gives 4. Ids that
 * travel as 16 bits (message ids, numeric work-code ids, user numbers of the
 * links) must be 0-65535, else 4. */

/* ---- Short messages ------------------------------------------------------- */

/* content: 60 bytes, or 320 on TFT terminals (TL_IsTFTMachine). The whole
 * field is copied; a text that fills it has no terminator, so a caller that
 * wants a C string passes 61 (321) bytes, zeroed. Start time decoded from
 * the terminal's date-time. Kind and period are the terminal's values. */
TL_API int TL_STDCALL TL_GetSMS(TL_HANDLE session, int id, int* kind, int* period, int* year,
                                int* month, int* day, int* hour, int* minute, int* second,
                                char* content);
/* content: NUL-terminated; at most 60 (320) bytes are sent, a longer text is
 * cut. Kind is sent as its low 8 bits, period as its low 16 bits. */
TL_API int TL_STDCALL TL_SetSMS(TL_HANDLE session, int id, int kind, int period, int year,
                                int month, int day, int hour, int minute, int second,
                                const char* content);
TL_API int TL_STDCALL TL_DeleteSMS(TL_HANDLE session, int id);

/* Links between users and messages. number: the internal user number; 0
 * looks the user up by pin2 (TL_QueryUserByPIN2) and gives 0, nothing sent,
 * when no user has it. */
TL_API int TL_STDCALL TL_SetUData(TL_HANDLE session, int number, int pin2, int messageId);
TL_API int TL_STDCALL TL_DeleteUData(TL_HANDLE session, int number, int pin2, int messageId);
/* userId: NUL-terminated text ID (at most 24 characters); an ID the user
 * table does not hold gives 0, nothing sent, and so does every ID on a
 * terminal whose users have no text IDs (TL_IsTFTMachine gives 0). */
TL_API int TL_STDCALL TL_SetSsrUData(TL_HANDLE session, const char* userId, int messageId);
TL_API int TL_STDCALL TL_DelSsrUData(TL_HANDLE session, const char* userId, int messageId);

/* ---- Work codes ----------------------------------------------------------- */

/* Numeric form: a 32-bit code per id 0-65535. */
TL_API int TL_STDCALL TL_GetWorkCode(TL_HANDLE session, int id, int* code);
TL_API int TL_STDCALL TL_SetWorkCode(TL_HANDLE session, int id, int code);
TL_API int TL_STDCALL TL_DeleteWorkCode(TL_HANDLE session, int id);
TL_API int TL_STDCALL TL_ClearWorkCode(TL_HANDLE session);

/* Text form: a name of up to 24 bytes per id whose decimal text has at most
 * 8 characters (-9999999 to 99999999), else 4. Get: name >= 25 bytes, always
 * NUL-terminated. Set: at most 24 bytes of name are sent (longer is cut). */
TL_API int TL_STDCALL TL_SSR_GetWorkCode(TL_HANDLE session, int id, char* name);
TL_API int TL_STDCALL TL_SSR_SetWorkCode(TL_HANDLE session, int id, const char* name);
TL_API int TL_STDCALL TL_SSR_DeleteWorkCode(TL_HANDLE session, int id);
TL_API int TL_STDCALL TL_SSR_ClearWorkCode(TL_HANDLE session);

/* ---- Custom attendance states and voices ---------------------------------- */

/* index 0-7, state code 0-127; 4 on terminals without the extended record
 * format ("~ExtendFmt"). */
TL_API int TL_STDCALL TL_SetCustomizeAttState(TL_HANDLE session, int index, int stateCode);
TL_API int TL_STDCALL TL_EnableCustomizeAttState(TL_HANDLE session, int index, int enable);
TL_API int TL_STDCALL TL_DelCustomizeAttState(TL_HANDLE session, int index);
/* index 0-20. file: 1-19 characters, no '\', not exactly "beep.wav"; else 4. */
TL_API int TL_STDCALL TL_SetCustomizeVoice(TL_HANDLE session, int index, const char* file);
TL_API int TL_STDCALL TL_EnableCustomizeVoice(TL_HANDLE session, int index, int enable);
TL_API int TL_STDCALL TL_DelCustomizeVoice(TL_HANDLE session, int index);

/* ---- Short keys ------------------------------------------------------------ */

/* keyId, function, and for state keys (function 1) stateCode and
 * autoSwitch, are bytes (0-255, else 4). For function 1: label is read up to
 * its NUL, at most 16 bytes (14 on firmware older than "Ver 6.60"; longer is
 * cut); times is "H:M;" up to seven times (missing pairs are 0:0, hours 0-23,
 * minutes 0-59, else 4). Other functions ignore stateCode, label, autoSwitch
 * and times. The key table is read first: 4 when the key conflicts with
 * another key (same state code; same automatic switch time in the same
 * position; a second key of function 2 or 3), nothing written. -4 no
 * memory. */
TL_API int TL_STDCALL TL_SSR_SetShortKey(TL_HANDLE session, int keyId, int function, int stateCode,
                                         const char* label, int autoSwitch, const char* times);
/* label: 16 bytes, NUL-padded (a 16-character label has no terminator);
 * times: >= 43 bytes, "HH:MM;" seven times. Other functions than 1 give
 * state 0, an empty label and text, autoSwitch 0. 1 found, 0 no such key,
 * -2, -4 no memory, 4 keyId outside 0-255 or a null label or times buffer. */
TL_API int TL_STDCALL TL_SSR_GetShortKey(TL_HANDLE session, int keyId, int* function,
                                         int* stateCode, char* label, int* autoSwitch, char* times);

#ifdef __cplusplus
}
#endif

#endif /* TERMLINK_CONTENT_H */
