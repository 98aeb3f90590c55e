// User exports against the fake transport: classic and text-ID users, the
// cache loading rule, number allocation, batch queuing, groups, time zones and
// the extended byte.
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/bytes.h"
#include "test_support.h"
#include "users/user_numbers.h"

using namespace tltest;
using fakepmx::Op;

namespace {

constexpr const char* kModern = "Ver 6.60 Apr 15 2011";
constexpr const char* kLegacy = "Ver 5.03 Jan 01 2004";

Bytes U16(std::uint16_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
}

Bytes Rec28(std::uint16_t pin, std::uint32_t pin2, std::uint8_t privilege = 0,
            const std::string& name = "", Bytes card = Bytes(5, 0), std::uint8_t groupByte = 1,
            std::uint16_t zonesLow = 0) {
    Bytes r(28, 0);
    tl::store_u16(r.data(), pin);
    r[2] = privilege;
    std::memcpy(r.data() + 8, name.data(), std::min<std::size_t>(name.size(), 8));
    std::memcpy(r.data() + 16, card.data(), 5);
    r[21] = groupByte;
    tl::store_u16(r.data() + 22, zonesLow);
    tl::store_u32(r.data() + 24, pin2);
    return r;
}

Bytes Rec16(std::uint16_t pin, std::uint8_t privilege, const std::string& name) {
    Bytes r(16, 0);
    tl::store_u16(r.data(), pin);
    r[2] = privilege;
    std::memcpy(r.data() + 8, name.data(), std::min<std::size_t>(name.size(), 8));
    return r;
}

Bytes Rec72(std::uint16_t pin, const std::string& id, const std::string& name = "") {
    Bytes r(72, 0);
    tl::store_u16(r.data(), pin);
    std::memcpy(r.data() + 11, name.data(), std::min<std::size_t>(name.size(), 24));
    std::memcpy(r.data() + 48, id.data(), std::min<std::size_t>(id.size(), 24));
    return r;
}

// A user-table download answer: the count word, then the records.
fakepmx::Reply Table(const Bytes& records) {
    return fakepmx::Ok(Cat({U32(static_cast<std::uint32_t>(records.size())), records}));
}

fakepmx::Reply ErrorWithResult(int result) {
    fakepmx::Reply r = fakepmx::Error();
    r.result = result;
    return r;
}

class Users : public FakeTransportTest {
  protected:
    tl::DeviceSession* Open(const char* version = kModern, const char* platform = "ZEM") {
        fakepmx::Terminal t;
        t.version = version;
        t.options = {{"~Platform", platform}};
        return ConnectTo(t);
    }
    // Opens a batch by hand (its begin export is not part of this family).
    static void OpenBatch(tl::DeviceSession* s) {
        s->batchActive = 1;
        using Fill = tl::HeapBuffer::Fill;
        ASSERT_TRUE(s->batchUserCmds.buffer.allocate(0x200000, Fill::Zeroed));
        ASSERT_TRUE(s->batchTmpCmds.buffer.allocate(0x200000, Fill::Zeroed));
        ASSERT_TRUE(s->batchTmpData.buffer.allocate(16, Fill::Zeroed));
        ASSERT_TRUE(s->batchNewUsers.buffer.allocate(0x400000, Fill::Zeroed));
    }
    static Bytes UserCmds(tl::DeviceSession* s) {
        return Bytes(s->batchUserCmds.data(), s->batchUserCmds.data() + s->batchUserCmds.length);
    }
    static Bytes TmpCmds(tl::DeviceSession* s) {
        return Bytes(s->batchTmpCmds.data(), s->batchTmpCmds.data() + s->batchTmpCmds.length);
    }
    static std::vector<fakepmx::Call> Sends(const std::vector<fakepmx::Call>& calls) {
        std::vector<fakepmx::Call> out;
        for (const auto& c : calls)
            if (c.op == Op::SendCmd) out.push_back(c);
        return out;
    }
};

TEST_F(Users, IterationDecodesEveryFieldAndLoadsOnce) {
    auto* s = Open();
    const Bytes card = {0x78, 0x56, 0x34, 0x12, 0x9A};
    // Privilege 3 disabled (15); zones [1, 2, 40]: u16 32897, bits 4-5 = 2.
    fakepmx::Push(Table(Cat(
        {Rec28(5, 70000, 15, "ABCDEFGH", card, 0x80 | 0x20 | 7, 32897), Rec28(6, 0, 4, "Bo")})));
    int pin = 0, privilege = -9, enabled = -9, pin2 = 0, group = 0;
    int zones[4] = {9, 9, 9, 9};
    char name[9], password[6];
    unsigned char outCard[5];
    ASSERT_EQ(TL_GetUserInfo(s, &pin, name, &privilege, &enabled, password, outCard, &pin2, &group,
                             zones),
              1);
    auto calls = NewCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].op, Op::ReadData);
    EXPECT_EQ(calls[0].command, 9);
    EXPECT_EQ(calls[0].request, Bytes{5});
    EXPECT_EQ(calls[0].bufferSize, 6291456);
    EXPECT_EQ(pin, 5);
    EXPECT_STREQ(name, "ABCDEFGH");  // fills its field: cut at 8 and terminated
    EXPECT_EQ(privilege, 3);
    EXPECT_EQ(enabled, 0);
    EXPECT_STREQ(password, "");
    EXPECT_EQ(Bytes(outCard, outCard + 5), card);
    EXPECT_EQ(pin2, 70000);
    EXPECT_EQ(group, 7);
    EXPECT_EQ(zones[0], 1);
    EXPECT_EQ(zones[1], 2);
    EXPECT_EQ(zones[2], 40);
    EXPECT_EQ(zones[3], 0);

    // Privilege byte 4 leaves the caller's variable as it was; no time-zone
    // list gives [-1].
    privilege = -9;
    ASSERT_EQ(TL_GetUserInfo(s, &pin, name, &privilege, &enabled, password, outCard, &pin2, &group,
                             zones),
              1);
    EXPECT_EQ(pin, 6);
    EXPECT_EQ(privilege, -9);
    EXPECT_EQ(enabled, 1);
    EXPECT_EQ(zones[0], -1);
    EXPECT_EQ(TL_GetUserInfo(s, &pin, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr),
              0);
    EXPECT_EQ(NewCalls().size(), 1u);  // one download for the whole walk
    TL_Close(s);
}

TEST_F(Users, LoadFailuresAndEmptyTables) {
    auto* s = Open();
    // Refused download and failed fallback: -2 for readers and queries.
    fakepmx::Reply refused = fakepmx::Error();
    refused.replyCode = 2005;
    fakepmx::Reply badQuery = fakepmx::Ok();
    badQuery.result = 100;
    badQuery.inOutAfter = 3;
    fakepmx::Push(refused);
    fakepmx::Push(badQuery);
    int pin = 0;
    EXPECT_EQ(TL_GetUserInfo(s, &pin, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr),
              -2);
    fakepmx::Push(refused);
    fakepmx::Push(badQuery);
    EXPECT_EQ(TL_QueryUserByPIN2(s, 1), -2);

    // An empty table is the end of the data, not a failure.
    EXPECT_EQ(TL_GetUserInfo(s, &pin, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr),
              0);
    EXPECT_EQ(TL_QueryUserByPIN2(s, 1), 0);
    int pin2 = 4;
    EXPECT_EQ(TL_QueryUserInfo(s, 0, nullptr, nullptr, nullptr, nullptr, nullptr, &pin2, nullptr,
                               nullptr),
              0);
    EXPECT_EQ(TL_QueryUserInfo(s, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr),
              4);
    TL_Close(s);
    EXPECT_EQ(TL_GetUserInfo(nullptr, &pin, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr),
              -1);
    EXPECT_EQ(TL_GetUserTZs(nullptr, 1, nullptr, nullptr), -1);
    EXPECT_EQ(TL_GetUserID(nullptr, 1), -1);
    EXPECT_EQ(TL_GetUserPIN2(nullptr, 1), -1);
}

TEST_F(Users, LegacyFirmware) {
    auto* s = Open(kLegacy);
    EXPECT_EQ(TL_GetUserID(s, 1), -2);
    EXPECT_EQ(TL_GetUserPIN2(s, 1), -2);
    EXPECT_EQ(TL_QueryUserByPIN2(s, 1), 0);
    const unsigned char card[5] = {1, 2, 3, 4, 5};
    EXPECT_EQ(TL_QueryUserByCard(s, const_cast<unsigned char*>(card)), 0);
    EXPECT_TRUE(NewCalls().empty());

    fakepmx::Push(Table(Cat({Rec16(3, 11, "Zed"), Rec16(4, 2, "Y")})));
    int pin = 0, privilege = 0, pin2 = 9, group = 0;
    int zones[4] = {5, 5, 5, 5};
    unsigned char outCard[5] = {9, 9, 9, 9, 9};
    char name[9];
    ASSERT_EQ(
        TL_GetUserInfo(s, &pin, name, &privilege, nullptr, nullptr, outCard, &pin2, &group, zones),
        1);
    EXPECT_EQ(NewCalls()[0].request, Bytes{});  // no table id before "Ver 5.04"
    EXPECT_EQ(pin, 3);
    EXPECT_EQ(privilege, 4);  // byte 10 (11 without bit 0) reads as 4 here
    EXPECT_STREQ(name, "Zed");
    EXPECT_EQ(group, 1);
    EXPECT_EQ(zones[0], -1);
    EXPECT_EQ(zones[1], 5);
    EXPECT_EQ(pin2, 0);
    EXPECT_EQ(Bytes(outCard, outCard + 5), Bytes(5, 0));
    ASSERT_EQ(TL_GetUserInfo(s, &pin, name, &privilege, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr),
              1);
    EXPECT_EQ(pin, 4);  // 16-byte steps
    EXPECT_EQ(privilege, 1);

    // The legacy write: 17 bytes, four command timeouts, cache discarded.
    ClearCalls();
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_SetUserInfo(s, 300, "Name", 3, 0, "123", nullptr, 0, 0, nullptr), 1);
    auto c = NewCalls().at(0);
    EXPECT_EQ(c.command, 8);
    EXPECT_EQ(c.bufferSize, 0);
    EXPECT_EQ(c.timeout, 16000);
    EXPECT_EQ(c.request, Cat({U16(300), Text("Name", false), Bytes(4, 0), Text("123", false),
                              Bytes{0, 0, 15, 0}}));
    EXPECT_EQ(s->userBuffer.data(), nullptr);
    EXPECT_EQ(s->userDataLen, 0);
    EXPECT_EQ(TL_SetUserInfo(s, 300, nullptr, 3, 0, "123", nullptr, 0, 0, nullptr), 4);
    TL_Close(s);
}

TEST_F(Users, SetUserInfoRequestAndCacheUpdate) {
    auto* s = Open();
    fakepmx::Push(Table(Rec28(7, 700)));
    fakepmx::Push(fakepmx::Ok());
    const unsigned char card[5] = {1, 2, 3, 4, 5};
    int zones[4] = {1, 2, 40, 0};
    EXPECT_EQ(TL_SetUserInfo(s, 9, "Ann", 3, 0, "12345", card, 900, 0x13, zones), 1);
    auto sends = Sends(NewCalls());
    ASSERT_EQ(sends.size(), 1u);
    EXPECT_EQ(sends[0].command, 8);
    EXPECT_EQ(sends[0].bufferSize, 28);
    EXPECT_EQ(sends[0].requestLength, 28);
    EXPECT_EQ(sends[0].timeout, 6000);
    EXPECT_EQ(sends[0].request,
              Cat({U16(9), Bytes{15}, Text("12345", false), Text("Ann", false), Bytes(5, 0),
                   Bytes{1, 2, 3, 4, 5}, Bytes{0x80 | 0x20 | 3}, U16(32897), U32(900)}));
    // Appended after the last record; the query finds it.
    EXPECT_EQ(s->userDataLen, 56);
    EXPECT_EQ(TL_QueryUserByPIN2(s, 900), 9);

    // PIN 0 with a known PIN2 overwrites that user, keeping its number;
    // PIN with PIN2 0 keeps the stored PIN2.
    ClearCalls();
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_SetUserInfo(s, 0, "New", 1, 1, nullptr, nullptr, 700, 0, nullptr), 1);
    EXPECT_EQ(NewCalls().at(0).request,
              Cat({U16(7), Bytes{2}, Bytes(5, 0), Text("New", false), Bytes(5, 0), Bytes(5, 0),
                   Bytes{0}, U16(0), U32(700)}));
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_SetUserInfo(s, 9, "Ann", 2, 1, nullptr, nullptr, 0, 1, nullptr), 1);
    EXPECT_EQ(s->userDataLen, 56);
    int pin2 = 0;
    ASSERT_EQ(TL_QueryUserInfo(s, 9, nullptr, nullptr, nullptr, nullptr, nullptr, &pin2, nullptr,
                               nullptr),
              1);
    EXPECT_EQ(pin2, 900);

    // Both numbers given: no search, a second record is appended.
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_SetUserInfo(s, 9, "Dup", 0, 1, nullptr, nullptr, 900, 0, nullptr), 1);
    EXPECT_EQ(s->userDataLen, 84);

    // Refused: the cache is unchanged.
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(TL_SetUserInfo(s, 11, "X", 0, 1, nullptr, nullptr, 1100, 0, nullptr), -2);
    EXPECT_EQ(s->userDataLen, 84);

    // Internal numbers outside 0..65534, before any traffic.
    ClearCalls();
    EXPECT_EQ(TL_SetUserInfo(s, 65535, "X", 0, 1, nullptr, nullptr, 1, 0, nullptr), -10);
    EXPECT_EQ(TL_SetUserInfo(s, -1, "X", 0, 1, nullptr, nullptr, 1, 0, nullptr), -10);
    EXPECT_TRUE(NewCalls().empty());
    TL_Close(s);
}

TEST_F(Users, NewUsersByPin2Only) {
    // On an empty table PIN2 1234 becomes PIN 1234; PIN2 70000 cannot be an
    // internal number and takes the lowest free one.
    auto* s = Open();
    fakepmx::Push(fakepmx::Error());  // the table download: empty
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_SetUserInfo(s, 0, "A", 0, 1, nullptr, nullptr, 1234, 0, nullptr), 1);
    auto sends = Sends(NewCalls());
    ASSERT_EQ(sends.size(), 1u);
    EXPECT_EQ(Bytes(sends[0].request.begin(), sends[0].request.begin() + 2), U16(1234));
    fakepmx::Push(fakepmx::Ok());
    ClearCalls();
    EXPECT_EQ(TL_SetUserInfo(s, 0, "B", 0, 1, nullptr, nullptr, 70000, 0, nullptr), 1);
    Bytes request = NewCalls().at(0).request;
    EXPECT_EQ(Bytes(request.begin(), request.begin() + 2), U16(1));
    // A second wide number skips the taken 1.
    fakepmx::Push(fakepmx::Ok());
    ClearCalls();
    EXPECT_EQ(TL_SetUserInfo(s, 0, "C", 0, 1, nullptr, nullptr, 70001, 0, nullptr), 1);
    request = NewCalls().at(0).request;
    EXPECT_EQ(Bytes(request.begin(), request.begin() + 2), U16(2));
    EXPECT_EQ(TL_GetUserID(s, 70001), 2);
    EXPECT_EQ(TL_GetUserPIN2(s, 1), 70000);
    EXPECT_EQ(TL_GetUserID(s, 5), -1);
    TL_Close(s);
}

TEST_F(Users, CacheAppendStopsAtCapacity) {
    auto* s = Open();
    fakepmx::Push(fakepmx::Error());
    fakepmx::Push(fakepmx::Ok());
    ASSERT_EQ(TL_SetUserInfo(s, 0, "A", 0, 1, nullptr, nullptr, 5, 0, nullptr), 1);
    // Shrink the cache to room for one record: the next write succeeds on
    // the terminal but is not stored.
    const Bytes held(s->userBuffer.data(), s->userBuffer.data() + 4 + 28);
    ASSERT_TRUE(s->userBuffer.allocate(4 + 28 + 27));
    std::copy(held.begin(), held.end(), s->userBuffer.data());
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_SetUserInfo(s, 9, "B", 0, 1, nullptr, nullptr, 9, 0, nullptr), 1);
    EXPECT_EQ(s->userDataLen, 28);
    TL_Close(s);
}

TEST_F(Users, DeleteKeepsTheCachedRecord) {
    auto* s = Open();
    fakepmx::Push(Table(Rec28(7, 70)));
    ASSERT_EQ(TL_QueryUserByPIN2(s, 70), 7);
    ClearCalls();
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_DelUser(s, 7), 1);
    auto sends = Sends(NewCalls());
    ASSERT_EQ(sends.size(), 1u);
    EXPECT_EQ(sends[0].command, 18);
    EXPECT_EQ(sends[0].request, U16(7));
    EXPECT_EQ(sends[0].bufferSize, 0);
    EXPECT_EQ(sends[0].timeout, 20000);
    int pin2 = 0;
    EXPECT_EQ(TL_QueryUserInfo(s, 7, nullptr, nullptr, nullptr, nullptr, nullptr, &pin2, nullptr,
                               nullptr),
              1);
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(TL_DelUser(s, 7), 0);
    fakepmx::Reply other = fakepmx::Ok();
    other.replyCode = 2005;
    fakepmx::Push(other);
    EXPECT_EQ(TL_DelUser(s, 7), -2);

    // Wide user numbers resolve through PIN2; one that resolves to nothing
    // that fits 16 bits deletes nothing and sends nothing.
    s->pinWidth = 9;
    fakepmx::Push(fakepmx::Ok());
    ClearCalls();
    EXPECT_EQ(TL_DelUser(s, 70), 1);
    EXPECT_EQ(NewCalls().at(0).request, U16(7));
    ClearCalls();
    EXPECT_EQ(TL_DelUser(s, 123456), 0);
    EXPECT_TRUE(NewCalls().empty());

    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_ClearAdministrators(s), 1);
    auto c = NewCalls().at(0);
    EXPECT_EQ(c.command, 20);
    EXPECT_EQ(c.requestLength, 0);
    EXPECT_EQ(c.timeout, 6000);
    EXPECT_EQ(s->userBuffer.data(), nullptr);
    TL_Close(s);
}

TEST_F(Users, LookupsByCard) {
    auto* s = Open();
    const Bytes card = {0x10, 0x20, 0x30, 0x40, 0x50};
    Bytes other = card;
    other[4] = 0x51;
    fakepmx::Push(Table(Cat({Rec28(3, 30, 0, "", other), Rec28(4, 40, 0, "", card)})));
    EXPECT_EQ(TL_QueryUserByCard(s, const_cast<unsigned char*>(card.data())), 4);
    unsigned char none[5] = {0, 0, 0, 0, 1};
    EXPECT_EQ(TL_QueryUserByCard(s, none), 0);
    EXPECT_EQ(TL_QueryUserByCard(s, nullptr), 4);
    TL_Close(s);
}

TEST_F(Users, BatchQueuesUsersWithDistinctNumbers) {
    auto* s = Open();
    fakepmx::Push(Table(Rec28(1, 10)));
    OpenBatch(s);
    s->pinWidth = 9;
    EXPECT_EQ(TL_SetUserInfo(s, 0, "A", 0, 1, nullptr, nullptr, 70000, 0, nullptr), 1);
    EXPECT_EQ(TL_SetUserInfo(s, 0, "B", 0, 1, nullptr, nullptr, 70001, 0, nullptr), 1);
    // The same PIN2 again finds the queued user: no new record.
    EXPECT_EQ(TL_SetUserInfo(s, 0, "A2", 0, 1, nullptr, nullptr, 70000, 0, nullptr), 1);
    EXPECT_TRUE(Sends(NewCalls()).empty());
    EXPECT_EQ(s->batchNewUsers.length, 56);
    const Bytes cmds = UserCmds(s);
    ASSERT_EQ(cmds.size(), 3u * 29);
    EXPECT_EQ(cmds[0], 2);
    EXPECT_EQ(Bytes(cmds.begin() + 1, cmds.begin() + 3), U16(2));
    EXPECT_EQ(Bytes(cmds.begin() + 30, cmds.begin() + 32), U16(3));
    EXPECT_EQ(Bytes(cmds.begin() + 59, cmds.begin() + 61), U16(2));
    EXPECT_EQ(s->userDataLen, 28);  // the cache is untouched

    // Deleting a queued user resolves its number through the batch.
    EXPECT_EQ(TL_DelUser(s, 70001), 1);
    const Bytes del = UserCmds(s);
    EXPECT_EQ(Bytes(del.begin() + 87, del.end()), Cat({Bytes{0}, U16(3), Bytes(26, 0)}));
    EXPECT_EQ(TmpCmds(s), Cat({Bytes{0}, U16(3), Bytes{255}, U32(0xFFFFFFFF)}));

    // A full list refuses the operation and queues nothing.
    s->batchUserCmds.length = 0x200000 - 10;
    const int tmpLen = s->batchTmpCmds.length;
    EXPECT_EQ(TL_DelUser(s, 1), -2);
    EXPECT_EQ(s->batchTmpCmds.length, tmpLen);
    TL_Close(s);
}

TEST_F(Users, TextIdUsers) {
    auto* s = Open(kModern, "ZMM_TFT");
    s->pinWidth = 4;
    fakepmx::Push(Table(Cat({Rec72(3, "1234567890", std::string(24, 'N')), Rec72(5, "25")})));
    int pin = 0, privilege = -7, card = 0, group = 0;
    int zones[4] = {};
    char id[25], name[24], password[9];
    ASSERT_EQ(
        SSR_TL_GetUserInfo(s, &pin, id, name, &privilege, nullptr, password, &card, &group, zones),
        1);
    EXPECT_EQ(pin, 3);
    EXPECT_STREQ(id, "1234");  // cut at the width
    EXPECT_EQ(std::string(name), std::string(23, 'N'));
    EXPECT_EQ(privilege, 0);
    ASSERT_EQ(SSR_TL_GetUserInfo(s, &pin, id, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 nullptr),
              1);
    EXPECT_EQ(pin, 5);
    EXPECT_EQ(SSR_TL_GetUserInfo(s, &pin, id, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 nullptr),
              0);
    s->pinWidth = 0;
    s->userCursor = s->userBuffer.data() + 4;
    ASSERT_EQ(SSR_TL_GetUserInfo(s, &pin, id, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 nullptr),
              1);
    EXPECT_STREQ(id, "");

    pin = 0;
    ASSERT_EQ(SSR_TL_QueryUserInfo(s, "25", name, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, &pin),
              1);
    EXPECT_EQ(pin, 5);
    EXPECT_EQ(SSR_TL_QueryUserInfo(s, "2", name, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, &pin),
              0);

    // Writing an existing ID overwrites its record with its number.
    ClearCalls();
    fakepmx::Push(fakepmx::Ok());
    int newCard = 0x01020304;
    int newZones[4] = {1, 2, 3, 0x10005};
    EXPECT_EQ(SSR_TL_SetUserInfo(s, "25", "Eve", 3, 0, "pw", &newCard, 0x107, newZones), 1);
    auto c = NewCalls().at(0);
    EXPECT_EQ(c.command, 8);
    EXPECT_EQ(c.bufferSize, 72);
    EXPECT_EQ(c.timeout, 6000);
    EXPECT_EQ(c.request, Cat({U16(5), Bytes{15}, Text("pw", false), Bytes(6, 0), Text("Eve", false),
                              Bytes(21, 0), U32(0x01020304), Bytes{7}, U16(1), U16(2), U16(3),
                              U16(5), Text("25", false), Bytes(22, 0)}));
    EXPECT_EQ(s->userDataLen, 144);

    // Group on a TFT terminal: number 25 is the text ID "25".
    ClearCalls();
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_SetUserGroup(s, 25, 4), 1);
    c = NewCalls().at(0);
    EXPECT_EQ(c.command, 22);
    EXPECT_EQ(c.request, Cat({U32(5), Bytes{4}}));
    EXPECT_EQ(c.bufferSize, 8);
    ClearCalls();
    EXPECT_EQ(TL_SetUserGroup(s, 26, 4), 0);  // no such ID: nothing sent
    EXPECT_TRUE(NewCalls().empty());
    TL_Close(s);
}

TEST_F(Users, TextIdNumbersAndDeletes) {
    auto* s = Open();
    // Empty cache: 1, 2, 3 ...
    EXPECT_EQ(tl::AllocateIdNumber(*s, "a"), 1);
    EXPECT_EQ(tl::AllocateIdNumber(*s, "b"), 2);
    EXPECT_EQ(tl::AllocateIdNumber(*s, "c"), 3);
    // Only the ID the last number went to resolves to it.
    EXPECT_EQ(tl::ResolveSsrId(*s, "c"), 3);
    EXPECT_EQ(tl::ResolveSsrId(*s, "a"), -1);
    ClearCalls();
    EXPECT_EQ(SSR_TL_DelUser(s, "zz"), 0);
    EXPECT_TRUE(NewCalls().empty());
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(SSR_TL_DelUser(s, "c"), 1);
    auto c = NewCalls().at(0);
    EXPECT_EQ(c.command, 18);
    EXPECT_EQ(c.request, U16(3));
    EXPECT_EQ(c.timeout, 6000);
    TL_Close(s);

    // With a cached table the lowest number no cached user holds.
    s = Open();
    fakepmx::Push(Table(Cat({Rec72(1, "x"), Rec72(2, "y"), Rec72(4, "w")})));
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(SSR_TL_SetUserInfo(s, "new", nullptr, 0, 1, nullptr, nullptr, 0, nullptr), 1);
    auto sends = Sends(NewCalls());
    ASSERT_EQ(sends.size(), 1u);
    EXPECT_EQ(Bytes(sends[0].request.begin(), sends[0].request.begin() + 2), U16(3));
    EXPECT_EQ(s->userDataLen, 4 * 72);
    EXPECT_EQ(tl::AllocateIdNumber(*s, "next"), 5);
    // An ID over 24 characters is refused, not cut into another user's ID.
    ClearCalls();
    const std::string longId = std::string(24, 'y') + "z";
    EXPECT_EQ(SSR_TL_SetUserInfo(s, longId.c_str(), nullptr, 0, 1, nullptr, nullptr, 0, nullptr),
              4);
    EXPECT_TRUE(NewCalls().empty());

    // Delete by ID text: 24 bytes; 0 only for a refusal with two reply bytes.
    ClearCalls();
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(SSR_TL_DelUserExt(s, "y"), 1);
    c = NewCalls().at(0);
    EXPECT_EQ(c.command, 133);
    EXPECT_EQ(c.request, Cat({Text("y", false), Bytes(23, 0)}));
    EXPECT_EQ(c.bufferSize, 0);
    EXPECT_EQ(c.timeout, 6000);
    fakepmx::Push(ErrorWithResult(2));
    EXPECT_EQ(SSR_TL_DelUserExt(s, "y"), 0);
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(SSR_TL_DelUserExt(s, "y"), -2);

    // Batch: entries instead of traffic.
    OpenBatch(s);
    ClearCalls();
    EXPECT_EQ(SSR_TL_SetUserInfo(s, "q", "Q", 0, 1, nullptr, nullptr, 1, nullptr), 1);
    EXPECT_EQ(SSR_TL_DelUser(s, "x"), 1);
    EXPECT_EQ(SSR_TL_DelUserExt(s, "w"), 1);
    EXPECT_TRUE(NewCalls().empty());
    const Bytes cmds = UserCmds(s);
    ASSERT_EQ(cmds.size(), 73u + 5 + 5);
    EXPECT_EQ(cmds[0], 2);
    EXPECT_EQ(Bytes(cmds.begin() + 73, cmds.end()), Cat({Bytes{0}, U32(1), Bytes{0}, U32(4)}));
    EXPECT_EQ(TmpCmds(s), Cat({Bytes{0}, U16(1), Bytes{255}, U32(0xFFFFFFFF), Bytes{0},
                               Text("w", false), Bytes(23, 0), Bytes{255}, U32(0xFFFFFFFF)}));
    TL_Close(s);
}

TEST_F(Users, GroupsAndTimeZonesOnClassicTerminals) {
    auto* s = Open();
    int group = 0x0102;
    fakepmx::Push(fakepmx::Ok(Bytes{3}));
    ASSERT_EQ(TL_GetUserGroup(s, 7, &group), 1);
    EXPECT_EQ(group, 3);
    auto c = NewCalls().at(0);
    EXPECT_EQ(c.command, 21);
    EXPECT_EQ(c.request, U32(7));
    EXPECT_EQ(c.bufferSize, 4);
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_GetUserGroup(s, 7, &group), -2);  // no group byte came back

    ClearCalls();
    int zones[4] = {6, 0, 0, 0};
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_SetUserTZs(s, 7, zones), 1);
    c = NewCalls().at(0);
    EXPECT_EQ(c.command, 24);
    EXPECT_EQ(c.request, Cat({U32(7), U32(1), U32(6), U32(0), U32(0)}));
    EXPECT_EQ(c.bufferSize, 100);
    ClearCalls();
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_SetUserTZs(s, 7, nullptr), 1);
    EXPECT_EQ(NewCalls().at(0).request, U32(7));

    // Following the group (negative count): with -1 in entry 0 the caller
    // gets entry 0 = -1 and the first zone in entry 2.
    ClearCalls();
    int in[4] = {-1, 9, 9, 9};
    int flag = -5;
    fakepmx::Push(fakepmx::Ok(Cat({U32(static_cast<std::uint32_t>(-2)), U32(8)})));
    ASSERT_EQ(TL_GetUserTZs(s, 7, in, &flag), 1);
    EXPECT_EQ(NewCalls().at(0).command, 23);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(in[0], -1);
    EXPECT_EQ(in[1], 0);
    EXPECT_EQ(in[2], 8);
    int own[4] = {0, 0, 0, 0};
    fakepmx::Push(fakepmx::Ok(Cat({U32(2), U32(8), U32(9)})));
    ASSERT_EQ(TL_GetUserTZs(s, 7, own, &flag), 1);
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(own[0], 8);
    EXPECT_EQ(own[1], 9);
    TL_Close(s);
}

TEST_F(Users, ExtendedByte) {
    auto* s = Open();
    int value = -1;
    fakepmx::Push(fakepmx::Ok(Bytes{9, 0, 0x5A}));
    ASSERT_EQ(TL_GetUserInfoEx(s, 9, 0, &value), 1);
    EXPECT_EQ(value, 0x5A);
    auto c = NewCalls().at(0);
    EXPECT_EQ(c.command, 80);
    EXPECT_EQ(c.request, U16(9));
    EXPECT_EQ(c.bufferSize, 26);

    ClearCalls();
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_SetUserInfoEx(s, 9, 0, 0x1FF), 1);
    c = NewCalls().at(0);
    EXPECT_EQ(c.command, 79);
    EXPECT_EQ(c.request, Cat({U16(9), Bytes{0xFF}, Bytes(21, 0)}));
    EXPECT_EQ(c.bufferSize, 24);

    // By PIN2 through the table: unknown gives 0 without a command.
    fakepmx::Push(Table(Rec28(4, 44)));
    ClearCalls();
    EXPECT_EQ(TL_SetUserInfoEx(s, 0, 45, 1), 0);
    EXPECT_TRUE(Sends(NewCalls()).empty());
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_DeleteUserInfoEx(s, 0, 44), 1);
    c = Sends(NewCalls()).at(0);
    EXPECT_EQ(c.command, 81);
    EXPECT_EQ(c.request, U16(4));
    EXPECT_EQ(c.timeout, 8000);
    fakepmx::Push(ErrorWithResult(2));
    EXPECT_EQ(TL_DeleteUserInfoEx(s, 4, 0), 0);
    fakepmx::Push(ErrorWithResult(0));
    EXPECT_EQ(TL_DeleteUserInfoEx(s, 4, 0), -2);
    EXPECT_EQ(TL_DeleteUserInfoEx(s, 0, 45), 0);
    TL_Close(s);
}

TEST_F(Users, TftTerminalsResolveNumbersAsTextIds) {
    auto* s = Open(kModern, "ZMM_TFT");
    fakepmx::Push(Table(Cat({Rec72(8, "31"), Rec72(9, "32")})));
    int zones[4] = {-1, 0, 0, 0};
    int flag = -1;
    fakepmx::Push(fakepmx::Ok(Cat({U16(4), U16(5), U16(6), U16(2)})));
    ASSERT_EQ(TL_GetUserTZs(s, 32, zones, &flag), 1);
    auto sends = Sends(NewCalls());
    ASSERT_EQ(sends.size(), 1u);
    EXPECT_EQ(sends[0].command, 23);
    EXPECT_EQ(sends[0].request, U32(9));
    EXPECT_EQ(sends[0].bufferSize, 100);
    EXPECT_EQ(flag, 4);  // entry 0 of a TFT answer
    EXPECT_EQ(zones[3], 2);

    // The count of a TFT write is entry 3.
    ClearCalls();
    int write[4] = {4, 5, 0, 2};
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_SetUserTZs(s, 31, write), 1);
    EXPECT_EQ(NewCalls().at(0).request, Cat({U32(8), U32(2), U32(4), U32(5), U32(0)}));

    // The extended byte: PIN when above 0, else PIN2, as decimal text IDs.
    ClearCalls();
    int value = 0;
    fakepmx::Push(fakepmx::Ok(Bytes{8, 0, 3}));
    ASSERT_EQ(TL_GetUserInfoEx(s, 0, 31, &value), 1);
    EXPECT_EQ(NewCalls().at(0).request, U16(8));
    EXPECT_EQ(value, 3);
    ClearCalls();
    EXPECT_EQ(TL_SetUserInfoEx(s, 33, 0, 1), 0);  // unknown ID: nothing sent
    EXPECT_TRUE(NewCalls().empty());
    TL_Close(s);
}

}  // namespace
