// End-to-end harness: a simulated terminal served in-process on loopback
// (TCP and UDP on one free port) and on two pseudo-terminals, reached through
// the real libtermlink -> libportmux -> plug-in stack.
//
//   MyHandler terminal;                 // any termsim::Handler, e.g. a Model
//   e2e::SimTerminal sim(terminal);     // starts serving
//   TL_HANDLE s = sim.ConnectNet();     // TL_Connect_NET to it (UDP plug-in)
//   ... TL_ calls ...
//   TL_Close(s);
//
// Serial ("COM1") and USB (port 1) connects go to the two pseudo-terminals:
// the harness points $PORTMUX_COM1 and $PORTMUX_USB1 at them. A pseudo-
// terminal is one line, so keep one serial and one USB session at a time.
// Plug-ins are found beside libportmux in the build's lib folder.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "termlink.h"
#include "termsim/server.h"

namespace e2e {

struct HarnessOptions {
    int ptys = 2;               // 0 = no serial/USB lines
    std::uint32_t station = 1;  // the terminal's number on the serial line
    pmx::FaultConfig faults;    // network faults from the start
};

class SimTerminal {
  public:
    explicit SimTerminal(termsim::Handler& handler, HarnessOptions options = {})
        : server_(handler, Serve(options)) {
        std::string error;
        if (!server_.Start(&error)) throw std::runtime_error("simulated terminal: " + error);
        const auto& ptys = server_.PtyPaths();
        if (ptys.size() > 0) ::setenv("PORTMUX_COM1", ptys[0].c_str(), 1);
        if (ptys.size() > 1) ::setenv("PORTMUX_USB1", ptys[1].c_str(), 1);
    }

    // Loopback address and the port both TCP and UDP listen on.
    const char* Address() const { return "127.0.0.1"; }
    int Port() const { return server_.Port(); }
    std::string SerialPath() const { return Pty(0); }
    std::string UsbPath() const { return Pty(1); }

    // Faults can be changed while sessions are open.
    void SetFaults(const pmx::FaultConfig& faults) { server_.SetFaults(faults); }
    pmx::Server& Transport() { return server_.Transport(); }
    // Stops serving: open sessions see a dead terminal.
    void Stop() { server_.Stop(); }

    // Connects through libtermlink. `key` is the communication key (the first
    // pass-through integer); null when the connect fails.
    TL_HANDLE ConnectNet(int key = 0) { return TL_Connect_NET(Address(), Port(), key, 0, 0); }
    TL_HANDLE ConnectNetEx(int key = 0) { return TL_Connect_NETEX(Address(), Port(), key, 0, 0); }
    TL_HANDLE ConnectUsb(int key = 0) { return TL_Connect_USB(1, key, 0, 0); }
    TL_HANDLE ConnectCom(int key = 0, int baud = 115200, int station = 1) {
        return TL_Connect_COM("COM1", station, baud, key, 0, 0, nullptr);
    }

  private:
    static termsim::ServeOptions Serve(const HarnessOptions& o) {
        termsim::ServeOptions s;
        s.ptys = o.ptys;
        s.station = o.station;
        s.faults = o.faults;
        return s;
    }
    std::string Pty(std::size_t i) const {
        const auto& p = server_.PtyPaths();
        return i < p.size() ? p[i] : std::string();
    }

    termsim::TerminalServer server_;
};

}  // namespace e2e
