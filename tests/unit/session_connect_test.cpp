// Connecting: plug-in names, open arguments, timeouts and the probe's exchanges.
#include <cstring>

#include "test_support.h"

using namespace tltest;
using fakepmx::Op;

namespace {

fakepmx::Terminal Classic() {
    fakepmx::Terminal t;
    t.version = "Ver 6.60 Apr 15 2011";
    t.options = {{"~OS", "1"},
                 {"~ExtendFmt", "0"},
                 {"ExtendOPLog", "1"},
                 {"~Platform", "ZEM500"},
                 {"~QVFPVersion", "NONE"}};
    return t;
}

std::string RequestText(const fakepmx::Call& c) {
    return std::string(c.request.begin(), c.request.end());
}

class Connect : public FakeTransportTest {};

TEST_F(Connect, NetworkOpensDatagramPluginAndProbesInOrder) {
    fakepmx::SetResponder(Classic());
    auto* s = tl::as_session(TL_Connect_NET("192.168.1.201", 4370, 7, 8, 9));
    ASSERT_NE(s, nullptr);
    const auto& calls = fakepmx::Calls();
    ASSERT_GE(calls.size(), 1u);
    const auto& open = calls[0];
    EXPECT_EQ(open.op, Op::Init);
    EXPECT_EQ(open.plugin, "netwire.dll");
    EXPECT_EQ(open.address, "192.168.1.201");
    EXPECT_EQ(open.port, 4370);
    EXPECT_EQ(open.baud, 0);
    EXPECT_EQ(open.arg1, 7);
    EXPECT_EQ(open.arg2, 8);
    EXPECT_EQ(open.arg3, 9);
    EXPECT_EQ(open.last, 0);

    // Version, then each option once (all answered on the first attempt).
    ASSERT_EQ(calls.size(), 7u);
    EXPECT_EQ(calls[1].command, 1100);
    EXPECT_EQ(calls[1].bufferSize, 50);
    EXPECT_EQ(calls[1].requestLength, 0);
    EXPECT_EQ(calls[1].timeout, 4000);
    const char* names[] = {"~OS", "~ExtendFmt", "ExtendOPLog", "~Platform", "~QVFPVersion"};
    for (int i = 0; i < 5; ++i) {
        const auto& c = calls[static_cast<std::size_t>(2 + i)];
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(c.op, Op::SendCmd);
        EXPECT_EQ(c.command, 11);
        EXPECT_EQ(c.bufferSize, 200);
        EXPECT_EQ(c.timeout, 1000);
        EXPECT_EQ(c.requestLength, static_cast<int>(std::strlen(names[i])) + 1);
        EXPECT_EQ(c.request, Text(names[i]));
    }
    EXPECT_EQ(s->blockSize, 16384);
    EXPECT_EQ(s->cmdTimeout, 4000);
    EXPECT_EQ(s->dataTimeout, 4000);
    EXPECT_STREQ(s->firmwareVersion, "Ver 6.60 20110415");
    EXPECT_EQ(s->hasOSOption, 1);
    EXPECT_EQ(s->extendOpLog, 1);
    EXPECT_EQ(s->rtLongRecord, 1);
    EXPECT_EQ(s->isTFT, 0);
    EXPECT_EQ(s->fpVersion, 9);
    EXPECT_EQ(TL_Close(s), 1);
    EXPECT_EQ(fakepmx::OpenHandles(), 0);
}

TEST_F(Connect, PluginsBlockSizesAndOpenArgumentsPerKind) {
    fakepmx::SetResponder(Classic());
    auto* tcp = tl::as_session(TL_Connect_NETEX("h", 5005, 1, 2, 3));
    ASSERT_NE(tcp, nullptr);
    EXPECT_EQ(fakepmx::Calls()[0].plugin, "tcpwire.dll");
    EXPECT_EQ(tcp->blockSize, 65472);
    EXPECT_EQ(tcp->extendOpLog, 1);
    TL_Close(tcp);

    fakepmx::Reset();
    fakepmx::SetResponder(Classic());
    auto* usb = tl::as_session(TL_Connect_USB(2, 4, 5, 6));
    ASSERT_NE(usb, nullptr);
    const auto open = fakepmx::Calls()[0];
    EXPECT_EQ(open.plugin, "usbwire.dll");
    EXPECT_EQ(open.address, "");
    EXPECT_FALSE(open.addressNull);
    EXPECT_EQ(open.port, 2);
    EXPECT_EQ(open.arg1, 4);
    EXPECT_EQ(usb->blockSize, 1024);
    // USB never asks for "ExtendOPLog".
    for (const auto& c : fakepmx::Calls())
        EXPECT_NE(RequestText(c), std::string("ExtendOPLog\0", 12));
    EXPECT_EQ(usb->extendOpLog, 0);
    TL_Close(usb);
}

TEST_F(Connect, SerialTimeoutsInitTextAndNoExtendedOpLog) {
    fakepmx::SetResponder(Classic());
    auto* s = tl::as_session(TL_Connect_COM("COM3", 1, 115200, 0, 0, 0, nullptr));
    ASSERT_NE(s, nullptr);
    auto open = fakepmx::Calls()[0];
    EXPECT_EQ(open.op, Op::Init);
    EXPECT_EQ(open.plugin, "serwire.dll");
    EXPECT_EQ(open.address, "COM3");
    EXPECT_EQ(open.port, 1);
    EXPECT_EQ(open.baud, 115200);
    EXPECT_EQ(open.last, 0);
    EXPECT_EQ(s->cmdTimeout, 2000);
    EXPECT_EQ(s->dataTimeout, 3000);
    EXPECT_EQ(s->blockSize, 4096);
    EXPECT_EQ(s->extendOpLog, 0);
    EXPECT_EQ(s->serialInitEx, 0);
    for (const auto& c : fakepmx::Calls())
        EXPECT_NE(RequestText(c), std::string("ExtendOPLog\0", 12));
    TL_Close(s);

    fakepmx::Reset();
    fakepmx::SetResponder(Classic());
    s = tl::as_session(TL_Connect_COM("COM1", 1, 9600, 0, 0, 0, ""));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(fakepmx::Calls()[0].op, Op::Init);
    EXPECT_EQ(s->cmdTimeout, 24000);
    EXPECT_EQ(s->dataTimeout, 36000);
    TL_Close(s);

    fakepmx::Reset();
    fakepmx::SetResponder(Classic());
    s = tl::as_session(TL_Connect_COM("COM1", 1, 9600, 0, 0, 0, "X"));
    ASSERT_NE(s, nullptr);
    open = fakepmx::Calls()[0];
    EXPECT_EQ(open.op, Op::InitEx);
    EXPECT_EQ(open.initText, "X");
    EXPECT_EQ(s->serialInitEx, 1);
    EXPECT_STREQ(s->serialInitText, "X");
    TL_Close(s);

    // A long init text is kept to 19 characters.
    fakepmx::Reset();
    fakepmx::SetResponder(Classic());
    s = tl::as_session(TL_Connect_COM("COM1", 1, 9600, 0, 0, 0, "ABCDEFGHIJKLMNOPQRSTUVWXYZ"));
    ASSERT_NE(s, nullptr);
    EXPECT_STREQ(s->serialInitText, "ABCDEFGHIJKLMNOPQRS");
    EXPECT_EQ(fakepmx::Calls()[0].initText, "ABCDEFGHIJKLMNOPQRS");
    TL_Close(s);
}

TEST_F(Connect, FailuresLeaveNothingBehind) {
    // Baud 0 opens nothing at all.
    EXPECT_EQ(TL_Connect_COM("COM1", 1, 0, 0, 0, 0, nullptr), nullptr);
    EXPECT_TRUE(fakepmx::Calls().empty());

    // The transport refuses to open: no close is sent.
    fakepmx::Reply refuse;
    refuse.nullHandle = true;
    fakepmx::PushOpen(refuse);
    EXPECT_EQ(TL_Connect_NET("h", 1, 0, 0, 0), nullptr);
    EXPECT_EQ(fakepmx::CallsOf(Op::Close).size(), 0u);

    // The version is refused: the transport is closed again.
    fakepmx::Reset();
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(TL_Connect_NETEX("h", 1, 0, 0, 0), nullptr);
    EXPECT_EQ(fakepmx::CallsOf(Op::Close).size(), 1u);
    EXPECT_EQ(fakepmx::OpenHandles(), 0);
}

TEST_F(Connect, AbsentOptionsAreAskedFiveTimesAndDefault) {
    fakepmx::Terminal t;
    t.version = "Ver 6.60 Apr 15 2011";
    fakepmx::SetResponder(t);
    auto* s = tl::as_session(TL_Connect_NET("h", 1, 0, 0, 0));
    ASSERT_NE(s, nullptr);
    // 1 version + 5 options x 5 attempts.
    EXPECT_EQ(fakepmx::CallsOf(Op::SendCmd).size(), 26u);
    EXPECT_EQ(s->hasOSOption, 0);
    EXPECT_EQ(s->extendFmt, 0);
    EXPECT_EQ(s->fpVersion, 9);
    TL_Close(s);

    // An option answered on the third attempt is taken.
    fakepmx::Reset();
    fakepmx::Push(fakepmx::OkText("Ver 6.60 Apr 15 2011"));
    fakepmx::Push(fakepmx::Error());
    fakepmx::Push(fakepmx::Error());
    fakepmx::Push(fakepmx::OkText("~OS=1"));
    auto* s2 = tl::as_session(TL_Connect_NET("h", 1, 0, 0, 0));
    ASSERT_NE(s2, nullptr);
    EXPECT_EQ(s2->hasOSOption, 1);
    TL_Close(s2);
}

TEST_F(Connect, OptionValuesFromTheProbe) {
    struct Case {
        const char* os;
        bool serial;
        int expected;
    } cases[] = {
        {"NONE", false, 0}, {"NONE", true, 0}, {"", false, 0}, {"", true, 1}, {"LINUX", false, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.os) + (c.serial ? " serial" : " net"));
        fakepmx::Reset();
        fakepmx::Terminal t;
        t.options = {{"~OS", c.os}};
        fakepmx::SetResponder(t);
        auto* s = tl::as_session(c.serial ? TL_Connect_COM("COM1", 1, 115200, 0, 0, 0, nullptr)
                                          : TL_Connect_NET("h", 1, 0, 0, 0));
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->hasOSOption, c.expected);
        TL_Close(s);
    }

    fakepmx::Reset();
    fakepmx::Terminal t;
    t.options = {{"~ExtendFmt", "  -12abc"}, {"~Platform", "ZMM220_TFT"}, {"~QVFPVersion", "10"}};
    fakepmx::SetResponder(t);
    auto* s = tl::as_session(TL_Connect_NET("h", 1, 0, 0, 0));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->extendFmt, -12);
    EXPECT_EQ(s->isTFT, 1);
    EXPECT_EQ(s->tftMessages, 1);
    EXPECT_EQ(s->rtLongRecord, 0);
    EXPECT_EQ(s->fpVersion, 10);
    TL_Close(s);

    // "tft" in lower case is not a TFT platform; "NONE" gives fingerprint version 9.
    fakepmx::Reset();
    t.options = {{"~Platform", "tft"}, {"~QVFPVersion", "NONE"}};
    fakepmx::SetResponder(t);
    s = tl::as_session(TL_Connect_NET("h", 1, 0, 0, 0));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->isTFT, 0);
    EXPECT_EQ(s->fpVersion, 9);
    TL_Close(s);
}

TEST_F(Connect, OldFirmwareRegistersForAllEventsBeforePlatform) {
    fakepmx::Terminal t;
    t.version = "Ver 5.11 Jan 02 2005";
    fakepmx::SetResponder(t);
    auto* s = tl::as_session(TL_Connect_NET("h", 1, 0, 0, 0));
    ASSERT_NE(s, nullptr);
    const auto cmds = fakepmx::CallsOf(Op::SendCmd);
    std::size_t reg = 0, platform = 0, oplog = 0;
    for (std::size_t i = 0; i < cmds.size(); ++i) {
        if (cmds[i].command == 500) reg = i;
        if (RequestText(cmds[i]) == std::string("~Platform\0", 10) && !platform) platform = i;
        if (RequestText(cmds[i]) == std::string("ExtendOPLog\0", 12)) oplog = i;
    }
    ASSERT_NE(reg, 0u);
    EXPECT_GT(reg, oplog);
    EXPECT_LT(reg, platform);
    EXPECT_EQ(cmds[reg].request, U32(0x7FFF));
    EXPECT_EQ(cmds[reg].bufferSize, 4);
    EXPECT_EQ(cmds[reg].requestLength, 4);
    EXPECT_EQ(s->rtLongRecord, 0);
    TL_Close(s);
}

TEST_F(Connect, VersionTextsAreNormalised) {
    struct Case {
        std::string sent, expected;
        int rtLong;
    } cases[] = {
        {"Ver 6.60 Apr 15 2011", "Ver 6.60 20110415", 1},
        {"Ver 6.60 Apr  5 2011", "Ver 6.60 201104 5", 1},
        {"Ver 6.60 Xyz 15 2011", "Ver 6.60 20111315", 1},
        {"Ver 6.60 Dec 31 2099", "Ver 6.60 20991231", 1},
        {"Ver 6.18 Aug 07 2007", "Ver 6.18 20070807", 0},
        {"Ver 5.04", "Ver 5.04", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sent);
        fakepmx::Reset();
        fakepmx::Terminal t;
        t.version = c.sent;
        fakepmx::SetResponder(t);
        auto* s = tl::as_session(TL_Connect_NET("h", 1, 0, 0, 0));
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(std::string(s->firmwareVersion), c.expected);
        EXPECT_EQ(s->rtLongRecord, c.rtLong);
        TL_Close(s);
    }
}

TEST_F(Connect, UnterminatedVersionStaysInsideItsField) {
    fakepmx::Reset();
    fakepmx::Push(fakepmx::Ok(Bytes(60, 'A')));  // more than the 50 bytes asked for
    auto* s = tl::as_session(TL_Connect_NET("h", 1, 0, 0, 0));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->firmwareVersion[51], 0);
    EXPECT_LT(std::strlen(s->firmwareVersion), 52u);
    TL_Close(s);

    // A short reply without a NUL does not keep the tail of the default text.
    fakepmx::Reset();
    fakepmx::Push(fakepmx::Ok(Text("Ver 6", false)));
    s = tl::as_session(TL_Connect_NET("h", 1, 0, 0, 0));
    ASSERT_NE(s, nullptr);
    EXPECT_STREQ(s->firmwareVersion, "Ver 6");
    TL_Close(s);
}

TEST(VersionCompare, ByteWiseUnsigned) {
    tl::DeviceSession s;
    std::strcpy(s.firmwareVersion, "Ver 6.18 20070807");
    EXPECT_EQ(tl::VersionCompare(s, "Ver 6.18 20070807"), 0);
    EXPECT_GT(tl::VersionCompare(s, "Ver 6.01"), 0);
    EXPECT_LT(tl::VersionCompare(s, "Ver 6.60"), 0);
    std::strcpy(s.firmwareVersion, "Ver 6.18");
    EXPECT_LT(tl::VersionCompare(s, "Ver 6.18 20070807"), 0);
    s.firmwareVersion[4] = static_cast<char>(0xE9);
    EXPECT_GT(tl::VersionCompare(s, "Ver 6.60"), 0);  // bytes compare unsigned
}

TEST(ParseDecimal, LeadingBlanksSignAndDigits) {
    EXPECT_EQ(tl::ParseDecimal("42"), 42);
    EXPECT_EQ(tl::ParseDecimal("  +7x"), 7);
    EXPECT_EQ(tl::ParseDecimal("-3"), -3);
    EXPECT_EQ(tl::ParseDecimal("abc"), 0);
    EXPECT_EQ(tl::ParseDecimal(""), 0);
    tl::ParseDecimal("99999999999999999999");  // wraps, no undefined behaviour
}

TEST_F(Connect, CloseReleasesOnlyWhatExists) {
    EXPECT_EQ(TL_Close(nullptr), -1);
    EXPECT_TRUE(fakepmx::Calls().empty());
    auto* s = ConnectTo(Classic());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(TL_Close(s), 1);
    auto calls = NewCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].op, Op::Close);
}

TEST_F(Connect, LastErrorPassesThrough) {
    fakepmx::SetLastError(-307);
    EXPECT_EQ(TL_LastError(), -307);
}

}  // namespace
