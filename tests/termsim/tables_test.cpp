// Bulk table reads and the record layouts of users and logs.
#include <gtest/gtest.h>

#include "support.h"

namespace termsim::test {
namespace {

const std::uint32_t T0 = EncodeTime(2024, 3, 4, 8, 0, 0);

Punch P(std::uint16_t pin, std::uint32_t pin2, std::uint32_t time, std::uint8_t state,
        std::uint8_t verify, std::uint32_t work = 0) {
    return Punch{pin, pin2, std::to_string(pin2), time, state, verify, work};
}

TEST(TermsimLog, CompactRecordsUseDeltasAgainstLastFullTime) {
    Model m(ProfileConfig(Profile::Classic));
    m.AddPunch(P(1, 101, T0, 0, 1));
    m.AddPunch(P(2, 102, T0 + 90, 1, 2));                      // short: delta 90
    m.AddPunch(P(3, 103, T0 + 1023, 2, 3));                    // short: delta 1023 against T0
    m.AddPunch(P(4, 104, T0 + 1024, 0, 0));                    // too far: long, new base
    m.AddPunch(P(5, 105, T0 + 1000, 1, 1));                    // backwards: long
    m.AddPunch(P(6, 106, T0 + 1300, 7, 3));                    // short: delta 300 against T0 + 1000
    B want = Cat({U16(1), B{0x08, 0}, U32(T0),                 // state 0, verify 1
                  U16(2), B{0x20 | 0x10 | 0x04, 90},           // state 1, verify 2
                  U16(3), B{0x40 | 0x18 | 0x04 | 0x03, 0xFF},  // state 2, verify 3, 1023
                  U16(4), B{0x00, 0}, U32(T0 + 1024),          //
                  U16(5), B{0x28, 0}, U32(T0 + 1000),          //
                  U16(6), B{0xE0 | 0x18 | 0x04 | 0x01, 0x2C}});  // 300 = 0x12C
    auto r = Read(m, 13);
    ASSERT_EQ(r.reply, kReplyOk);
    EXPECT_EQ(r.data, want);
    EXPECT_EQ(Read(m, 120, B{1}).data, want);
    EXPECT_EQ(Read(m, 120, Cat({B{1, 0, 0, 0}, U32(77)})).data, want);  // mode-2 request
    EXPECT_EQ(Query(m, 1).data, want);
    EXPECT_EQ(Cmd(m, 121, B{1}).reply, kReplyOk);
}

TEST(TermsimLog, ExtendedAndTextIdRecords) {
    Model ext(ProfileConfig(Profile::Extended));
    ext.AddPunch(P(9, 900123, T0 + 5, 4, 1, 321));
    ext.AddPunch(Punch{8, 0, "", T0 + 6, 0, 0, 0});  // no PIN2: the PIN stands in
    EXPECT_EQ(Read(ext, 13).data, Cat({U32(900123), U32(T0 + 5), B{4, 1}, U16(0), U32(321),  //
                                       U32(8), U32(T0 + 6), B{0, 0}, U16(0), U32(0)}));
    Model tft(ProfileConfig(Profile::Tft));
    tft.AddPunch(P(9, 900123, T0 + 5, 5, 2, 321));
    EXPECT_EQ(Read(tft, 120, B{1}).data,
              Cat({U16(9), Pad("900123", 24), B{2}, U32(T0 + 5), B{5}, U32(321), Zeros(4)}));
}

TEST(TermsimLog, EmptyTablesAnswerErrorWithoutData) {
    Model m(ProfileConfig(Profile::Classic));
    for (int cmd : {13, 34, 9}) {
        auto r = Read(m, cmd);
        EXPECT_EQ(r.reply, kReplyError) << cmd;
        EXPECT_TRUE(r.data.empty()) << cmd;
    }
    EXPECT_EQ(Read(m, 120, B{1}).reply, kReplyError);
    EXPECT_EQ(Read(m, 7, B{2}).reply, kReplyError);  // no templates
    auto q = Query(m, 1);
    EXPECT_EQ(q.reply, kReplyOk);
    EXPECT_TRUE(q.data.empty());
    EXPECT_EQ(Query(m, 9).reply, kReplyError);
    EXPECT_EQ(Read(m, 7, B{9}).reply, kReplyError);
}

TEST(TermsimLog, OldFirmwareHasNoPrepareTable) {
    Model m(ProfileConfig(Profile::Legacy));
    m.AddPunch(P(1, 0, T0, 0, 1));
    EXPECT_EQ(Read(m, 120, B{1}).reply, kReplyError);
    EXPECT_EQ(Read(m, 13).reply, kReplyOk);
}

TEST(TermsimLog, RefusedBulkReadLeavesTheQuery) {
    Config c = ProfileConfig(Profile::Classic);
    c.faults.refusePrimaryBulkRead = true;
    Model m(c);
    m.AddPunch(P(1, 11, T0, 0, 1));
    User u;
    u.pin = 1;
    m.AddUser(u);
    for (auto r : {Read(m, 120, B{1}), Read(m, 13), Read(m, 9, B{5}), Read(m, 7, B{5})}) {
        EXPECT_EQ(r.reply, kReplyDenied);
        EXPECT_TRUE(r.data.empty());
    }
    EXPECT_EQ(Query(m, 1).data.size(), 8u);
    EXPECT_EQ(Query(m, 5).data.size(), 28u);
    Faults f;
    f.refuseQuery = true;
    m.SetFaults(f);
    EXPECT_EQ(Query(m, 1).reply, kReplyError);
    EXPECT_EQ(Read(m, 13).reply, kReplyOk);
}

OpRecord Op(std::uint8_t code) {
    OpRecord o;
    o.operatorPin = 1;
    o.operatorNumber = 5001;
    o.operatorId = "5001";
    o.code = code;
    o.time = T0 + 60;
    o.params = {11, 22, 33, 44};
    o.targetPin = 4;
    o.targetNumber = 5004;
    o.targetId = "5004";
    return o;
}

TEST(TermsimOpLog, ThreeLayouts) {
    Model std16(ProfileConfig(Profile::Classic));
    std16.AddOpRecord(Op(3));
    std16.AddOpRecord(Op(30));
    EXPECT_EQ(Read(std16, 34).data,
              Cat({U16(1), B{3, 0}, U32(T0 + 60), U16(11), U16(22), U16(33), U16(44),  //
                   U16(1), B{30, 0}, U32(T0 + 60), U16(4), U16(22), U16(33), U16(44)}));
    Model ext(ProfileConfig(Profile::Extended));
    ext.AddOpRecord(Op(6));
    EXPECT_EQ(Read(ext, 120, B{4}).data,
              Cat({U32(5001), B{6, 0}, U32(T0 + 60), U32(5004), U16(22), U16(33), U16(44)}));
    Model tft(ProfileConfig(Profile::Tft));
    tft.AddOpRecord(Op(7));
    tft.AddOpRecord(Op(2));
    EXPECT_EQ(Read(tft, 34).data, Cat({Pad("5001", 24), B{7}, U32(T0 + 60), U16(11), U16(22),
                                       U16(33), Pad("5004", 24), B{0},  //
                                       Pad("5001", 24), B{2}, U32(T0 + 60), U16(11), U16(22),
                                       U16(33), Zeros(24), B{0}}));
}

User Sample() {
    User u;
    u.pin = 0x0102;
    u.pin2 = 123456789;
    u.id = "A-17";
    u.name = "Ann Lee";
    u.password = "4321";
    u.privilege = 15;
    u.card = 0x12'3456789AULL;
    u.group = 3;
    u.zones = {5, 7, 40, 0};
    u.ownZones = true;
    return u;
}

TEST(TermsimUsers, TableInEachRecordForm) {
    Model legacy(ProfileConfig(Profile::Legacy));
    legacy.AddUser(Sample());
    EXPECT_EQ(Read(legacy, 9).data, Cat({U16(0x0102), B{15}, Pad("4321", 5), Pad("Ann Lee", 8)}));

    Model classic(ProfileConfig(Profile::Classic));
    classic.AddUser(Sample());
    // Zones 5, 7, 40: 5 | 7 << 6 | 40 << 12 = 0x2_81C5; bits 16-17 (2) to byte 21 bits 4-5.
    EXPECT_EQ(Read(classic, 9, B{5}).data,
              Cat({U16(0x0102), B{15}, Pad("4321", 5), Pad("Ann Lee", 8), U32(0x3456789A), B{0x12},
                   B{0x80 | 0x20 | 3}, U16(0x81C5), U32(123456789)}));
    EXPECT_EQ(Read(classic, 7, B{5}).data, Read(classic, 9, B{5}).data);

    Model tft(ProfileConfig(Profile::Tft));
    tft.AddUser(Sample());
    EXPECT_EQ(Query(tft, 5).data,
              Cat({U16(0x0102), B{15}, Pad("4321", 8), Pad("Ann Lee", 24), U32(0x3456789A), B{3},
                   U16(5), U16(7), U16(40), U16(0), Pad("A-17", 24)}));
}

TEST(TermsimReport, RuleDepartmentAndShiftTables) {
    Model m(ProfileConfig(Profile::Tft));
    EXPECT_EQ(Read(m, 36).reply, kReplyError);
    m.SetDepartments({{1, "Sales"}, {2, "Works"}});
    m.SetShifts({{1, "Day", 0x0800, 0x1100}});
    AttRule rule;
    rule.title = "Monthly";
    m.SetRule(rule);
    EXPECT_EQ(Read(m, 36).data,
              Cat({B{1, 0, 0, 0}, Pad("Sales", 32), B{2, 0, 0, 0}, Pad("Works", 32)}));
    EXPECT_EQ(Read(m, 37).data,
              Cat({U16(1), Pad("Day", 10), U16(0x0800), U16(0), U16(0x1100), U16(0)}));
    auto r = Read(m, 35).data;
    ASSERT_EQ(r.size(), 136u);
    EXPECT_EQ(B(r.begin(), r.begin() + 48), Pad("Monthly", 48));
    EXPECT_EQ(Le32(r, 60), 5u);   // repeat minutes
    EXPECT_EQ(Le32(r, 76), 5u);   // grace minutes
    EXPECT_EQ(Le32(r, 96), 30u);  // unit minutes
    EXPECT_EQ(Le32(r, 132), 3u);  // absence shown in days
}

}  // namespace
}  // namespace termsim::test
