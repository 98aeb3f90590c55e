// Exported entry points of the user family: classic and text-ID users.
#include "exports/guard.h"
#include "termlink.h"
#include "users/user_ops.h"

using namespace tl;

extern "C" {

TL_API int TL_STDCALL TL_GetUserInfo(TL_HANDLE session, int* pin, char* name, int* privilege,
                                     int* enabled, char* password, unsigned char* card, int* pin2,
                                     int* group, int* timeZones) {
    return WithSession(session, [&](DeviceSession& s) {
        return GetUserInfo(s,
                           {pin, name, privilege, enabled, password, card, pin2, group, timeZones});
    });
}

TL_API int TL_STDCALL TL_QueryUserInfo(TL_HANDLE session, int pin, char* name, int* privilege,
                                       int* enabled, char* password, unsigned char* card, int* pin2,
                                       int* group, int* timeZones) {
    return WithSession(session, [&](DeviceSession& s) {
        return QueryUserInfo(
            s, pin, {nullptr, name, privilege, enabled, password, card, pin2, group, timeZones});
    });
}

TL_API int TL_STDCALL TL_QueryUserByPIN2(TL_HANDLE session, int pin2) {
    return WithSession(session, [&](DeviceSession& s) { return QueryUserByPin2(s, pin2); });
}

TL_API int TL_STDCALL TL_QueryUserByCard(TL_HANDLE session, unsigned char* card) {
    return WithSession(session, [&](DeviceSession& s) { return QueryUserByCard(s, card); });
}

TL_API int TL_STDCALL TL_GetUserID(TL_HANDLE session, int pin2) {
    return WithSession(session, [&](DeviceSession& s) { return GetUserID(s, pin2); });
}

TL_API int TL_STDCALL TL_GetUserPIN2(TL_HANDLE session, int pin) {
    return WithSession(session, [&](DeviceSession& s) { return GetUserPIN2(s, pin); });
}

TL_API int TL_STDCALL TL_SetUserInfo(TL_HANDLE session, int pin, const char* name, int privilege,
                                     int enabled, const char* password, const unsigned char* card,
                                     int pin2, int group, int* timeZones) {
    return WithSession(session, [&](DeviceSession& s) {
        return SetUserInfo(s, pin, name, privilege, enabled, password, card, pin2, group,
                           timeZones);
    });
}

TL_API int TL_STDCALL TL_DelUser(TL_HANDLE session, int number) {
    return WithSession(session, [&](DeviceSession& s) { return DelUser(s, number); });
}

TL_API int TL_STDCALL TL_ClearAdministrators(TL_HANDLE session) {
    return WithSession(session, [&](DeviceSession& s) { return ClearAdministrators(s); });
}

TL_API int TL_STDCALL TL_GetUserGroup(TL_HANDLE session, int number, int* group) {
    return WithSession(session, [&](DeviceSession& s) { return GetUserGroup(s, number, group); });
}

TL_API int TL_STDCALL TL_SetUserGroup(TL_HANDLE session, int number, int group) {
    return WithSession(session, [&](DeviceSession& s) { return SetUserGroup(s, number, group); });
}

TL_API int TL_STDCALL TL_GetUserTZs(TL_HANDLE session, int number, int* timeZones, int* flag) {
    return WithSession(session,
                       [&](DeviceSession& s) { return GetUserTZs(s, number, timeZones, flag); });
}

TL_API int TL_STDCALL TL_SetUserTZs(TL_HANDLE session, int number, int* timeZones) {
    return WithSession(session, [&](DeviceSession& s) { return SetUserTZs(s, number, timeZones); });
}

TL_API int TL_CDECL TL_GetUserInfoEx(TL_HANDLE session, int pin, int pin2, int* value) {
    return WithSession(session,
                       [&](DeviceSession& s) { return GetUserInfoEx(s, pin, pin2, value); });
}

TL_API int TL_CDECL TL_SetUserInfoEx(TL_HANDLE session, int pin, int pin2, int value) {
    return WithSession(session,
                       [&](DeviceSession& s) { return SetUserInfoEx(s, pin, pin2, value); });
}

TL_API int TL_CDECL TL_DeleteUserInfoEx(TL_HANDLE session, int pin, int pin2) {
    return WithSession(session, [&](DeviceSession& s) { return DeleteUserInfoEx(s, pin, pin2); });
}

TL_API int TL_STDCALL SSR_TL_GetUserInfo(TL_HANDLE session, int* pin, char* userId, char* name,
                                         int* privilege, int* enabled, char* password, int* card,
                                         int* group, int* timeZones) {
    return WithSession(session, [&](DeviceSession& s) {
        return SsrGetUserInfo(
            s, {pin, userId, name, privilege, enabled, password, card, group, timeZones});
    });
}

TL_API int TL_STDCALL SSR_TL_QueryUserInfo(TL_HANDLE session, const char* userId, char* name,
                                           int* privilege, int* enabled, char* password, int* card,
                                           int* group, int* timeZones, int* pin) {
    return WithSession(session, [&](DeviceSession& s) {
        return SsrQueryUserInfo(
            s, userId, {pin, nullptr, name, privilege, enabled, password, card, group, timeZones});
    });
}

TL_API int TL_STDCALL SSR_TL_SetUserInfo(TL_HANDLE session, const char* userId, const char* name,
                                         int privilege, int enabled, const char* password,
                                         int* card, int group, int* timeZones) {
    return WithSession(session, [&](DeviceSession& s) {
        return SsrSetUserInfo(s, userId, name, privilege, enabled, password, card, group,
                              timeZones);
    });
}

TL_API int TL_STDCALL SSR_TL_DelUser(TL_HANDLE session, const char* userId) {
    return WithSession(session, [&](DeviceSession& s) { return SsrDelUser(s, userId); });
}

TL_API int TL_STDCALL SSR_TL_DelUserExt(TL_HANDLE session, const char* userId) {
    return WithSession(session, [&](DeviceSession& s) { return SsrDelUserExt(s, userId); });
}

}  // extern "C"
