// Failures of the termlink tool and the exit codes scripts see.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace tlcli {

// Exit codes (also listed by `termlink --help` and in docs/tool.md).
enum Exit : int {
    kExitOk = 0,
    kExitFailed = 1,       // the terminal refused the operation or a download failed
    kExitUsage = 2,        // bad command line, or an argument the library refused
    kExitConnect = 3,      // could not connect (no route, refused, no such port or device)
    kExitTimeout = 4,      // the terminal did not answer in time
    kExitWrongKey = 5,     // the terminal rejected the communication key
    kExitUnsupported = 6,  // not available on this terminal or firmware
    kExitNotFound = 7,     // the user, entry or record asked for does not exist
    kExitFile = 8,         // a local file could not be read or written
    kExitInterrupted = 130,
};

class ToolError : public std::runtime_error {
  public:
    ToolError(int exitCode, const std::string& message)
        : std::runtime_error(message), exitCode_(exitCode) {}
    int exitCode() const { return exitCode_; }

  private:
    int exitCode_;
};

class UsageError : public ToolError {
  public:
    explicit UsageError(const std::string& message) : ToolError(kExitUsage, message) {}
};

// What a transport error code (TL_LastError) means, and the exit code it
// leads to. Unknown codes are described by number.
struct TransportError {
    int exitCode;
    std::string text;  // empty for 0 (no error recorded)
};
TransportError DescribeTransportError(int code);

// Turns a library result other than 1 into a ToolError naming the failed
// operation. `what` is a short description such as "reading the attendance
// log". -2 consults TL_LastError for the transport's reason.
[[noreturn]] void FailResult(int result, std::string_view what);

// Throws unless result is 1.
inline void Check(int result, std::string_view what) {
    if (result != 1) FailResult(result, what);
}

}  // namespace tlcli
