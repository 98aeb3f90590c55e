// Batch update against writing one command at a time, over the simulated
// terminal served in-process on loopback TCP.
//
// BM_OneByOneVsBatch: the same 1,000 users with two fingerprint templates
// each, written once one command per user and per template and once queued
// in one batch, side by side in each iteration, with the terminal pausing
// 2 ms before every frame it sends (a network terminal's turnaround).
// Reported: the seconds of each path (and of the batch's queueing on the
// host) and their ratio.
//
// BM_TenThousandTemplatesInOneBatch: 10,000 templates for 5,000 users
// queued and sent in one batch on loopback without delay, against sending
// an upload block of the same size raw (PMX_SENDDATA and one command) in
// the same iteration. Reported: the seconds of queueing, of the upload and
// apply, their sum, and the sum's ratio to the raw transfer.
#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

#include "portmux.h"
#include "session/session.h"
#include "termsim/model.h"
#include "tests/e2e/harness.h"
#include "tests/e2e/sample_templates.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

// The library reads as far as a template of the current layout may reach:
// each template sits in a zero-filled area that long.
std::vector<std::vector<std::uint8_t>> Templates(int count) {
    std::vector<std::vector<std::uint8_t>> out;
    for (int i = 0; i < count; ++i) {
        auto t = e2e::VariedTemplate(static_cast<std::uint32_t>(i + 1));
        t.resize(4096);
        out.push_back(std::move(t));
    }
    return out;
}

int Pin2(int i) {
    return 200000 + i;
}

// Empties the terminal and the session's user cache (outside the timing).
void Reset(termsim::Model& model, TL_HANDLE h, int users) {
    termsim::GenerateParams plan;
    plan.users = users;
    plan.punches = 0;
    plan.opRecords = 0;
    model.Generate(plan);
    TL_ReadUserInfo(h);
}

bool WriteUsers(TL_HANDLE h, int users, const std::vector<std::vector<std::uint8_t>>& tmpl) {
    for (int i = 0; i < users; ++i) {
        auto t0 = tmpl[2 * i], t1 = tmpl[2 * i + 1];  // a write may shrink in place
        if (TL_SetUserInfo(h, 0, "Bench", 0, 1, "", nullptr, Pin2(i), 1, nullptr) != 1 ||
            TL_SetUserTmp(h, Pin2(i), 0, t0.data()) != 1 ||
            TL_SetUserTmp(h, Pin2(i), 1, t1.data()) != 1)
            return false;
    }
    return true;
}

bool Holds(const termsim::Model& model, std::size_t users, std::size_t templates) {
    return model.Users().size() == users && model.Templates().size() == templates;
}

void BM_OneByOneVsBatch(benchmark::State& state) {
    constexpr int kUsers = 1000;
    termsim::Config config;
    config.profile = termsim::Profile::Classic;
    termsim::Model model(config);
    e2e::HarnessOptions options;
    options.ptys = 0;
    options.faults.delayMs = 2;
    e2e::SimTerminal sim(model, options);
    TL_HANDLE h = sim.ConnectNetEx();
    int width = 0;
    if (!h || TL_GetPINWidth(h, &width) != 1) {
        state.SkipWithError("connect failed");
        return;
    }
    const auto tmpl = Templates(2 * kUsers);
    double oneSeconds = 0, batchSeconds = 0, queueSeconds = 0;
    bool oneFirst = true;
    for (auto _ : state) {
        auto one = [&] {
            Reset(model, h, 0);
            const auto t0 = Clock::now();
            const bool ok = WriteUsers(h, kUsers, tmpl);
            oneSeconds += Seconds(t0, Clock::now());
            return ok && Holds(model, kUsers, 2 * kUsers);
        };
        auto batch = [&] {
            Reset(model, h, 0);
            const auto t0 = Clock::now();
            bool ok = TL_BeginBatchUpdate(h, 0) == 1 && WriteUsers(h, kUsers, tmpl);
            const auto t1 = Clock::now();
            ok = ok && TL_BatchUpdate(h) == 1;
            batchSeconds += Seconds(t0, Clock::now());
            queueSeconds += Seconds(t0, t1);
            TL_EnableDevice(h);
            return ok && Holds(model, kUsers, 2 * kUsers);
        };
        // The two paths take turns going first.
        const bool ok = oneFirst ? one() && batch() : batch() && one();
        if (!ok) {
            state.SkipWithError("the terminal does not hold what was written");
            break;
        }
        oneFirst = !oneFirst;
    }
    const double n = std::max<double>(1, static_cast<double>(state.iterations()));
    state.counters["one_by_one_s"] = oneSeconds / n;
    state.counters["batch_s"] = batchSeconds / n;
    // Of the batch: queueing on the host (normalising, allocating numbers).
    state.counters["batch_queue_s"] = queueSeconds / n;
    state.counters["batch_speedup"] = oneSeconds / batchSeconds;
    TL_Close(h);
}

void BM_TenThousandTemplatesInOneBatch(benchmark::State& state) {
    constexpr int kUsers = 5000, kTemplates = 2 * kUsers;
    termsim::Config config;
    config.profile = termsim::Profile::Classic;
    termsim::Model model(config);
    e2e::HarnessOptions options;
    options.ptys = 0;
    e2e::SimTerminal sim(model, options);
    TL_HANDLE h = sim.ConnectNetEx();
    int width = 0;
    if (!h || TL_GetPINWidth(h, &width) != 1) {
        state.SkipWithError("connect failed");
        return;
    }
    const auto tmpl = Templates(kTemplates);
    // The upload the batch makes: header, one 8-byte entry per template, and
    // each template with its u16 length.
    std::size_t blockSize = 12 + 8 * static_cast<std::size_t>(kTemplates);
    for (int i = 0; i < kTemplates; ++i)
        blockSize += 2 + e2e::VariedTemplate(static_cast<std::uint32_t>(i + 1)).size();
    std::vector<std::uint8_t> block(blockSize, 0x5A);
    auto& session = *tl::as_session(h);

    double queueSeconds = 0, commitSeconds = 0, rawSeconds = 0;
    bool rawFirst = true;
    for (auto _ : state) {
        auto raw = [&] {
            const auto t0 = Clock::now();
            const int sent =
                PMX_SENDDATA(session.transport, block.data(), static_cast<int>(block.size()), 2500);
            int word = 1013;  // refresh: a command after the data, as the batch sends
            PMX_SENDCMD(session.transport, &word, nullptr, 0, 0, 1000);
            rawSeconds += Seconds(t0, Clock::now());
            return sent == 1;
        };
        auto batch = [&] {
            Reset(model, h, kUsers);
            std::vector<int> pin2(kUsers);
            for (const auto& u : model.Users()) pin2[u.pin - 1] = static_cast<int>(u.pin2);
            const auto t0 = Clock::now();
            bool ok = TL_BeginBatchUpdate(h, 0) == 1;
            for (int i = 0; ok && i < kTemplates; ++i) {
                auto t = tmpl[i];
                ok = TL_SetUserTmp(h, pin2[i / 2], i % 2, t.data()) == 1;
            }
            const auto t1 = Clock::now();
            ok = ok && TL_BatchUpdate(h) == 1;
            const auto t2 = Clock::now();
            TL_EnableDevice(h);
            queueSeconds += Seconds(t0, t1);
            commitSeconds += Seconds(t1, t2);
            return ok && Holds(model, kUsers, kTemplates);
        };
        const bool ok = rawFirst ? raw() && batch() : batch() && raw();
        if (!ok) {
            state.SkipWithError("batch or raw transfer failed");
            break;
        }
        rawFirst = !rawFirst;
    }
    const double n = std::max<double>(1, static_cast<double>(state.iterations()));
    state.counters["templates"] = kTemplates;
    state.counters["block_MiB"] = static_cast<double>(blockSize) / 1048576.0;
    state.counters["queue_s"] = queueSeconds / n;
    state.counters["upload_apply_s"] = commitSeconds / n;
    state.counters["batch_s"] = (queueSeconds + commitSeconds) / n;
    state.counters["raw_s"] = rawSeconds / n;
    state.counters["batch_vs_raw"] = (queueSeconds + commitSeconds) / rawSeconds;
    TL_Close(h);
}

BENCHMARK(BM_OneByOneVsBatch)->Iterations(2)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_TenThousandTemplatesInOneBatch)
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
