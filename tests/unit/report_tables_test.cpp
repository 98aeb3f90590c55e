// Rule, department and shift table reads, saving cached tables, and the
// session's user table as the list of users of a report run.
#include <cstring>

#include "report/tables.h"
#include "report_fixture.h"
#include "test_support.h"

using namespace tltest;
using fakepmx::Op;

namespace {

fakepmx::Reply Table(const Bytes& records) {
    return fakepmx::Ok(Cat({U32(static_cast<std::uint32_t>(records.size())), records}));
}

class ReportTables : public FakeTransportTest {
  protected:
    void SetUp() override {
        FakeTransportTest::SetUp();
        dir_ = MakeTestFolder("tl_rtables_");
        ASSERT_FALSE(dir_.empty());
        tl::report::ResetProcessState();
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
        FakeTransportTest::TearDown();
    }
    tl::DeviceSession* Open() {
        fakepmx::Terminal t;
        t.version = "Ver 6.60 Apr 15 2011";
        return ConnectTo(t);
    }
    std::string P(const char* name) const { return (dir_ / name).string(); }
    std::filesystem::path dir_;
};

TEST_F(ReportTables, EachReadFetchesItsTableIntoTheSharedBuffer) {
    auto* s = Open();
    const struct {
        int (*read)(TL_HANDLE);
        int command;
        tl::TableView tl::DeviceSession::*table;
    } reads[] = {
        {TL_SSR_ReadAttRule, 35, &tl::DeviceSession::rule},
        {TL_SSR_ReadDPT, 36, &tl::DeviceSession::dept},
        {TL_SSR_ReadTurn, 37, &tl::DeviceSession::shift},
    };
    for (const auto& r : reads) {
        fakepmx::Push(Table(Bytes(40, static_cast<std::uint8_t>(r.command))));
        ClearCalls();
        ASSERT_EQ(r.read(s), 1);
        auto calls = NewCalls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].op, Op::ReadData);
        EXPECT_EQ(calls[0].command, r.command);
        EXPECT_EQ(calls[0].bufferSize, 6291456);
        EXPECT_EQ(calls[0].requestLength, 0);
        EXPECT_EQ(calls[0].packetSize, 1);
        EXPECT_EQ(calls[0].timeout, s->dataTimeout);
        const tl::TableView& t = s->*r.table;
        EXPECT_EQ(t.dataLen, 40);
        EXPECT_EQ(t.start, s->bulkBuffer.data() + 4);
        EXPECT_EQ(t.cursor, t.start);
        EXPECT_EQ(t.start[0], r.command);
    }
    // The shift read forgot the other two report tables.
    EXPECT_EQ(s->rule.dataLen, 0);
    EXPECT_EQ(s->rule.start, nullptr);
    EXPECT_EQ(s->dept.dataLen, 0);
    EXPECT_EQ(s->dept.cursor, nullptr);
    TL_Close(s);
}

TEST_F(ReportTables, ReadForgetsTheOtherBulkTablesButNotTheUsers) {
    auto* s = Open();
    fakepmx::Push(Table(Bytes(80, 1)));
    ASSERT_EQ(TL_ReadLog(s, 0), 1);
    fakepmx::Push(Table(Bytes(72, 2)));
    ASSERT_EQ(TL_ReadUserInfo(s), 1);
    ASSERT_GT(s->log.dataLen, 0);
    fakepmx::Push(Table(Bytes(36, 3)));
    ASSERT_EQ(TL_SSR_ReadDPT(s), 1);
    EXPECT_EQ(s->log.dataLen, 0);
    EXPECT_EQ(s->log.start, nullptr);
    EXPECT_EQ(s->log.cursor, nullptr);
    EXPECT_EQ(s->userDataLen, 72);
    TL_Close(s);
}

TEST_F(ReportTables, NoTableFailureAndNullSession) {
    auto* s = Open();
    fakepmx::Push(Table(Bytes(136, 9)));
    ASSERT_EQ(TL_SSR_ReadAttRule(s), 1);
    std::uint8_t* start = s->rule.start;

    fakepmx::Push(fakepmx::Error());  // no rule table: 2001 with no data
    EXPECT_EQ(TL_SSR_ReadAttRule(s), 0);
    EXPECT_EQ(s->rule.start, start);
    EXPECT_EQ(s->rule.dataLen, 136);

    fakepmx::Reply odd = fakepmx::Ok();
    odd.replyCode = 2005;
    fakepmx::Push(odd);
    EXPECT_EQ(TL_SSR_ReadAttRule(s), -2);
    fakepmx::Reply partial = fakepmx::Error();
    partial.data = Bytes(8, 1);
    fakepmx::Push(partial);
    EXPECT_EQ(TL_SSR_ReadTurn(s), -2);

    // A count larger than what arrived is cut to the bytes received.
    fakepmx::Push(fakepmx::Ok(Cat({U32(5000), Bytes(20, 4)})));
    ASSERT_EQ(TL_SSR_ReadTurn(s), 1);
    EXPECT_EQ(s->shift.dataLen, 20);

    ClearCalls();
    EXPECT_EQ(TL_SSR_ReadAttRule(nullptr), -1);
    EXPECT_EQ(TL_SSR_ReadDPT(nullptr), -1);
    EXPECT_EQ(TL_SSR_ReadTurn(nullptr), -1);
    EXPECT_EQ(TL_SSR_SaveDate(nullptr, P("x").c_str(), 3), -1);
    EXPECT_TRUE(NewCalls().empty());
    TL_Close(s);
}

TEST_F(ReportTables, SaveWritesEachTableWholeAndOnlyWhenThereIsOne) {
    auto* s = Open();
    const std::string path = P("t.dat");
    WriteBytes(path, Bytes{0xAB});
    for (int kind : {0, 6, 1, 2, 3, 4, 5}) EXPECT_EQ(TL_SSR_SaveDate(s, path.c_str(), kind), 0);
    EXPECT_EQ(ReadBytes(path), Bytes{0xAB});  // left alone

    Bytes rule(136);
    for (std::size_t i = 0; i < rule.size(); ++i) rule[i] = static_cast<std::uint8_t>(i);
    fakepmx::Push(Table(rule));
    ASSERT_EQ(TL_SSR_ReadAttRule(s), 1);
    ASSERT_EQ(TL_SSR_SaveDate(s, path.c_str(), 3), 1);
    EXPECT_EQ(ReadBytes(path), rule);

    // Reading the departments forgets the rule: saving it now writes nothing.
    Bytes depts(72, 0x44);
    fakepmx::Push(Table(depts));
    ASSERT_EQ(TL_SSR_ReadDPT(s), 1);
    EXPECT_EQ(TL_SSR_SaveDate(s, P("r2.dat").c_str(), 3), 0);
    EXPECT_FALSE(std::filesystem::exists(P("r2.dat")));
    ASSERT_EQ(TL_SSR_SaveDate(s, path.c_str(), 4), 1);
    EXPECT_EQ(ReadBytes(path), depts);

    Bytes shifts(60, 0x55);
    fakepmx::Push(Table(shifts));
    ASSERT_EQ(TL_SSR_ReadTurn(s), 1);
    ASSERT_EQ(TL_SSR_SaveDate(s, path.c_str(), 5), 1);
    EXPECT_EQ(ReadBytes(path), shifts);

    // The log and the users are saved whole even after their cursors moved.
    Bytes log(80);
    for (std::size_t i = 0; i < log.size(); ++i) log[i] = static_cast<std::uint8_t>(i * 3);
    fakepmx::Push(Table(log));
    ASSERT_EQ(TL_ReadLog(s, 0), 1);
    s->log.cursor += 40;
    ASSERT_EQ(TL_SSR_SaveDate(s, path.c_str(), 1), 1);
    EXPECT_EQ(ReadBytes(path), log);
    Bytes users(144, 0x66);
    fakepmx::Push(Table(users));
    ASSERT_EQ(TL_ReadUserInfo(s), 1);
    s->userCursor += 144;
    ASSERT_EQ(TL_SSR_SaveDate(s, path.c_str(), 2), 1);
    EXPECT_EQ(ReadBytes(path), users);

    // A path that names something other than a file (here an empty folder;
    // a device such as /dev/null the same) is written in place, never
    // replaced: a folder cannot be written.
    std::filesystem::create_directory(dir_ / "sub");
    EXPECT_EQ(TL_SSR_SaveDate(s, P("sub").c_str(), 2), -2);
    EXPECT_TRUE(std::filesystem::is_directory(dir_ / "sub"));

    // A file that cannot be created.
    EXPECT_EQ(TL_SSR_SaveDate(s, P("no/such/dir.dat").c_str(), 2), -2);
    EXPECT_EQ(TL_SSR_SaveDate(s, nullptr, 2), -2);
    TL_Close(s);
}

// ---- TL_SSR_OutPutHtml with the session's user table ----------------------

Bytes UserRecord(std::uint16_t pin, const std::string& id) {
    Company c;
    c.User(pin, id, "N" + id, 1, {1, 0, 0, 0});
    return c.users;
}

class ReportSession : public ReportTables {
  protected:
    int Output(tl::DeviceSession* s, const char* userId, int kind, bool capture = true) {
        const std::string att = P("att.dat"), usr = P("user.dat"), dpt = P("dept.dat"),
                          sft = P("shift.dat"), out = P("out.htm"), work = (dir_ / "").string(),
                          rule = P("rule.dat");
        if (capture) testing::internal::CaptureStdout();
        int rc = TL_SSR_OutPutHtml(s, userId, att.c_str(), usr.c_str(), dpt.c_str(), sft.c_str(),
                                   2024, 3, 4, 0, 0, 0, 2024, 3, 4, 0, 0, 0, out.c_str(),
                                   work.c_str(), rule.c_str(), kind, "Card");
        if (capture) stdout_ = testing::internal::GetCapturedStdout();
        return rc;
    }
    void SaveCompany() {
        Company c;
        c.Shift(1, "Day", 9, 0, 18, 0);
        c.User(1, "1", "N1", 1, {1, 0, 0, 0});
        c.User(2, "2", "N2", 1, {1, 0, 0, 0});
        c.Punch(1, At(4, 9, 0));
        c.Punch(2, At(4, 9, 5));
        WriteBytes(P("att.dat"), c.log);
        WriteBytes(P("user.dat"), c.users);
        WriteBytes(P("shift.dat"), c.shifts);
        WriteBytes(P("rule.dat"), c.rule);
    }
    std::size_t Rows() const {
        std::string page = ReadText(dir_ / "out.htm");
        std::size_t n = 0;
        for (std::size_t p = 0; (p = page.find("<tr>", p)) != std::string::npos; ++p) ++n;
        return n;
    }
    std::string stdout_;
};

TEST_F(ReportSession, AllUsersFormWalksTheTableOnce) {
    SaveCompany();
    auto* s = Open();
    fakepmx::Push(Table(Cat({UserRecord(1, "1"), UserRecord(2, "2")})));
    ASSERT_EQ(Output(s, "", 2), 1);  // loads the table itself
    EXPECT_EQ(fakepmx::CallsOf(Op::ReadData).back().command, 9);
    EXPECT_EQ(Rows(), 2u + 2u);  // two header rows, one shift day per user
    EXPECT_EQ(s->userCursor, s->userBuffer.data() + 4 + 144);

    // Called again without a new read: nobody is calculated.
    ASSERT_EQ(Output(s, "", 2), 1);
    EXPECT_EQ(Rows(), 2u);
    EXPECT_EQ(stdout_, "");
    ASSERT_EQ(Output(s, "", 3), 1);
    EXPECT_EQ(Rows(), 1u);
    // Kind 1 reads the files itself and is not affected.
    ASSERT_EQ(Output(s, "", 1), 1);
    EXPECT_EQ(Rows(), 2u * 4u + 2u * 2u);
    TL_Close(s);
}

TEST_F(ReportSession, SingleUserFormAndFailures) {
    SaveCompany();
    auto* s = Open();
    fakepmx::Push(Table(Cat({UserRecord(1, "1"), UserRecord(2, "2")})));
    ASSERT_EQ(Output(s, "2", 2), 1);
    EXPECT_EQ(Rows(), 3u);
    EXPECT_NE(ReadText(dir_ / "out.htm").find("<td width=8%>00002</td>"), std::string::npos);
    EXPECT_NE(stdout_.find("after GetEasyWorkTime User: 2\n"), std::string::npos);
    ASSERT_EQ(Output(s, "9", 2), 1);  // not in the table: nobody
    EXPECT_EQ(Rows(), 2u);
    TL_Close(s);

    WriteBytes(P("out.htm"), Bytes{'x'});
    EXPECT_EQ(Output(nullptr, "", 2), -1);
    EXPECT_EQ(Output(nullptr, "1", 2), -1);
    auto* t = Open();
    fakepmx::Reply bad = fakepmx::Ok();
    bad.replyCode = 2005;
    fakepmx::Push(bad);
    fakepmx::Push(fakepmx::Error());  // the fallback query fails too
    EXPECT_EQ(Output(t, "", 2), -2);
    fakepmx::Push(Table(Bytes{}));
    EXPECT_EQ(Output(t, "", 2), 0);
    EXPECT_EQ(ReadText(dir_ / "out.htm"), "x");  // no page was written
    TL_Close(t);
}

}  // namespace
