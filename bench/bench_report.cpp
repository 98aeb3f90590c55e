// A month's attendance report (punch list, exception list and statistics) for
// 5,000 users and 200,000 punches, against the straightforward form that
// re-reads the whole attendance log for every user, measured side by side.
//
// Counters: month_s is the full company, all three kinds, with the per-run
// index (wall time; month_cpu_s the CPU time it used); the slice counters run a company of
// kSliceUsers users (8,000 punches) both ways; slice_ratio is the straightforward form's time over
// the indexed form's on that slice, and per_user_ratio the straightforward form's time per user on
// the slice over the indexed form's on the full company.
//
// BM_ReportRepeatedUser runs a faulty terminal's tables beside the ordinary
// month: 5,000 user records that all carry user number 1 and the 200,000
// punches all of that number. repeated_vs_month is its time over the
// ordinary month's (both all three kinds); each user number is worked out
// once, so it stays near the ordinary month's cost.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "records/device_time.h"
#include "report/engine.h"
#include "tests/report/folder_report.h"

namespace {

constexpr int kUsers = 5000;
constexpr int kSliceUsers = 200;

void Save(const std::string& path, const std::vector<std::uint8_t>& b) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// Builds a company of `users` users: on a day shift or on a split shift, two
// punches per working day (40 a month), the log in time order as a terminal
// writes it. kUsers users give the 200,000 punches. With `oneNumber` every
// user record and every punch carries user number 1.
std::string BuildCompany(int kUsers, bool oneNumber = false) {
    {
        char tmpl[] = "/tmp/tl_bench_report_XXXXXX";
        if (!mkdtemp(tmpl)) std::abort();
        std::string d = std::string(tmpl) + "/";
        std::vector<std::uint8_t> log, users, depts, shifts, rule(136, 0);
        tl::store_u32(rule.data() + 60, 5);
        tl::store_u32(rule.data() + 76, 5);
        tl::store_u32(rule.data() + 96, 30);
        tl::store_u32(rule.data() + 120, 2);
        tl::store_u32(rule.data() + 124, 1);
        tl::store_u32(rule.data() + 128, 1);
        for (int i = 0; i < 8; ++i) {
            std::uint8_t r[36] = {static_cast<std::uint8_t>(i)};
            tl::put_field_text(r + 4, 32, ("Dept" + std::to_string(i)).c_str());
            depts.insert(depts.end(), r, r + 36);
        }
        auto shift = [&](std::uint16_t n, int sh, int eh) {
            std::uint8_t r[20] = {};
            tl::store_u16(r, n);
            tl::put_field_text(r + 2, 10, ("S" + std::to_string(n)).c_str());
            tl::store_u16(r + 12, static_cast<std::uint16_t>(sh << 8));
            tl::store_u16(r + 16, static_cast<std::uint16_t>(eh << 8));
            shifts.insert(shifts.end(), r, r + 20);
        };
        shift(1, 9, 18);
        shift(2, 8, 12);
        shift(3, 13, 17);
        for (int u = 1; u <= kUsers; ++u) {
            std::uint8_t r[72] = {};
            tl::store_u16(r, static_cast<std::uint16_t>(oneNumber ? 1 : u));
            tl::put_field_text(r + 11, 24, ("User" + std::to_string(u)).c_str());
            r[39] = static_cast<std::uint8_t>(u % 8);
            tl::store_u16(r + 40, u % 4 == 0 ? 2 : 1);
            tl::store_u16(r + 42, u % 4 == 0 ? 3 : 0);
            tl::put_field_text(r + 48, 24, std::to_string(u).c_str());
            users.insert(users.end(), r, r + 72);
        }
        std::mt19937 rng(42);
        const int perDay = kUsers;
        for (int day = 1, worked = 0; day <= 31 && worked < 20; ++day) {
            if (day % 7 == 2 || day % 7 == 3) continue;  // weekends
            ++worked;
            for (int pass = 0; pass < 2; ++pass) {
                for (int i = 0; i < perDay; ++i) {
                    const int u = 1 + i;
                    const int base = pass == 0 ? 8 * 60 + 40 : 17 * 60 + 50;
                    const int minute = base + static_cast<int>(rng() % 40);
                    std::uint8_t r[40] = {};
                    tl::store_u16(r, static_cast<std::uint16_t>(oneNumber ? 1 : u));
                    tl::store_u32(r + 27,
                                  tl::EncodeDeviceTime(2024, 3, day, minute / 60, minute % 60, 0));
                    r[31] = static_cast<std::uint8_t>(pass);
                    log.insert(log.end(), r, r + 40);
                }
            }
        }
        Save(d + "att.dat", log);
        Save(d + "user.dat", users);
        Save(d + "dept.dat", depts);
        Save(d + "shift.dat", shifts);
        Save(d + "rule.dat", rule);
        return d;
    }
}

const std::string& Company(int users, bool oneNumber = false) {
    static std::string full = BuildCompany(kUsers);
    static std::string slice = BuildCompany(kSliceUsers);
    static std::string repeated = BuildCompany(kUsers, true);
    static const bool cleanup = [] {
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(full, ec);
            std::filesystem::remove_all(slice, ec);
            std::filesystem::remove_all(repeated, ec);
        });
        return true;
    }();
    (void)cleanup;
    if (oneNumber) return repeated;
    return users == kUsers ? full : slice;
}

// Runs kinds 1, 2 and 3 for the company of `users` users; returns the seconds,
// and each kind's seconds in `perKind`. With `oneNumber` the company whose
// user records all carry number 1, each handed to the engine as the session
// hands out its user table: one number per record.
double RunMonth(int users, bool rescan, double* perKind = nullptr, double* cpu = nullptr,
                bool oneNumber = false) {
    const std::string& d = Company(users, oneNumber);
    const std::string out = d + "page.htm";
    std::vector<std::uint16_t> pins;
    for (int u = 1; u <= users; ++u) pins.push_back(static_cast<std::uint16_t>(oneNumber ? 1 : u));
    // The engine's trace lines go to /dev/null while it runs.
    std::fflush(stdout);
    const int saved = dup(1);
    const int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 1);
    const auto t0 = std::chrono::steady_clock::now();
    const std::clock_t c0 = std::clock();
    for (int kind = 1; kind <= 3; ++kind) {
        const auto k0 = std::chrono::steady_clock::now();
        const std::int32_t from[6] = {2024, 3, 1, 0, 0, 0};
        const std::int32_t to[6] = {2024, 3, 31, 0, 0, 0};
        const golden::FolderReport report(d, out, kind, from, to, rescan);
        tl::report::RunReport(report.request, [&](std::vector<std::uint16_t>& p) {
            p = pins;
            return 1;
        });
        std::fflush(stdout);
        if (perKind)
            perKind[kind - 1] =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - k0).count();
    }
    std::fflush(stdout);
    const auto t1 = std::chrono::steady_clock::now();
    if (cpu) *cpu = static_cast<double>(std::clock() - c0) / CLOCKS_PER_SEC;
    dup2(saved, 1);
    close(saved);
    close(devnull);
    return std::chrono::duration<double>(t1 - t0).count();
}

void BM_ReportMonth(benchmark::State& state) {
    double month = 0, kinds[3] = {}, cpu = 0;
    for (auto _ : state) month = RunMonth(kUsers, false, kinds, &cpu);
    const double sliceIndexed = RunMonth(kSliceUsers, false);
    const double sliceRescan = RunMonth(kSliceUsers, true);
    state.counters["month_s"] = month;
    state.counters["month_cpu_s"] = cpu;  // the machine is shared: CPU time too
    state.counters["list_s"] = kinds[0];
    state.counters["exceptions_s"] = kinds[1];
    state.counters["statistics_s"] = kinds[2];
    state.counters["slice_indexed_s"] = sliceIndexed;
    state.counters["slice_rescan_s"] = sliceRescan;
    state.counters["slice_ratio"] = sliceRescan / sliceIndexed;
    state.counters["per_user_ratio"] = (sliceRescan / kSliceUsers) / (month / kUsers);
}
BENCHMARK(BM_ReportMonth)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_ReportRepeatedUser(benchmark::State& state) {
    double month = 0, repeated = 0;
    for (auto _ : state) {
        month = RunMonth(kUsers, false);
        repeated = RunMonth(kUsers, false, nullptr, nullptr, true);
    }
    state.counters["month_s"] = month;
    state.counters["repeated_s"] = repeated;
    state.counters["repeated_vs_month"] = repeated / month;
}
BENCHMARK(BM_ReportRepeatedUser)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
