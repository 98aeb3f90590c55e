#include "fake_portmux.h"

#include <algorithm>
#include <cstring>
#include <deque>

#include "portmux.h"

#if defined(_WIN32)
#define FAKE_API __declspec(dllexport)
#else
#define FAKE_API __attribute__((visibility("default")))
#endif

namespace fakepmx {
namespace {

struct State {
    std::vector<Call> calls;
    std::deque<Reply> script;
    std::deque<Reply> openScript;
    std::function<Reply(const Call&)> responder;
    int lastError = 0;
    int open = 0;
    int dummy = 0;
};

State& S() {
    static State s;
    return s;
}

Reply Next(const Call& c) {
    auto& s = S();
    if (!s.script.empty()) {
        Reply r = s.script.front();
        s.script.pop_front();
        return r;
    }
    if (s.responder) return s.responder(c);
    return Error();
}

int CopyOut(const Reply& r, void* buffer, int size) {
    int n = static_cast<int>(r.data.size());
    if (n > size) n = size;
    if (n < 0) n = 0;
    if (buffer && n > 0) std::memcpy(buffer, r.data.data(), static_cast<std::size_t>(n));
    return r.result >= 0 || r.exactResult ? r.result : n;
}

std::vector<std::uint8_t> Take(const void* p, int n) {
    if (!p || n <= 0) return {};
    auto* b = static_cast<const std::uint8_t*>(p);
    return std::vector<std::uint8_t>(b, b + n);
}

PMX_HANDLE Open(Call c) {
    auto& s = S();
    s.calls.push_back(c);
    if (!s.openScript.empty()) {
        Reply r = s.openScript.front();
        s.openScript.pop_front();
        if (r.nullHandle) return nullptr;
    }
    ++s.open;
    return &s.dummy;
}

}  // namespace

FAKE_API const char* OpName(Op op) {
    switch (op) {
        case Op::Init:
            return "INIT";
        case Op::InitEx:
            return "INITEX";
        case Op::Close:
            return "CLOSE";
        case Op::SendCmd:
            return "SENDCMD";
        case Op::SendData:
            return "SENDDATA";
        case Op::SendCmdData:
            return "SENDCMDDATA";
        case Op::ReadData:
            return "READDATA";
        case Op::ReadData1:
            return "READDATA1";
        case Op::QueryData:
            return "QUERYDATA";
    }
    return "?";
}

FAKE_API void Reset() {
    auto& s = S();
    s.calls.clear();
    s.script.clear();
    s.openScript.clear();
    s.responder = nullptr;
    s.lastError = 0;
    s.open = 0;
}
FAKE_API void Push(Reply r) {
    S().script.push_back(std::move(r));
}
FAKE_API void PushOpen(Reply r) {
    S().openScript.push_back(std::move(r));
}
FAKE_API void SetResponder(std::function<Reply(const Call&)> r) {
    S().responder = std::move(r);
}
FAKE_API void SetLastError(int code) {
    S().lastError = code;
}
FAKE_API const std::vector<Call>& Calls() {
    return S().calls;
}
FAKE_API std::vector<Call> CallsOf(Op op) {
    std::vector<Call> out;
    for (const auto& c : S().calls)
        if (c.op == op) out.push_back(c);
    return out;
}
FAKE_API int OpenHandles() {
    return S().open;
}

FAKE_API Reply Ok(std::vector<std::uint8_t> data) {
    Reply r;
    r.replyCode = REPLY_OK;
    r.data = std::move(data);
    return r;
}
FAKE_API Reply Error() {
    Reply r;
    r.replyCode = REPLY_ERROR;
    return r;
}
FAKE_API Reply Exact(int replyCode, int result, std::vector<std::uint8_t> data) {
    Reply r;
    r.replyCode = replyCode;
    r.result = result;
    r.exactResult = true;
    r.data = std::move(data);
    return r;
}
FAKE_API Reply OkText(const std::string& text) {
    std::vector<std::uint8_t> d(text.begin(), text.end());
    d.push_back(0);
    return Ok(std::move(d));
}

FAKE_API Reply Terminal::operator()(const Call& c) const {
    if (c.op == Op::SendCmd && c.command == 1100) return OkText(version);
    if (c.op == Op::SendCmd && c.command == 11) {
        std::string name(c.request.begin(), c.request.end());
        name = name.c_str();
        for (const auto& [k, v] : options)
            if (k == name) return OkText(k + "=" + v);
        return Error();
    }
    if (other) return other(c);
    return Error();
}

}  // namespace fakepmx

using namespace fakepmx;

extern "C" {

FAKE_API PMX_HANDLE PMX_INIT(const char* plugin, const char* address, int port, int baud, int a1,
                             int a2, int a3, int last) {
    Call c;
    c.op = Op::Init;
    c.plugin = plugin ? plugin : "";
    c.addressNull = address == nullptr;
    c.address = address ? address : "";
    c.port = port;
    c.baud = baud;
    c.arg1 = a1;
    c.arg2 = a2;
    c.arg3 = a3;
    c.last = last;
    return Open(c);
}

FAKE_API PMX_HANDLE PMX_INITEX(const char* plugin, const char* address, int port, int baud, int a1,
                               int a2, int a3, const char* initText) {
    Call c;
    c.op = Op::InitEx;
    c.plugin = plugin ? plugin : "";
    c.addressNull = address == nullptr;
    c.address = address ? address : "";
    c.port = port;
    c.baud = baud;
    c.arg1 = a1;
    c.arg2 = a2;
    c.arg3 = a3;
    c.initTextNull = initText == nullptr;
    c.initText = initText ? initText : "";
    return Open(c);
}

FAKE_API void PMX_CLOSE(PMX_HANDLE) {
    Call c;
    c.op = Op::Close;
    S().calls.push_back(c);
    --S().open;
}

FAKE_API int PMX_SENDCMD(PMX_HANDLE, int* command, void* buffer, int bufferSize, int requestLength,
                         int timeoutMs) {
    Call c;
    c.op = Op::SendCmd;
    c.command = *command;
    c.request = Take(buffer, requestLength);
    c.bufferSize = bufferSize;
    c.bufferNull = buffer == nullptr;
    c.requestLength = requestLength;
    c.timeout = timeoutMs;
    S().calls.push_back(c);
    Reply r = Next(c);
    *command = r.replyCode;
    return CopyOut(r, buffer, bufferSize);
}

FAKE_API int PMX_SENDDATA(PMX_HANDLE, const void* data, int length, int timeoutMs) {
    Call c;
    c.op = Op::SendData;
    c.data = Take(data, length);
    c.bufferSize = length;
    c.timeout = timeoutMs;
    S().calls.push_back(c);
    Reply r = Next(c);
    return r.result >= 0 ? r.result : (r.replyCode == REPLY_OK ? 1 : 0);
}

FAKE_API int PMX_SENDCMDDATA(PMX_HANDLE, int* command, const void* data, int dataLength,
                             const void* request, int requestLength, int timeoutMs) {
    Call c;
    c.op = Op::SendCmdData;
    c.command = *command;
    c.data = Take(data, dataLength);
    c.bufferSize = dataLength;
    c.request = Take(request, requestLength);
    c.requestLength = requestLength;
    c.timeout = timeoutMs;
    S().calls.push_back(c);
    Reply r = Next(c);
    *command = r.replyCode;
    return r.result >= 0 || r.exactResult ? r.result : 0;
}

static int ReadCommon(Op op, int* command, void* buffer, int capacity, int requestLength,
                      int packetSize, int timeoutMs) {
    Call c;
    c.op = op;
    c.command = *command;
    c.request = Take(buffer, requestLength);
    c.bufferSize = capacity;
    c.bufferNull = buffer == nullptr;
    c.requestLength = requestLength;
    c.packetSize = packetSize;
    c.timeout = timeoutMs;
    S().calls.push_back(c);
    Reply r = Next(c);
    *command = r.replyCode;
    return CopyOut(r, buffer, capacity);
}

FAKE_API int PMX_READDATA(PMX_HANDLE, int* command, void* buffer, int capacity, int requestLength,
                          int packetSize, int timeoutMs) {
    return ReadCommon(Op::ReadData, command, buffer, capacity, requestLength, packetSize,
                      timeoutMs);
}

FAKE_API int PMX_READDATA1(PMX_HANDLE, int* command, void* buffer, int capacity, int requestLength,
                           int packetSize, int timeoutMs) {
    return ReadCommon(Op::ReadData1, command, buffer, capacity, requestLength, packetSize,
                      timeoutMs);
}

FAKE_API int PMX_QUERYDATA(PMX_HANDLE, int tableKind, int packetSize, void* buffer, int* inOut) {
    Call c;
    c.op = Op::QueryData;
    c.tableKind = tableKind;
    c.packetSize = packetSize;
    c.inOut = inOut ? *inOut : 0;
    c.bufferSize = c.inOut;
    S().calls.push_back(c);
    Reply r = Next(c);
    if (inOut) *inOut = r.inOutAfter;
    return CopyOut(r, buffer, c.bufferSize);
}

FAKE_API int PMX_LASTERROR(void) {
    return S().lastError;
}

}  // extern "C"
