// Attendance and operation log iteration in every record layout.
#include <cstring>
#include <string>

#include "common/bytes.h"
#include "records/device_time.h"
#include "test_support.h"

using namespace tltest;
using fakepmx::Op;

namespace {

Bytes U16(std::uint16_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
}

Bytes LongRec(std::uint16_t pin, int state, int mode, std::uint32_t time) {
    return Cat({U16(pin), Bytes{static_cast<std::uint8_t>(state << 5 | mode << 3), 0}, U32(time)});
}
Bytes ShortRec(std::uint16_t pin, int state, int mode, int delta) {
    return Cat(
        {U16(pin), Bytes{static_cast<std::uint8_t>(state << 5 | mode << 3 | 4 | (delta >> 8)),
                         static_cast<std::uint8_t>(delta & 0xFF)}});
}
Bytes ExtRec(std::uint32_t pin, std::uint32_t time, int state, int mode, std::uint16_t word,
             std::uint32_t code) {
    return Cat({U32(pin), U32(time),
                Bytes{static_cast<std::uint8_t>(state), static_cast<std::uint8_t>(mode)}, U16(word),
                U32(code)});
}
Bytes SsrRec(const std::string& id, int mode, std::uint32_t time, int state, std::uint32_t code) {
    Bytes r(40, 0xCC);
    Bytes idField(24, 0);
    std::memcpy(idField.data(), id.data(), std::min<std::size_t>(id.size(), 24));
    std::copy(idField.begin(), idField.end(), r.begin() + 2);
    r[26] = static_cast<std::uint8_t>(mode);
    tl::store_u32(r.data() + 27, time);
    r[31] = static_cast<std::uint8_t>(state);
    tl::store_u32(r.data() + 32, code);
    return r;
}
Bytes OpRec(std::uint16_t op, int code, std::uint32_t time, std::uint16_t p1, std::uint16_t p2 = 0,
            std::uint16_t p3 = 0, std::uint16_t p4 = 0) {
    return Cat({U16(op), Bytes{static_cast<std::uint8_t>(code), 0}, U32(time), U16(p1), U16(p2),
                U16(p3), U16(p4)});
}
Bytes UserRec(std::uint16_t pin, std::uint32_t pin2) {
    Bytes r(28, 0);
    tl::store_u16(r.data(), pin);
    tl::store_u32(r.data() + 24, pin2);
    return r;
}
fakepmx::Reply Table(const Bytes& records) {
    return fakepmx::Ok(Cat({U32(static_cast<std::uint32_t>(records.size())), records}));
}

struct Punch {
    int pin = -1, year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    unsigned char mode = 0xEE, state = 0xEE;
    int extraCode = -1, extraWord = -1;
    tl::CalendarTime Time() const { return {year, month, day, hour, minute, second}; }
};

int GetLog(void* s, Punch& p) {
    return TL_GetLog(s, &p.pin, &p.mode, &p.state, &p.year, &p.month, &p.day, &p.hour, &p.minute,
                     &p.second);
}
int GetExtLog(void* s, Punch& p) {
    return TL_GetExtLog(s, &p.pin, &p.mode, &p.state, &p.year, &p.month, &p.day, &p.hour, &p.minute,
                        &p.second, &p.extraCode, &p.extraWord);
}
int SsrGetLog(void* s, char* id, Punch& p) {
    return TL_SSR_GetLog(s, id, &p.mode, &p.state, &p.year, &p.month, &p.day, &p.hour, &p.minute,
                         &p.second, &p.extraCode);
}

struct OpEntry {
    int op = -1, code = -1, params[4] = {-1, -1, -1, -1};
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
int GetOpLog(void* s, OpEntry& e) {
    return TL_GetOpLog(s, &e.op, &e.code, e.params, &e.year, &e.month, &e.day, &e.hour, &e.minute,
                       &e.second);
}

const std::uint32_t T = tl::EncodeDeviceTime(2011, 4, 15, 8, 30, 5);

class LogIter : public FakeTransportTest {
  protected:
    tl::DeviceSession* Open(const char* version, const char* extendFmt = "0",
                            const char* extendOpLog = "0") {
        fakepmx::Terminal t;
        t.version = version;
        t.options = {{"~ExtendFmt", extendFmt}, {"ExtendOPLog", extendOpLog}};
        return ConnectTo(t);
    }
    // Answers the prepared log read of "Ver 6.01" and later with `records`.
    void ServeLog(const Bytes& records) {
        fakepmx::Push(Table(records));
        fakepmx::Push(fakepmx::Ok());
    }
};

TEST_F(LogIter, CompactRecordsCarryDeltasAgainstTheLastFullTime) {
    auto* s = Open("Ver 6.60 Apr 15 2011");
    ServeLog(Cat({LongRec(12, 1, 2, T), ShortRec(13, 5, 1, 90), ShortRec(14, 7, 3, 1023),
                  LongRec(15, 0, 0, T + 5000), ShortRec(16, 0, 0, 0)}));
    Punch p;
    ASSERT_EQ(GetLog(s, p), 1);
    auto calls = NewCalls();
    ASSERT_EQ(calls.size(), 2u);  // the first call downloaded the log (mode 1)
    EXPECT_EQ(calls[0].command, 120);
    EXPECT_EQ(calls[0].request, Bytes{1});
    EXPECT_EQ(p.pin, 12);
    EXPECT_EQ(p.state, 1);
    EXPECT_EQ(p.mode, 2);
    EXPECT_EQ(p.Time(), (tl::CalendarTime{2011, 4, 15, 8, 30, 5}));
    ASSERT_EQ(GetLog(s, p), 1);
    EXPECT_EQ(p.pin, 13);
    EXPECT_EQ(p.state, 5);
    EXPECT_EQ(p.mode, 1);
    EXPECT_EQ(p.Time(), (tl::CalendarTime{2011, 4, 15, 8, 31, 35}));
    ASSERT_EQ(GetExtLog(s, p), 1);
    EXPECT_EQ(p.pin, 14);
    EXPECT_EQ(p.state, 7);
    EXPECT_EQ(p.mode, 3);
    EXPECT_EQ(p.Time(), tl::DecodeDeviceTime(T + 1023));  // still against T
    EXPECT_EQ(p.extraCode, 0);
    EXPECT_EQ(p.extraWord, 0);
    ASSERT_EQ(GetLog(s, p), 1);
    EXPECT_EQ(p.Time(), tl::DecodeDeviceTime(T + 5000));
    ASSERT_EQ(GetLog(s, p), 1);
    EXPECT_EQ(p.Time(), tl::DecodeDeviceTime(T + 5000));
    Punch untouched;
    EXPECT_EQ(GetLog(s, untouched), 0);
    EXPECT_EQ(untouched.pin, -1);
    EXPECT_EQ(untouched.mode, 0xEE);
    EXPECT_EQ(NewCalls().size(), 2u);
    TL_Close(s);
}

TEST_F(LogIter, EndMarkerAndCutRecordsEndTheIteration) {
    auto* s = Open("Ver 6.60 Apr 15 2011");
    ServeLog(Cat({LongRec(1, 0, 0, T), LongRec(0xFFFF, 0, 0, T), LongRec(2, 0, 0, T)}));
    Punch p;
    ASSERT_EQ(GetLog(s, p), 1);
    EXPECT_EQ(GetLog(s, p), 0);
    EXPECT_EQ(GetLog(s, p), 0);  // and stays at the end
    EXPECT_EQ(NewCalls().size(), 2u);

    // A full-time record with only 6 of its 8 bytes received.
    Bytes cut = LongRec(3, 0, 0, T);
    cut.resize(6);
    ServeLog(Cat({ShortRec(2, 0, 0, 1), cut}));
    ASSERT_EQ(TL_ReadLog(s, 1), 1);
    ASSERT_EQ(GetLog(s, p), 1);
    EXPECT_EQ(p.pin, 2);
    EXPECT_EQ(GetLog(s, p), 0);
    EXPECT_EQ(GetLog(s, p), 0);

    // A terminal claiming far more than it sent: only what came is read.
    fakepmx::Push(fakepmx::Ok(Cat({U32(1u << 20), LongRec(4, 0, 0, T), Bytes{0x05}})));
    fakepmx::Push(fakepmx::Ok());
    ASSERT_EQ(TL_ReadLog(s, 1), 1);
    ASSERT_EQ(GetLog(s, p), 1);
    EXPECT_EQ(p.pin, 4);
    EXPECT_EQ(GetLog(s, p), 0);
    TL_Close(s);
}

TEST_F(LogIter, WideUserNumbersAreMappedToPin2) {
    auto* s = Open("Ver 6.60 Apr 15 2011");
    s->pinWidth = 5;
    ServeLog(Cat({LongRec(7, 0, 0, T), LongRec(8, 0, 0, T), LongRec(9, 0, 0, T)}));
    Punch p;
    ASSERT_EQ(GetLog(s, p), 1);
    EXPECT_EQ(p.pin, 7);  // width 5: as stored, and no user table needed
    EXPECT_EQ(NewCalls().size(), 2u);

    s->pinWidth = 9;
    fakepmx::Push(Table(Cat({UserRec(8, 123456789), UserRec(9, 0)})));
    ASSERT_EQ(GetLog(s, p), 1);
    EXPECT_EQ(p.pin, 123456789);
    auto calls = NewCalls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[2].command, 9);  // user table downloaded once
    ASSERT_EQ(GetLog(s, p), 1);
    EXPECT_EQ(p.pin, 9);  // PIN2 0 keeps the PIN
    EXPECT_EQ(NewCalls().size(), 3u);
    TL_Close(s);
}

TEST_F(LogIter, ExtendedRecordsCarryTheExtraFields) {
    auto* s = Open("Ver 6.60 Apr 15 2011", "1");
    ASSERT_EQ(s->extendFmt, 1);
    ServeLog(Cat(
        {ExtRec(123456, T, 4, 2, 0xBEEF, 0xDEADBEEF), ExtRec(5, T + 1, 0, 1, 0, 0), Bytes(15, 0)}));
    Punch p;
    ASSERT_EQ(GetExtLog(s, p), 1);
    EXPECT_EQ(p.pin, 123456);
    EXPECT_EQ(p.state, 4);
    EXPECT_EQ(p.mode, 2);
    EXPECT_EQ(p.extraWord, 0xBEEF);
    EXPECT_EQ(p.extraCode, static_cast<int>(0xDEADBEEF));
    EXPECT_EQ(p.Time(), tl::DecodeDeviceTime(T));
    ASSERT_EQ(GetLog(s, p), 1);
    EXPECT_EQ(p.pin, 5);
    EXPECT_EQ(GetLog(s, p), 0);  // 15 trailing bytes are no record
    TL_Close(s);
}

TEST_F(LogIter, TextIdRecordsHonourTheUserNumberWidth) {
    auto* s = Open("Ver 6.60 Apr 15 2011");
    ServeLog(Cat({SsrRec("1234567", 15, T, 3, 77), SsrRec("42", 1, T + 60, 0, 0),
                  SsrRec(std::string(24, 'A'), 1, T, 0, 0), Bytes(39, 0)}));
    Punch p;
    char id[32];
    std::memset(id, 'x', sizeof id);
    s->pinWidth = 5;
    ASSERT_EQ(SsrGetLog(s, id, p), 1);
    EXPECT_EQ(std::string(id, 6), std::string("12345x"));  // width 5: no terminator
    EXPECT_EQ(p.mode, 15);
    EXPECT_EQ(p.state, 3);
    EXPECT_EQ(p.extraCode, 77);
    EXPECT_EQ(p.Time(), tl::DecodeDeviceTime(T));

    s->pinWidth = 9;
    std::memset(id, 'x', sizeof id);
    ASSERT_EQ(SsrGetLog(s, id, p), 1);
    EXPECT_EQ(std::string(id, 10), std::string("42\0\0\0\0\0\0\0x", 10));

    // Wider than the field: the ID's 24 bytes and nothing past them (the
    // caller's buffer holds 24), so a full-width ID has no terminator.
    s->pinWidth = 30;
    std::memset(id, 'x', sizeof id);
    ASSERT_EQ(SsrGetLog(s, id, p), 1);
    EXPECT_EQ(std::string(id, 25), std::string(24, 'A') + "x");

    // A record cut short ends the iteration; the text has no end marker.
    EXPECT_EQ(SsrGetLog(s, nullptr, p), 0);
    EXPECT_EQ(SsrGetLog(s, nullptr, p), 0);
    TL_Close(s);
}

TEST_F(LogIter, TextIdReaderWithoutBufferOrWidth) {
    auto* s = Open("Ver 6.60 Apr 15 2011");
    ServeLog(Cat({SsrRec("99", 4, T, 1, 5), SsrRec("98", 4, T, 1, 5)}));
    Punch p;
    ASSERT_EQ(SsrGetLog(s, nullptr, p), 1);
    EXPECT_EQ(p.mode, 4);
    EXPECT_EQ(p.Time(), tl::DecodeDeviceTime(T));
    char id[8];
    std::memset(id, 'x', sizeof id);
    s->pinWidth = 0;
    ASSERT_EQ(SsrGetLog(s, id, p), 1);
    EXPECT_EQ(id[0], 'x');  // width 0: nothing copied
    TL_Close(s);
}

TEST_F(LogIter, EmptyLogIsAFailureOnEveryCall) {
    auto* s = Open("Ver 6.60 Apr 15 2011");
    Punch p;
    char id[32];
    for (int i = 0; i < 2; ++i) {
        fakepmx::Push(fakepmx::Error());
        EXPECT_EQ(GetLog(s, p), -2);
        fakepmx::Push(fakepmx::Error());
        EXPECT_EQ(GetExtLog(s, p), -2);
        fakepmx::Push(fakepmx::Error());
        EXPECT_EQ(SsrGetLog(s, id, p), -2);
    }
    EXPECT_EQ(NewCalls().size(), 6u);  // each call asked again
    EXPECT_EQ(p.pin, -1);
    EXPECT_EQ(GetLog(nullptr, p), -1);
    EXPECT_EQ(GetExtLog(nullptr, p), -1);
    EXPECT_EQ(SsrGetLog(nullptr, id, p), -1);
    TL_Close(s);
}

TEST_F(LogIter, ReadingTemplatesForgetsTheLog) {
    auto* s = Open("Ver 6.60 Apr 15 2011");
    ServeLog(LongRec(1, 0, 0, T));
    Punch p;
    ASSERT_EQ(GetLog(s, p), 1);
    fakepmx::Push(Table(Bytes(10, 0)));
    ASSERT_EQ(TL_ReadTempData(s), 1);
    EXPECT_EQ(s->log.dataLen, 0);
    ServeLog(LongRec(2, 0, 0, T));
    ClearCalls();
    ASSERT_EQ(GetLog(s, p), 1);
    EXPECT_EQ(p.pin, 2);
    EXPECT_EQ(NewCalls().at(0).command, 120);
    TL_Close(s);
}

TEST_F(LogIter, StandardOperationRecords) {
    auto* old = Open("Ver 5.03 Jan 01 2005");
    OpEntry e;
    EXPECT_EQ(GetOpLog(old, e), 0);
    EXPECT_TRUE(NewCalls().empty());
    TL_Close(old);

    auto* s = Open("Ver 6.60 Apr 15 2011");
    s->pinWidth = 9;
    fakepmx::Push(
        Table(Cat({OpRec(3, 30, T, 0, 1, 2, 3), OpRec(3, 6, T + 1, 4, 5, 6, 7),
                   OpRec(3, 5, T, 4, 0, 0, 0), OpRec(0xFFFF, 1, T, 1), OpRec(1, 1, T, 1)})));
    fakepmx::Push(fakepmx::Ok());
    fakepmx::Push(Table(Cat({UserRec(3, 3000), UserRec(4, 4000)})));
    ASSERT_EQ(GetOpLog(s, e), 1);
    auto calls = NewCalls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].command, 120);
    EXPECT_EQ(calls[0].request, Bytes{4});
    EXPECT_EQ(e.op, 3000);
    EXPECT_EQ(e.code, 30);
    EXPECT_EQ(e.params[0], 0);  // 0 is not mapped
    EXPECT_EQ(e.params[1], 1);
    EXPECT_EQ(e.params[3], 3);
    EXPECT_EQ(e.year, 2011);
    ASSERT_EQ(GetOpLog(s, e), 1);
    EXPECT_EQ(e.code, 6);
    EXPECT_EQ(e.params[0], 4000);  // the user operated on
    EXPECT_EQ(e.params[1], 5);
    EXPECT_EQ(e.second, 6);
    ASSERT_EQ(GetOpLog(s, e), 1);
    EXPECT_EQ(e.params[0], 4);  // code 5 does not name a user
    EXPECT_EQ(GetOpLog(s, e), 0);
    EXPECT_EQ(GetOpLog(s, e), 0);
    TL_Close(s);
}

TEST_F(LogIter, ExtendedOperationRecordsAreNotMapped) {
    auto* s = Open("Ver 6.60 Apr 15 2011", "0", "1");
    ASSERT_EQ(s->extendOpLog, 1);
    s->pinWidth = 9;
    Bytes rec = Cat({U32(700000), Bytes{9, 0}, U32(T), U32(800000), U16(2), U16(3), U16(4)});
    fakepmx::Push(Table(Cat({rec, Bytes(19, 0)})));
    fakepmx::Push(fakepmx::Ok());
    OpEntry e;
    ASSERT_EQ(GetOpLog(s, e), 1);
    EXPECT_EQ(e.op, 700000);
    EXPECT_EQ(e.code, 9);
    EXPECT_EQ(e.params[0], 800000);
    EXPECT_EQ(e.params[1], 2);
    EXPECT_EQ(e.params[2], 3);
    EXPECT_EQ(e.params[3], 4);
    EXPECT_EQ(e.hour, 8);
    EXPECT_EQ(GetOpLog(s, e), 0);
    EXPECT_EQ(NewCalls().size(), 2u);  // no user table
    TL_Close(s);
}

TEST_F(LogIter, TextIdOperationRecords) {
    auto* s = Open("Ver 6.60 Apr 15 2011");
    Bytes rec(60, 0);
    std::memcpy(rec.data(), "admin", 5);
    rec[24] = 30;
    tl::store_u32(rec.data() + 25, tl::EncodeDeviceTime(2009, 3, 7, 8, 5, 59));
    tl::store_u16(rec.data() + 29, 11);
    tl::store_u16(rec.data() + 31, 12);
    tl::store_u16(rec.data() + 33, 13);
    std::memcpy(rec.data() + 35, std::string(24, 'U').data(), 24);
    fakepmx::Push(Table(Cat({rec, Bytes(59, 1)})));
    fakepmx::Push(fakepmx::Ok());
    char op[24], user[25], time[32];
    user[24] = 0;
    int code = 0, params[3] = {};
    ASSERT_EQ(TL_SSR_GetOpLog(s, op, user, &code, time, params), 1);
    EXPECT_STREQ(op, "admin");
    EXPECT_EQ(std::string(user), std::string(24, 'U'));
    EXPECT_EQ(code, 30);
    EXPECT_STREQ(time, "03-07-2009 08:05");
    EXPECT_EQ(params[0], 11);
    EXPECT_EQ(params[2], 13);
    EXPECT_EQ(TL_SSR_GetOpLog(s, op, user, &code, time, params), 0);
    EXPECT_EQ(TL_SSR_GetOpLog(nullptr, op, user, &code, time, params), -1);
    TL_Close(s);
}

}  // namespace
