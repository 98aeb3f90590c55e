#include "access/content_exchange.h"

#include "session/transport.h"

namespace tl {

int SendContentDelete(DeviceSession& s, int code, std::uint8_t* request, int length) {
    const RawResult r =
        SendCommandRaw(s.transport, code, request, 0, length, TimeoutPlus(s.cmdTimeout, 4000));
    if (r.reply == REPLY_OK) return 1;
    return r.reply == REPLY_ERROR && r.result == 2 ? 0 : -2;
}

}  // namespace tl
