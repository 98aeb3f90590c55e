// Device control: the fixed request, buffer and timeout of every command,
// the argument checks made before any traffic, the cache effects of erasing
// data and the session ending with a restart.
#include <functional>
#include <string>

#include "test_support.h"

using namespace tltest;
using fakepmx::Op;

namespace {

class DeviceControl : public FakeTransportTest {
  protected:
    tl::DeviceSession* Open() { return ConnectTo(fakepmx::Terminal{}); }
};

struct Shape {
    const char* name;
    std::function<int(void*)> call;
    int code;
    Bytes request;
    int bufferSize;
    int timeout;  // cmdTimeout is 4000 on the network
};

TEST_F(DeviceControl, EveryCommandSendsItsFixedRequest) {
    auto* s = Open();
    const Shape shapes[] = {
        {"poweroff", TL_PowerOffDevice, 1005, {}, 0, 4000},
        {"sleep", TL_SleepDevice, 1006, {}, 0, 4000},
        {"resume", TL_ResumeDevice, 1007, {}, 0, 4000},
        {"suspend", TL_SuspendDevice, 1022, {}, 0, 4000},
        {"clear lcd", TL_ClearLCD, 67, {}, 0, 4000},
        {"lcd", [](void* h) { return TL_WriteLCD(h, 2, 0x105, "abc"); }, 66,
         Bytes{2, 5, 0, 'a', 'b', 'c', 0}, 100, 4000},
        {"beep 500", [](void* h) { return TL_Beep(h, 500); }, 1020, Bytes{3, 1, 0, 0, 25}, 100,
         4000},
        {"beep 10", [](void* h) { return TL_Beep(h, 10); }, 1020, Bytes{3, 1, 0, 0, 0}, 100, 4000},
        {"beep 6000", [](void* h) { return TL_Beep(h, 6000); }, 1020, Bytes{3, 1, 0, 0, 44}, 100,
         4000},
        {"voice", [](void* h) { return TL_PlayVoice(h, 0x103, 7); }, 1017, Bytes{3, 7}, 2, 4000},
        {"voice index", [](void* h) { return TL_PlayVoiceByIndex(h, 0x209); }, 1017, Bytes{9}, 2,
         4000},
        {"clock", [](void* h) { return TL_EnableClock(h, 0x100); }, 57, Bytes{0}, 2, 4000},
        {"clear all", TL_ClearData, 14, {}, 0, 1200000},
        {"clear kind", [](void* h) { return TL_ClearDataEx(h, 5); }, 14, Bytes{5}, 1, 7000},
        {"clear log", TL_ClearLogData, 15, {}, 0, 6000},
        {"clear oplog", TL_ClearOpLogData, 33, {}, 0, 6000},
        {"refresh", TL_RefreshData, 1013, {}, 0, 5000},
        {"clear sms", TL_ClearSMS, 14, Bytes{6}, 1, 7000},
        {"clear links", TL_ClearUData, 14, Bytes{7}, 1, 7000},
    };
    for (const auto& c : shapes) {
        SCOPED_TRACE(c.name);
        for (bool accept : {true, false}) {
            ClearCalls();
            fakepmx::Push(accept ? fakepmx::Ok() : fakepmx::Error());
            EXPECT_EQ(c.call(s), accept ? 1 : -2);
            auto calls = NewCalls();
            ASSERT_EQ(calls.size(), 1u);
            EXPECT_EQ(calls[0].op, Op::SendCmd);
            EXPECT_EQ(calls[0].command, c.code);
            EXPECT_EQ(calls[0].request, c.request);
            EXPECT_EQ(calls[0].bufferSize, c.bufferSize);
            EXPECT_EQ(calls[0].timeout, c.timeout);
        }
        EXPECT_EQ(c.call(nullptr), -1);
    }
    TL_Close(s);
}

TEST_F(DeviceControl, RefusalsAndUnsupportedCallsSendNothing) {
    auto* s = Open();
    EXPECT_EQ(TL_ClearDataEx(s, 6), 4);
    EXPECT_EQ(TL_ClearDataEx(s, 0), 4);
    EXPECT_EQ(TL_ClearDataEx(s, 257), 4);  // low byte 1, still not a kind
    EXPECT_EQ(TL_ClearDataEx(nullptr, 6), 4);
    EXPECT_EQ(TL_ClearDataEx(nullptr, 1), -1);
    EXPECT_EQ(TL_WriteLCD(s, 0, 0, nullptr), 4);
    EXPECT_EQ(TL_AutoPowerOff(s, 5), -100);
    EXPECT_EQ(TL_PowerOffTime(s, 1, 2, 3, 4, 5), -100);
    EXPECT_EQ(TL_AutoPowerOff(nullptr, 5), -1);
    EXPECT_EQ(TL_PowerOffTime(nullptr, 1, 2, 3, 4, 5), -1);
    EXPECT_TRUE(NewCalls().empty());
    TL_Close(s);
}

TEST_F(DeviceControl, LongDisplayTextsAreCutTo97BytesWithinTheRequest) {
    auto* s = Open();
    fakepmx::SetResponder([](const fakepmx::Call&) { return fakepmx::Ok(); });
    for (std::size_t length : {96u, 97u, 300u}) {
        ClearCalls();
        const std::string text(length, 'x');
        ASSERT_EQ(TL_WriteLCD(s, 1, 1, text.c_str()), 1);
        const Bytes req = NewCalls().at(0).request;
        ASSERT_EQ(req.size(), 100u) << length;
        EXPECT_EQ(Bytes(req.begin() + 3, req.begin() + 3 + std::min<std::size_t>(length, 97)),
                  Bytes(std::min<std::size_t>(length, 97), 'x'));
        if (length == 96) {
            EXPECT_EQ(req[99], 0);  // a text that fits keeps its NUL
        }
    }
    TL_Close(s);
}

TEST_F(DeviceControl, ErasingDataForgetsTheCachedTablesOnlyWhenAccepted) {
    auto* s = Open();
    auto cacheLog = [&] {
        fakepmx::Push(fakepmx::Ok(Cat({U32(8), Bytes(8, 1)})));
        fakepmx::Push(fakepmx::Ok());
        ASSERT_EQ(TL_ReadLog(s, 1), 1);
        s->userDataLen = 28;  // as if a user table were held
        ASSERT_NE(s->bulkBuffer.data(), nullptr);
        ASSERT_EQ(s->log.dataLen, 8);
    };
    // Refused, or a clear that leaves other tables alone: caches stay.
    cacheLog();
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(TL_ClearData(s), -2);
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(TL_ClearDataEx(s, 1), -2);
    for (auto keep : {TL_ClearLogData, TL_ClearOpLogData, TL_ClearSMS, TL_ClearUData}) {
        fakepmx::Push(fakepmx::Ok());
        EXPECT_EQ(keep(s), 1);
    }
    EXPECT_EQ(s->log.dataLen, 8);
    EXPECT_EQ(s->userDataLen, 28);
    // Accepted: everything cached is forgotten, the user buffer kept.
    for (auto clear : {+[](void* h) { return TL_ClearData(h); },
                       +[](void* h) { return TL_ClearDataEx(h, 2); }}) {
        cacheLog();
        std::uint8_t* users = s->userBuffer.data();
        fakepmx::Push(fakepmx::Ok());
        ASSERT_EQ(clear(s), 1);
        EXPECT_EQ(s->bulkBuffer.data(), nullptr);
        EXPECT_EQ(s->log.dataLen, 0);
        EXPECT_EQ(s->userDataLen, 0);
        EXPECT_EQ(s->userBuffer.data(), users);
        // The next iteration downloads the log again.
        ClearCalls();
        fakepmx::Push(fakepmx::Ok(Cat({U32(0)})));
        fakepmx::Push(fakepmx::Ok());
        int pin, year, month, day, hour, minute, second;
        unsigned char mode, state;
        TL_GetLog(s, &pin, &mode, &state, &year, &month, &day, &hour, &minute, &second);
        ASSERT_FALSE(NewCalls().empty());
        EXPECT_EQ(NewCalls()[0].command, 120);
    }
    TL_Close(s);
}

TEST_F(DeviceControl, AcceptedRestartEndsTheSession) {
    auto* s = Open();
    const int open = fakepmx::OpenHandles();
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(TL_RebootDevice(s), -2);
    EXPECT_EQ(fakepmx::OpenHandles(), open);  // still open and usable
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_RebootDevice(s), 1);
    EXPECT_EQ(fakepmx::OpenHandles(), open - 1);
    auto calls = NewCalls();
    EXPECT_EQ(calls[1].command, 1004);
    EXPECT_EQ(calls.back().op, Op::Close);
}

}  // namespace
