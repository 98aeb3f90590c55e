// Attendance-log download and iteration over loopback TCP against the
// simulated terminal. Each iteration moves the same log twice, side by side:
// once as a raw table transfer into a plain buffer, once through TL_ReadLog
// and the record iterator. Reported: records per second of download plus
// iteration, and the ratio of that time to the raw transfer's. Two figures
// put the iteration in proportion: the same number of iterator calls that
// only find the end of the data (the cost of one exported call per record,
// whatever it decodes), and the iteration against the time the same bytes
// take on a 100 Mbit/s terminal link.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "portmux.h"
#include "session/session.h"
#include "termsim/model.h"
#include "tests/e2e/compact_log.h"
#include "tests/e2e/harness.h"

namespace {

constexpr std::size_t kLogBuffer = 8388608;

// The largest log of the profile's fixed record size that fits the download
// buffer with its count word; for the compact layout, as many punches as fit.
termsim::Model& FullModel(termsim::Profile profile) {
    static std::map<termsim::Profile, std::unique_ptr<termsim::Model>> models;
    auto& m = models[profile];
    if (m) return *m;
    termsim::Config config;
    config.profile = profile;
    m = std::make_unique<termsim::Model>(config);
    termsim::GenerateParams plan;
    plan.seed = 11;
    plan.users = 400;
    plan.days = 60;
    const int size = m->LogRecordSize();
    const std::size_t room = kLogBuffer - 4;
    plan.punches = static_cast<int>(room / (size == 0 ? 8 : size));
    m->Generate(plan);
    if (size == 0) {
        // Compact records are 4 or 8 bytes: scale up to the room, then step
        // down until the log fits.
        plan.punches =
            static_cast<int>(plan.punches * 0.995 * room / e2e::CompactBytes(m->Punches()));
        do {
            m->Generate(plan);
            plan.punches -= plan.punches / 100 + 1;
        } while (e2e::CompactBytes(m->Punches()) > room);
    }
    return *m;
}

using Clock = std::chrono::steady_clock;

// A call with the iterator's arguments that does nothing, made through a
// pointer the compiler cannot see through: the cost of the call alone.
int NoRecord(TL_HANDLE, int*, unsigned char*, unsigned char*, int*, int*, int*, int*, int*, int*,
             int*, int*) {
    return 0;
}
decltype(&TL_GetExtLog) volatile noRecordCall = &NoRecord;

double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

// The table transfer alone: the same command and buffer size the log read
// uses, into a plain buffer, nothing decoded.
bool RawTransfer(tl::DeviceSession& s, std::vector<std::uint8_t>& buffer) {
    const bool prepared = tl::VersionCompare(s, "Ver 6.01") >= 0;
    int word = prepared ? 120 : 13;
    buffer[0] = 1;
    const int n = PMX_READDATA(s.transport, &word, buffer.data(), static_cast<int>(buffer.size()),
                               prepared ? 1 : 0, s.blockSize, s.dataTimeout);
    if ((word & 0xFFFF) != REPLY_OK || n <= 0) return false;
    if (prepared) {
        std::uint8_t free[16] = {1};
        int cmd = 121;
        PMX_SENDCMD(s.transport, &cmd, free, 16, 1, s.cmdTimeout);
    }
    return true;
}

void BM_LogDownloadAndIterate(benchmark::State& state) {
    const auto profile = static_cast<termsim::Profile>(state.range(0));
    termsim::Model& model = FullModel(profile);
    e2e::HarnessOptions options;
    options.ptys = 0;
    e2e::SimTerminal sim(model, options);
    TL_HANDLE h = sim.ConnectNetEx();
    if (!h) {
        state.SkipWithError("connect failed");
        return;
    }
    int width = 0;
    TL_GetPINWidth(h, &width);
    auto& session = *tl::as_session(h);
    std::vector<std::uint8_t> rawBuffer(kLogBuffer);

    double rawSeconds = 0, readSeconds = 0, iterateSeconds = 0, endCallSeconds = 0,
           bareCallSeconds = 0;
    std::size_t records = 0, bytes = 0;
    bool rawFirst = true;
    for (auto _ : state) {
        // The two transfers take turns going first, so that neither always
        // meets a connection that has just been idle.
        double raw = 0;
        auto timeRaw = [&] {
            const auto t0 = Clock::now();
            const bool ok = RawTransfer(session, rawBuffer);
            raw = Seconds(t0, Clock::now());
            return ok;
        };
        if (rawFirst && !timeRaw()) {
            state.SkipWithError("raw transfer failed");
            break;
        }
        const auto t1 = Clock::now();
        if (TL_ReadLog(h, 1) != 1) {
            state.SkipWithError("log read failed");
            break;
        }
        const auto t2 = Clock::now();
        bytes += static_cast<std::size_t>(session.log.dataLen);
        int pin = 0, y, mo, d, hh, mi, ss, code, word;
        unsigned char mode, att;
        char id[25];
        std::size_t n = 0;
        if (profile == termsim::Profile::Tft) {
            while (TL_SSR_GetLog(h, id, &mode, &att, &y, &mo, &d, &hh, &mi, &ss, &code) == 1) ++n;
        } else {
            while (TL_GetExtLog(h, &pin, &mode, &att, &y, &mo, &d, &hh, &mi, &ss, &code, &word) ==
                   1)
                ++n;
        }
        const auto t3 = Clock::now();
        // As many calls again, each of which finds the end at once.
        std::size_t ends = 0;
        for (std::size_t i = 0; i < n; ++i) {
            if (profile == termsim::Profile::Tft)
                ends += TL_SSR_GetLog(h, id, &mode, &att, &y, &mo, &d, &hh, &mi, &ss, &code) == 0;
            else
                ends += TL_GetExtLog(h, &pin, &mode, &att, &y, &mo, &d, &hh, &mi, &ss, &code,
                                     &word) == 0;
        }
        const auto t4 = Clock::now();
        // And as many calls that do nothing at all.
        int bare = 0;
        for (std::size_t i = 0; i < n; ++i)
            bare += noRecordCall(h, &pin, &mode, &att, &y, &mo, &d, &hh, &mi, &ss, &code, &word);
        const auto t5 = Clock::now();
        benchmark::DoNotOptimize(bare);
        if (ends != n) {
            state.SkipWithError("iterator did not stay at the end");
            break;
        }
        if (!rawFirst && !timeRaw()) {
            state.SkipWithError("raw transfer failed");
            break;
        }
        rawFirst = !rawFirst;
        benchmark::DoNotOptimize(pin);
        records += n;
        rawSeconds += raw;
        readSeconds += Seconds(t1, t2);
        iterateSeconds += Seconds(t2, t3);
        endCallSeconds += Seconds(t3, t4);
        bareCallSeconds += Seconds(t4, t5);
    }
    const double iterations = std::max<double>(1, static_cast<double>(state.iterations()));
    state.counters["records"] = static_cast<double>(records) / iterations;
    state.counters["records_per_s"] = static_cast<double>(records) / (readSeconds + iterateSeconds);
    state.counters["raw_MiB_per_s"] = static_cast<double>(bytes) / rawSeconds / 1048576.0;
    // Download and iteration against the raw transfer of the same bytes.
    state.counters["ratio_to_raw"] = (readSeconds + iterateSeconds) / rawSeconds;
    // The iteration alone against the raw transfer.
    state.counters["iterate_vs_raw"] = iterateSeconds / rawSeconds;
    state.counters["ns_per_record"] = iterateSeconds * 1e9 / static_cast<double>(records);
    // Calls that decode nothing, against the raw transfer: the floor of any
    // record-by-record iteration.
    state.counters["end_calls_vs_raw"] = endCallSeconds / rawSeconds;
    // Calls that do nothing at all, against the raw transfer.
    state.counters["bare_calls_vs_raw"] = bareCallSeconds / rawSeconds;
    // The iteration against the same bytes on a 100 Mbit/s link.
    constexpr double kLinkBytesPerSecond = 100e6 / 8;
    state.counters["iterate_vs_100Mbit"] =
        iterateSeconds / (static_cast<double>(bytes) / kLinkBytesPerSecond);
    TL_Close(h);
}

BENCHMARK(BM_LogDownloadAndIterate)
    ->ArgName("profile")
    ->Arg(static_cast<int>(termsim::Profile::Extended))
    ->Arg(static_cast<int>(termsim::Profile::Tft))
    ->Arg(static_cast<int>(termsim::Profile::Classic))
    ->Iterations(8)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
