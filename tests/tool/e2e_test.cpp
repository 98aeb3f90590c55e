// The tool end to end: its commands against a simulated terminal, through
// libtermlink and the TCP plug-in, as a person would run them.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/app.h"
#include "cli/errors.h"
#include "termsim/model.h"
#include "termsim/server.h"
#include "tool_run.h"

namespace tlcli {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> CsvCells(const std::string& line) {
    std::vector<std::string> cells;
    std::stringstream in(line);
    for (std::string cell; std::getline(in, cell, ',');) cells.push_back(cell);
    return cells;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(ToolOnSimulator, InfoNamesTheTerminalInEveryFormat) {
    Result r = Tool({"--sim", "info"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_TRUE(Contains(r.out, "firmware:              Ver 6.60 Apr 15 2011")) << r.out;
    EXPECT_TRUE(Contains(r.out, "users:                 20"));
    EXPECT_TRUE(Contains(r.out, "text_user_ids:         false"));
    r = Tool({"--sim", "tft", "--json", "info"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_TRUE(Contains(r.out, "\"text_user_ids\": true"));
    EXPECT_TRUE(Contains(r.out, "\"users\": 20"));
    EXPECT_EQ(r.out.front(), '{');
    r = Tool({"--sim", "legacy", "--csv", "info"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_TRUE(Contains(r.out, "firmware,Ver 5.02 Mar 12 2004\r\n"));
}

TEST(ToolOnSimulator, LogsMatchTheCountersAndFiltersKeepOnlyTheRange) {
    for (const char* profile : {"classic", "extended", "tft", "legacy"}) {
        SCOPED_TRACE(profile);
        const Result info = Tool({"--sim", profile, "--csv", "info"});
        ASSERT_EQ(info.code, kExitOk) << info.err;
        std::string records;
        for (const auto& line : Lines(info.out))
            if (line.rfind("attendance_records,", 0) == 0) records = line.substr(19);
        const Result all = Tool({"--sim", profile, "--csv", "logs"});
        ASSERT_EQ(all.code, kExitOk) << all.err;
        const auto rows = Lines(all.out);
        ASSERT_GT(rows.size(), 1u);
        EXPECT_EQ(rows[0], "user,time,state,verify,work_code,state_code,verify_code");
        EXPECT_EQ(std::to_string(rows.size() - 1), records);

        const Result day = Tool(
            {"--sim", profile, "--csv", "logs", "--since", "2024-03-05", "--until", "2024-03-05"});
        ASSERT_EQ(day.code, kExitOk) << day.err;
        const auto dayRows = Lines(day.out);
        ASSERT_GT(dayRows.size(), 1u);
        EXPECT_LT(dayRows.size(), rows.size());
        for (std::size_t i = 1; i < dayRows.size(); ++i)
            EXPECT_EQ(CsvCells(dayRows[i])[1].substr(0, 10), "2024-03-05") << dayRows[i];

        const std::string user = CsvCells(rows[1])[0];
        const Result mine = Tool({"--sim", profile, "--csv", "logs", "--user", user});
        ASSERT_EQ(mine.code, kExitOk);
        const auto mineRows = Lines(mine.out);
        ASSERT_GT(mineRows.size(), 1u);
        for (std::size_t i = 1; i < mineRows.size(); ++i) EXPECT_EQ(CsvCells(mineRows[i])[0], user);
    }
}

TEST(ToolOnSimulator, LogsAsJsonAndWithTheKeypadLocked) {
    const Result r = Tool({"--sim", "--json", "logs", "--lock", "--until", "2024-03-04 12:00"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    ASSERT_GE(r.out.size(), 3u);
    EXPECT_EQ(r.out.substr(0, 2), "[\n");
    EXPECT_EQ(r.out.substr(r.out.size() - 2), "]\n");
    EXPECT_TRUE(Contains(r.out, "\"state\": \"check-in\""));
    EXPECT_TRUE(Contains(r.out, "\"time\": \"2024-03-04 "));
    EXPECT_FALSE(Contains(r.out, "2024-03-05"));
}

TEST(ToolOnSimulator, OpLogTimeEventsAndOptions) {
    Result r = Tool({"--sim", "--csv", "oplog"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(Lines(r.out).size(), 21u);  // header and the 20 generated records
    // Codes that act on a user are named so, with the user as the target;
    // the others keep only their number.
    EXPECT_EQ(Lines(r.out)[0].substr(0, 39), "operator,time,operation,operation_name,");
    for (std::size_t i = 1; i < Lines(r.out).size(); ++i) {
        const auto cells = CsvCells(Lines(r.out)[i]);
        const int code = std::stoi(cells.at(2));
        const bool onUser = (code >= 6 && code <= 12) || code == 30;
        EXPECT_EQ(cells.at(3), onUser ? "user operation" : "") << Lines(r.out)[i];
        if (onUser) {
            EXPECT_NE(cells.at(4), "") << Lines(r.out)[i];
        }
    }
    r = Tool({"--sim", "tft", "--csv", "oplog"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(Lines(r.out).size(), 21u);

    r = Tool({"--sim", "time", "set", "2024-01-02 03:04:05"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_TRUE(Contains(r.out, "terminal:     2024-01-02 03:04")) << r.out;

    r = Tool({"--sim", "--csv", "events"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(Lines(r.out).size(), 4u);  // header and three pending punches

    r = Tool({"--sim", "option", "get", "~DeviceName"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out, "Clockara II\n");
    r = Tool({"--sim", "option", "get", "~DeviceName", "NoSuchOption"});
    EXPECT_EQ(r.code, kExitNotFound);
    EXPECT_TRUE(Contains(r.out, "NoSuchOption"));
    r = Tool({"--sim", "option", "set", "LockOn=5"});
    EXPECT_EQ(r.code, kExitOk) << r.err;
}

TEST(ToolOnSimulator, AccessSummaryAndItsReaders) {
    Result r = Tool({"--sim", "access"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_TRUE(Contains(r.out, "Time zones"));
    EXPECT_TRUE(Contains(r.out, "00:00-23:59"));
    EXPECT_TRUE(Contains(r.out, "Holidays"));
    EXPECT_TRUE(Contains(r.out, "12-25..12-26"));
    r = Tool({"--sim", "--json", "access"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_TRUE(Contains(r.out, "\"time_zones\": ["));
    r = Tool({"--sim", "--csv", "tz", "get", "2"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(Lines(r.out).size(), 8u);
    EXPECT_EQ(Lines(r.out)[1], "2,0,Sun,00:00-00:00");
    r = Tool({"--sim", "lock-comb", "get", "9"});
    EXPECT_EQ(r.code, kExitNotFound);
    r = Tool({"--sim", "door"});
    EXPECT_EQ(r.code, kExitOk) << r.err;
    EXPECT_TRUE(Contains(r.out, "door state:"));
}

TEST(ToolOnSimulator, ReportWritesThePageAndItsUtf8Copy) {
    const fs::path dir =
        fs::temp_directory_path() / ("termlink-tool-test-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path page = dir / "stats.html";
    Result r = Tool({"--sim", "tft", "report", "--from", "2024-03-04", "--to", "2024-03-15",
                     "--kind", "statistics", "-o", page.string(), "--utf8"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_TRUE(Contains(r.out, page.string()));
    const std::string gb = Slurp(page), utf8 = Slurp(dir / "stats.utf8.html");
    EXPECT_TRUE(Contains(gb, "charset=gb2312"));
    EXPECT_TRUE(Contains(utf8, "charset=utf-8"));
    EXPECT_TRUE(Contains(utf8, "考勤统计"));
    EXPECT_FALSE(Contains(gb, "考勤统计"));  // the page itself stays GB2312

    // Exception list kept with its work folder.
    r = Tool({"--sim", "tft", "report", "--from", "2024-03-04", "--to", "2024-03-15", "-o",
              (dir / "exceptions.html").string(), "--work", (dir / "work").string()});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_TRUE(fs::exists(dir / "work" / "attlog.dat"));
    EXPECT_TRUE(fs::exists(dir / "work" / "AttAbnormite.dat"));
    EXPECT_GT(fs::file_size(dir / "exceptions.html"), 1000u);

    // The tool passes days, and the engine covers exactly the days asked for:
    // 03-04 to 03-15 is twelve days, whatever time of day is typed with them.
    for (const char* to : {"2024-03-15", "2024-03-15 00:00", "2024-03-15 23:59:59"}) {
        SCOPED_TRACE(to);
        testing::internal::CaptureStderr();  // the engine's trace lines, with --trace
        r = Tool({"--sim", "tft", "report", "--from", "2024-03-04", "--to", to, "-o",
                  (dir / "days.html").string(), "--trace"});
        const std::string trace = testing::internal::GetCapturedStderr();
        ASSERT_EQ(r.code, kExitOk) << r.err;
        // DeviceTime of 2024-03-04 and 2024-03-15 at 00:00: days since
        // 2000-01-01 in 31-day months and 372-day years, times 86,400.
        const long d1 = (24L * 372 + 2 * 31 + 3) * 86400, d2 = (24L * 372 + 2 * 31 + 14) * 86400;
        EXPECT_TRUE(Contains(trace, "d1: " + std::to_string(d1) + "\td2: " + std::to_string(d2)))
            << trace;
        const std::string rows = Slurp(dir / "days.html");
        // One row per user and scheduled day: the first day as often as the last.
        auto count = [&](const std::string& what) {
            std::size_t n = 0;
            for (auto at = rows.find(what); at != std::string::npos; at = rows.find(what, at + 1))
                ++n;
            return n;
        };
        EXPECT_EQ(count("<td width=8%>03-04</td>"), 20u);
        EXPECT_EQ(count("<td width=8%>03-15</td>"), 20u);
        EXPECT_EQ(count("<td width=8%>03-16</td>"), 0u);
    }

    r = Tool({"--sim", "report", "--from", "2024-03-04", "--to", "2024-03-15", "-o",
              (dir / "x.html").string()});
    EXPECT_EQ(r.code, kExitUnsupported);
    EXPECT_FALSE(fs::exists(dir / "x.html"));
    r = Tool({"--sim", "tft", "report", "--from", "2024-03-15", "--to", "2024-03-04", "-o",
              (dir / "x.html").string()});
    EXPECT_EQ(r.code, kExitUsage);
    fs::remove_all(dir);
}

// A terminal of our own, for the connection failures.
class ServedTerminal {
  public:
    explicit ServedTerminal(std::uint32_t key) : model_(Config(key)) {
        termsim::ServeOptions o;
        o.udp = false;
        server_ = termsim::Serve(model_, o);
    }
    int port() const { return server_ ? server_->Port() : -1; }

  private:
    static termsim::Config Config(std::uint32_t key) {
        termsim::Config c;
        c.commKey = key;
        return c;
    }
    termsim::Model model_;
    std::unique_ptr<termsim::TerminalServer> server_;
};

TEST(ToolOnSimulator, UsersListedInEveryForm) {
    for (const char* profile : {"classic", "tft", "legacy"}) {
        SCOPED_TRACE(profile);
        const Result r = Tool({"--sim", profile, "--csv", "users"});
        ASSERT_EQ(r.code, kExitOk) << r.err;
        const auto rows = Lines(r.out);
        ASSERT_EQ(rows.size(), 21u);
        EXPECT_EQ(rows[0], "user,pin,name,privilege,enabled,password,card,group,zones");
        // Passwords are never shown unless asked for.
        for (std::size_t i = 1; i < rows.size(); ++i) {
            const std::string pw = CsvCells(rows[i])[5];
            EXPECT_TRUE(pw == "true" || pw == "false") << rows[i];
        }
    }
}

// One terminal for several runs, so that a change can be read back.
class SharedTerminal {
  public:
    explicit SharedTerminal(termsim::Profile profile) : model_(Config(profile)) {
        model_.Generate(termsim::GenerateParams{});
        termsim::ServeOptions o;
        o.udp = false;
        server_ = termsim::Serve(model_, o);
    }
    std::string where() const { return "127.0.0.1:" + std::to_string(server_->Port()); }
    termsim::Model& model() { return model_; }

  private:
    static termsim::Config Config(termsim::Profile p) {
        termsim::Config c;
        c.profile = p;
        return c;
    }
    termsim::Model model_;
    std::unique_ptr<termsim::TerminalServer> server_;
};

TEST(ToolUsers, SetChangesOnlyTheFieldsGivenAndDeleteRemoves) {
    SharedTerminal t(termsim::Profile::Classic);
    const std::string where = t.where();
    Result r = Tool({"--tcp", where, "user", "set", "4242", "--name", "Ann, B.", "--card", "123456",
                     "--privilege", "admin", "--zones", "2,3"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out, "Added user 4242.\n");
    r = Tool({"--tcp", where, "user", "set", "4242", "--disabled"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out, "Updated user 4242.\n");
    r = Tool({"--tcp", where, "--csv", "user", "show", "4242"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_TRUE(Contains(r.out, "name,\"Ann, B.\"\r\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "card,123456\r\n"));
    EXPECT_TRUE(Contains(r.out, "privilege,admin\r\n"));
    EXPECT_TRUE(Contains(r.out, "enabled,false\r\n"));
    EXPECT_TRUE(Contains(r.out, "zones,\"2,3\"\r\n"));
    r = Tool({"--tcp", where, "user", "set", "4242", "--name", "way too long a name"});
    EXPECT_EQ(r.code, kExitUsage);
    r = Tool({"--tcp", where, "user", "set", "1234567890"});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_TRUE(Contains(r.err, "more than 9 digits")) << r.err;
    r = Tool({"--tcp", where, "user", "delete", "4242"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    r = Tool({"--tcp", where, "user", "show", "4242"});
    EXPECT_EQ(r.code, kExitNotFound);
    EXPECT_TRUE(Contains(r.err, "no user 4242"));
}

TEST(ToolUsers, TextIdUsersAndTheirGroup) {
    SharedTerminal t(termsim::Profile::Tft);
    const std::string where = t.where();
    Result r = Tool({"--tcp", where, "user", "set", "77", "--name", "Text User", "--group", "2"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    r = Tool({"--tcp", where, "--json", "user", "show", "77"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_TRUE(Contains(r.out, "\"user\": \"77\"")) << r.out;
    EXPECT_TRUE(Contains(r.out, "\"name\": \"Text User\""));
    r = Tool({"--tcp", where, "user", "group", "77"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_TRUE(Contains(r.out, "group: 2"));
    r = Tool({"--tcp", where, "user", "group", "77", "set", "3"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    r = Tool({"--tcp", where, "--json", "user", "show", "77"});
    EXPECT_TRUE(Contains(r.out, "\"group\": 3")) << r.out;
    EXPECT_TRUE(Contains(r.out, "\"name\": \"Text User\""));
    r = Tool({"--tcp", where, "user", "delete", "nobody"});
    EXPECT_EQ(r.code, kExitNotFound);
    // An ID the terminal would keep only in part is refused, naming the width.
    const std::size_t before = t.model().Users().size();
    r = Tool({"--tcp", where, "user", "set", "ABCDEFGHIJKL", "--name", "Longid"});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_TRUE(Contains(r.err, "longer than 9 characters")) << r.err;
    EXPECT_EQ(t.model().Users().size(), before);
}

// One-off polls, as a script runs them: each lists only what happened since
// the one before, decoded where the kind is known.
TEST(ToolEvents, EachOneOffPollMovesOnAndKnownKindsAreDecoded) {
    SharedTerminal t(termsim::Profile::Classic);
    const std::string where = t.where();
    auto punch = [&](std::uint32_t pin2, std::uint8_t state) {
        termsim::Punch p;
        p.pin = static_cast<std::uint16_t>(pin2);
        p.pin2 = pin2;
        p.state = state;
        p.time = termsim::EncodeTime(2024, 3, 15, 8, 30, 5);
        ASSERT_TRUE(t.model().AddPunch(p));
    };
    auto poll = [&] {
        const Result r = Tool({"--tcp", where, "--csv", "events"});
        EXPECT_EQ(r.code, kExitOk) << r.err;
        auto lines = Lines(r.out);
        if (!lines.empty()) lines.erase(lines.begin());
        for (auto& line : lines) line = line.substr(line.find(',') + 1);  // drop "received"
        return lines;
    };
    punch(1, 1);
    EXPECT_EQ(poll(), std::vector<std::string>{
                          "attendance,1,2024-03-15 08:30:05,check-out,fingerprint,0,"});
    EXPECT_TRUE(poll().empty());
    punch(2, 0);
    EXPECT_EQ(poll(),
              std::vector<std::string>{"attendance,2,2024-03-15 08:30:05,check-in,fingerprint,0,"});

    ASSERT_EQ(Tool({"--tcp", where, "unlock", "--seconds", "5"}).code, kExitOk);
    t.model().AddEvent(termsim::RtEvent{9, {0xab, 0x01}});
    EXPECT_EQ(poll(),
              (std::vector<std::string>{"door,,,,,,\"door state 1, unlock delay 5 s\"",
                                        "9,,,,,,ab 01 00 00 00 00 00 00 00 00 00 00 00 00"}));
}

TEST(ToolConnection, WrongKeyRefusedPortAndSilentTerminalHaveTheirOwnExitCodes) {
    ServedTerminal terminal(1234);
    ASSERT_GT(terminal.port(), 0);
    const std::string where = "127.0.0.1:" + std::to_string(terminal.port());
    Result r = Tool({"--tcp", where, "--key", "1234", "info"});
    EXPECT_EQ(r.code, kExitOk) << r.err;
    r = Tool({"--tcp", where, "--key", "1", "info"});
    EXPECT_EQ(r.code, kExitWrongKey) << r.err;
    EXPECT_TRUE(Contains(r.err, "communication key")) << r.err;

    // A port nobody listens on: take a free one and close it again.
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    socklen_t len = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    const int freePort = ntohs(a.sin_port);
    r = Tool({"--tcp", "127.0.0.1:" + std::to_string(freePort), "info"});
    EXPECT_EQ(r.code, kExitConnect) << r.err;
    EXPECT_TRUE(Contains(r.err, "cannot connect to tcp 127.0.0.1:")) << r.err;

    // Listening but never answering: the connection is accepted by the
    // kernel and the handshake times out.
    ASSERT_EQ(listen(s, 4), 0);
    r = Tool({"--tcp", "127.0.0.1:" + std::to_string(freePort), "--timeout", "200", "info"});
    EXPECT_EQ(r.code, kExitTimeout) << r.err;
    EXPECT_TRUE(Contains(r.err, "timeout")) << r.err;
    close(s);
}

}  // namespace
}  // namespace tlcli
