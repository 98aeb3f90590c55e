// Generation and the state file.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include <unistd.h>

#include "support.h"

namespace termsim::test {
namespace {

GenerateParams Plan(std::uint64_t seed) {
    GenerateParams g;
    g.seed = seed;
    g.users = 30;
    g.punches = 301;
    g.days = 14;
    g.opRecords = 25;
    g.events = 3;
    return g;
}

TEST(TermsimGenerate, SameSeedSameTerminalOtherSeedOther) {
    Model a(ProfileConfig(Profile::Classic)), b(ProfileConfig(Profile::Classic)),
        c(ProfileConfig(Profile::Classic));
    a.Generate(Plan(7));
    b.Generate(Plan(7));
    c.Generate(Plan(8));
    EXPECT_EQ(a.Users(), b.Users());
    EXPECT_EQ(a.Punches(), b.Punches());
    EXPECT_EQ(a.OpLog(), b.OpLog());
    EXPECT_EQ(a.Serialize(), b.Serialize());
    EXPECT_NE(a.Users(), c.Users());
}

TEST(TermsimGenerate, DataIsConsistentAndFitsTheRecords) {
    for (Profile p : {Profile::Legacy, Profile::Classic, Profile::Extended, Profile::Tft}) {
        SCOPED_TRACE(ProfileName(p));
        Model m(ProfileConfig(p));
        m.Generate(Plan(3));
        auto users = m.Users();
        ASSERT_EQ(users.size(), 30u);
        std::set<std::uint32_t> pin2s;
        std::set<std::string> ids;
        for (const auto& u : users) {
            EXPECT_LE(u.name.size(), p == Profile::Tft ? 23u : 8u);
            EXPECT_LE(u.password.size(), 5u);
            EXPECT_GE(u.group, 1);
            EXPECT_LE(u.group, 4);
            if (p == Profile::Legacy) {
                EXPECT_EQ(u.pin2, 0u);
                EXPECT_EQ(u.card, 0u);
            } else {
                EXPECT_TRUE(pin2s.insert(u.pin2).second);
            }
            EXPECT_TRUE(ids.insert(u.id).second);
            if (p == Profile::Tft) {
                EXPECT_LE(u.card, 0xFFFFFFFFu);
                EXPECT_GE(u.zones[0], 1);  // a shift of the shift table
                EXPECT_LE(u.zones[0], 3);
            }
        }
        auto punches = m.Punches();
        ASSERT_EQ(punches.size(), 304u);  // 301 and three live ones
        for (std::size_t i = 0; i < punches.size(); ++i) {
            const auto& x = punches[i];
            auto owner = m.FindUser(x.pin);
            ASSERT_TRUE(owner);
            EXPECT_EQ(x.pin2, owner->pin2);
            EXPECT_EQ(x.id, owner->id);
            EXPECT_LE(x.state, 7);
            EXPECT_LE(x.verify, 3);
            if (i > 0 && i < 301) {
                EXPECT_LE(punches[i - 1].time, x.time);
            }
            auto t = DecodeTime(x.time);
            if (i < 301) {
                EXPECT_EQ(t.year, 2024);
                EXPECT_GE(t.hour, 5);
            }
        }
        EXPECT_EQ(m.PendingEvents(), 3u);
        EXPECT_EQ(m.OpLog().size(), 25u);
        EXPECT_EQ(m.Departments().size(), 4u);
        EXPECT_EQ(m.Shifts().size(), 3u);
    }
}

TEST(TermsimGenerate, CompactLogRoundTripsTheTruth) {
    // Decode the compact table by hand and compare with the truth.
    Model m(ProfileConfig(Profile::Classic));
    m.Generate(Plan(11));
    auto bytes = Read(m, 13).data;
    auto truth = m.Punches();
    std::size_t off = 0, i = 0;
    std::uint32_t base = 0;
    while (off < bytes.size()) {
        ASSERT_LT(i, truth.size());
        std::uint16_t pin = Le16(bytes, off);
        std::uint8_t f = bytes[off + 2];
        std::uint32_t time;
        if (f & 4) {
            time = base + ((f & 3u) << 8 | bytes[off + 3]);
            off += 4;
        } else {
            time = base = Le32(bytes, off + 4);
            off += 8;
        }
        EXPECT_EQ(pin, truth[i].pin);
        EXPECT_EQ(f >> 5, truth[i].state);
        EXPECT_EQ((f >> 3) & 3, truth[i].verify);
        EXPECT_EQ(time, truth[i].time);
        ++i;
    }
    EXPECT_EQ(i, truth.size());
}

TEST(TermsimGenerate, DaysSkipWeekends) {
    Model m(ProfileConfig(Profile::Classic));
    GenerateParams g = Plan(5);
    g.startYear = 2024, g.startMonth = 3, g.startDay = 9;  // a Saturday
    g.days = 2;                                            // only the weekend
    g.events = 0;
    m.Generate(g);
    // Falls back to the first day rather than producing nothing.
    for (const auto& p : m.Punches()) EXPECT_EQ(DecodeTime(p.time).day, 9);
    g.days = 3;  // Saturday to Monday
    m.Generate(g);
    for (const auto& p : m.Punches()) EXPECT_EQ(DecodeTime(p.time).day, 11);
}

TEST(TermsimState, SaveAndLoadRestoreEverything) {
    Config c = ProfileConfig(Profile::Tft);
    c.faults.refusedCommands = {13, 50};
    c.faults.refuseQuery = true;
    Model a(c);
    a.Generate(Plan(21));
    a.SetOption("Odd Key", "va lue%-\n");
    a.SetOption("Empty", "");
    a.RemoveOption("~DeviceName");
    EXPECT_EQ(Cmd(a, 1003, U32(5)).reply, kReplyOk);
    User u = a.Users()[0];
    u.ex = 0;
    a.AddUser(u);
    // Named by process, so that suites of two build trees never share it.
    const std::string path =
        ::testing::TempDir() + "termsim_state_" + std::to_string(::getpid()) + ".txt";
    std::string err;
    ASSERT_TRUE(a.Save(path, &err)) << err;
    Model b(ProfileConfig(Profile::Legacy));
    ASSERT_TRUE(b.Load(path, &err)) << err;
    std::remove(path.c_str());
    EXPECT_EQ(b.GetProfile(), Profile::Tft);
    EXPECT_EQ(b.Version(), a.Version());
    EXPECT_EQ(b.Users(), a.Users());
    EXPECT_EQ(b.Punches(), a.Punches());
    EXPECT_EQ(b.OpLog(), a.OpLog());
    EXPECT_EQ(b.Options(), a.Options());
    EXPECT_EQ(b.TimeZones(), a.TimeZones());
    EXPECT_EQ(b.Groups(), a.Groups());
    EXPECT_EQ(b.Holidays(), a.Holidays());
    EXPECT_EQ(b.Departments(), a.Departments());
    EXPECT_EQ(b.Shifts(), a.Shifts());
    EXPECT_EQ(b.Rule(), a.Rule());
    EXPECT_EQ(b.GetFaults(), a.GetFaults());
    EXPECT_EQ(b.Clock(), a.Clock());
    EXPECT_FALSE(b.Enabled());
    EXPECT_EQ(b.PendingEvents(), a.PendingEvents());
    EXPECT_EQ(b.Serialize(), a.Serialize());
}

TEST(TermsimState, EventsServedButNotAcknowledgedSurvive) {
    Model a(ProfileConfig(Profile::Classic));
    a.AddEvent({1, {1, 2, 3}});
    auto served = Cmd(a, 90, U32(0)).data;
    Model b;
    ASSERT_TRUE(b.Deserialize(a.Serialize()));
    EXPECT_EQ(Cmd(b, 90, U32(0)).data, served);
}

TEST(TermsimState, BadFilesLeaveTheModelAlone) {
    Model m(ProfileConfig(Profile::Classic));
    m.Generate(Plan(1));
    const std::string before = m.Serialize();
    std::string err;
    EXPECT_FALSE(m.Deserialize("", &err));
    EXPECT_FALSE(m.Deserialize("hello\n", &err));
    EXPECT_FALSE(m.Deserialize("termsim-state 1\nprofile nosuch\n", &err));
    EXPECT_FALSE(m.Deserialize("termsim-state 1\nprofile classic\nuser 1 2\n", &err));
    EXPECT_NE(err.find("line 3"), std::string::npos);
    EXPECT_FALSE(m.Deserialize(
        "termsim-state 1\nprofile classic\nuser 70000 0 - - - 0 0 1 0 0 0 0 0 -1\n", &err));
    EXPECT_FALSE(m.Deserialize("termsim-state 1\nprofile classic\noption a%4 b\n", &err));
    EXPECT_FALSE(m.Deserialize("termsim-state 1\nprofile classic\nholiday 25 1 1 1 1 0\n", &err));
    EXPECT_FALSE(m.Deserialize("termsim-state 1\nprofile classic\nbogus 1\n", &err));
    EXPECT_FALSE(m.Deserialize("termsim-state 1\nversion x\n", &err));
    EXPECT_FALSE(m.Load("/nonexistent/dir/state.txt", &err));
    EXPECT_EQ(m.Serialize(), before);
    // A minimal file is a fresh terminal of the profile.
    ASSERT_TRUE(m.Deserialize(
        "termsim-state 1\n# hand-written\nprofile tft\noption Extra 1\nnooption GUID\n", &err))
        << err;
    EXPECT_EQ(Cmd(m, 1100).data, Str("Ver 6.60 Jun 30 2014"));
    EXPECT_EQ(m.UserRecordSize(), 72);
    EXPECT_EQ(m.Option("Extra"), "1");
    EXPECT_FALSE(m.Option("GUID"));
    EXPECT_EQ(m.TimeZones(), Model(ProfileConfig(Profile::Tft)).TimeZones());
    EXPECT_TRUE(m.Users().empty());
}

}  // namespace
}  // namespace termsim::test
