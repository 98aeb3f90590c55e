// The transport end to end: termlink and raw portmux calls over each plug-in
// against a simulated terminal, with keys, faults and dead peers.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>

#include <atomic>
#include <chrono>
#include <cstring>
#include <numeric>
#include <random>
#include <thread>

#include "harness.h"
#include "portmux.h"
#include "portmux_errors.h"
#include "scripted_terminal.h"
#include "session/session.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::uint8_t> Pattern(std::size_t n, std::uint32_t seed) {
    std::vector<std::uint8_t> v(n);
    std::mt19937 rng(seed);
    for (auto& b : v) b = static_cast<std::uint8_t>(rng());
    return v;
}

int OpenDescriptors() {
    int n = 0;
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (::readdir(d)) ++n;
        ::closedir(d);
    }
    return n;
}

// Waits (generously) for the server's side of closed links to wind down.
// The count taken before a test may include descriptors other threads had
// open only for a moment, so the check is "no more than before".
int SettledDescriptors(int expected) {
    int n = OpenDescriptors();
    for (int i = 0; i < 100 && n > expected; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        n = OpenDescriptors();
    }
    return n;
}

enum class Kind { Net, NetEx, Usb, Com };
const char* Name(Kind k) {
    switch (k) {
        case Kind::Net:
            return "NET";
        case Kind::NetEx:
            return "NETEX";
        case Kind::Usb:
            return "USB";
        case Kind::Com:
            return "COM";
    }
    return "?";
}

TL_HANDLE ConnectKind(e2e::SimTerminal& sim, Kind k, int key) {
    switch (k) {
        case Kind::Net:
            return sim.ConnectNet(key);
        case Kind::NetEx:
            return sim.ConnectNetEx(key);
        case Kind::Usb:
            return sim.ConnectUsb(key);
        case Kind::Com:
            return sim.ConnectCom(key);
    }
    return nullptr;
}

// ---- termlink over every plug-in ------------------------------------------

class EveryPlugin : public ::testing::TestWithParam<Kind> {};

TEST_P(EveryPlugin, ConnectRunsTheProbeAndCloses) {
    e2e::ScriptedTerminal terminal;
    e2e::SimTerminal sim(terminal);
    auto* s = tl::as_session(ConnectKind(sim, GetParam(), 0));
    ASSERT_NE(s, nullptr) << Name(GetParam()) << " last error " << TL_LastError();
    EXPECT_STREQ(s->firmwareVersion, "Ver 6.60 20110415");
    EXPECT_EQ(s->hasOSOption, 1);
    EXPECT_EQ(s->extendFmt, 1);
    EXPECT_EQ(s->isTFT, 1);
    EXPECT_EQ(s->fpVersion, 10);
    const bool network = GetParam() == Kind::Net || GetParam() == Kind::NetEx;
    EXPECT_EQ(s->extendOpLog, network ? 1 : 0);
    EXPECT_EQ(TL_Close(s), 1);
    EXPECT_GE(terminal.Count(1100), 1);
}

TEST_P(EveryPlugin, WrongKeyIsRefusedAndRightKeyAccepted) {
    e2e::ScriptedTerminal terminal;
    terminal.key = 135790;
    e2e::SimTerminal sim(terminal);
    EXPECT_EQ(ConnectKind(sim, GetParam(), 135791), nullptr);
    EXPECT_EQ(TL_LastError(), PMXE_AUTH);
    EXPECT_EQ(terminal.Count(1100), 0);  // nothing runs before the key is proven
    TL_HANDLE s = ConnectKind(sim, GetParam(), 135790);
    ASSERT_NE(s, nullptr);
    TL_Close(s);
}

INSTANTIATE_TEST_SUITE_P(Transport, EveryPlugin,
                         ::testing::Values(Kind::Net, Kind::NetEx, Kind::Usb, Kind::Com),
                         [](const auto& info) { return std::string(Name(info.param)); });

TEST(SerialLine, OtherStationDoesNotAnswer) {
    e2e::ScriptedTerminal terminal;
    e2e::HarnessOptions o;
    o.station = 3;
    e2e::SimTerminal sim(terminal, o);
    auto t0 = Clock::now();
    PMX_HANDLE h = PMX_INIT("serwire.dll", "COM1", 4, 115200, 0, 500, 0, 0);
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(PMX_LASTERROR(), PMXE_TIMEOUT);
    EXPECT_LT(Clock::now() - t0, std::chrono::seconds(5));
    h = PMX_INIT("serwire.dll", sim.SerialPath().c_str(), 3, 115200, 0, 0, 0, 0);
    ASSERT_NE(h, nullptr);
    PMX_CLOSE(h);
}

TEST(SerialLine, InitTextAndSlowBaudRatesStillConnect) {
    e2e::ScriptedTerminal terminal;
    e2e::SimTerminal sim(terminal);
    // The init text goes to the line before the handshake; the terminal's
    // framer skips it.
    auto* s = tl::as_session(TL_Connect_COM("COM1", 1, 9600, 0, 0, 0, "ATZ"));
    ASSERT_NE(s, nullptr) << TL_LastError();
    EXPECT_EQ(s->serialInitEx, 1);
    EXPECT_EQ(s->cmdTimeout, 24000);
    EXPECT_STREQ(s->firmwareVersion, "Ver 6.60 20110415");
    TL_Close(s);
    EXPECT_EQ(TL_Connect_COM("COM1", 1, 12345, 0, 0, 0, nullptr), nullptr);
    EXPECT_EQ(TL_LastError(), PMXE_BAD_ARGUMENT);
}

// ---- raw portmux operations ------------------------------------------------

class Operations : public ::testing::TestWithParam<const char*> {
  protected:
    PMX_HANDLE Open(e2e::SimTerminal& sim) {
        std::string p = GetParam();
        if (p == "serwire.dll") return PMX_INIT(p.c_str(), "COM1", 1, 115200, 0, 0, 0, 0);
        if (p == "usbwire.dll") return PMX_INIT(p.c_str(), "", 1, 0, 0, 0, 0, 0);
        return PMX_INIT(p.c_str(), sim.Address(), sim.Port(), 0, 0, 0, 0, 0);
    }
};

TEST_P(Operations, BulkReadArrivesWholeAndNeverOverflows) {
    e2e::ScriptedTerminal terminal;
    terminal.table = Pattern(300000, 7);
    e2e::SimTerminal sim(terminal);
    PMX_HANDLE h = Open(sim);
    ASSERT_NE(h, nullptr) << PMX_LASTERROR();

    std::vector<std::uint8_t> buf(terminal.table.size() + 4 + 64, 0xEE);
    buf[0] = 9;  // request byte
    int cmd = 120;
    int n = PMX_READDATA(h, &cmd, buf.data(), static_cast<int>(buf.size() - 64), 1, 4096, 4000);
    ASSERT_EQ(n, static_cast<int>(terminal.table.size() + 4));
    EXPECT_EQ(cmd, REPLY_OK);
    std::uint32_t len =
        buf[0] | buf[1] << 8 | buf[2] << 16 | static_cast<std::uint32_t>(buf[3]) << 24;
    EXPECT_EQ(len, terminal.table.size());
    EXPECT_TRUE(std::equal(terminal.table.begin(), terminal.table.end(), buf.begin() + 4));
    EXPECT_EQ(terminal.Requests().back().request, std::vector<std::uint8_t>{9});

    // READDATA1 takes the same path.
    cmd = 88;
    n = PMX_READDATA1(h, &cmd, buf.data(), static_cast<int>(buf.size() - 64), 0, 1024, 4000);
    EXPECT_EQ(n, static_cast<int>(terminal.table.size() + 4));
    EXPECT_EQ(terminal.Requests().back().op, termsim::Op::Read1);

    // One byte short: nothing written past the capacity, not a success, and
    // the prefix says how much room is needed.
    std::fill(buf.begin(), buf.end(), 0xEE);
    const int capacity = static_cast<int>(terminal.table.size() + 3);
    cmd = 120;
    n = PMX_READDATA(h, &cmd, buf.data(), capacity, 0, 4096, 4000);
    EXPECT_LT(n, 0);
    EXPECT_EQ(PMX_LASTERROR(), PMXE_TOO_LARGE);
    len = buf[0] | buf[1] << 8 | buf[2] << 16 | static_cast<std::uint32_t>(buf[3]) << 24;
    EXPECT_EQ(len, terminal.table.size());
    for (std::size_t i = static_cast<std::size_t>(capacity); i < buf.size(); ++i)
        ASSERT_EQ(buf[i], 0xEE) << i;

    // The older query path: records from byte 0, *inOut back at 0.
    std::vector<std::uint8_t> q(terminal.table.size());
    int inOut = static_cast<int>(q.size());
    n = PMX_QUERYDATA(h, 1, 2048, q.data(), &inOut);
    EXPECT_EQ(n, static_cast<int>(q.size()));
    EXPECT_EQ(inOut, 0);
    EXPECT_EQ(q, terminal.table);
    EXPECT_EQ(terminal.Requests().back().tableKind, 1);
    inOut = static_cast<int>(q.size() - 1);
    EXPECT_LT(PMX_QUERYDATA(h, 1, 2048, q.data(), &inOut), 0);
    EXPECT_NE(inOut, 0);

    // An empty table: REPLY_ERROR with result 0.
    terminal.table.clear();
    cmd = 120;
    n = PMX_READDATA(h, &cmd, buf.data(), 1000, 0, 4096, 4000);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(cmd, REPLY_ERROR);
    PMX_CLOSE(h);
}

TEST_P(Operations, CommandsAndPushedDataArriveIntact) {
    e2e::ScriptedTerminal terminal;
    e2e::SimTerminal sim(terminal);
    PMX_HANDLE h = Open(sim);
    ASSERT_NE(h, nullptr) << PMX_LASTERROR();

    // Echo command: reply cut to the buffer offered.
    std::vector<std::uint8_t> buf = Pattern(100, 3);
    const auto sent = buf;
    int cmd = 500;
    int n = PMX_SENDCMD(h, &cmd, buf.data(), 100, 100, 4000);
    EXPECT_EQ(cmd, REPLY_OK);
    EXPECT_EQ(n, 100);
    EXPECT_EQ(buf, sent);
    cmd = 500;
    n = PMX_SENDCMD(h, &cmd, buf.data(), 60, 40, 4000);
    EXPECT_EQ(n, 40);
    // A write with no answer area (buffer size 0): the reply may fill the
    // request's own bytes, never more.
    cmd = 501;
    buf = Pattern(100, 5);
    const auto before = buf;
    EXPECT_EQ(PMX_SENDCMD(h, &cmd, buf.data(), 0, 28, 4000), 28) << PMX_LASTERROR();
    EXPECT_EQ(cmd, REPLY_OK);
    EXPECT_EQ(terminal.Requests().back().request.size(), 28u);
    EXPECT_TRUE(std::equal(buf.begin() + 28, buf.end(), before.begin() + 28));

    // Large pushed data goes in chunks and arrives byte-identical.
    auto data = Pattern(700000, 11);
    EXPECT_EQ(PMX_SENDDATA(h, data.data(), static_cast<int>(data.size()), 2500), 1);
    EXPECT_EQ(terminal.LastData(), data);

    std::uint8_t request[8] = {2, 0, 0, 0, 0, 0, 0, 0xA0};
    cmd = 110;
    auto image = Pattern(200000, 12);
    EXPECT_EQ(
        PMX_SENDCMDDATA(h, &cmd, image.data(), static_cast<int>(image.size()), request, 8, 10000),
        1);
    EXPECT_EQ(cmd, REPLY_OK);
    EXPECT_EQ(terminal.LastData(), image);
    auto last = terminal.Requests().back();
    EXPECT_EQ(last.command, 110);
    EXPECT_EQ(last.request, std::vector<std::uint8_t>(request, request + 8));
    PMX_CLOSE(h);
}

INSTANTIATE_TEST_SUITE_P(Transport, Operations,
                         ::testing::Values("netwire.dll", "tcpwire.dll", "serwire.dll",
                                           "usbwire.dll"),
                         [](const auto& info) {
                             std::string s = info.param;
                             return s.substr(0, s.find('.'));
                         });

TEST(Arguments, RefusedWithDistinctErrors) {
    EXPECT_EQ(PMX_INIT("nosuch.dll", "127.0.0.1", 1, 0, 0, 0, 0, 0), nullptr);
    EXPECT_EQ(PMX_LASTERROR(), PMXE_UNKNOWN_PLUGIN);
    EXPECT_EQ(PMX_INIT(nullptr, "127.0.0.1", 1, 0, 0, 0, 0, 0), nullptr);
    EXPECT_EQ(PMX_LASTERROR(), PMXE_BAD_ARGUMENT);
    EXPECT_EQ(PMX_INIT("serwire.dll", "COM1", 1, 0, 0, 0, 0, 0), nullptr);
    EXPECT_EQ(PMX_LASTERROR(), PMXE_BAD_ARGUMENT);
    EXPECT_EQ(PMX_INIT("serwire.dll", "COM1", 1, 12345, 0, 0, 0, 0), nullptr);
    EXPECT_EQ(PMX_LASTERROR(), PMXE_BAD_ARGUMENT);

    int cmd = 1;
    char buf[8];
    int dummy = 0;
    EXPECT_LT(PMX_SENDCMD(nullptr, &cmd, buf, 8, 0, 100), 0);
    EXPECT_EQ(PMX_LASTERROR(), PMXE_BAD_HANDLE);
    EXPECT_LT(PMX_SENDCMD(&dummy, &cmd, buf, 8, 0, 100), 0);  // not a handle of ours
    EXPECT_EQ(PMX_LASTERROR(), PMXE_BAD_HANDLE);
    PMX_CLOSE(&dummy);  // ignored
    EXPECT_EQ(PMX_LASTERROR(), PMXE_BAD_HANDLE);
}

TEST(Arguments, SilentAddressFailsWithinTheConnectTimeout) {
    // A UDP port nobody serves: the handshake times out.
    auto t0 = Clock::now();
    EXPECT_EQ(PMX_INIT("netwire.dll", "127.0.0.1", 9, 0, 0, 300, 0, 0), nullptr);
    EXPECT_EQ(PMX_LASTERROR(), PMXE_TIMEOUT);
    EXPECT_LT(Clock::now() - t0, std::chrono::seconds(5));
    // A TCP port nobody serves is refused at once.
    EXPECT_EQ(PMX_INIT("tcpwire.dll", "127.0.0.1", 9, 0, 0, 300, 0, 0), nullptr);
    EXPECT_EQ(PMX_LASTERROR(), PMXE_OPEN);
}

TEST(Threads, SeparateHandlesWorkConcurrently) {
    e2e::ScriptedTerminal terminal;
    terminal.table = Pattern(500000, 31);
    e2e::SimTerminal sim(terminal);
    std::atomic<int> good{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            const char* plugin = t % 2 ? "tcpwire.dll" : "netwire.dll";
            PMX_HANDLE h = PMX_INIT(plugin, sim.Address(), sim.Port(), 0, 0, 0, 0, 0);
            if (!h) return;
            std::vector<std::uint8_t> buf(terminal.table.size() + 4);
            for (int i = 0; i < 5; ++i) {
                int cmd = 120;
                int n =
                    PMX_READDATA(h, &cmd, buf.data(), static_cast<int>(buf.size()), 0, 16384, 4000);
                if (n == static_cast<int>(buf.size()) &&
                    std::equal(terminal.table.begin(), terminal.table.end(), buf.begin() + 4))
                    ++good;
            }
            PMX_CLOSE(h);
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(good.load(), 20);
}

// ---- faults -------------------------------------------------------------------

TEST(LossyNetwork, BulkReadSurvivesLossDuplicationAndReordering) {
    e2e::ScriptedTerminal terminal;
    terminal.table = Pattern(8u << 20, 21);
    e2e::HarnessOptions o;
    o.faults.drop = 0.05;
    o.faults.duplicate = 0.05;
    o.faults.reorder = 0.05;
    o.faults.seed = 42;
    e2e::SimTerminal sim(terminal, o);
    PMX_HANDLE h = PMX_INIT("netwire.dll", sim.Address(), sim.Port(), 0, 0, 0, 0, 0);
    ASSERT_NE(h, nullptr) << PMX_LASTERROR();
    std::vector<std::uint8_t> buf(terminal.table.size() + 4);
    int cmd = 120;
    int n = PMX_READDATA(h, &cmd, buf.data(), static_cast<int>(buf.size()), 0, 16384, 4000);
    ASSERT_EQ(n, static_cast<int>(buf.size())) << PMX_LASTERROR();
    EXPECT_EQ(cmd, REPLY_OK);
    EXPECT_TRUE(std::equal(terminal.table.begin(), terminal.table.end(), buf.begin() + 4));
    EXPECT_EQ(terminal.Count(120), 1);  // retried requests never ran twice

    // Commands with side effects run exactly once each, however often sent.
    for (int i = 0; i < 50; ++i) {
        std::uint8_t req[4] = {static_cast<std::uint8_t>(i), 0, 0, 0};
        cmd = 8;  // a write such as "set user"
        ASSERT_GE(PMX_SENDCMD(h, &cmd, req, 4, 4, 4000), 0) << PMX_LASTERROR();
        ASSERT_EQ(cmd, REPLY_OK);
    }
    EXPECT_EQ(terminal.Count(8), 50);
    PMX_CLOSE(h);
}

TEST(LossyNetwork, SerialLineWithGarbledFramesStillDelivers) {
    e2e::ScriptedTerminal terminal;
    terminal.table = Pattern(100000, 5);
    e2e::HarnessOptions o;
    o.faults.drop = 0.05;
    o.faults.duplicate = 0.05;
    o.faults.reorder = 0.05;
    e2e::SimTerminal sim(terminal, o);
    PMX_HANDLE h = PMX_INIT("serwire.dll", "COM1", 1, 115200, 0, 0, 0, 0);
    ASSERT_NE(h, nullptr) << PMX_LASTERROR();
    std::vector<std::uint8_t> buf(terminal.table.size() + 4);
    int cmd = 120;
    ASSERT_EQ(PMX_READDATA(h, &cmd, buf.data(), static_cast<int>(buf.size()), 0, 4096, 4000),
              static_cast<int>(buf.size()));
    EXPECT_TRUE(std::equal(terminal.table.begin(), terminal.table.end(), buf.begin() + 4));
    PMX_CLOSE(h);
}

TEST(SlowLink, TransferLongerThanTheTimeoutCompletesWhileDataFlows) {
    // Every frame from the terminal is late; the whole read takes several
    // times the timeout but never falls silent for that long.
    e2e::ScriptedTerminal terminal;
    terminal.table = Pattern(300000, 17);
    e2e::HarnessOptions o;
    o.faults.delayMs = 80;  // 19 chunks: about 1.5 s per read against a 1 s timeout
    e2e::SimTerminal sim(terminal, o);
    for (const char* plugin : {"netwire.dll", "tcpwire.dll"}) {
        SCOPED_TRACE(plugin);
        PMX_HANDLE h = PMX_INIT(plugin, sim.Address(), sim.Port(), 0, 0, 0, 0, 0);
        ASSERT_NE(h, nullptr) << PMX_LASTERROR();
        std::vector<std::uint8_t> buf(terminal.table.size() + 4);
        int cmd = 120;
        int n = PMX_READDATA(h, &cmd, buf.data(), static_cast<int>(buf.size()), 0, 16384, 1000);
        EXPECT_EQ(n, static_cast<int>(buf.size())) << PMX_LASTERROR();
        EXPECT_TRUE(std::equal(terminal.table.begin(), terminal.table.end(), buf.begin() + 4));
        PMX_CLOSE(h);
    }
    EXPECT_EQ(terminal.Count(120), 2);
}

class DeadPeer : public ::testing::TestWithParam<const char*> {};

TEST_P(DeadPeer, TransferFailsWithinTheTimeoutAndLeaksNothing) {
    e2e::ScriptedTerminal terminal;
    terminal.table = Pattern(4u << 20, 9);
    e2e::SimTerminal sim(terminal);
    const int before = OpenDescriptors();
    PMX_HANDLE h = PMX_INIT(GetParam(), sim.Address(), sim.Port(), 0, 0, 0, 0, 0);
    ASSERT_NE(h, nullptr);
    pmx::FaultConfig cut;
    cut.cutAfterBytes = 1 << 20;  // the terminal dies a quarter into the table
    sim.SetFaults(cut);
    std::vector<std::uint8_t> buf(terminal.table.size() + 4);
    int cmd = 120;
    auto t0 = Clock::now();
    int n = PMX_READDATA(h, &cmd, buf.data(), static_cast<int>(buf.size()), 0, 16384, 1000);
    auto took = Clock::now() - t0;
    EXPECT_LT(n, 0);
    EXPECT_NE(cmd, REPLY_OK);
    EXPECT_NE(cmd, REPLY_ERROR);  // never mistaken for an empty table
    int err = PMX_LASTERROR();
    EXPECT_TRUE(err == PMXE_TIMEOUT || err == PMXE_CLOSED) << err;
    EXPECT_LT(took, std::chrono::seconds(10));
    PMX_CLOSE(h);
    EXPECT_LE(SettledDescriptors(before), before);
}

INSTANTIATE_TEST_SUITE_P(Transport, DeadPeer, ::testing::Values("netwire.dll", "tcpwire.dll"),
                         [](const auto& info) {
                             std::string s = info.param;
                             return s.substr(0, s.find('.'));
                         });

TEST(DeadPeer, StoppedTerminalFailsEveryOperationInTime) {
    e2e::ScriptedTerminal terminal;
    auto sim = std::make_unique<e2e::SimTerminal>(terminal);
    PMX_HANDLE udp = PMX_INIT("netwire.dll", sim->Address(), sim->Port(), 0, 0, 0, 0, 0);
    PMX_HANDLE tcp = PMX_INIT("tcpwire.dll", sim->Address(), sim->Port(), 0, 0, 0, 0, 0);
    ASSERT_NE(udp, nullptr);
    ASSERT_NE(tcp, nullptr);
    sim->Stop();
    for (PMX_HANDLE h : {udp, tcp}) {
        int cmd = 1100;
        char buf[64];
        auto t0 = Clock::now();
        EXPECT_LT(PMX_SENDCMD(h, &cmd, buf, 64, 0, 500), 0);
        EXPECT_EQ(cmd, 0);
        EXPECT_LT(Clock::now() - t0, std::chrono::seconds(5));
        PMX_CLOSE(h);
    }
}

}  // namespace
