// portmux's server side: serves one terminal (a pmx::Handler, see portmux_handler.h)
// to portmux clients over TCP, UDP and pseudo-terminals, with the same frames,
// handshake and plug-in code the client library uses.
//
//   pmx::Handler& terminal = ...;
//   pmx::ServerOptions o;
//   o.tcpPort = 0;   // any free port
//   o.udpPort = 0;
//   o.ptyCount = 1;  // one pseudo-terminal for the serial/USB plug-ins
//   pmx::Server server(terminal, o);
//   if (!server.Start(&error)) ...;
//   PMX_INIT("tcpwire.dll", "127.0.0.1", server.TcpPort(), 0, key, 0, 0, 0);
//
// Calls into the handler are serialised. Every client operation becomes one
// Handler::Handle call, executed at most once even when a datagram client
// sends its request again.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "portmux_handler.h"

namespace pmx {

// Network faults injected by the server, for tests. Drop, duplicate and
// reorder apply to links that may lose frames (UDP, serial/pty); delay and
// cut apply to every link.
struct FaultConfig {
    double drop = 0;       // chance that a frame, in either direction, is lost
    double duplicate = 0;  // chance that an outgoing frame is sent twice
    double reorder = 0;    // chance that an outgoing frame is held back behind the next
    int delayMs = 0;       // pause before every outgoing frame
    // Each link is cut (closed) once the server has sent this many bytes on
    // it; -1 = never.
    long long cutAfterBytes = -1;
    std::uint32_t seed = 1;  // random source, so a run can be repeated
};

struct ServerOptions {
    std::string bindAddress = "127.0.0.1";
    int tcpPort = -1;  // -1 = no TCP, 0 = any free port
    int udpPort = -1;  // -1 = no UDP, 0 = any free port
    int ptyCount = 0;  // pseudo-terminals for the serial and USB plug-ins
    // Station number this terminal answers to on a serial line; clients that
    // ask for station 0 reach any terminal.
    std::uint32_t station = 1;
    FaultConfig faults;
};

class Server {
  public:
    Server(Handler& handler, ServerOptions options);
    ~Server();  // stops
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Opens every listener asked for and starts serving. False (with a reason
    // in *error) when one cannot be opened; nothing is left running then.
    bool Start(std::string* error = nullptr);
    // Closes every listener and link and waits for the serving threads.
    void Stop();

    int TcpPort() const;  // bound port, or -1
    int UdpPort() const;
    const std::vector<std::string>& PtyPaths() const;

    void SetFaults(const FaultConfig& faults);
    FaultConfig Faults() const;

    // Handler calls made so far (each executed operation counts once).
    std::uint64_t Executed() const;

    struct Impl;  // internal

  private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace pmx
