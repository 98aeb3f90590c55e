// Short messages, work codes, custom states and voices, short keys.
#include <gtest/gtest.h>

#include "support.h"

namespace termsim::test {
namespace {

B Sms(std::uint16_t id, std::size_t contentSize, const std::string& text) {
    return Cat({B{4}, U16(id), U16(60), Zeros(2), U32(EncodeTime(2024, 3, 4, 8, 0, 0)),
                Pad(text, contentSize), B{0}});
}

TEST(TermsimContent, MessagesAndLinks) {
    Model m(ProfileConfig(Profile::Classic));
    ASSERT_EQ(
        Cmd(m, 8, Cat({U16(2), B{0}, Zeros(5), Pad("U", 8), Zeros(6), U16(0), U32(22)})).reply,
        kReplyOk);
    const B rec = Sms(7, 60, "Staff meeting");
    ASSERT_EQ(rec.size(), 72u);
    EXPECT_EQ(Cmd(m, 70, rec).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 70, Sms(8, 320, "x")).reply, kReplyError);  // the TFT size
    EXPECT_EQ(Cmd(m, 71, U16(7)).data, rec);
    EXPECT_EQ(Cmd(m, 71, U16(8)).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 73, Cat({U16(2), U16(7)})).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 73, Cat({U16(3), U16(7)})).reply, kReplyError);  // no such user
    EXPECT_EQ(Cmd(m, 73, Cat({U16(2), U16(9)})).reply, kReplyError);  // no such message
    EXPECT_EQ(m.GetContent().links.size(), 1u);
    EXPECT_EQ(Cmd(m, 74, Cat({U16(2), U16(7)})).reply, kReplyOk);
    // Deleting what is not there: REPLY_ERROR with two bytes.
    auto r = Cmd(m, 74, Cat({U16(2), U16(7)}));
    EXPECT_EQ(r.reply, kReplyError);
    EXPECT_EQ(r.data, U16(2));
    EXPECT_EQ(Cmd(m, 72, U16(7)).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 72, U16(7)).data.size(), 2u);

    Model tft(ProfileConfig(Profile::Tft));
    const B big = Sms(1, 320, "Long text");
    ASSERT_EQ(big.size(), 332u);
    EXPECT_EQ(Cmd(tft, 70, big).reply, kReplyOk);
    EXPECT_EQ(Cmd(tft, 71, U16(1)).data, big);
}

TEST(TermsimContent, WorkCodesInBothForms) {
    Model m(ProfileConfig(Profile::Tft));
    EXPECT_EQ(Cmd(m, 82, Cat({U16(3), U32(4711), Zeros(2)})).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 83, U16(3)).data, Cat({U16(3), U32(4711), Zeros(2)}));
    EXPECT_EQ(Cmd(m, 83, U16(4)).reply, kReplyError);
    B setText = Cat({Zeros(2), Pad("12", 9), Pad("Night shift", 24), Zeros(1)});
    ASSERT_EQ(setText.size(), 36u);
    EXPECT_EQ(Cmd(m, 82, setText).reply, kReplyOk);
    B getText = Cat({B{0}, Pad("12", 9)});
    EXPECT_EQ(Cmd(m, 83, getText).data, setText);
    EXPECT_EQ(Cmd(m, 84, Pad("12", 9)).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 83, getText).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 84, U16(3)).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 84, U16(3)).reply, kReplyError);
    // Clearing by table kind.
    Cmd(m, 82, Cat({U16(5), U32(1), Zeros(2)}));
    Cmd(m, 82, setText);
    EXPECT_EQ(Cmd(m, 14, B{9}).reply, kReplyOk);
    EXPECT_TRUE(m.GetContent().workCodes.empty());
    EXPECT_EQ(m.GetContent().workCodeNames.size(), 1u);
    EXPECT_EQ(Cmd(m, 14, B{17}).reply, kReplyOk);
    EXPECT_TRUE(m.GetContent().workCodeNames.empty());
}

TEST(TermsimContent, CustomStatesAndVoices) {
    Model classic(ProfileConfig(Profile::Classic));  // no "~ExtendFmt"
    EXPECT_EQ(Cmd(classic, 1703, Cat({U16(0), U16(5), U16(1)})).reply, kReplyError);
    Model m(ProfileConfig(Profile::Extended));
    EXPECT_EQ(Cmd(m, 1703, Cat({U16(2), U16(100), U16(1)})).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 1703, Cat({U16(8), U16(1), U16(1)})).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 1703, Cat({U16(1), U16(128), U16(1)})).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 1705, Cat({U16(2), U16(0), U16(0)})).reply, kReplyOk);
    EXPECT_EQ(m.GetContent().states.at(2), (CustomEntry{100, "", false}));
    EXPECT_EQ(Cmd(m, 1707, Cat({U16(2), U16(0)})).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 1707, Cat({U16(2), U16(0)})).reply, kReplyError);

    B voice = Cat({U16(20), Zeros(8), Pad("hello.wav", 20), U16(1)});
    EXPECT_EQ(Cmd(m, 1704, voice).reply, kReplyOk);
    EXPECT_EQ(m.GetContent().voices.at(20), (CustomEntry{0, "hello.wav", true}));
    EXPECT_EQ(Cmd(m, 1704, Cat({U16(21), Zeros(8), Pad("a.wav", 20), U16(1)})).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 1706, Cat({U16(20), U16(0), U16(0)})).reply, kReplyOk);
    EXPECT_FALSE(m.GetContent().voices.at(20).enabled);
    EXPECT_EQ(Cmd(m, 1708, Cat({U16(20), U16(0)})).reply, kReplyOk);
}

TEST(TermsimContent, ShortKeyRecordsPerFirmware) {
    Model m(ProfileConfig(Profile::Classic));  // "Ver 6.60": 34-byte records
    auto table = Read(m, 86);
    ASSERT_EQ(table.reply, kReplyOk);
    ASSERT_EQ(table.data.size(), 4u * 34u);
    EXPECT_EQ(B(table.data.begin(), table.data.begin() + 34),
              Cat({B{1, 1, 0}, Pad("Check-In", 16), Zeros(15)}));
    B key = Cat({B{5, 1, 3}, Pad("Lunch", 16), U16(830), U16(1200), Zeros(10), B{1}});
    EXPECT_EQ(Cmd(m, 85, key).reply, kReplyOk);
    const B after = Read(m, 86).data;
    ASSERT_EQ(after.size(), 5u * 34u);
    EXPECT_EQ(B(after.end() - 34, after.end()), key);
    EXPECT_EQ(Cmd(m, 85, Cat({B{6, 1, 3}, Pad("", 16), U16(2400), Zeros(12), B{1}})).reply,
              kReplyError);
    EXPECT_EQ(Cmd(m, 85, Zeros(32)).reply, kReplyError);

    Model legacy(ProfileConfig(Profile::Legacy));  // older firmware: 32 bytes, 14-byte label
    EXPECT_EQ(Read(legacy, 86).data.size(), 4u * 32u);
    EXPECT_EQ(Cmd(legacy, 85, Cat({B{2, 2, 255}, Zeros(29)})).reply, kReplyOk);
    EXPECT_EQ(legacy.GetContent().shortKeys.at(2).function, 2);
}

TEST(TermsimContent, ContentSurvivesAFileAndUserDeletesDropLinks) {
    Model a(ProfileConfig(Profile::Classic));
    a.Generate(GenerateParams{});
    ASSERT_EQ(Cmd(a, 70, Sms(7, 60, "Hi")).reply, kReplyOk);
    ASSERT_EQ(Cmd(a, 73, Cat({U16(2), U16(7)})).reply, kReplyOk);
    Cmd(a, 85, Cat({B{5, 1, 3}, Pad("Lunch", 16), U16(830), Zeros(12), B{1}}));
    Model b;
    std::string err;
    ASSERT_TRUE(b.Deserialize(a.Serialize(), &err)) << err;
    EXPECT_EQ(b.GetContent(), a.GetContent());
    EXPECT_EQ(a.GetContent().workCodes.size(), 9u);
    EXPECT_EQ(Cmd(a, 18, U16(2)).reply, kReplyOk);
    EXPECT_TRUE(a.GetContent().links.empty());
}

}  // namespace
}  // namespace termsim::test
