// Backup, restore, image capture and MF cards through the whole stack
// (libtermlink, libarchlib loaded by name, libportmux, UDP plug-in) against
// the simulated terminal model.
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "harness.h"
#include "termsim/model.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// Passes every request to the model and counts pushed data blocks.
class Counting : public termsim::Handler {
  public:
    explicit Counting(termsim::Model& m) : model_(m) {}
    termsim::Response Handle(const termsim::Request& r) override {
        if (r.op == termsim::Op::Data) ++pushes;
        return model_.Handle(r);
    }
    int pushes = 0;

  private:
    termsim::Model& model_;
};

// Every table a backup carries, for comparing two terminals' data.
struct DataTables {
    std::vector<termsim::User> users;
    std::vector<termsim::Punch> punches;
    std::vector<termsim::OpRecord> oplog;
    std::vector<termsim::Template> templates;
    std::vector<termsim::Face> faces;
    termsim::Content content;
    std::map<int, termsim::TimeZone> zones;
    std::map<int, termsim::Group> groups;
    std::array<termsim::Holiday, 24> holidays;
    std::array<std::array<std::uint8_t, 5>, 11> combos;
    std::vector<termsim::Department> departments;
    std::vector<termsim::Shift> shifts;
    termsim::AttRule rule;
    bool operator==(const DataTables&) const = default;

    static DataTables Of(const termsim::Model& m) {
        return {m.Users(),       m.Punches(),   m.OpLog(),  m.Templates(), m.Faces(),
                m.GetContent(),  m.TimeZones(), m.Groups(), m.Holidays(),  m.UnlockCombinations(),
                m.Departments(), m.Shifts(),    m.Rule()};
    }
};

class BackupEndToEnd : public ::testing::TestWithParam<termsim::Profile> {
  protected:
    void SetUp() override {
        termsim::Config config;
        config.profile = GetParam();
        model_ = std::make_unique<termsim::Model>(config);
        model_->Generate(termsim::GenerateParams{.seed = 5, .users = 40, .punches = 3000});
        // Templates and a face for some users: the largest records a backup carries.
        const auto users = model_->Users();
        for (std::size_t i = 0; i < users.size(); i += 3) {
            Bytes t(600 + i * 10);
            for (std::size_t k = 0; k < t.size(); ++k) t[k] = static_cast<std::uint8_t>(k * i + 1);
            ASSERT_TRUE(
                model_->AddTemplate({users[i].pin, static_cast<std::uint8_t>(i % 10), 1, t}));
        }
        ASSERT_TRUE(model_->AddFace({users[1].pin, 50, Bytes(90000, 0x3C)}));
        counting_ = std::make_unique<Counting>(*model_);
        sim_ = std::make_unique<e2e::SimTerminal>(*counting_);
        s_ = sim_->ConnectNet();
        ASSERT_NE(s_, nullptr);
        dir_ = fs::temp_directory_path() / ("tl_backup_e2e_" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        if (s_) {
            EXPECT_EQ(TL_Close(s_), 1);
        }
        fs::remove_all(dir_);
    }
    std::string Path(const char* name) const { return (dir_ / name).string(); }

    std::unique_ptr<termsim::Model> model_;
    std::unique_ptr<Counting> counting_;
    std::unique_ptr<e2e::SimTerminal> sim_;
    TL_HANDLE s_ = nullptr;
    fs::path dir_;
};

TEST_P(BackupEndToEnd, BackupClearRestoreGivesBackEveryTable) {
    const DataTables before = DataTables::Of(*model_);
    const std::string file = Path("terminal.bak");
    ASSERT_EQ(TL_BackupData(s_, file.c_str()), 1);
    ASSERT_TRUE(fs::exists(file));

    // The terminal's data is erased and something else enrolled meanwhile.
    termsim::Request clear;
    clear.command = 14;
    ASSERT_EQ(model_->Handle(clear).reply, termsim::kReplyOk);
    EXPECT_TRUE(model_->Users().empty());
    termsim::User stranger;
    stranger.pin = 999;
    stranger.name = "Stranger";
    ASSERT_TRUE(model_->AddUser(stranger));

    const int refreshes = model_->GetPanel().refreshes;
    ASSERT_EQ(TL_RestoreData(s_, file.c_str()), 1);
    EXPECT_TRUE(DataTables::Of(*model_) == before);
    EXPECT_EQ(model_->GetPanel().refreshes, refreshes + 1);
}

TEST_P(BackupEndToEnd, RestoreAgainstATerminalThatRefusesToEraseReturnsZeroAndPushesNothing) {
    const std::string file = Path("terminal.bak");
    ASSERT_EQ(TL_BackupData(s_, file.c_str()), 1);
    model_->RefuseCommand(14);
    const DataTables before = DataTables::Of(*model_);
    const auto installs = model_->Installs().size();
    ASSERT_EQ(TL_RestoreData(s_, file.c_str()), 0);
    EXPECT_EQ(counting_->pushes, 0);
    EXPECT_EQ(model_->Installs().size(), installs);
    EXPECT_TRUE(DataTables::Of(*model_) == before);
}

INSTANTIATE_TEST_SUITE_P(Profiles, BackupEndToEnd,
                         ::testing::Values(termsim::Profile::Classic, termsim::Profile::Tft));

// ---- capture and cards

class CaptureEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        sim_ = std::make_unique<e2e::SimTerminal>(model_);
        s_ = sim_->ConnectNet();
        ASSERT_NE(s_, nullptr);
        dir_ = fs::temp_directory_path() / ("tl_capture_e2e_" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        if (s_) {
            EXPECT_EQ(TL_Close(s_), 1);
        }
        fs::remove_all(dir_);
    }
    // What ImageMagick reads from the file: size, type and class (a
    // palette image whose palette is grey reads "Grayscale PseudoClass").
    static std::string Identify(const std::string& path) {
        const std::string cmd = "identify -format '%w %h %[type] %r' '" + path + "' 2>/dev/null";
        std::unique_ptr<FILE, int (*)(FILE*)> p(popen(cmd.c_str(), "r"), pclose);
        std::string out;
        char buf[256];
        while (p && fgets(buf, sizeof buf, p.get())) out += buf;
        return out;
    }

    termsim::Model model_;
    std::unique_ptr<e2e::SimTerminal> sim_;
    TL_HANDLE s_ = nullptr;
    fs::path dir_;
};

TEST_F(CaptureEndToEnd, CapturedImagesOpenAsGreyBitmapsOfTheirSize) {
    struct Case {
        int full, askWidth, width, height;
    };
    for (const Case c : {Case{1, 0, 640, 480}, Case{0, 0, 256, 288}, Case{0, 302, 302, 339},
                         Case{1, 1000, 1000, 307}}) {
        SCOPED_TRACE(c.askWidth);
        const std::string bmp = (dir_ / "finger.bmp").string();
        int w = c.askWidth, h = 0;
        Bytes pixels(307208);
        ASSERT_EQ(TL_CaptureImage(s_, c.full, &w, &h, pixels.data(), bmp.c_str()), 1);
        EXPECT_EQ(w, c.width);
        EXPECT_EQ(h, c.height);
        const Bytes truth = termsim::SyntheticFingerprint(w, h);
        // The plain 640 x 480 form carries the transfer's count in its first
        // four pixels.
        const std::size_t skip = c.full && !c.askWidth ? 4 : 0;
        EXPECT_TRUE(std::equal(truth.begin() + skip, truth.end(), pixels.begin() + skip));
        EXPECT_EQ(Identify(bmp), std::to_string(c.width) + " " + std::to_string(c.height) +
                                     " Grayscale PseudoClass Gray ");
    }
}

TEST_F(CaptureEndToEnd, CardWritesAndErasesGoToThePresentedCard) {
    Bytes descriptor = {5, 0, 0x11, 0, 0, 0x22, 3, 0, 0x33, 0, 0, 0x44};
    Bytes data(4096);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i + 9);
    int width = 0;
    ASSERT_EQ(TL_GetPINWidth(s_, &width), 1);  // the user number's size in the block
    // No card at the reader: the terminal's two-byte refusal.
    EXPECT_EQ(TL_MFWrite(s_, 7, descriptor.data(), data.data()), 0);
    model_.PresentCard(4711);
    ASSERT_EQ(TL_MFWrite(s_, 7, descriptor.data(), data.data()), 1);
    model_.PresentCard(815);
    ASSERT_EQ(TL_MFEmpty(s_), 1);
    auto cards = model_.Cards();
    ASSERT_EQ(cards.size(), 2u);
    EXPECT_EQ(cards[4711].user, 7u);
    EXPECT_TRUE(Bytes(cards[4711].descriptor.begin(), cards[4711].descriptor.end()) == descriptor);
    EXPECT_TRUE(cards[4711].data == Bytes(data.begin(), data.begin() + 8));
    EXPECT_EQ(cards[815], termsim::MfCard{});
    model_.PresentCard(4711);
    ASSERT_EQ(TL_MFEmpty(s_), 1);
    EXPECT_EQ(model_.Cards()[4711], termsim::MfCard{});
}

}  // namespace
