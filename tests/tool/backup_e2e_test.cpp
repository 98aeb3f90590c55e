// backup, restore, capture and card against a simulated terminal.
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli/app.h"
#include "cli/errors.h"
#include "termsim/model.h"
#include "termsim/server.h"
#include "tool_run.h"

namespace tlcli {
namespace {

namespace fs = std::filesystem;

class ToolBackup : public ::testing::Test {
  protected:
    void SetUp() override {
        model_.Generate(termsim::GenerateParams{.users = 12, .punches = 300});
        termsim::ServeOptions o;
        o.udp = false;
        server_ = termsim::Serve(model_, o);
        ASSERT_TRUE(server_);
        where_ = "127.0.0.1:" + std::to_string(server_->Port());
        dir_ = fs::temp_directory_path() / ("termlink-backup-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    Result Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--tcp", where_});
        return Tool(args);
    }

    termsim::Model model_;
    std::unique_ptr<termsim::TerminalServer> server_;
    std::string where_;
    fs::path dir_;
};

TEST_F(ToolBackup, BackupAndARestoreThatNeedsConfirmation) {
    const std::string file = (dir_ / "t.bak").string();
    Result r = Run({"backup", file});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out.rfind("Backed up the terminal's data to " + file + " (", 0), 0u) << r.out;
    // Every user's password and fingerprints: the owner's only.
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    const auto users = model_.Users();
    termsim::User later;
    later.pin = 900;
    model_.AddUser(later);

    r = Run({"restore", file});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_NE(r.err.find("--yes"), std::string::npos) << r.err;
    EXPECT_EQ(model_.Users().size(), users.size() + 1);  // nothing sent

    r = Run({"restore", file, "--yes"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(model_.Users(), users);
    EXPECT_TRUE(model_.Enabled());  // the keypad takes punches again
    EXPECT_EQ(Run({"restore", (dir_ / "none.bak").string(), "--yes"}).code, kExitFile);
}

TEST_F(ToolBackup, CaptureAndCards) {
    const std::string bmp = (dir_ / "f.bmp").string();
    Result r = Run({"--csv", "capture", "--width", "302", "-o", bmp});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out, "field,value\r\nwidth,302\r\nheight,339\r\nfile," + bmp + "\r\n");
    EXPECT_EQ(fs::file_size(bmp), 1078u + 304 * 339);

    std::ofstream(dir_ / "a.bin", std::ios::binary) << "hello";
    EXPECT_EQ(Run({"card", "write", "7", (dir_ / "a.bin").string()}).code, kExitFailed);
    model_.PresentCard(1);
    r = Run({"card", "write", "7", (dir_ / "a.bin").string(), "--tags", "9"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(model_.Cards().at(1).data, (std::vector<std::uint8_t>{'h', 'e', 'l', 'l', 'o'}));
    EXPECT_EQ(model_.Cards().at(1).descriptor[2], 9);
    ASSERT_EQ(Run({"card", "empty"}).code, kExitOk);
    EXPECT_EQ(model_.Cards().at(1), termsim::MfCard{});
}

}  // namespace
}  // namespace tlcli
