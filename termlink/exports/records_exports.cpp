// Exported entry points of the bulk table reads and the log iterators.
#include "exports/guard.h"
#include "records/bulk_read.h"
#include "termlink.h"

using namespace tl;

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

}  // extern "C"
