// The seam between portmux's server side and the terminal it serves (the
// simulated terminal implements it). The server turns each client operation
// into one Request and sends the Response back; the terminal never sees
// frames.
#pragma once

#include <cstdint>
#include <vector>

namespace pmx {

constexpr int kReplyOk = 2000;
constexpr int kReplyError = 2001;

enum class Op {
    Command,      // PMX_SENDCMD: command + request bytes -> reply code + reply bytes
    Data,         // PMX_SENDDATA: data staged on the terminal for the next command
    CommandData,  // PMX_SENDCMDDATA: data + command + request -> reply code
    Read,         // PMX_READDATA: command + request -> reply code + table bytes
    Read1,        // PMX_READDATA1: same, the template/face transfer path
    Query,        // PMX_QUERYDATA: table kind -> records from byte 0
};

struct Request {
    Op op = Op::Command;
    int command = 0;                    // command code (Command, CommandData, Read, Read1)
    std::vector<std::uint8_t> request;  // request bytes
    std::vector<std::uint8_t> data;     // pushed data (Data, CommandData)
    int tableKind = 0;                  // Query: 1 log, 2 templates, 5 users
};

struct Response {
    int reply = kReplyError;
    // Command: reply bytes. Read/Read1/Query: the table's bytes, without any
    // length prefix (the transport adds the u32 length for Read/Read1).
    // Data: ignored (reply kReplyOk means accepted).
    std::vector<std::uint8_t> data;
    // The terminal goes away after answering (a restart): the server sends
    // the reply, then ends the connection and forgets its session.
    bool disconnect = false;
};

// One terminal. The server serialises calls: Handle() is never entered by two
// threads at once.
class Handler {
  public:
    virtual ~Handler() = default;
    virtual Response Handle(const Request& request) = 0;
    // The terminal's communication key (0 = none); the transport checks it at
    // connect time.
    virtual std::uint32_t CommKey() const { return 0; }
    // A host has opened a new session (its key was accepted). Whatever the
    // terminal keeps per conversation, such as the real-time events it last
    // served, starts afresh.
    virtual void SessionStarted() {}
};

}  // namespace pmx
