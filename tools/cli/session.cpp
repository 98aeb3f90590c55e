// Opening and closing the connection to a terminal.
#include <cerrno>

#include "cli/app.h"
#include "cli/errors.h"

namespace tlcli {

namespace {

// The connect calls hand three integers to the transport unchanged; our
// transport takes the communication key in the first and its timeout in
// milliseconds in the second (0: the transport's default).
struct PassThrough {
    int i1 = 0, i2 = 0, i3 = 0;
};

PassThrough TransportArgs(const ConnectionOptions& c) {
    PassThrough p;
    p.i1 = c.key;
    p.i2 = c.timeoutMs;
    return p;
}

}  // namespace

Session::Session(const ConnectionOptions& options) {
    using Kind = ConnectionOptions::Kind;
    ConnectionOptions conn = options;
    if (conn.kind == Kind::Sim) {
        sim_ = StartSimulator(conn.simProfile, conn.key);
        conn.kind = Kind::Tcp;
        conn.host = "127.0.0.1";
        conn.port = sim_->port();
        description_ = "simulated terminal (" + sim_->profile() +
                       ") on tcp 127.0.0.1:" + std::to_string(conn.port);
    } else {
        description_ = DescribeConnection(conn);
    }
    const PassThrough p = TransportArgs(conn);
    switch (conn.kind) {
        case Kind::Net:
            handle_ = TL_Connect_NET(conn.host.c_str(), conn.port, p.i1, p.i2, p.i3);
            break;
        case Kind::Tcp:
            handle_ = TL_Connect_NETEX(conn.host.c_str(), conn.port, p.i1, p.i2, p.i3);
            break;
        case Kind::Com:
            handle_ = TL_Connect_COM(conn.comName.c_str(), conn.device, conn.baud, p.i1, p.i2, p.i3,
                                     nullptr);
            break;
        case Kind::Usb:
            handle_ = TL_Connect_USB(conn.usbPort, p.i1, p.i2, p.i3);
            break;
        case Kind::Sim:
        case Kind::None:
            throw UsageError("no terminal given");
    }
    if (!handle_) {
        const TransportError te = DescribeTransportError(TL_LastError());
        std::string msg = "cannot connect to " + description_;
        if (!te.text.empty()) msg += ": " + te.text;
        throw ToolError(te.exitCode == kExitFailed ? kExitConnect : te.exitCode, msg);
    }
}

Session::~Session() {
    if (handle_) TL_Close(handle_);
}

}  // namespace tlcli
