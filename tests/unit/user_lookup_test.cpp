// Internal-number lookups over the cached user table.
#include "users/user_lookup.h"
#include "common/bytes.h"
#include "test_support.h"

using namespace tltest;
using fakepmx::Op;

namespace {

Bytes UserRec(std::uint16_t pin, std::uint32_t pin2) {
    Bytes r(28, 0);
    tl::store_u16(r.data(), pin);
    tl::store_u32(r.data() + 24, pin2);
    return r;
}

class UserLookup : public FakeTransportTest {
  protected:
    tl::DeviceSession* Open(const char* version) {
        fakepmx::Terminal t;
        t.version = version;
        return ConnectTo(t);
    }
};

TEST_F(UserLookup, MapsThroughTheCachedTableLoadedOnce) {
    auto* s = Open("Ver 6.60 Apr 15 2011");
    Bytes table = Cat({UserRec(7, 0), UserRec(9, 123456), UserRec(9, 999), UserRec(11, 42)});
    table.resize(table.size() - 1);  // the last record arrived cut short
    fakepmx::Push(fakepmx::Ok(Cat({U32(static_cast<std::uint32_t>(table.size())), table})));
    EXPECT_EQ(tl::MapPinToPin2(*s, 9), 123456u);  // first match wins
    auto calls = NewCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].command, 9);
    EXPECT_EQ(tl::MapPinToPin2(*s, 7), 7u);    // PIN2 0 keeps the number
    EXPECT_EQ(tl::MapPinToPin2(*s, 11), 11u);  // cut record is not looked at
    EXPECT_EQ(tl::MapPinToPin2(*s, 70000), 70000u);
    EXPECT_EQ(tl::FindUserByPin(*s, 9), s->userBuffer.data() + 4 + 28);
    EXPECT_EQ(NewCalls().size(), 1u);  // no second download
    TL_Close(s);
}

TEST_F(UserLookup, MappingFollowsEveryChangeOfTheCache) {
    auto* s = Open("Ver 6.60 Apr 15 2011");
    fakepmx::Push(fakepmx::Ok(Cat({U32(56), UserRec(3, 300), UserRec(4, 400)})));
    EXPECT_EQ(tl::MapPinToPin2(*s, 3), 300u);
    EXPECT_EQ(tl::MapPinToPin2(*s, 5), 5u);

    // A record appended to the cache is found.
    Bytes added = UserRec(5, 500);
    std::copy(added.begin(), added.end(), s->userBuffer.data() + 4 + 56);
    s->userDataLen += 28;
    EXPECT_EQ(tl::MapPinToPin2(*s, 5), 500u);
    // A record overwritten in place is read as it is now.
    tl::store_u32(s->userBuffer.data() + 4 + 24, 333);
    EXPECT_EQ(tl::MapPinToPin2(*s, 3), 333u);
    // Even a number changed in place is looked up afresh.
    tl::store_u16(s->userBuffer.data() + 4, 9);
    EXPECT_EQ(tl::MapPinToPin2(*s, 3), 3u);
    EXPECT_EQ(tl::MapPinToPin2(*s, 9), 333u);

    // A reload of the same length with other users.
    fakepmx::Push(fakepmx::Ok(Cat({U32(84), UserRec(4, 44), UserRec(3, 33), UserRec(4, 99)})));
    ASSERT_EQ(TL_ReadUserInfo(s), 1);
    EXPECT_EQ(tl::MapPinToPin2(*s, 4), 44u);  // the first of two records
    EXPECT_EQ(tl::MapPinToPin2(*s, 3), 33u);
    EXPECT_EQ(tl::MapPinToPin2(*s, 5), 5u);
    TL_Close(s);
}

TEST_F(UserLookup, FailedLoadIsNotRetriedAndFindsNothing) {
    auto* s = Open("Ver 6.60 Apr 15 2011");
    fakepmx::Push(fakepmx::Error());
    EXPECT_EQ(tl::MapPinToPin2(*s, 5), 5u);
    EXPECT_EQ(tl::MapPinToPin2(*s, 6), 6u);
    EXPECT_EQ(NewCalls().size(), 1u);
    TL_Close(s);
}

TEST_F(UserLookup, LegacyFirmwareMapsNothingButFindsSixteenByteRecords) {
    auto* s = Open("Ver 5.03 Jan 01 2005");
    EXPECT_EQ(tl::MapPinToPin2(*s, 5), 5u);
    EXPECT_TRUE(NewCalls().empty());
    Bytes table = Cat({Bytes{1, 0}, Bytes(14, 0), Bytes{5, 0}, Bytes(14, 0)});
    fakepmx::Push(fakepmx::Ok(Cat({U32(32), table})));
    const std::uint8_t* found = tl::FindUserByPin(*s, 5);
    EXPECT_EQ(found, s->userBuffer.data() + 4 + 16);
    EXPECT_EQ(tl::FindUserByPin(*s, 6), nullptr);
    TL_Close(s);
}

TEST_F(UserLookup, TextIdTablesMapNothing) {
    auto* s = Open("Ver 6.60 Jun 30 2014");
    s->isTFT = 1;
    Bytes user(72, 0);
    tl::store_u16(user.data(), 5);
    tl::store_u32(user.data() + 24, 1234);  // name bytes, not a PIN2
    fakepmx::Push(fakepmx::Ok(Cat({U32(72), user})));
    EXPECT_EQ(tl::MapPinToPin2(*s, 5), 5u);
    TL_Close(s);
}

}  // namespace
