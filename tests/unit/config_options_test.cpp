// The option exchange, the numbered device-information items and the
// free-form system options, byte for byte against the scripted transport.
#include <cstring>
#include <string>

#include "config/device_info.h"
#include "config/options.h"
#include "test_support.h"

using namespace tltest;
using fakepmx::Op;

namespace {

std::string RequestText(const fakepmx::Call& c) {
    std::string t(c.request.begin(), c.request.end());
    return t;
}

// Decodes a scrambled value: pairs of hex digits E[0..n], plain[i] = E[i] ^ E[i+1].
std::string Unscramble(const std::string& hex) {
    std::string plain;
    auto byte = [&](std::size_t i) { return std::stoi(hex.substr(2 * i, 2), nullptr, 16); };
    for (std::size_t i = 0; i + 1 < hex.size() / 2; ++i)
        plain += static_cast<char>(byte(i) ^ byte(i + 1));
    return plain;
}

class Options : public FakeTransportTest {
  protected:
    tl::DeviceSession* Open(const char* version = "Ver 6.60 Apr 15 2011", bool os = true) {
        fakepmx::Terminal t;
        t.version = version;
        if (os) t.options = {{"~OS", "1"}};
        return ConnectTo(t);
    }
    // Serves these options for the test's own reads.
    void Serve(std::vector<std::pair<std::string, std::string>> options) {
        fakepmx::Terminal t;
        t.options = std::move(options);
        fakepmx::SetResponder(t);
    }
    // The one write a test made: its text, checked for shape.
    std::string OnlyWrite() {
        auto calls = NewCalls();
        EXPECT_EQ(calls.size(), 1u);
        if (calls.empty()) return {};
        const auto& c = calls[0];
        EXPECT_EQ(c.op, Op::SendCmd);
        EXPECT_EQ(c.command, 12);
        EXPECT_EQ(c.timeout, 4000);
        EXPECT_EQ(c.requestLength, static_cast<int>(std::strlen(RequestText(c).c_str())) + 1);
        EXPECT_EQ(c.request.back(), 0);
        return RequestText(c).c_str();
    }
};

TEST_F(Options, ReadSendsKeyInHundredByteBufferAndTakesValueAfterKey) {
    auto* s = Open();
    fakepmx::Push(fakepmx::OkText("MSpeed=17"));
    std::int32_t v = 0;
    ASSERT_EQ(tl::GetOptionInt(*s, "MSpeed", &v), 1);
    EXPECT_EQ(v, 17);
    auto calls = NewCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].command, 11);
    EXPECT_EQ(calls[0].bufferSize, 100);
    EXPECT_EQ(calls[0].requestLength, 7);
    EXPECT_EQ(calls[0].request, Text("MSpeed"));
    EXPECT_EQ(calls[0].timeout, 4000);

    // The echoed key is not checked: the value starts key length + 1 in.
    fakepmx::Push(fakepmx::OkText("XXXXXX:  -42abc"));
    ASSERT_EQ(tl::GetOptionInt(*s, "MSpeed", &v), 1);
    EXPECT_EQ(v, -42);
    fakepmx::Push(fakepmx::OkText("MSpeed=none"));
    ASSERT_EQ(tl::GetOptionInt(*s, "MSpeed", &v), 1);
    EXPECT_EQ(v, 0);

    // Absent or refused: -2 and the output untouched.
    v = 99;
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(tl::GetOptionInt(*s, "MSpeed", &v), -2);
    fakepmx::Reply odd = fakepmx::OkText("MSpeed=5");
    odd.replyCode = 2005;
    fakepmx::Push(odd);
    EXPECT_EQ(tl::GetOptionInt(*s, "MSpeed", &v), -2);
    EXPECT_EQ(v, 99);
    TL_Close(s);
}

TEST_F(Options, RepliesAreReadOnlyAsFarAsTheTerminalSent) {
    auto* s = Open();
    // A full buffer with no NUL at all: the value ends with the buffer.
    Bytes full = Text("Key=", false);
    full.resize(100, 'v');
    fakepmx::Push(fakepmx::Ok(full));
    std::string value;
    ASSERT_EQ(tl::GetOptionText(*s, "Key", &value), 1);
    EXPECT_EQ(value, std::string(96, 'v'));

    // A reply longer than the buffer is cut by the transport to 100 bytes.
    Bytes longer = Text("Key=", false);
    longer.resize(300, 'w');
    fakepmx::Push(fakepmx::Ok(longer));
    ASSERT_EQ(tl::GetOptionText(*s, "Key", &value), 1);
    EXPECT_EQ(value.size(), 96u);

    // A reply that stops inside the echoed key has no value; the request's
    // own bytes left in the buffer are not taken for one.
    fakepmx::Push(fakepmx::Ok(Text("Ke", false)));
    ASSERT_EQ(tl::GetOptionText(*s, "Key", &value), 1);
    EXPECT_EQ(value, "");

    // Bytes after the value's NUL are not part of it.
    fakepmx::Push(fakepmx::Ok(Cat({Text("Key=ab"), Text("junk")})));
    ASSERT_EQ(tl::GetOptionText(*s, "Key", &value), 1);
    EXPECT_EQ(value, "ab");

    // A key that cannot fit the buffer with its NUL is never sent.
    ClearCalls();
    EXPECT_EQ(tl::GetOptionText(*s, std::string(100, 'k'), &value), -2);
    EXPECT_TRUE(NewCalls().empty());
    EXPECT_EQ(tl::ExchangeGetOption(*s, std::string(99, 'k')).sent, true);
    TL_Close(s);
}

TEST_F(Options, ScrambledValuesChainFromTheSeed) {
    EXPECT_EQ(tl::ScrambleOptionValue("", 0xAB), "AB");
    // 0x10, 0x10^'1'=0x21, 0x21^'2'=0x13
    EXPECT_EQ(tl::ScrambleOptionValue("12", 0x10), "102113");
    const std::string h = tl::ScrambleOptionValue("Hello world");
    EXPECT_EQ(h.size(), 24u);
    EXPECT_EQ(h.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    EXPECT_EQ(Unscramble(h), "Hello world");
}

TEST_F(Options, HiddenKeysAreScrambledOnlyWithoutTheOsOption) {
    auto* plain = Open("Ver 6.60 Apr 15 2011", false);
    ASSERT_EQ(plain->hasOSOption, 0);
    fakepmx::Push(fakepmx::Ok());
    ASSERT_EQ(TL_SetDeviceInfo(plain, 63, 1234), 1);
    std::string text = OnlyWrite();
    ASSERT_EQ(text.rfind("~RFSLen=", 0), 0u);
    const std::string hex = text.substr(8);
    EXPECT_EQ(hex.size(), 2u * (4 + 1));
    EXPECT_EQ(Unscramble(hex), "1234");

    ClearCalls();
    fakepmx::Push(fakepmx::Ok());
    ASSERT_EQ(TL_SetSysOption(plain, "~CustKey", "abc"), 1);
    text = OnlyWrite();
    EXPECT_EQ(NewCalls()[0].bufferSize, 140);
    ASSERT_EQ(text.rfind("~CustKey=", 0), 0u);
    EXPECT_EQ(Unscramble(text.substr(9)), "abc");
    // Keys without "~" are always plain.
    ClearCalls();
    fakepmx::Push(fakepmx::Ok());
    ASSERT_EQ(TL_SetSysOption(plain, "Volume", "abc"), 1);
    EXPECT_EQ(OnlyWrite(), "Volume=abc");
    TL_Close(plain);

    auto* os = Open();
    ASSERT_EQ(os->hasOSOption, 1);
    fakepmx::Push(fakepmx::Ok());
    ASSERT_EQ(TL_SetDeviceInfo(os, 63, 1234), 1);
    EXPECT_EQ(OnlyWrite(), "~RFSLen=1234");
    TL_Close(os);
}

TEST_F(Options, SysOptionArgumentsAndLimits) {
    auto* s = Open();
    EXPECT_EQ(TL_SetSysOption(s, "", "1"), 4);
    EXPECT_EQ(TL_SetSysOption(s, nullptr, "1"), 4);
    // "K=" plus the value and its NUL must fit 140 bytes.
    EXPECT_EQ(TL_SetSysOption(s, "K", std::string(138, 'x').c_str()), 4);
    EXPECT_TRUE(NewCalls().empty());
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_SetSysOption(s, "K", std::string(137, 'x').c_str()), 1);
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(TL_SetSysOption(s, "K", "1"), -2);

    Serve({{"WorkCode", "1"}});
    char value[100];
    std::strcpy(value, "untouched");
    ClearCalls();
    ASSERT_EQ(TL_GetSysOption(s, "WorkCode", value), 1);
    EXPECT_STREQ(value, "1");
    EXPECT_EQ(NewCalls()[0].bufferSize, 100);
    std::strcpy(value, "untouched");
    EXPECT_EQ(TL_GetSysOption(s, "Missing", value), -2);
    EXPECT_STREQ(value, "untouched");
    EXPECT_EQ(TL_GetSysOption(s, std::string(120, 'k').c_str(), value), 4);

    EXPECT_EQ(TL_GetSysOption(nullptr, "WorkCode", value), -1);
    EXPECT_EQ(TL_SetSysOption(nullptr, "WorkCode", "1"), -1);
    EXPECT_EQ(TL_RefreshOptions(nullptr), -1);
    TL_Close(s);
}

TEST_F(Options, RefreshSendsNoData) {
    auto* s = Open();
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_RefreshOptions(s), 1);
    auto c = NewCalls().at(0);
    EXPECT_EQ(c.command, 1014);
    EXPECT_EQ(c.bufferSize, 0);
    EXPECT_EQ(c.requestLength, 0);
    EXPECT_EQ(c.timeout, 4000);
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(TL_RefreshOptions(s), -2);
    TL_Close(s);
}

class DeviceInfo : public Options {};

TEST_F(DeviceInfo, FixedItemsNeedNoTraffic) {
    auto* s = Open();
    int v = -7;
    EXPECT_EQ(TL_GetDeviceInfo(s, 1, &v), 1);
    EXPECT_EQ(v, 500);
    EXPECT_EQ(TL_GetDeviceInfo(s, 12, &v), 1);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(TL_GetDeviceInfo(s, 10, &v), 1);
    EXPECT_EQ(v, 0);
    v = 3;
    EXPECT_EQ(TL_GetDeviceInfo(s, 11, &v), 1);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(TL_SetDeviceInfo(s, 1, 77), 1);
    EXPECT_EQ(TL_SetDeviceInfo(s, 10, 1), -100);
    EXPECT_EQ(TL_SetDeviceInfo(s, 10, 0), 1);
    EXPECT_EQ(TL_SetDeviceInfo(s, 11, 5), -100);
    EXPECT_EQ(TL_SetDeviceInfo(s, 12, 1), 1);
    EXPECT_EQ(TL_SetDeviceInfo(s, 12, 0), -100);
    EXPECT_EQ(TL_SetDeviceInfo(s, 10012, 0), -100);
    // The card key is never handed out.
    v = 1234;
    EXPECT_EQ(TL_GetDeviceInfo(s, 65, &v), 4);
    EXPECT_EQ(v, 1234);
    // Indexes without a table entry are not served.
    for (int index : {0, -7, 70, 8998, 9000, 100000}) {
        SCOPED_TRACE(index);
        EXPECT_EQ(TL_GetDeviceInfo(s, index, &v), 4);
        EXPECT_EQ(TL_SetDeviceInfo(s, index, 1), 4);
    }
    EXPECT_EQ(TL_SetDeviceInfo(s, -10003, 1), 4);  // reduces to -3: not writable
    EXPECT_EQ(v, 1234);
    char text[100];
    EXPECT_EQ(TL_GetDeviceStrInfo(s, 0, text), 4);
    EXPECT_EQ(TL_GetDeviceStrInfo(s, 70, text), 4);
    EXPECT_EQ(TL_GetDeviceStrInfo(s, 12, text), 4);
    EXPECT_TRUE(NewCalls().empty());
    EXPECT_EQ(TL_GetDeviceInfo(nullptr, 1, &v), -1);
    EXPECT_EQ(TL_SetDeviceInfo(nullptr, 1, 1), -1);
    EXPECT_EQ(TL_GetDeviceStrInfo(nullptr, 2, text), -1);
    TL_Close(s);
}

TEST_F(DeviceInfo, LanguageAndBaudRateConversions) {
    auto* s = Open();
    const std::pair<int, const char*> writes[] = {
        {0, "NewLng=69"}, {1, "NewLng=83"}, {2, "NewLng=84"}, {3, "NewLng=76"}, {9, "NewLng=83"}};
    for (auto [value, text] : writes) {
        ClearCalls();
        fakepmx::Push(fakepmx::Ok());
        ASSERT_EQ(TL_SetDeviceInfo(s, 3, value), 1);
        EXPECT_EQ(OnlyWrite(), text);
    }
    const std::pair<const char*, int> reads[] = {
        {"69", 0}, {"84", 2}, {"76", 3}, {"83", 1}, {"1", 1}};
    for (auto [stored, expected] : reads) {
        Serve({{"NewLng", stored}});
        int v = -9;
        ASSERT_EQ(TL_GetDeviceInfo(s, 3, &v), 1);
        EXPECT_EQ(v, expected) << stored;
    }

    const std::pair<int, const char*> rates[] = {{0, "1200"},   {3, "9600"},    {6, "57600"},
                                                 {7, "115200"}, {-1, "115200"}, {99, "115200"}};
    for (auto [value, rate] : rates) {
        ClearCalls();
        fakepmx::Push(fakepmx::Ok());
        ASSERT_EQ(TL_SetDeviceInfo(s, 9, value), 1);
        EXPECT_EQ(OnlyWrite(), std::string("RS232BaudRate=") + rate);
    }
    ClearCalls();
    fakepmx::Push(fakepmx::Ok());
    ASSERT_EQ(TL_SetDeviceInfo(s, 10009, 4), 1);
    EXPECT_EQ(OnlyWrite(), "RS232BaudRate=19200");
    for (auto [stored, expected] : {std::pair{"115200", 7}, {"9600", 3}, {"1200", 0}, {"300", 7}}) {
        Serve({{"RS232BaudRate", stored}});
        int v = -9;
        ASSERT_EQ(TL_GetDeviceInfo(s, 9, &v), 1);
        EXPECT_EQ(v, expected) << stored;
    }
    TL_Close(s);
}

TEST_F(DeviceInfo, ThresholdsDependOnFirmware) {
    auto* s = Open("Ver 6.60 Apr 15 2011");
    for (auto [value, sent] : {std::pair{35, "55"}, {5, "15"}, {80, "70"}, {-3, "0"}, {10, "30"}}) {
        ClearCalls();
        fakepmx::Push(fakepmx::Ok());
        ASSERT_EQ(TL_SetDeviceInfo(s, 23, value), 1);
        EXPECT_EQ(OnlyWrite(), std::string("MThreshold=") + sent);
    }
    for (auto [stored, expected] :
         {std::pair{"55", 35}, {"15", 5}, {"29", 9}, {"90", 50}, {"-4", 0}}) {
        Serve({{"VThreshold", stored}});
        int v = -9;
        ASSERT_EQ(TL_GetDeviceInfo(s, 25, &v), 1);
        EXPECT_EQ(v, expected) << stored;
    }
    TL_Close(s);

    auto* old = Open("Ver 5.03 Jan 01 2005");
    ClearCalls();
    fakepmx::Push(fakepmx::Ok());
    ASSERT_EQ(TL_SetDeviceInfo(old, 24, 35), 1);
    EXPECT_EQ(OnlyWrite(), "EThreshold=55");
    Serve({{"EThreshold", "10"}});
    int v = 0;
    ASSERT_EQ(TL_GetDeviceInfo(old, 24, &v), 1);
    EXPECT_EQ(v, -10);
    TL_Close(old);
}

TEST_F(DeviceInfo, PlainItemsReadAndWriteDecimal) {
    auto* s = Open();
    Serve({{"IdleMinute", "30"}, {"DeviceID", "  7"}});
    int v = 0;
    ASSERT_EQ(TL_GetDeviceInfo(s, 4, &v), 1);
    EXPECT_EQ(v, 30);
    char text[100];
    ASSERT_EQ(TL_GetDeviceStrInfo(s, 2, text), 1);
    EXPECT_STREQ(text, "  7");  // no conversion
    v = 5;
    EXPECT_EQ(TL_GetDeviceInfo(s, 5, &v), -2);  // "LockOn" absent
    EXPECT_EQ(v, 5);
    fakepmx::SetResponder(nullptr);
    ClearCalls();
    fakepmx::Push(fakepmx::Ok());
    ASSERT_EQ(TL_SetDeviceInfo(s, 69, -12), 1);
    EXPECT_EQ(OnlyWrite(), "ControlMinute=-12");
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(TL_SetDeviceInfo(s, 69, 1), -2);
    TL_Close(s);
}

TEST_F(DeviceInfo, RawOptionIndexReadsAndWritesWholeTexts) {
    auto* s = Open();
    Serve({{"ExtendFmt", "1"}});
    char buf[100];
    std::memset(buf, 'z', sizeof buf);
    std::strcpy(buf, "ExtendFmt");
    ASSERT_EQ(TL_GetDeviceInfo(s, 8999, reinterpret_cast<int*>(buf)), 1);
    EXPECT_STREQ(buf, "ExtendFmt=1");
    EXPECT_EQ(NewCalls().at(0).request, Text("ExtendFmt"));
    // A buffer without a NUL in its first 100 bytes holds no key.
    std::memset(buf, 'k', sizeof buf);
    ClearCalls();
    EXPECT_EQ(TL_GetDeviceInfo(s, 8999, reinterpret_cast<int*>(buf)), 4);
    EXPECT_TRUE(NewCalls().empty());

    fakepmx::SetResponder(nullptr);
    fakepmx::Push(fakepmx::Ok());
    const char* text = "~ZKFPVersion=10";
    ASSERT_EQ(TL_SetDeviceInfo(s, 18999, reinterpret_cast<intptr_t>(text)), 1);
    EXPECT_EQ(OnlyWrite(), "~ZKFPVersion=10");  // sent unchanged, even for "~" keys
    TL_Close(s);
}

TEST_F(DeviceInfo, ClearDataAndTableReadAndHandles) {
    auto* s = Open();
    int v = 0x0304;
    fakepmx::Push(fakepmx::Ok({0x11, 0x22}));
    ASSERT_EQ(TL_GetDeviceInfo(s, -6, &v), 1);
    auto c = NewCalls().at(0);
    EXPECT_EQ(c.command, 14);
    EXPECT_EQ(c.request, Bytes{0x04});
    EXPECT_EQ(c.bufferSize, 4);
    EXPECT_EQ(c.timeout, 7000);
    EXPECT_EQ(v, 0x2211);  // only the bytes received replace the old ones
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(TL_GetDeviceInfo(s, -6, &v), -2);
    EXPECT_EQ(v, 0x2211);

    ClearCalls();
    std::int32_t table[8] = {2, 32};
    fakepmx::Push(fakepmx::Ok(Cat({U32(4), U32(0xABCD)})));
    ASSERT_EQ(TL_GetDeviceInfo(s, -5, table), 1);
    c = NewCalls().at(0);
    EXPECT_EQ(c.op, Op::ReadData);
    EXPECT_EQ(c.command, 7);
    EXPECT_EQ(c.request, Bytes{2});
    EXPECT_EQ(c.bufferSize, 32);
    EXPECT_EQ(table[1], 0xABCD);

    v = 0;
    EXPECT_EQ(TL_GetDeviceInfo(s, -3, &v), 4);
    EXPECT_EQ(v, static_cast<int>(reinterpret_cast<std::uintptr_t>(s)));
    v = 0;
    EXPECT_EQ(TL_GetDeviceInfo(s, -4, &v), 4);
    EXPECT_EQ(v, static_cast<int>(reinterpret_cast<std::uintptr_t>(s->transport)));
    v = 0;
    EXPECT_EQ(TL_GetDeviceInfo(s, -2, &v), 4);
    EXPECT_NE(v, 0);  // the transport library is loaded
    EXPECT_EQ(TL_GetDeviceInfo(s, -1, &v), 4);
    TL_Close(s);
}

}  // namespace
