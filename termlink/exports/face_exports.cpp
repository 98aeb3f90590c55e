// Exported entry points of the face-template and enrolment-control family.
#include "exports/guard.h"
#include "termlink.h"
#include "users/enrol_control.h"
#include "users/faces.h"

using namespace tl;

extern "C" {

TL_API int TL_STDCALL TL_GetUserFace(TL_HANDLE session, const char* userId, int faceIndex,
                                     unsigned char* buffer, int* length) {
    return WithSession(session, [&](DeviceSession& s) {
        return GetUserFace(s, userId, faceIndex, buffer, length);
    });
}

TL_API int TL_STDCALL TL_SetUserFace(TL_HANDLE session, const char* userId, int faceIndex,
                                     const unsigned char* faceData, int length) {
    return WithSession(session, [&](DeviceSession& s) {
        return SetUserFace(s, userId, faceIndex, faceData, length);
    });
}

TL_API int TL_STDCALL TL_DelUserFace(TL_HANDLE session, const char* userId, int faceIndex) {
    return WithSession(session,
                       [&](DeviceSession& s) { return DelUserFace(s, userId, faceIndex); });
}

TL_API int TL_STDCALL TL_StartEnroll(TL_HANDLE session, int number, int finger) {
    return WithSession(session, [&](DeviceSession& s) { return StartEnroll(s, number, finger); });
}

TL_API int TL_STDCALL TL_StartEnrollEx(TL_HANDLE session, const char* userId, int finger,
                                       int flag) {
    return WithSession(session,
                       [&](DeviceSession& s) { return StartEnrollEx(s, userId, finger, flag); });
}

TL_API int TL_STDCALL TL_StartVerify(TL_HANDLE session, int number, int finger) {
    return WithSession(session, [&](DeviceSession& s) { return StartVerify(s, number, finger); });
}

TL_API int TL_STDCALL TL_StartIdentify(TL_HANDLE session) {
    return WithSession(session, [&](DeviceSession& s) { return StartIdentify(s); });
}

TL_API int TL_STDCALL TL_CancelOperation(TL_HANDLE session) {
    return WithSession(session, [&](DeviceSession& s) { return CancelOperation(s); });
}

TL_API int TL_STDCALL TL_QueryState(TL_HANDLE session, int* state) {
    return WithSession(session, [&](DeviceSession& s) { return QueryState(s, state); });
}

}  // extern "C"
