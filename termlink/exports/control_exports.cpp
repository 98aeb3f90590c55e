// Exported entry points of device control and data clearing.
#include "config/clear_data.h"
#include "config/device_control.h"
#include "exports/guard.h"
#include "session/commands.h"
#include "termlink.h"

using namespace tl;

extern "C" {

TL_API int TL_STDCALL TL_RebootDevice(TL_HANDLE session) {
    return WithSession(session, [&](DeviceSession& s) { return RebootDevice(&s); });
}

TL_API int TL_STDCALL TL_PowerOffDevice(TL_HANDLE session) {
    return WithSession(
        session, [&](DeviceSession& s) { return SimpleCommand(s, CMD_POWER_OFF, s.cmdTimeout); });
}

TL_API int TL_STDCALL TL_SleepDevice(TL_HANDLE session) {
    return WithSession(session,
                       [&](DeviceSession& s) { return SimpleCommand(s, CMD_SLEEP, s.cmdTimeout); });
}

TL_API int TL_STDCALL TL_ResumeDevice(TL_HANDLE session) {
    return WithSession(
        session, [&](DeviceSession& s) { return SimpleCommand(s, CMD_RESUME, s.cmdTimeout); });
}

TL_API int TL_STDCALL TL_SuspendDevice(TL_HANDLE session) {
    return WithSession(
        session, [&](DeviceSession& s) { return SimpleCommand(s, CMD_SUSPEND, s.cmdTimeout); });
}

TL_API int TL_STDCALL TL_AutoPowerOff(TL_HANDLE session, int) {
    return session ? -100 : -1;
}

TL_API int TL_STDCALL TL_PowerOffTime(TL_HANDLE session, int, int, int, int, int) {
    return session ? -100 : -1;
}

TL_API int TL_STDCALL TL_WriteLCD(TL_HANDLE session, int row, int column, const char* text) {
    return WithSession(session, [&](DeviceSession& s) { return WriteLcd(s, row, column, text); });
}

TL_API int TL_STDCALL TL_ClearLCD(TL_HANDLE session) {
    return WithSession(
        session, [&](DeviceSession& s) { return SimpleCommand(s, CMD_CLEAR_LCD, s.cmdTimeout); });
}

TL_API int TL_STDCALL TL_Beep(TL_HANDLE session, int durationMs) {
    return WithSession(session, [&](DeviceSession& s) { return Beep(s, durationMs); });
}

TL_API int TL_STDCALL TL_PlayVoice(TL_HANDLE session, int first, int last) {
    return WithSession(session, [&](DeviceSession& s) { return PlayVoice(s, first, last); });
}

TL_API int TL_STDCALL TL_PlayVoiceByIndex(TL_HANDLE session, int index) {
    return WithSession(session, [&](DeviceSession& s) { return PlayVoiceByIndex(s, index); });
}

TL_API int TL_STDCALL TL_EnableClock(TL_HANDLE session, int on) {
    return WithSession(session, [&](DeviceSession& s) { return EnableClock(s, on); });
}

TL_API int TL_STDCALL TL_ClearData(TL_HANDLE session) {
    return WithSession(session, [&](DeviceSession& s) { return ClearData(s); });
}

TL_API int TL_STDCALL TL_ClearDataEx(TL_HANDLE session, int kind) {
    if (!ClearDataKindValid(kind)) return 4;
    return WithSession(session, [&](DeviceSession& s) { return ClearDataEx(s, kind); });
}

TL_API int TL_STDCALL TL_ClearLogData(TL_HANDLE session) {
    return WithSession(session, [&](DeviceSession& s) {
        return SimpleCommand(s, CMD_CLEAR_ATTLOG, s.cmdTimeout + 2000);
    });
}

TL_API int TL_STDCALL TL_ClearOpLogData(TL_HANDLE session) {
    return WithSession(session, [&](DeviceSession& s) {
        return SimpleCommand(s, CMD_CLEAR_OPLOG, s.cmdTimeout + 2000);
    });
}

TL_API int TL_STDCALL TL_RefreshData(TL_HANDLE session) {
    return WithSession(session, [&](DeviceSession& s) {
        return SimpleCommand(s, CMD_REFRESH_DATA, s.cmdTimeout + 1000);
    });
}

TL_API int TL_STDCALL TL_ClearSMS(TL_HANDLE session) {
    return WithSession(session,
                       [&](DeviceSession& s) { return ClearTableKind(s, kClearMessages); });
}

TL_API int TL_STDCALL TL_ClearUData(TL_HANDLE session) {
    return WithSession(session,
                       [&](DeviceSession& s) { return ClearTableKind(s, kClearMessageLinks); });
}

}  // extern "C"
