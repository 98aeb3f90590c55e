// The command-line faces in-process: qvupdate --batch's command line and
// exit statuses (against the scripted transport), qvpack's build, list and
// refusals.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/cli.h"
#include "core/pack.h"
#include "fake_portmux.h"
#include "support.h"

namespace qvupdate::cli {
namespace {

struct Result {
    int code;
    std::string out, err;
};

Hooks Quiet() {
    Hooks h;
    h.sleep = [](int) {};
    h.random = [] { return 7; };
    return h;
}

Result Qvupdate(std::vector<std::string> args) {
    std::ostringstream out, err;
    int code = RunQvupdate(args, out, err, Quiet());
    return {code, out.str(), err.str()};
}
Result Qvpack(std::vector<std::string> args) {
    std::ostringstream out, err;
    int code = RunQvpack(args, out, err);
    return {code, out.str(), err.str()};
}

TEST(BatchCommand, BadCommandLinesExitTwoBeforeConnecting) {
    fakepmx::Reset();
    const std::vector<std::vector<std::string>> cases = {
        {"--batch", "p.qvp"},
        {"--batch", "--net", "h", "--com", "COM1", "p.qvp"},
        {"--batch", "--net", "h:43x0", "p.qvp"},
        {"--batch", "--net", "h:$1112", "p.qvp"},
        {"--batch", "--com", "COM1", "--device", "one", "p.qvp"},
        {"--batch", "--com", "COM1", "--baud", "9600.5", "p.qvp"},
        {"--batch", "--com", "COM1", "--baud", "99999999999", "p.qvp"},
        {"--batch", "--net", "h", "--baud", "9600", "p.qvp"},
        {"--batch", "--net", "h"},
        {"--batch", "--net", "h", "a.qvp", "b.qvp"},
        {"--batch", "--net"},
        {"--bogus"},
    };
    for (const auto& args : cases) {
        Result r = Qvupdate(args);
        EXPECT_EQ(r.code, kExitUsage) << args.back();
        EXPECT_NE(r.err.find("qvupdate: "), std::string::npos);
    }
    EXPECT_TRUE(fakepmx::Calls().empty());
    EXPECT_EQ(Qvupdate({"--help"}).code, kExitOk);
}

TEST(BatchCommand, ExitStatusFollowsTheRun) {
    qvtest::TempDir dir;
    const std::string good =
        dir.File("good.qvp", BuildPack(Pack{0, 0x10, {qvtest::B(8, 1), {}, {}, {}, {}}}));
    const std::string refused = dir.File("refused.qvp", qvtest::Header(0x70, 0, {}));
    const std::string shortPack = dir.File("short.qvp", qvtest::Header(0, 0x10, {9}, {1}));
    struct Case {
        std::vector<std::string> args;
        int replyCode;  // CMD_UPDATE answer
        bool open;
        int code;
        std::string out, err;
    };
    const Case cases[] = {
        {{"--batch", "--net", "10.1.1.1:5005", good},
         2000,
         true,
         0,
         "Update firmware successfully!\n",
         ""},
        {{"--batch", "--com", "com2", good}, 2001, true, 1, "Update firmware fail!\n", ""},
        {{"--batch", "--net", "10.1.1.1", good}, 2000, false, 3, "", "no connection"},
        {{"--batch", "--net", "10.1.1.1", dir.Path("none")}, 2000, true, 4, "", "no such pack"},
        {{"--batch", "--net", "10.1.1.1", refused},
         2000,
         true,
         4,
         "",
         "Please select the right pack that it is from qv!\n"},
        {{"--batch", "--net", "10.1.1.1", shortPack}, 2000, true, 4, "", "pack refused"},
    };
    for (const auto& c : cases) {
        fakepmx::Reset();
        fakepmx::Reply noHandle;
        noHandle.nullHandle = true;
        if (!c.open) fakepmx::PushOpen(noHandle);
        fakepmx::SetResponder([&](const fakepmx::Call& call) {
            fakepmx::Reply r;
            r.replyCode = call.op == fakepmx::Op::SendCmdData ? c.replyCode : 2001;
            return r;
        });
        Result r = Qvupdate(c.args);
        EXPECT_EQ(r.code, c.code) << c.args[2];
        EXPECT_EQ(r.out, c.out);
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
    // The connection as given: decimal port, serial defaults.
    fakepmx::Reset();
    Qvupdate({"--batch", "--net", "10.1.1.1:5005", good});
    EXPECT_EQ(fakepmx::Calls().at(0).port, 5005);
    fakepmx::Reset();
    Qvupdate({"--batch", "--com", "/dev/pts/9", good});
    EXPECT_EQ(fakepmx::Calls().at(0).plugin, "serwire.dll");
    EXPECT_EQ(fakepmx::Calls().at(0).address, "/dev/pts/9");
    EXPECT_EQ(fakepmx::Calls().at(0).port, 1);
    EXPECT_EQ(fakepmx::Calls().at(0).baud, 115200);
}

TEST(PackTool, BuildsAndListsAPack) {
    qvtest::TempDir dir;
    const std::string fw = dir.File("fw.bin", qvtest::B(9, 0xEE));
    const std::string cfg = dir.File("opts.txt", std::string("A=1\r\n\r\n~Key=AB\nName=x y"));
    const std::string out = dir.Path("out.qvp");
    Result r = Qvpack({"-o", out, "--kind", "5", "--firmware", fw, "--config", cfg});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    PackRead p = ReadPackFile(out);
    ASSERT_EQ(p.error, PackError::None);
    EXPECT_EQ(p.pack.kind, 5);
    EXPECT_EQ(p.pack.flags, 0x12);
    EXPECT_EQ(p.pack.sections[kFirmware], qvtest::B(9, 0xEE));
    r = Qvpack({"--list", out});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out,
              "kind: 0x05\nflags: 0x12 firmware configuration\n"
              "section 1 firmware: 9 bytes\nsection 2 voice: 0 bytes\n"
              "section 3 language: 0 bytes\nsection 4 configuration: 90 bytes\n"
              "section 5 extra: 0 bytes\n"
              "configuration lines:\n  A=1\n  ~Key=AB\n  Name=x y\n");
}

TEST(PackTool, RefusalsLeaveNoFileAtOut) {
    qvtest::TempDir dir;
    const std::string out = dir.Path("out.qvp");
    const std::string longCfg =
        dir.File("long.txt", "A=1\nLong=" + std::string(59, 'z') + "\n");  // 64 characters
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string err;
    };
    const Case cases[] = {
        {{"-o", out, "--config", longCfg}, 4, "line 2 has 64 characters"},
        {{"-o", out, "--voice", dir.Path("missing.bin")}, 4, "cannot read"},
        {{"-o", dir.Path("no/such/dir/out.qvp"), "--extra", longCfg}, 4, "cannot write"},
        {{"-o", out, "--kind", "256"}, 2, "--kind"},
        {{"-o", out, "--kind", "5"}, 2, "no section to pack"},
        {{"-o", out, "--list", out}, 2, "--list"},
        {{"--firmware", longCfg}, 2, "-o OUT"},
        {{"--list", dir.File("short.qvp", qvtest::Header(0, 0, {3}))}, 4, "declares"},
    };
    for (const auto& c : cases) {
        Result r = Qvpack(c.args);
        EXPECT_EQ(r.code, c.code) << c.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << c.err;
    }
    // Nothing but the inputs is left in the folder (no partial file either).
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.Path(""))) files += e.is_regular_file();
    EXPECT_EQ(files, 2);
}

}  // namespace
}  // namespace qvupdate::cli
