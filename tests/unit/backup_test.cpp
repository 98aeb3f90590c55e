// Backup, restore, image capture and MF cards against the fake transport:
// requests byte for byte, the backup image as archlib stores it, and every
// length the terminal sends checked against the bytes received.
#include <filesystem>
#include <fstream>
#include <iterator>

#include "common/platform.h"
#include "maintenance/backup.h"
#include "maintenance/capture.h"
#include "maintenance/mf_card.h"
#include "test_folder.h"
#include "test_support.h"

using namespace tltest;
using fakepmx::Op;

namespace {

namespace fs = std::filesystem;

constexpr int kCmdTimeout = 1500;
constexpr int kBlockSize = 4096;
constexpr int kImage = 16777216;

Bytes Pattern(std::size_t n, std::uint8_t seed) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + seed);
    return b;
}

Bytes ReadFile(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// The archlib the library loads: the built one by its path where the build
// gives one, else by the library's own name for it (archlib.dll beside the
// test program, where Windows looks first).
#ifdef TL_ARCHLIB_PATH
const std::string kArchlib = TL_ARCHLIB_PATH;
#else
const std::string kArchlib = tl::platform::module_file_name(tl::kArchlibName);
#endif

// That archlib, opened for the test's own compress and expand.
struct Archlib {
    tl::platform::Module module = tl::platform::load_module(kArchlib);
    ~Archlib() { tl::platform::free_module(module); }
    Bytes Expand(const std::string& path) const {
        auto fn = reinterpret_cast<int (*)(const char*, unsigned char*, int*)>(
            tl::platform::find_symbol(module, "ExpandItFromFile"));
        Bytes out(kImage);
        int cap = kImage;
        const int n = fn(path.c_str(), out.data(), &cap);
        out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        return out;
    }
    bool Compress(const Bytes& data, const std::string& path) const {
        auto fn = reinterpret_cast<int (*)(const unsigned char*, const char*, int*)>(
            tl::platform::find_symbol(module, "CompressItToFile"));
        int n = static_cast<int>(data.size());
        return fn(data.data(), path.c_str(), &n) != 0;
    }
};

class BackupRestore : public FakeTransportTest {
  protected:
    void SetUp() override {
        FakeTransportTest::SetUp();
        dir_ = MakeTestFolder("tl_backup_");
        ASSERT_FALSE(dir_.empty());
        s_ = ConnectTo(fakepmx::Terminal{});
        s_->cmdTimeout = kCmdTimeout;
        s_->blockSize = kBlockSize;
    }
    void TearDown() override {
        TL_Close(s_);
        fs::remove_all(dir_);
        FakeTransportTest::TearDown();
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    int Backup(const std::string& path) {
        tl::BackupOptions o;
        o.archlib = kArchlib;
        o.blockPauseMs = 0;
        return tl::BackupData(*s_, path.c_str(), o);
    }
    int Restore(const std::string& path) { return tl::RestoreData(*s_, path.c_str(), kArchlib); }

    tl::DeviceSession* s_ = nullptr;
    fs::path dir_;
    Archlib archlib_;
};

// ---- backup

TEST_F(BackupRestore, BackupStoresReadKindsAndSkipsTheRest) {
    // Kinds 1, 255, 4: block 0 by address, block 1 skipped, block 2 by table.
    fakepmx::Push(fakepmx::Ok({0xEE, 3, 1, 255, 4}));
    const Bytes memory = Pattern(65556, 3);  // more than a block: cut to 64 KiB
    fakepmx::Push(fakepmx::Ok(memory));
    const Bytes table = Pattern(100, 9);
    fakepmx::Push(fakepmx::Ok(table));
    ASSERT_EQ(Backup(Path("b.arc")), 1);

    const auto calls = NewCalls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].op, Op::SendCmd);
    EXPECT_EQ(calls[0].command, 51);
    EXPECT_EQ(calls[0].bufferSize, kImage);
    EXPECT_EQ(calls[0].requestLength, 0);
    EXPECT_EQ(calls[0].timeout, 2000);
    EXPECT_EQ(calls[1].op, Op::ReadData);
    EXPECT_EQ(calls[1].command, 111);
    EXPECT_EQ(calls[1].request, Cat({U32(0xFF880000), U32(65536)}));
    EXPECT_EQ(calls[1].bufferSize, 65556);
    EXPECT_EQ(calls[1].packetSize, kBlockSize);
    EXPECT_EQ(calls[1].timeout, 2000);
    EXPECT_EQ(calls[2].op, Op::ReadData);
    EXPECT_EQ(calls[2].command, 7);
    EXPECT_EQ(calls[2].request, Bytes{4});
    // The table lands 4 bytes in: the transport may fill only what is left.
    EXPECT_EQ(calls[2].bufferSize, 65552);
    EXPECT_EQ(calls[2].packetSize, kBlockSize);

    Bytes expected(memory.begin(), memory.begin() + 65536);
    Bytes second = Cat({U32(4), Bytes(table.begin(), table.end() - 4)});
    second.resize(65536, 0xFF);
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_TRUE(archlib_.Expand(Path("b.arc")) == expected);
}

TEST_F(BackupRestore, BackupBlockBytesNotReceivedAreFillNotStaleData) {
    fakepmx::Push(fakepmx::Ok({0, 2, 2, 2}));
    fakepmx::Push(fakepmx::Ok(Pattern(65556, 1)));
    fakepmx::Push(fakepmx::Ok(Pattern(10, 50)));  // a short second block
    ASSERT_EQ(Backup(Path("b.arc")), 1);
    EXPECT_EQ(NewCalls()[2].request, Cat({U32(0xFF890000), U32(65536)}));
    const Bytes image = archlib_.Expand(Path("b.arc"));
    ASSERT_EQ(image.size(), 131072u);
    Bytes second = Pattern(10, 50);
    second.resize(65536, 0xFF);
    EXPECT_TRUE(Bytes(image.begin() + 65536, image.end()) == second);
}

TEST_F(BackupRestore, BackupBlockAddressesPastTheTopWrapTo32Bits) {
    // Block 120 starts at 0xFF880000 + 0x780000 = 2^32: address 0.
    fakepmx::Push(fakepmx::Ok(Cat({Bytes{0, 121}, Bytes(120, 255), Bytes{1}})));
    fakepmx::Push(fakepmx::Ok(Pattern(100, 1)));
    ASSERT_EQ(Backup(Path("b.arc")), 1);
    ASSERT_EQ(NewCalls().size(), 2u);
    EXPECT_EQ(NewCalls()[1].request, Cat({U32(0), U32(65536)}));
}

TEST_F(BackupRestore, BackupMapsThatAnnounceNothingUsableSendNoBlockRead) {
    struct Case {
        const char* what;
        fakepmx::Reply map;
        int result;
    };
    const Case cases[] = {
        {"no reply bytes", fakepmx::Ok(), -2},
        {"no count byte", fakepmx::Ok({0}), -2},
        {"zero blocks", fakepmx::Ok({0, 0}), 0},
        {"negative count", fakepmx::Ok(Cat({Bytes{0, 0x80}, Bytes(128, 1)})), -2},
        {"kinds short of the count", fakepmx::Ok({0, 3, 1, 1}), -2},
        {"only skipped kinds", fakepmx::Ok({0, 2, 10, 255}), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ClearCalls();
        fakepmx::Push(c.map);
        EXPECT_EQ(Backup(Path("b.arc")), c.result);
        EXPECT_EQ(NewCalls().size(), 1u);
        EXPECT_FALSE(fs::exists(Path("b.arc")));
    }
}

TEST_F(BackupRestore, BackupFailuresLeaveNoFile) {
    // A refused block read ends the backup.
    fakepmx::Push(fakepmx::Ok({0, 2, 1, 1}));
    fakepmx::Push(fakepmx::Ok(Pattern(100, 1)));
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(Backup(Path("b.arc")), -2);
    EXPECT_EQ(NewCalls().size(), 3u);
    EXPECT_FALSE(fs::exists(Path("b.arc")));
    // Compression into a folder that does not exist.
    fakepmx::Push(fakepmx::Ok({0, 1, 1}));
    fakepmx::Push(fakepmx::Ok(Pattern(100, 1)));
    EXPECT_EQ(Backup(Path("none/b.arc")), 4);
}

TEST_F(BackupRestore, RefusedPathsAndMissingArchlibSendNothing) {
    const std::string longPath(200, 'a');
    const std::string fits = Path("x") + std::string(199 - Path("x").size(), 'y');
    EXPECT_EQ(tl::BackupData(*s_, nullptr), 4);
    EXPECT_EQ(tl::BackupData(*s_, ""), 4);
    EXPECT_EQ(tl::BackupData(*s_, longPath.c_str()), 4);
    EXPECT_EQ(tl::RestoreData(*s_, longPath.c_str()), 4);
    tl::BackupOptions none;
    none.archlib = "libno-such-archlib.so";
    EXPECT_EQ(tl::BackupData(*s_, fits.c_str(), none), -100);
    EXPECT_EQ(tl::RestoreData(*s_, fits.c_str(), none.archlib), -100);
    int w = 0, h = 0;
    EXPECT_EQ(tl::CaptureImage(*s_, 1, &w, &h, nullptr, longPath.c_str()), 4);
    EXPECT_EQ(tl::CaptureImage(*s_, 1, nullptr, &h, nullptr, nullptr), 4);
    EXPECT_EQ(tl::CaptureImage(*s_, 1, &w, nullptr, nullptr, nullptr), 4);
    EXPECT_TRUE(NewCalls().empty());
    EXPECT_EQ(TL_BackupData(nullptr, "x"), -1);
    EXPECT_EQ(TL_RestoreData(nullptr, "x"), -1);
    EXPECT_EQ(TL_CaptureImage(nullptr, 1, &w, &h, nullptr, nullptr), -1);
    EXPECT_EQ(TL_MFEmpty(nullptr), -1);
    EXPECT_EQ(TL_MFWrite(nullptr, 1, nullptr, nullptr), -1);
}

// ---- restore

TEST_F(BackupRestore, RestoreErasesPushesAndInstallsTheImage) {
    const Bytes image = Pattern(131072, 5);
    ASSERT_TRUE(archlib_.Compress(image, Path("r.arc")));
    s_->userDataLen = 28;
    fakepmx::Push(fakepmx::Error());  // the disable's reply is not examined
    fakepmx::Push(fakepmx::Ok());
    fakepmx::Push(fakepmx::Ok());
    fakepmx::Push(fakepmx::Ok());
    fakepmx::Push(fakepmx::Error());  // nor the refresh's
    ASSERT_EQ(Restore(Path("r.arc")), 1);
    const auto calls = NewCalls();
    ASSERT_EQ(calls.size(), 5u);
    const std::pair<Op, int> sequence[] = {{Op::SendCmd, 1003},
                                           {Op::SendCmd, 14},
                                           {Op::SendData, 0},
                                           {Op::SendCmd, 110},
                                           {Op::SendCmd, 1013}};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(calls[i].op, sequence[i].first) << i;
        EXPECT_EQ(calls[i].command, sequence[i].second) << i;
    }
    EXPECT_EQ(calls[0].requestLength, 0);
    EXPECT_EQ(calls[0].timeout, 1000);
    EXPECT_EQ(calls[1].requestLength, 0);
    EXPECT_EQ(calls[1].timeout, 1000);
    EXPECT_TRUE(calls[2].data == image);
    EXPECT_EQ(calls[2].timeout, 2500);
    EXPECT_EQ(calls[3].request, Cat({U32(7), U32(0x80000)}));
    EXPECT_EQ(calls[3].bufferSize, kImage);
    EXPECT_EQ(calls[3].timeout, 20000);
    EXPECT_EQ(calls[4].timeout, 1000);
    // The erase emptied every cached table.
    EXPECT_EQ(s_->userDataLen, 0);
}

TEST_F(BackupRestore, RestoreStopsWhereTheTerminalRefuses) {
    const Bytes image = Pattern(1000, 5);
    ASSERT_TRUE(archlib_.Compress(image, Path("r.arc")));
    struct Case {
        const char* what;
        std::vector<fakepmx::Reply> script;
        int result;
        std::size_t calls;
        int userDataLen;  // after the call; 28 = caches kept
    };
    const Case cases[] = {
        {"erase refused", {fakepmx::Ok(), fakepmx::Error()}, 0, 2, 28},
        {"push refused", {fakepmx::Ok(), fakepmx::Ok(), fakepmx::Exact(2000, 0)}, -2, 3, 0},
        {"install refused",
         {fakepmx::Ok(), fakepmx::Ok(), fakepmx::Ok(), fakepmx::Error()},
         -2,
         4,
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ClearCalls();
        s_->userDataLen = 28;
        for (const auto& r : c.script) fakepmx::Push(r);
        EXPECT_EQ(Restore(Path("r.arc")), c.result);
        EXPECT_EQ(NewCalls().size(), c.calls);
        EXPECT_EQ(s_->userDataLen, c.userDataLen);
        fakepmx::Reset();
        fakepmx::SetResponder(nullptr);
    }
    // A file archlib does not accept: nothing sent.
    std::ofstream(Path("foreign.arc")) << "not a backup";
    ClearCalls();
    EXPECT_EQ(Restore(Path("foreign.arc")), 4);
    EXPECT_EQ(Restore(Path("missing.arc")), 4);
    EXPECT_TRUE(NewCalls().empty());
}

// ---- capture

Bytes SizedReply(std::uint32_t w, std::uint32_t h, std::size_t pixels) {
    return Cat({U32(static_cast<std::uint32_t>(pixels + 8)), U32(w), U32(h), Pattern(pixels, 3)});
}

TEST_F(BackupRestore, CaptureRequestsAndReplyForms) {
    struct Case {
        const char* what;
        int full, askWidth;
        Bytes request, reply;
        int command, result, width, height;
    };
    const Case cases[] = {
        {"plain 640 x 480", 1, 0, {}, Pattern(307200, 1), 1012, 1, 640, 480},
        {"full at width 1000", 1, 1000, U32(1000), SizedReply(1000, 1, 1000), 1012, 1, 1000, 1},
        {"sensor", 0, 0, U32(500), SizedReply(300, 2, 600), 1009, 1, 300, 2},
        {"sensor at width 302", 0, 302, Cat({U32(500), U32(302)}), SizedReply(302, 3, 906), 1009, 1,
         302, 3},
        {"pixels short of the size", 1, 0, {}, SizedReply(10, 10, 99), 1012, -2, 10, 10},
        {"pixels beyond the size", 1, 0, {}, SizedReply(10, 10, 101), 1012, -2, 10, 10},
        // 65536 x 65537 wraps to 65536 in 32 bits: what arrived would match.
        {"size overflowing 32 bits",
         1,
         0,
         {},
         SizedReply(65536, 65537, 65536),
         1012,
         -2,
         65536,
         65537},
        {"zero height", 1, 0, {}, SizedReply(10, 0, 0), 1012, -2, 10, 0},
        {"no size received", 1, 0, {}, Bytes(11, 1), 1012, -2, 0, -7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ClearCalls();
        fakepmx::Push(fakepmx::Ok(c.reply));
        int w = c.askWidth, h = -7;
        Bytes pixels(307208 + 16, 0xAB);
        const int r = tl::CaptureImage(*s_, c.full, &w, &h, pixels.data(), nullptr);
        EXPECT_EQ(r, c.result);
        EXPECT_EQ(w, c.width);
        EXPECT_EQ(h, c.height);
        const auto calls = NewCalls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].op, Op::ReadData);
        EXPECT_EQ(calls[0].command, c.command);
        EXPECT_EQ(calls[0].request, c.request);
        EXPECT_EQ(calls[0].bufferSize, 307220);
        EXPECT_EQ(calls[0].packetSize, kBlockSize);
        EXPECT_EQ(calls[0].timeout, 2 * kCmdTimeout);
        if (r == 1) {
            const std::size_t n = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
            const std::size_t off = c.reply.size() == 307200 ? 0 : 12;
            EXPECT_TRUE(Bytes(pixels.begin(), pixels.begin() + static_cast<long>(n)) ==
                        Bytes(c.reply.begin() + static_cast<long>(off), c.reply.end()));
            EXPECT_EQ(pixels[n], 0xAB);
        } else {
            EXPECT_EQ(pixels[0], 0xAB);
        }
    }
}

TEST_F(BackupRestore, CaptureWritesAPaddedGreyBmp) {
    fakepmx::Push(fakepmx::Ok(SizedReply(302, 3, 906)));
    int w = 0, h = 0;
    ASSERT_EQ(tl::CaptureImage(*s_, 0, &w, &h, nullptr, Path("f.bmp").c_str()), 1);
    const Bytes bmp = ReadFile(Path("f.bmp"));
    ASSERT_EQ(bmp.size(), 1078u + 304 * 3);
    Bytes head = Cat({Bytes{'B', 'M'}, U32(1078 + 912), U32(0), U32(1078), U32(40), U32(302),
                      U32(3), Bytes{1, 0, 8, 0}, U32(0), U32(912), Bytes(16, 0)});
    EXPECT_EQ(Bytes(bmp.begin(), bmp.begin() + 54), head);
    EXPECT_EQ(Bytes(bmp.begin() + 54 + 4 * 200, bmp.begin() + 58 + 4 * 200),
              (Bytes{200, 200, 200, 0}));
    const Bytes pixels = Pattern(906, 3);
    for (int row = 0; row < 3; ++row)
        EXPECT_TRUE(Bytes(bmp.begin() + 1078 + row * 304, bmp.begin() + 1078 + row * 304 + 302) ==
                    Bytes(pixels.begin() + row * 302, pixels.begin() + row * 302 + 302))
            << row;
    EXPECT_FALSE(fs::exists(Path("f.bmp.part")));

    // A failed capture leaves the earlier picture as it was.
    fakepmx::Push(fakepmx::Ok(SizedReply(10, 10, 99)));
    EXPECT_EQ(tl::CaptureImage(*s_, 0, &w, &h, nullptr, Path("f.bmp").c_str()), -2);
    EXPECT_EQ(ReadFile(Path("f.bmp")), bmp);
    // A BMP that cannot be created is a failure.
    fakepmx::Push(fakepmx::Ok(SizedReply(4, 1, 4)));
    EXPECT_EQ(tl::CaptureImage(*s_, 0, &w, &h, nullptr, Path("none/f.bmp").c_str()), -2);
}

// ---- MF cards

TEST_F(BackupRestore, MFWriteBlockFollowsTheUserNumberWidth) {
    Bytes descriptor = Cat({Bytes{10, 0, 0xA1}, Bytes{0, 0, 0xA2}, Bytes{0x00, 0x01, 0xA3},
                            Bytes{6, 0, 0xA4}});  // 10 + 0 + 256 + 6 bytes
    const Bytes data = Pattern(4096, 8);
    for (int width : {9, 0}) {
        SCOPED_TRACE(width);
        ClearCalls();
        s_->pinWidth = width;
        fakepmx::Push(fakepmx::Ok());
        fakepmx::Push(fakepmx::Ok());
        ASSERT_EQ(tl::MFWrite(*s_, 0x1234, descriptor.data(), data.data()), 1);
        const auto calls = NewCalls();
        ASSERT_EQ(calls.size(), 2u);
        const Bytes number = width == 9 ? U32(0x1234) : Bytes{0x34, 0x12};
        EXPECT_EQ(calls[0].op, Op::SendData);
        EXPECT_TRUE(calls[0].data ==
                    Cat({number, descriptor, Bytes(data.begin(), data.begin() + 272)}));
        EXPECT_EQ(calls[0].timeout, 2500);
        EXPECT_EQ(calls[1].op, Op::SendCmd);
        EXPECT_EQ(calls[1].command, 76);
        EXPECT_EQ(calls[1].requestLength, 0);
        EXPECT_EQ(calls[1].timeout, 1000);
    }
}

TEST_F(BackupRestore, MFRefusalsByStatusLengthAndArgumentsRefusedUnsent) {
    const Bytes data(4096, 1);
    // 4096 data bytes: exactly what the block can carry.
    Bytes descriptor = Cat({Bytes{0, 0x10, 0}, Bytes{0, 0, 0}, Bytes{0, 0, 0}, Bytes{0, 0, 0}});
    const std::pair<fakepmx::Reply, int> mapping[] = {
        {fakepmx::Exact(2000, 0), 1},  {fakepmx::Exact(2001, 2), 0},
        {fakepmx::Exact(2001, 1), -4}, {fakepmx::Exact(2001, 4), -5},
        {fakepmx::Exact(2001, 3), -2}, {fakepmx::Exact(2001, -1), -2},
    };
    for (const auto& [reply, result] : mapping) {
        fakepmx::Push(reply);
        EXPECT_EQ(tl::MFEmpty(*s_), result);
        fakepmx::Push(fakepmx::Ok());
        fakepmx::Push(reply);
        EXPECT_EQ(tl::MFWrite(*s_, 1, descriptor.data(), data.data()), result);
    }
    EXPECT_EQ(NewCalls()[0].command, 78);
    EXPECT_EQ(NewCalls()[0].timeout, kCmdTimeout);

    ClearCalls();
    fakepmx::Push(fakepmx::Exact(2000, 0));  // the push is not accepted
    EXPECT_EQ(tl::MFWrite(*s_, 1, descriptor.data(), data.data()), -2);
    EXPECT_EQ(NewCalls().size(), 1u);

    ClearCalls();
    descriptor[9] = 1;  // 4096 + 1
    EXPECT_EQ(tl::MFWrite(*s_, 1, descriptor.data(), data.data()), 4);
    descriptor[9] = 0;
    s_->pinWidth = 5;
    EXPECT_EQ(tl::MFWrite(*s_, 65536, descriptor.data(), data.data()), 4);
    EXPECT_EQ(tl::MFWrite(*s_, -1, descriptor.data(), data.data()), 4);
    EXPECT_EQ(tl::MFWrite(*s_, 1, nullptr, data.data()), 4);
    EXPECT_EQ(tl::MFWrite(*s_, 1, descriptor.data(), nullptr), 4);
    EXPECT_TRUE(NewCalls().empty());
}

}  // namespace
