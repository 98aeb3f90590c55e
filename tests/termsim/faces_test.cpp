// Faces per user and face index, and the capture state machine.
#include <gtest/gtest.h>

#include "support.h"

namespace termsim::test {
namespace {

// A 72-byte text-ID user record.
B Ssr(std::uint16_t pin, const std::string& id) {
    return Cat({U16(pin), B{0}, Zeros(8), Pad("N", 24), U32(0), B{1}, Zeros(8), Pad(id, 24)});
}

B FaceHeader(const std::string& id, std::uint8_t index, std::uint16_t length = 0) {
    return Cat({Pad(id, 24), B{0, index}, U16(length)});
}

B FaceBytes(std::size_t n, std::uint8_t seed) {
    B b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(seed + i * 3);
    return b;
}

Response Send(Model& m, Op op, int command, B request, B data = {}) {
    Request r;
    r.op = op;
    r.command = command;
    r.request = std::move(request);
    r.data = std::move(data);
    return m.Handle(r);
}

// A text-ID terminal with users 5 ("A5") and 6 ("B6").
class TermsimFaces : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(Cmd(m, 8, Ssr(5, "A5")).reply, kReplyOk);
        ASSERT_EQ(Cmd(m, 8, Ssr(6, "B6")).reply, kReplyOk);
    }
    Model m{ProfileConfig(Profile::Tft)};
};

TEST_F(TermsimFaces, FacesSetGetDeleteByIdAndIndex) {
    const B face = FaceBytes(300, 1);
    EXPECT_EQ(Send(m, Op::CommandData, 151, FaceHeader("A5", 2, 300), face).reply, kReplyOk);
    // Pushed ahead with PMX_SENDDATA works the same.
    Request staged;
    staged.op = Op::Data;
    staged.data = FaceBytes(10, 9);
    ASSERT_EQ(m.Handle(staged).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 151, FaceHeader("B6", 0, 10)).reply, kReplyOk);
    EXPECT_EQ(m.Faces(), (std::vector<Face>{{5, 2, face}, {6, 0, FaceBytes(10, 9)}}));
    EXPECT_EQ(Send(m, Op::Read1, 150, FaceHeader("A5", 2)).data, face);
    EXPECT_EQ(Send(m, Op::Read1, 150, FaceHeader("A5", 3)).reply, kReplyError);
    EXPECT_EQ(Send(m, Op::Read1, 150, FaceHeader("C7", 2)).reply, kReplyError);
    EXPECT_EQ(Le32(Cmd(m, 50).data, 20 * 4), 2u);
    // A second write to the same index replaces the face.
    EXPECT_EQ(Send(m, Op::CommandData, 151, FaceHeader("A5", 2, 4), B{1, 2, 3, 4}).reply, kReplyOk);
    EXPECT_EQ(Send(m, Op::Read1, 150, FaceHeader("A5", 2)).data, (B{1, 2, 3, 4}));
    EXPECT_EQ(Cmd(m, 152, FaceHeader("A5", 2)).reply, kReplyOk);
    const Response missing = Cmd(m, 152, FaceHeader("A5", 2));
    EXPECT_EQ(missing.reply, kReplyError);
    EXPECT_EQ(missing.data.size(), 2u);  // "not found"
    // Deleting the user takes its faces along.
    EXPECT_EQ(Cmd(m, 133, Pad("B6", 24)).reply, kReplyOk);
    EXPECT_TRUE(m.Faces().empty());
}

TEST_F(TermsimFaces, FaceWritesMustAgreeWithTheirLengthField) {
    struct Case {
        std::size_t size;
        std::uint16_t field;
        int reply;
    } cases[] = {
        {100, 100, kReplyOk},      {100, 99, kReplyError},       {0, 0, kReplyError},
        {65535, 65535, kReplyOk},  {65536, 65535, kReplyOk},     {65536, 0, kReplyError},
        {131072, 65535, kReplyOk}, {131073, 65535, kReplyError},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        const B face = FaceBytes(c.size, 7);
        EXPECT_EQ(Send(m, Op::CommandData, 151, FaceHeader("A5", 1, c.field), face).reply, c.reply);
        if (c.reply == kReplyOk) {
            EXPECT_EQ(m.Faces().at(0).data, face);
        }
    }
    EXPECT_EQ(Send(m, Op::CommandData, 151, FaceHeader("Z9", 1, 4), B{1, 2, 3, 4}).reply,
              kReplyError);
    EXPECT_EQ(Send(m, Op::CommandData, 151, Pad("A5", 27), B{1}).reply, kReplyError);
}

TEST_F(TermsimFaces, CaptureStartCancelFinishAndTheStateAsReplyLength) {
    struct Step {
        const char* what;
        int command;
        B request;
        int reply;
        CaptureState after;
    } steps[] = {
        {"enrol by number", 61, B{5, 0, 3}, kReplyOk, CaptureState::Enrolling},
        {"busy", 60, {}, kReplyError, CaptureState::Enrolling},
        {"cancel", 62, {}, kReplyOk, CaptureState::Idle},
        {"cancel when idle", 62, {}, kReplyOk, CaptureState::Idle},
        {"enrol by ID and flag", 61, Cat({Pad("B6", 24), B{4, 1}}), kReplyOk,
         CaptureState::Enrolling},
        {"cancel", 62, {}, kReplyOk, CaptureState::Idle},
        {"enrol by decimal text", 61, Cat({Pad("A5", 24), B{2}}), kReplyOk,
         CaptureState::Enrolling},
        {"cancel", 62, {}, kReplyOk, CaptureState::Idle},
        {"enrol nobody", 61, Cat({Pad("Z9", 24), B{2}}), kReplyError, CaptureState::Idle},
        {"enrol, odd size", 61, B{5, 0, 3, 0}, kReplyError, CaptureState::Idle},
        {"verify nobody", 60, B{9, 0, 1}, kReplyError, CaptureState::Idle},
        {"verify", 60, B{6, 0, 1}, kReplyOk, CaptureState::Verifying},
        {"cancel", 62, {}, kReplyOk, CaptureState::Idle},
        {"identify", 60, {}, kReplyOk, CaptureState::Identifying},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.what);
        EXPECT_EQ(Cmd(m, s.command, s.request).reply, s.reply);
        EXPECT_EQ(m.GetCapture().state, s.after);
        const auto n = static_cast<std::uint8_t>(s.after);
        const Response state = Cmd(m, 64);
        EXPECT_EQ(state.reply, kReplyOk);
        EXPECT_EQ(state.data, B(n, n));
    }
    EXPECT_EQ(m.FinishCapture(), (Capture{CaptureState::Identifying, 0, 0, 0}));
    EXPECT_FALSE(m.FinishCapture());
    ASSERT_EQ(Cmd(m, 61, Cat({Pad("B6", 24), B{4, 1}})).reply, kReplyOk);
    EXPECT_EQ(m.FinishCapture(), (Capture{CaptureState::Enrolling, 6, 4, 1}));
    EXPECT_TRUE(Cmd(m, 64).data.empty());
}

TEST_F(TermsimFaces, FacesAndARunningCaptureSurviveTheStateFile) {
    ASSERT_TRUE(m.AddFace(Face{6, 1, FaceBytes(50, 3)}));
    EXPECT_FALSE(m.AddFace(Face{9, 1, FaceBytes(50, 3)}));  // no such user
    ASSERT_EQ(Cmd(m, 60, B{5, 0, 2}).reply, kReplyOk);
    Model copy(ProfileConfig(Profile::Classic));
    std::string error;
    ASSERT_TRUE(copy.Deserialize(m.Serialize(), &error)) << error;
    EXPECT_EQ(copy.Faces(), m.Faces());
    EXPECT_EQ(copy.GetCapture(), (Capture{CaptureState::Verifying, 5, 2, 0}));
    EXPECT_FALSE(copy.Deserialize("termsim-state 1\nprofile tft\nface 5 1 0A0B\n", &error));
    EXPECT_NE(error.find("without its user"), std::string::npos) << error;
    EXPECT_FALSE(copy.Deserialize("termsim-state 1\nprofile tft\ncapture 4 0 0 0\n", &error));
}

}  // namespace
}  // namespace termsim::test
