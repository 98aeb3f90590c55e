// Device control and maintenance commands against a simulated terminal, and
// the offline firmware check.
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "cli/errors.h"
#include "termsim/model.h"
#include "termsim/server.h"
#include "tool_run.h"

namespace tlcli {
namespace {

namespace fs = std::filesystem;

class ToolDevice : public ::testing::Test {
  protected:
    void SetUp() override {
        model_.Generate(termsim::GenerateParams{.users = 4, .punches = 10});
        termsim::ServeOptions o;
        o.udp = false;
        server_ = termsim::Serve(model_, o);
        ASSERT_TRUE(server_);
        where_ = "127.0.0.1:" + std::to_string(server_->Port());
        dir_ = fs::temp_directory_path() / ("termlink-device-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    Result Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--tcp", where_});
        return Tool(args);
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    termsim::Model model_;
    std::unique_ptr<termsim::TerminalServer> server_;
    std::string where_;
    fs::path dir_;
};

TEST_F(ToolDevice, FirmwareCheckReadsTheFileWithoutATerminal) {
    const std::string good =
        Write("good.txt",
              "FirmwareVersion=Ver 6.61 Apr 16 2011\r\nFirmwareLength=3\r\n"
              "FirmwareCheckSum=65019\r\nData1=ff\r\nData0=0102\r\nData1=03\r\n");
    Result r = Tool({"--json", "firmware", "check", good});
    EXPECT_EQ(r.code, kExitOk) << r.err;
    EXPECT_NE(r.out.find("\"version\": \"Ver 6.61 Apr 16 2011\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"checksum\": 65019"), std::string::npos) << r.out;
    const std::string odd =
        Write("odd.txt", "FirmwareLength=3\nFirmwareCheckSum=65019\nData0=0102030\n");
    r = Tool({"firmware", "check", odd});
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_NE(r.out.find("0 of 3 bytes; Data0 (line 3) yields nothing"), std::string::npos)
        << r.out;
}

TEST_F(ToolDevice, ClearingNeedsYesAndFilesComeBack) {
    Result r = Run({"clear", "logs"});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_FALSE(model_.Punches().empty());
    r = Run({"clear", "logs", "--yes"});
    EXPECT_EQ(r.code, kExitOk) << r.err;
    EXPECT_TRUE(model_.Punches().empty());
    EXPECT_EQ(model_.Users().size(), 4u);

    std::string bytes(3000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 13);
    const std::string path = Write("tone.wav", bytes);
    r = Run({"file", "send", path});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    // Into a folder that does not exist: nothing written, a failure.
    r = Run({"file", "get", "tone.wav", "--to", (dir_ / "back").string()});
    EXPECT_EQ(r.code, kExitFile);
    EXPECT_NE(r.err.find((dir_ / "back").string()), std::string::npos) << r.err;
    fs::create_directories(dir_ / "back");
    r = Run({"file", "get", "tone.wav", "--to", (dir_ / "back").string()});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    std::ifstream in(dir_ / "back" / "tone.wav", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), bytes);

    r = Run({"restart"});
    EXPECT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(model_.GetPanel().restarts, 1);
}

// The commands that only tell the terminal something: each must reach it
// with its arguments, as the simulator's panel and install list show.
TEST_F(ToolDevice, PanelLanguageAndFirmwareCommandsReachTheTerminal) {
    const std::vector<std::vector<std::string>> commands = {
        {"lcd", "Hello", "--row", "2", "--column", "3"},
        {"beep", "100"},
        {"voice", "7"},
        {"clock-display", "off"},
        {"sleep"},
        {"resume"},
        {"suspend"},
        {"refresh"},
        {"language", "5", "Bonjour"},
        {"command", "1013", "0", "0", "0"},  // CMD_REFRESH_DATA by number
        {"poweroff"},
    };
    for (const auto& c : commands) {
        const Result r = Run(c);
        EXPECT_EQ(r.code, kExitOk) << c[0] << ": " << r.err;
        if (c[0] == "lcd" || c[0] == "language") {
            EXPECT_NE(r.out, "") << c[0];  // says it worked
        }
    }
    const termsim::Panel p = model_.GetPanel();
    EXPECT_EQ(p.lcd, (std::vector<termsim::Panel::Text>{{2, 3, "Hello"}}));
    EXPECT_EQ(p.beeps, std::vector<int>{5});
    EXPECT_EQ(p.voices, (std::vector<std::vector<std::uint8_t>>{{7}}));
    EXPECT_FALSE(p.clockShown);
    EXPECT_TRUE(p.poweredOff && p.suspended);
    EXPECT_EQ(p.refreshes, 2);
    const auto installs = model_.Installs();
    ASSERT_FALSE(installs.empty());
    EXPECT_EQ(installs.back(), (termsim::Install{1701, 5, "Bonjour", {}}));

    // A firmware text newer than the terminal's is sent; the image arrives
    // as its data lines say.
    const std::string firmware =
        Write("fw.txt",
              "FirmwareVersion=Ver 6.61 Apr 16 2011\r\nFirmwareLength=3\r\n"
              "FirmwareCheckSum=65019\r\nData0=010203\r\n");
    Result r = Run({"firmware", firmware});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(model_.InstalledData(2), (std::vector<std::uint8_t>{1, 2, 3}));
    // Refusals say which of the two reasons holds.
    const std::string older = Write("old.txt",
                                    "FirmwareVersion=Ver 6.50 Apr 16 2010\r\nFirmwareLength=3\r\n"
                                    "FirmwareCheckSum=65019\r\nData0=010203\r\n");
    const std::string other =
        Write("plt.txt",
              "PLT300_FirmwareVersion=Ver 9.61 Apr 16 2011\r\nFirmwareLength=3\r\n"
              "FirmwareCheckSum=65019\r\nData0=010203\r\n");
    const std::pair<std::string, std::string> refusals[] = {
        {older, "its version (Ver 6.50 Apr 16 2010) is not newer than the terminal's ("},
        {other, "it is for terminals with the \"~OS\" option"},
    };
    for (const auto& [file, why] : refusals) {
        r = Run({"firmware", file});
        EXPECT_EQ(r.code, kExitFailed);
        EXPECT_NE(r.err.find(why), std::string::npos) << r.err;
    }

    // A raw table comes back as the terminal keeps it: 4 users of 28 bytes.
    const std::string table = (dir_ / "users.bin").string();
    ASSERT_EQ(Run({"table", "get", "5", table}).code, kExitOk);
    EXPECT_EQ(fs::file_size(table), 4u * 28u);
}

}  // namespace
}  // namespace tlcli
