// The transport termlink is linked against in this target: the PMX_
// functions, each handed to the one hostile terminal.
#include "hostile/terminal.h"

extern "C" {

PMX_HANDLE PMX_INIT(const char* plugin, const char* address, int, int, int, int, int, int) {
    return hostile::Term().Open(plugin, address);
}
PMX_HANDLE PMX_INITEX(const char* plugin, const char* address, int, int, int, int, int,
                      const char*) {
    return hostile::Term().Open(plugin, address);
}
void PMX_CLOSE(PMX_HANDLE h) {
    hostile::Term().Close(h);
}
int PMX_SENDCMD(PMX_HANDLE h, int* command, void* buffer, int bufferSize, int requestLength, int) {
    return hostile::Term().SendCmd(h, command, buffer, bufferSize, requestLength);
}
int PMX_SENDDATA(PMX_HANDLE h, const void* data, int length, int) {
    return hostile::Term().SendData(h, data, length);
}
int PMX_SENDCMDDATA(PMX_HANDLE h, int* command, const void* data, int dataLength,
                    const void* request, int requestLength, int) {
    return hostile::Term().SendCmdData(h, command, data, dataLength, request, requestLength);
}
int PMX_READDATA(PMX_HANDLE h, int* command, void* buffer, int capacity, int requestLength, int,
                 int) {
    return hostile::Term().ReadData(h, command, buffer, capacity, requestLength, "PMX_READDATA");
}
int PMX_READDATA1(PMX_HANDLE h, int* command, void* buffer, int capacity, int requestLength, int,
                  int) {
    return hostile::Term().ReadData(h, command, buffer, capacity, requestLength, "PMX_READDATA1");
}
int PMX_QUERYDATA(PMX_HANDLE h, int, int, void* buffer, int* inOut) {
    return hostile::Term().QueryData(h, buffer, inOut);
}
int PMX_LASTERROR(void) {
    return hostile::Term().lastError;
}

}  // extern "C"
