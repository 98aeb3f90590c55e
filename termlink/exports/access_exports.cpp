// Exported entry points of the access-control family.
#include "access/access_control.h"
#include "exports/guard.h"
#include "termlink.h"

using namespace tl;

extern "C" {

TL_API int TL_STDCALL TL_GetTZInfo(TL_HANDLE session, int zone, char* text) {
    return WithSession(session, [&](DeviceSession& s) { return GetTZInfo(s, zone, text); });
}

TL_API int TL_STDCALL TL_SetTZInfo(TL_HANDLE session, int zone, const char* text) {
    return WithSession(session, [&](DeviceSession& s) { return SetTZInfo(s, zone, text); });
}

TL_API int TL_STDCALL TL_GetGroupTZs(TL_HANDLE session, int group, int* zones) {
    return WithSession(session, [&](DeviceSession& s) { return GetGroupTZs(s, group, zones); });
}

TL_API int TL_STDCALL TL_SetGroupTZs(TL_HANDLE session, int group, int* zones) {
    return WithSession(session, [&](DeviceSession& s) { return SetGroupTZs(s, group, zones); });
}

TL_API int TL_STDCALL TL_GetGroupTZ(TL_HANDLE session, int group, int* zone1, int* zone2,
                                    int* zone3, int* flag, int* value) {
    return WithSession(session, [&](DeviceSession& s) {
        return GetGroupTZ(s, group, zone1, zone2, zone3, flag, value);
    });
}

TL_API int TL_STDCALL TL_SetGroupTZ(TL_HANDLE session, int group, int zone1, int zone2, int zone3,
                                    int flag, int value) {
    return WithSession(session, [&](DeviceSession& s) {
        return SetGroupTZ(s, group, zone1, zone2, zone3, flag, value);
    });
}

TL_API int TL_STDCALL TL_GetHoliday(TL_HANDLE session, char* text, int* length) {
    return WithSession(session, [&](DeviceSession& s) { return GetHoliday(s, text, length); });
}

TL_API int TL_STDCALL TL_SetHoliday(TL_HANDLE session, const char* text) {
    return WithSession(session, [&](DeviceSession& s) { return SetHoliday(s, text); });
}

TL_API int TL_STDCALL TL_GetHolidayTZ(TL_HANDLE session, int holiday, int* startMonth,
                                      int* startDay, int* endMonth, int* endDay, int* zone) {
    return WithSession(session, [&](DeviceSession& s) {
        return GetHolidayTZ(s, holiday, startMonth, startDay, endMonth, endDay, zone);
    });
}

TL_API int TL_STDCALL TL_SetHolidayTZ(TL_HANDLE session, int holiday, int startMonth, int startDay,
                                      int endMonth, int endDay, int zone) {
    return WithSession(session, [&](DeviceSession& s) {
        return SetHolidayTZ(s, holiday, startMonth, startDay, endMonth, endDay, zone);
    });
}

TL_API int TL_STDCALL TL_GetlockComb(TL_HANDLE session, int combination, int* group1, int* group2,
                                     int* group3, int* group4, int* group5) {
    return WithSession(session, [&](DeviceSession& s) {
        int* groups[5] = {group1, group2, group3, group4, group5};
        return GetLockComb(s, combination, groups);
    });
}

TL_API int TL_STDCALL TL_SetlockComb(TL_HANDLE session, int combination, int group1, int group2,
                                     int group3, int group4, int group5) {
    return WithSession(session, [&](DeviceSession& s) {
        const int groups[5] = {group1, group2, group3, group4, group5};
        return SetLockComb(s, combination, groups);
    });
}

TL_API int TL_STDCALL TL_GetUnlockGroups(TL_HANDLE session, char* text) {
    return WithSession(session, [&](DeviceSession& s) { return GetUnlockGroups(s, text); });
}

TL_API int TL_STDCALL TL_SetUnlockGroups(TL_HANDLE session, const char* text) {
    return WithSession(session, [&](DeviceSession& s) { return SetUnlockGroups(s, text); });
}

TL_API int TL_STDCALL TL_GetDoorState(TL_HANDLE session, int* state) {
    return WithSession(session, [&](DeviceSession& s) { return GetDoorState(s, state); });
}

TL_API int TL_STDCALL TL_Unlock(TL_HANDLE session, int delay) {
    return WithSession(session, [&](DeviceSession& s) { return Unlock(s, delay); });
}

TL_API int TL_STDCALL TL_GetACFun(TL_HANDLE session, int* value) {
    return WithSession(session, [&](DeviceSession& s) { return GetACFun(s, value); });
}

}  // extern "C"
