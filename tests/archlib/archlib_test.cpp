// archlib's promises through its two exports: round trips from 1 byte to
// 16 MiB, and refusal (0, nothing written past the buffer) of damaged,
// truncated, foreign and oversized files.
#include "archlib.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr int kMax = 16777216;
constexpr std::size_t kGuard = 64;

// Table-like bytes: repeated records, counters and 0xFF fill, as a backup.
Bytes Sample(std::size_t n, std::uint32_t seed = 1) {
    Bytes b(n);
    std::uint32_t x = seed;
    for (std::size_t i = 0; i < n; ++i) {
        x = x * 1103515245u + 12345u;
        b[i] = (i / 4096) % 3 == 2 ? 0xFF : static_cast<std::uint8_t>((i % 72 < 8) ? x >> 24 : i);
    }
    return b;
}

Bytes ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}
void WriteFile(const fs::path& p, const Bytes& b) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

class Archlib : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("archlib_test_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Path(const char* name) const { return (dir_ / name).string(); }

    std::string Compress(const Bytes& data, const char* name = "a.arc") {
        int length = static_cast<int>(data.size());
        const std::string p = Path(name);
        EXPECT_NE(CompressItToFile(data.data(), p.c_str(), &length), 0);
        return p;
    }

    // Expands into a buffer of `capacity` bytes followed by guard bytes;
    // fails the test when a guard byte changed.
    int Expand(const std::string& path, int capacity, Bytes* out = nullptr) {
        Bytes buffer(static_cast<std::size_t>(capacity) + kGuard, 0xA5);
        int cap = capacity;
        const int n = ExpandItFromFile(path.c_str(), buffer.data(), &cap);
        for (std::size_t i = static_cast<std::size_t>(capacity); i < buffer.size(); ++i)
            if (buffer[i] != 0xA5) {
                ADD_FAILURE() << "byte written past the capacity at " << i;
                break;
            }
        if (out) out->assign(buffer.begin(), buffer.begin() + (n > 0 ? n : 0));
        return n;
    }

    fs::path dir_;
};

TEST_F(Archlib, RoundTripsFromOneByteToSixteenMebibytes) {
    for (std::size_t n : {std::size_t{1}, std::size_t{2}, std::size_t{4097}, std::size_t{65537},
                          std::size_t{999999}, std::size_t{kMax}}) {
        SCOPED_TRACE(n);
        const Bytes data = Sample(n, static_cast<std::uint32_t>(n));
        const std::string p = Compress(data);
        Bytes back;
        // Exact capacity, and a capacity above the original.
        EXPECT_EQ(Expand(p, static_cast<int>(n), &back), static_cast<int>(n));
        EXPECT_TRUE(back == data);
        if (n < kMax) {
            EXPECT_EQ(Expand(p, static_cast<int>(n) + 100), static_cast<int>(n));
        }
    }
}

TEST_F(Archlib, CompressionRefusesLengthsOutOfRangeAndLeavesNoFile) {
    const Bytes data = Sample(16);
    const std::string p = Path("none.arc");
    for (int length : {0, -1, kMax + 1}) {
        int l = length;
        EXPECT_EQ(CompressItToFile(data.data(), p.c_str(), &l), 0) << length;
    }
    int l = 16;
    EXPECT_EQ(CompressItToFile(nullptr, p.c_str(), &l), 0);
    EXPECT_EQ(CompressItToFile(data.data(), nullptr, &l), 0);
    EXPECT_EQ(CompressItToFile(data.data(), p.c_str(), nullptr), 0);
    EXPECT_FALSE(fs::exists(p));
    // A folder that does not exist: no file, no temporary left behind.
    const std::string missing = Path("no/such/dir.arc");
    EXPECT_EQ(CompressItToFile(data.data(), missing.c_str(), &l), 0);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 0);
}

TEST_F(Archlib, AFailedCompressionKeepsThePreviousFile) {
    const Bytes old = Sample(100, 7);
    const std::string p = Compress(old, "keep.arc");
    const Bytes before = ReadFile(p);
    // The temporary name is taken by a folder: the write fails.
    fs::create_directories(p + ".part");
    int l = 50;
    const Bytes other = Sample(50, 9);
    EXPECT_EQ(CompressItToFile(other.data(), p.c_str(), &l), 0);
    EXPECT_EQ(ReadFile(p), before);
}

TEST_F(Archlib, DamagedTruncatedForeignAndOversizedFilesAreRefused) {
    const Bytes data = Sample(200000, 3);
    const Bytes good = ReadFile(Compress(data));
    ASSERT_GT(good.size(), 40u);
    struct Case {
        const char* what;
        Bytes file;
        int capacity;
    };
    auto flip = [&](std::size_t at) {
        Bytes b = good;
        b[at] ^= 0x10;
        return b;
    };
    auto cut = [&](std::size_t n) { return Bytes(good.begin(), good.begin() + n); };
    Bytes longer = good;
    longer.push_back(0);
    const Case cases[] = {
        {"empty", {}, 200000},
        {"header only", cut(20), 200000},
        {"truncated stream", cut(good.size() - 1), 200000},
        {"trailing byte", longer, 200000},
        {"magic", flip(0), 200000},
        {"version", flip(4), 200000},
        {"flags", flip(6), 200000},
        {"length", flip(8), 200000},
        {"check", flip(12), 200000},
        {"stream length", flip(16), 200000},
        {"stream byte", flip(good.size() / 2), 200000},
        {"last byte", flip(good.size() - 1), 200000},
        {"foreign", Bytes(500, 'x'), 200000},
        {"capacity one short", good, 199999},
        {"capacity tiny", good, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string p = Path("bad.arc");
        WriteFile(p, c.file);
        EXPECT_EQ(Expand(p, c.capacity), 0);
    }
    EXPECT_EQ(Expand(Path("missing.arc"), 100), 0);
    Bytes buffer(10);
    int cap = 10;
    EXPECT_EQ(ExpandItFromFile(nullptr, buffer.data(), &cap), 0);
    EXPECT_EQ(ExpandItFromFile(Path("bad.arc").c_str(), nullptr, &cap), 0);
    EXPECT_EQ(ExpandItFromFile(Path("bad.arc").c_str(), buffer.data(), nullptr), 0);
}

TEST_F(Archlib, AnOriginalAboveTheCapacityWritesNothing) {
    const std::string p = Compress(Sample(1000));
    Bytes buffer(600, 0x5A);
    int cap = 500;
    EXPECT_EQ(ExpandItFromFile(p.c_str(), buffer.data(), &cap), 0);
    EXPECT_EQ(buffer, Bytes(600, 0x5A));
}

}  // namespace
