// The update run against the scripted transport: every request byte for
// byte (command codes, request blocks, buffer sizes, timeouts), the retry
// rule without real pauses, and the report texts.
#include <gtest/gtest.h>

#include <map>

#include "core/pack_line.h"
#include "core/update.h"
#include "fake_portmux.h"
#include "support.h"

namespace qvupdate {
namespace {

using fakepmx::Call;
using fakepmx::Op;
using fakepmx::Reply;
using qvtest::B;

// A terminal with options; CMD_UPDATE answers come from `sectionReplies`
// (in order, REPLY_OK when they run out); option writes fail for names in
// `refuse` as many times as given.
struct FakeTerminal {
    std::map<std::string, std::string> options;
    std::vector<int> sectionReplies;
    std::map<std::string, int> refuse;
    int high = 0;  // set in the high 16 bits of every reply's command word

    void Install() {
        fakepmx::Reset();
        fakepmx::SetResponder([this](const Call& c) {
            Reply r = Answer(c);
            r.replyCode |= high;
            return r;
        });
    }
    Reply Answer(const Call& c) {
        std::string text(c.request.begin(), c.request.end());
        text = text.c_str();
        if (c.op == Op::SendCmd && c.command == kCmdGetOption) {
            auto it = options.find(text);
            return it == options.end() ? fakepmx::Error()
                                       : fakepmx::OkText(text + "=" + it->second);
        }
        if (c.op == Op::SendCmd && c.command == kCmdSetOption) {
            auto name = text.substr(0, text.find('='));
            if (refuse[name] > 0) {
                --refuse[name];
                return fakepmx::Error();
            }
            return fakepmx::Ok();
        }
        if (c.op == Op::SendCmdData && c.command == kCmdUpdate) {
            if (sectionReplies.empty()) return fakepmx::Ok();
            Reply r;
            r.replyCode = sectionReplies.front();
            sectionReplies.erase(sectionReplies.begin());
            return r;
        }
        return fakepmx::Error();
    }
};

struct Recorder {
    std::vector<int> sleeps;
    int pumps = 0;
    Hooks hooks;
    Recorder() {
        hooks.sleep = [this](int ms) { sleeps.push_back(ms); };
        hooks.pump = [this] { ++pumps; };
        hooks.random = [] { return 0x5A; };
    }
};

B Block(std::uint32_t code, std::uint32_t value) {
    B b;
    for (std::uint32_t v : {code, value})
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return b;
}

std::string ConfigText(std::initializer_list<const char*> lines) {
    std::string out;
    for (const char* l : lines) out += *EncodePackLine(l) + "\r\n";
    return out;
}

// A pack file: sections as given, flags as given.
std::string PackFile(const qvtest::TempDir& dir, std::uint8_t kind, std::uint8_t flags,
                     std::array<B, kPackSections> sections) {
    Pack p;
    p.kind = kind;
    p.flags = flags;
    p.sections = std::move(sections);
    return dir.File("pack.qvp", BuildPack(p));
}

const Link kNet{Link::Kind::Network, "10.0.0.9", 4370, 0};

std::vector<Call> Sections() {
    return fakepmx::CallsOf(Op::SendCmdData);
}
std::vector<Call> OptionWrites() {
    std::vector<Call> out;
    for (const auto& c : fakepmx::CallsOf(Op::SendCmd))
        if (c.command == kCmdSetOption) out.push_back(c);
    return out;
}

TEST(UpdateRun, ConnectsWithTheLinksPluginAndReadsOs) {
    FakeTerminal t;
    t.options["~OS"] = "1";
    qvtest::TempDir dir;
    const std::string pack = PackFile(dir, 0, 0, {});
    Recorder rec;
    struct Case {
        Link link;
        const char* plugin;
        int port, baud;
    };
    for (const Case& c : {Case{LinkFromFields(" com3 ", 2, 9600), "serwire.dll", 2, 9600},
                          Case{LinkFromFields("10.0.0.9", 4370, 115200), "netwire.dll", 4370, 0}}) {
        t.Install();
        UpdateReport r = RunUpdate(c.link, pack, rec.hooks);
        EXPECT_EQ(r.end, UpdateEnd::Done);
        EXPECT_TRUE(r.messages.empty());
        const auto& calls = fakepmx::Calls();
        ASSERT_EQ(calls.size(), 3u);  // open, "~OS", close
        EXPECT_EQ(calls[0].plugin, c.plugin);
        EXPECT_EQ(calls[0].address, c.link.address);
        EXPECT_EQ(calls[0].port, c.port);
        EXPECT_EQ(calls[0].baud, c.baud);
        EXPECT_EQ(calls[0].arg1 | calls[0].arg2 | calls[0].arg3 | calls[0].last, 0);
        EXPECT_EQ(calls[1].command, kCmdGetOption);
        EXPECT_EQ(calls[1].request, qvtest::Bytes(std::string("~OS", 4)));
        EXPECT_EQ(calls[1].bufferSize, 200);
        EXPECT_EQ(calls[1].timeout, 1000);
        EXPECT_EQ(calls[2].op, Op::Close);
    }
    EXPECT_EQ(LinkFromFields(" com3 ", 0, 0).address, "COM3");
}

TEST(UpdateRun, SectionsGoWithTheirCodesAndReportInOrder) {
    qvtest::TempDir dir;
    const B fw(10, 0xF1), voice(6, 0x77), lang(5, 0x4C);
    const std::string pack =
        PackFile(dir, 0, 0x1E, {fw, voice, lang, qvtest::Bytes(ConfigText({"A=1"})), B{}});
    for (const char* os : {"LINUX", "1", "linux"}) {
        FakeTerminal t;
        t.options["~OS"] = os;
        t.Install();
        Recorder rec;
        UpdateReport r = RunUpdate(kNet, pack, rec.hooks);
        ASSERT_EQ(r.end, UpdateEnd::Done);
        EXPECT_FALSE(r.failed);
        EXPECT_EQ(r.Text(),
                  "Update firmware successfully!\n\rUpdate voice successfully!\n\r"
                  "Update Language successfully!\n\rUpdate config successfully!\n\r");
        auto s = Sections();
        ASSERT_EQ(s.size(), 3u);
        const std::uint32_t langCode = std::string(os) == "LINUX" ? 10 : 3;  // case-sensitive
        const B blocks[] = {Block(2, 0xA0000000), Block(8, 0), Block(langCode, 0)};
        const B* data[] = {&fw, &voice, &lang};
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(s[i].command, kCmdUpdate);
            EXPECT_EQ(s[i].request, blocks[i]) << os << " section " << i;
            EXPECT_EQ(s[i].requestLength, 8);
            EXPECT_EQ(s[i].data, *data[i]);
            EXPECT_EQ(s[i].timeout, 10000);
        }
        // One option line written, with its NUL, buffer 100, 2 s; a 100 ms
        // pause after it and no other.
        auto w = OptionWrites();
        ASSERT_EQ(w.size(), 1u);
        EXPECT_EQ(w[0].request, qvtest::Bytes(std::string("A=1", 4)));
        EXPECT_EQ(w[0].bufferSize, 100);
        EXPECT_EQ(w[0].timeout, 2000);
        EXPECT_EQ(rec.sleeps, std::vector<int>{100});
        EXPECT_EQ(fakepmx::OpenHandles(), 0);
    }
}

TEST(UpdateRun, FirmwareOfFourBytesIsSkippedAndConfigStillApplied) {
    // Flags 0x12 with L1 = 4 and L4 = 30.
    qvtest::TempDir dir;
    std::string config = ConfigText({"Ab=12"});  // 24 characters and CR LF
    config += "\r\n\r\n";
    ASSERT_EQ(config.size(), 30u);
    const std::string pack =
        PackFile(dir, 0, 0x12, {B(4, 1), B{}, B{}, qvtest::Bytes(config), B{}});
    FakeTerminal t;
    t.Install();
    Recorder rec;
    UpdateReport r = RunUpdate(kNet, pack, rec.hooks);
    EXPECT_TRUE(Sections().empty());
    // The empty lines inside the text decode to "NULL" and are sent as such.
    auto w = OptionWrites();
    ASSERT_EQ(w.size(), 3u);
    EXPECT_EQ(w[0].request, qvtest::Bytes(std::string("Ab=12", 6)));
    EXPECT_EQ(w[1].request, qvtest::Bytes(std::string("NULL", 5)));
    EXPECT_EQ(r.messages, std::vector<std::string>{"Update config successfully!"});
}

TEST(UpdateRun, RefusedPacksSendNothing) {
    struct Case {
        const char* what;
        B bytes;
        UpdateEnd end;
    };
    const Case cases[] = {
        {"kind 0x70", qvtest::Header(0x70, 0x10, {8}, B(8, 0)), UpdateEnd::Refused},
        {"flags 32", qvtest::Header(0, 32, {}), UpdateEnd::Refused},
        {"short", qvtest::Header(0, 0x10, {100}, B(99, 0)), UpdateEnd::BadPack},
        {"overflow", qvtest::Header(0, 0x10, {~0u, ~0u}), UpdateEnd::BadPack},
    };
    qvtest::TempDir dir;
    for (const auto& c : cases) {
        FakeTerminal t;
        t.Install();
        Recorder rec;
        UpdateReport r = RunUpdate(kNet, dir.File("p.qvp", c.bytes), rec.hooks);
        EXPECT_EQ(r.end, c.end) << c.what;
        EXPECT_TRUE(r.messages.empty());
        EXPECT_EQ(fakepmx::Calls().size(), 3u) << c.what;  // open, "~OS", close
        EXPECT_EQ(fakepmx::OpenHandles(), 0);
    }
    // No file: closed silently. No connection: nothing else happens.
    FakeTerminal t;
    t.Install();
    Recorder rec;
    EXPECT_EQ(RunUpdate(kNet, dir.Path("none.qvp"), rec.hooks).end, UpdateEnd::NoFile);
    EXPECT_EQ(fakepmx::OpenHandles(), 0);
    t.Install();
    Reply noHandle;
    noHandle.nullHandle = true;
    fakepmx::PushOpen(noHandle);
    EXPECT_EQ(RunUpdate(kNet, dir.Path("none.qvp"), rec.hooks).end, UpdateEnd::NoConnection);
    EXPECT_EQ(fakepmx::Calls().size(), 1u);
}

TEST(UpdateRun, SectionsAreTriedFiveTimesAndLaterOnesStillRun) {
    qvtest::TempDir dir;
    const std::string pack = PackFile(dir, 0, 0x1C, {B(8, 1), B(8, 2), B(8, 3), B{}, B{}});
    struct Case {
        std::vector<int> replies;  // CMD_UPDATE answers in order, then REPLY_OK
        std::vector<std::string> report;
        std::size_t sends;
        std::size_t pauses;
    };
    const Case cases[] = {
        // Firmware fails five times (five pauses), voice on its third try.
        {{2001, 2001, 2001, 2001, 2001, 2001, 2001},
         {"Update firmware fail!", "Update voice successfully!", "Update Language successfully!"},
         9,
         7},
        // Failure of the transport (command word 0) counts like a refusal.
        {{0, 0, 0, 0, 2000, 0, 0, 0, 0, 0},
         {"Update firmware successfully!", "Update voice fail!", "Update Language successfully!"},
         11,
         9},
    };
    for (const auto& c : cases) {
        FakeTerminal t;
        t.sectionReplies = c.replies;
        t.Install();
        Recorder rec;
        UpdateReport r = RunUpdate(kNet, pack, rec.hooks);
        EXPECT_EQ(r.messages, c.report);
        EXPECT_TRUE(r.failed);
        EXPECT_EQ(Sections().size(), c.sends);
        EXPECT_EQ(rec.sleeps, std::vector<int>(c.pauses, 1000));
        EXPECT_EQ(rec.pumps, static_cast<int>(c.pauses));
    }
}

TEST(UpdateRun, OptionWritesSkipEqualValuesScrambleHiddenOnesAndRetryOnce) {
    qvtest::TempDir dir;
    const std::string config = ConfigText({"Same=5", "~Key=AB", "Key=AB", "Flaky=1", "Bad=2"});
    const std::string pack = PackFile(dir, 0, 0x02, {B{}, B{}, B{}, qvtest::Bytes(config), B{}});
    FakeTerminal t;
    t.options = {{"~OS", "NONE"}, {"Same", "5"}};
    t.refuse = {{"Flaky", 1}, {"Bad", 2}};
    t.Install();
    Recorder rec;
    UpdateReport r = RunUpdate(kNet, pack, rec.hooks);
    EXPECT_EQ(r.messages, std::vector<std::string>{"Update config fali"});
    std::vector<std::string> sent;
    for (const auto& c : OptionWrites()) sent.emplace_back(c.request.begin(), c.request.end() - 1);
    // Key 0x5A: 5A, 5A^'A' = 1B, 1B^'B' = 59.
    EXPECT_EQ(sent, (std::vector<std::string>{"~Key=5A1B59", "Key=AB", "Flaky=1", "Flaky=1",
                                              "Bad=2", "Bad=2"}));
    EXPECT_EQ(rec.sleeps, std::vector<int>(5, 100));
}

TEST(OptionWrite, ScrambledKeysAndLimits) {
    FakeTerminal t;
    t.Install();
    Hooks h;
    // A random 0 becomes key 192 (C0); the value chains on from the key.
    h.random = [] { return 255; };  // 255 % 255 = 0
    EXPECT_TRUE(WriteDeviceOption(nullptr, "~A=A", true, h));
    EXPECT_EQ(OptionWrites().back().request, qvtest::Bytes(std::string("~A=C081", 8)));
    // Not scrambled: terminals with a usable "~OS", and lines without a name.
    EXPECT_TRUE(WriteDeviceOption(nullptr, "~A=A", false, h));
    EXPECT_TRUE(WriteDeviceOption(nullptr, "~A", true, h));
    EXPECT_EQ(OptionWrites().size(), 3u);
    EXPECT_EQ(OptionWrites().back().request, qvtest::Bytes(std::string("~A", 3)));
    // The scrambled text stays below 400 characters: "~B=", the key and 197
    // pairs make 399 and are sent; one more character is refused unsent.
    EXPECT_TRUE(WriteDeviceOption(nullptr, "~B=" + std::string(197, 'x'), true, h));
    EXPECT_EQ(OptionWrites().back().request.size(), 400u);
    EXPECT_FALSE(WriteDeviceOption(nullptr, "~B=" + std::string(198, 'x'), true, h));
    EXPECT_EQ(OptionWrites().size(), 4u);
}

// Every exchange reads the reply code from the low 16 bits of the command
// word: 0x107D0 is REPLY_OK, 0x107D1 a refusal.
TEST(ReplyCode, LowSixteenBitsOfTheCommandWordForEveryExchange) {
    qvtest::TempDir dir;
    for (int high : {0x10000, 0x7FFF0000}) {
        SCOPED_TRACE(high);
        fakepmx::Reset();
        Reply ok = fakepmx::OkText("N=5"), refused = fakepmx::Error();
        ok.replyCode |= high;
        refused.replyCode |= high;
        fakepmx::Push(ok);
        EXPECT_EQ(ReadDeviceOption(nullptr, "N"), "5");
        fakepmx::Push(refused);
        EXPECT_EQ(ReadDeviceOption(nullptr, "N"), "");

        Hooks h;
        ok = fakepmx::Ok();
        ok.replyCode |= high;
        fakepmx::Push(refused);  // the value read first: not there
        fakepmx::Push(ok);
        EXPECT_TRUE(WriteDeviceOption(nullptr, "N=6", false, h));
        fakepmx::Push(refused);
        fakepmx::Push(refused);
        EXPECT_FALSE(WriteDeviceOption(nullptr, "N=6", false, h));

        Device d;
        const B data(8, 1);
        fakepmx::Push(ok);
        EXPECT_TRUE(SendDataToDevice(d, data, 1, 8));
        fakepmx::Push(refused);
        EXPECT_FALSE(SendDataToDevice(d, data, 1, 8));

        // A whole run: "~OS", the sections and the option writes.
        const std::string config = ConfigText({"Key=AB"});
        const std::string pack =
            PackFile(dir, 0, 0x12, {B(8, 1), B{}, B{}, qvtest::Bytes(config), B{}});
        FakeTerminal t;
        t.options = {{"~OS", "LINUX"}};
        t.high = high;
        t.Install();
        Recorder rec;
        UpdateReport r = RunUpdate(kNet, pack, rec.hooks);
        EXPECT_FALSE(r.failed);
        EXPECT_EQ(Sections().size(), 1u);  // taken at the first try
        EXPECT_EQ(OptionWrites().size(), 1u);
    }
}

TEST(OptionRead, ValueAfterTheNameOrEmpty) {
    fakepmx::Reset();
    fakepmx::Push(fakepmx::OkText("~OS=LINUX"));
    EXPECT_EQ(ReadDeviceOption(nullptr, "~OS"), "LINUX");
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(ReadDeviceOption(nullptr, "~OS"), "");
    // A 200-byte answer without a NUL is cut at the buffer.
    fakepmx::Push(fakepmx::Ok(B(300, 'v')));
    EXPECT_EQ(ReadDeviceOption(nullptr, "N"), std::string(198, 'v'));
}

}  // namespace
}  // namespace qvupdate
