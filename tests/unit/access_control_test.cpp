// Access control: time zones, groups, holidays, unlock combinations, door
// state and remote unlock, checked byte for byte against the fake transport.
#include <cstring>
#include <string>

#include "test_support.h"

using namespace tltest;
using fakepmx::Op;

namespace {

class Access : public FakeTransportTest {
  protected:
    tl::DeviceSession* Open(const char* platform = "ZEM") {
        fakepmx::Terminal t;
        t.options = {{"~Platform", platform}};
        return ConnectTo(t);
    }
    fakepmx::Call OnlyCall() {
        auto calls = NewCalls();
        EXPECT_EQ(calls.size(), 1u);
        return calls.empty() ? fakepmx::Call{} : calls[0];
    }
};

Bytes U16(std::uint16_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
}

TEST_F(Access, NullSessionSendsNothing) {
    char text[200];
    int v = 0;
    EXPECT_EQ(TL_GetTZInfo(nullptr, 1, text), -1);
    EXPECT_EQ(TL_SetHoliday(nullptr, ""), -1);
    EXPECT_EQ(TL_GetDoorState(nullptr, &v), -1);
    EXPECT_EQ(TL_Unlock(nullptr, 5), -1);
    EXPECT_TRUE(fakepmx::Calls().empty());
}

TEST_F(Access, TimeZoneTextIsParsedAndRangeChecked) {
    auto* s = Open();
    const std::string zeros(56, '0');
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_SetTZInfo(s, 3, zeros.c_str()), 1);
    auto c = OnlyCall();
    EXPECT_EQ(c.command, 28);
    EXPECT_EQ(c.bufferSize, 0);
    EXPECT_EQ(c.timeout, 4000);
    EXPECT_EQ(c.request, Cat({U32(3), Bytes(28, 0)}));

    // Monday 08:30-17:45 in entry 0, 23:59 end elsewhere.
    std::string text = "08301745";
    for (int i = 1; i < 7; ++i) text += "00002359";
    ClearCalls();
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_SetTZInfo(s, 7, text.c_str()), 1);
    Bytes expect = Cat({U32(7), Bytes{8, 30, 17, 45}});
    for (int i = 1; i < 7; ++i) expect = Cat({expect, Bytes{0, 0, 23, 59}});
    EXPECT_EQ(OnlyCall().request, expect);

    // The third entry ends at hour 24: refused, nothing sent.
    std::string bad = zeros;
    bad.replace(16, 8, "00002400");
    ClearCalls();
    EXPECT_EQ(TL_SetTZInfo(s, 1, bad.c_str()), 4);
    bad = zeros;
    bad.replace(2, 2, "60");  // start minute 60
    EXPECT_EQ(TL_SetTZInfo(s, 1, bad.c_str()), 4);
    // A non-digit gives a large 8-bit value, refused as out of range.
    bad = zeros;
    bad[0] = '/';
    EXPECT_EQ(TL_SetTZInfo(s, 1, bad.c_str()), 4);
    // Short texts are never read past their end.
    EXPECT_EQ(TL_SetTZInfo(s, 1, "0830174"), 4);
    EXPECT_EQ(TL_SetTZInfo(s, 1, zeros.substr(0, 55).c_str()), 4);
    EXPECT_EQ(TL_SetTZInfo(s, 1, nullptr), 4);
    EXPECT_TRUE(NewCalls().empty());

    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(TL_SetTZInfo(s, 1, zeros.c_str()), -2);
    TL_Close(s);
}

TEST_F(Access, TimeZoneReadSkipsTheTftPrefix) {
    Bytes entries;
    for (int e = 0; e < 7; ++e)
        entries = Cat({entries, Bytes{static_cast<std::uint8_t>(e), 5, 23, 59}});
    std::string expect;
    for (int e = 0; e < 7; ++e) expect += "0" + std::to_string(e) + "052359";

    auto* s = Open();
    fakepmx::Push(fakepmx::Ok(entries));
    char text[57];
    std::memset(text, 'x', sizeof text);
    ASSERT_EQ(TL_GetTZInfo(s, 9, text), 1);
    EXPECT_EQ(std::string(text), expect);
    auto c = OnlyCall();
    EXPECT_EQ(c.command, 27);
    EXPECT_EQ(c.request, U32(9));
    EXPECT_EQ(c.bufferSize, 100);

    // A reply too short for seven entries is a failure; the text is kept.
    std::memset(text, 'x', sizeof text);
    fakepmx::Push(fakepmx::Ok(Bytes(27, 1)));
    EXPECT_EQ(TL_GetTZInfo(s, 9, text), -2);
    EXPECT_EQ(text[0], 'x');
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(TL_GetTZInfo(s, 9, text), -2);
    // A byte above 99 stays within two digits.
    fakepmx::Push(fakepmx::Ok(Cat({Bytes{200, 0, 0, 0}, Bytes(24, 0)})));
    ASSERT_EQ(TL_GetTZInfo(s, 9, text), 1);
    EXPECT_EQ(std::string(text).substr(0, 8), "99000000");
    EXPECT_EQ(std::strlen(text), 56u);
    TL_Close(s);

    auto* tft = Open("ZMM_TFT");
    fakepmx::Push(fakepmx::Ok(Cat({Bytes{0xEE, 0xEE}, entries})));
    ASSERT_EQ(TL_GetTZInfo(tft, 9, text), 1);
    EXPECT_EQ(std::string(text), expect);
    // Without its two leading bytes the TFT reply is short.
    fakepmx::Push(fakepmx::Ok(entries));
    EXPECT_EQ(TL_GetTZInfo(tft, 9, text), -2);
    TL_Close(tft);
}

TEST_F(Access, GroupZoneListsOnClassicTerminals) {
    auto* s = Open();
    int zones[4] = {4, 0, 9, 77};
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_SetGroupTZs(s, 2, zones), 1);
    auto c = OnlyCall();
    EXPECT_EQ(c.command, 26);
    EXPECT_EQ(c.request, Cat({U32(2), U32(1), U32(4), U32(0), U32(9)}));
    EXPECT_EQ(c.bufferSize, 100);

    ClearCalls();
    int all[4] = {1, 2, 3, 0};
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_SetGroupTZs(s, 2, all), 1);
    EXPECT_EQ(OnlyCall().request, Cat({U32(2), U32(3), U32(1), U32(2), U32(3)}));

    ClearCalls();
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_SetGroupTZs(s, 2, nullptr), 1);
    EXPECT_EQ(OnlyCall().request, U32(2));

    // Read: a count of 2 copies two zones, entry 2 is zeroed, entry 3 kept.
    ClearCalls();
    int out[4] = {9, 9, 9, 9};
    fakepmx::Push(fakepmx::Ok(Cat({U32(2), U32(5), U32(6)})));
    ASSERT_EQ(TL_GetGroupTZs(s, 4, out), 1);
    EXPECT_EQ(out[0], 5);
    EXPECT_EQ(out[1], 6);
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(out[3], 9);
    c = OnlyCall();
    EXPECT_EQ(c.command, 25);
    EXPECT_EQ(c.request, U32(4));
    EXPECT_EQ(c.bufferSize, 100);

    // A negative count -1 - n; zones beyond what arrived are not read.
    fakepmx::Push(fakepmx::Ok(Cat({U32(static_cast<std::uint32_t>(-4)), U32(7), U32(8)})));
    ASSERT_EQ(TL_GetGroupTZs(s, 4, out), 1);
    EXPECT_EQ(out[0], 7);
    EXPECT_EQ(out[1], 8);
    EXPECT_EQ(out[2], 0);

    // A count above 3 copies three.
    fakepmx::Push(fakepmx::Ok(Cat({U32(9), U32(1), U32(2), U32(3), U32(4)})));
    ASSERT_EQ(TL_GetGroupTZs(s, 4, out), 1);
    EXPECT_EQ(out[2], 3);
    EXPECT_EQ(out[3], 9);

    // Refused or headerless answers leave the array alone.
    out[0] = 42;
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(TL_GetGroupTZs(s, 4, out), -2);
    fakepmx::Push(fakepmx::Ok(Bytes{1, 0}));
    EXPECT_EQ(TL_GetGroupTZs(s, 4, out), -2);
    EXPECT_EQ(out[0], 42);
    TL_Close(s);
}

TEST_F(Access, GroupZoneListsOnTftTerminals) {
    auto* s = Open("ZMM_TFT");
    int zones[4] = {4, 0, 9, 2};
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_SetGroupTZs(s, 2, zones), 1);
    EXPECT_EQ(OnlyCall().request, Cat({U32(2), U32(2), U32(4), U32(0), U32(9)}));

    int out[4] = {0, 0, 0, 0};
    fakepmx::Push(fakepmx::Ok(Cat({U16(11), U16(12), U16(13), U16(3)})));
    ASSERT_EQ(TL_GetGroupTZs(s, 2, out), 1);
    EXPECT_EQ(out[0], 11);
    EXPECT_EQ(out[1], 12);
    EXPECT_EQ(out[2], 13);
    EXPECT_EQ(out[3], 3);
    fakepmx::Push(fakepmx::Ok(Cat({U16(11), U16(12), U16(13)})));
    EXPECT_EQ(TL_GetGroupTZs(s, 2, out), -2);
    TL_Close(s);
}

TEST_F(Access, GroupRecords) {
    auto* s = Open();
    EXPECT_EQ(TL_SetGroupTZ(s, 0, 1, 2, 3, 0, 0), 4);
    EXPECT_EQ(TL_SetGroupTZ(s, 100, 1, 2, 3, 0, 0), 4);
    EXPECT_EQ(TL_SetGroupTZ(s, 5, 1, 2, 51, 0, 0), 4);
    int z1 = 0, z2 = 0, z3 = 0, flag = 0, value = 0;
    EXPECT_EQ(TL_GetGroupTZ(s, 100, &z1, &z2, &z3, &flag, &value), 4);
    EXPECT_EQ(TL_GetGroupTZ(s, -1, &z1, &z2, &z3, &flag, &value), 4);
    EXPECT_TRUE(NewCalls().empty());

    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_SetGroupTZ(s, 5, 1, 2, 3, 1, 2), 1);
    auto c = OnlyCall();
    EXPECT_EQ(c.command, 26);
    EXPECT_EQ(c.request, (Bytes{5, 1, 0, 2, 0, 3, 0, 0x82}));
    EXPECT_EQ(c.bufferSize, 0);

    ClearCalls();
    fakepmx::Push(fakepmx::Ok(Bytes{5, 0x10, 0x01, 2, 0, 50, 0, 0x83}));
    ASSERT_EQ(TL_GetGroupTZ(s, 5, &z1, &z2, &z3, &flag, &value), 1);
    EXPECT_EQ(z1, 0x110);
    EXPECT_EQ(z2, 2);
    EXPECT_EQ(z3, 50);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(value, 3);
    c = OnlyCall();
    EXPECT_EQ(c.command, 25);
    EXPECT_EQ(c.request, (Bytes{5, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(c.bufferSize, 8);

    // Missing entry, other refusal, short reply.
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(TL_GetGroupTZ(s, 5, &z1, &z2, &z3, &flag, &value), -100);
    fakepmx::Reply other = fakepmx::Ok();
    other.replyCode = 2005;
    fakepmx::Push(other);
    EXPECT_EQ(TL_GetGroupTZ(s, 5, &z1, &z2, &z3, &flag, &value), -2);
    fakepmx::Push(fakepmx::Ok(Bytes{5, 9, 9}));
    EXPECT_EQ(TL_GetGroupTZ(s, 5, &z1, &z2, &z3, &flag, &value), -2);
    EXPECT_EQ(z1, 0x110);
    TL_Close(s);
}

TEST_F(Access, HolidayTableText) {
    auto* s = Open();
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_SetHoliday(s, "01010102"), 1);
    auto c = OnlyCall();
    EXPECT_EQ(c.command, 301);
    EXPECT_EQ(c.bufferSize, 0);
    EXPECT_EQ(c.request, Cat({U32(103), Bytes{1, 1, 1, 2}, Bytes(92, 0)}));

    // Month 13 or day 32 anywhere refuses the whole text; so does a text that
    // ends inside an entry.
    ClearCalls();
    EXPECT_EQ(TL_SetHoliday(s, "0101010213010101"), 4);
    EXPECT_EQ(TL_SetHoliday(s, "01320101"), 4);
    EXPECT_EQ(TL_SetHoliday(s, "0101"), 4);
    EXPECT_EQ(TL_SetHoliday(s, "010101020101"), 4);
    EXPECT_EQ(TL_SetHoliday(s, nullptr), 4);
    EXPECT_TRUE(NewCalls().empty());

    // The empty text clears the table; more than 24 entries stop at 24.
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_SetHoliday(s, ""), 1);
    EXPECT_EQ(OnlyCall().request, Cat({U32(103), Bytes(96, 0)}));
    std::string many;
    for (int i = 0; i < 25; ++i) many += "12311231";
    ClearCalls();
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_SetHoliday(s, many.c_str()), 1);
    Bytes full = U32(103);
    for (int i = 0; i < 24; ++i) full = Cat({full, Bytes{12, 31, 12, 31}});
    EXPECT_EQ(OnlyCall().request, full);

    // Reading back: one entry in use gives length 8.
    ClearCalls();
    fakepmx::Push(fakepmx::Ok(Cat({Bytes{1, 1, 1, 2}, Bytes(92, 0)})));
    char text[193];
    int length = -1;
    ASSERT_EQ(TL_GetHoliday(s, text, &length), 1);
    EXPECT_EQ(length, 8);
    EXPECT_EQ(std::string(text), "01010102" + std::string(184, '0'));
    c = OnlyCall();
    EXPECT_EQ(c.command, 300);
    EXPECT_EQ(c.request, U32(103));
    EXPECT_EQ(c.bufferSize, 210);

    fakepmx::Push(fakepmx::Ok(Bytes(95, 0)));
    EXPECT_EQ(TL_GetHoliday(s, text, &length), -2);
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(TL_GetHoliday(s, text, &length), -2);
    EXPECT_EQ(length, 8);
    TL_Close(s);
}

TEST_F(Access, HolidayRecords) {
    auto* s = Open();
    EXPECT_EQ(TL_SetHolidayTZ(s, 0, 1, 1, 1, 1, 1), 4);
    EXPECT_EQ(TL_SetHolidayTZ(s, 25, 1, 1, 1, 1, 1), 4);
    EXPECT_EQ(TL_SetHolidayTZ(s, 1, 13, 1, 1, 1, 1), 4);
    EXPECT_EQ(TL_SetHolidayTZ(s, 1, 1, 32, 1, 1, 1), 4);
    EXPECT_EQ(TL_SetHolidayTZ(s, 1, 1, 1, 1, 32, 1), 4);
    int sm = 0, sd = 0, em = 0, ed = 0, zone = 0;
    EXPECT_EQ(TL_GetHolidayTZ(s, 0, &sm, &sd, &em, &ed, &zone), 4);
    EXPECT_TRUE(NewCalls().empty());

    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_SetHolidayTZ(s, 24, 12, 24, 12, 26, 0x0203), 1);
    auto c = OnlyCall();
    EXPECT_EQ(c.command, 92);
    EXPECT_EQ(c.request, (Bytes{24, 0, 12, 24, 12, 26, 3, 2}));
    EXPECT_EQ(c.bufferSize, 0);

    ClearCalls();
    fakepmx::Push(fakepmx::Ok(Bytes{3, 0, 5, 1, 5, 3, 7, 0}));
    ASSERT_EQ(TL_GetHolidayTZ(s, 3, &sm, &sd, &em, &ed, &zone), 1);
    EXPECT_EQ(sm, 5);
    EXPECT_EQ(sd, 1);
    EXPECT_EQ(em, 5);
    EXPECT_EQ(ed, 3);
    EXPECT_EQ(zone, 7);
    c = OnlyCall();
    EXPECT_EQ(c.command, 91);
    EXPECT_EQ(c.request, (Bytes{3, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(c.bufferSize, 8);
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(TL_GetHolidayTZ(s, 3, &sm, &sd, &em, &ed, &zone), -100);
    TL_Close(s);
}

TEST_F(Access, UnlockCombinations) {
    auto* s = Open();
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_SetlockComb(s, 3, 1, 0, 7, 0, 0), 1);
    auto c = OnlyCall();
    EXPECT_EQ(c.command, 30);
    EXPECT_EQ(c.request, (Bytes{3, 1, 0, 7, 0, 0, 2, 0}));
    EXPECT_EQ(c.bufferSize, 0);

    ClearCalls();
    EXPECT_EQ(TL_SetlockComb(s, 11, 1, 0, 0, 0, 0), 4);
    EXPECT_EQ(TL_SetlockComb(s, -1, 1, 0, 0, 0, 0), 4);
    EXPECT_EQ(TL_SetlockComb(s, 1, 100, 0, 0, 0, 0), 4);
    EXPECT_EQ(TL_SetlockComb(s, 1, 1, 0, 0, 0, -1), 4);
    EXPECT_EQ(TL_SetlockComb(s, 1, -1, 0, 0, 0, 0), 4);
    int g[5] = {-1, -1, -1, -1, -1};
    EXPECT_EQ(TL_GetlockComb(s, 11, &g[0], &g[1], &g[2], &g[3], &g[4]), 4);
    EXPECT_EQ(TL_GetlockComb(s, -1, &g[0], &g[1], &g[2], &g[3], &g[4]), 4);
    EXPECT_TRUE(NewCalls().empty());

    fakepmx::Push(fakepmx::Ok(Bytes{3, 1, 0, 7, 99, 0, 3, 0}));
    ASSERT_EQ(TL_GetlockComb(s, 3, &g[0], &g[1], &g[2], &g[3], &g[4]), 1);
    EXPECT_EQ(g[0], 1);
    EXPECT_EQ(g[2], 7);
    EXPECT_EQ(g[3], 99);
    c = OnlyCall();
    EXPECT_EQ(c.command, 29);
    EXPECT_EQ(c.request, (Bytes{3, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(c.bufferSize, 8);
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(TL_GetlockComb(s, 3, &g[0], &g[1], &g[2], &g[3], &g[4]), -100);
    TL_Close(s);
}

TEST_F(Access, UnlockGroupTextPassesThrough) {
    auto* s = Open();
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_SetUnlockGroups(s, "1:2,3"), 1);
    auto c = OnlyCall();
    EXPECT_EQ(c.command, 30);
    EXPECT_EQ(c.request, Text("1:2,3", false));
    EXPECT_EQ(c.requestLength, 5);
    EXPECT_EQ(c.bufferSize, 5);

    ClearCalls();
    char text[200];
    fakepmx::Push(fakepmx::OkText("1:2,3"));
    ASSERT_EQ(TL_GetUnlockGroups(s, text), 1);
    EXPECT_STREQ(text, "1:2,3");
    c = OnlyCall();
    EXPECT_EQ(c.command, 29);
    EXPECT_EQ(c.requestLength, 0);
    EXPECT_EQ(c.bufferSize, 200);

    // A text filling the whole buffer still ends inside it.
    fakepmx::Push(fakepmx::Ok(Bytes(200, 'A')));
    ASSERT_EQ(TL_GetUnlockGroups(s, text), 1);
    EXPECT_EQ(std::strlen(text), 199u);
    // Refused: the text is emptied.
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(TL_GetUnlockGroups(s, text), -2);
    EXPECT_EQ(text[0], 0);
    TL_Close(s);
}

TEST_F(Access, DoorStateAndUnlock) {
    auto* s = Open();
    int state = -1;
    fakepmx::Push(fakepmx::Ok(Bytes{0xC8}));
    ASSERT_EQ(TL_GetDoorState(s, &state), 1);
    EXPECT_EQ(state, 200);
    auto c = OnlyCall();
    EXPECT_EQ(c.command, 75);
    EXPECT_EQ(c.bufferSize, 1);
    EXPECT_EQ(c.requestLength, 0);
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_GetDoorState(s, &state), -2);
    EXPECT_EQ(state, 200);

    ClearCalls();
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_Unlock(s, 0x01020304), 1);
    c = OnlyCall();
    EXPECT_EQ(c.command, 31);
    EXPECT_EQ(c.request, (Bytes{4, 3, 2, 1}));
    EXPECT_EQ(c.bufferSize, 0);
    EXPECT_EQ(c.timeout, 4000);
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(TL_Unlock(s, 1), -2);
    TL_Close(s);
}

TEST_F(Access, LockFunctionOption) {
    auto* s = Open();
    int value = -1;
    fakepmx::Push(fakepmx::OkText("~LockFunOn=3"));
    ASSERT_EQ(TL_GetACFun(s, &value), 1);
    EXPECT_EQ(value, 3);
    auto c = OnlyCall();
    EXPECT_EQ(c.command, 11);
    EXPECT_EQ(c.request, Text("~LockFunOn"));
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(TL_GetACFun(s, &value), -2);
    EXPECT_EQ(value, 3);
    TL_Close(s);
}

}  // namespace
