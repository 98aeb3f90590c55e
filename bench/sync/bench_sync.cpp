// Fleet sync: 200 simulated terminals with 10,000 punches each, every frame
// from a terminal 2 ms late, synced by termlink-sync's engine with 1, 4 and
// 16 workers into SQLite and PostgreSQL. Each run starts from an empty
// database. Reported per run: punches per second, the speed-up against the
// single worker's rate measured in the same program run, and the parallel
// efficiency against one terminal's download time x 200 / workers.
//
// PostgreSQL: TL_BENCH_PG_URL names a server to use (its tables are
// dropped); otherwise a throw-away server is started on loopback with the
// tests' script. TL_BENCH_TERMINALS, TL_BENCH_PUNCHES and TL_BENCH_DELAY_MS
// change the fleet for quicker or slower runs; TL_BENCH_LEASE_MS sets the
// lease (default the tool's 60 s), short enough for renewals to happen
// during every download when the cost of renewing is measured.
#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "runner.h"
#include "store.h"
#include "termsim/model.h"
#include "termsim/server.h"

namespace {

int EnvInt(const char* name, int def) {
    const char* v = std::getenv(name);
    return v && *v ? std::atoi(v) : def;
}

const int kTerminals = EnvInt("TL_BENCH_TERMINALS", 200);
const int kPunches = EnvInt("TL_BENCH_PUNCHES", 10000);
const int kDelayMs = EnvInt("TL_BENCH_DELAY_MS", 2);
const int kLeaseMs = EnvInt("TL_BENCH_LEASE_MS", 60000);

// The simulated fleet, started once.
struct Fleet {
    std::vector<std::unique_ptr<termsim::Model>> models;
    std::vector<std::unique_ptr<termsim::TerminalServer>> servers;
    std::vector<tlsync::FleetEntry> entries;

    Fleet() {
        const termsim::Profile profiles[] = {termsim::Profile::Extended, termsim::Profile::Tft,
                                             termsim::Profile::Classic, termsim::Profile::Fp10};
        for (int i = 0; i < kTerminals; ++i) {
            termsim::Config config;
            config.profile = profiles[i % 4];
            auto m = std::make_unique<termsim::Model>(config);
            termsim::GenerateParams plan;
            plan.seed = 1000 + static_cast<std::uint64_t>(i);
            plan.users = 100;
            plan.punches = kPunches;
            plan.days = 120;
            m->Generate(plan);
            m->SetOption("~SerialNumber", "BENCH" + std::to_string(100000 + i));
            termsim::ServeOptions o;
            o.tcp = false;
            o.faults.delayMs = kDelayMs;
            auto s = std::make_unique<termsim::TerminalServer>(*m, o);
            std::string error;
            if (!s->Start(&error)) {
                std::fprintf(stderr, "bench_sync: terminal %d: %s\n", i, error.c_str());
                std::exit(1);
            }
            entries.push_back(
                {"t" + std::to_string(i), "udp:127.0.0.1:" + std::to_string(s->Port()), 0});
            models.push_back(std::move(m));
            servers.push_back(std::move(s));
        }
    }
};

Fleet& TheFleet() {
    static Fleet fleet;
    return fleet;
}

// A PostgreSQL server for the run: the caller's, or one of our own.
struct Postgres {
    std::string url;
    std::string dir;
    Postgres() {
        if (const char* u = std::getenv("TL_BENCH_PG_URL")) {
            url = u;
            return;
        }
        dir = (std::filesystem::temp_directory_path() / "tl-bench-pg").string();
        const int port = 55432;
        const std::string start =
            "bash " TL_PG_SERVER " stop " + dir + " >/dev/null 2>&1; rm -rf " + dir +
            " && bash " TL_PG_SERVER " start " + dir + " " + std::to_string(port);
        if (std::system(start.c_str()) != 0) {
            std::fprintf(stderr, "bench_sync: cannot start PostgreSQL\n");
            std::exit(1);
        }
        url = "postgresql://postgres@127.0.0.1:" + std::to_string(port) + "/fleet";
    }
    ~Postgres() {
        if (!dir.empty()) std::system(("bash " TL_PG_SERVER " stop " + dir).c_str());
    }
};

Postgres& ThePostgres() {
    static Postgres pg;
    return pg;
}

// An empty database of the kind, with the fleet registered.
std::string FreshDatabase(const std::string& kind, const std::vector<tlsync::FleetEntry>& fleet) {
    std::string url;
    if (kind == "sqlite") {
        const auto path = std::filesystem::temp_directory_path() / "tl-bench-sync.db";
        for (const char* suffix : {"", "-wal", "-shm"})
            std::filesystem::remove(path.string() + suffix);
        url = "sqlite:" + path.string();
    } else {
        url = ThePostgres().url;
        PGconn* c = PQconnectdb(url.c_str());
        PQclear(PQexec(c, "DROP TABLE IF EXISTS punches, users, terminals"));
        PQfinish(c);
    }
    auto store = tlsync::OpenStore(url);
    store->Prepare();
    store->AddTerminals(fleet);
    return url;
}

// One terminal's download and commit alone, the best of three.
double OneTerminalSeconds(const std::string& kind) {
    static std::map<std::string, double> cache;
    if (auto it = cache.find(kind); it != cache.end()) return it->second;
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        const std::string url = FreshDatabase(kind, {TheFleet().entries[0]});
        tlsync::RunOptions o;
        o.workers = 1;
        const auto t0 = std::chrono::steady_clock::now();
        tlsync::Run(url, o);
        best = std::min(
            best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    return cache[kind] = best;
}

std::map<std::string, double> g_singleRate;  // punches per second with one worker

void BM_Sync(benchmark::State& state, std::string kind) {
    const int workers = static_cast<int>(state.range(0));
    Fleet& fleet = TheFleet();
    const double one = OneTerminalSeconds(kind);
    double seconds = 0;
    long long punches = 0;
    long long renewals = 0;
    double cpu = 0;
    for (auto _ : state) {
        const std::string url = FreshDatabase(kind, fleet.entries);
        tlsync::RunOptions o;
        o.workers = workers;
        o.leaseMs = kLeaseMs;
        const std::clock_t c0 = std::clock();
        const auto t0 = std::chrono::steady_clock::now();
        const tlsync::RunSummary s = tlsync::Run(url, o);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        cpu = static_cast<double>(std::clock() - c0) / CLOCKS_PER_SEC;
        state.SetIterationTime(seconds);
        punches = s.newPunches;
        renewals = s.leaseRenewals;
        if (s.failed) state.SkipWithError("terminals failed");
    }
    const double rate = punches / seconds;
    if (workers == 1) g_singleRate[kind] = rate;
    state.counters["punches_per_s"] = rate;
    state.counters["speedup"] = g_singleRate.count(kind) ? rate / g_singleRate[kind] : 0;
    state.counters["efficiency"] = one * kTerminals / workers / seconds;
    state.counters["one_terminal_ms"] = one * 1000;
    state.counters["renewals_per_terminal"] = static_cast<double>(renewals) / kTerminals;
    // This process's CPU time per terminal (the simulated terminals, the
    // engine and SQLite; a PostgreSQL server's own work is not in it), and
    // the speed-up that CPU time allows at best on this machine's cores.
    const double cpuPerTerminal = cpu / kTerminals;
    const double cores = std::max(1u, std::thread::hardware_concurrency());
    state.counters["cpu_ms_per_terminal"] = cpuPerTerminal * 1000;
    state.counters["cpu_ceiling"] = one / (cpuPerTerminal / cores);
}

}  // namespace

int main(int argc, char** argv) {
    for (const char* kind : {"sqlite", "postgresql"})
        benchmark::RegisterBenchmark((std::string("BM_Sync/") + kind).c_str(), BM_Sync,
                                     std::string(kind))
            ->Arg(1)
            ->Arg(4)
            ->Arg(16)
            ->Iterations(1)
            ->UseManualTime()
            ->Unit(benchmark::kSecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
