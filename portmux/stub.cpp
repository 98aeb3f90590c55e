// Placeholder transport: opens nothing. Replaced by the real plug-in loader.
#include "portmux.h"

namespace {
int g_lastError = 0;
constexpr int kErrNoTransport = 1;
}  // namespace

extern "C" {
PMX_HANDLE PMX_INIT(const char*, const char*, int, int, int, int, int, int) {
    g_lastError = kErrNoTransport;
    return nullptr;
}
PMX_HANDLE PMX_INITEX(const char*, const char*, int, int, int, int, int, const char*) {
    g_lastError = kErrNoTransport;
    return nullptr;
}
void PMX_CLOSE(PMX_HANDLE) {}
int PMX_SENDCMD(PMX_HANDLE, int*, void*, int, int, int) {
    return 0;
}
int PMX_SENDDATA(PMX_HANDLE, const void*, int, int) {
    return 0;
}
int PMX_SENDCMDDATA(PMX_HANDLE, int*, const void*, int, const void*, int, int) {
    return 0;
}
int PMX_READDATA(PMX_HANDLE, int*, void*, int, int, int, int) {
    return 0;
}
int PMX_READDATA1(PMX_HANDLE, int*, void*, int, int, int, int) {
    return 0;
}
int PMX_QUERYDATA(PMX_HANDLE, int, int, void*, int*) {
    return 0;
}
int PMX_LASTERROR(void) {
    return g_lastError;
}
}
