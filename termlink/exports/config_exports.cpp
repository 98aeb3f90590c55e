// Exported entry points of device information, options, identity, clock and
// network settings.
#include "config/device_info.h"
#include "config/options.h"
#include "exports/guard.h"
#include "termlink.h"

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

}  // extern "C"
