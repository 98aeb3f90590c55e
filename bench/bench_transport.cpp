// Moves 8 MiB with PMX_READDATA over loopback TCP and UDP and, in the same
// iterations, the same bytes over a plain loopback TCP socket, and reports
// each path's throughput and its ratio to the plain socket.
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "portmux.h"
#include "termsim/server.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kBytes = 8u << 20;

class TableTerminal : public termsim::Handler {
  public:
    explicit TableTerminal(std::vector<std::uint8_t> t) : table_(std::move(t)) {}
    termsim::Response Handle(const termsim::Request&) override {
        return termsim::Response{termsim::kReplyOk, table_};
    }

  private:
    std::vector<std::uint8_t> table_;
};

// One plain loopback TCP transfer of `data`; returns seconds.
double PlainSocket(const std::vector<std::uint8_t>& data, std::vector<std::uint8_t>& into) {
    int ls = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(ls, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(ls, 1);
    ::getsockname(ls, reinterpret_cast<sockaddr*>(&a), &len);
    int c = ::socket(AF_INET, SOCK_STREAM, 0);
    ::connect(c, reinterpret_cast<sockaddr*>(&a), sizeof a);
    int s = ::accept(ls, nullptr, nullptr);
    auto t0 = Clock::now();
    std::thread sender([&] {
        std::size_t off = 0;
        while (off < data.size()) {
            ssize_t n = ::send(s, data.data() + off, data.size() - off, MSG_NOSIGNAL);
            if (n <= 0) break;
            off += static_cast<std::size_t>(n);
        }
    });
    std::size_t got = 0;
    while (got < into.size()) {
        ssize_t n = ::recv(c, into.data() + got, into.size() - got, 0);
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    sender.join();
    double secs = std::chrono::duration<double>(Clock::now() - t0).count();
    ::close(s);
    ::close(c);
    ::close(ls);
    return secs;
}

double ReadData(PMX_HANDLE h, std::vector<std::uint8_t>& into, int packet) {
    int cmd = 120;
    auto t0 = Clock::now();
    int n = PMX_READDATA(h, &cmd, into.data(), static_cast<int>(into.size()), 0, packet, 4000);
    double secs = std::chrono::duration<double>(Clock::now() - t0).count();
    if (n != static_cast<int>(into.size())) return -1;
    return secs;
}

void BM_ReadData8MiB(benchmark::State& state) {
    std::vector<std::uint8_t> table(kBytes);
    for (std::size_t i = 0; i < table.size(); ++i) table[i] = static_cast<std::uint8_t>(i * 131);
    TableTerminal terminal(table);
    termsim::TerminalServer server(terminal, termsim::ServeOptions{});
    if (!server.Start()) {
        state.SkipWithError("server did not start");
        return;
    }
    PMX_HANDLE tcp = PMX_INIT("tcpwire.dll", "127.0.0.1", server.Port(), 0, 0, 0, 0, 0);
    PMX_HANDLE udp = PMX_INIT("netwire.dll", "127.0.0.1", server.Port(), 0, 0, 0, 0, 0);
    if (!tcp || !udp) {
        state.SkipWithError("connect failed");
        return;
    }
    std::vector<std::uint8_t> plainInto(kBytes), into(kBytes + 4);
    double plain = 0, overTcp = 0, overUdp = 0;
    for (auto _ : state) {
        double p = PlainSocket(table, plainInto);
        double t = ReadData(tcp, into, 65472);
        double u = ReadData(udp, into, 60000);
        if (t < 0 || u < 0) {
            state.SkipWithError("transfer failed");
            break;
        }
        plain += p;
        overTcp += t;
        overUdp += u;
        state.SetIterationTime(p + t + u);
    }
    PMX_CLOSE(tcp);
    PMX_CLOSE(udp);
    if (plain > 0 && overTcp > 0 && overUdp > 0) {
        double mib = static_cast<double>(state.iterations()) * 8.0;
        state.counters["plain_MiBps"] = mib / plain;
        state.counters["tcp_MiBps"] = mib / overTcp;
        state.counters["udp_MiBps"] = mib / overUdp;
        state.counters["tcp_vs_plain"] = plain / overTcp;  // target >= 0.5
        state.counters["udp_vs_plain"] = plain / overUdp;  // target >= 0.25
    }
}
BENCHMARK(BM_ReadData8MiB)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
