// Firmware text files, file push and pull, language texts, the raw table
// export and the generic command.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "common/platform.h"
#include "maintenance/file_transfer.h"
#include "maintenance/firmware_file.h"
#include "test_folder.h"
#include "test_support.h"

using namespace tltest;
using fakepmx::Op;
using tl::FirmwareVerdict;

namespace {

std::string Checksum(const Bytes& image) {
    return std::to_string(tl::InternetChecksum(image.data(), image.size()));
}

// A firmware text of the image in one data line per `perLine` bytes.
std::string FirmwareText(const Bytes& image, const std::string& versionLine,
                         std::size_t perLine = 2) {
    static const char* hex = "0123456789ABCDEF";
    std::string t = versionLine + "FirmwareLength=" + std::to_string(image.size()) +
                    "\nFirmwareCheckSum=" + Checksum(image) + "\n";
    for (std::size_t i = 0, k = 0; i < image.size(); i += perLine, ++k) {
        t += "Data" + std::to_string(k) + "=";
        for (std::size_t j = i; j < image.size() && j < i + perLine; ++j) {
            t += hex[image[j] >> 4];
            t += hex[image[j] & 15];
        }
        t += "\n";
    }
    return t;
}

const tl::FirmwareTarget kClassic{false, "Ver 6.60 20110415"};
const tl::FirmwareTarget kWithOs{true, "Ver 6.60 20110415"};
const std::string kNewer = "FirmwareVersion=Ver 6.60 Apr 16 2011\n";

TEST(FirmwareFile, AcceptsOnlyANewerImageForItsPlatform) {
    const Bytes image = {1, 2, 3, 4, 5};
    struct Case {
        std::string text;
        const tl::FirmwareTarget* target;
        FirmwareVerdict verdict;
    };
    const std::string osNewer = "PLT300_FirmwareVersion=Ver 6.60 Apr 16 2011\n";
    const Case cases[] = {
        {FirmwareText(image, kNewer), &kClassic, FirmwareVerdict::Ok},
        {FirmwareText(image, "FirmwareVersion=Ver 6.60 Apr 15 2011\n"), &kClassic,
         FirmwareVerdict::NotNewer},
        {FirmwareText(image, "FirmwareVersion=Ver 6.60 Apr 15 2011\r\n"), &kClassic,
         FirmwareVerdict::NotNewer},
        {FirmwareText(image, "FirmwareVersion=Ver 6.60 Mar 16 2011\n"), &kClassic,
         FirmwareVerdict::NotNewer},
        {FirmwareText(image, kNewer), &kWithOs, FirmwareVerdict::WrongPlatform},
        {FirmwareText(image, osNewer), &kClassic, FirmwareVerdict::WrongPlatform},
        {FirmwareText(image, osNewer), &kWithOs, FirmwareVerdict::Ok},
        {FirmwareText(image, ""), &kClassic, FirmwareVerdict::Ok},
        {FirmwareText(image, "FirmwareVersion=" + std::string(100, '9') + "\n"), &kClassic,
         FirmwareVerdict::VersionTooLong},
        {FirmwareText(image, "FirmwareVersion=Ver 6.60 Apr 15 2011\n"), nullptr,
         FirmwareVerdict::Ok},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, c.text.find('\n')));
        const auto f = tl::ParseFirmware(c.text, c.target);
        EXPECT_EQ(f.verdict, c.verdict);
        EXPECT_EQ(f.image, c.verdict == FirmwareVerdict::Ok ? image : Bytes{});
    }
    // A version line after the length is not a version line: no comparison.
    std::string late = FirmwareText(image, "");
    late.insert(late.find("FirmwareCheckSum"), "PLT300_FirmwareVersion=Ver 1.00 Jan 01 2000\n");
    EXPECT_EQ(tl::ParseFirmware(late, &kClassic).verdict, FirmwareVerdict::Ok);
}

TEST(FirmwareFile, DataLinesDecodeByTheDigitAndOrderRules) {
    const std::string head = "FirmwareLength=3\nFirmwareCheckSum=65019\n";  // 01 02 03: 0xFDFB
    struct Case {
        std::string data;
        FirmwareVerdict verdict;
    };
    const Case cases[] = {
        {"Data0=010203\n", FirmwareVerdict::Ok},
        {"Data0=010203", FirmwareVerdict::Ok},
        {"Data0=0102\r\nData1=03\r\n", FirmwareVerdict::Ok},
        {"Data0=0102\nJunk=77\nData1=03\n", FirmwareVerdict::Ok},
        // Data1 before Data0 is skipped, so the image ends short.
        {"Data1=03\nData0=0102\n", FirmwareVerdict::ShortData},
        // Odd digits and a line break: the last pair holds the break.
        {"Data0=0102030\n", FirmwareVerdict::ShortData},
        // The last line without a break loses only its odd digit.
        {"Data0=0102\nData1=035", FirmwareVerdict::Ok},
        // One bad pair: the line yields nothing and the next one starts over.
        {"Data0=01zz03\nData1=010203\n", FirmwareVerdict::Ok},
        // Data past the length stops at the length.
        {"Data0=01020304050607\n", FirmwareVerdict::Ok},
        {"Data0=010204\n", FirmwareVerdict::BadChecksum},
        {"Data0=0102\n", FirmwareVerdict::ShortData},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data);
        const auto f = tl::ParseFirmware(head + c.data, nullptr);
        EXPECT_EQ(f.verdict, c.verdict);
        if (c.verdict == FirmwareVerdict::Ok) {
            EXPECT_EQ(f.image, (Bytes{1, 2, 3}));
        }
    }
    EXPECT_EQ(tl::FirmwareHexDigit('a'), 10);
    EXPECT_EQ(tl::FirmwareHexDigit('F'), 15);
    EXPECT_EQ(tl::FirmwareHexDigit(':'), 10);  // below 'A': code - 48
    EXPECT_EQ(tl::FirmwareHexDigit('G'), -1);
    EXPECT_EQ(tl::FirmwareHexDigit('g'), -1);
    EXPECT_EQ(tl::FirmwareHexDigit('\n'), -1);
    const Bytes three = {1, 2, 3};
    EXPECT_EQ(tl::InternetChecksum(three.data(), 3), 0xFDFB);
}

TEST(FirmwareFile, MalformedFilesAreRejected) {
    const std::string ok = "FirmwareLength=1\nFirmwareCheckSum=65534\nData0=01\n";
    ASSERT_EQ(tl::ParseFirmware(ok, nullptr).verdict, FirmwareVerdict::Ok);
    const std::pair<std::string, FirmwareVerdict> cases[] = {
        {"FirmwareCheckSum=65534\nData0=01\n", FirmwareVerdict::BadLength},
        {"FirmwareLength=0\nFirmwareCheckSum=65535\nData0=01\n", FirmwareVerdict::BadLength},
        {"FirmwareLength=-1\nFirmwareCheckSum=65534\nData0=01\n", FirmwareVerdict::BadLength},
        {"FirmwareLength=99999999999\nFirmwareCheckSum=1\n", FirmwareVerdict::BadLength},
        {"FirmwareLength=1000000\nFirmwareCheckSum=1\nData0=01\n", FirmwareVerdict::ShortData},
        {"FirmwareLength=1\nFirmwareLength=1\nFirmwareCheckSum=65534\nData0=01\n",
         FirmwareVerdict::RepeatedHeader},
        {"FirmwareLength=1\nFirmwareCheckSum=65534\n" + std::string(4001, 'x') + "\nData0=01\n",
         FirmwareVerdict::LineTooLong},
        {"FirmwareLength=1\nFirmwareCheckSum=131070\nData0=01\n", FirmwareVerdict::BadChecksum},
    };
    for (const auto& [text, verdict] : cases) {
        SCOPED_TRACE(text.substr(0, 40));
        EXPECT_EQ(tl::ParseFirmware(text, nullptr).verdict, verdict);
    }
    // 4000 characters before the break are still a line.
    EXPECT_EQ(tl::ParseFirmware("FirmwareLength=1\nFirmwareCheckSum=65534\n" +
                                    std::string(4000, 'x') + "\r\n" + "Data0=01\n",
                                nullptr)
                  .verdict,
              FirmwareVerdict::Ok);
}

TEST(FirmwareFile, BaseNamesFollowThePlatformsSeparators) {
    using tl::platform::base_name;
    EXPECT_EQ(base_name("dir/sub/name.wav"), "name.wav");
    EXPECT_EQ(base_name("name.wav"), "name.wav");
    EXPECT_EQ(base_name("dir/"), "");
#if defined(_WIN32)
    EXPECT_EQ(base_name("C:\\voices/a\\b.wav"), "b.wav");
#else
    EXPECT_EQ(base_name("a\\b.wav"), "a\\b.wav");  // a plain character here
#endif
}

// ---- Exports against the scripted transport ------------------------------

class Maintenance : public FakeTransportTest {
  protected:
    void SetUp() override {
        FakeTransportTest::SetUp();
        const auto dir = MakeTestFolder("tlmt");
        ASSERT_FALSE(dir.empty());
        dir_ = dir.generic_string();
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
        FakeTransportTest::TearDown();
    }
    tl::DeviceSession* Open() { return ConnectTo(fakepmx::Terminal{}); }
    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    static std::string Contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        if (!in) return "<missing>";
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::string dir_;
};

TEST_F(Maintenance, FirmwareIsSentOnlyWhenTheFileIsAccepted) {
    auto* s = Open();
    const Bytes image = {9, 8, 7, 6, 5, 4, 3};
    const std::string good = Write("fw.txt", FirmwareText(image, kNewer));
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_UpdateFirmware(s, good.c_str()), 1);
    auto calls = NewCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].op, Op::SendCmdData);
    EXPECT_EQ(calls[0].command, 110);
    EXPECT_EQ(calls[0].request, Cat({U32(2), U32(0xA0000000u)}));
    EXPECT_EQ(calls[0].data, image);
    EXPECT_EQ(calls[0].timeout, 16000);
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(TL_UpdateFirmware(s, good.c_str()), -2);
    ClearCalls();
    const std::string same =
        Write("same.txt", FirmwareText(image, "FirmwareVersion=Ver 6.60 Apr 15 2011\n"));
    EXPECT_EQ(TL_UpdateFirmware(s, same.c_str()), 4);
    EXPECT_EQ(TL_UpdateFirmware(s, (dir_ + "/none.txt").c_str()), 4);
    EXPECT_EQ(TL_UpdateFirmware(s, dir_.c_str()), 4);  // a folder
    EXPECT_EQ(TL_UpdateFirmware(s, nullptr), 4);
    EXPECT_TRUE(NewCalls().empty());
    EXPECT_EQ(TL_UpdateFirmware(nullptr, good.c_str()), -1);
    TL_Close(s);
}

TEST_F(Maintenance, SendFileNamesTheFileByItsBaseNameBetweenLockAndUnlock) {
    auto* s = Open();
    const std::string path = Write("hello", "file bytes");
    for (bool accept : {true, false}) {
        ClearCalls();
        fakepmx::Push(fakepmx::Ok());
        fakepmx::Push(accept ? fakepmx::Ok() : fakepmx::Error());
        fakepmx::Push(fakepmx::Ok());
        EXPECT_EQ(TL_SendFile(s, path.c_str()), accept ? 1 : -2);
        auto calls = NewCalls();
        ASSERT_EQ(calls.size(), 3u);
        EXPECT_EQ(calls[0].command, 1003);
        EXPECT_EQ(calls[0].request, U32(3));
        EXPECT_EQ(calls[2].command, 1002);  // unlocked whatever the outcome
        const auto& send = calls[1];
        EXPECT_EQ(send.op, Op::SendCmdData);
        EXPECT_EQ(send.command, 110);
        EXPECT_EQ(send.data, Text("file bytes", false));
        EXPECT_EQ(send.timeout, 16000);
        // Code, name, NUL, then zeros up to the path's length + 5.
        Bytes expected = Cat({U32(1700), Text("hello")});
        expected.resize(path.size() + 5, 0);
        EXPECT_EQ(send.request, expected);
    }
    // Refused before any traffic.
    ClearCalls();
    const std::string longName = Write(std::string(36, 'n'), "x");
    const std::string big = Write("big", std::string(1048577, 'b'));
    EXPECT_EQ(TL_SendFile(s, longName.c_str()), 4);
    EXPECT_EQ(TL_SendFile(s, big.c_str()), 4);
    EXPECT_EQ(TL_SendFile(s, (dir_ + "/").c_str()), 4);
    EXPECT_EQ(TL_SendFile(s, nullptr), 4);
    EXPECT_EQ(TL_SendFile(nullptr, nullptr), 4);
    EXPECT_EQ(TL_SendFile(s, (dir_ + "/missing").c_str()), -2);
    EXPECT_TRUE(NewCalls().empty());
    EXPECT_EQ(TL_SendFile(nullptr, path.c_str()), -1);
    // 35 bytes and exactly 1 MiB still go.
    fakepmx::SetResponder([](const fakepmx::Call&) { return fakepmx::Ok(); });
    EXPECT_EQ(TL_SendFile(s, Write(std::string(35, 'n'), "x").c_str()), 1);
    EXPECT_EQ(TL_SendFile(s, Write("max", std::string(1048576, 'm')).c_str()), 1);
    TL_Close(s);
}

TEST_F(Maintenance, ReadFileWritesTheBytesAfterTheLengthPrefix) {
    auto* s = Open();
    const std::string folder = dir_ + "/";
    fakepmx::Push(fakepmx::Ok(Cat({U32(5), Text("hello", false)})));
    EXPECT_EQ(TL_ReadFile(s, "greeting.txt", folder.c_str()), 1);
    EXPECT_EQ(Contents(folder + "greeting.txt"), "hello");
    auto calls = NewCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].op, Op::ReadData);
    EXPECT_EQ(calls[0].command, 1702);
    EXPECT_EQ(calls[0].request, Text("greeting.txt"));
    EXPECT_EQ(calls[0].bufferSize, 16777216);
    EXPECT_EQ(calls[0].packetSize, 16384);
    EXPECT_EQ(calls[0].timeout, 6000);
    // A count beyond what arrived is cut to it; refusals write nothing.
    fakepmx::Push(fakepmx::Ok(Cat({U32(1000), Text("abc", false)})));
    EXPECT_EQ(TL_ReadFile(s, "short", folder.c_str()), 1);
    EXPECT_EQ(Contents(folder + "short"), "abc");
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(TL_ReadFile(s, "refused", folder.c_str()), -2);
    fakepmx::Push(fakepmx::Ok(Bytes{1, 2}));
    EXPECT_EQ(TL_ReadFile(s, "truncated", folder.c_str()), -2);
    fakepmx::Push(fakepmx::Ok(Cat({U32(1), Bytes{1}})));
    EXPECT_EQ(TL_ReadFile(s, "f", (dir_ + "/no/such/dir/").c_str()), -2);
    EXPECT_EQ(Contents(folder + "refused"), "<missing>");
    EXPECT_EQ(Contents(folder + "truncated"), "<missing>");
    // Refused before any traffic; a path that cannot hold the file (200 bytes
    // with its NUL) is a file not created, -2, while one byte less is read.
    ClearCalls();
    const std::string name(200 - folder.size(), 'n');
    EXPECT_EQ(TL_ReadFile(s, name.c_str(), folder.c_str()), -2);
    EXPECT_EQ(TL_ReadFile(s, (name + "n").c_str(), folder.c_str()), -2);
    EXPECT_EQ(TL_ReadFile(s, nullptr, folder.c_str()), 4);
    EXPECT_EQ(TL_ReadFile(s, "", folder.c_str()), 4);
    EXPECT_EQ(TL_ReadFile(s, "x", nullptr), 4);
    EXPECT_TRUE(NewCalls().empty());
    EXPECT_EQ(TL_ReadFile(nullptr, "x", folder.c_str()), -1);
    TL_Close(s);
}

TEST_F(Maintenance, LanguageTextsAndTheGenericCommand) {
    auto* s = Open();
    for (bool accept : {true, false}) {
        ClearCalls();
        fakepmx::Push(fakepmx::Ok());
        fakepmx::Push(accept ? fakepmx::Ok() : fakepmx::Error());
        fakepmx::Push(fakepmx::Ok());
        EXPECT_EQ(TL_UpdateLanguageByID(s, 0x102, "Bonjour"), accept ? 1 : -2);
        auto calls = NewCalls();
        ASSERT_EQ(calls.size(), 3u);
        EXPECT_EQ(calls[0].command, 1003);
        EXPECT_EQ(calls[2].command, 1002);
        Bytes expected = Cat({U32(0x102), Text("Bonjour", false)});
        expected.resize(100, 0);
        EXPECT_EQ(calls[1].command, 1701);
        EXPECT_EQ(calls[1].request, expected);
        EXPECT_EQ(calls[1].bufferSize, 100);
        EXPECT_EQ(calls[1].timeout, 4000);
    }
    for (int i = 0; i < 3; ++i) fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_UpdateLanguageByID(s, 1, std::string(96, 't').c_str()), 1);
    ClearCalls();
    EXPECT_EQ(TL_UpdateLanguageByID(s, 1, std::string(97, 't').c_str()), 4);
    EXPECT_EQ(TL_UpdateLanguageByID(s, -1, "x"), 4);
    EXPECT_EQ(TL_UpdateLanguageByID(s, 1, nullptr), 4);
    EXPECT_TRUE(NewCalls().empty());

    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_SendBackgroundCMD(s, 4242, 1, -1, 0x01020304), 1);
    auto calls = NewCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].command, 4242);
    EXPECT_EQ(calls[0].request, Cat({U32(1), U32(0xFFFFFFFFu), U32(0x01020304)}));
    EXPECT_EQ(calls[0].bufferSize, 160);
    EXPECT_EQ(calls[0].timeout, 4000);
    fakepmx::Reply other = fakepmx::Ok();
    other.replyCode = 2005;
    fakepmx::Push(other);
    EXPECT_EQ(TL_SendBackgroundCMD(s, 4242, 0, 0, 0), -2);
    EXPECT_EQ(TL_SendBackgroundCMD(nullptr, 4242, 0, 0, 0), -1);
    TL_Close(s);
}

TEST_F(Maintenance, TableExportWritesTheTableWithoutItsPrefix) {
    auto* s = Open();
    const std::string out = dir_ + "/table.dat";
    fakepmx::Push(fakepmx::Ok(Cat({U32(4), Bytes{1, 2, 3, 4}})));
    EXPECT_EQ(TL_GetData(s, 0x105, out.c_str()), 1);
    EXPECT_EQ(Contents(out), std::string("\x01\x02\x03\x04"));
    auto calls = NewCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].command, 7);
    EXPECT_EQ(calls[0].request, Bytes{5});
    EXPECT_EQ(calls[0].bufferSize, 16777216);
    EXPECT_EQ(calls[0].timeout, 2000);
    // Shorter than the prefix, whatever the reply code: nothing received,
    // nothing written.
    for (bool ok : {false, true})
        for (int n : {0, 1, 3}) {
            fakepmx::Reply r = ok ? fakepmx::Ok() : fakepmx::Error();
            r.data = Bytes(static_cast<std::size_t>(n), 7);
            fakepmx::Push(r);
            EXPECT_EQ(TL_GetData(s, 1, (dir_ + "/none").c_str()), 0) << ok << n;
        }
    fakepmx::Reply refused = fakepmx::Error();
    refused.data = Cat({U32(1), Bytes{1}});
    fakepmx::Push(refused);
    EXPECT_EQ(TL_GetData(s, 1, (dir_ + "/none").c_str()), -2);
    EXPECT_EQ(Contents(dir_ + "/none"), "<missing>");
    fakepmx::Push(fakepmx::Ok(Cat({U32(1), Bytes{1}})));
    EXPECT_EQ(TL_GetData(s, 1, (dir_ + "/no/dir/file").c_str()), 4);
    ClearCalls();
    EXPECT_EQ(TL_GetData(s, 1, nullptr), 4);
    EXPECT_TRUE(NewCalls().empty());
    EXPECT_EQ(TL_GetData(nullptr, 1, out.c_str()), -1);
    TL_Close(s);
}

}  // namespace
