// Exported entry points of firmware update, file transfer, language texts,
// table export to a file and the generic command.
#include "exports/guard.h"
#include "maintenance/file_transfer.h"
#include "termlink.h"

using namespace tl;

extern "C" {

TL_API int TL_STDCALL TL_UpdateFirmware(TL_HANDLE session, const char* path) {
    return WithSession(session, [&](DeviceSession& s) { return UpdateFirmware(s, path); });
}

TL_API int TL_STDCALL TL_SendFile(TL_HANDLE session, const char* path) {
    if (!path) return 4;
    return WithSession(session, [&](DeviceSession& s) { return SendFile(s, path); });
}

TL_API int TL_STDCALL TL_ReadFile(TL_HANDLE session, const char* name, const char* directory) {
    return WithSession(session, [&](DeviceSession& s) { return ReadFile(s, name, directory); });
}

TL_API int TL_STDCALL TL_UpdateLanguageByID(TL_HANDLE session, int id, const char* text) {
    return WithSession(session, [&](DeviceSession& s) { return UpdateLanguageById(s, id, text); });
}

TL_API int TL_CDECL TL_SendBackgroundCMD(TL_HANDLE session, int command, int a, int b, int c) {
    return WithSession(
        session, [&](DeviceSession& s) { return SendBackgroundCommand(s, command, a, b, c); });
}

TL_API int TL_STDCALL TL_GetData(TL_HANDLE session, int kind, const char* outputPath) {
    if (!session) return -1;
    return Guarded(-100, [&] { return GetData(*as_session(session), kind, outputPath); });
}

}  // extern "C"
