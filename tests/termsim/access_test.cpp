// Time zones, groups, holidays, unlock combinations, door.
#include <gtest/gtest.h>

#include "support.h"

namespace termsim::test {
namespace {

B Week(std::uint8_t sh, std::uint8_t sm, std::uint8_t eh, std::uint8_t em) {
    B out;
    for (int d = 0; d < 7; ++d) out.insert(out.end(), {sh, sm, eh, em});
    return out;
}

TEST(TermsimAccess, TimeZones) {
    Model m(ProfileConfig(Profile::Classic));
    EXPECT_EQ(Cmd(m, 27, U32(1)).data, Week(0, 0, 23, 59));
    EXPECT_EQ(Cmd(m, 27, U32(2)).data, Zeros(28));
    EXPECT_EQ(Cmd(m, 28, Cat({U32(2), Week(8, 30, 17, 45)})).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 27, U32(2)).data, Week(8, 30, 17, 45));
    EXPECT_EQ(Cmd(m, 28, Cat({U32(2), Week(8, 30, 24, 0)})).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 28, Cat({U32(2), Week(8, 60, 9, 0)})).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 28, Cat({U32(51), Week(8, 0, 9, 0)})).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 27, U32(0)).reply, kReplyError);
    Model tft(ProfileConfig(Profile::Tft));
    EXPECT_EQ(Cmd(tft, 27, U32(1)).data, Cat({U16(1), Week(0, 0, 23, 59)}));
}

TEST(TermsimAccess, GroupsInBothForms) {
    Model m(ProfileConfig(Profile::Classic));
    EXPECT_EQ(Cmd(m, 25, U32(1)).data, Cat({U32(1), U32(1), U32(0), U32(0)}));
    EXPECT_EQ(Cmd(m, 25, U32(2)).reply, kReplyError);
    // Integer form, count 1: only zone 4 counts.
    EXPECT_EQ(Cmd(m, 26, Cat({U32(2), U32(1), U32(4), U32(0), U32(9)})).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 25, U32(2)).data, Cat({U32(1), U32(4), U32(0), U32(0)}));
    // Record form: group 5, zones 1, 2, 3, flag and value 2.
    EXPECT_EQ(Cmd(m, 26, B{5, 1, 0, 2, 0, 3, 0, 0x82}).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 25, B{5, 0, 0, 0, 0, 0, 0, 0}).data, (B{5, 1, 0, 2, 0, 3, 0, 0x82}));
    EXPECT_EQ(Cmd(m, 25, B{6, 0, 0, 0, 0, 0, 0, 0}).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 26, B{100, 1, 0, 0, 0, 0, 0, 0}).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 26, B{0, 1, 0, 0, 0, 0, 0, 0}).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 26, U32(5)).reply, kReplyOk);  // no list
    EXPECT_EQ(Cmd(m, 25, U32(5)).data, Cat({U32(0), U32(0), U32(0), U32(0)}));
    EXPECT_EQ(Cmd(m, 26, B{1, 2, 3}).reply, kReplyError);
}

TEST(TermsimAccess, HolidayTableAndRecordsShareEntries) {
    Model m(ProfileConfig(Profile::Tft));
    B entries = Cat({B{1, 1, 1, 2}, Zeros(92)});
    EXPECT_EQ(Cmd(m, 301, Cat({U32(103), entries})).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 300, U32(103)).data, entries);
    EXPECT_EQ(Cmd(m, 91, Cat({U16(1), Zeros(6)})).data, Cat({U16(1), B{1, 1, 1, 2}, U16(0)}));
    EXPECT_EQ(Cmd(m, 91, Cat({U16(2), Zeros(6)})).reply, kReplyError);  // missing entry
    EXPECT_EQ(Cmd(m, 92, Cat({U16(2), B{12, 24, 12, 26}, U16(3)})).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 91, Cat({U16(2), Zeros(6)})).data, Cat({U16(2), B{12, 24, 12, 26}, U16(3)}));
    EXPECT_EQ(Cmd(m, 300, U32(103)).data, Cat({B{1, 1, 1, 2, 12, 24, 12, 26}, Zeros(88)}));
    EXPECT_EQ(Cmd(m, 92, Cat({U16(25), B{1, 1, 1, 1}, U16(0)})).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 92, Cat({U16(3), B{13, 1, 1, 1}, U16(0)})).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 92, Cat({U16(3), B{1, 32, 1, 1}, U16(0)})).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 301, Cat({U32(103), B{1, 1, 13, 2}, Zeros(92)})).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 301, Cat({U32(104), Zeros(96)})).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 300, U32(1)).reply, kReplyError);
    // Emptying the table removes the records too.
    EXPECT_EQ(Cmd(m, 301, Cat({U32(103), Zeros(96)})).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 91, Cat({U16(2), Zeros(6)})).reply, kReplyError);
}

TEST(TermsimAccess, UnlockCombinationsRecordsAndText) {
    Model m(ProfileConfig(Profile::Classic));
    EXPECT_EQ(Cmd(m, 29, B{3, 0, 0, 0, 0, 0, 0, 0}).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 30, B{3, 1, 0, 7, 0, 0, 2, 0}).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 29, B{3, 0, 0, 0, 0, 0, 0, 0}).data, (B{3, 1, 0, 7, 0, 0, 2, 0}));
    EXPECT_EQ(Cmd(m, 29).data, Str("::1,7"));
    EXPECT_EQ(Cmd(m, 30, Str("1,2: :3,4,5,6,7", false)).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 29).data, Str("1,2::3,4,5,6,7"));
    EXPECT_EQ(Cmd(m, 29, B{1, 0, 0, 0, 0, 0, 0, 0}).data, (B{1, 1, 2, 0, 0, 0, 2, 0}));
    EXPECT_EQ(Cmd(m, 29, B{3, 0, 0, 0, 0, 0, 0, 0}).data, (B{3, 3, 4, 5, 6, 7, 5, 0}));
    for (const char* bad : {"1,2,3,4,5,6", "100", "1;2", ":::::::::::1", ",1"})
        EXPECT_EQ(Cmd(m, 30, Str(bad, false)).reply, kReplyError) << bad;
    EXPECT_EQ(Cmd(m, 30, B{11, 1, 0, 0, 0, 0, 1, 0}).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 30, B{2, 100, 0, 0, 0, 0, 1, 0}).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 29, B{11, 0, 0, 0, 0, 0, 0, 0}).reply, kReplyError);
}

TEST(TermsimAccess, DoorAndUnlock) {
    Model m(ProfileConfig(Profile::Classic));
    EXPECT_EQ(Cmd(m, 75).data, B{0});
    EXPECT_EQ(Cmd(m, 31, U32(5)).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 75).data, B{1});
    EXPECT_EQ(Cmd(m, 90, U32(0)).data, Cat({U32(18), U16(3), B{1}, U32(5), Zeros(11)}));
    m.SetDoorState(2);
    EXPECT_EQ(Cmd(m, 75).data, B{2});
    EXPECT_EQ(Cmd(m, 31, B{1}).reply, kReplyError);
}

}  // namespace
}  // namespace termsim::test
