// Templates, batch uploads, pushed installs and device control.
#include <gtest/gtest.h>

#include "support.h"

namespace termsim::test {
namespace {

B Classic(std::uint16_t pin, std::uint32_t pin2) {
    return Cat({U16(pin), B{0}, Zeros(5), Pad("U", 8), U32(0), B{0, 1}, U16(0), U32(pin2)});
}

B Tmpl(std::uint8_t seed, std::size_t n) {
    B t(n);
    for (std::size_t i = 0; i < n; ++i) t[i] = static_cast<std::uint8_t>(seed + i * 7);
    return t;
}

Response CmdData(Model& m, int command, B request, B data) {
    Request r;
    r.op = Op::CommandData;
    r.command = command;
    r.request = std::move(request);
    r.data = std::move(data);
    return m.Handle(r);
}

Response Push(Model& m, B data) {
    Request r;
    r.op = Op::Data;
    r.data = std::move(data);
    return m.Handle(r);
}

TEST(TermsimTemplates, SetGetDeleteAndTable) {
    Model m(ProfileConfig(Profile::Classic));
    ASSERT_EQ(Cmd(m, 8, Classic(3, 300)).reply, kReplyOk);
    const B t = Tmpl(1, 60);
    EXPECT_EQ(Cmd(m, 10, Cat({U16(3), B{6}, U16(60), t})).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 10, Cat({U16(4), B{6}, U16(60), t})).reply, kReplyError);  // no such user
    EXPECT_EQ(Cmd(m, 10, Cat({U16(3), B{6}, U16(61), t})).reply, kReplyError);  // short body
    EXPECT_EQ(Cmd(m, 10, Cat({U16(3), B{6}, U16(0)})).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 9, Cat({U16(3), B{6}})).data, t);
    EXPECT_EQ(Cmd(m, 9, Cat({U16(3), B{5}})).reply, kReplyError);
    // The same code as a table read still gives the users.
    EXPECT_EQ(Read(m, 9, B{5}).data.size(), 28u);
    // Flagged write and read: the flag comes last.
    EXPECT_EQ(Cmd(m, 87, Cat({U16(3), B{7, 1}, U16(60), Tmpl(2, 60)})).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 88, Cat({U16(3), B{7}})).data, Cat({Tmpl(2, 60), B{1}}));
    // Table records: u16 size, u16 PIN, finger, flag, bytes.
    B table = Cat({U16(66), U16(3), B{6, 0}, t, U16(66), U16(3), B{7, 1}, Tmpl(2, 60)});
    EXPECT_EQ(Read(m, 7, B{2}).data, table);
    EXPECT_EQ(Query(m, 2).data, table);
    EXPECT_EQ(Le32(Cmd(m, 50).data, 6 * 4), 2u);
    // Identification by equal bytes.
    EXPECT_EQ(Cmd(m, 1011, t).data, U16(3));
    EXPECT_EQ(Cmd(m, 1011, Tmpl(9, 60)).data, U16(0));
    EXPECT_EQ(Cmd(m, 19, Cat({U16(3), B{6}})).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 19, Cat({U16(3), B{6}})).reply, kReplyError);
    // Deleting the user takes its templates along.
    EXPECT_EQ(Cmd(m, 18, U16(3)).reply, kReplyOk);
    EXPECT_TRUE(m.Templates().empty());
}

TEST(TermsimTemplates, PushedBodiesIdFormAndAppend) {
    Model m(ProfileConfig(Profile::Tft));
    B rec = Cat({U16(5), B{0}, Zeros(8), Pad("Ann", 24), U32(0), B{1}, Zeros(8), Pad("A5", 24)});
    ASSERT_EQ(Cmd(m, 8, rec).reply, kReplyOk);
    // Version-10 style write: the template arrives as data ahead of the header.
    EXPECT_EQ(CmdData(m, 10, Cat({U16(5), B{15}, U16(200)}), Tmpl(3, 200)).reply, kReplyOk);
    EXPECT_EQ(m.Templates().at(0).data, Tmpl(3, 200));
    Request r1;
    r1.op = Op::Read1;
    r1.command = 9;
    r1.request = Cat({U16(5), B{15}});
    EXPECT_EQ(m.Handle(r1).data, Tmpl(3, 200));
    EXPECT_EQ(Cmd(m, 132, Cat({Pad("A5", 24), B{1, 2}, U16(50), Tmpl(4, 50)})).reply, kReplyOk);
    EXPECT_EQ(m.Templates().at(1), (Template{5, 2, 1, Tmpl(4, 50)}));
    EXPECT_EQ(Cmd(m, 132, Cat({Pad("B9", 24), B{1, 2}, U16(50), Tmpl(4, 50)})).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 134, Cat({Pad("A5", 24), B{2}})).reply, kReplyOk);
    EXPECT_EQ(m.Templates().size(), 1u);
    // Append takes the next free finger and creates an unknown user.
    EXPECT_EQ(Cmd(m, 17, Cat({U16(9), B{255}, Zeros(8), U16(50), Tmpl(5, 50)})).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 17, Cat({U16(9), B{255}, Zeros(8), U16(50), Tmpl(6, 50)})).reply, kReplyOk);
    ASSERT_TRUE(m.FindUser(9));
    EXPECT_EQ(Cmd(m, 9, Cat({U16(9), B{1}})).data, Tmpl(6, 50));
}

// The upload block of a batch: three lengths, user commands, template
// commands, template data.
B Block(const B& users, const B& tmpCmds, const B& data) {
    return Cat({U32(static_cast<std::uint32_t>(users.size())),
                U32(static_cast<std::uint32_t>(tmpCmds.size())),
                U32(static_cast<std::uint32_t>(data.size())), users, tmpCmds, data});
}

TEST(TermsimBatch, UploadAppliesUsersAndTemplates) {
    Model m(ProfileConfig(Profile::Classic));
    ASSERT_EQ(Cmd(m, 8, Classic(1, 100)).reply, kReplyOk);
    ASSERT_EQ(Cmd(m, 10, Cat({U16(1), B{0}, U16(50), Tmpl(1, 50)})).reply, kReplyOk);
    B users = Cat({B{2}, Classic(2, 200), B{2}, Classic(3, 300), B{0}, U16(1), Zeros(26)});
    B data = Cat({U16(50), Tmpl(7, 50), U16(60), Tmpl(8, 60)});
    B cmds = Cat({B{2}, U16(2), B{0x13}, U32(0),          // flag 1, finger 3
                  B{1}, U16(3), B{4}, U32(52),            //
                  B{0}, U16(3), B{9}, U32(0xFFFFFFFF)});  // nothing there: fine
    ASSERT_EQ(Push(m, Block(users, cmds, data)).reply, kReplyOk);
    ASSERT_EQ(Cmd(m, 110, Cat({U32(12), U32(0x80000)})).reply, kReplyOk);
    EXPECT_FALSE(m.FindUser(1));
    ASSERT_TRUE(m.FindUser(2));
    ASSERT_TRUE(m.FindUser(3));
    auto ts = m.Templates();
    ASSERT_EQ(ts.size(), 2u);
    EXPECT_EQ(ts[0], (Template{2, 3, 1, Tmpl(7, 50)}));
    EXPECT_EQ(ts[1], (Template{3, 4, 0, Tmpl(8, 60)}));
    EXPECT_EQ(m.Installs().at(0).code, 12u);
    // The data went with that command: another update has none.
    EXPECT_EQ(Cmd(m, 110, Cat({U32(12), U32(0x80000)})).reply, kReplyError);
}

TEST(TermsimBatch, BadUploadChangesNothing) {
    Model m(ProfileConfig(Profile::Classic));
    ASSERT_EQ(Cmd(m, 8, Classic(1, 100)).reply, kReplyOk);
    B users = Cat({B{0}, U16(1), Zeros(26), B{2}, Classic(2, 200)});
    B cmds = Cat({B{2}, U16(2), B{0}, U32(40)});  // offset past the data
    ASSERT_EQ(Push(m, Block(users, cmds, Cat({U16(4), Tmpl(1, 4)}))).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 110, Cat({U32(12), U32(0x80000)})).reply, kReplyError);
    EXPECT_TRUE(m.FindUser(1));
    EXPECT_FALSE(m.FindUser(2));
    // Lengths claiming more than was pushed.
    EXPECT_EQ(CmdData(m, 110, Cat({U32(12), U32(0)}), Cat({U32(100), U32(0), U32(0)})).reply,
              kReplyError);
    // An empty batch applies.
    EXPECT_EQ(CmdData(m, 110, Cat({U32(12), U32(0)}), Zeros(12)).reply, kReplyOk);
    // Legacy firmware takes no batches.
    Model legacy(ProfileConfig(Profile::Legacy));
    EXPECT_EQ(CmdData(legacy, 110, Cat({U32(12), U32(0)}), Zeros(12)).reply, kReplyError);
}

TEST(TermsimBatch, TextIdTerminalsMixEntryForms) {
    Model m(ProfileConfig(Profile::Tft));
    B rec = Cat({U16(5), B{0}, Zeros(8), Pad("Ann", 24), U32(0), B{1}, Zeros(8), Pad("A5", 24)});
    B users = Cat({B{2}, rec});
    B data = Cat({U16(50), Tmpl(7, 50), U16(50), Tmpl(8, 50)});
    B cmds = Cat({B{1}, Pad("A5", 24), B{2}, U32(0),  // ID form
                  B{1}, U16(5), B{3}, U32(52)});      // number form
    ASSERT_EQ(CmdData(m, 110, Cat({U32(12), U32(0x80000)}), Block(users, cmds, data)).reply,
              kReplyOk);
    auto ts = m.Templates();
    ASSERT_EQ(ts.size(), 2u);
    EXPECT_EQ(ts[0].finger, 2);
    EXPECT_EQ(ts[1].finger, 3);
    // Deleting by internal number (4-byte entries).
    EXPECT_EQ(
        CmdData(m, 110, Cat({U32(12), U32(0x80000)}), Block(Cat({B{0}, U32(5)}), {}, {})).reply,
        kReplyOk);
    EXPECT_TRUE(m.Users().empty());
    EXPECT_TRUE(m.Templates().empty());
}

TEST(TermsimInstall, PushedDataIsRecorded) {
    Model m(ProfileConfig(Profile::Classic));
    EXPECT_EQ(CmdData(m, 110, Cat({U32(2), U32(0xA0000000)}), B{1, 2, 3}).reply, kReplyOk);
    B fileReq = Cat({U32(1700), Pad("logo.jpg", 40)});
    EXPECT_EQ(CmdData(m, 110, fileReq, B{9}).reply, kReplyOk);
    EXPECT_EQ(CmdData(m, 110, Cat({U32(99), U32(0)}), B{9}).reply, kReplyError);
    EXPECT_EQ(CmdData(m, 110, Cat({U32(2), U32(0)}), B{}).reply, kReplyError);
    // A file comes back by name, the latest version of it.
    EXPECT_EQ(CmdData(m, 110, fileReq, B{7, 7}).reply, kReplyOk);
    EXPECT_EQ(Read(m, 1702, Str("logo.jpg")).data, (B{7, 7}));
    EXPECT_EQ(Read(m, 1702, Str("other.jpg")).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 1701, Cat({U32(3), Pad("Hello=Hallo", 96)})).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 1701, Cat({U32(3), Zeros(96)})).reply, kReplyError);
    auto in = m.Installs();
    ASSERT_EQ(in.size(), 4u);
    EXPECT_EQ(in[0], (Install{2, 0xA0000000, "", B{1, 2, 3}}));
    EXPECT_EQ(in[1], (Install{1700, 0, "logo.jpg", B{9}}));
    EXPECT_EQ(in[3], (Install{1701, 3, "Hello=Hallo", {}}));
}

// An update pack's sections: a firmware image in the simulator's form
// changes the version once its checks pass; language goes with the code
// that matches "~OS"; hidden options written scrambled are stored plain.
TEST(TermsimInstall, UpdateSectionsApplyAndHiddenOptionsUnscramble) {
    Model m(ProfileConfig(Profile::Classic));
    const B fwBlock = Cat({U32(2), U32(0xA0000000)});
    B image = FirmwareImage("Ver 6.70 Jan  5 2025", B{1, 2, 3});
    B broken = image;
    broken.back() ^= 1;
    EXPECT_EQ(CmdData(m, 110, fwBlock, broken).reply, kReplyError);
    EXPECT_EQ(CmdData(m, 110, Cat({U32(2), U32(0)}), image).reply, kReplyError);
    EXPECT_EQ(m.Version(), "Ver 6.60 Apr 15 2011");
    EXPECT_EQ(CmdData(m, 110, fwBlock, image).reply, kReplyOk);
    EXPECT_EQ(m.Version(), "Ver 6.70 Jan  5 2025");
    EXPECT_EQ(Text(Cmd(m, 1100)), "Ver 6.70 Jan  5 2025");

    EXPECT_EQ(CmdData(m, 110, Cat({U32(10), U32(0)}), B{5, 6}).reply, kReplyError);
    EXPECT_EQ(CmdData(m, 110, Cat({U32(3), U32(0)}), B{5, 6}).reply, kReplyOk);
    EXPECT_EQ(CmdData(m, 110, Cat({U32(8), U32(0)}), B{7}).reply, kReplyOk);
    EXPECT_EQ(m.InstalledData(3), (B{5, 6}));
    EXPECT_EQ(m.InstalledData(8), (B{7}));
    m.SetOption("~OS", "LINUX");
    EXPECT_EQ(CmdData(m, 110, Cat({U32(3), U32(0)}), B{5, 6}).reply, kReplyError);
    EXPECT_EQ(CmdData(m, 110, Cat({U32(10), U32(0)}), B{9}).reply, kReplyOk);
    EXPECT_EQ(m.InstalledData(10), (B{9}));

    // Key 0x5A, then 0x5A ^ 'A', then that ^ 'B': "~Key=AB" as the host
    // scrambles it on a terminal without a usable "~OS".
    m.SetOption("~OS", "NONE");
    EXPECT_EQ(Cmd(m, 12, Str("~Key=5A1B59")).reply, kReplyOk);
    EXPECT_EQ(m.Option("~Key"), "AB");
    EXPECT_EQ(Cmd(m, 12, Str("Plain=5A1B59")).reply, kReplyOk);
    EXPECT_EQ(m.Option("Plain"), "5A1B59");
}

TEST(TermsimControl, ClearDataAndPanel) {
    Model m(ProfileConfig(Profile::Classic));
    m.Generate(GenerateParams{});
    EXPECT_EQ(Cmd(m, 14, B{1}).reply, kReplyOk);
    EXPECT_TRUE(m.Punches().empty());
    EXPECT_FALSE(m.Users().empty());
    EXPECT_EQ(Cmd(m, 14, B{8}).reply, kReplyError);
    EXPECT_EQ(Cmd(m, 14, B{6}).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 33).reply, kReplyOk);
    EXPECT_TRUE(m.OpLog().empty());
    EXPECT_EQ(Cmd(m, 14).reply, kReplyOk);
    EXPECT_TRUE(m.Users().empty());
    EXPECT_EQ(m.TimeZones().size(), 1u);

    EXPECT_EQ(Cmd(m, 66, Cat({B{1, 2, 0}, Str("Hi!")})).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 1020, B{3, 1, 0, 0, 25}).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 1020, B{3, 2, 0, 0, 25}).reply, kReplyError);  // says 2 data bytes, has 1
    EXPECT_EQ(Cmd(m, 1017, B{4, 6}).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 57, B{0}).reply, kReplyOk);
    EXPECT_EQ(Cmd(m, 1003, U32(0)).reply, kReplyOk);
    const auto restart = Cmd(m, 1004);
    EXPECT_EQ(restart.reply, kReplyOk);
    EXPECT_TRUE(restart.disconnect);  // the server ends the connection after it
    auto p = m.GetPanel();
    ASSERT_EQ(p.lcd.size(), 1u);
    EXPECT_EQ(p.lcd[0], (Panel::Text{1, 2, "Hi!"}));
    EXPECT_EQ(p.beeps, std::vector<int>{25});
    EXPECT_EQ(p.voices.at(0), (B{4, 6}));
    EXPECT_FALSE(p.clockShown);
    EXPECT_EQ(p.restarts, 1);
    EXPECT_TRUE(m.Enabled());  // a restart ends the lock
    EXPECT_EQ(Cmd(m, 67).reply, kReplyOk);
    EXPECT_TRUE(m.GetPanel().lcd.empty());
}

TEST(TermsimState, TemplatesAndInstallsSurviveAFile) {
    Model a(ProfileConfig(Profile::Classic));
    ASSERT_EQ(Cmd(a, 8, Classic(1, 100)).reply, kReplyOk);
    ASSERT_TRUE(a.AddTemplate(Template{1, 2, 3, Tmpl(1, 70)}));
    EXPECT_FALSE(a.AddTemplate(Template{2, 2, 3, Tmpl(1, 70)}));
    ASSERT_EQ(CmdData(a, 110, Cat({U32(1700), Pad("a b", 40)}), B{0, 255}).reply, kReplyOk);
    Model b;
    std::string err;
    ASSERT_TRUE(b.Deserialize(a.Serialize(), &err)) << err;
    EXPECT_EQ(b.Templates(), a.Templates());
    EXPECT_EQ(b.Installs(), a.Installs());
    EXPECT_FALSE(b.Deserialize("termsim-state 1\nprofile classic\ntemplate 4 0 0 AB\n", &err));
}

}  // namespace
}  // namespace termsim::test
