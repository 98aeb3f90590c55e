// Users: the classic and text-ID readers and writers, their groups and zones.
#include "hostile/caller.h"

namespace hostile {
namespace {

// Outputs of the classic user readers: name 9, password 6, card 5, 4 zones.
struct ClassicUser {
    Buf pin, name, privilege, enabled, password, card, pin2, group, zones;
    explicit ClassicUser(Program& P)
        : pin(4, P.OneIn(8)),
          name(9, P.OneIn(8)),
          privilege(4, P.OneIn(8)),
          enabled(4, P.OneIn(8)),
          password(6, P.OneIn(8)),
          card(5, P.OneIn(8)),
          pin2(4, P.OneIn(8)),
          group(4, P.OneIn(8)),
          zones(16, P.OneIn(8)) {}
    void Reset() {
        for (Buf* b : {&pin, &name, &privilege, &enabled, &password, &card, &pin2, &group, &zones})
            b->Reset();
    }
    // Zones: entry 0 = -1 alone, or three 6-bit zones and entry 3 = 0 only
    // when all three are set.
    bool ZonesOk() const {
        if (zones.omitted()) return true;
        if (zones.Int(0) == -1)
            return zones.IntUntouched(1) && zones.IntUntouched(2) && zones.IntUntouched(3);
        for (std::size_t i = 0; i < 3; ++i)
            if (zones.Int(i) < 0 || zones.Int(i) > 63) return false;
        const bool all = zones.Int(0) && zones.Int(1) && zones.Int(2);
        return zones.IntUntouched(3) || (all && zones.Int(3) == 0);
    }
    void Judge(Check& k, bool withPin) const {
        k.Kept({&pin, &name, &privilege, &enabled, &password, &card, &pin2, &group, &zones})
            .Text(name)
            .Text(password)
            .IntInOrKept(privilege, 0, 4)
            .IntIn(enabled, 0, 1)
            .IntIn(group, 0, 15)
            .OnSuccess(ZonesOk(), "time zones unpacked wrongly");
        if (withPin) k.IntIn(pin, 0, 65535);
    }
};

// Outputs of the text-ID user readers: user ID 25 (width + NUL), name 24,
// password 9, 4 zones.
struct SsrUser {
    Buf pin, userId, name, privilege, enabled, password, card, group, zones;
    explicit SsrUser(Program& P)
        : pin(4, P.OneIn(8)),
          userId(25, P.OneIn(8)),
          name(24, P.OneIn(8)),
          privilege(4, P.OneIn(8)),
          enabled(4, P.OneIn(8)),
          password(9, P.OneIn(8)),
          card(4, P.OneIn(8)),
          group(4, P.OneIn(8)),
          zones(16, P.OneIn(8)) {}
    void Reset() {
        for (Buf* b :
             {&pin, &userId, &name, &privilege, &enabled, &password, &card, &group, &zones})
            b->Reset();
    }
    // The query has no user-ID output.
    void Judge(Check& k, bool withId) const {
        k.Kept({&pin, &userId, &name, &privilege, &enabled, &password, &card, &group, &zones})
            .IntIn(pin, 0, 65535)
            .Text(name)
            .Text(password)
            .IntInOrKept(privilege, 0, 3)
            .IntIn(enabled, 0, 1)
            .IntIn(group, 0, 255)
            .IntIn(zones, 0, 65535, 4);
        if (withId) k.Text(userId);
    }
};

const Call kCalls[] = {
    // -- users
    {"TL_GetUserInfo",
     [](Ctx& c) {
         ClassicUser u(c.P);
         for (int i = 0; i < kMaxRecords; ++i) {
             u.Reset();
             const int r = TL_GetUserInfo(c.h, u.pin.ints(), u.name.text(), u.privilege.ints(),
                                          u.enabled.ints(), u.password.text(), u.card.bytes(),
                                          u.pin2.ints(), u.group.ints(), u.zones.ints());
             Check k(c, "TL_GetUserInfo", r);
             k.Results({1, 0, -2, 4});
             u.Judge(k, true);
             if (r != 1) break;
         }
     }},
    {"TL_QueryUserInfo",
     [](Ctx& c) {
         ClassicUser u(c.P);
         const int pin = c.P.OneIn(2) ? 0 : c.P.Int();
         u.pin2.SetInt(0, c.P.Int());  // the PIN2 looked up when pin is 0
         const int r = TL_QueryUserInfo(c.h, pin, u.name.text(), u.privilege.ints(),
                                        u.enabled.ints(), u.password.text(), u.card.bytes(),
                                        u.pin2.ints(), u.group.ints(), u.zones.ints());
         Check k(c, "TL_QueryUserInfo", r);
         k.Results({1, 0, -2, 4});
         u.Judge(k, false);
     }},
    {"TL_QueryUserByPIN2",
     [](Ctx& c) {
         Check(c, "TL_QueryUserByPIN2", TL_QueryUserByPIN2(c.h, c.P.Int()), true, Check::kValue)
             .Between(0, 65535, {-2});
     }},
    {"TL_QueryUserByCard",
     [](Ctx& c) {
         Buf card(5, c.P.OneIn(8));
         std::uint8_t bytes[5];
         c.P.Copy(bytes, 5);
         card.SetBytes(bytes, 5);
         Check(c, "TL_QueryUserByCard", TL_QueryUserByCard(c.h, card.bytes()), true, Check::kValue)
             .Between(0, 65535, {-2, 4})
             .Always(card.Untouched(), "changed the caller's card");
     }},
    {"TL_GetUserID",
     [](Ctx& c) {
         Check(c, "TL_GetUserID", TL_GetUserID(c.h, c.P.Int()), true, Check::kValue)
             .Between(0, 65535, {-1, -2});
     }},
    {"TL_GetUserPIN2",
     [](Ctx& c) {
         // Any 32-bit PIN2 is a possible result.
         Check(c, "TL_GetUserPIN2", TL_GetUserPIN2(c.h, c.P.Int()), true, Check::kValue);
     }},
    {"TL_SetUserInfo",
     [](Ctx& c) {
         Program& P = c.P;
         const int pin = P.OneIn(2) ? 0 : P.Int();
         const auto name = FieldArg(P, 8);
         const int privilege = P.Pick({0, 1, 2, 3, 4, -1});
         const int enabled = P.Pick({1, 0, 2});
         const auto password = FieldArg(P, 5);
         Buf card(5, P.OneIn(4)), zones(12, P.OneIn(4));
         std::uint8_t bytes[5];
         P.Copy(bytes, 5);
         card.SetBytes(bytes, 5);
         for (std::size_t i = 0; i < 3; ++i) zones.SetInt(i, P.Pick({0, 1, 2, 63, 64, -1}));
         const int pin2 = P.Int(), group = P.Int();
         Check(c, "TL_SetUserInfo",
               TL_SetUserInfo(c.h, pin, Ptr(name), privilege, enabled, Ptr(password), card.bytes(),
                              pin2, group, zones.ints()))
             .Results({1, 0, -2, 4, -10});
     }},
    {"TL_DelUser",
     [](Ctx& c) {
         Check(c, "TL_DelUser", TL_DelUser(c.h, c.P.Int())).Results({1, 0, -2});
     }},
    {"TL_ClearAdministrators",
     [](Ctx& c) {
         NoArgs(c, "TL_ClearAdministrators", TL_ClearAdministrators, {1, -2});
     }},
    {"TL_GetUserGroup",
     [](Ctx& c) {
         Buf group(4, c.P.OneIn(8));
         Check(c, "TL_GetUserGroup", TL_GetUserGroup(c.h, c.P.Int(), group.ints()))
             .Results({1, -2, 4})
             .Kept({&group})
             .IntIn(group, 0, 255);
     }},
    {"TL_SetUserGroup",
     [](Ctx& c) {
         const int number = c.P.Int();
         Check(c, "TL_SetUserGroup", TL_SetUserGroup(c.h, number, c.P.Int())).Results({1, 0, -2});
     }},
    {"TL_GetUserTZs",
     [](Ctx& c) {
         Buf zones(ZoneBytes(c), c.P.OneIn(8)), flag(4, c.P.OneIn(8));
         if (c.P.OneIn(2)) zones.SetInt(0, -1);  // asks whether the user follows the group
         Check(c, "TL_GetUserTZs", TL_GetUserTZs(c.h, c.P.Int(), zones.ints(), flag.ints()))
             .Results({1, 0, -2, 4})
             .Kept({&zones, &flag})
             .IntIn(flag, 0, 65535);
     }},
    {"TL_SetUserTZs",
     [](Ctx& c) {
         Buf zones(ZoneBytes(c), c.P.OneIn(4));
         for (std::size_t i = 0; i < zones.size() / 4; ++i)
             zones.SetInt(i, c.P.Pick({0, 1, 3, 50, -1}));
         Check(c, "TL_SetUserTZs", TL_SetUserTZs(c.h, c.P.Int(), zones.ints())).Results({1, 0, -2});
     }},
    {"TL_GetUserInfoEx",
     [](Ctx& c) {
         Buf value(4, c.P.OneIn(8));
         const int pin = c.P.Int();
         Check(c, "TL_GetUserInfoEx", TL_GetUserInfoEx(c.h, pin, c.P.Int(), value.ints()))
             .Results({1, 0, -2, 4})
             .Kept({&value})
             .IntIn(value, 0, 255);
     }},
    {"TL_SetUserInfoEx",
     [](Ctx& c) {
         const int pin = c.P.Int(), pin2 = c.P.Int();
         Check(c, "TL_SetUserInfoEx", TL_SetUserInfoEx(c.h, pin, pin2, c.P.Int()))
             .Results({1, 0, -2});
     }},
    {"TL_DeleteUserInfoEx",
     [](Ctx& c) {
         const int pin = c.P.OneIn(2) ? 0 : c.P.Int();
         Check(c, "TL_DeleteUserInfoEx", TL_DeleteUserInfoEx(c.h, pin, c.P.Int()))
             .Results({1, 0, -2});
     }},
    {"SSR_TL_GetUserInfo",
     [](Ctx& c) {
         SsrUser u(c.P);
         for (int i = 0; i < kMaxRecords; ++i) {
             u.Reset();
             const int r =
                 SSR_TL_GetUserInfo(c.h, u.pin.ints(), u.userId.text(), u.name.text(),
                                    u.privilege.ints(), u.enabled.ints(), u.password.text(),
                                    u.card.ints(), u.group.ints(), u.zones.ints());
             Check k(c, "SSR_TL_GetUserInfo", r);
             k.Results({1, 0, -2, 4});
             u.Judge(k, true);
             if (r != 1) break;
         }
     }},
    {"SSR_TL_QueryUserInfo",
     [](Ctx& c) {
         SsrUser u(c.P);
         const auto id = c.P.OneIn(16) ? nullptr : InText(c.P.Text(25));
         const int r = SSR_TL_QueryUserInfo(c.h, Ptr(id), u.name.text(), u.privilege.ints(),
                                            u.enabled.ints(), u.password.text(), u.card.ints(),
                                            u.group.ints(), u.zones.ints(), u.pin.ints());
         Check k(c, "SSR_TL_QueryUserInfo", r);
         k.Results({1, 0, -2, 4});
         u.Judge(k, false);
     }},
    {"SSR_TL_SetUserInfo",
     [](Ctx& c) {
         Program& P = c.P;
         const auto id = P.OneIn(16) ? nullptr : InText(P.Text(26));
         const auto name = FieldArg(P, 24);
         const int privilege = P.Pick({0, 1, 2, 3, 4, -1});
         const int enabled = P.Pick({1, 0});
         const auto password = FieldArg(P, 8);
         Buf card(4, P.OneIn(4)), zones(16, P.OneIn(4));
         card.SetInt(0, P.Int());
         for (std::size_t i = 0; i < 4; ++i) zones.SetInt(i, P.Pick({0, 1, 2, 50, 65536, -1}));
         const int group = P.Int();
         Check(c, "SSR_TL_SetUserInfo",
               SSR_TL_SetUserInfo(c.h, Ptr(id), Ptr(name), privilege, enabled, Ptr(password),
                                  card.ints(), group, zones.ints()))
             .Results({1, 0, -2, 4, -10});
     }},
    {"SSR_TL_DelUser",
     [](Ctx& c) {
         const auto id = c.P.OneIn(16) ? nullptr : InText(c.P.Text(25));
         Check(c, "SSR_TL_DelUser", SSR_TL_DelUser(c.h, Ptr(id))).Results({1, 0, -2, 4});
     }},
    {"SSR_TL_DelUserExt",
     [](Ctx& c) {
         const auto id = c.P.OneIn(16) ? nullptr : InText(c.P.Text(25));
         Check(c, "SSR_TL_DelUserExt", SSR_TL_DelUserExt(c.h, Ptr(id))).Results({1, 0, -2, 4});
     }},
};

}  // namespace

std::span<const Call> UserCalls() {
    return kCalls;
}

}  // namespace hostile
