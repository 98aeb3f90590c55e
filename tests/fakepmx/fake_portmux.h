// A scripted libportmux for unit tests.
//
// It records every call (operation, command code, request bytes, sizes,
// timeouts, open arguments) and answers from a script. The library is built
// as libportmux.so in its own folder, so termlink binds it exactly as it binds
// the real transport.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace fakepmx {

enum class Op {
    Init,
    InitEx,
    Close,
    SendCmd,
    SendData,
    SendCmdData,
    ReadData,
    ReadData1,
    QueryData
};
const char* OpName(Op op);

struct Call {
    Op op{};
    // Open arguments.
    std::string plugin, address, initText;
    bool addressNull = false, initTextNull = false;
    int port = 0, baud = 0, arg1 = 0, arg2 = 0, arg3 = 0, last = 0;
    // Exchanges.
    int command = 0;                    // command code as sent
    std::vector<std::uint8_t> request;  // request bytes (requestLength of them)
    std::vector<std::uint8_t> data;     // data of SendData / SendCmdData
    int bufferSize = 0;                 // buffer size or capacity
    bool bufferNull = false;
    int requestLength = 0;
    int packetSize = 0;
    int timeout = 0;
    int tableKind = 0;  // QueryData
    int inOut = 0;      // QueryData: value passed in
};

struct Reply {
    int replyCode = 2000;            // written back into the command word
    std::vector<std::uint8_t> data;  // copied into the caller's buffer (up to its size)
    int result = -1;                 // return value; -1 = number of bytes copied
    bool exactResult = false;        // return `result` as it is, negative values included
    int inOutAfter = 0;              // QueryData: value left in the in/out integer
    bool nullHandle = false;         // Init/InitEx: fail the open
};

// Clears the call log and the script; opens succeed with a dummy handle.
void Reset();
// Appends one scripted reply, consumed by the next exchange (not by Init/Close
// unless `forOpen` is set).
void Push(Reply reply);
void PushOpen(Reply reply);
// A responder answers when the script is empty; default: REPLY_ERROR, 0 bytes.
void SetResponder(std::function<Reply(const Call&)> responder);
void SetLastError(int code);
const std::vector<Call>& Calls();
// Calls of one kind only.
std::vector<Call> CallsOf(Op op);
int OpenHandles();  // opens minus closes

// Helpers for building replies.
Reply Ok(std::vector<std::uint8_t> data = {});
Reply Error();
Reply OkText(const std::string& text);  // text bytes plus a NUL
// A reply whose transport result is returned as it is (negative included).
Reply Exact(int replyCode, int result, std::vector<std::uint8_t> data = {});

// A responder that serves options (CMD_GET_OPTION) from a map of name->value
// (absent names get REPLY_ERROR) and the firmware version for CMD_GET_VERSION.
struct Terminal {
    std::string version = "Ver 6.60 Apr 15 2011";
    std::vector<std::pair<std::string, std::string>> options;
    std::function<Reply(const Call&)> other;  // everything else
    Reply operator()(const Call& c) const;
};

}  // namespace fakepmx
