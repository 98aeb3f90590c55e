// Small helpers over the portmux command exchange shared by every subsystem.
#pragma once

#include <cstdint>

#include "portmux.h"
#include "session/session.h"

namespace tl {

struct CommandResult {
    int reply = 0;   // reply code, low 16 bits of the command word
    int length = 0;  // reply data bytes placed in the buffer (never negative)
    bool ok() const { return reply == REPLY_OK; }
};

// One PMX_SENDCMD exchange. `buffer` holds the request on entry and the reply
// on return; the transport writes at most `bufferSize` bytes.
CommandResult SendCommand(PMX_HANDLE transport, int code, void* buffer, int bufferSize,
                          int requestLength, int timeoutMs);

// One PMX_SENDCMD exchange with the transport's own result kept as it came:
// some exports tell a refusal with two reply bytes apart from other
// refusals, and some hand the result to the caller.
struct RawResult {
    int reply = 0;   // reply code, low 16 bits of the command word
    int result = 0;  // what the transport operation returned
};
RawResult SendCommandRaw(PMX_HANDLE transport, int code, void* buffer, int bufferSize,
                         int requestLength, int timeoutMs);

// The common shape "send a command, 1 on REPLY_OK else -2".
inline int OkOrRefused(const CommandResult& r) {
    return r.ok() ? 1 : -2;
}

// A refused data write (templates, faces, MF cards) by the transport's
// result: 2 gives 0, 1 gives -4, 4 gives -5 (where the write has that
// result), anything else -2; REPLY_OK gives 1.
inline int WriteResult(int reply, int result, bool withMinus5 = true) {
    if (reply == REPLY_OK) return 1;
    if (result == 2) return 0;
    if (result == 1) return -4;
    if (result == 4 && withMinus5) return -5;
    return -2;
}

}  // namespace tl
