// Serving a simulated terminal to portmux clients, in-process: tests,
// benchmarks, the command-line tool and the demo start one of these around a
// Handler (usually a termsim::Model), connect through libportmux or
// libtermlink, and stop it when done.
//
//   termsim::ServeOptions o;          // loopback, any free port, TCP + UDP
//   o.ptys = 2;                       // two pseudo-terminals (serial, USB)
//   termsim::TerminalServer server(model, o);
//   if (!server.Start(&error)) ...
//   TL_Connect_NET("127.0.0.1", server.Port(), 0, 0, 0);
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "portmux_server.h"
#include "termsim/handler.h"

namespace termsim {

struct ServeOptions {
    std::string bindAddress = "127.0.0.1";
    // TCP and UDP listen on this one port; 0 picks a free port for both.
    int port = 0;
    bool tcp = true;
    bool udp = true;
    int ptys = 0;               // pseudo-terminals for the serial and USB plug-ins
    std::uint32_t station = 1;  // the terminal's number on a serial line
    pmx::FaultConfig faults;    // network faults from the start (changeable later)
};

class TerminalServer {
  public:
    TerminalServer(Handler& handler, ServeOptions options);
    ~TerminalServer();
    bool Start(std::string* error = nullptr);
    void Stop();
    int Port() const { return port_; }  // shared by TCP and UDP
    const std::vector<std::string>& PtyPaths() const;
    void SetFaults(const pmx::FaultConfig& faults);
    pmx::Server& Transport() { return *server_; }

  private:
    Handler& handler_;
    ServeOptions options_;
    std::unique_ptr<pmx::Server> server_;
    int port_ = -1;
    std::vector<std::string> none_;
};

// Starts a server; null (and the reason in *error) when it cannot.
std::unique_ptr<TerminalServer> Serve(Handler& handler, const ServeOptions& options,
                                      std::string* error = nullptr);

}  // namespace termsim
