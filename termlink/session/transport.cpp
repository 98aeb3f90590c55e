#include "session/transport.h"

namespace tl {

CommandResult SendCommand(PMX_HANDLE transport, int code, void* buffer, int bufferSize,
                          int requestLength, int timeoutMs) {
    int word = code;
    int n = PMX_SENDCMD(transport, &word, buffer, bufferSize, requestLength, timeoutMs);
    CommandResult r;
    r.reply = word & 0xFFFF;
    r.length = n < 0 ? 0 : (n > bufferSize ? bufferSize : n);
    return r;
}

RawResult SendCommandRaw(PMX_HANDLE transport, int code, void* buffer, int bufferSize,
                         int requestLength, int timeoutMs) {
    int word = code;
    RawResult r;
    r.result = PMX_SENDCMD(transport, &word, buffer, bufferSize, requestLength, timeoutMs);
    r.reply = word & 0xFFFF;
    return r;
}

}  // namespace tl
