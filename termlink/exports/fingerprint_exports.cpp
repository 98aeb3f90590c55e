// Exported entry points of the fingerprint-template and batch families.
#include "exports/guard.h"
#include "termlink.h"
#include "users/batch_update.h"
#include "users/fingerprint_ops.h"

using namespace tl;

extern "C" {

TL_API int TL_STDCALL TL_GetUserTmp(TL_HANDLE session, int number, int finger,
                                    unsigned char* buffer, int* length) {
    return WithSession(
        session, [&](DeviceSession& s) { return GetUserTmp(s, number, finger, buffer, length); });
}

TL_API int TL_STDCALL TL_QueryUserTemp(TL_HANDLE session, int number, int finger,
                                       unsigned char* buffer, int* length) {
    return WithSession(session, [&](DeviceSession& s) {
        return QueryUserTemp(s, number, finger, buffer, length);
    });
}

TL_API int TL_STDCALL TL_SetUserTmp(TL_HANDLE session, int number, int finger, unsigned char* tmp) {
    return WithSession(session,
                       [&](DeviceSession& s) { return SetUserTmp(s, number, finger, tmp); });
}

TL_API int TL_STDCALL TL_AppendUserTmp(TL_HANDLE session, int number, unsigned char* tmp) {
    return WithSession(session, [&](DeviceSession& s) { return AppendUserTmp(s, number, tmp); });
}

TL_API int TL_STDCALL TL_DelUserTmp(TL_HANDLE session, int number, int finger) {
    return WithSession(session, [&](DeviceSession& s) { return DelUserTmp(s, number, finger); });
}

TL_API int TL_STDCALL TL_TestUserTmp(TL_HANDLE session, int* number, const unsigned char* tmp) {
    return WithSession(session, [&](DeviceSession& s) { return TestUserTmp(s, number, tmp); });
}

TL_API int TL_STDCALL TL_GetUserTmpEx(TL_HANDLE session, const char* userId, int finger, int* flag,
                                      unsigned char* buffer, int* length) {
    return WithSession(session, [&](DeviceSession& s) {
        return GetUserTmpEx(s, userId, finger, flag, buffer, length);
    });
}

TL_API int TL_STDCALL TL_QueryUserTempEx(TL_HANDLE session, const char* userId, int finger,
                                         int* flag, unsigned char* buffer, int* length) {
    return WithSession(session, [&](DeviceSession& s) {
        return QueryUserTempEx(s, userId, finger, flag, buffer, length);
    });
}

TL_API int TL_STDCALL TL_SetUserTmpEx(TL_HANDLE session, const char* userId, int finger, int flag,
                                      unsigned char* tmp) {
    return WithSession(
        session, [&](DeviceSession& s) { return SetUserTmpEx(s, userId, finger, flag, tmp); });
}

TL_API int TL_STDCALL SSR_TL_GetUserTmp(TL_HANDLE session, const char* userId, int finger,
                                        unsigned char* buffer, int* length) {
    return WithSession(session, [&](DeviceSession& s) {
        return SsrGetUserTmp(s, userId, finger, buffer, length);
    });
}

TL_API int TL_STDCALL SSR_TL_QueryUserTemp(TL_HANDLE session, const char* userId, int finger,
                                           unsigned char* buffer, int* length) {
    return WithSession(session, [&](DeviceSession& s) {
        return SsrQueryUserTemp(s, userId, finger, buffer, length);
    });
}

TL_API int TL_STDCALL SSR_TL_SetUserTmp(TL_HANDLE session, const char* userId, int finger,
                                        unsigned char* tmp) {
    return WithSession(session,
                       [&](DeviceSession& s) { return SsrSetUserTmp(s, userId, finger, tmp); });
}

TL_API int TL_STDCALL SSR_TL_DelUserTmp(TL_HANDLE session, const char* userId, int finger) {
    return WithSession(session, [&](DeviceSession& s) { return SsrDelUserTmp(s, userId, finger); });
}

TL_API int TL_STDCALL SSR_TL_SetUserTmpExt(TL_HANDLE session, int flag, const char* userId,
                                           int finger, unsigned char* tmp) {
    return WithSession(
        session, [&](DeviceSession& s) { return SsrSetUserTmpExt(s, flag, userId, finger, tmp); });
}

TL_API int TL_STDCALL SSR_TL_DelUserTmpExt(TL_HANDLE session, const char* userId, int finger) {
    return WithSession(session,
                       [&](DeviceSession& s) { return SsrDelUserTmpExt(s, userId, finger); });
}

TL_API int TL_CDECL TL_BeginBatchUpdate(TL_HANDLE session, int flag) {
    return WithSession(session, [&](DeviceSession& s) { return BeginBatchUpdate(s, flag); });
}

TL_API int TL_CDECL TL_BatchUpdate(TL_HANDLE session) {
    return WithSession(session, [&](DeviceSession& s) { return BatchUpdate(s); });
}

TL_API int TL_CDECL TL_CancelBatchUpdate(TL_HANDLE session) {
    return WithSession(session, [&](DeviceSession& s) { return CancelBatchUpdate(s); });
}

}  // extern "C"
