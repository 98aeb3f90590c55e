// The tool's command line as a whole: help, usage errors and exit codes,
// without a terminal.
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "cli/app.h"
#include "cli/errors.h"

namespace tlcli {
namespace {

struct Result {
    int code;
    std::string out, err;
};

Result RunTool(std::vector<std::string> argv) {
    std::ostringstream out, err;
    const int code = Run(argv, out, err);
    return {code, out.str(), err.str()};
}

TEST(ToolCommandLine, HelpListsCommandsAndExitCodes) {
    const Result r = RunTool({"--help"});
    EXPECT_EQ(r.code, kExitOk);
    for (const char* word : {"info", "events", "lock", "unlock", "--net", "--key", "Exit codes"})
        EXPECT_NE(r.out.find(word), std::string::npos) << word;
    const Result h = RunTool({"help", "events"});
    EXPECT_EQ(h.code, kExitOk);
    EXPECT_NE(h.out.find("--follow"), std::string::npos);
    EXPECT_EQ(RunTool({"events", "--help"}).out, h.out);
}

TEST(ToolCommandLine, EveryCommandNameIsRegisteredOnce) {
    // A second registration of a name would never be reached.
    std::set<std::string> names;
    for (const auto& c : AllCommands()) EXPECT_TRUE(names.insert(c.name).second) << c.name;
}

TEST(ToolCommandLine, UsageErrorsExitWithTwoAndSayWhy) {
    Result r = RunTool({});
    EXPECT_EQ(r.code, kExitUsage);
    r = RunTool({"frobnicate"});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_NE(r.err.find("unknown command 'frobnicate'"), std::string::npos);
    r = RunTool({"info"});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_NE(r.err.find("no terminal given"), std::string::npos);
    r = RunTool({"--net", "10.0.0.5:99999", "info"});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_NE(r.err.find("port"), std::string::npos);
    r = RunTool({"--net", "a", "--tcp", "b", "info"});
    EXPECT_EQ(r.code, kExitUsage);
    r = RunTool({"--net", "a", "--baud", "9600", "info"});
    EXPECT_EQ(r.code, kExitUsage);
    r = RunTool({"--net", "a", "--json", "--csv", "info"});
    EXPECT_EQ(r.code, kExitUsage);
    r = RunTool({"--net", "a", "events", "--interval", "fast"});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_NE(r.err.find("--interval"), std::string::npos);
    // An option the tool does not know takes the next word with it as the
    // command: the message says which option took what.
    r = RunTool({"--tcp", "127.0.0.1:5501", "--port", "5501", "info"});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_NE(r.err.find("unknown option '--port', so '5501' was taken as the command "
                         "(--tcp took '127.0.0.1:5501')"),
              std::string::npos)
        << r.err;
}

TEST(ToolCommandLine, TickerDrawsOnlyWhenEnabledAndClearsItsLine) {
    std::ostringstream on, off;
    { Ticker t(true, on, "Sending"); }
    { Ticker t(false, off, "Sending"); }
    EXPECT_EQ(on.str().rfind("Sending...", 0), 0u);
    EXPECT_EQ(on.str().substr(on.str().size() - 4), "\r\033[K");
    EXPECT_EQ(off.str(), "");
}

TEST(ToolCommandLine, VersionNeedsNoTerminal) {
    const Result r = RunTool({"--version"});
    EXPECT_EQ(r.code, kExitOk);
    EXPECT_EQ(r.out.rfind("termlink ", 0), 0u);
}

}  // namespace
}  // namespace tlcli
