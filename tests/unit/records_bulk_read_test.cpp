// Bulk table reads: commands, request bytes, buffer sizes, timeouts, the
// fallback read and the bookkeeping of the shared download buffer.
#include <cstring>

#include "common/bytes.h"
#include "records/bulk_read.h"
#include "test_support.h"

using namespace tltest;
using fakepmx::Op;

namespace {

class BulkRead : public FakeTransportTest {
  protected:
    tl::DeviceSession* Open(const char* version) {
        fakepmx::Terminal t;
        t.version = version;
        return ConnectTo(t);
    }
    static fakepmx::Reply Table(const Bytes& records) {
        return fakepmx::Ok(Cat({U32(static_cast<std::uint32_t>(records.size())), records}));
    }
    static fakepmx::Reply Query(int result, int inOutAfter, Bytes data = {}) {
        fakepmx::Reply r;
        r.result = result;
        r.inOutAfter = inOutAfter;
        r.data = std::move(data);
        return r;
    }
};

TEST_F(BulkRead, LogOnOlderFirmwareOrModeZeroUsesThePlainLogRead) {
    for (const char* version : {"Ver 6.60 Apr 15 2011", "Ver 6.00 Jan 01 2006"}) {
        SCOPED_TRACE(version);
        auto* s = Open(version);
        fakepmx::Push(Table(Bytes(8, 0x11)));
        ASSERT_EQ(TL_ReadLog(s, std::strcmp(version, "Ver 6.00 Jan 01 2006") == 0 ? 1 : 0), 1);
        auto calls = NewCalls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].op, Op::ReadData);
        EXPECT_EQ(calls[0].command, 13);
        EXPECT_EQ(calls[0].requestLength, 0);
        EXPECT_EQ(calls[0].bufferSize, 8388608);
        EXPECT_EQ(calls[0].packetSize, 16384);
        EXPECT_EQ(calls[0].timeout, 4000);
        EXPECT_EQ(s->bulkBuffer.capacity(), 8388608u);
        EXPECT_EQ(s->log.dataLen, 8);
        EXPECT_EQ(s->log.start, s->bulkBuffer.data() + 4);
        EXPECT_EQ(s->log.cursor, s->log.start);
        TL_Close(s);
        fakepmx::Reset();
    }
}

TEST_F(BulkRead, PreparedLogReadThenFreeTable) {
    auto* s = Open("Ver 6.60 Apr 15 2011");
    fakepmx::Push(Table(Bytes(16, 0x22)));
    fakepmx::Push(fakepmx::Ok());
    ASSERT_EQ(TL_ReadLogEx(s, 1, 0x01020304), 1);
    EXPECT_EQ(s->logReadArg, 0x01020304);
    auto calls = NewCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].op, Op::ReadData);
    EXPECT_EQ(calls[0].command, 120);
    EXPECT_EQ(calls[0].request, Bytes{1});
    EXPECT_EQ(calls[0].bufferSize, 8388608);
    EXPECT_EQ(calls[0].timeout, 4000);
    EXPECT_EQ(calls[1].op, Op::SendCmd);
    EXPECT_EQ(calls[1].command, 121);
    EXPECT_EQ(calls[1].request, Bytes{1});
    EXPECT_EQ(calls[1].bufferSize, 16);
    EXPECT_EQ(calls[1].timeout, 4000);
    EXPECT_EQ(s->log.dataLen, 16);

    // Mode 2 forwards the stored value at bytes 4-7 of an 8-byte request.
    ClearCalls();
    fakepmx::Push(Table(Bytes(16, 0x22)));
    fakepmx::Push(fakepmx::Ok());
    ASSERT_EQ(TL_ReadLogEx(s, 2, 0x0A0B0C0D), 1);
    EXPECT_EQ(NewCalls()[0].request, Cat({Bytes{1, 0, 0, 0}, U32(0x0A0B0C0D)}));

    // An empty log: the prepare is refused with no data.
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(TL_ReadLog(s, 1), 0);
    EXPECT_EQ(s->log.dataLen, 0);
    TL_Close(s);
}

TEST_F(BulkRead, FallbackQueryWhenTheTableReadFails) {
    auto* s = Open("Ver 6.60 Apr 15 2011");
    // The free-table command is refused: the fallback decides.
    fakepmx::Push(Table(Bytes(16, 0x22)));
    fakepmx::Push(fakepmx::Error());
    fakepmx::Push(Query(12, 0, Bytes(12, 0x33)));
    ASSERT_EQ(TL_ReadLog(s, 1), 1);
    auto calls = NewCalls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[2].op, Op::QueryData);
    EXPECT_EQ(calls[2].tableKind, 1);
    EXPECT_EQ(calls[2].packetSize, 16384);
    EXPECT_EQ(calls[2].inOut, 8388608);
    EXPECT_EQ(s->log.dataLen, 12);
    EXPECT_EQ(s->log.start, s->bulkBuffer.data());  // no count word in front
    EXPECT_EQ(s->log.start[11], 0x33);

    // The in/out integer must come back at 0.
    fakepmx::Reply bad = fakepmx::Ok();
    bad.replyCode = 2005;
    fakepmx::Push(bad);
    fakepmx::Push(Query(100, 3));
    EXPECT_EQ(TL_ReadLog(s, 0), -2);
    EXPECT_EQ(s->log.dataLen, 0);
    fakepmx::Push(bad);
    fakepmx::Push(Query(0, 0));
    EXPECT_EQ(TL_ReadLog(s, 0), 0);
    // The terminal claiming more than it could have placed is cut to the buffer.
    fakepmx::Push(bad);
    fakepmx::Push(Query(0x7FFFFFFF, 0));
    ASSERT_EQ(TL_ReadLog(s, 0), 1);
    EXPECT_EQ(s->log.dataLen, 8388608);
    TL_Close(s);
}

TEST_F(BulkRead, LeadingCountNeverExceedsTheBytesReceived) {
    auto* s = Open("Ver 6.60 Apr 15 2011");
    fakepmx::Push(fakepmx::Ok(Cat({U32(1000), Bytes(8, 1)})));
    ASSERT_EQ(TL_ReadLog(s, 0), 1);
    EXPECT_EQ(s->log.dataLen, 8);
    fakepmx::Push(fakepmx::Ok(Cat({U32(0xFFFFFFF0u), Bytes(8, 1)})));
    ASSERT_EQ(TL_ReadLog(s, 0), 1);
    EXPECT_EQ(s->log.dataLen, 0);
    fakepmx::Push(fakepmx::Ok({1, 0}));  // not even a whole count
    ASSERT_EQ(TL_ReadLog(s, 0), 1);
    EXPECT_EQ(s->log.dataLen, 0);
    fakepmx::Push(fakepmx::Ok(Cat({U32(4), Bytes(8, 1)})));  // more sent than counted
    ASSERT_EQ(TL_ReadOpLog(s, 0), 1);
    EXPECT_EQ(s->opLog.dataLen, 4);
    TL_Close(s);
}

TEST_F(BulkRead, OpLogGatesAndCommands) {
    auto* old = Open("Ver 5.03 Jan 01 2005");
    EXPECT_EQ(TL_ReadOpLog(old, 1), 0);
    EXPECT_TRUE(NewCalls().empty());
    EXPECT_EQ(old->bulkBuffer.data(), nullptr);
    TL_Close(old);

    auto* s = Open("Ver 5.04 Jan 01 2005");
    fakepmx::Push(Table(Bytes(16, 4)));
    ASSERT_EQ(TL_ReadOpLog(s, 1), 1);  // no prepared read before 6.01
    auto c = NewCalls().at(0);
    EXPECT_EQ(c.command, 34);
    EXPECT_EQ(c.requestLength, 0);
    EXPECT_EQ(c.bufferSize, 6291456);
    EXPECT_EQ(s->opLog.dataLen, 16);
    EXPECT_EQ(s->opLog.start, s->bulkBuffer.data() + 4);
    // No fallback for the op log.
    fakepmx::Reply bad = fakepmx::Ok();
    bad.replyCode = 2005;
    fakepmx::Push(bad);
    ClearCalls();
    EXPECT_EQ(TL_ReadOpLog(s, 0), -2);
    EXPECT_EQ(NewCalls().size(), 1u);
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(TL_ReadOpLog(s, 0), 0);
    TL_Close(s);

    auto* v6 = Open("Ver 6.60 Apr 15 2011");
    fakepmx::Push(Table(Bytes(20, 4)));
    fakepmx::Push(fakepmx::Ok());
    ASSERT_EQ(TL_ReadOpLog(v6, 1), 1);
    auto calls = NewCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].command, 120);
    EXPECT_EQ(calls[0].request, Bytes{4});
    EXPECT_EQ(calls[1].command, 121);
    EXPECT_EQ(calls[1].request, Bytes{4});
    EXPECT_EQ(v6->opLog.dataLen, 20);
    fakepmx::Push(fakepmx::Ok(Cat({U32(0)})));
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(TL_ReadOpLog(v6, 1), -2);  // free table refused after data came
    TL_Close(v6);
}

TEST_F(BulkRead, TablesSharingTheBufferForgetEachOther) {
    auto* s = Open("Ver 5.04 Jan 01 2005");
    fakepmx::Push(Table(Bytes(16, 4)));
    ASSERT_EQ(TL_ReadOpLog(s, 0), 1);
    s->rule.dataLen = 5;
    s->rule.start = s->rule.cursor = s->bulkBuffer.data() + 4;
    fakepmx::Push(Table(Bytes(8, 1)));
    ASSERT_EQ(TL_ReadLog(s, 0), 1);
    EXPECT_EQ(s->opLog.dataLen, 0);
    EXPECT_EQ(s->opLog.start, nullptr);
    EXPECT_EQ(s->rule.dataLen, 0);
    EXPECT_EQ(s->rule.start, nullptr);

    // Templates reuse the 6 MiB the op log allocated.
    ClearCalls();
    fakepmx::Push(Table(Bytes(40, 9)));
    ASSERT_EQ(TL_ReadTempData(s), 1);
    auto c = NewCalls().at(0);
    EXPECT_EQ(c.command, 7);
    EXPECT_EQ(c.request, Bytes{2});
    EXPECT_EQ(c.bufferSize, 6291456);
    EXPECT_EQ(c.timeout, 4000 * 300);
    EXPECT_EQ(s->tmp.dataLen, 40);
    EXPECT_EQ(s->tmp.start, s->bulkBuffer.data() + 4);
    EXPECT_EQ(s->log.dataLen, 0);
    EXPECT_EQ(s->log.start, nullptr);

    // A failed transfer may have overwritten the buffer: nothing stays cached.
    fakepmx::Reply bad = fakepmx::Ok();
    bad.replyCode = 2005;
    fakepmx::Push(bad);
    fakepmx::Push(Query(5, 2));
    EXPECT_EQ(TL_ReadLog(s, 0), -2);
    EXPECT_EQ(s->tmp.dataLen, 0);
    EXPECT_EQ(s->tmp.start, nullptr);
    TL_Close(s);
}

TEST_F(BulkRead, TemplateReadClearsFirstAndFallsBack) {
    auto* s = Open("Ver 5.03 Jan 01 2005");
    fakepmx::Push(Table(Bytes(40, 9)));
    ASSERT_EQ(TL_ReadTempData(s), 1);
    EXPECT_EQ(NewCalls().at(0).requestLength, 0);  // no table id before 5.04
    EXPECT_EQ(NewCalls().at(0).bufferSize, 20971520);
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(TL_ReadTempData(s), 0);
    EXPECT_EQ(s->tmp.dataLen, 0);
    EXPECT_EQ(s->tmp.start, nullptr);
    fakepmx::Reply bad = fakepmx::Ok();
    bad.replyCode = 2005;
    fakepmx::Push(bad);
    fakepmx::Push(Query(30, 0, Bytes(30, 7)));
    ClearCalls();
    ASSERT_EQ(TL_ReadTempData(s), 1);
    EXPECT_EQ(NewCalls().at(1).tableKind, 2);
    EXPECT_EQ(s->tmp.dataLen, 30);
    EXPECT_EQ(s->tmp.start, s->bulkBuffer.data());
    EXPECT_EQ(s->tmp.cursor, s->bulkBuffer.data());
    TL_Close(s);
}

TEST_F(BulkRead, UserTableHasItsOwnBufferAndFallbackRecordsStartAtByteFour) {
    auto* s = Open("Ver 6.60 Apr 15 2011");
    fakepmx::Push(Table(Bytes(28, 3)));
    ASSERT_EQ(TL_ReadUserInfo(s), 1);
    auto c = NewCalls().at(0);
    EXPECT_EQ(c.op, Op::ReadData);
    EXPECT_EQ(c.command, 9);
    EXPECT_EQ(c.request, Bytes{5});
    EXPECT_EQ(c.bufferSize, 6291456);
    EXPECT_EQ(c.timeout, 4000);
    EXPECT_EQ(s->userDataLen, 28);
    EXPECT_EQ(s->userCursor, s->userBuffer.data() + 4);
    EXPECT_EQ(s->bulkBuffer.data(), nullptr);    // the shared buffer is not involved
    EXPECT_EQ(s->userBuffer.data()[4 + 28], 0);  // zero-filled beyond the data

    fakepmx::Reply bad = fakepmx::Ok();
    bad.replyCode = 2005;
    fakepmx::Push(bad);
    Bytes users = Cat({Bytes(28, 0xA1), Bytes(28, 0xB2)});
    fakepmx::Push(Query(56, 0, users));
    ClearCalls();
    ASSERT_EQ(TL_ReadUserInfo(s), 1);
    c = NewCalls().at(1);
    EXPECT_EQ(c.op, Op::QueryData);
    EXPECT_EQ(c.tableKind, 5);
    EXPECT_EQ(c.inOut, 6291456 - 4);
    EXPECT_EQ(s->userDataLen, 56);
    EXPECT_EQ(s->userCursor, s->userBuffer.data() + 4);
    EXPECT_EQ(std::memcmp(s->userBuffer.data() + 4, users.data(), users.size()), 0);
    EXPECT_EQ(tl::load_u32(s->userBuffer.data()), 56u);  // same shape as a counted read

    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(TL_ReadUserInfo(s), 0);
    EXPECT_EQ(s->userDataLen, 0);
    fakepmx::Push(bad);
    fakepmx::Push(Query(5, 1));
    EXPECT_EQ(TL_ReadUserInfo(s), -2);
    TL_Close(s);

    auto* old = Open("Ver 5.03 Jan 01 2005");
    fakepmx::Push(Table(Bytes(16, 3)));
    ASSERT_EQ(TL_ReadUserInfo(old), 1);
    EXPECT_EQ(NewCalls().at(0).requestLength, 0);
    TL_Close(old);
}

TEST_F(BulkRead, ReadDataFillsTheCallersBufferOnly) {
    auto* s = Open("Ver 6.60 Apr 15 2011");
    std::uint8_t buf[64] = {5};
    fakepmx::Push(Table(Bytes(8, 0xEE)));
    ASSERT_EQ(TL_ReadData(s, buf, sizeof buf), 1);
    auto c = NewCalls().at(0);
    EXPECT_EQ(c.command, 7);
    EXPECT_EQ(c.request, Bytes{5});
    EXPECT_EQ(c.bufferSize, 64);
    EXPECT_EQ(c.packetSize, 16384);
    EXPECT_EQ(c.timeout, 4000);
    EXPECT_EQ(buf[0], 8);
    EXPECT_EQ(buf[11], 0xEE);
    EXPECT_EQ(s->bulkBuffer.data(), nullptr);
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(TL_ReadData(s, buf, sizeof buf), -2);
    EXPECT_EQ(TL_ReadData(s, nullptr, 64), 4);
    EXPECT_EQ(TL_ReadData(s, buf, 0), 4);
    TL_Close(s);
}

TEST_F(BulkRead, NullSessionSendsNothing) {
    std::uint8_t buf[8] = {};
    EXPECT_EQ(TL_ReadLog(nullptr, 1), -1);
    EXPECT_EQ(TL_ReadLogEx(nullptr, 2, 5), -1);
    EXPECT_EQ(TL_ReadOpLog(nullptr, 1), -1);
    EXPECT_EQ(TL_ReadTempData(nullptr), -1);
    EXPECT_EQ(TL_ReadUserInfo(nullptr), -1);
    EXPECT_EQ(TL_ReadData(nullptr, buf, 8), -1);
    EXPECT_TRUE(fakepmx::Calls().empty());
}

}  // namespace
