#include "cli/errors.h"

#include "termlink.h"

namespace tlcli {

TransportError DescribeTransportError(int code) {
    if (code == 0) return {kExitFailed, ""};
    return {kExitFailed, "transport error " + std::to_string(code)};
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
