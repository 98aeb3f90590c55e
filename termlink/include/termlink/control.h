/* Device control: restart, power, sleep, display, sounds, clock display,
 * erasing data and refreshing. */
#ifndef TERMLINK_CONTROL_H
#define TERMLINK_CONTROL_H

#include "termlink/base.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Results: 1 the terminal accepted (REPLY_OK), -2 refused or no answer,
 * -1 null session (nothing sent). */

/* Restarts the terminal. On 1 the session is closed and released: the handle
 * is no longer valid and must not be used or closed again. On -2 the session
 * stays open. */
TL_API int TL_STDCALL TL_RebootDevice(TL_HANDLE session);
TL_API int TL_STDCALL TL_PowerOffDevice(TL_HANDLE session);
TL_API int TL_STDCALL TL_SleepDevice(TL_HANDLE session);
TL_API int TL_STDCALL TL_ResumeDevice(TL_HANDLE session);
TL_API int TL_STDCALL TL_SuspendDevice(TL_HANDLE session);
/* Not supported by the terminals: -100 without contacting them. */
TL_API int TL_STDCALL TL_AutoPowerOff(TL_HANDLE session, int minutes);
TL_API int TL_STDCALL TL_PowerOffTime(TL_HANDLE session, int a, int b, int c, int d, int e);

/* Shows `text` (NUL-terminated; at most its first 97 bytes are read and sent,
 * a longer text is cut there) at row/column (low bytes). Null text: 4. */
TL_API int TL_STDCALL TL_WriteLCD(TL_HANDLE session, int row, int column, const char* text);
TL_API int TL_STDCALL TL_ClearLCD(TL_HANDLE session);
/* Beeps for about durationMs (sent in units of 20 ms, low 8 bits). */
TL_API int TL_STDCALL TL_Beep(TL_HANDLE session, int durationMs);
/* Plays the voice prompts first..last (low bytes), or one prompt. */
TL_API int TL_STDCALL TL_PlayVoice(TL_HANDLE session, int first, int last);
TL_API int TL_STDCALL TL_PlayVoiceByIndex(TL_HANDLE session, int index);
/* Shows (on != 0) or hides the clock on the display (low byte of on sent). */
TL_API int TL_STDCALL TL_EnableClock(TL_HANDLE session, int on);

/* Erases every table on the terminal (waits up to 20 minutes). On 1 the
 * session's cached tables are forgotten: the next read downloads them. */
TL_API int TL_STDCALL TL_ClearData(TL_HANDLE session);
/* Erases one table: kind 1-5 (the terminal's tables 1 attendance log,
 * 2 templates, 4 operation log, 5 users). Another kind gives 4, checked
 * before the session (so a null session with a bad kind gives 4 too). Cache
 * effects as TL_ClearData. */
TL_API int TL_STDCALL TL_ClearDataEx(TL_HANDLE session, int kind);
/* Erase the attendance log / the operation log; caches are kept. */
TL_API int TL_STDCALL TL_ClearLogData(TL_HANDLE session);
TL_API int TL_STDCALL TL_ClearOpLogData(TL_HANDLE session);
/* Makes the terminal re-read its data after changes. */
TL_API int TL_STDCALL TL_RefreshData(TL_HANDLE session);
/* Erase the short messages / the user-to-message links; caches are kept. */
TL_API int TL_STDCALL TL_ClearSMS(TL_HANDLE session);
TL_API int TL_STDCALL TL_ClearUData(TL_HANDLE session);

#ifdef __cplusplus
}
#endif

#endif /* TERMLINK_CONTROL_H */
