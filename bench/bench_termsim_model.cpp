// The simulated terminal's cost of serving a bulk attendance-log read, per
// record form, measured side by side: the delta-coded compact form against
// the fixed 16-byte and 40-byte forms over the same generated punches.
#include <benchmark/benchmark.h>

#include <chrono>
#include <map>
#include <memory>

#include "termsim/model.h"

namespace {

termsim::Model& ModelFor(termsim::Profile p) {
    static std::map<termsim::Profile, std::unique_ptr<termsim::Model>> models;
    auto& m = models[p];
    if (!m) {
        termsim::Config c;
        c.profile = p;
        c.clock = termsim::EncodeTime(2024, 4, 1, 9, 0, 0);
        m = std::make_unique<termsim::Model>(c);
        termsim::GenerateParams g;
        g.seed = 9;
        g.users = 500;
        g.punches = 100000;
        g.days = 60;
        m->Generate(g);
    }
    return *m;
}

std::size_t ServeLog(termsim::Model& m) {
    termsim::Request r;
    r.op = termsim::Op::Read;
    r.command = 13;
    return m.Handle(r).data.size();
}

void BM_ServeLog(benchmark::State& state, termsim::Profile p) {
    auto& m = ModelFor(p);
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes = ServeLog(m);
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
    state.counters["records"] = 100000;
}
BENCHMARK_CAPTURE(BM_ServeLog, compact, termsim::Profile::Classic)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ServeLog, extended16, termsim::Profile::Extended)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ServeLog, textid40, termsim::Profile::Tft)->Unit(benchmark::kMillisecond);

// Both forms in one run, alternating: reports how much longer the compact
// encoder takes per record than the 16-byte one (the ratio, not a time).
void BM_CompactVersusExtendedRatio(benchmark::State& state) {
    auto& compact = ModelFor(termsim::Profile::Classic);
    auto& extended = ModelFor(termsim::Profile::Extended);
    using clock = std::chrono::steady_clock;
    clock::duration tc{}, te{};
    for (auto _ : state) {
        auto t0 = clock::now();
        benchmark::DoNotOptimize(ServeLog(compact));
        auto t1 = clock::now();
        benchmark::DoNotOptimize(ServeLog(extended));
        auto t2 = clock::now();
        tc += t1 - t0;
        te += t2 - t1;
    }
    state.counters["compact_over_16byte"] =
        te.count() > 0 ? static_cast<double>(tc.count()) / static_cast<double>(te.count()) : 0.0;
}
BENCHMARK(BM_CompactVersusExtendedRatio)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
