// Template codec throughput over a corpus of generated templates, and the
// shortest-stretch search against the exhaustive reference on the same rows.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include "tests/unit/template_stretch_reference.h"
#include "users/template_codec.h"
#include "users/template_grid.h"

namespace {

using ByteVec = std::vector<std::uint8_t>;

// A template as a sensor would give it: 20-70 minutiae, one or two singular
// points, a 24-32 cell direction grid whose field turns smoothly around a
// core, with a little noise and no data outside an elliptical print area.
std::unique_ptr<tl::TemplateModel> RealisticModel(std::mt19937& rng) {
    auto m = std::make_unique<tl::TemplateModel>();
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    m->headerByte = pick(0, 255);
    m->minutiaCount = pick(20, 70);
    for (int i = 0; i < m->minutiaCount; ++i) {
        m->x[i] = pick(40, 470);
        m->y[i] = pick(40, 490);
        m->dir[i] = pick(0, 239);
        m->kind[i] = pick(0, 2);
        m->level[i] = pick(30, 99);
    }
    m->singularCount = pick(1, 2);
    for (int i = 0; i < m->singularCount; ++i) {
        m->spX[i] = pick(150, 350);
        m->spY[i] = pick(150, 350);
        m->spAngle[i] = pick(0, 359);
        m->spKind[i] = pick(0, 1);
    }
    const int side = pick(24, 32);
    m->gridCols = m->gridRows = side;
    const double cx = side / 2.0 + pick(-3, 3), cy = side / 2.0 + pick(-3, 3);
    std::normal_distribution<double> noise(0.0, 1.0);
    for (int r = 0; r < side; ++r) {
        for (int c = 0; c < side; ++c) {
            const double dx = (c - side / 2.0) / (side * 0.48),
                         dy = (r - side / 2.0) / (side * 0.5);
            if (dx * dx + dy * dy > 1.0) continue;
            const double theta = std::atan2(r - cy, c - cx) / 2.0 + std::numbers::pi / 2;
            int v = static_cast<int>(std::lround(theta / std::numbers::pi * 120 + noise(rng)));
            m->grid[r][c] = static_cast<std::uint8_t>(((v % 120) + 120) % 120);
        }
    }
    return m;
}

struct Corpus {
    std::vector<ByteVec> templates;                  // layout C with grid
    std::vector<std::pair<ByteVec, int>> stretches;  // cells and the running value before them

    Corpus() {
        std::mt19937 rng(2024);
        ByteVec out(tl::kMaxEncodedC);
        for (int i = 0; i < 200; ++i) {
            auto m = RealisticModel(rng);
            templates.emplace_back(
                out.begin(), out.begin() + static_cast<long>(tl::EncodeLayoutC(*m, true, out)));
            if (i < 20) CollectStretches(*m);
        }
    }

    // The stretches the grid encoder would code, as far as the exhaustive
    // search finishes them within a node budget (the same rows for both).
    void CollectStretches(const tl::TemplateModel& m) {
        for (int r = 0; r < m.gridRows; ++r) {
            int c = 0, p = tl::kCodeNoData;
            while (c < m.gridCols) {
                const int cell = m.grid[r][c];
                if (cell >= 120) {
                    p = cell == tl::kNoData ? tl::kCodeNoData : cell > 120 ? 127 : 120;
                    ++c;
                    continue;
                }
                int len = 0;
                while (c + len < m.gridCols && len < tl::kMaxStretch && m.grid[r][c + len] < 120)
                    ++len;
                ByteVec cells(&m.grid[r][c], &m.grid[r][c] + len);
                if (tlref::ExhaustiveSearch(2000000).Code(cells, p))
                    stretches.emplace_back(cells, p);
                c += len;
                p = cells.back();
            }
        }
    }
};

const Corpus& TheCorpus() {
    static const Corpus corpus;
    return corpus;
}

void BM_Normalize(benchmark::State& state) {
    const auto& corpus = TheCorpus();
    ByteVec out(2048);
    for (auto _ : state) {
        for (const auto& t : corpus.templates) {
            benchmark::DoNotOptimize(tl::NormalizeTemplate(t, out));
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(corpus.templates.size()));
    state.SetLabel("normalisations");
}
BENCHMARK(BM_Normalize);

void BM_Shrink(benchmark::State& state) {
    const auto& corpus = TheCorpus();
    std::vector<ByteVec> work = corpus.templates;
    for (auto _ : state) {
        for (std::size_t i = 0; i < work.size(); ++i) {
            // Half the size: drops the grid, often minutiae too.
            std::copy(corpus.templates[i].begin(), corpus.templates[i].end(), work[i].begin());
            benchmark::DoNotOptimize(
                tl::ShrinkTemplate(work[i], static_cast<long long>(work[i].size() / 2)));
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(work.size()));
    state.SetLabel("shrinks");
}
BENCHMARK(BM_Shrink);

// Both searches over the same stretches, timed side by side in each
// iteration; the counter is how many times longer the exhaustive one takes.
void BM_StretchSearchVsExhaustive(benchmark::State& state) {
    const auto& corpus = TheCorpus();
    using Clock = std::chrono::steady_clock;
    Clock::duration ours{}, reference{};
    std::uint8_t out[tl::kMaxStretch];
    for (auto _ : state) {
        const auto t0 = Clock::now();
        for (const auto& [cells, p] : corpus.stretches) {
            benchmark::DoNotOptimize(tl::CodeStretch(cells, p, out));
        }
        const auto t1 = Clock::now();
        for (const auto& [cells, p] : corpus.stretches) {
            benchmark::DoNotOptimize(tlref::ExhaustiveStretch(cells, p));
        }
        const auto t2 = Clock::now();
        ours += t1 - t0;
        reference += t2 - t1;
    }
    state.counters["rows"] = static_cast<double>(corpus.stretches.size());
    state.counters["exhaustive_over_ours"] =
        std::chrono::duration<double>(reference).count() /
        std::max(1e-12, std::chrono::duration<double>(ours).count());
}
BENCHMARK(BM_StretchSearchVsExhaustive)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
