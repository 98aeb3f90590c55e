// Exported entry points of the backup, restore, image capture and MF card
// family.
#include "exports/guard.h"
#include "maintenance/backup.h"
#include "maintenance/capture.h"
#include "maintenance/mf_card.h"
#include "termlink.h"

using namespace tl;

extern "C" {

TL_API int TL_STDCALL TL_BackupData(TL_HANDLE session, const char* path) {
    return WithSession(session, [&](DeviceSession& s) { return BackupData(s, path); });
}

TL_API int TL_STDCALL TL_RestoreData(TL_HANDLE session, const char* path) {
    return WithSession(session, [&](DeviceSession& s) { return RestoreData(s, path); });
}

TL_API int TL_STDCALL TL_CaptureImage(TL_HANDLE session, int fullImage, int* width, int* height,
                                      unsigned char* pixels, const char* bmpPath) {
    return WithSession(session, [&](DeviceSession& s) {
        return CaptureImage(s, fullImage, width, height, pixels, bmpPath);
    });
}

TL_API int TL_STDCALL TL_MFWrite(TL_HANDLE session, int userNumber, const unsigned char* descriptor,
                                 const unsigned char* data) {
    return WithSession(session,
                       [&](DeviceSession& s) { return MFWrite(s, userNumber, descriptor, data); });
}

TL_API int TL_STDCALL TL_MFEmpty(TL_HANDLE session) {
    return WithSession(session, [&](DeviceSession& s) { return MFEmpty(s); });
}

}  // extern "C"
