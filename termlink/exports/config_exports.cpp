// Exported entry points of device information, options, identity, clock and
// network settings.
#include "config/device_info.h"
#include "config/identity.h"
#include "config/options.h"
#include "exports/guard.h"
#include "termlink.h"

#include <cstring>

using namespace tl;

extern "C" {

TL_API int TL_STDCALL TL_GetDeviceInfo(TL_HANDLE session, int index, int* value) {
    return WithSession(session, [&](DeviceSession& s) { return GetDeviceInfo(s, index, value); });
}

TL_API int TL_STDCALL TL_SetDeviceInfo(TL_HANDLE session, int index, intptr_t value) {
    return WithSession(session, [&](DeviceSession& s) {
        return SetDeviceInfo(s, index, static_cast<std::int32_t>(value),
                             reinterpret_cast<const char*>(value));
    });
}

TL_API int TL_STDCALL TL_GetDeviceStrInfo(TL_HANDLE session, int index, char* value) {
    return WithSession(session,
                       [&](DeviceSession& s) { return GetDeviceStrInfo(s, index, value); });
}

TL_API int TL_STDCALL TL_GetSysOption(TL_HANDLE session, const char* key, char* value) {
    return WithSession(session, [&](DeviceSession& s) { return GetSysOption(s, key, value); });
}

TL_API int TL_STDCALL TL_SetSysOption(TL_HANDLE session, const char* key, const char* value) {
    return WithSession(session, [&](DeviceSession& s) { return SetSysOption(s, key, value); });
}

TL_API int TL_STDCALL TL_RefreshOptions(TL_HANDLE session) {
    return WithSession(session, [&](DeviceSession& s) { return RefreshOptions(s); });
}

TL_API int TL_STDCALL TL_GetFirmwareVersion(TL_HANDLE session, char* version) {
    return WithSession(session, [&](DeviceSession& s) { return GetFirmwareVersion(s, version); });
}

TL_API int TL_STDCALL TL_GetSerialNumber(TL_HANDLE session, char* text) {
    return WithSession(
        session, [&](DeviceSession& s) { return GetOptionTextOr(s, "~SerialNumber", "0", text); });
}

TL_API int TL_STDCALL TL_GetProductName(TL_HANDLE session, char* text) {
    return WithSession(session, [&](DeviceSession& s) {
        return GetOptionTextOr(s, "~DeviceName", "Clockara I", text);
    });
}

TL_API int TL_STDCALL TL_GetVendor(TL_HANDLE session, char* text) {
    return WithSession(session, [&](DeviceSession& s) {
        return GetOptionTextOr(s, "~OEMVendor", "Qavelin Inc.", text);
    });
}

TL_API int TL_STDCALL TL_GetSensorSN(TL_HANDLE session, char* text) {
    return WithSession(session,
                       [&](DeviceSession& s) { return GetOptionTextOr(s, "GUID", "", text); });
}

TL_API int TL_STDCALL TL_ReadCustData(TL_HANDLE session, char* text) {
    return WithSession(session,
                       [&](DeviceSession& s) { return GetOptionTextOr(s, "~CustData", "", text); });
}

TL_API int TL_STDCALL TL_WriteCustData(TL_HANDLE session, const char* text) {
    return WithSession(
        session, [&](DeviceSession& s) { return text ? SetOptionText(s, "~CustData", text) : 4; });
}

TL_API int TL_STDCALL TL_GetWiegandFmt(TL_HANDLE session, char* text) {
    return WithSession(
        session, [&](DeviceSession& s) { return GetOptionTextOr(s, "WiegandFmt", "", text); });
}

TL_API int TL_STDCALL TL_SetWiegandFmt(TL_HANDLE session, const char* text) {
    return WithSession(
        session, [&](DeviceSession& s) { return text ? SetOptionText(s, "WiegandFmt", text) : 4; });
}

TL_API int TL_STDCALL TL_GetIPAddress(TL_HANDLE session, char* text) {
    return WithSession(
        session, [&](DeviceSession& s) { return GetOptionTextOr(s, "IPAddress", nullptr, text); });
}

TL_API int TL_STDCALL TL_SetIPAddress(TL_HANDLE session, const char* address) {
    return WithSession(session, [&](DeviceSession& s) {
        return address ? SetOptionText(s, "IPAddress", address) : 4;
    });
}

TL_API int TL_STDCALL TL_GetDevicePort(TL_HANDLE session, unsigned short* port) {
    return WithSession(session, [&](DeviceSession& s) {
        std::int32_t v = 0;
        if (GetOptionInt(s, "UDPPort", &v) != 1) return -2;
        if (port) *port = static_cast<unsigned short>(v);
        return 1;
    });
}

TL_API int TL_STDCALL TL_SetDevicePort(TL_HANDLE session, int port) {
    return WithSession(session, [&](DeviceSession& s) {
        return SetOptionInt(s, "UDPPort", static_cast<std::uint16_t>(port), 0);
    });
}

TL_API int TL_STDCALL TL_GetDeviceNumber(TL_HANDLE session, unsigned short* number) {
    return WithSession(session, [&](DeviceSession& s) {
        std::int32_t v = 0;
        if (GetOptionInt(s, "DeviceID", &v) != 1) return -2;
        if (number) *number = static_cast<unsigned short>(v);
        return 1;
    });
}

TL_API int TL_STDCALL TL_SetDeviceNumber(TL_HANDLE session, int number) {
    return WithSession(session, [&](DeviceSession& s) {
        return SetOptionInt(s, "DeviceID", static_cast<std::uint16_t>(number), 0);
    });
}

TL_API int TL_STDCALL TL_GetLanguage(TL_HANDLE session, int* language) {
    return WithSession(session,
                       [&](DeviceSession& s) { return GetOptionInt(s, "Language", language); });
}

TL_API int TL_STDCALL TL_SetLanguage(TL_HANDLE session, int language) {
    return WithSession(session,
                       [&](DeviceSession& s) { return SetOptionInt(s, "Language", language); });
}

TL_API int TL_STDCALL TL_SetDeviceCommPwd(TL_HANDLE session, int password) {
    return WithSession(session,
                       [&](DeviceSession& s) { return SetOptionInt(s, "COMKey", password); });
}

TL_API int TL_STDCALL TL_GetCardFun(TL_HANDLE session, int* function) {
    return WithSession(session, [&](DeviceSession& s) { return GetCardFun(s, function); });
}

TL_API int TL_STDCALL TL_GetTime(TL_HANDLE session, int* year, int* month, int* day, int* hour,
                                 int* minute, int* second) {
    return WithSession(session, [&](DeviceSession& s) {
        return GetTime(s, year, month, day, hour, minute, second);
    });
}

TL_API int TL_STDCALL TL_SetTime(TL_HANDLE session, int year, int month, int day, int hour,
                                 int minute, int second) {
    return WithSession(session, [&](DeviceSession& s) {
        return SetTime(s, year, month, day, hour, minute, second);
    });
}

TL_API int TL_STDCALL TL_GetDeviceStatus(TL_HANDLE session, int statusIndex, int* value) {
    // The index is judged before the session.
    if (statusIndex < 1 || statusIndex > 25) return 4;
    return WithSession(session,
                       [&](DeviceSession& s) { return GetDeviceStatus(s, statusIndex, value); });
}

TL_API int TL_STDCALL TL_GetPINWidth(TL_HANDLE session, int* width) {
    return WithSession(session, [&](DeviceSession& s) { return GetPinWidth(s, width); });
}

TL_API int TL_STDCALL TL_IsTFTMachine(TL_HANDLE session, int* flag) {
    if (!session) {
        if (flag) *flag = 0;
        return -1;
    }
    if (flag) *flag = as_session(session)->isTFT ? 1 : 0;
    return 1;
}

TL_API int TL_STDCALL TL_GetKeyOptions(TL_HANDLE session, int* value) {
    return WithSession(session, [&](DeviceSession& s) {
        if (value) *value = s.fpVersion;
        return 1;
    });
}

TL_API int TL_STDCALL TL_GetSDKVersion(char* text) {
    if (text) std::memcpy(text, kSdkVersion, std::strlen(kSdkVersion) + 1);
    return 1;
}

}  // extern "C"
