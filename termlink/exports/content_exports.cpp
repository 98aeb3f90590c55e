// Exported entry points of the terminal-content family: short messages and
// their user links, work codes, custom states and voices, short keys.
#include "access/messages.h"
#include "access/short_keys.h"
#include "access/states_voices.h"
#include "access/work_codes.h"
#include "exports/guard.h"
#include "termlink.h"

using namespace tl;

extern "C" {

TL_API int TL_STDCALL TL_GetSMS(TL_HANDLE session, int id, int* kind, int* period, int* year,
                                int* month, int* day, int* hour, int* minute, int* second,
                                char* content) {
    return WithSession(session, [&](DeviceSession& s) {
        return GetSMS(s, id, {kind, period, year, month, day, hour, minute, second, content});
    });
}

TL_API int TL_STDCALL TL_SetSMS(TL_HANDLE session, int id, int kind, int period, int year,
                                int month, int day, int hour, int minute, int second,
                                const char* content) {
    return WithSession(session, [&](DeviceSession& s) {
        return SetSMS(s, id, kind, period, {year, month, day, hour, minute, second}, content);
    });
}

TL_API int TL_STDCALL TL_DeleteSMS(TL_HANDLE session, int id) {
    return WithSession(session, [&](DeviceSession& s) { return DeleteSMS(s, id); });
}

TL_API int TL_STDCALL TL_SetUData(TL_HANDLE session, int number, int pin2, int messageId) {
    return WithSession(session,
                       [&](DeviceSession& s) { return SetUData(s, number, pin2, messageId); });
}

TL_API int TL_STDCALL TL_DeleteUData(TL_HANDLE session, int number, int pin2, int messageId) {
    return WithSession(session,
                       [&](DeviceSession& s) { return DeleteUData(s, number, pin2, messageId); });
}

TL_API int TL_STDCALL TL_SetSsrUData(TL_HANDLE session, const char* userId, int messageId) {
    return WithSession(session,
                       [&](DeviceSession& s) { return SetSsrUData(s, userId, messageId); });
}

TL_API int TL_STDCALL TL_DelSsrUData(TL_HANDLE session, const char* userId, int messageId) {
    return WithSession(session,
                       [&](DeviceSession& s) { return DelSsrUData(s, userId, messageId); });
}

TL_API int TL_STDCALL TL_GetWorkCode(TL_HANDLE session, int id, int* code) {
    return WithSession(session, [&](DeviceSession& s) { return GetWorkCode(s, id, code); });
}

TL_API int TL_STDCALL TL_SetWorkCode(TL_HANDLE session, int id, int code) {
    return WithSession(session, [&](DeviceSession& s) { return SetWorkCode(s, id, code); });
}

TL_API int TL_STDCALL TL_DeleteWorkCode(TL_HANDLE session, int id) {
    return WithSession(session, [&](DeviceSession& s) { return DeleteWorkCode(s, id); });
}

TL_API int TL_STDCALL TL_ClearWorkCode(TL_HANDLE session) {
    return WithSession(session, [&](DeviceSession& s) { return ClearWorkCodes(s); });
}

TL_API int TL_STDCALL TL_SSR_GetWorkCode(TL_HANDLE session, int id, char* name) {
    return WithSession(session, [&](DeviceSession& s) { return SsrGetWorkCode(s, id, name); });
}

TL_API int TL_STDCALL TL_SSR_SetWorkCode(TL_HANDLE session, int id, const char* name) {
    return WithSession(session, [&](DeviceSession& s) { return SsrSetWorkCode(s, id, name); });
}

TL_API int TL_STDCALL TL_SSR_DeleteWorkCode(TL_HANDLE session, int id) {
    return WithSession(session, [&](DeviceSession& s) { return SsrDeleteWorkCode(s, id); });
}

TL_API int TL_STDCALL TL_SSR_ClearWorkCode(TL_HANDLE session) {
    return WithSession(session, [&](DeviceSession& s) { return SsrClearWorkCodes(s); });
}

TL_API int TL_STDCALL TL_SetCustomizeAttState(TL_HANDLE session, int index, int stateCode) {
    return WithSession(session,
                       [&](DeviceSession& s) { return SetCustomizeAttState(s, index, stateCode); });
}

TL_API int TL_STDCALL TL_EnableCustomizeAttState(TL_HANDLE session, int index, int enable) {
    return WithSession(session,
                       [&](DeviceSession& s) { return EnableCustomizeAttState(s, index, enable); });
}

TL_API int TL_STDCALL TL_DelCustomizeAttState(TL_HANDLE session, int index) {
    return WithSession(session, [&](DeviceSession& s) { return DelCustomizeAttState(s, index); });
}

TL_API int TL_STDCALL TL_SetCustomizeVoice(TL_HANDLE session, int index, const char* file) {
    return WithSession(session,
                       [&](DeviceSession& s) { return SetCustomizeVoice(s, index, file); });
}

TL_API int TL_STDCALL TL_EnableCustomizeVoice(TL_HANDLE session, int index, int enable) {
    return WithSession(session,
                       [&](DeviceSession& s) { return EnableCustomizeVoice(s, index, enable); });
}

TL_API int TL_STDCALL TL_DelCustomizeVoice(TL_HANDLE session, int index) {
    return WithSession(session, [&](DeviceSession& s) { return DelCustomizeVoice(s, index); });
}

TL_API int TL_STDCALL TL_SSR_SetShortKey(TL_HANDLE session, int keyId, int function, int stateCode,
                                         const char* label, int autoSwitch, const char* times) {
    return WithSession(session, [&](DeviceSession& s) {
        return SetShortKey(s, keyId, function, stateCode, label, autoSwitch, times);
    });
}

TL_API int TL_STDCALL TL_SSR_GetShortKey(TL_HANDLE session, int keyId, int* function,
                                         int* stateCode, char* label, int* autoSwitch,
                                         char* times) {
    return WithSession(session, [&](DeviceSession& s) {
        return GetShortKey(s, keyId, {function, stateCode, label, autoSwitch, times});
    });
}

}  // extern "C"
