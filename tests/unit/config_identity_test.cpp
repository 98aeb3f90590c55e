// Identity texts, clock, network settings, status counters and the user
// number width.
#include <cstring>
#include <string>

#include "records/device_time.h"
#include "test_support.h"

using namespace tltest;
using fakepmx::Op;

namespace {

std::string RequestText(const fakepmx::Call& c) {
    return std::string(c.request.begin(), c.request.end()).c_str();
}

class Identity : public FakeTransportTest {
  protected:
    tl::DeviceSession* Open(std::vector<std::pair<std::string, std::string>> options = {}) {
        fakepmx::Terminal t;
        t.options = {{"~OS", "1"}};
        auto* s = ConnectTo(t);
        t.options = std::move(options);
        fakepmx::SetResponder(t);
        return s;
    }
};

TEST_F(Identity, MissingIdentityOptionsGiveTheirDefaults) {
    auto* s = Open();
    char text[100];
    using Getter = int (*)(void*, char*);
    const std::pair<Getter, const char*> defaults[] = {
        {TL_GetSerialNumber, "0"},      {TL_GetProductName, "Clockara I"},
        {TL_GetVendor, "Qavelin Inc."}, {TL_GetSensorSN, ""},
        {TL_ReadCustData, ""},          {TL_GetWiegandFmt, ""}};
    for (auto [get, expected] : defaults) {
        std::strcpy(text, "junk");
        ASSERT_EQ(get(s, text), 1) << expected;
        EXPECT_STREQ(text, expected);
    }
    const char* keys[] = {"~SerialNumber", "~DeviceName", "~OEMVendor",
                          "GUID",          "~CustData",   "WiegandFmt"};
    auto calls = NewCalls();
    ASSERT_EQ(calls.size(), 6u);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(calls[i].command, 11);
        EXPECT_EQ(calls[i].bufferSize, 100);
        EXPECT_EQ(RequestText(calls[i]), keys[i]);
    }
    // The address has no default; a refusal other than "absent" is a failure too.
    std::strcpy(text, "junk");
    EXPECT_EQ(TL_GetIPAddress(s, text), -2);
    EXPECT_STREQ(text, "junk");
    fakepmx::Reply odd = fakepmx::Ok();
    odd.replyCode = 2005;
    fakepmx::Push(odd);
    EXPECT_EQ(TL_GetVendor(s, text), -2);
    EXPECT_STREQ(text, "junk");
    TL_Close(s);
}

TEST_F(Identity, PresentOptionsAreHandedOver) {
    auto* s = Open({{"~DeviceName", "X628"},
                    {"IPAddress", "192.168.1.201"},
                    {"UDPPort", "4370"},
                    {"DeviceID", "65537"},
                    {"Language", "-3"}});
    char text[100];
    ASSERT_EQ(TL_GetProductName(s, text), 1);
    EXPECT_STREQ(text, "X628");
    ASSERT_EQ(TL_GetIPAddress(s, text), 1);
    EXPECT_STREQ(text, "192.168.1.201");
    unsigned short port = 0, number = 0;
    ASSERT_EQ(TL_GetDevicePort(s, &port), 1);
    EXPECT_EQ(port, 4370);
    ASSERT_EQ(TL_GetDeviceNumber(s, &number), 1);
    EXPECT_EQ(number, 1);  // stored as 16 bits
    int language = 0;
    ASSERT_EQ(TL_GetLanguage(s, &language), 1);
    EXPECT_EQ(language, -3);
    TL_Close(s);
}

TEST_F(Identity, WritesUseTheirFormatsAndBufferSizes) {
    auto* s = Open();
    fakepmx::SetResponder([](const fakepmx::Call&) { return fakepmx::Ok(); });
    struct Case {
        std::function<int()> call;
        const char* text;
        int bufferSize;
    };
    const Case cases[] = {
        {[&] { return TL_SetDevicePort(s, 70000); }, "UDPPort=4464", 0},
        {[&] { return TL_SetDeviceNumber(s, -1); }, "DeviceID=65535", 0},
        {[&] { return TL_SetLanguage(s, 83); }, "Language=83", 100},
        {[&] { return TL_SetDeviceCommPwd(s, 123456); }, "COMKey=123456", 100},
        {[&] { return TL_SetIPAddress(s, "10.0.0.9"); }, "IPAddress=10.0.0.9", 100},
        {[&] { return TL_SetWiegandFmt(s, "26bit"); }, "WiegandFmt=26bit", 100},
        {[&] { return TL_WriteCustData(s, "hello"); }, "~CustData=hello", 100},
    };
    for (const auto& c : cases) {
        ClearCalls();
        ASSERT_EQ(c.call(), 1) << c.text;
        auto calls = NewCalls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].command, 12);
        EXPECT_EQ(RequestText(calls[0]), c.text);
        EXPECT_EQ(calls[0].requestLength, static_cast<int>(std::strlen(c.text)) + 1);
        EXPECT_EQ(calls[0].bufferSize, c.bufferSize) << c.text;
        EXPECT_EQ(calls[0].timeout, 4000);
    }
    fakepmx::SetResponder(nullptr);
    EXPECT_EQ(TL_SetLanguage(s, 1), -2);
    EXPECT_EQ(TL_SetIPAddress(s, nullptr), 4);
    EXPECT_EQ(TL_SetIPAddress(nullptr, "1.2.3.4"), -1);
    TL_Close(s);
}

TEST_F(Identity, CardFunctionFromTwoOptions) {
    auto* s = Open({{"~IsOnlyRFMachine", "1"}});
    int f = -1;
    ASSERT_EQ(TL_GetCardFun(s, &f), 1);
    EXPECT_EQ(f, 1);
    EXPECT_EQ(NewCalls().size(), 1u);  // card-only: no second read
    TL_Close(s);

    s = Open({{"~RFCardOn", "1"}});
    ASSERT_EQ(TL_GetCardFun(s, &f), 1);
    EXPECT_EQ(f, 2);
    TL_Close(s);
    s = Open({{"~IsOnlyRFMachine", "0"}, {"~RFCardOn", "0"}});
    ASSERT_EQ(TL_GetCardFun(s, &f), 1);
    EXPECT_EQ(f, 0);
    TL_Close(s);
    s = Open();
    f = 9;
    EXPECT_EQ(TL_GetCardFun(s, &f), -2);
    EXPECT_EQ(f, 9);
    TL_Close(s);
}

TEST_F(Identity, ClockTravelsAsOnePackedWord) {
    auto* s = Open();
    fakepmx::SetResponder(nullptr);
    fakepmx::Push(fakepmx::Ok());
    ASSERT_EQ(TL_SetTime(s, 2011, 4, 15, 8, 30, 5), 1);
    auto c = NewCalls().at(0);
    EXPECT_EQ(c.command, 202);
    EXPECT_EQ(c.request, U32(362824205));
    EXPECT_EQ(c.bufferSize, 4);
    EXPECT_EQ(c.timeout, 4000);

    ClearCalls();
    fakepmx::Push(fakepmx::Ok(U32(362824205)));
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
    ASSERT_EQ(TL_GetTime(s, &y, &mo, &d, &h, &mi, &sec), 1);
    c = NewCalls().at(0);
    EXPECT_EQ(c.command, 201);
    EXPECT_EQ(c.requestLength, 0);
    EXPECT_EQ(c.bufferSize, 4);
    EXPECT_EQ((tl::CalendarTime{y, mo, d, h, mi, sec}), (tl::CalendarTime{2011, 4, 15, 8, 30, 5}));
    // A reply without the whole word is not a time.
    fakepmx::Push(fakepmx::Ok({1, 2}));
    y = 0;
    EXPECT_EQ(TL_GetTime(s, &y, &mo, &d, &h, &mi, &sec), -2);
    EXPECT_EQ(y, 0);
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(TL_SetTime(s, 2011, 4, 15, 8, 30, 5), -2);
    TL_Close(s);
}

TEST_F(Identity, StatusCountersByIndex) {
    auto* s = Open();
    fakepmx::SetResponder(nullptr);
    Bytes words;
    for (std::uint32_t i = 0; i < 25; ++i) words = Cat({words, U32(1000 + i)});
    const int table[23] = {-1, 12, 4, 6, 13, 10, 8, 14, 15, 16, 17, 18,
                           19, 0,  1, 2, 3,  5,  7, 9,  11, 20, 22};
    for (int index = 1; index <= 22; ++index) {
        fakepmx::Push(fakepmx::Ok(words));
        int v = -1;
        ASSERT_EQ(TL_GetDeviceStatus(s, index, &v), 1);
        EXPECT_EQ(v, 1000 + table[index]) << index;
    }
    auto c = NewCalls().at(0);
    EXPECT_EQ(c.command, 50);
    EXPECT_EQ(c.requestLength, 0);
    EXPECT_EQ(c.bufferSize, 200);
    ClearCalls();
    int v = -1;
    EXPECT_EQ(TL_GetDeviceStatus(s, 26, &v), 4);
    EXPECT_EQ(TL_GetDeviceStatus(s, 0, &v), 4);
    EXPECT_EQ(TL_GetDeviceStatus(nullptr, 26, &v), 4);  // the index is judged first
    EXPECT_EQ(TL_GetDeviceStatus(nullptr, 2, &v), -1);
    EXPECT_EQ(TL_GetDeviceStatus(s, 23, &v), 4);
    EXPECT_EQ(TL_GetDeviceStatus(s, 25, &v), 4);
    EXPECT_TRUE(NewCalls().empty());
    EXPECT_EQ(v, -1);
    // A counter the terminal did not send is not made up.
    fakepmx::Push(fakepmx::Ok(Bytes(20, 0)));
    EXPECT_EQ(TL_GetDeviceStatus(s, 22, &v), -2);
    EXPECT_EQ(v, -1);
    TL_Close(s);
}

TEST_F(Identity, PinWidthTriesTenTimes) {
    auto* s = Open();
    fakepmx::SetResponder(nullptr);  // every request answered with 2001
    int w = 0;
    ASSERT_EQ(TL_GetPINWidth(s, &w), 1);
    EXPECT_EQ(w, 5);
    EXPECT_EQ(s->pinWidth, 0);
    auto calls = NewCalls();
    ASSERT_EQ(calls.size(), 10u);
    EXPECT_EQ(calls[0].command, 69);
    EXPECT_EQ(calls[0].request, (Bytes{0, 0}));
    EXPECT_EQ(calls[0].bufferSize, 2);
    EXPECT_EQ(calls[0].timeout, 4000);

    for (int i = 0; i < 3; ++i) fakepmx::Push(fakepmx::Error());
    fakepmx::Push(fakepmx::Ok({9, 0}));
    ClearCalls();
    ASSERT_EQ(TL_GetPINWidth(s, &w), 1);
    EXPECT_EQ(w, 9);
    EXPECT_EQ(s->pinWidth, 9);
    EXPECT_EQ(NewCalls().size(), 4u);

    fakepmx::Push(fakepmx::Ok({0xFE}));  // a signed byte
    ASSERT_EQ(TL_GetPINWidth(s, &w), 1);
    EXPECT_EQ(w, -2);

    fakepmx::Reply odd = fakepmx::Ok();
    odd.replyCode = 2005;
    fakepmx::SetResponder([odd](const fakepmx::Call&) { return odd; });
    EXPECT_EQ(TL_GetPINWidth(s, &w), -2);
    fakepmx::Reply silent = fakepmx::Ok();
    silent.replyCode = 0xFFFF;
    fakepmx::SetResponder([silent](const fakepmx::Call&) { return silent; });
    EXPECT_EQ(TL_GetPINWidth(s, &w), 1);
    EXPECT_EQ(w, 5);
    TL_Close(s);
}

TEST_F(Identity, AnswersFromTheSessionAndConstants) {
    fakepmx::Terminal t;
    t.version = "Ver 6.60 Apr 15 2011";
    t.options = {{"~Platform", "ZMM220_TFT"}, {"~QVFPVersion", "10"}};
    auto* s = ConnectTo(t);
    int flag = -1, fp = -1;
    ASSERT_EQ(TL_IsTFTMachine(s, &flag), 1);
    EXPECT_EQ(flag, 1);
    ASSERT_EQ(TL_GetKeyOptions(s, &fp), 1);
    EXPECT_EQ(fp, 10);
    EXPECT_TRUE(NewCalls().empty());
    flag = 7;
    EXPECT_EQ(TL_IsTFTMachine(nullptr, &flag), -1);
    EXPECT_EQ(flag, 0);
    char text[16];
    EXPECT_EQ(TL_GetSDKVersion(text), 1);
    EXPECT_STREQ(text, "6.0.3.4");

    // The version as the terminal sends it, not normalised.
    fakepmx::Push(fakepmx::OkText("Ver 6.60 Apr 15 2011"));
    char version[50];
    ASSERT_EQ(TL_GetFirmwareVersion(s, version), 1);
    EXPECT_STREQ(version, "Ver 6.60 Apr 15 2011");
    auto c = NewCalls().at(0);
    EXPECT_EQ(c.command, 1100);
    EXPECT_EQ(c.bufferSize, 50);
    EXPECT_EQ(c.requestLength, 0);
    fakepmx::Push(fakepmx::Ok(Bytes(50, 'V')));  // no terminator sent
    ASSERT_EQ(TL_GetFirmwareVersion(s, version), 1);
    EXPECT_EQ(std::strlen(version), 49u);
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(TL_GetFirmwareVersion(s, version), -2);
    TL_Close(s);
}

}  // namespace
