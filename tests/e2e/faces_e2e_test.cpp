// Faces and enrolment control through the whole stack (libtermlink,
// libportmux, TCP plug-in) against the simulated terminal model.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "harness.h"
#include "termsim/model.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Le32(const Bytes& b) {
    return b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

class FacesEndToEnd : public ::testing::TestWithParam<termsim::Profile> {
  protected:
    void SetUp() override {
        termsim::Config config;
        config.profile = GetParam();
        model_ = std::make_unique<termsim::Model>(config);
        model_->Generate(termsim::GenerateParams{.users = 5, .punches = 0, .opRecords = 0});
        sim_ = std::make_unique<e2e::SimTerminal>(*model_);
        s_ = sim_->ConnectNetEx();
        ASSERT_NE(s_, nullptr);
        int width = 0;
        ASSERT_EQ(TL_GetPINWidth(s_, &width), 1);  // wide numbers then resolve through the table
        user_ = model_->Users().at(2);
        std::memcpy(id_, user_.id.data(), user_.id.size());
    }
    void TearDown() override {
        if (s_) {
            EXPECT_EQ(TL_Close(s_), 1);
        }
    }

    std::unique_ptr<termsim::Model> model_;
    std::unique_ptr<e2e::SimTerminal> sim_;
    TL_HANDLE s_ = nullptr;
    termsim::User user_;
    char id_[24] = {};  // the face exports read the whole 24-byte field
};

TEST_P(FacesEndToEnd, SetGetDeleteAFaceOverTheLengthFieldsReach) {
    Bytes face(100000);  // beyond what the 16-bit length field counts
    for (std::size_t i = 0; i < face.size(); ++i) face[i] = static_cast<std::uint8_t>(i * 31 + 7);
    ASSERT_EQ(TL_SetUserFace(s_, id_, 4, face.data(), static_cast<int>(face.size())), 1);
    ASSERT_EQ(model_->Faces().size(), 1u);
    EXPECT_EQ(model_->Faces()[0], (termsim::Face{user_.pin, 4, face}));

    Bytes buffer(face.size() + 4);
    int length = static_cast<int>(buffer.size());
    ASSERT_EQ(TL_GetUserFace(s_, id_, 4, buffer.data(), &length), 1);
    EXPECT_EQ(length, static_cast<int>(buffer.size()));
    EXPECT_EQ(Le32(buffer), face.size());
    EXPECT_TRUE(std::equal(face.begin(), face.end(), buffer.begin() + 4));

    // Too small a buffer: a failure that says how much room the face needs,
    // with nothing written past the capacity given.
    Bytes small(200, 0xEE);
    length = 100;
    EXPECT_EQ(TL_GetUserFace(s_, id_, 4, small.data(), &length), -2);
    EXPECT_EQ(length, -1);
    EXPECT_EQ(Le32(small), face.size());
    EXPECT_EQ(Bytes(small.begin() + 100, small.end()), Bytes(100, 0xEE));

    EXPECT_EQ(TL_DelUserFace(s_, id_, 4), 1);
    EXPECT_TRUE(model_->Faces().empty());
    EXPECT_EQ(TL_DelUserFace(s_, id_, 4), 0);
    length = static_cast<int>(buffer.size());
    EXPECT_EQ(TL_GetUserFace(s_, id_, 4, buffer.data(), &length), 0);
    // A refused write: through libportmux the transport result is 1.
    EXPECT_EQ(TL_SetUserFace(s_, "nobody\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 0, face.data(), 10),
              -4);
}

TEST_P(FacesEndToEnd, EnrolQueryFinishAndCancel) {
    const int number = std::stoi(user_.id);
    int state = -1;
    ASSERT_EQ(TL_QueryState(s_, &state), 1);
    EXPECT_EQ(state, 0);

    ASSERT_EQ(TL_StartEnroll(s_, number, 6), 1);
    ASSERT_EQ(TL_QueryState(s_, &state), 1);
    EXPECT_EQ(state, 1);
    EXPECT_EQ(model_->GetCapture(),
              (termsim::Capture{termsim::CaptureState::Enrolling, user_.pin, 6, 0}));
    // Busy: the refusal's transport result (no reply bytes) comes back.
    EXPECT_EQ(TL_StartIdentify(s_), 0);
    ASSERT_TRUE(model_->FinishCapture());
    ASSERT_EQ(TL_QueryState(s_, &state), 1);
    EXPECT_EQ(state, 0);

    ASSERT_EQ(TL_StartVerify(s_, number, 2), 1);
    ASSERT_EQ(TL_QueryState(s_, &state), 1);
    EXPECT_EQ(state, 2);
    ASSERT_EQ(TL_CancelOperation(s_), 1);
    ASSERT_EQ(TL_StartIdentify(s_), 1);
    ASSERT_EQ(TL_QueryState(s_, &state), 1);
    EXPECT_EQ(state, 3);
    ASSERT_EQ(TL_CancelOperation(s_), 1);

    ASSERT_EQ(TL_StartEnrollEx(s_, user_.id.c_str(), 1, 7), 1);
    EXPECT_EQ(model_->GetCapture(),
              (termsim::Capture{termsim::CaptureState::Enrolling, user_.pin, 1, 7}));
    ASSERT_EQ(TL_CancelOperation(s_), 1);
    ASSERT_EQ(TL_QueryState(s_, &state), 1);
    EXPECT_EQ(state, 0);
}

INSTANTIATE_TEST_SUITE_P(Profiles, FacesEndToEnd,
                         ::testing::Values(termsim::Profile::Tft, termsim::Profile::Classic),
                         [](const auto& info) { return termsim::ProfileName(info.param); });

}  // namespace
