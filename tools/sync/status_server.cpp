#include "status_server.h"

#include <httplib.h>

#include <chrono>
#include <future>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "client/format.h"
#include "status_view.h"
#include "store.h"
#include "sync_metrics.h"

namespace tlsync {

namespace {

// Two threads answer requests: a scrape and a health check at once, not a
// crowd of threads for a page that is read now and then.
constexpr std::size_t kServerThreads = 2;
// A client that sends nothing for this long is dropped.
constexpr time_t kIoTimeoutSeconds = 5;

bool ParsePort(const std::string& text, int* port) {
    if (text.empty() || text.size() > 5) return false;
    int n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + (c - '0');
    }
    if (n > 65535) return false;
    *port = n;
    return true;
}

}  // namespace

std::optional<ListenAddress> ParseListen(const std::string& text, std::string* error) {
    ListenAddress a;
    std::string port = text;
    if (!text.empty() && text[0] == '[') {
        const std::size_t close = text.find("]:");
        if (close == std::string::npos || close == 1) {
            *error = "expected [IPV6]:PORT";
            return std::nullopt;
        }
        a.host = text.substr(1, close - 1);
        port = text.substr(close + 2);
    } else if (const std::size_t colon = text.rfind(':'); colon != std::string::npos) {
        a.host = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (a.host.empty()) {
            *error = "expected HOST:PORT or PORT";
            return std::nullopt;
        }
        if (a.host.find(':') != std::string::npos) {
            *error = "write an IPv6 address in brackets: [ADDRESS]:PORT";
            return std::nullopt;
        }
    } else {
        a.host = "127.0.0.1";
    }
    if (!ParsePort(port, &a.port)) {
        *error = "the port must be a number from 0 to 65535";
        return std::nullopt;
    }
    return a;
}

struct StatusServer::Impl {
    std::string url;
    const SyncMetrics& metrics;
    httplib::Server server;
    std::thread thread;
    std::future<void> finished;

    std::mutex dbMutex;  // one database connection, one request at a time
    std::unique_ptr<Store> store;

    Impl(std::string u, const SyncMetrics& m) : url(std::move(u)), metrics(m) {}

    struct Snapshot {
        DatabaseProbe probe;
        std::vector<TerminalStatus> rows;
        Millis now = 0;
    };

    // Reads the terminals and the database's clock. The read is also the
    // probe: the database is up when it answered a real query (SQLite's
    // clock is the machine's, so the clock alone would prove nothing), and
    // its time is the latency shown. A connection that failed is dropped
    // and opened anew by the next request, so the pages recover when the
    // database comes back.
    Snapshot Read() {
        Snapshot s;
        std::lock_guard<std::mutex> lock(dbMutex);
        try {
            if (!store) store = OpenStore(url);
            const auto start = std::chrono::steady_clock::now();
            s.rows = store->Status();
            s.probe.latencySeconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            s.now = store->Now();
            s.probe.up = true;
        } catch (const std::exception& e) {
            store.reset();
            s.probe.up = false;
            s.probe.error = e.what();
            s.rows.clear();
        }
        return s;
    }

    static void Unavailable(httplib::Response& res, const DatabaseProbe& probe) {
        res.status = 503;
        res.set_content("database unreachable: " + probe.error + "\n", "text/plain; charset=utf-8");
    }

    void Routes() {
        const auto page = [this](const httplib::Request&, httplib::Response& res) {
            const Snapshot s = Read();
            if (!s.probe.up) return Unavailable(res, s.probe);
            std::ostringstream out;
            WriteStatusHtml(out, s.rows, s.now);
            res.set_content(out.str(), "text/html; charset=utf-8");
        };
        server.Get("/", page);
        server.Get("/status", page);
        server.Get("/status.json", [this](const httplib::Request&, httplib::Response& res) {
            const Snapshot s = Read();
            if (!s.probe.up) return Unavailable(res, s.probe);
            std::ostringstream out;
            WriteStatus(out, s.rows, tlclient::Format::Json, s.now);
            res.set_content(out.str(), "application/json");
        });
        server.Get("/health", [this](const httplib::Request&, httplib::Response& res) {
            const Snapshot s = Read();
            if (!s.probe.up) return Unavailable(res, s.probe);
            res.set_content("ok\n", "text/plain; charset=utf-8");
        });
        // The metrics answer even when the database does not: the page then
        // says so (termlink_sync_database_up 0) and still has this
        // process's counters.
        server.Get("/metrics", [this](const httplib::Request&, httplib::Response& res) {
            const Snapshot s = Read();
            std::ostringstream out;
            WritePrometheus(out, metrics, s.probe, s.rows, s.now);
            res.set_content(out.str(), "text/plain; version=0.0.4; charset=utf-8");
        });
        // The page has inline styles and nothing else to load or run.
        server.set_default_headers(
            {{"Cache-Control", "no-store"},
             {"X-Content-Type-Options", "nosniff"},
             {"Content-Security-Policy", "default-src 'none'; style-src 'unsafe-inline'"}});
        server.new_task_queue = [] { return new httplib::ThreadPool(kServerThreads); };
        server.set_read_timeout(kIoTimeoutSeconds);
        server.set_write_timeout(kIoTimeoutSeconds);
        server.set_payload_max_length(64 * 1024);  // nothing here takes a body
    }
};

StatusServer::StatusServer(std::string databaseUrl, const SyncMetrics& metrics)
    : impl_(std::make_unique<Impl>(std::move(databaseUrl), metrics)) {
    impl_->Routes();
}

StatusServer::~StatusServer() {
    Stop();
}

int StatusServer::Start(const ListenAddress& where) {
    int port = where.port;
    const bool bound = port == 0 ? (port = impl_->server.bind_to_any_port(where.host)) > 0
                                 : impl_->server.bind_to_port(where.host, port);
    if (!bound)
        throw std::runtime_error("cannot listen on " + where.host + ":" +
                                 std::to_string(where.port) +
                                 " (in use, not an address of this machine, or a port that needs "
                                 "privileges)");
    std::packaged_task<void()> serve([this] { impl_->server.listen_after_bind(); });
    impl_->finished = serve.get_future();
    impl_->thread = std::thread(std::move(serve));
    return port;
}

void StatusServer::Stop() {
    if (!impl_->thread.joinable()) return;
    // A stop() that comes before the serving thread has begun is not seen
    // by it: ask again until the thread has ended.
    do {
        impl_->server.stop();
    } while (impl_->finished.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready);
    impl_->thread.join();
}

}  // namespace tlsync
