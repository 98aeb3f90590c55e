// Real-time event polling, event registration and the terminal lock.
#include <cstring>

#include "session/realtime.h"
#include "test_support.h"

using namespace tltest;
using fakepmx::Op;

namespace {

class RealTime : public FakeTransportTest {
  protected:
    tl::DeviceSession* Open(const char* version, const char* platform = "ZEM") {
        fakepmx::Terminal t;
        t.version = version;
        t.options = {{"~Platform", platform}};
        return ConnectTo(t);
    }
};

Bytes Record(std::uint16_t kind, int dataBytes, std::uint8_t fill) {
    Bytes r = {static_cast<std::uint8_t>(kind), static_cast<std::uint8_t>(kind >> 8)};
    r.insert(r.end(), static_cast<std::size_t>(dataBytes), fill);
    return r;
}

TEST_F(RealTime, EmptyPollKeepsSequenceAndYieldsNothing) {
    auto* s = Open("Ver 6.60 Apr 15 2011");
    fakepmx::Push(fakepmx::Ok(U32(0)));
    EXPECT_EQ(TL_ReadRTLog(s), 1);
    auto calls = NewCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].command, 90);
    EXPECT_EQ(calls[0].bufferSize, 1024);
    EXPECT_EQ(calls[0].requestLength, 4);
    EXPECT_EQ(calls[0].request, U32(0));
    EXPECT_EQ(calls[0].timeout, 4000);
    EXPECT_EQ(s->rtSequence, 0);
    int kind = -1;
    std::uint8_t data[36];
    EXPECT_EQ(TL_GetRTLog(s, &kind, data), 0);
    TL_Close(s);
}

TEST_F(RealTime, TwoShortRecordsThenEndAndSequenceAdvances) {
    auto* s = Open("Ver 6.01 Jan 01 2006");  // not later than 6.18 20070807: 16-byte records
    ASSERT_EQ(s->rtLongRecord, 0);
    fakepmx::Push(fakepmx::Ok(Cat({U32(32), Record(1, 14, 0xAA), Record(2, 14, 0xBB)})));
    ASSERT_EQ(TL_ReadRTLog(s), 1);
    EXPECT_EQ(s->rtSequence, 1);
    int kind = 0;
    std::uint8_t data[36];
    std::memset(data, 0xEE, sizeof data);
    ASSERT_EQ(TL_GetRTLog(s, &kind, data), 1);
    EXPECT_EQ(kind, 1);
    EXPECT_EQ(data[0], 0xAA);
    EXPECT_EQ(data[13], 0xAA);
    EXPECT_EQ(data[14], 0xEE);  // only 14 bytes handed over
    ASSERT_EQ(TL_GetRTLog(s, &kind, data), 1);
    EXPECT_EQ(kind, 2);
    EXPECT_EQ(TL_GetRTLog(s, &kind, data), 0);

    // The next poll carries the new sequence number.
    fakepmx::Push(fakepmx::Ok(U32(0)));
    ClearCalls();
    ASSERT_EQ(TL_ReadRTLog(s), 1);
    EXPECT_EQ(NewCalls()[0].request, U32(1));
    TL_Close(s);
}

TEST_F(RealTime, RecordSizesFollowTheTerminal) {
    auto* tft = Open("Ver 6.60 Apr 15 2011", "ZMM_TFT");
    fakepmx::Push(fakepmx::Ok(Cat({U32(38), Record(0x0102, 36, 0x5A)})));
    ASSERT_EQ(TL_ReadRTLog(tft), 1);
    int kind = 0;
    std::uint8_t data[40];
    std::memset(data, 0, sizeof data);
    ASSERT_EQ(TL_GetRTLog(tft, &kind, data), 1);
    EXPECT_EQ(kind, 0x0102);
    EXPECT_EQ(data[35], 0x5A);
    EXPECT_EQ(data[36], 0);
    TL_Close(tft);

    auto* lng = Open("Ver 6.60 Apr 15 2011");
    ASSERT_EQ(lng->rtLongRecord, 1);
    fakepmx::Push(fakepmx::Ok(Cat({U32(36), Record(3, 16, 1), Record(4, 16, 2)})));
    ASSERT_EQ(TL_ReadRTLog(lng), 1);
    std::memset(data, 0, sizeof data);
    ASSERT_EQ(TL_GetRTLog(lng, &kind, data), 1);
    EXPECT_EQ(data[15], 1);
    EXPECT_EQ(data[16], 0);
    ASSERT_EQ(TL_GetRTLog(lng, &kind, data), 1);
    EXPECT_EQ(kind, 4);
    TL_Close(lng);
}

TEST_F(RealTime, ClaimedCountBeyondReceivedDataIsClamped) {
    auto* s = Open("Ver 6.01 Jan 01 2006");
    // Claims 2000 bytes but sends one record and a half.
    fakepmx::Push(fakepmx::Ok(Cat({U32(2000), Record(7, 14, 1), Bytes(8, 2)})));
    ASSERT_EQ(TL_ReadRTLog(s), 1);
    EXPECT_EQ(s->rt.dataLen, 16);
    int kind = 0;
    std::uint8_t data[36];
    EXPECT_EQ(TL_GetRTLog(s, &kind, data), 1);
    EXPECT_EQ(TL_GetRTLog(s, &kind, data), 0);

    // A claimed count with no records received acknowledges nothing.
    const int seq = s->rtSequence;
    fakepmx::Push(fakepmx::Ok(U32(0x7FFFFFFF)));
    ASSERT_EQ(TL_ReadRTLog(s), 1);
    EXPECT_EQ(s->rt.dataLen, 0);
    EXPECT_EQ(s->rtSequence, seq);
    EXPECT_EQ(TL_GetRTLog(s, &kind, data), 0);

    // A negative count is no data.
    fakepmx::Push(fakepmx::Ok(Cat({U32(0xFFFFFFF0u), Record(7, 14, 1)})));
    ASSERT_EQ(TL_ReadRTLog(s), 1);
    EXPECT_EQ(TL_GetRTLog(s, &kind, data), 0);
    TL_Close(s);
}

TEST_F(RealTime, RefusedPollAndOldFirmware) {
    auto* s = Open("Ver 6.60 Apr 15 2011");
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(TL_ReadRTLog(s), -2);
    EXPECT_EQ(s->rtSequence, 0);
    TL_Close(s);

    auto* old = Open("Ver 5.04");
    EXPECT_EQ(TL_ReadRTLog(old), -100);
    EXPECT_TRUE(NewCalls().empty());
    TL_Close(old);
}

TEST_F(RealTime, LockUnlockAndRegistrationRequests) {
    auto* s = Open("Ver 6.60 Apr 15 2011");
    fakepmx::Push(fakepmx::Ok());
    fakepmx::Push(fakepmx::Ok());
    fakepmx::Push(fakepmx::Ok());
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(TL_DisableDevice(s, 0x01020304), 1);
    EXPECT_EQ(TL_EnableDevice(s), 1);
    EXPECT_EQ(TL_RegEvent(s, 0x0000FFFF), 1);
    EXPECT_EQ(TL_RegEvent(s, 1), -2);
    auto calls = NewCalls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].command, 1003);
    EXPECT_EQ(calls[0].request, (Bytes{4, 3, 2, 1}));
    EXPECT_EQ(calls[0].bufferSize, 4);
    EXPECT_EQ(calls[1].command, 1002);
    EXPECT_TRUE(calls[1].bufferNull);
    EXPECT_EQ(calls[1].bufferSize, 0);
    EXPECT_EQ(calls[1].requestLength, 0);
    EXPECT_EQ(calls[2].command, 500);
    EXPECT_EQ(calls[2].request, U32(0xFFFF));
    EXPECT_EQ(calls[2].timeout, 4000);
    // Closing does not unlock the terminal.
    ClearCalls();
    TL_Close(s);
    ASSERT_EQ(NewCalls().size(), 1u);
}

TEST_F(RealTime, NullSessionSendsNothing) {
    int kind;
    std::uint8_t data[36];
    EXPECT_EQ(TL_RegEvent(nullptr, 1), -1);
    EXPECT_EQ(TL_ReadRTLog(nullptr), -1);
    EXPECT_EQ(TL_GetRTLog(nullptr, &kind, data), -1);
    EXPECT_EQ(TL_EnableDevice(nullptr), -1);
    EXPECT_EQ(TL_DisableDevice(nullptr, 0), -1);
    EXPECT_TRUE(fakepmx::Calls().empty());
}

}  // namespace
