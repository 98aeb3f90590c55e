// The face and capture commands against a simulated terminal shared by
// several runs of the tool.
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "cli/app.h"
#include "cli/errors.h"
#include "termsim/model.h"
#include "termsim/server.h"
#include "tool_run.h"

namespace tlcli {
namespace {

namespace fs = std::filesystem;

class ToolFaces : public ::testing::TestWithParam<termsim::Profile> {
  protected:
    void SetUp() override {
        termsim::Config c;
        c.profile = GetParam();
        model_ = std::make_unique<termsim::Model>(c);
        model_->Generate(termsim::GenerateParams{.users = 3, .punches = 0});
        termsim::ServeOptions o;
        o.udp = false;
        server_ = termsim::Serve(*model_, o);
        ASSERT_TRUE(server_);
        where_ = "127.0.0.1:" + std::to_string(server_->Port());
        id_ = model_->Users().at(1).id;
        dir_ = fs::temp_directory_path() / ("termlink-faces-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    Result Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--tcp", where_});
        return Tool(args);
    }

    std::unique_ptr<termsim::Model> model_;
    std::unique_ptr<termsim::TerminalServer> server_;
    std::string where_, id_;
    fs::path dir_;
};

TEST_P(ToolFaces, SetGetAndDeleteAFace) {
    std::string face(1000, '\0');
    for (std::size_t i = 0; i < face.size(); ++i) face[i] = static_cast<char>(i * 7);
    const fs::path in = dir_ / "face.bin", out = dir_ / "back.bin";
    std::ofstream(in, std::ios::binary) << face;

    Result r = Run({"face", "set", id_, "2", in.string()});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out, "Wrote face 2 of user " + id_ + " (1000 bytes).\n");
    r = Run({"--csv", "face", "get", id_, "2"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out, "field,value\r\nuser," + id_ + "\r\nindex,2\r\nbytes,1000\r\n");
    r = Run({"face", "get", id_, "2", "-o", out.string()});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    std::ifstream back(out, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(back), {}), face);
    EXPECT_EQ(Run({"face", "get", id_, "2", "-o", "-"}).out, face);

    EXPECT_EQ(Run({"face", "delete", id_, "2"}).code, kExitOk);
    EXPECT_EQ(Run({"face", "delete", id_, "2"}).code, kExitNotFound);
    EXPECT_EQ(Run({"face", "get", id_, "2"}).code, kExitNotFound);
    EXPECT_EQ(Run({"face", "set", "nobody", "2", in.string()}).code, kExitFailed);
    EXPECT_EQ(Run({"face", "set", id_, "256", in.string()}).code, kExitUsage);
    EXPECT_EQ(Run({"face", "set", id_, "1", (dir_ / "missing").string()}).code, kExitFile);
}

TEST_P(ToolFaces, CaptureCommandsAndState) {
    Result r = Run({"enroll", id_, "3"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out, "Enrolment of finger 3 of user " + id_ + " started.\n");
    EXPECT_EQ(Run({"--json", "state"}).out, "{\n  \"state\": 1\n}\n");
    r = Run({"identify"});  // busy: the terminal refuses
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_NE(r.err.find("the terminal refused"), std::string::npos) << r.err;
    ASSERT_TRUE(model_->FinishCapture());
    EXPECT_EQ(Run({"state"}).out, "state: 0\n");
    EXPECT_EQ(Run({"verify", id_, "1"}).code, kExitOk);
    EXPECT_EQ(Run({"--csv", "state"}).out, "field,value\r\nstate,2\r\n");
    EXPECT_EQ(Run({"cancel"}).code, kExitOk);
    EXPECT_EQ(Run({"identify"}).code, kExitOk);
    EXPECT_EQ(model_->GetCapture().state, termsim::CaptureState::Identifying);
    EXPECT_EQ(Run({"cancel", "now"}).code, kExitUsage);
}

INSTANTIATE_TEST_SUITE_P(Profiles, ToolFaces,
                         ::testing::Values(termsim::Profile::Tft, termsim::Profile::Classic),
                         [](const auto& info) { return termsim::ProfileName(info.param); });

}  // namespace
}  // namespace tlcli
