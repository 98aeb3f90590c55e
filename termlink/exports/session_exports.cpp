// Exported entry points of the connection, real-time event and lock family.
#include "exports/guard.h"
#include "session/connect.h"
#include "session/realtime.h"
#include "termlink.h"

using namespace tl;

extern "C" {

TL_API TL_HANDLE TL_STDCALL TL_Connect_NET(const char* address, int port, int i1, int i2, int i3) {
    return Guarded<TL_HANDLE>(nullptr, [&] { return ConnectNet(address, port, i1, i2, i3); });
}

TL_API TL_HANDLE TL_STDCALL TL_Connect_NETEX(const char* address, int port, int i1, int i2,
                                             int i3) {
    return Guarded<TL_HANDLE>(nullptr, [&] { return ConnectNetEx(address, port, i1, i2, i3); });
}

TL_API TL_HANDLE TL_STDCALL TL_Connect_USB(int port, int i1, int i2, int i3) {
    return Guarded<TL_HANDLE>(nullptr, [&] { return ConnectUsb(port, i1, i2, i3); });
}

TL_API TL_HANDLE TL_STDCALL TL_Connect_COM(const char* portName, int portNumber, int baud, int i1,
                                           int i2, int i3, const char* initText) {
    return Guarded<TL_HANDLE>(
        nullptr, [&] { return ConnectCom(portName, portNumber, baud, i1, i2, i3, initText); });
}

TL_API int TL_STDCALL TL_Close(TL_HANDLE session) {
    if (!session) return -1;
    CloseSession(as_session(session));
    return 1;
}

TL_API int TL_CDECL TL_LastError(void) {
    return PMX_LASTERROR();
}

TL_API int TL_STDCALL TL_RegEvent(TL_HANDLE session, int eventMask) {
    return WithSession(session, [&](DeviceSession& s) { return RegEvent(s, eventMask); });
}

TL_API int TL_STDCALL TL_ReadRTLog(TL_HANDLE session) {
    return WithSession(session, [&](DeviceSession& s) { return ReadRTLog(s); });
}

TL_API int TL_STDCALL TL_GetRTLog(TL_HANDLE session, int* eventKind, unsigned char* eventData) {
    return WithSession(session,
                       [&](DeviceSession& s) { return GetRTLog(s, eventKind, eventData); });
}

TL_API int TL_STDCALL TL_EnableDevice(TL_HANDLE session) {
    return WithSession(session, [&](DeviceSession& s) { return EnableDevice(s); });
}

TL_API int TL_STDCALL TL_DisableDevice(TL_HANDLE session, int value) {
    return WithSession(session, [&](DeviceSession& s) { return DisableDevice(s, value); });
}

}  // extern "C"
