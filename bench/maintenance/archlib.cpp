// archlib and the backup it serves.
//
// BM_ArchlibCompress / BM_ArchlibExpand: a 16 MiB image laid out as a
// backup (64 KiB blocks: the transfer's 4-byte count, then the simulated
// terminal's data memory, its text tables and hex templates), compressed to
// a file and expanded again. Reported: MB/s of original bytes and the
// compression ratio (original / file).
//
// BM_BackupOverLoopback: TL_BackupData's work against the simulated terminal
// over loopback UDP, with the largest data memory its 127-block map holds,
// and in the same iteration the compression of the same image alone.
// Reported: the share of the whole backup that compression takes, measured
// without the 200 ms pause the export makes after each block
// (compress_share), and with those pauses added (compress_share_paused).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "archlib.h"
#include "maintenance/backup.h"
#include "session/session.h"
#include "termsim/model.h"
#include "tests/e2e/harness.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kImage = 16777216;
constexpr std::size_t kBlock = 65536;

double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

std::string TempPath(const char* name) {
    return (fs::temp_directory_path() / name).string();
}

// A terminal with templates for every user and a long log.
termsim::Model& BigModel(int punches) {
    static termsim::Model model;
    static int made = -1;
    if (made == punches) return model;
    model.Generate(termsim::GenerateParams{.seed = 7, .users = 2000, .punches = punches});
    const auto users = model.Users();
    std::uint32_t x = 1;
    for (const auto& u : users)
        for (std::uint8_t f = 0; f < 2; ++f) {
            std::vector<std::uint8_t> t(500);
            for (auto& b : t) b = static_cast<std::uint8_t>((x = x * 1664525u + 1013904223u) >> 24);
            model.AddTemplate({u.pin, f, 1, t});
        }
    made = punches;
    return model;
}

const std::vector<std::uint8_t>& BackupShapedImage() {
    static std::vector<std::uint8_t> image;
    if (!image.empty()) return image;
    const std::string text = BigModel(60000).Serialize();
    image.reserve(kImage);
    std::size_t at = 0;
    while (image.size() < kImage) {
        image.insert(image.end(), {0xFC, 0xFF, 0x00, 0x00});
        for (std::size_t i = 4; i < kBlock; ++i, ++at)
            image.push_back(static_cast<std::uint8_t>(text[at % text.size()]));
    }
    return image;
}

void BM_ArchlibCompress(benchmark::State& state) {
    const auto& image = BackupShapedImage();
    const std::string path = TempPath("bench_archlib.arc");
    for (auto _ : state) {
        int n = static_cast<int>(image.size());
        if (!CompressItToFile(image.data(), path.c_str(), &n)) state.SkipWithError("compress");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image.size()));
    state.counters["ratio"] = static_cast<double>(image.size()) / fs::file_size(path);
    fs::remove(path);
}

void BM_ArchlibExpand(benchmark::State& state) {
    const auto& image = BackupShapedImage();
    const std::string path = TempPath("bench_archlib.arc");
    int n = static_cast<int>(image.size());
    CompressItToFile(image.data(), path.c_str(), &n);
    std::vector<std::uint8_t> out(kImage);
    for (auto _ : state) {
        int capacity = static_cast<int>(out.size());
        if (ExpandItFromFile(path.c_str(), out.data(), &capacity) != n)
            state.SkipWithError("expand");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image.size()));
    fs::remove(path);
}

void BM_BackupOverLoopback(benchmark::State& state) {
    // The largest log whose data memory still fits 125 memory blocks.
    int punches = 150000;
    while (BigModel(punches).Serialize().size() > 124 * 65532) punches = punches * 9 / 10;
    termsim::Model& model = BigModel(punches);
    e2e::HarnessOptions options;
    options.ptys = 0;
    e2e::SimTerminal sim(model, options);
    TL_HANDLE h = sim.ConnectNet();
    if (!h) {
        state.SkipWithError("connect failed");
        return;
    }
    const std::string path = TempPath("bench_backup.arc");
    const std::string again = TempPath("bench_backup_again.arc");
    tl::BackupOptions noPause;
    noPause.blockPauseMs = 0;
    std::vector<std::uint8_t> image(kImage);
    double backupSeconds = 0, compressSeconds = 0;
    int stored = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const int r = tl::BackupData(*tl::as_session(h), path.c_str(), noPause);
        if (r != 1) {
            state.SkipWithError(("backup failed: " + std::to_string(r) + ", transport error " +
                                 std::to_string(TL_LastError()))
                                    .c_str());
            break;
        }
        const auto t1 = Clock::now();
        int capacity = static_cast<int>(image.size());
        stored = ExpandItFromFile(path.c_str(), image.data(), &capacity);
        const auto t2 = Clock::now();
        CompressItToFile(image.data(), again.c_str(), &stored);
        const auto t3 = Clock::now();
        backupSeconds += Seconds(t0, t1);
        compressSeconds += Seconds(t2, t3);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * stored);
    state.counters["blocks"] = stored / 65536.0;
    state.counters["compress_share"] = backupSeconds > 0 ? compressSeconds / backupSeconds : 0;
    // The export itself pauses 200 ms after every block it stores.
    const double paused = backupSeconds + state.iterations() * (stored / 65536.0) * 0.2;
    state.counters["compress_share_paused"] = paused > 0 ? compressSeconds / paused : 0;
    TL_Close(h);
    fs::remove(path);
    fs::remove(again);
}

}  // namespace

BENCHMARK(BM_ArchlibCompress)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ArchlibExpand)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_BackupOverLoopback)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
