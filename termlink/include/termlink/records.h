/* Bulk table reads and attendance/operation log iteration. */
#ifndef TERMLINK_RECORDS_H
#define TERMLINK_RECORDS_H

#include "termlink/base.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Bulk table reads -------------------------------------------------- */
/* Each read downloads one whole table into the session's cache. Results:
 * 1 cached; 0 the terminal has no records; -2 failure; -1 null session. */

/* Attendance log. mode 0: the plain log read; 1: the prepared-table read on
 * firmware that has it; 2: as 1, also forwarding the value of TL_ReadLogEx. */
TL_API int TL_STDCALL TL_ReadLog(TL_HANDLE session, int mode);
/* Stores `value` for the terminal, then reads as TL_ReadLog. */
TL_API int TL_STDCALL TL_ReadLogEx(TL_HANDLE session, int mode, int value);
/* Operation log; 0 at once on firmware without one. */
TL_API int TL_STDCALL TL_ReadOpLog(TL_HANDLE session, int mode);
/* Fingerprint template table. */
TL_API int TL_STDCALL TL_ReadTempData(TL_HANDLE session);
/* User table. */
TL_API int TL_STDCALL TL_ReadUserInfo(TL_HANDLE session);
/* One table into the caller's buffer of `size` bytes, whose first byte names
 * the table; the reply is a 32-bit byte count and the records. 1 / -2; 4 when
 * there is no buffer. */
TL_API int TL_STDCALL TL_ReadData(TL_HANDLE session, unsigned char *buffer, int size);

#ifdef __cplusplus
}
#endif

#endif /* TERMLINK_RECORDS_H */
