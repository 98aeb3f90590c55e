// Options, device information, identity, clock and status against the
// simulated terminal: both sides written independently must agree.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "harness.h"
#include "termsim/model.h"

namespace {

termsim::GenerateParams Plan(int users, int punches, int opRecords) {
    termsim::GenerateParams plan;
    plan.seed = 3;
    plan.users = users;
    plan.punches = punches;
    plan.days = 5;
    plan.opRecords = opRecords;
    return plan;
}

e2e::HarnessOptions NoLines() {
    e2e::HarnessOptions o;
    o.ptys = 0;
    return o;
}

TEST(TerminalSettings, HiddenOptionsReachTheTerminalScrambledOrPlain) {
    for (auto profile : {termsim::Profile::Classic, termsim::Profile::Extended}) {
        SCOPED_TRACE(termsim::ProfileName(profile));
        termsim::Config config;
        config.profile = profile;
        termsim::Model model(config);
        e2e::SimTerminal sim(model, NoLines());
        TL_HANDLE h = sim.ConnectNetEx();
        ASSERT_NE(h, nullptr);
        // Classic has no "~OS": the value travels scrambled and the terminal
        // must still recover it.
        ASSERT_EQ(TL_SetSysOption(h, "~CustKey", "Hello=World 42"), 1);
        EXPECT_EQ(model.Option("~CustKey"), std::optional<std::string>("Hello=World 42"));
        ASSERT_EQ(TL_SetDeviceInfo(h, 63, 1234), 1);
        EXPECT_EQ(model.Option("~RFSLen"), std::optional<std::string>("1234"));
        char value[100];
        ASSERT_EQ(TL_GetSysOption(h, "~CustKey", value), 1);
        EXPECT_STREQ(value, "Hello=World 42");
        EXPECT_EQ(TL_GetSysOption(h, "NoSuchOption", value), -2);
        EXPECT_EQ(TL_RefreshOptions(h), 1);
        TL_Close(h);
    }
}

TEST(TerminalSettings, DeviceInformationItemsRoundTrip) {
    termsim::Model model;
    e2e::SimTerminal sim(model, NoLines());
    TL_HANDLE h = sim.ConnectNetEx();
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(TL_SetDeviceInfo(h, 9, 4), 1);
    EXPECT_EQ(model.Option("RS232BaudRate"), std::optional<std::string>("19200"));
    int v = -1;
    ASSERT_EQ(TL_GetDeviceInfo(h, 9, &v), 1);
    EXPECT_EQ(v, 4);
    ASSERT_EQ(TL_SetDeviceInfo(h, 3, 2), 1);
    EXPECT_EQ(model.Option("NewLng"), std::optional<std::string>("84"));
    ASSERT_EQ(TL_GetDeviceInfo(h, 3, &v), 1);
    EXPECT_EQ(v, 2);
    ASSERT_EQ(TL_SetDeviceInfo(h, 23, 35), 1);
    EXPECT_EQ(model.Option("MThreshold"), std::optional<std::string>("55"));
    ASSERT_EQ(TL_GetDeviceInfo(h, 23, &v), 1);
    EXPECT_EQ(v, 35);
    char text[100];
    ASSERT_EQ(TL_GetDeviceStrInfo(h, 2, text), 1);
    EXPECT_EQ(std::string(text), model.Option("DeviceID").value_or("?"));
    std::strcpy(text, "IPAddress");
    ASSERT_EQ(TL_GetDeviceInfo(h, 8999, reinterpret_cast<int*>(text)), 1);
    EXPECT_EQ(std::string(text), "IPAddress=" + model.Option("IPAddress").value_or("?"));
    TL_Close(h);
}

TEST(TerminalSettings, IdentityClockStatusAndWidth) {
    for (auto profile : {termsim::Profile::Legacy, termsim::Profile::Tft}) {
        SCOPED_TRACE(termsim::ProfileName(profile));
        termsim::Config config;
        config.profile = profile;
        termsim::Model model(config);
        model.Generate(Plan(25, 40, 20));
        e2e::SimTerminal sim(model, NoLines());
        TL_HANDLE h = sim.ConnectNetEx();
        ASSERT_NE(h, nullptr);

        char text[100];
        ASSERT_EQ(TL_GetProductName(h, text), 1);
        EXPECT_EQ(std::string(text), model.Option("~DeviceName").value_or("Clockara I"));
        ASSERT_EQ(TL_GetVendor(h, text), 1);
        EXPECT_EQ(std::string(text), model.Option("~OEMVendor").value_or("Qavelin Inc."));
        char version[50];
        ASSERT_EQ(TL_GetFirmwareVersion(h, version), 1);
        EXPECT_EQ(std::string(version), model.Version());

        ASSERT_EQ(TL_SetTime(h, 2024, 3, 4, 9, 15, 30), 1);
        // The terminal's clock runs on: a second may tick before it is read.
        const auto set = termsim::EncodeTime(2024, 3, 4, 9, 15, 30);
        EXPECT_GE(model.Clock(), set);
        EXPECT_LE(model.Clock(), set + 1);
        int y = 0, mo = 0, d = 0, hh = 0, mi = 0, ss = 0;
        ASSERT_EQ(TL_GetTime(h, &y, &mo, &d, &hh, &mi, &ss), 1);
        EXPECT_EQ(y, 2024);
        EXPECT_EQ(mo, 3);
        EXPECT_EQ(d, 4);
        EXPECT_EQ(hh, 9);

        int users = -1, records = -1;
        ASSERT_EQ(TL_GetDeviceStatus(h, 2, &users), 1);  // reply word 4
        EXPECT_EQ(users, 25);
        ASSERT_EQ(TL_GetDeviceStatus(h, 6, &records), 1);  // reply word 8
        EXPECT_EQ(records, 40);

        int width = 0;
        ASSERT_EQ(TL_GetPINWidth(h, &width), 1);
        EXPECT_EQ(width, model.PinWidth());
        TL_Close(h);
    }
}

TEST(TerminalSettings, OperationLogInEveryLayout) {
    for (auto profile :
         {termsim::Profile::Classic, termsim::Profile::Extended, termsim::Profile::Tft}) {
        SCOPED_TRACE(termsim::ProfileName(profile));
        termsim::Config config;
        config.profile = profile;
        termsim::Model model(config);
        model.Generate(Plan(30, 10, 60));
        const auto ops = model.OpLog();
        e2e::SimTerminal sim(model, NoLines());
        TL_HANDLE h = sim.ConnectNetEx();
        ASSERT_NE(h, nullptr);
        int width = 0;
        ASSERT_EQ(TL_GetPINWidth(h, &width), 1);
        std::size_t i = 0;
        for (;; ++i) {
            SCOPED_TRACE("record " + std::to_string(i));
            int code = -1, y, mo, d, hh, mi, ss;
            if (profile == termsim::Profile::Tft) {
                char op[24], user[24], time[32];
                int params[3];
                const int r = TL_SSR_GetOpLog(h, op, user, &code, time, params);
                if (r == 0) break;
                ASSERT_EQ(r, 1);
                ASSERT_LT(i, ops.size());
                EXPECT_EQ(std::string(op, strnlen(op, 24)), ops[i].operatorId);
                EXPECT_EQ(code, ops[i].code);
                const auto t = termsim::DecodeTime(ops[i].time);
                char want[32];
                std::snprintf(want, sizeof want, "%02d-%02d-%d %02d:%02d", t.month, t.day, t.year,
                              t.hour, t.minute);
                EXPECT_STREQ(time, want);
            } else {
                int op = -1, params[4];
                const int r = TL_GetOpLog(h, &op, &code, params, &y, &mo, &d, &hh, &mi, &ss);
                if (r == 0) break;
                ASSERT_EQ(r, 1);
                ASSERT_LT(i, ops.size());
                EXPECT_EQ(static_cast<std::uint32_t>(op), ops[i].operatorNumber);
                EXPECT_EQ(code, ops[i].code);
                const bool userOp = (code >= 6 && code <= 12) || code == 30;
                if (userOp && ops[i].targetPin != 0) {
                    EXPECT_EQ(static_cast<std::uint32_t>(params[0]), ops[i].targetNumber);
                }
                const auto t = termsim::DecodeTime(ops[i].time);
                EXPECT_EQ(ss, t.second);
                EXPECT_EQ(d, t.day);
            }
        }
        EXPECT_EQ(i, ops.size());
        TL_Close(h);
    }
}

}  // namespace
