// `--listen`: an HTTP server beside the sync, for operators and their
// monitoring. It serves, while the sync runs:
//   /  (and /status)  the status page, as `status --html` writes it
//   /status.json      the same rows as `status --json`
//   /health           200 "ok" when the database answers, else 503
//   /metrics          Prometheus text format (see sync_metrics.h)
// It reads the database through a connection of its own, so the pages show
// what any `status` would show, whichever process did the work. This file
// is the only one of termlink-sync that handles sockets (through
// cpp-httplib).
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace tlsync {

struct SyncMetrics;

struct ListenAddress {
    std::string host;  // a name or an address (IPv6 without brackets)
    int port = 0;      // 0: any free port
};

// "PORT", "HOST:PORT" or "[IPV6]:PORT". A bare port listens on 127.0.0.1
// only: the pages name terminals and their errors, so reaching them from
// other machines has to be asked for. Nullopt and a message when malformed.
std::optional<ListenAddress> ParseListen(const std::string& text, std::string* error);

class StatusServer {
  public:
    // `metrics` must outlive the server.
    StatusServer(std::string databaseUrl, const SyncMetrics& metrics);
    ~StatusServer();  // stops serving
    StatusServer(const StatusServer&) = delete;
    StatusServer& operator=(const StatusServer&) = delete;

    // Binds and serves on a thread of its own. Returns the port bound (the
    // one chosen when asked for port 0); throws std::runtime_error when the
    // address cannot be bound.
    int Start(const ListenAddress& where);
    // Stops serving; requests in progress are finished first.
    void Stop();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tlsync
