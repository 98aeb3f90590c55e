// Access control: time zones, groups, holidays, unlock combinations, the door.
#include "hostile/caller.h"

namespace hostile {
namespace {

std::string TwoDigits(int v) {
    return {static_cast<char>('0' + v / 10 % 10), static_cast<char>('0' + v % 10)};
}

const Call kCalls[] = {
    // -- access control
    {"TL_GetTZInfo",
     [](Ctx& c) {
         Buf text(57, c.P.OneIn(16));
         Check(c, "TL_GetTZInfo", TL_GetTZInfo(c.h, c.P.Int(), text.text()))
             .Results({1, -2, 4})
             .Kept({&text})
             .TextOf(text, 56, true);
     }},
    {"TL_SetTZInfo",
     [](Ctx& c) {
         // Seven "hhmmhhmm" entries, now and then with an hour or minute out of range.
         std::string digits;
         for (int i = 0; i < 28; ++i) digits += TwoDigits(c.P.Small(i % 2 ? 61 : 25));
         const auto text = c.P.OneIn(16) ? nullptr : InText(c.P.OneIn(4) ? c.P.Text(60) : digits);
         Check(c, "TL_SetTZInfo", TL_SetTZInfo(c.h, c.P.Int(), Ptr(text))).Results({1, -2, 4});
     }},
    {"TL_GetGroupTZs",
     [](Ctx& c) {
         Buf zones(ZoneBytes(c), c.P.OneIn(16));
         Check(c, "TL_GetGroupTZs", TL_GetGroupTZs(c.h, c.P.Int(), zones.ints()))
             .Results({1, -2, 4})
             .Kept({&zones});
     }},
    {"TL_SetGroupTZs",
     [](Ctx& c) {
         Buf zones(ZoneBytes(c), c.P.OneIn(4));
         for (std::size_t i = 0; i < zones.size() / 4; ++i)
             zones.SetInt(i, c.P.Pick({0, 1, 2, 50, -1}));
         Check(c, "TL_SetGroupTZs", TL_SetGroupTZs(c.h, c.P.Int(), zones.ints()))
             .Results({1, -2, 4});
     }},
    {"TL_GetGroupTZ",
     [](Ctx& c) {
         Buf z1(4, c.P.OneIn(8)), z2(4, c.P.OneIn(8)), z3(4, c.P.OneIn(8));
         Buf flag(4, c.P.OneIn(8)), value(4, c.P.OneIn(8));
         const int group = c.P.OneIn(4) ? c.P.Pick({-1, 100, INT_MIN}) : c.P.Small(100);
         Check(
             c, "TL_GetGroupTZ",
             TL_GetGroupTZ(c.h, group, z1.ints(), z2.ints(), z3.ints(), flag.ints(), value.ints()))
             .Results({1, -2, 4, -100})
             .Kept({&z1, &z2, &z3, &flag, &value})
             .IntIn(z1, 0, 65535)
             .IntIn(z2, 0, 65535)
             .IntIn(z3, 0, 65535)
             .IntIn(flag, 0, 1)
             .IntIn(value, 0, 127);
     }},
    {"TL_SetGroupTZ",
     [](Ctx& c) {
         Program& P = c.P;
         const int group = P.Pick({1, 5, 99, 0, 100}), z1 = P.Pick({1, 50, 51, -1});
         const int z2 = P.Pick({0, 2}), z3 = P.Pick({0, 3}), flag = P.Pick({0, 1});
         Check(c, "TL_SetGroupTZ", TL_SetGroupTZ(c.h, group, z1, z2, z3, flag, P.Int()))
             .Results({1, -2, 4});
     }},
    {"TL_GetHoliday",
     [](Ctx& c) {
         Buf text(193, c.P.OneIn(16)), length(4, c.P.OneIn(8));
         const int r = TL_GetHoliday(c.h, text.text(), length.ints());
         Check(c, "TL_GetHoliday", r)
             .Results({1, -2, 4})
             .Kept({&text, &length})
             .TextOf(text, 192, true)
             .IntIn(length, 0, 192)
             .OnSuccess(length.omitted() || length.Int() % 8 == 0, "a length not 8 per entry");
     }},
    {"TL_SetHoliday",
     [](Ctx& c) {
         // Up to 24 "MMDDMMDD" entries, now and then with a month or day out of range.
         std::string digits;
         for (int i = 4 * c.P.Small(25); i > 0; --i)
             digits += TwoDigits(c.P.Small(i % 2 ? 33 : 14));
         const auto text = c.P.OneIn(16) ? nullptr : InText(c.P.OneIn(4) ? c.P.Text(200) : digits);
         Check(c, "TL_SetHoliday", TL_SetHoliday(c.h, Ptr(text))).Results({1, -2, 4});
     }},
    {"TL_GetHolidayTZ",
     [](Ctx& c) {
         Buf sm(4, c.P.OneIn(8)), sd(4, c.P.OneIn(8)), em(4, c.P.OneIn(8)), ed(4, c.P.OneIn(8));
         Buf zone(4, c.P.OneIn(8));
         const int holiday = c.P.OneIn(4) ? c.P.Pick({0, 25, -1}) : 1 + c.P.Small(24);
         Check(
             c, "TL_GetHolidayTZ",
             TL_GetHolidayTZ(c.h, holiday, sm.ints(), sd.ints(), em.ints(), ed.ints(), zone.ints()))
             .Results({1, -2, 4, -100})
             .Kept({&sm, &sd, &em, &ed, &zone})
             .IntIn(sm, 0, 255)
             .IntIn(sd, 0, 255)
             .IntIn(em, 0, 255)
             .IntIn(ed, 0, 255)
             .IntIn(zone, 0, 65535);
     }},
    {"TL_SetHolidayTZ",
     [](Ctx& c) {
         Program& P = c.P;
         const int holiday = P.Pick({1, 24, 0, 25}), sm = P.Pick({1, 12, 13}),
                   sd = P.Pick({1, 31, 32}), em = P.Pick({12, 0}), ed = P.Pick({31, 1});
         Check(c, "TL_SetHolidayTZ", TL_SetHolidayTZ(c.h, holiday, sm, sd, em, ed, P.Int()))
             .Results({1, -2, 4});
     }},
    {"TL_GetlockComb",
     [](Ctx& c) {
         Buf g1(4, c.P.OneIn(8)), g2(4, c.P.OneIn(8)), g3(4, c.P.OneIn(8)), g4(4, c.P.OneIn(8));
         Buf g5(4, c.P.OneIn(8));
         const int comb = c.P.OneIn(4) ? c.P.Pick({-1, 11, INT_MAX}) : c.P.Small(11);
         Check(c, "TL_GetlockComb",
               TL_GetlockComb(c.h, comb, g1.ints(), g2.ints(), g3.ints(), g4.ints(), g5.ints()))
             .Results({1, -2, 4, -100})
             .Kept({&g1, &g2, &g3, &g4, &g5})
             .IntIn(g1, 0, 255)
             .IntIn(g2, 0, 255)
             .IntIn(g3, 0, 255)
             .IntIn(g4, 0, 255)
             .IntIn(g5, 0, 255);
     }},
    {"TL_SetlockComb",
     [](Ctx& c) {
         Program& P = c.P;
         int g[5];
         for (int& x : g) x = P.Pick({0, 1, 7, 99, 100, -1});
         const int comb = P.Pick({0, 3, 10, 11, -1});
         Check(c, "TL_SetlockComb", TL_SetlockComb(c.h, comb, g[0], g[1], g[2], g[3], g[4]))
             .Results({1, -2, 4});
     }},
    {"TL_GetUnlockGroups",
     [](Ctx& c) {
         // Byte 0 is set to 0 before the exchange; the rest only on success.
         Buf text(200, c.P.OneIn(16));
         const int r = TL_GetUnlockGroups(c.h, text.text());
         Check(c, "TL_GetUnlockGroups", r).Results({1, -2, 4}).Text(text);
         if (r != 1 && !text.omitted()) {
             const bool first = c.h ? text.data()[0] == 0 || text.data()[0] == kSentinel
                                    : text.data()[0] == kSentinel;
             for (std::size_t i = 1; i < text.size(); ++i)
                 if (text.data()[i] != kSentinel) Fail("TL_GetUnlockGroups", "wrote and failed");
             if (!first) Fail("TL_GetUnlockGroups", "wrote and failed");
         }
     }},
    {"TL_SetUnlockGroups",
     [](Ctx& c) {
         const auto text = c.P.OneIn(16) ? nullptr : InText(c.P.Text(250));
         Check(c, "TL_SetUnlockGroups", TL_SetUnlockGroups(c.h, Ptr(text))).Results({1, -2, 4});
     }},
    {"TL_GetDoorState", [](Ctx& c) { GetInt(c, "TL_GetDoorState", TL_GetDoorState, 0, 255); }},
    {"TL_Unlock", [](Ctx& c) { SetNumber(c, "TL_Unlock", TL_Unlock); }},
    {"TL_GetACFun", [](Ctx& c) { GetInt(c, "TL_GetACFun", TL_GetACFun, INT_MIN, INT_MAX); }},
};

}  // namespace

std::span<const Call> AccessCalls() {
    return kCalls;
}

}  // namespace hostile
