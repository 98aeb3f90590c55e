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
 * the table; the reply is a 32-bit byte count and the records (4 + count
 * bytes, never more than size). 1 / -2; 4 when there is no buffer or size is
 * below 1. A table that does not fit gives -2, its count in the first 4 bytes
 * when size is at least 4; a transfer broken off may leave part of it. */
TL_API int TL_STDCALL TL_ReadData(TL_HANDLE session, unsigned char* buffer, int size);

/* ---- Log iteration ------------------------------------------------------ */
/* One record per call from the cached log, downloading it on the first call.
 * 1 record delivered; 0 end of data; -2 download failed or the log is empty;
 * -1 null session. Out-parameters are written only on 1; null ones are
 * skipped. */

TL_API int TL_STDCALL TL_GetLog(TL_HANDLE session, int* pin, unsigned char* modeCode,
                                unsigned char* attState, int* year, int* month, int* day, int* hour,
                                int* minute, int* second);
/* As TL_GetLog, with the extended layout's extra fields (0 in the others). */
TL_API int TL_STDCALL TL_GetExtLog(TL_HANDLE session, int* pin, unsigned char* modeCode,
                                   unsigned char* attState, int* year, int* month, int* day,
                                   int* hour, int* minute, int* second, int* extraCode,
                                   int* extraWord);
/* Text-ID terminals. idText (may be null; 24 bytes) receives the user ID in
 * exactly min(width, 24) bytes, NUL-padded and unterminated when the ID fills
 * them, where width is the user-number width learned with TL_GetPINWidth;
 * nothing is written before the width is known. */
TL_API int TL_STDCALL TL_SSR_GetLog(TL_HANDLE session, char* idText, unsigned char* modeCode,
                                    unsigned char* attState, int* year, int* month, int* day,
                                    int* hour, int* minute, int* second, int* extraCode);
/* Operation log; params receives 4 ints. 0 at once on firmware without one. */
TL_API int TL_STDCALL TL_GetOpLog(TL_HANDLE session, int* op, int* code, int* params, int* year,
                                  int* month, int* day, int* hour, int* minute, int* second);
/* Text-ID operation log: operatorId and userId receive 24 bytes each as
 * stored (NUL-padded, unterminated when the ID fills them); timeText receives
 * "MM-DD-YYYY hh:mm" and a NUL (17 bytes); params receives 3 ints. Null
 * pointers are skipped. */
TL_API int TL_STDCALL TL_SSR_GetOpLog(TL_HANDLE session, char* operatorId, char* userId, int* code,
                                      char* timeText, int* params);

#ifdef __cplusplus
}
#endif

#endif /* TERMLINK_RECORDS_H */
