// Reading a firmware text file: bytes of text per second through the whole
// reader (version check, header lines, hex data lines, checksum), next to a
// plain pass that only finds the line breaks of the same text, so the ratio
// shows what the decoding costs on top of touching the bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "maintenance/firmware_file.h"

namespace {

// A firmware file of `size` image bytes in data lines of 1000 hex digits,
// CR LF line ends, as terminal firmware files come.
std::string FirmwareText(std::size_t size) {
    std::mt19937 rng(7);
    std::vector<std::uint8_t> image(size);
    for (auto& b : image) b = static_cast<std::uint8_t>(rng());
    static const char* hex = "0123456789ABCDEF";
    std::string t =
        "FirmwareVersion=Ver 6.61 Apr 16 2011\r\nFirmwareLength=" + std::to_string(size) +
        "\r\nFirmwareCheckSum=" + std::to_string(tl::InternetChecksum(image.data(), size)) + "\r\n";
    t.reserve(size * 2 + size / 500 * 16 + 200);
    for (std::size_t i = 0, k = 0; i < size; ++k) {
        t += "Data" + std::to_string(k) + "=";
        for (std::size_t end = std::min(size, i + 500); i < end; ++i) {
            t += hex[image[i] >> 4];
            t += hex[image[i] & 15];
        }
        t += "\r\n";
    }
    return t;
}

const std::string& Text() {
    static const std::string text = FirmwareText(4 << 20);  // a 4 MiB image, ~8 MB of text
    return text;
}

void BM_FirmwareParse(benchmark::State& state) {
    const std::string& text = Text();
    const tl::FirmwareTarget target{false, "Ver 6.60 20110415"};
    for (auto _ : state) {
        tl::FirmwareFile f = tl::ParseFirmware(text, &target);
        if (f.verdict != tl::FirmwareVerdict::Ok) state.SkipWithError("image rejected");
        benchmark::DoNotOptimize(f.image.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_FirmwareParse)->Unit(benchmark::kMillisecond);

void BM_FirmwareLineScanOnly(benchmark::State& state) {
    const std::string& text = Text();
    for (auto _ : state) {
        std::size_t lines = 0;
        for (const char* p = text.data();
             (p = static_cast<const char*>(std::memchr(p, '\n', text.data() + text.size() - p)));
             ++p)
            ++lines;
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_FirmwareLineScanOnly)->Unit(benchmark::kMillisecond);

}  // namespace
