// Batch update against the fake transport: version gates, the entries that
// writes and deletes queue, the upload block and the four-step sequence, and
// the batch closed in every outcome.
#include <cstring>
#include <random>

#include "common/bytes.h"
#include "template_test_support.h"
#include "test_support.h"
#include "users/batch_queue.h"

using namespace tltest;
using fakepmx::Op;

namespace {

Bytes U16(std::uint16_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
}

Bytes Template(unsigned seed = 1) {
    std::mt19937 rng(seed);
    auto m = RandomModel(rng, 20, 1, 8, 8);
    Bytes t(4096);
    t.resize(tl::EncodeLayoutC(*m, true, t));
    return t;
}

fakepmx::Reply Table(const Bytes& records) {
    return fakepmx::Ok(Cat({U32(static_cast<std::uint32_t>(records.size())), records}));
}

class Batch : public FakeTransportTest {
  protected:
    tl::DeviceSession* Open(const char* version = "Ver 6.60 Apr 15 2011", bool tft = false,
                            int fpVersion = 9) {
        fakepmx::Terminal t;
        t.version = version;
        auto* s = ConnectTo(t);
        s->isTFT = tft;
        s->fpVersion = fpVersion;
        return s;
    }
    static Bytes List(const std::uint8_t* p, std::int32_t n) { return Bytes(p, p + n); }
};

TEST_F(Batch, BeginFollowsTheFirmwareGates) {
    struct Case {
        const char* version;
        bool tft;
        int fp;
        int expected;
    } cases[] = {
        {"Ver 5.10 Jan 01 2004", false, 9, -100}, {"Ver 5.11 Jan 01 2004", false, 9, 1},
        {"Ver 6.50 Jan 01 2010", true, 10, -100}, {"Ver 6.50 Jan 01 2010", true, 9, 1},
        {"Ver 6.50 Jan 01 2010", false, 10, 1},   {"Ver 6.60 Jan 01 2010", true, 10, 1},
    };
    for (const Case& c : cases) {
        auto* s = Open(c.version, c.tft, c.fp);
        EXPECT_EQ(TL_BeginBatchUpdate(s, 0), c.expected) << c.version << " fp " << c.fp;
        EXPECT_EQ(s->batchActive, c.expected == 1 ? 1 : 0);
        EXPECT_TRUE(NewCalls().empty());
        TL_Close(s);
    }
}

TEST_F(Batch, QueuedWritesAndDeletesUploadInOneBlock) {
    auto* s = Open();
    ASSERT_EQ(TL_BeginBatchUpdate(s, 1), 1);
    Bytes t1 = Template(1), t2 = Template(2);
    ASSERT_EQ(TL_SetUserTmp(s, 7, 3, t1.data()), 1);
    ASSERT_EQ(TL_SetUserTmpEx(s, "8", 4, 2, t2.data()), 1);
    ASSERT_EQ(TL_DelUserTmp(s, 9, 5), 1);
    ASSERT_EQ(SSR_TL_DelUserTmpExt(s, "abc", 6), 1);
    EXPECT_TRUE(NewCalls().empty());
    const auto off2 = static_cast<std::uint32_t>(t1.size() + 2);
    Bytes id(24, 0);
    std::memcpy(id.data(), "abc", 3);
    const Bytes tmpCmds = Cat({{2},
                               U16(7),
                               {3},
                               U32(0),  // overwrite
                               {2},
                               U16(8),
                               {(2 << 4) | 4},
                               U32(off2),  // flag in the high nibble
                               {0},
                               U16(9),
                               {5},
                               U32(0xFFFFFFFF),  // delete
                               {0},
                               id,
                               {6},
                               U32(0xFFFFFFFF)});  // by ID
    const Bytes data = Cat({U16(static_cast<std::uint16_t>(t1.size())), t1,
                            U16(static_cast<std::uint16_t>(t2.size())), t2});
    EXPECT_EQ(List(s->batchTmpCmds.data(), s->batchTmpCmds.length), tmpCmds);
    EXPECT_EQ(List(s->batchTmpData.data(), s->batchTmpData.length), data);

    for (int i = 0; i < 4; ++i) fakepmx::Push(fakepmx::Ok());
    ASSERT_EQ(TL_BatchUpdate(s), 1);
    const auto calls = NewCalls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].op, Op::SendCmd);
    EXPECT_EQ(calls[0].command, 1003);
    EXPECT_EQ(calls[0].timeout, 1000);
    EXPECT_EQ(calls[1].op, Op::SendData);
    EXPECT_EQ(calls[1].data, Cat({U32(0), U32(static_cast<std::uint32_t>(tmpCmds.size())),
                                  U32(static_cast<std::uint32_t>(data.size())), tmpCmds, data}));
    EXPECT_EQ(calls[1].timeout, 2500);
    EXPECT_EQ(calls[2].command, 110);
    EXPECT_EQ(calls[2].request, Cat({U32(12), U32(0x80000)}));
    EXPECT_EQ(calls[2].bufferSize, 0x1000000);
    EXPECT_EQ(calls[2].timeout, 3600000);
    EXPECT_EQ(calls[3].command, 1013);
    EXPECT_EQ(calls[3].timeout, 1000);
    EXPECT_EQ(s->batchActive, 0);
    EXPECT_EQ(s->batchTmpCmds.data(), nullptr);
    EXPECT_EQ(s->batchTmpData.length, 0);
    TL_Close(s);
}

TEST_F(Batch, EveryOutcomeClosesTheBatch) {
    // Replies for steps 1-4 -> result and number of steps run.
    const fakepmx::Reply ok = fakepmx::Ok(), refused = fakepmx::Error();
    fakepmx::Reply dataRefused = fakepmx::Ok();
    dataRefused.result = 0;
    struct Case {
        std::vector<fakepmx::Reply> replies;
        int result;
        std::size_t steps;
    } cases[] = {
        {{refused}, 0, 1},
        {{ok, dataRefused}, -2, 2},
        {{ok, ok, refused}, -2, 3},
        {{ok, ok, ok, refused}, 1, 4},  // the refresh's answer does not matter
    };
    for (const Case& c : cases) {
        auto* s = Open();
        fakepmx::Push(Table(Bytes(28, 0)));
        ASSERT_EQ(TL_ReadUserInfo(s), 1);
        ASSERT_EQ(TL_BeginBatchUpdate(s, 0), 1);
        ClearCalls();
        for (const auto& r : c.replies) fakepmx::Push(r);
        EXPECT_EQ(TL_BatchUpdate(s), c.result);
        const auto calls = NewCalls();
        EXPECT_EQ(calls.size(), c.steps);
        // An empty batch still uploads its 12-byte block.
        if (calls.size() > 1) {
            EXPECT_EQ(calls[1].data, Bytes(12, 0));
        }
        EXPECT_EQ(s->batchActive, 0);
        EXPECT_EQ(s->batchUserCmds.data(), nullptr);
        EXPECT_EQ(s->batchNewUsers.data(), nullptr);
        EXPECT_EQ(s->userBuffer.data(), nullptr);  // the next user read reloads
        TL_Close(s);
    }
}

TEST_F(Batch, WithoutABatchCommitChangesNothingAndCancelAlwaysCloses) {
    auto* s = Open();
    fakepmx::Push(Table(Bytes(28, 0)));
    ASSERT_EQ(TL_ReadUserInfo(s), 1);
    ClearCalls();
    EXPECT_EQ(TL_BatchUpdate(s), -100);
    EXPECT_NE(s->userBuffer.data(), nullptr);
    EXPECT_TRUE(NewCalls().empty());
    ASSERT_EQ(TL_BeginBatchUpdate(s, 0), 1);
    Bytes t = Template();
    ASSERT_EQ(TL_SetUserTmp(s, 7, 3, t.data()), 1);
    // A second begin starts afresh instead of leaking the first batch.
    ASSERT_EQ(TL_BeginBatchUpdate(s, 0), 1);
    EXPECT_EQ(s->batchTmpCmds.length, 0);
    EXPECT_EQ(TL_CancelBatchUpdate(s), 1);
    EXPECT_EQ(s->batchActive, 0);
    EXPECT_EQ(s->batchTmpData.data(), nullptr);
    EXPECT_EQ(TL_CancelBatchUpdate(s), 1);
    EXPECT_TRUE(NewCalls().empty());
    // The next user read downloads the table again.
    fakepmx::Push(Table(Bytes(28, 0)));
    int pin = 0;
    EXPECT_EQ(TL_GetUserInfo(s, &pin, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr),
              1);
    EXPECT_EQ(NewCalls().size(), 1u);
    TL_Close(s);
}

TEST_F(Batch, AWriteThatDoesNotFitLeavesTheBatchAsItWas) {
    auto* s = Open();
    ASSERT_EQ(TL_BeginBatchUpdate(s, 0), 1);
    Bytes t = Template();
    // Full data area; then room in the area but not in the upload block.
    for (std::size_t used : {tl::kBatchTmpDataCapacity - 10, tl::kBatchUploadCapacity - 100}) {
        s->batchTmpData.length = static_cast<std::int32_t>(used);
        s->batchTmpCmds.length = 0;
        EXPECT_EQ(TL_SetUserTmp(s, 7, 3, t.data()), -2) << used;
        EXPECT_EQ(s->batchTmpCmds.length, 0);
        EXPECT_EQ(s->batchTmpData.length, static_cast<std::int32_t>(used));
    }
    // A full template-command list refuses deletes too.
    s->batchTmpData.length = 0;
    s->batchTmpCmds.length = static_cast<std::int32_t>(tl::kBatchTmpCmdsCapacity - 4);
    EXPECT_EQ(TL_DelUserTmp(s, 7, 3), -2);
    EXPECT_EQ(s->batchTmpCmds.length, static_cast<std::int32_t>(tl::kBatchTmpCmdsCapacity - 4));
    s->batchTmpCmds.length = 0;
    EXPECT_TRUE(NewCalls().empty());
    TL_CancelBatchUpdate(s);
    TL_Close(s);
}

}  // namespace
