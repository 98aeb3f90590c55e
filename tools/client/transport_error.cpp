#include "client/transport_error.h"

namespace tlclient {

// The transport's error codes, as docs/wire-protocol.md lists them.
std::string TransportErrorText(int code) {
    switch (code) {
        case 0:
            return "";
        case 1:
            return "the transport refused the call's arguments";
        case 2:
            return "the connection is no longer open";
        case 3:
        case 4:
            return "the transport plug-in is missing or unusable";
        case 5:
            return "address not resolved, connection refused, or device could not be opened";
        case 6:
            return "timeout: the terminal did not answer";
        case 7:
            return "the terminal refused the communication key (see --key)";
        case 8:
            return "the terminal closed the connection";
        case 9:
            return "the terminal's answer made no sense";
        case 10:
            return "the answer was too large for the buffer";
        case 11:
            return "out of memory";
        case 12:
            return "the operating system refused to send or receive";
        case 13:
            return "the terminal restarted and no longer knows this session";
        case 14:
            return "the terminal would not take that much data";
        default:
            return "transport error " + std::to_string(code);
    }
}

}  // namespace tlclient
