// The content commands end to end: a message, work codes and a short key
// written with the tool and read back as CSV and JSON from one terminal.
#include <gtest/gtest.h>

#include "cli/errors.h"
#include "termsim/model.h"
#include "termsim/server.h"
#include "tool_run.h"

namespace tlcli {
namespace {

TEST(ToolContent, WrittenContentReadsBackAsCsvAndJson) {
    termsim::Config config;
    config.profile = termsim::Profile::Extended;
    termsim::Model model(config);
    termsim::ServeOptions o;
    o.udp = false;
    auto server = termsim::Serve(model, o);
    const std::string where = "127.0.0.1:" + std::to_string(server->Port());

    Result r = Tool({"--tcp", where, "message", "set", "12", "Staff, meeting", "--start",
                     "2024-03-04 08:00", "--period", "60"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    r = Tool({"--tcp", where, "--csv", "messages", "--ids", "10-20"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out,
              "id,kind,period,start,text\r\n12,0,60,2024-03-04 08:00:00,\"Staff, meeting\"\r\n");

    ASSERT_EQ(Tool({"--tcp", where, "workcode", "set", "7", "Night shift", "--named"}).code,
              kExitOk);
    r = Tool({"--tcp", where, "--json", "workcodes", "--named", "--ids", "7"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_NE(r.out.find("\"name\": \"Night shift\""), std::string::npos) << r.out;
    EXPECT_EQ(Tool({"--tcp", where, "workcode", "delete", "7", "--named"}).code, kExitOk);
    EXPECT_EQ(Tool({"--tcp", where, "workcode", "delete", "7", "--named"}).code, kExitNotFound);
    ASSERT_EQ(Tool({"--tcp", where, "workcode", "set", "8", "Day", "--named"}).code, kExitOk);
    r = Tool({"--tcp", where, "workcode", "clear", "--named"});  // erasing needs --yes
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_NE(r.err.find("--yes"), std::string::npos) << r.err;
    EXPECT_EQ(Tool({"--tcp", where, "workcode", "delete", "8", "--named"}).code, kExitOk);

    r = Tool({"--tcp", where, "shortkey", "set", "6", "1", "--state", "9", "--label", "Lunch",
              "--auto", "--times", "08:30,12:00"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    // Key 1 already holds state 0: refused, the table unchanged.
    const auto before = model.GetContent();
    struct Conflict {
        std::vector<std::string> args;
        std::string names;
    };
    const Conflict conflicts[] = {
        {{"set", "7", "1", "--state", "0"}, ": key 1 has state code 0"},
        {{"set", "7", "1", "--state", "11", "--auto", "--times", "07:00,12:00"},
         ": key 6 switches automatically at 12:00 too"},
    };
    for (const auto& c : conflicts) {
        std::vector<std::string> args = {"--tcp", where, "shortkey"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        r = Tool(args);
        EXPECT_EQ(r.code, kExitFailed);
        EXPECT_NE(r.err.find("short key 7 conflicts with another key" + c.names), std::string::npos)
            << r.err;
        EXPECT_EQ(model.GetContent(), before);
    }
    r = Tool({"--tcp", where, "--csv", "shortkeys", "--keys", "6"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out, "key,function,state,label,auto,times\r\n6,1,9,Lunch,true,\"08:30,12:00\"\r\n");
    // Arguments the terminal cannot take are refused before any traffic.
    EXPECT_EQ(Tool({"--tcp", where, "shortkey", "set", "6", "1", "--times", "24:00"}).code,
              kExitUsage);
    EXPECT_EQ(Tool({"--tcp", where, "voice", "set", "3", "beep.wav"}).code, kExitUsage);
    // Voice file names cannot be read back: the slots are listed without one.
    r = Tool({"--tcp", where, "--csv", "voices"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out.substr(0, 25), "index,file_name\r\n0,\r\n1,\r\n") << r.out;
    // "voice" with numbers still plays prompts beside the custom-voice actions.
    ASSERT_EQ(Tool({"--tcp", where, "voice", "3"}).code, kExitOk);
    ASSERT_EQ(Tool({"--tcp", where, "voice", "1", "4"}).code, kExitOk);
    EXPECT_EQ(model.GetPanel().voices, (std::vector<std::vector<std::uint8_t>>{{3}, {1, 4}}));
}

}  // namespace
}  // namespace tlcli
