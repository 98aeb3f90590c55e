#include "cli/errors.h"

#include "termlink.h"

namespace tlcli {

// The transport's error codes, as docs/wire-protocol.md lists them.
TransportError DescribeTransportError(int code) {
    switch (code) {
        case 0:
            return {kExitFailed, ""};
        case 1:
            return {kExitUsage, "the transport refused the call's arguments"};
        case 2:
            return {kExitFailed, "the connection is no longer open"};
        case 3:
        case 4:
            return {kExitConnect, "the transport plug-in is missing or unusable"};
        case 5:
            return {kExitConnect,
                    "address not resolved, connection refused, or device could not be opened"};
        case 6:
            return {kExitTimeout, "timeout: the terminal did not answer"};
        case 7:
            return {kExitWrongKey, "the terminal refused the communication key (see --key)"};
        case 8:
            return {kExitFailed, "the terminal closed the connection"};
        case 9:
            return {kExitFailed, "the terminal's answer made no sense"};
        case 10:
            return {kExitFailed, "the answer was too large for the buffer"};
        case 11:
            return {kExitFailed, "out of memory"};
        case 12:
            return {kExitFailed, "the operating system refused to send or receive"};
        case 13:
            return {kExitFailed, "the terminal restarted and no longer knows this session"};
        case 14:
            return {kExitFailed, "the terminal would not take that much data"};
        default:
            return {kExitFailed, "transport error " + std::to_string(code)};
    }
}

void FailResult(int result, std::string_view what) {
    const std::string op(what);
    switch (result) {
        case -1:
            throw ToolError(kExitFailed, op + ": no open session");
        case -2: {
            const TransportError te = DescribeTransportError(TL_LastError());
            std::string msg = op + ": the terminal refused or did not answer";
            if (!te.text.empty()) msg += " (" + te.text + ")";
            throw ToolError(te.exitCode, msg);
        }
        case -100:
            throw ToolError(kExitUnsupported, op + ": not available on this terminal or firmware");
        case 4:
            throw ToolError(kExitUsage, op + ": the library refused an argument (out of range)");
        case 0:
            throw ToolError(kExitNotFound, op + ": nothing found");
        default:
            throw ToolError(kExitFailed, op + ": unexpected result " + std::to_string(result));
    }
}

}  // namespace tlcli
