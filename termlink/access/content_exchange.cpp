#include "access/content_exchange.h"

#include "session/transport.h"

namespace tl {

int SendContentDelete(DeviceSession& s, int code, std::uint8_t* request, int length,
                      int bufferSize) {
    const RawResult r = SendCommandRaw(s.transport, code, request, bufferSize, length,
                                       TimeoutPlus(s.cmdTimeout, 4000));
    if (r.reply == REPLY_OK) return 1;
    return r.reply == REPLY_ERROR && r.result == 2 ? 0 : -2;
}

}  // namespace tl
