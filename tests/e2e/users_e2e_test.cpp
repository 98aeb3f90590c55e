// Users and access-control tables through the whole stack (libtermlink,
// libportmux, network plug-in) against the simulated terminal model.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "harness.h"
#include "session/session.h"
#include "termsim/model.h"

namespace {

// The sanitizer build checks memory safety, not scale: there the simulated
// terminal's per-write cost (it checks every stored user for a duplicate key)
// would take the full tables past the test time limit, so they are smaller.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kScale = 5;
#else
constexpr int kScale = 1;
#endif

struct ClassicUser {
    int pin = 0, privilege = -1, enabled = -1, pin2 = 0, group = 0;
    std::string name;
};

// Every user the terminal hands over, after a fresh download.
std::vector<ClassicUser> ReadAllClassic(TL_HANDLE s) {
    std::vector<ClassicUser> out;
    EXPECT_GE(TL_ReadUserInfo(s), 0);
    for (;;) {
        ClassicUser u;
        char name[9];
        char password[6];
        unsigned char card[5];
        int zones[4];
        const int r = TL_GetUserInfo(s, &u.pin, name, &u.privilege, &u.enabled, password, card,
                                     &u.pin2, &u.group, zones);
        if (r != 1) {
            EXPECT_EQ(r, 0);
            break;
        }
        u.name = name;
        out.push_back(u);
    }
    return out;
}

// The allocation rule for users given by PIN2 only: the PIN2 itself when it
// is a free internal number, else the lowest free number. Numbers are only
// taken here, never freed, so the lowest free one never moves down.
struct Allocator {
    std::set<int> taken;
    int lowestFree = 1;
    int operator()(int pin2) {
        int pin = pin2;
        if (pin2 <= 0 || pin2 >= 65535 || taken.count(pin2)) {
            while (taken.count(lowestFree)) ++lowestFree;
            pin = lowestFree;
        }
        taken.insert(pin);
        return pin;
    }
};

TEST(UsersEndToEnd, TenThousandClassicUsersByPin2) {
    termsim::Config config;
    config.profile = termsim::Profile::Classic;
    config.pinWidth = 9;
    termsim::Model model(config);
    e2e::SimTerminal sim(model);
    TL_HANDLE s = sim.ConnectNet();
    ASSERT_NE(s, nullptr);
    tl::as_session(s)->pinWidth = 9;  // what the width query would report
    ASSERT_TRUE(model.Users().empty());

    // Enrolled numbers: small ones (kept as internal numbers unless taken)
    // interleaved with wide ones (which take the lowest free number).
    constexpr int kUsers = 10000 / kScale;
    Allocator allocate;
    std::map<int, int> expectPin;  // PIN2 -> PIN
    for (int i = 0; i < kUsers; ++i) {
        const int pin2 = (i % 2 == 0) ? 3 * i + 7 : 100000 + i;
        const std::string name = "U" + std::to_string(i);
        ASSERT_EQ(TL_SetUserInfo(s, 0, name.c_str(), i % 4, 1, "", nullptr, pin2, 1, nullptr), 1)
            << i;
        expectPin[pin2] = allocate(pin2);
    }
    ASSERT_EQ(model.Users().size(), static_cast<std::size_t>(kUsers));

    auto users = ReadAllClassic(s);
    ASSERT_EQ(users.size(), static_cast<std::size_t>(kUsers));
    std::set<int> pins, pin2s;
    for (const auto& u : users) {
        EXPECT_TRUE(pins.insert(u.pin).second) << "internal number twice: " << u.pin;
        EXPECT_TRUE(pin2s.insert(u.pin2).second) << "enrolled number twice: " << u.pin2;
        ASSERT_TRUE(expectPin.count(u.pin2)) << u.pin2;
        EXPECT_EQ(u.pin, expectPin[u.pin2]) << "PIN2 " << u.pin2;
    }
    EXPECT_EQ(TL_GetUserID(s, 100001), expectPin[100001]);
    EXPECT_EQ(TL_GetUserPIN2(s, expectPin[7]), 7);

    // Delete every third user by enrolled number; the rest stays.
    std::set<int> deleted;
    for (int i = 0; i < kUsers; i += 3) {
        const int pin2 = (i % 2 == 0) ? 3 * i + 7 : 100000 + i;
        ASSERT_EQ(TL_DelUser(s, pin2), 1) << pin2;
        deleted.insert(pin2);
    }
    users = ReadAllClassic(s);
    EXPECT_EQ(users.size(), kUsers - deleted.size());
    for (const auto& u : users) {
        EXPECT_FALSE(deleted.count(u.pin2)) << u.pin2;
        EXPECT_EQ(u.pin, expectPin[u.pin2]);
    }
    EXPECT_EQ(model.Users().size(), kUsers - deleted.size());
    EXPECT_EQ(TL_Close(s), 1);
}

TEST(UsersEndToEnd, FiveThousandTextIdUsers) {
    termsim::Config config;
    config.profile = termsim::Profile::Tft;
    termsim::Model model(config);
    e2e::SimTerminal sim(model);
    TL_HANDLE s = sim.ConnectNet();
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(tl::as_session(s)->isTFT, 1);
    tl::as_session(s)->pinWidth = 24;

    constexpr int kUsers = 5000 / kScale;
    for (int i = 0; i < kUsers; ++i) {
        const std::string id = "ID-" + std::to_string(i * 13);
        const std::string name = "Name " + std::to_string(i);
        int card = 1000 + i;
        int zones[4] = {1, i % 50, 0, 0};
        ASSERT_EQ(SSR_TL_SetUserInfo(s, id.c_str(), name.c_str(), i % 3, i % 5 != 0, "pw", &card,
                                     i % 99 + 1, zones),
                  1)
            << i;
    }
    ASSERT_EQ(model.Users().size(), static_cast<std::size_t>(kUsers));

    auto readAll = [&] {
        std::map<std::string, int> byId;  // ID -> PIN
        EXPECT_GE(TL_ReadUserInfo(s), 0);
        for (;;) {
            int pin = 0, privilege = -1, enabled = -1, card = 0, group = 0;
            int zones[4];
            char id[25], name[24], password[9];
            const int r = SSR_TL_GetUserInfo(s, &pin, id, name, &privilege, &enabled, password,
                                             &card, &group, zones);
            if (r != 1) {
                EXPECT_EQ(r, 0);
                break;
            }
            EXPECT_TRUE(byId.emplace(id, pin).second) << "ID twice: " << id;
            const int i = card - 1000;
            EXPECT_EQ(std::string(id), "ID-" + std::to_string(i * 13));
            EXPECT_EQ(std::string(name), "Name " + std::to_string(i));
            EXPECT_EQ(privilege, i % 3);
            EXPECT_EQ(enabled, i % 5 != 0 ? 1 : 0);
            EXPECT_STREQ(password, "pw");
            EXPECT_EQ(group, i % 99 + 1);
            EXPECT_EQ(zones[1], i % 50);
            // Numbers are handed out from 1 upward on a terminal that started
            // empty.
            EXPECT_EQ(pin, i + 1);
        }
        return byId;
    };
    auto byId = readAll();
    ASSERT_EQ(byId.size(), static_cast<std::size_t>(kUsers));

    // One lookup by ID, then delete every fourth user and read again.
    int pin = 0;
    char name[24];
    ASSERT_EQ(SSR_TL_QueryUserInfo(s, "ID-130", name, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, &pin),
              1);
    EXPECT_EQ(pin, 11);
    EXPECT_STREQ(name, "Name 10");
    for (int i = 0; i < kUsers; i += 4)
        ASSERT_EQ(SSR_TL_DelUser(s, ("ID-" + std::to_string(i * 13)).c_str()), 1) << i;
    byId = readAll();
    EXPECT_EQ(byId.size(), static_cast<std::size_t>(kUsers - kUsers / 4));
    EXPECT_EQ(byId.count("ID-0"), 0u);
    EXPECT_EQ(byId.count("ID-13"), 1u);
    EXPECT_EQ(TL_Close(s), 1);
}

// Deleting what the terminal does not hold is "not found" (0), not a
// refusal: the terminal's short status reaches termlink through the real
// transport even though these deletes offer no answer area.
TEST(UsersEndToEnd, DeletingAnAbsentUserIsNotFound) {
    {
        termsim::Model model;
        e2e::SimTerminal sim(model);
        TL_HANDLE s = sim.ConnectNet();
        ASSERT_NE(s, nullptr);
        ASSERT_EQ(TL_SetUserInfo(s, 5, "Ann", 0, 1, "", nullptr, 0, 1, nullptr), 1);
        ASSERT_EQ(model.Users().size(), 1u);
        const int pin = model.Users().front().pin;
        // The extended byte: absent user, present byte, byte already gone.
        EXPECT_EQ(TL_DeleteUserInfoEx(s, pin + 1000, 0), 0);
        ASSERT_EQ(TL_SetUserInfoEx(s, pin, 0, 7), 1);
        EXPECT_EQ(TL_DeleteUserInfoEx(s, pin, 0), 1);
        EXPECT_EQ(TL_DeleteUserInfoEx(s, pin, 0), 0);
        TL_Close(s);
    }
    {
        termsim::Config config;
        config.profile = termsim::Profile::Tft;
        termsim::Model model(config);
        e2e::SimTerminal sim(model);
        TL_HANDLE s = sim.ConnectNet();
        ASSERT_NE(s, nullptr);
        int card = 0;
        int zones[4] = {0, 0, 0, 0};
        ASSERT_EQ(SSR_TL_SetUserInfo(s, "A-1", "Ann", 0, 1, "", &card, 1, zones), 1);
        EXPECT_EQ(SSR_TL_DelUserExt(s, "NOBODY"), 0);
        EXPECT_EQ(SSR_TL_DelUserExt(s, "A-1"), 1);
        EXPECT_EQ(SSR_TL_DelUserExt(s, "A-1"), 0);
        TL_Close(s);
    }
}

TEST(AccessEndToEnd, TablesRoundTripThroughTheTerminal) {
    termsim::Model model;
    e2e::SimTerminal sim(model);
    TL_HANDLE s = sim.ConnectNet();
    ASSERT_NE(s, nullptr);

    std::string tz = "08001730";
    for (int d = 1; d < 7; ++d) tz += "0" + std::to_string(d) + "152359";
    ASSERT_EQ(TL_SetTZInfo(s, 12, tz.c_str()), 1);
    char text[200];
    ASSERT_EQ(TL_GetTZInfo(s, 12, text), 1);
    EXPECT_EQ(std::string(text), tz);
    EXPECT_EQ(model.TimeZones().at(12)[0], (std::array<std::uint8_t, 4>{8, 0, 17, 30}));

    ASSERT_EQ(TL_SetGroupTZ(s, 7, 12, 3, 0, 1, 5), 1);
    int z1 = 0, z2 = 0, z3 = -1, flag = 0, value = 0;
    ASSERT_EQ(TL_GetGroupTZ(s, 7, &z1, &z2, &z3, &flag, &value), 1);
    EXPECT_EQ(z1, 12);
    EXPECT_EQ(z2, 3);
    EXPECT_EQ(z3, 0);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(value, 5);
    EXPECT_EQ(TL_GetGroupTZ(s, 8, &z1, &z2, &z3, &flag, &value), -100);

    int zones[4] = {4, 9, 0, 0};
    ASSERT_EQ(TL_SetGroupTZs(s, 9, zones), 1);
    int back[4] = {-1, -1, -1, -1};
    ASSERT_EQ(TL_GetGroupTZs(s, 9, back), 1);
    EXPECT_EQ(back[0], 4);
    EXPECT_EQ(back[1], 9);
    EXPECT_EQ(back[2], 0);

    ASSERT_EQ(TL_SetHoliday(s, "0101010212241226"), 1);
    int length = 0;
    ASSERT_EQ(TL_GetHoliday(s, text, &length), 1);
    EXPECT_EQ(length, 16);
    EXPECT_EQ(std::string(text, 16), "0101010212241226");
    EXPECT_EQ(std::string(text + 16), std::string(176, '0'));

    ASSERT_EQ(TL_SetHolidayTZ(s, 3, 5, 1, 5, 3, 12), 1);
    int sm = 0, sd = 0, em = 0, ed = 0, zone = 0;
    ASSERT_EQ(TL_GetHolidayTZ(s, 3, &sm, &sd, &em, &ed, &zone), 1);
    EXPECT_EQ(std::vector<int>({sm, sd, em, ed, zone}), std::vector<int>({5, 1, 5, 3, 12}));

    ASSERT_EQ(TL_SetlockComb(s, 3, 1, 0, 7, 0, 0), 1);
    int g[5] = {-1, -1, -1, -1, -1};
    ASSERT_EQ(TL_GetlockComb(s, 3, &g[0], &g[1], &g[2], &g[3], &g[4]), 1);
    EXPECT_EQ(std::vector<int>(g, g + 5), std::vector<int>({1, 0, 7, 0, 0}));
    EXPECT_EQ(model.UnlockCombinations()[3], (std::array<std::uint8_t, 5>{1, 0, 7, 0, 0}));

    model.SetDoorState(3);
    int state = -1;
    ASSERT_EQ(TL_GetDoorState(s, &state), 1);
    EXPECT_EQ(state, 3);
    EXPECT_EQ(TL_Unlock(s, 5), 1);

    // A user's own zones through the same exchange.
    ASSERT_EQ(TL_SetUserInfo(s, 5, "Zoe", 0, 1, "", nullptr, 5, 1, nullptr), 1);
    int userZones[4] = {2, 7, 0, 0};
    ASSERT_EQ(TL_SetUserTZs(s, 5, userZones), 1);
    int got[4] = {0, 0, 0, 0};
    int follows = -1;
    ASSERT_EQ(TL_GetUserTZs(s, 5, got, &follows), 1);
    EXPECT_EQ(follows, 0);
    EXPECT_EQ(got[0], 2);
    EXPECT_EQ(got[1], 7);
    ASSERT_EQ(TL_SetUserGroup(s, 5, 7), 1);
    int group = 0;
    ASSERT_EQ(TL_GetUserGroup(s, 5, &group), 1);
    EXPECT_EQ(group, 7);
    EXPECT_EQ(TL_Close(s), 1);
}

}  // namespace
