// Exported entry points of the bulk table reads and the log iterators.
#include <cstring>
#include "exports/guard.h"

#include "records/bulk_read.h"
#include "records/log_iter.h"
#include "termlink.h"

using namespace tl;

namespace {

void DeliverTime(const CalendarTime& t, int* year, int* month, int* day, int* hour, int* minute,
                 int* second) {
    if (year) *year = t.year;
    if (month) *month = t.month;
    if (day) *day = t.day;
    if (hour) *hour = t.hour;
    if (minute) *minute = t.minute;
    if (second) *second = t.second;
}

void DeliverAtt(const AttRecord& r, int* pin, unsigned char* modeCode, unsigned char* attState,
                int* year, int* month, int* day, int* hour, int* minute, int* second) {
    if (pin) *pin = static_cast<int>(r.pin);
    if (modeCode) *modeCode = r.modeCode;
    if (attState) *attState = r.attState;
    DeliverTime(r.time, year, month, day, hour, minute, second);
}

}  // namespace

extern "C" {

TL_API int TL_STDCALL TL_ReadLog(TL_HANDLE session, int mode) {
    return WithSession(session, [&](DeviceSession& s) { return ReadLog(s, mode); });
}

TL_API int TL_STDCALL TL_ReadLogEx(TL_HANDLE session, int mode, int value) {
    return WithSession(session, [&](DeviceSession& s) { return ReadLogEx(s, mode, value); });
}

TL_API int TL_STDCALL TL_ReadOpLog(TL_HANDLE session, int mode) {
    return WithSession(session, [&](DeviceSession& s) { return ReadOpLog(s, mode); });
}

TL_API int TL_STDCALL TL_ReadTempData(TL_HANDLE session) {
    return WithSession(session, [&](DeviceSession& s) { return ReadTempData(s); });
}

TL_API int TL_STDCALL TL_ReadUserInfo(TL_HANDLE session) {
    return WithSession(session, [&](DeviceSession& s) { return ReadUserInfo(s); });
}

TL_API int TL_STDCALL TL_ReadData(TL_HANDLE session, unsigned char* buffer, int size) {
    return WithSession(session, [&](DeviceSession& s) { return ReadData(s, buffer, size); });
}

TL_API int TL_STDCALL TL_GetLog(TL_HANDLE session, int* pin, unsigned char* modeCode,
                                unsigned char* attState, int* year, int* month, int* day, int* hour,
                                int* minute, int* second) {
    return WithSession(session, [&](DeviceSession& s) {
        AttRecord r;
        const int result = NextAttRecord(s, &r);
        if (result != 1) return result;
        DeliverAtt(r, pin, modeCode, attState, year, month, day, hour, minute, second);
        return 1;
    });
}

TL_API int TL_STDCALL TL_GetExtLog(TL_HANDLE session, int* pin, unsigned char* modeCode,
                                   unsigned char* attState, int* year, int* month, int* day,
                                   int* hour, int* minute, int* second, int* extraCode,
                                   int* extraWord) {
    return WithSession(session, [&](DeviceSession& s) {
        AttRecord r;
        const int result = NextAttRecord(s, &r);
        if (result != 1) return result;
        DeliverAtt(r, pin, modeCode, attState, year, month, day, hour, minute, second);
        if (extraCode) *extraCode = r.extraCode;
        if (extraWord) *extraWord = r.extraWord;
        return 1;
    });
}

TL_API int TL_STDCALL TL_SSR_GetLog(TL_HANDLE session, char* idText, unsigned char* modeCode,
                                    unsigned char* attState, int* year, int* month, int* day,
                                    int* hour, int* minute, int* second, int* extraCode) {
    return WithSession(session, [&](DeviceSession& s) {
        AttRecord r;
        const int result = NextSsrAttRecord(s, idText, &r);
        if (result != 1) return result;
        DeliverAtt(r, nullptr, modeCode, attState, year, month, day, hour, minute, second);
        if (extraCode) *extraCode = r.extraCode;
        return 1;
    });
}

TL_API int TL_STDCALL TL_GetOpLog(TL_HANDLE session, int* op, int* code, int* params, int* year,
                                  int* month, int* day, int* hour, int* minute, int* second) {
    return WithSession(session, [&](DeviceSession& s) {
        OpRecord r;
        const int result = NextOpRecord(s, &r);
        if (result != 1) return result;
        if (op) *op = static_cast<int>(r.op);
        if (code) *code = r.code;
        if (params) std::memcpy(params, r.params, sizeof r.params);
        DeliverTime(r.time, year, month, day, hour, minute, second);
        return 1;
    });
}

TL_API int TL_STDCALL TL_SSR_GetOpLog(TL_HANDLE session, char* operatorId, char* userId, int* code,
                                      char* timeText, int* params) {
    return WithSession(session, [&](DeviceSession& s) {
        SsrOpRecord r;
        const int result = NextSsrOpRecord(s, &r);
        if (result != 1) return result;
        if (operatorId) std::memcpy(operatorId, r.operatorId, sizeof r.operatorId);
        if (userId) std::memcpy(userId, r.userId, sizeof r.userId);
        if (code) *code = r.code;
        if (timeText) {
            char text[40];
            FormatOpLogTime(r.time, text, sizeof text);
            std::memcpy(timeText, text, std::strlen(text) + 1);
        }
        if (params) std::memcpy(params, r.params, sizeof r.params);
        return 1;
    });
}

}  // extern "C"
