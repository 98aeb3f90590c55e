// termlink-sync: every terminal's punches into one database.
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "client/format.h"
#include "fleet_file.h"
#include "runner.h"
#include "status_server.h"
#include "status_view.h"
#include "store.h"
#include "sync_metrics.h"

namespace {

constexpr const char* kHelp =
    R"(usage: termlink-sync [run] [--db URL] [--fleet FILE] [options]
       termlink-sync status [--db URL] [--json | --csv | --html FILE]
       termlink-sync rebind [--db URL] NAME

Downloads the attendance logs and users of a fleet of terminals into one
database. Each punch is stored once, keyed by the terminal's serial number and
the punch's own fields, so a run that is stopped at any point and started
again loses nothing and stores nothing twice.

Database:
  --db URL          sqlite:PATH (default sqlite:termlink-sync.db) or
                    postgresql://USER@HOST:PORT/DATABASE; several processes
                    on several machines may share one PostgreSQL database
Run options:
  --fleet FILE      add or update the terminals listed in FILE (lines:
                    NAME CONNECTION [key=N]; connections udp:HOST[:PORT],
                    tcp:HOST[:PORT], com:PORT[:BAUD[:STATION]], usb:N);
                    without it the terminals already in the database are used
  --workers N       terminals handled at once (default 4)
  --timeout MS      transport timeout per exchange (default 5000)
  --attempts N      tries per terminal in one run (default 3)
  --backoff MS      pause after a first failure, doubling per failure up to
                    five minutes (default 1000)
  --lease S         how long a claim holds a terminal without renewal; it is
                    renewed every third of that while the terminal is
                    handled (default 60)
  --no-users        do not sync users' names and departments
  --lock            keep each terminal's keypad off while it is downloaded
  --clear           clear each terminal's log after its punches are stored
                    (implies --lock)
  --follow          stay connected and store punches as they happen; a full
                    download every --full-every seconds as a safety net
  --poll MS         --follow: poll each terminal this often (default 1000)
  --full-every S    --follow: full download interval (default 300)
  --hold N          --follow: most terminals this process keeps open (default 100)
  --owner NAME      this process's name in leases (default a random one)
  --listen ADDR:PORT
                    serve over HTTP while running: the status page (/), the
                    same rows as JSON (/status.json), /health (200 when the
                    database answers, else 503) and Prometheus /metrics; a
                    bare PORT listens on 127.0.0.1 only
  --quiet           no progress lines, only the summary and errors
  --json            the summary as JSON on standard output
Status options:
  --json, --csv     machine-readable output
  --html FILE       a self-contained HTML page

Exit status:
  0                 every terminal synced
  1                 some terminals failed, fleet lines were skipped, or a
                    run (not --follow) was stopped by a signal before every
                    terminal was synced
  2                 bad command line
  3                 the database could not be used (status: or does not exist)
)";

std::atomic<bool> g_stop{false};
extern "C" void OnSignal(int) {
    g_stop = true;
}

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class Args {
  public:
    Args(int argc, char** argv) {
        for (int i = 1; i < argc; ++i) items_.emplace_back(argv[i]);
    }
    std::optional<std::string> Command() {
        if (!items_.empty() && items_[0].rfind("--", 0) != 0) {
            std::string c = items_[0];
            items_.erase(items_.begin());
            return c;
        }
        return std::nullopt;
    }
    bool Flag(const std::string& name) {
        for (auto it = items_.begin(); it != items_.end(); ++it)
            if (*it == name) {
                items_.erase(it);
                return true;
            }
        return false;
    }
    std::optional<std::string> Value(const std::string& name) {
        for (auto it = items_.begin(); it != items_.end(); ++it)
            if (*it == name) {
                if (it + 1 == items_.end()) throw UsageError(name + " needs a value");
                std::string v = *(it + 1);
                items_.erase(it, it + 2);
                return v;
            }
        return std::nullopt;
    }
    long long Int(const std::string& name, long long def, long long min, long long max) {
        const auto v = Value(name);
        if (!v) return def;
        char* end = nullptr;
        const long long n = std::strtoll(v->c_str(), &end, 10);
        if (v->empty() || *end || n < min || n > max)
            throw UsageError(name + " must be a number from " + std::to_string(min) + " to " +
                             std::to_string(max));
        return n;
    }
    // What is left: positional arguments; unknown options are refused.
    std::vector<std::string> Rest() {
        for (const auto& a : items_)
            if (a.rfind("--", 0) == 0) throw UsageError("unknown option " + a);
        return items_;
    }

  private:
    std::vector<std::string> items_;
};

void Note(const std::string& line) {
    std::cerr << "termlink-sync: " << line << "\n";
}

int RunCommand(Args& args, const std::string& db) {
    tlsync::RunOptions o;
    const auto fleetFile = args.Value("--fleet");
    o.workers = static_cast<int>(args.Int("--workers", 4, 1, 256));
    o.timeoutMs = static_cast<int>(args.Int("--timeout", 5000, 100, 600000));
    o.attempts = static_cast<int>(args.Int("--attempts", 3, 1, 100));
    o.backoffMs = args.Int("--backoff", 1000, 0, 3600000);
    o.leaseMs = args.Int("--lease", 60, 1, 86400) * 1000;
    o.pollMs = args.Int("--poll", 1000, 50, 3600000);
    o.fullEveryMs = args.Int("--full-every", 300, 1, 86400) * 1000;
    o.hold = static_cast<int>(args.Int("--hold", 100, 1, 100000));
    o.users = !args.Flag("--no-users");
    o.lock = args.Flag("--lock");
    o.clear = args.Flag("--clear");
    o.follow = args.Flag("--follow");
    if (auto owner = args.Value("--owner")) o.owner = *owner;
    std::optional<tlsync::ListenAddress> listen;
    if (auto text = args.Value("--listen")) {
        std::string error;
        listen = tlsync::ParseListen(*text, &error);
        if (!listen) throw UsageError("--listen " + *text + ": " + error);
    }
    const bool quiet = args.Flag("--quiet");
    const bool json = args.Flag("--json");
    if (!args.Rest().empty()) throw UsageError("run takes no positional arguments");
    if (o.leaseMs <= o.pollMs * 2 && o.follow)
        throw UsageError("--lease must be well above --poll");

    int exitCode = 0;
    {
        auto store = tlsync::OpenStore(db);
        store->Prepare();
        if (fleetFile) {
            std::ifstream in(*fleetFile);
            if (!in) throw UsageError("cannot read the fleet file " + *fleetFile);
            const auto parsed = tlsync::ParseFleet(in);
            for (const auto& e : parsed.errors) Note(*fleetFile + ": " + e + " (line skipped)");
            if (!parsed.errors.empty()) exitCode = 1;
            store->AddTerminals(parsed.entries);
        }
        if (store->Fleet().empty()) {
            Note("no terminals: give a fleet file with --fleet FILE");
            return exitCode ? exitCode : 1;
        }
    }
    if (!quiet) o.progress = [](const std::string& line) { Note(line); };
    o.stop = &g_stop;
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    tlsync::SyncMetrics metrics;
    o.metrics = &metrics;
    std::unique_ptr<tlsync::StatusServer> server;
    if (listen) {
        server = std::make_unique<tlsync::StatusServer>(db, metrics);
        try {
            const int port = server->Start(*listen);
            const bool v6 = listen->host.find(':') != std::string::npos;
            Note("listening on http://" + (v6 ? "[" + listen->host + "]" : listen->host) + ":" +
                 std::to_string(port) + "/");
        } catch (const std::runtime_error& e) {
            throw UsageError(std::string("--listen: ") + e.what());
        }
    }
    const tlsync::RunSummary s = tlsync::Run(db, o);
    if (server) server->Stop();
    for (const auto& e : s.errors) Note("failed: " + e);
    if (json) {
        tlclient::Fields f;
        f.Add("terminals", tlclient::Num(s.terminals));
        f.Add("reached", tlclient::Num(s.reached));
        f.Add("failed", tlclient::Num(s.failed));
        f.Add("new_punches", tlclient::Num(s.newPunches));
        f.Add("users", tlclient::Num(s.users));
        tlclient::WriteFields(std::cout, f, tlclient::Format::Json);
    }
    Note(std::to_string(s.terminals) + " terminals: " + std::to_string(s.reached) + " reached, " +
         std::to_string(s.failed) + " failed; " + std::to_string(s.newPunches) + " new punches; " +
         std::to_string(s.users) + " users.");
    if (s.failed > 0) exitCode = 1;
    // A one-shot run stopped by a signal before every terminal was synced
    // did not do what its exit status 0 would promise.
    if (g_stop && !o.follow && s.reached + s.failed < s.terminals) {
        Note("stopped by a signal before this run had synced every terminal");
        exitCode = 1;
    }
    return exitCode;
}

int StatusCommand(Args& args, const std::string& db) {
    const bool json = args.Flag("--json");
    const bool csv = args.Flag("--csv");
    const auto html = args.Value("--html");
    if (!args.Rest().empty()) throw UsageError("status takes no positional arguments");
    if (json + csv + bool(html) > 1) throw UsageError("choose one of --json, --csv and --html");
    // A database that is not there is an error, not an empty fleet: a
    // mistyped path must not look like a healthy fleet of none.
    auto store = tlsync::OpenStore(db, false);
    store->Prepare();
    const auto rows = store->Status();
    const tlsync::Millis now = store->Now();
    if (html) {
        // Written beside the page and renamed over it once whole, so that a
        // browser or web server never shows a page cut short.
        const std::string temp = *html + ".tmp" + std::to_string(std::random_device{}());
        bool written;
        {
            std::ofstream out(temp, std::ios::binary | std::ios::trunc);
            if (out) tlsync::WriteStatusHtml(out, rows, now);
            written = out && out.flush();
        }
        std::error_code ec;
        if (written) std::filesystem::rename(temp, *html, ec);
        if (!written || ec) {
            std::filesystem::remove(temp, ec);
            Note("cannot write " + *html);
            return 1;
        }
        return 0;
    }
    tlsync::WriteStatus(std::cout, rows,
                        json  ? tlclient::Format::Json
                        : csv ? tlclient::Format::Csv
                              : tlclient::Format::Table,
                        now);
    return 0;
}

int RebindCommand(Args& args, const std::string& db) {
    const auto rest = args.Rest();
    if (rest.size() != 1) throw UsageError("usage: termlink-sync rebind NAME");
    auto store = tlsync::OpenStore(db);
    store->Prepare();
    if (!store->Rebind(rest[0])) {
        Note("no terminal named " + rest[0]);
        return 1;
    }
    Note(rest[0] + ": the serial number will be bound again at the next contact");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Args args(argc, argv);
    try {
        if (args.Flag("--help") || args.Flag("-h")) {
            std::cout << kHelp;
            return 0;
        }
        const std::string command = args.Command().value_or("run");
        const std::string db = args.Value("--db").value_or("sqlite:termlink-sync.db");
        if (command == "run") return RunCommand(args, db);
        if (command == "status") return StatusCommand(args, db);
        if (command == "rebind") return RebindCommand(args, db);
        throw UsageError("unknown command '" + command + "' (run, status or rebind)");
    } catch (const UsageError& e) {
        std::cerr << "termlink-sync: " << e.what() << "\n"
                  << "Try 'termlink-sync --help'.\n";
        return 2;
    } catch (const tlsync::StoreError& e) {
        std::cerr << "termlink-sync: database: " << e.what() << "\n";
        return 3;
    }
}
