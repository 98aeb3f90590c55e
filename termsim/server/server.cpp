#include "termsim/server.h"

namespace termsim {

TerminalServer::TerminalServer(Handler& handler, ServeOptions options)
    : handler_(handler), options_(std::move(options)) {}

TerminalServer::~TerminalServer() {
    Stop();
}

bool TerminalServer::Start(std::string* error) {
    if (server_) return true;
    // With port 0 the TCP listener picks a free port and UDP must get the same
    // number; a port taken for UDP only is rare, so a few tries suffice.
    for (int attempt = 0; attempt < 20; ++attempt) {
        pmx::ServerOptions o;
        o.bindAddress = options_.bindAddress;
        o.station = options_.station;
        o.faults = options_.faults;
        o.ptyCount = options_.ptys;
        o.tcpPort = options_.tcp ? options_.port : -1;
        auto server = std::make_unique<pmx::Server>(handler_, o);
        std::string why;
        if (options_.tcp && options_.udp && options_.port == 0) {
            // Learn a free TCP port first, then ask for both on that number.
            pmx::ServerOptions probe = o;
            probe.ptyCount = 0;
            pmx::Server tcpOnly(handler_, probe);
            if (!tcpOnly.Start(&why)) break;
            int chosen = tcpOnly.TcpPort();
            tcpOnly.Stop();
            o.tcpPort = chosen;
            o.udpPort = chosen;
            server = std::make_unique<pmx::Server>(handler_, o);
        } else {
            o.udpPort = options_.udp ? options_.port : -1;
            server = std::make_unique<pmx::Server>(handler_, o);
        }
        if (server->Start(&why)) {
            port_ = options_.tcp ? server->TcpPort() : server->UdpPort();
            server_ = std::move(server);
            return true;
        }
        if (error) *error = why;
        if (options_.port != 0) break;  // a chosen port is not retried
    }
    return false;
}

void TerminalServer::Stop() {
    if (server_) server_->Stop();
    server_.reset();
    port_ = -1;
}

const std::vector<std::string>& TerminalServer::PtyPaths() const {
    return server_ ? server_->PtyPaths() : none_;
}

void TerminalServer::SetFaults(const pmx::FaultConfig& faults) {
    options_.faults = faults;
    if (server_) server_->SetFaults(faults);
}

std::unique_ptr<TerminalServer> Serve(Handler& handler, const ServeOptions& options,
                                      std::string* error) {
    auto s = std::make_unique<TerminalServer>(handler, options);
    if (!s->Start(error)) return nullptr;
    return s;
}

}  // namespace termsim
