// Exported entry points of the report tables and the report output.
#include "exports/guard.h"
#include "report/engine.h"
#include "report/tables.h"
#include "termlink.h"

using namespace tl;

extern "C" {

TL_API int TL_STDCALL TL_SSR_ReadAttRule(TL_HANDLE session) {
    return WithSession(session, [&](DeviceSession& s) { return ReadAttRule(s); });
}

TL_API int TL_STDCALL TL_SSR_ReadDPT(TL_HANDLE session) {
    return WithSession(session, [&](DeviceSession& s) { return ReadDept(s); });
}

TL_API int TL_STDCALL TL_SSR_ReadTurn(TL_HANDLE session) {
    return WithSession(session, [&](DeviceSession& s) { return ReadShift(s); });
}

TL_API int TL_STDCALL TL_SSR_SaveDate(TL_HANDLE session, const char* path, int kind) {
    return WithSession(session, [&](DeviceSession& s) { return SaveDate(s, path, kind); });
}

TL_API int TL_STDCALL TL_SSR_OutPutHtml(TL_HANDLE session, const char* userId, const char* logPath,
                                        const char* usersPath, const char* deptPath,
                                        const char* shiftPath, int fromYear, int fromMonth,
                                        int fromDay, int fromHour, int fromMinute, int fromSecond,
                                        int toYear, int toMonth, int toDay, int toHour,
                                        int toMinute, int toSecond, const char* outPath,
                                        const char* workDir, const char* rulePath, int kind,
                                        const char* caption) {
    return Guarded(-2, [&] {
        report::ReportRequest r;
        r.userId = userId;
        r.logPath = logPath;
        r.usersPath = usersPath;
        r.deptPath = deptPath;
        r.shiftPath = shiftPath;
        const std::int32_t from[6] = {fromYear, fromMonth,  fromDay,
                                      fromHour, fromMinute, fromSecond};
        const std::int32_t to[6] = {toYear, toMonth, toDay, toHour, toMinute, toSecond};
        for (int i = 0; i < 6; ++i) {
            r.from[i] = from[i];
            r.to[i] = to[i];
        }
        r.outPath = outPath;
        r.workDir = workDir;
        r.rulePath = rulePath;
        r.kind = kind;
        r.caption = caption;
        return report::OutPutHtml(as_session(session), r);
    });
}

}  // extern "C"
