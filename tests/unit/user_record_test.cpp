// User record layouts, the privilege byte, packed time zones and the lookups
// over a cached user table.
#include <cstdlib>
#include <cstring>
#include <string>

#include "test_support.h"
#include "users/user_record.h"
#include "users/user_table.h"

using namespace tltest;

namespace {

TEST(UserRecordLayout, ClassicRecordOffsets) {
    tl::UserRecord r;
    r.pin = 0x0102;
    r.privilege = tl::EncodePrivilege(3, 0);
    tl::CopyTextField(r.password, 5, "12345");
    tl::CopyTextField(r.name, 8, "Ann");
    const std::uint8_t card[5] = {0x11, 0x22, 0x33, 0x44, 0x55};
    std::memcpy(r.card, card, 5);
    r.groupByte = 7;
    const int zones[3] = {1, 2, 40};
    r.PackTimeZones(zones);
    r.pin2 = 0xA0B0C0D0;
    std::uint8_t b[28];
    r.Encode(tl::MutBytes(b, 28));
    const Bytes expect = {0x02, 0x01, 15,   '1',  '2',  '3',  '4',  '5',  'A',  'n',
                          'n',  0,    0,    0,    0,    0,    0x11, 0x22, 0x33, 0x44,
                          0x55, 0xA7, 0x81, 0x80, 0xD0, 0xC0, 0xB0, 0xA0};
    EXPECT_EQ(Bytes(b, b + 28), expect);  // 32897 = 0x8081; 40's high bits: 2 << 4

    const tl::UserRecord d = tl::UserRecord::Decode(tl::Bytes(b, 28));
    EXPECT_EQ(d.pin, 0x0102);
    EXPECT_EQ(d.Group(), 7);
    EXPECT_EQ(d.pin2, 0xA0B0C0D0u);
    int out[4] = {9, 9, 9, 9};
    d.UnpackTimeZones(out);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(out[1], 2);
    EXPECT_EQ(out[2], 40);
    EXPECT_EQ(out[3], 0);
}

TEST(UserRecordLayout, LegacyAndTextIdOffsets) {
    tl::LegacyUserRecord l;
    l.pin = 300;
    l.privilege = 2;
    tl::CopyTextField(l.password, 5, "99");
    tl::CopyTextField(l.name, 8, "ABCDEFGHIJ");  // cut to the field
    std::uint8_t b[16];
    l.Encode(tl::MutBytes(b, 16));
    EXPECT_EQ(Bytes(b, b + 16),
              (Bytes{44, 1, 2, '9', '9', 0, 0, 0, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'}));

    tl::SsrUserRecord s;
    s.pin = 7;
    s.privilege = 1;
    tl::CopyTextField(s.password, 8, "pw");
    tl::CopyTextField(s.name, 24, "Name");
    s.card = 0x01020304;
    s.group = 9;
    s.zones[0] = 1;
    s.zones[3] = 0x0405;
    tl::CopyTextField(s.userId, 24, "A-17");
    std::uint8_t x[72];
    s.Encode(tl::MutBytes(x, 72));
    EXPECT_EQ(x[0], 7);
    EXPECT_EQ(x[2], 1);
    EXPECT_EQ(x[3], 'p');
    EXPECT_EQ(x[11], 'N');
    EXPECT_EQ(Bytes(x + 35, x + 40), (Bytes{4, 3, 2, 1, 9}));
    EXPECT_EQ(Bytes(x + 40, x + 48), (Bytes{1, 0, 0, 0, 0, 0, 5, 4}));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(x + 48)), "A-17");
    const tl::SsrUserRecord d = tl::SsrUserRecord::Decode(tl::Bytes(x, 72));
    EXPECT_EQ(d.card, 0x01020304u);
    EXPECT_EQ(d.zones[3], 0x0405);
}

TEST(UserRecordLayout, PrivilegeByte) {
    EXPECT_EQ(tl::EncodePrivilege(3, 0), 15);
    EXPECT_EQ(tl::EncodePrivilege(1, 1), 2);
    EXPECT_EQ(tl::EncodePrivilege(2, 7), 6);
    EXPECT_EQ(tl::EncodePrivilege(4, 1), 4);
    EXPECT_EQ(tl::EncodePrivilege(0x1FF, 1), 0xFF);
    int p = -5;
    EXPECT_TRUE(tl::DecodePrivilege(15, true, &p));
    EXPECT_EQ(p, 3);
    EXPECT_EQ(tl::EnabledOf(15), 0);
    EXPECT_EQ(tl::EnabledOf(14), 1);
    p = -5;
    EXPECT_FALSE(tl::DecodePrivilege(4, true, &p));  // privilege 4 stored as 4
    EXPECT_EQ(p, -5);
    EXPECT_TRUE(tl::DecodePrivilege(11, true, &p));
    EXPECT_EQ(p, 4);
    p = -5;
    EXPECT_FALSE(tl::DecodePrivilege(10, false, &p));  // no such row in text-ID reads
    EXPECT_EQ(p, -5);
    EXPECT_TRUE(tl::DecodePrivilege(1, false, &p));
    EXPECT_EQ(p, 0);
}

TEST(UserRecordLayout, PackedTimeZones) {
    tl::UserRecord r;
    const int a[3] = {5, 7, 0};
    r.PackTimeZones(a);
    EXPECT_EQ(r.zonesLow, 453);
    EXPECT_EQ(r.groupByte, 0x80);
    int out[4] = {9, 9, 9, 9};
    r.UnpackTimeZones(out);
    EXPECT_EQ(out[0], 5);
    EXPECT_EQ(out[1], 7);
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(out[3], 9);  // not all three set: entry 3 untouched

    // Entries are masked to 6 bits; packing stops at the first 0.
    const int b[3] = {65, 0, 3};
    r.PackTimeZones(b);
    EXPECT_EQ(r.zonesLow, 1);

    // No list: bits 4-7 cleared, u16 kept, group kept.
    r.groupByte = 0xB5;
    r.zonesLow = 0;
    const int none[3] = {-1, 4, 4};
    r.PackTimeZones(none);
    EXPECT_EQ(r.groupByte, 0x05);
    EXPECT_EQ(r.zonesLow, 0);
    out[0] = out[1] = 9;
    r.UnpackTimeZones(out);
    EXPECT_EQ(out[0], -1);
    EXPECT_EQ(out[1], 9);
    r.zonesLow = 77;
    r.PackTimeZones(nullptr);
    EXPECT_EQ(r.zonesLow, 77);
}

class CachedTable : public ::testing::Test {
  protected:
    void SetUp() override {
        std::strcpy(s.firmwareVersion, "Ver 6.60 20110415");
        ASSERT_TRUE(s.userBuffer.allocate(4 + 3 * 72, tl::HeapBuffer::Fill::Zeroed));
    }
    std::uint8_t* Rec(std::size_t i, std::size_t size) {
        return s.userBuffer.data() + 4 + i * size;
    }
    tl::DeviceSession s;
};

TEST_F(CachedTable, LookupsByPin2CardAndId) {
    for (std::uint32_t i = 0; i < 3; ++i) {
        tl::store_u16(Rec(i, 28), static_cast<std::uint16_t>(i + 1));
        tl::store_u32(Rec(i, 28) + 16, 500);
        Rec(i, 28)[20] = static_cast<std::uint8_t>(i);
        tl::store_u32(Rec(i, 28) + 24, 1000 + i);
    }
    s.userDataLen = 3 * 28;
    EXPECT_EQ(tl::FindUserByPin2(s, 1002), Rec(2, 28));
    EXPECT_EQ(tl::FindUserByPin2(s, 999), nullptr);
    const std::uint8_t card[5] = {0xF4, 1, 0, 0, 1};  // 500, fifth byte 1
    EXPECT_EQ(tl::FindUserByCard(s, card), Rec(1, 28));

    // A claimed length beyond the data is walked only within whole records.
    s.userDataLen = 2 * 28 + 27;
    EXPECT_EQ(tl::FindUserByPin2(s, 1002), nullptr);
    s.userDataLen = 0x7FFFFFFF;  // clamped to the capacity: 7 records of 28
    EXPECT_EQ(tl::CachedUsers(s, 28).count, (4u + 3 * 72 - 4) / 28);

    // Legacy firmware has neither PIN2 nor card.
    std::strcpy(s.firmwareVersion, "Ver 5.03");
    EXPECT_EQ(tl::FindUserByPin2(s, 1000), nullptr);
    EXPECT_EQ(tl::FindUserByCard(s, card), nullptr);
}

TEST_F(CachedTable, TextIdsCompareWithinTheirField) {
    std::memcpy(Rec(0, 72) + 48, "AB", 2);
    std::memcpy(Rec(1, 72) + 48, "ABC", 3);
    std::memset(Rec(2, 72) + 48, 'Z', 24);  // full field, no terminator
    s.userDataLen = 3 * 72;
    EXPECT_EQ(tl::FindSsrUserById(s, "ABC"), Rec(1, 72));
    EXPECT_EQ(tl::FindSsrUserById(s, "AB"), Rec(0, 72));
    EXPECT_EQ(tl::FindSsrUserById(s, "A"), nullptr);
    EXPECT_EQ(tl::FindSsrUserById(s, std::string(24, 'Z').c_str()), Rec(2, 72));
    EXPECT_EQ(tl::FindSsrUserById(s, std::string(25, 'Z').c_str()), nullptr);
    EXPECT_EQ(tl::FindSsrUserById(s, nullptr), nullptr);
}

}  // namespace
