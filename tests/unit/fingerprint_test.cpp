// Single-template exports against the fake transport: requests byte for byte
// in every family, shrinking, refusals before any traffic, result mapping,
// the cached-table walk, identification and version-10 containers.
#include <cstring>
#include <random>
#include <string>

#include "common/bytes.h"
#include "template_test_support.h"
#include "test_support.h"

using namespace tltest;
using fakepmx::Op;

namespace {

constexpr const char* kModern = "Ver 6.60 Apr 15 2011";

Bytes U16(std::uint16_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
}

// A layout C template with a grid; its normalised form is itself.
Bytes Template(int minutiae, int cols, int rows, unsigned seed = 1) {
    std::mt19937 rng(seed);
    auto m = RandomModel(rng, minutiae, 1, cols, rows);
    Bytes t(4096);
    t.resize(tl::EncodeLayoutC(*m, cols > 0, t));
    return t;
}

Bytes Id(const std::string& id) {
    Bytes b(24, 0);
    std::memcpy(b.data(), id.data(), id.size());
    return b;
}

Bytes Rec72(std::uint16_t pin, const std::string& id) {
    Bytes r(72, 0);
    tl::store_u16(r.data(), pin);
    std::memcpy(r.data() + 48, id.data(), id.size());
    return r;
}

fakepmx::Reply Table(const Bytes& records) {
    return fakepmx::Ok(Cat({U32(static_cast<std::uint32_t>(records.size())), records}));
}

fakepmx::Reply Refused(int result) {
    fakepmx::Reply r = fakepmx::Error();
    r.result = result;
    return r;
}

class Fingerprints : public FakeTransportTest {
  protected:
    tl::DeviceSession* Open(bool tft = false, int fpVersion = 9) {
        fakepmx::Terminal t;
        t.version = kModern;
        t.options = {{"~Platform", tft ? "TFT" : "ZEM"}};
        auto* s = ConnectTo(t);
        s->isTFT = tft;
        s->fpVersion = fpVersion;
        return s;
    }
};

TEST_F(Fingerprints, WritesSendTheirHeaderAndTheNormalisedTemplate) {
    const Bytes t = Template(20, 8, 8);
    ASSERT_GT(t.size(), 50u);
    ASSERT_LT(t.size(), 598u);
    const Bytes len = U16(static_cast<std::uint16_t>(t.size()));
    struct Case {
        const char* what;
        std::function<int(void*, unsigned char*)> call;
        int code;
        Bytes header;
        int extraTimeout;
    };
    const Case cases[] = {
        {"classic", [](void* s, unsigned char* p) { return TL_SetUserTmp(s, 7, 3, p); }, 10,
         Cat({U16(7), {3}, len}), 1000},
        {"Ex", [](void* s, unsigned char* p) { return TL_SetUserTmpEx(s, "7", 3, 5, p); }, 87,
         Cat({U16(7), {3, 5}, len}), 1000},
        {"Ext", [](void* s, unsigned char* p) { return SSR_TL_SetUserTmpExt(s, 5, "abc", 3, p); },
         132, Cat({Id("abc"), {5, 3}, len}), 1000},
        {"append", [](void* s, unsigned char* p) { return TL_AppendUserTmp(s, 7, p); }, 17,
         Cat({U16(7), {255}, Bytes(8, 0), len}), 0},
        {"text ID", [](void* s, unsigned char* p) { return SSR_TL_SetUserTmp(s, "abc", 3, p); }, 10,
         Cat({U16(9), {3}, len}), 1000},
    };
    for (const Case& c : cases) {
        auto* s = Open();
        if (c.code == 10 && c.header[0] == 9) fakepmx::Push(Table(Rec72(9, "abc")));
        fakepmx::Push(fakepmx::Ok());
        Bytes tmp = t;
        ClearCalls();
        ASSERT_EQ(c.call(s, tmp.data()), 1) << c.what;
        auto calls = NewCalls();
        ASSERT_FALSE(calls.empty());
        const auto& send = calls.back();
        EXPECT_EQ(send.op, Op::SendCmd) << c.what;
        EXPECT_EQ(send.command, c.code) << c.what;
        EXPECT_EQ(send.request, Cat({c.header, t})) << c.what;
        EXPECT_EQ(send.bufferSize, 0) << c.what;
        EXPECT_EQ(send.timeout, s->cmdTimeout + c.extraTimeout) << c.what;
        TL_Close(s);
    }
}

TEST_F(Fingerprints, FailedWritesMapTheTransportResult) {
    const Bytes t = Template(20, 8, 8);
    auto* s = Open();
    // result -> classic write, append
    const int table[][3] = {{2, 0, 0}, {1, -4, -4}, {4, -5, -2}, {0, -2, -2}, {7, -2, -2}};
    for (const auto& row : table) {
        Bytes tmp = t;
        fakepmx::Push(Refused(row[0]));
        EXPECT_EQ(TL_SetUserTmp(s, 7, 1, tmp.data()), row[1]) << row[0];
        fakepmx::Push(Refused(row[0]));
        EXPECT_EQ(TL_AppendUserTmp(s, 7, tmp.data()), row[2]) << row[0];
    }
    // Deletes: 0 only for a refusal with two reply bytes.
    fakepmx::Push(Refused(2));
    EXPECT_EQ(TL_DelUserTmp(s, 7, 1), 0);
    fakepmx::Push(Refused(0));
    EXPECT_EQ(TL_DelUserTmp(s, 7, 1), -2);
    ClearCalls();
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(SSR_TL_DelUserTmpExt(s, "abc", 4), 1);
    auto c = NewCalls().at(0);
    EXPECT_EQ(c.command, 134);
    EXPECT_EQ(c.request, Cat({Id("abc"), {4}}));
    EXPECT_EQ(c.timeout, s->cmdTimeout + 4000);
    TL_Close(s);
}

TEST_F(Fingerprints, LongTemplatesAreShrunkToTheLimit) {
    const Bytes big = Template(160, 32, 32, 3);
    ASSERT_GT(big.size(), 1011u);
    for (int ex = 0; ex < 2; ++ex) {
        auto* s = Open();
        Bytes tmp = big;
        fakepmx::Push(fakepmx::Ok());
        ASSERT_EQ(
            ex ? TL_SetUserTmpEx(s, "7", 0, 0, tmp.data()) : TL_SetUserTmp(s, 7, 0, tmp.data()), 1);
        const auto send = NewCalls().back();
        const std::size_t header = ex ? 6 : 5;
        const std::size_t len = tl::load_u16(send.request.data() + header - 2);
        EXPECT_LE(len, ex ? 598u : 1011u);
        EXPECT_GE(len, 50u);
        ASSERT_EQ(send.request.size(), header + len);
        // The caller's template now holds the shrunk form that was sent.
        EXPECT_TRUE(std::equal(tmp.begin(), tmp.begin() + static_cast<long>(len),
                               send.request.begin() + static_cast<long>(header)));
        EXPECT_EQ(tl::TemplateLength(tl::Bytes(tmp.data(), tmp.size())), len);
        TL_Close(s);
    }
}

TEST_F(Fingerprints, UnusableInputIsRefusedBeforeAnyTraffic) {
    auto* s = Open();
    Bytes shortTmp = Template(7, 0, 0);
    ASSERT_LT(shortTmp.size(), 50u);
    Bytes junk(64, 0x41);
    int number = 0, length = 2, flag = 0;
    unsigned char buffer[8];
    EXPECT_EQ(TL_SetUserTmp(s, 7, 0, shortTmp.data()), -3);
    EXPECT_EQ(TL_SetUserTmpEx(s, "7", 0, 0, junk.data()), -3);
    EXPECT_EQ(SSR_TL_SetUserTmpExt(s, 0, "a", 0, junk.data()), -3);
    EXPECT_EQ(TL_TestUserTmp(s, &number, junk.data()), -3);
    EXPECT_EQ(TL_SetUserTmp(s, 7, 0, nullptr), 4);
    EXPECT_EQ(TL_TestUserTmp(s, nullptr, shortTmp.data()), 4);
    EXPECT_EQ(TL_GetUserTmp(s, 7, 0, buffer, &length), 4);  // room for less than the request
    EXPECT_EQ(TL_GetUserTmp(s, 7, 0, nullptr, &length), 4);
    EXPECT_EQ(TL_GetUserTmpEx(s, "7", 0, &flag, buffer, nullptr), 4);
    EXPECT_EQ(SSR_TL_DelUserTmp(s, nullptr, 0), 4);
    EXPECT_TRUE(NewCalls().empty());
    // Numbers that cannot name a user are not cut into another one's (the
    // lookup may read the user table, nothing more).
    Bytes t = Template(20, 8, 8);
    EXPECT_EQ(TL_SetUserTmp(s, 70000, 0, t.data()), 0);
    EXPECT_EQ(TL_DelUserTmp(s, -1, 0), 0);
    for (const auto& c : NewCalls()) EXPECT_NE(c.op, Op::SendCmd);
    TL_Close(s);
}

TEST_F(Fingerprints, UnknownTextIdsSendNothing) {
    auto* s = Open(true);
    Bytes t = Template(20, 8, 8);
    fakepmx::Push(Table(Rec72(9, "abc")));
    EXPECT_EQ(SSR_TL_SetUserTmp(s, "nobody", 0, t.data()), 0);
    EXPECT_EQ(SSR_TL_DelUserTmp(s, "nobody", 0), 0);
    EXPECT_EQ(TL_SetUserTmpEx(s, "nobody", 0, 0, t.data()), 0);
    for (const auto& c : NewCalls()) EXPECT_EQ(c.op, Op::ReadData);  // the table only
    // The readers look once more in a fresh table before giving up.
    ClearCalls();
    fakepmx::Push(Table(Rec72(9, "abc")));
    unsigned char buffer[64];
    int length = 64;
    EXPECT_EQ(SSR_TL_GetUserTmp(s, "nobody", 0, buffer, &length), 0);
    auto calls = NewCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].op, Op::ReadData);
    TL_Close(s);
}

TEST_F(Fingerprints, ReadsReportTheTransportResultAndTheFlag) {
    for (int tft = 0; tft < 2; ++tft) {
        auto* s = Open(tft);
        if (tft) fakepmx::Push(Table(Rec72(7, "7")));
        fakepmx::Push(fakepmx::Ok({1, 2, 3, 4, 9}));
        unsigned char buffer[32];
        int length = 32, flag = -7;
        ASSERT_EQ(TL_GetUserTmpEx(s, "7", 2, &flag, buffer, &length), 1);
        EXPECT_EQ(length, 4);
        EXPECT_EQ(flag, tft ? 9 : -7);
        const auto c = NewCalls().back();
        EXPECT_EQ(c.command, 88);
        EXPECT_EQ(c.request, Cat({U16(7), {2}}));
        EXPECT_EQ(c.bufferSize, 32);
        EXPECT_EQ(c.timeout, s->dataTimeout);
        // A refusal still hands the transport's result over.
        fakepmx::Push(Refused(3));
        length = 32;
        EXPECT_EQ(TL_GetUserTmp(s, 7, 2, buffer, &length), 0);
        EXPECT_EQ(length, 3);
        TL_Close(s);
    }
    // Version 10: the data read with the packet size.
    auto* s = Open(false, 10);
    fakepmx::Push(Table(Rec72(7, "7")));
    fakepmx::Push(fakepmx::Ok({1, 2, 3}));
    unsigned char buffer[32];
    int length = 32;
    ASSERT_EQ(SSR_TL_GetUserTmp(s, "7", 15, buffer, &length), 1);
    const auto c = NewCalls().back();
    EXPECT_EQ(c.op, Op::ReadData1);
    EXPECT_EQ(c.packetSize, s->blockSize);
    EXPECT_EQ(c.request, Cat({U16(7), {15}}));
    EXPECT_EQ(length, 3);
    TL_Close(s);
}

TEST_F(Fingerprints, QueriesWalkTheCachedTableWithinItsRecords) {
    auto* s = Open();
    const Bytes t = Template(20, 8, 8);
    auto rec = [](std::uint16_t size, std::uint16_t pin, std::uint8_t finger, std::uint8_t flag,
                  const Bytes& body) {
        return Cat({U16(size), U16(pin), {finger, flag}, body});
    };
    const Bytes table = Cat(
        {rec(static_cast<std::uint16_t>(6 + t.size() + 3), 7, 3, 9, Cat({t, {0xEE, 0xEE, 0xEE}})),
         rec(6, 8, 1, 4, {}), rec(40, 5, 5, 5, Bytes(10, 1)),  // cut short: the walk ends
         rec(6, 9, 1, 1, {})});
    fakepmx::Push(Table(table));
    ASSERT_EQ(TL_ReadTempData(s), 1);
    ClearCalls();
    Bytes out(t.size() + 8, 0xAA);
    int length = static_cast<int>(out.size()), flag = -7;
    // Classic: the template's own length, not the record's.
    ASSERT_EQ(TL_QueryUserTemp(s, 7, 3, out.data(), &length), 1);
    EXPECT_EQ(length, static_cast<int>(t.size()));
    EXPECT_TRUE(std::equal(t.begin(), t.end(), out.begin()));
    EXPECT_EQ(out[t.size()], 0xAA);
    // Ex: the record's bytes; an empty record gives length 0 and no flag.
    length = static_cast<int>(out.size());
    ASSERT_EQ(TL_QueryUserTempEx(s, "8", 1, &flag, out.data(), &length), 1);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(flag, -7);
    length = static_cast<int>(out.size());
    ASSERT_EQ(TL_QueryUserTempEx(s, "7", 3, &flag, out.data(), &length), 1);
    EXPECT_EQ(length, static_cast<int>(t.size() + 3));
    EXPECT_EQ(flag, 9);
    // Beyond a broken record nothing is found; a buffer too small is refused.
    length = static_cast<int>(out.size());
    EXPECT_EQ(TL_QueryUserTemp(s, 9, 1, out.data(), &length), 0);
    EXPECT_EQ(TL_QueryUserTemp(s, 7, 4, out.data(), &length), 0);
    length = 10;
    EXPECT_EQ(TL_QueryUserTemp(s, 7, 3, out.data(), &length), 4);
    EXPECT_EQ(length, 10);
    EXPECT_TRUE(NewCalls().empty());
    TL_Close(s);
}

TEST_F(Fingerprints, IdentificationReportsTheMatchingUser) {
    auto* s = Open();
    Bytes t = Template(20, 8, 8);
    int number = -1;
    fakepmx::Push(fakepmx::Ok(U16(256)));  // low byte 0: no match
    EXPECT_EQ(TL_TestUserTmp(s, &number, t.data()), 0);
    EXPECT_EQ(number, -1);
    const auto c = NewCalls().back();
    EXPECT_EQ(c.command, 1011);
    EXPECT_EQ(c.request, t);
    EXPECT_EQ(c.bufferSize, 1024);
    EXPECT_EQ(c.timeout, 5000);
    fakepmx::Push(fakepmx::Ok(U16(5)));
    EXPECT_EQ(TL_TestUserTmp(s, &number, t.data()), 1);
    EXPECT_EQ(number, 5);
    // Wide user numbers: reported as the enrolled number.
    s->pinWidth = 9;
    Bytes user(28, 0);
    tl::store_u16(user.data(), 5);
    tl::store_u32(user.data() + 24, 123456);
    fakepmx::Push(fakepmx::Ok(U16(5)));
    fakepmx::Push(Table(user));
    EXPECT_EQ(TL_TestUserTmp(s, &number, t.data()), 1);
    EXPECT_EQ(number, 123456);
    fakepmx::Push(fakepmx::Ok({5}));  // an answer too short to name anyone
    EXPECT_EQ(TL_TestUserTmp(s, &number, t.data()), -2);
    TL_Close(s);
}

TEST_F(Fingerprints, VersionTenContainersTravelAsData) {
    auto* s = Open(false, 10);
    fakepmx::Push(Table(Rec72(7, "7")));
    auto container = [](std::size_t len) {
        Bytes c(std::max<std::size_t>(len, 10), 0x5A);
        std::memcpy(c.data(), "ICRS21", 6);
        c[8] = static_cast<std::uint8_t>(len >> 8);
        c[9] = static_cast<std::uint8_t>(len);
        return c;
    };
    Bytes c = container(300), standard = Template(20, 8, 8);
    EXPECT_EQ(SSR_TL_SetUserTmp(s, "7", 3, c.data()), -100);          // finger 15 only
    EXPECT_EQ(SSR_TL_SetUserTmp(s, "7", 15, standard.data()), -100);  // wrong kind
    Bytes empty = container(0), huge = container(40000), shortEx = container(100);
    EXPECT_EQ(SSR_TL_SetUserTmp(s, "7", 15, empty.data()), -3);
    EXPECT_EQ(SSR_TL_SetUserTmp(s, "7", 15, huge.data()), -3);
    EXPECT_EQ(TL_SetUserTmpEx(s, "7", 1, 2, shortEx.data()), -3);
    ClearCalls();
    fakepmx::Push(fakepmx::Ok());
    ASSERT_EQ(SSR_TL_SetUserTmp(s, "7", 15, c.data()), 1);
    auto call = NewCalls().back();
    EXPECT_EQ(call.op, Op::SendCmdData);
    EXPECT_EQ(call.command, 10);
    EXPECT_EQ(call.data, c);
    EXPECT_EQ(call.request, Cat({U16(7), {15}, U16(300)}));
    EXPECT_EQ(call.timeout, s->dataTimeout);
    fakepmx::Push(fakepmx::Ok());
    ASSERT_EQ(TL_SetUserTmpEx(s, "7", 1, 2, c.data()), 1);
    call = NewCalls().back();
    EXPECT_EQ(call.command, 87);
    EXPECT_EQ(call.request, Cat({U16(7), {1, 2}, U16(300)}));
    TL_Close(s);
}

}  // namespace
