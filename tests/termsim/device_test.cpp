// Version, options, events, enable/disable, status, width and clock.
#include <gtest/gtest.h>

#include "support.h"

namespace termsim::test {
namespace {

TEST(TermsimProfiles, VersionAndCapabilityOptionsPerProfile) {
    struct Case {
        Profile p;
        const char* version;
        const char* platform;
        const char* extendFmt;  // nullptr = absent
        const char* fp;
        bool os;
    } cases[] = {
        {Profile::Legacy, "Ver 5.02 Mar 12 2004", "QV-A100", nullptr, nullptr, false},
        {Profile::Classic, "Ver 6.60 Apr 15 2011", "QV-B200", nullptr, nullptr, false},
        {Profile::Extended, "Ver 6.60 Oct 20 2012", "QV-B300", "1", "9", true},
        {Profile::Tft, "Ver 6.60 Jun 30 2014", "QV-TFT350", nullptr, "9", true},
        {Profile::Fp10, "Ver 6.60 Mar  2 2015", "QV-B500", "1", "10", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ProfileName(c.p));
        Model m(ProfileConfig(c.p));
        auto v = Cmd(m, 1100);
        EXPECT_EQ(v.reply, kReplyOk);
        EXPECT_EQ(v.data, Str(c.version));
        EXPECT_EQ(Text(Cmd(m, 11, Str("~Platform"))), std::string("~Platform=") + c.platform);
        auto ef = Cmd(m, 11, Str("~ExtendFmt"));
        if (c.extendFmt)
            EXPECT_EQ(Text(ef), std::string("~ExtendFmt=") + c.extendFmt);
        else
            EXPECT_EQ(ef.reply, kReplyError);
        auto fp = Cmd(m, 11, Str("~QVFPVersion"));
        if (c.fp)
            EXPECT_EQ(Text(fp), std::string("~QVFPVersion=") + c.fp);
        else
            EXPECT_EQ(fp.reply, kReplyError);
        EXPECT_EQ(Cmd(m, 11, Str("~OS")).reply, c.os ? kReplyOk : kReplyError);
    }
}

TEST(TermsimProfiles, RecordSizesFollowProfileAndOptions) {
    Model legacy(ProfileConfig(Profile::Legacy));
    EXPECT_EQ(legacy.UserRecordSize(), 16);
    EXPECT_EQ(legacy.RtRecordSize(), 16);
    Model classic(ProfileConfig(Profile::Classic));
    EXPECT_EQ(classic.UserRecordSize(), 28);
    EXPECT_EQ(classic.LogRecordSize(), 0);
    EXPECT_EQ(classic.OpRecordSize(), 16);
    EXPECT_EQ(classic.RtRecordSize(), 18);
    Model ext(ProfileConfig(Profile::Extended));
    EXPECT_EQ(ext.LogRecordSize(), 16);
    EXPECT_EQ(ext.OpRecordSize(), 20);
    Model tft(ProfileConfig(Profile::Tft));
    EXPECT_EQ(tft.UserRecordSize(), 72);
    EXPECT_EQ(tft.LogRecordSize(), 40);
    EXPECT_EQ(tft.OpRecordSize(), 60);
    EXPECT_EQ(tft.RtRecordSize(), 38);

    // Exactly "Ver 6.18 20070807" is not later than itself: short records.
    Config c = ProfileConfig(Profile::Classic);
    c.version = "Ver 6.18 Aug 07 2007";
    EXPECT_EQ(Model(c).RtRecordSize(), 16);
    c.version = "Ver 6.18 Aug 08 2007";
    EXPECT_EQ(Model(c).RtRecordSize(), 18);
}

TEST(TermsimOptions, ConfigOverridesAndRemovesOptions) {
    Config c = ProfileConfig(Profile::Classic);
    c.options["~ExtendFmt"] = "1";
    c.options["Custom"] = "x y";
    c.removedOptions.insert("~DeviceName");
    c.commKey = 1234;
    Model m(c);
    EXPECT_EQ(Text(Cmd(m, 11, Str("Custom"))), "Custom=x y");
    EXPECT_EQ(Cmd(m, 11, Str("~DeviceName")).reply, kReplyError);
    EXPECT_EQ(m.LogRecordSize(), 16);
    EXPECT_EQ(m.CommKey(), 1234u);
    EXPECT_EQ(Text(Cmd(m, 11, Str("COMKey"))), "COMKey=1234");
}

TEST(TermsimOptions, GetAndSetPlainOptions) {
    Model m(ProfileConfig(Profile::Extended));
    // The host's request buffer is zero-filled beyond the key.
    B req = Str("DeviceID");
    req.resize(200, 0);
    EXPECT_EQ(Cmd(m, 11, req).data, Str("DeviceID=1"));
    EXPECT_EQ(Cmd(m, 12, Str("DeviceID=7")).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 11, Str("DeviceID")).data, Str("DeviceID=7"));
    // A value may hold "=".
    EXPECT_EQ(Cmd(m, 12, Str("WiegandFmt=a=b")).reply, kReplyOk);
    EXPECT_EQ(m.Option("WiegandFmt"), "a=b");
    EXPECT_EQ(Cmd(m, 12, Str("NoEquals")).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 12, Str("=5")).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 11, Str("Missing")).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 11, B{}).reply, kReplyError);
    // With "~OS" present hidden values arrive plain, even when they look hex.
    EXPECT_EQ(Cmd(m, 12, Str("~RFSLen=0A31")).reply, kReplyOk);
    EXPECT_EQ(m.Option("~RFSLen"), "0A31");
    // Writing the key changes what the transport checks.
    EXPECT_EQ(Cmd(m, 12, Str("COMKey=99")).reply, kReplyOk);
    EXPECT_EQ(m.CommKey(), 99u);
}

TEST(TermsimOptions, HiddenValuesScrambledWithoutOs) {
    Model m(ProfileConfig(Profile::Classic));  // no "~OS"
    // Seed 0x5A, plain "10": 5A, 5A^'1'=6B, 6B^'0'=5B.
    EXPECT_EQ(Cmd(m, 12, Str("~RFSLen=5A6B5B")).reply, kReplyOk);
    EXPECT_EQ(m.Option("~RFSLen"), "10");
    EXPECT_EQ(Text(Cmd(m, 11, Str("~RFSLen"))), "~RFSLen=10");
    // Lower-case digits are read too; the empty plain value is a lone seed.
    EXPECT_EQ(Cmd(m, 12, Str("~CustData=ff")).reply, kReplyOk);
    EXPECT_EQ(m.Option("~CustData"), "");
    // Not in the scrambled form: kept as written.
    EXPECT_EQ(Cmd(m, 12, Str("~CustData=hello")).reply, kReplyOk);
    EXPECT_EQ(m.Option("~CustData"), "hello");
    // Hex that would hide control characters is not a scrambled value.
    EXPECT_EQ(Cmd(m, 12, Str("~CustData=0001")).reply, kReplyOk);
    EXPECT_EQ(m.Option("~CustData"), "0001");
    // Keys without "~" are never unscrambled.
    EXPECT_EQ(Cmd(m, 12, Str("DeviceID=5A6B")).reply, kReplyOk);
    EXPECT_EQ(m.Option("DeviceID"), "5A6B");
    // "~OS" answered "NONE" still means scrambled.
    m.SetOption("~OS", "NONE");
    EXPECT_EQ(Cmd(m, 12, Str("~RFFPC=1122")).reply, kReplyOk);
    EXPECT_EQ(m.Option("~RFFPC"), "3");
}

TEST(TermsimEvents, PollServesRecordsAndRepeatsUnacknowledgedBatch) {
    Model m(ProfileConfig(Profile::Classic));  // 18-byte records
    Punch p{7, 1007, "1007", EncodeTime(2024, 3, 4, 8, 1, 2), 0, 1, 0};
    ASSERT_TRUE(m.AddPunch(p));
    auto r = Cmd(m, 90, U32(0));
    ASSERT_EQ(r.reply, kReplyOk);
    B rec = Cat({U32(18), U16(1), U32(1007), B{0, 1}, U32(p.time), U32(0), Zeros(2)});
    EXPECT_EQ(r.data, rec);
    // Same sequence number again: the reply was lost, serve it again.
    EXPECT_EQ(Cmd(m, 90, U32(0)).data, rec);
    EXPECT_EQ(m.PendingEvents(), 1u);
    // Next number: acknowledged, nothing new.
    EXPECT_EQ(Cmd(m, 90, U32(1)).data, U32(0));
    EXPECT_EQ(m.PendingEvents(), 0u);
    // A new session numbers its polls from 0 again: its first poll is not
    // a repeat of the last session's, which counts as delivered.
    ASSERT_TRUE(m.AddPunch(p));
    EXPECT_EQ(Cmd(m, 90, U32(0)).data, rec);
    m.SessionStarted();
    EXPECT_EQ(m.PendingEvents(), 0u);
    EXPECT_EQ(Cmd(m, 90, U32(0)).data, U32(0));
}

TEST(TermsimEvents, RecordFormsPerProfile) {
    Punch p{3, 3003, "3003", EncodeTime(2024, 3, 4, 8, 0, 0), 1, 2, 9};
    Model legacy(ProfileConfig(Profile::Legacy));
    legacy.AddPunch(p);
    EXPECT_EQ(Cmd(legacy, 90, U32(0)).data,
              Cat({U32(16), U16(1), U16(3), B{1, 2}, U32(p.time), U32(9), Zeros(2)}));
    Model tft(ProfileConfig(Profile::Tft));
    tft.AddPunch(p);
    EXPECT_EQ(Cmd(tft, 90, U32(0)).data,
              Cat({U32(38), U16(1), Pad("3003", 24), B{1, 2}, U32(p.time), U32(9), Zeros(2)}));
    // Raw events are cut or padded to the record.
    Model c(ProfileConfig(Profile::Classic));
    c.AddEvent({5, B(40, 0xAB)});
    c.AddEvent({6, B{1}});
    EXPECT_EQ(Cmd(c, 90, U32(0)).data,
              Cat({U32(36), U16(5), B(16, 0xAB), U16(6), B{1}, Zeros(15)}));
}

TEST(TermsimEvents, BatchesFitThePollBufferAndMaskFilters) {
    Model m(ProfileConfig(Profile::Tft));  // 38-byte records: 26 per poll
    for (int i = 0; i < 30; ++i) m.AddEvent({1, {}});
    auto first = Cmd(m, 90, U32(0));
    EXPECT_EQ(Le32(first.data, 0), 26u * 38u);
    EXPECT_LE(first.data.size(), 1024u);
    auto second = Cmd(m, 90, U32(1));
    EXPECT_EQ(Le32(second.data, 0), 4u * 38u);

    EXPECT_EQ(Cmd(m, 500, U32(1u << 3)).reply, kReplyOk);
    EXPECT_EQ(m.EventMask(), 8u);
    m.AddEvent({1, {}});
    m.AddEvent({3, {}});
    auto third = Cmd(m, 90, U32(2));
    ASSERT_EQ(Le32(third.data, 0), 38u);
    EXPECT_EQ(Le16(third.data, 4), 3);
    EXPECT_EQ(Cmd(m, 500, B{1}).reply, kReplyError);
}

TEST(TermsimDevice, EnableDisableGatesKeypadPunches) {
    Model m(ProfileConfig(Profile::Classic));
    EXPECT_EQ(Cmd(m, 1003, U32(0)).reply, kReplyOk);
    EXPECT_FALSE(m.Enabled());
    EXPECT_FALSE(m.AddPunch(Punch{}));
    EXPECT_TRUE(m.AddPunch(Punch{}, true));
    EXPECT_EQ(Cmd(m, 1002).reply, kReplyOk);
    EXPECT_TRUE(m.Enabled());
    EXPECT_TRUE(m.AddPunch(Punch{}));
    EXPECT_EQ(m.Punches().size(), 2u);
}

TEST(TermsimDevice, StatusWidthAndClock) {
    Model m(ProfileConfig(Profile::Classic));
    User admin;
    admin.pin = 1;
    admin.privilege = 14;
    admin.password = "123";
    User plain;
    plain.pin = 2;
    m.AddUser(admin);
    m.AddUser(plain);
    Punch one;
    one.pin = 1;
    m.AddPunch(one);
    auto st = Cmd(m, 50);
    ASSERT_EQ(st.reply, kReplyOk);
    ASSERT_EQ(st.data.size(), 96u);
    EXPECT_EQ(Le32(st.data, 4 * 4), 2u);   // users
    EXPECT_EQ(Le32(st.data, 8 * 4), 1u);   // attendance records
    EXPECT_EQ(Le32(st.data, 12 * 4), 1u);  // administrators
    EXPECT_EQ(Le32(st.data, 13 * 4), 1u);  // passwords
    EXPECT_EQ(Le32(st.data, 18 * 4), 10000u - 2u);

    EXPECT_EQ(Cmd(m, 69, Zeros(2)).data, (B{9, 0}));
    Model legacy(ProfileConfig(Profile::Legacy));
    EXPECT_EQ(Cmd(legacy, 69, Zeros(2)).data, (B{5, 0}));

    EXPECT_EQ(Cmd(m, 201).data, U32(EncodeTime(2024, 3, 4, 9, 0, 0)));
    EXPECT_EQ(Cmd(m, 202, U32(362824205)).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 201).data, U32(362824205));
    EXPECT_EQ(Cmd(m, 202, B{1, 2}).reply, kReplyError);
}

TEST(TermsimDevice, FaultsRefuseChosenCommands) {
    Config c = ProfileConfig(Profile::Classic);
    c.faults.refusedCommands = {1100};
    Model m(c);
    EXPECT_EQ(Cmd(m, 1100).reply, kReplyError);
    m.RefuseCommand(1100, false);
    m.RefuseCommand(11);
    EXPECT_EQ(Cmd(m, 1100).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 11, Str("DeviceID")).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 4242).reply, kReplyError);  // unknown command
}

TEST(TermsimTime, EncodeDecode) {
    EXPECT_EQ(EncodeTime(2011, 4, 15, 8, 30, 5), 362824205u);
    EXPECT_EQ(EncodeTime(2023, 2, 30, 0, 0, 0), 744422400u);
    auto t = DecodeTime(4294967295u);
    EXPECT_EQ(t.year, 2133);
    EXPECT_EQ(t.month, 8);
    EXPECT_EQ(t.day, 18);
    EXPECT_EQ(t.second, 15);
}

}  // namespace
}  // namespace termsim::test
