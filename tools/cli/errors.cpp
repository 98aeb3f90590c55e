#include "cli/errors.h"

#include "client/transport_error.h"
#include "termlink.h"

namespace tlcli {

namespace {

// The exit code each transport error leads to.
int TransportExitCode(int code) {
    switch (code) {
        case 1:
            return kExitUsage;
        case 3:
        case 4:
        case 5:
            return kExitConnect;
        case 6:
            return kExitTimeout;
        case 7:
            return kExitWrongKey;
        default:
            return kExitFailed;
    }
}

}  // namespace

TransportError DescribeTransportError(int code) {
    return {TransportExitCode(code), tlclient::TransportErrorText(code)};
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
