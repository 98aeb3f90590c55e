// User writes, deletes, groups, user time zones and the extended byte.
#include <gtest/gtest.h>

#include "support.h"

namespace termsim::test {
namespace {

// A 28-byte record written out field by field.
B Classic(std::uint16_t pin, std::uint8_t priv, const std::string& pw, const std::string& name,
          std::uint32_t card, std::uint8_t card5, std::uint8_t b21, std::uint16_t tz,
          std::uint32_t pin2) {
    return Cat({U16(pin), B{priv}, Pad(pw, 5), Pad(name, 8), U32(card), B{card5, b21}, U16(tz),
                U32(pin2)});
}

B Ssr(std::uint16_t pin, std::uint8_t priv, const std::string& pw, const std::string& name,
      std::uint32_t card, std::uint8_t group, std::uint16_t z1, std::uint16_t z2, std::uint16_t z3,
      std::uint16_t z4, const std::string& id) {
    return Cat({U16(pin), B{priv}, Pad(pw, 8), Pad(name, 24), U32(card), B{group}, U16(z1), U16(z2),
                U16(z3), U16(z4), Pad(id, 24)});
}

TEST(TermsimSetUser, ClassicRecordStoredAndServedBack) {
    Model m(ProfileConfig(Profile::Classic));
    // Privilege 3 disabled (15), zones 1, 2, 40: u16 32897, byte 21 bits 4-5 = 2.
    B rec = Classic(12, 15, "12345", "ABCDEFGH", 0xDEADBEEF, 0x7F, 0x80 | 0x20 | 5, 32897, 4711);
    ASSERT_EQ(Cmd(m, 8, rec).reply, kReplyOk);
    auto u = m.FindUser(12);
    ASSERT_TRUE(u);
    EXPECT_EQ(u->name, "ABCDEFGH");
    EXPECT_EQ(u->password, "12345");
    EXPECT_EQ(u->card, 0x7FDEADBEEFULL);
    EXPECT_EQ(u->group, 5);
    EXPECT_EQ(u->zones, (std::array<std::uint16_t, 4>{1, 2, 40, 0}));
    EXPECT_TRUE(u->ownZones);
    EXPECT_EQ(u->pin2, 4711u);
    EXPECT_EQ(Read(m, 9, B{5}).data, rec);
    // Overwrite keeps one record; no zone list stored clears bit 7.
    B rec2 = Classic(12, 2, "", "X", 0, 0, 3, 0, 4711);
    ASSERT_EQ(Cmd(m, 8, rec2).reply, kReplyOk);
    EXPECT_EQ(Read(m, 9, B{5}).data, rec2);
    EXPECT_FALSE(m.FindUser(12)->ownZones);
}

TEST(TermsimSetUser, RefusesWrongFormsAndDuplicateKeys) {
    Model m(ProfileConfig(Profile::Classic));
    EXPECT_EQ(Cmd(m, 8, Zeros(27)).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 8, Zeros(72)).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 8, Classic(0, 0, "", "", 0, 0, 0, 0, 5)).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 8, Classic(0xFFFF, 0, "", "", 0, 0, 0, 0, 5)).reply, kReplyError);
    ASSERT_EQ(Cmd(m, 8, Classic(1, 0, "", "A", 0, 0, 0, 0, 500)).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 8, Classic(2, 0, "", "B", 0, 0, 0, 0, 500)).reply, kReplyError);
    EXPECT_EQ(m.Users().size(), 1u);

    Model tft(ProfileConfig(Profile::Tft));
    ASSERT_EQ(Cmd(tft, 8, Ssr(1, 0, "", "A", 0, 1, 0, 0, 0, 0, "A1")).reply, kReplyOk);
    EXPECT_EQ(Cmd(tft, 8, Ssr(2, 0, "", "B", 0, 1, 0, 0, 0, 0, "A1")).reply, kReplyError);
    EXPECT_EQ(Cmd(tft, 8, Ssr(3, 0, "", "C", 0, 1, 0, 0, 0, 0, "")).reply, kReplyError);
    EXPECT_EQ(Cmd(tft, 8, Classic(4, 0, "", "", 0, 0, 0, 0, 5)).reply, kReplyError);
}

TEST(TermsimSetUser, TextIdAndLegacyForms) {
    Model tft(ProfileConfig(Profile::Tft));
    B rec = Ssr(7, 6, "pass1234", std::string(24, 'N'), 0xCAFEF00D, 42, 1, 2, 3, 4, "ID-0007");
    ASSERT_EQ(Cmd(tft, 8, rec).reply, kReplyOk);
    auto u = tft.FindUser(7);
    ASSERT_TRUE(u);
    EXPECT_EQ(u->id, "ID-0007");
    EXPECT_EQ(u->name, std::string(24, 'N'));  // a full field has no terminator
    EXPECT_EQ(u->zones, (std::array<std::uint16_t, 4>{1, 2, 3, 4}));
    EXPECT_EQ(Read(tft, 9, B{5}).data, rec);
    EXPECT_EQ(Cmd(tft, 133, Pad("ID-0007", 24)).reply, kReplyOk);
    EXPECT_TRUE(tft.Users().empty());
    EXPECT_EQ(Cmd(tft, 133, Pad("ID-0007", 24)).reply, kReplyError);

    Model legacy(ProfileConfig(Profile::Legacy));
    // PIN, name, password, privilege 2, enabled 0.
    ASSERT_EQ(Cmd(legacy, 8, Cat({U16(3), Pad("Old Joe", 8), Pad("99", 5), B{2, 0}})).reply,
              kReplyOk);
    EXPECT_EQ(legacy.FindUser(3)->privilege, 3);
    EXPECT_EQ(Read(legacy, 9).data, Cat({U16(3), B{3}, Pad("99", 5), Pad("Old Joe", 8)}));
    EXPECT_EQ(Cmd(legacy, 8, Zeros(16)).reply, kReplyError);
}

TEST(TermsimUsers, DeleteAndClearAdministrators) {
    Model m(ProfileConfig(Profile::Classic));
    Cmd(m, 8, Classic(1, 14, "", "Boss", 0, 0, 1, 0, 100));
    Cmd(m, 8, Classic(2, 7, "", "Sub", 0, 0, 1, 0, 200));  // admin, disabled
    Cmd(m, 8, Classic(3, 0, "", "Joe", 0, 0, 1, 0, 300));
    EXPECT_EQ(Cmd(m, 20).reply, kReplyOk);
    EXPECT_EQ(m.FindUser(1)->privilege, 0);
    EXPECT_EQ(m.FindUser(2)->privilege, 1);  // still disabled
    EXPECT_EQ(Cmd(m, 18, U16(2)).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 18, U16(2)).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 18, B{}).reply, kReplyError);
    EXPECT_EQ(m.Users().size(), 2u);
}

TEST(TermsimUsers, GroupCommands) {
    Model m(ProfileConfig(Profile::Classic));
    Cmd(m, 8, Classic(9, 0, "", "G", 0, 0, 4, 0, 900));
    EXPECT_EQ(Cmd(m, 21, U32(9)).data, U32(4));
    EXPECT_EQ(Cmd(m, 22, Cat({U32(9), B{7}})).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 21, U32(9)).data, U32(7));
    EXPECT_EQ(Cmd(m, 22, Cat({U32(9), B{16}})).reply, kReplyError);  // four bits only
    EXPECT_EQ(Cmd(m, 22, U32(9)).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 21, U32(10)).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 21, U32(0x10009)).reply, kReplyError);  // not PIN 9 cut to 16 bits
}

TEST(TermsimUsers, UserTimeZonesBothReplyForms) {
    Model m(ProfileConfig(Profile::Classic));
    Cmd(m, 8, Classic(5, 0, "", "T", 0, 0, 1, 0, 500));  // group 1 = zone 1
    // Following the group: n = -1 - 1.
    EXPECT_EQ(Cmd(m, 23, U32(5)).data,
              Cat({U32(static_cast<std::uint32_t>(-2)), U32(1), U32(0), U32(0)}));
    EXPECT_EQ(Cmd(m, 24, Cat({U32(5), U32(2), U32(4), U32(9), U32(0)})).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 23, U32(5)).data, Cat({U32(2), U32(4), U32(9), U32(0)}));
    // The record shows the list: zones 4, 9 -> 4 | 9 << 6 = 580, bit 7 set.
    EXPECT_EQ(Read(m, 9).data, Classic(5, 0, "", "T", 0, 0, 0x81, 580, 500));
    EXPECT_EQ(Cmd(m, 24, Cat({U32(5), U32(1), U32(64), U32(0), U32(0)})).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 24, Cat({U32(5), U32(4), U32(1), U32(1), U32(1)})).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 24, U32(5)).reply, kReplyOk);  // back to the group
    EXPECT_EQ(Le32(Cmd(m, 23, U32(5)).data, 0), static_cast<std::uint32_t>(-2));

    Model tft(ProfileConfig(Profile::Tft));
    Cmd(tft, 8, Ssr(5, 0, "", "T", 0, 1, 1, 0, 0, 0, "5"));
    EXPECT_EQ(Cmd(tft, 24, Cat({U32(5), U32(1), U32(3), U32(6), U32(9)})).reply, kReplyOk);
    EXPECT_EQ(Cmd(tft, 23, U32(5)).data, Cat({U16(3), U16(6), U16(9), U16(1)}));
}

TEST(TermsimUsers, ExtendedByte) {
    Model m(ProfileConfig(Profile::Classic));
    Cmd(m, 8, Classic(6, 0, "", "E", 0, 0, 1, 0, 600));
    EXPECT_EQ(Cmd(m, 80, U16(6)).reply, kReplyError);  // none stored yet
    EXPECT_EQ(Cmd(m, 79, Cat({U16(6), B{0x5C}, Zeros(21)})).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 80, U16(6)).data, Cat({U16(6), B{0x5C}, Zeros(21)}));
    // Rewriting the user keeps the byte.
    Cmd(m, 8, Classic(6, 0, "", "E2", 0, 0, 1, 0, 600));
    EXPECT_EQ(Cmd(m, 80, U16(6)).data[2], 0x5C);
    EXPECT_EQ(Cmd(m, 81, U16(6)).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 81, U16(6)).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 79, Cat({U16(99), B{1}, Zeros(21)})).reply, kReplyError);
}

}  // namespace
}  // namespace termsim::test
