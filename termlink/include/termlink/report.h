/* Report tables and HTML attendance reports. */
#ifndef TERMLINK_REPORT_H
#define TERMLINK_REPORT_H

#include "termlink/base.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Report tables: 1 received; 0 the terminal has none; -1 null session; -2 failure. */
TL_API int TL_STDCALL TL_SSR_ReadAttRule(TL_HANDLE session);
TL_API int TL_STDCALL TL_SSR_ReadDPT(TL_HANDLE session);
TL_API int TL_STDCALL TL_SSR_ReadTurn(TL_HANDLE session);
/* kind: 1 attendance log, 2 users, 3 rule, 4 departments, 5 shifts. path:
   NUL-terminated file name (null or empty: -2 when there is a table).
   1 written; 0 nothing to write or unknown kind; -2 not written completely. */
TL_API int TL_STDCALL TL_SSR_SaveDate(TL_HANDLE session, const char* path, int kind);

/* Calculates attendance from saved table files and writes one HTML page:
   kind 1 punch list, 2 exception list, 3 statistics. An empty or null userId
   takes every user of the session's user table; otherwise it is a text ID of
   up to 24 characters (at most 25 bytes read). Every text is NUL-terminated
   and read whole; a null or empty path names no file, a null caption is
   empty, and workDir (null: none) is put before the work files' names as it
   is, with no separator added. 1 after a run; -1 null session; -2 the user
   table could not be read; 0 the user table is empty. */
TL_API int TL_STDCALL TL_SSR_OutPutHtml(TL_HANDLE session, const char* userId, const char* logPath,
                                        const char* usersPath, const char* deptPath,
                                        const char* shiftPath, int fromYear, int fromMonth,
                                        int fromDay, int fromHour, int fromMinute, int fromSecond,
                                        int toYear, int toMonth, int toDay, int toHour,
                                        int toMinute, int toSecond, const char* outPath,
                                        const char* workDir, const char* rulePath, int kind,
                                        const char* caption);

#ifdef __cplusplus
}
#endif

#endif /* TERMLINK_REPORT_H */
