// Device control (restart, power, sleep) and clearing the terminal's data.
#include "hostile/caller.h"

namespace hostile {
namespace {

const Call kCalls[] = {
    // -- device control and clearing
    {"TL_RebootDevice",
     [](Ctx& c) {
         const int before = c.term.OpenCount();
         const int r = TL_RebootDevice(c.h);
         // Accepted: the session is gone with its transport (the handle must
         // not be touched again); refused: both kept.
         if (c.h && r == 1) {
             if (c.term.OpenCount() != before - 1)
                 Fail("TL_RebootDevice", "reported 1 without closing its transport");
             c.h = nullptr;
             Check(c, "TL_RebootDevice", r, false);
             return;
         }
         Check(c, "TL_RebootDevice", r).Results({1, -2});
         if (c.h && c.term.OpenCount() != before)
             Fail("TL_RebootDevice", "closed its transport without success");
     }},
    {"TL_PowerOffDevice",
     [](Ctx& c) {
         NoArgs(c, "TL_PowerOffDevice", TL_PowerOffDevice, {1, -2});
     }},
    {"TL_SleepDevice",
     [](Ctx& c) {
         NoArgs(c, "TL_SleepDevice", TL_SleepDevice, {1, -2});
     }},
    {"TL_ResumeDevice",
     [](Ctx& c) {
         NoArgs(c, "TL_ResumeDevice", TL_ResumeDevice, {1, -2});
     }},
    {"TL_SuspendDevice",
     [](Ctx& c) {
         NoArgs(c, "TL_SuspendDevice", TL_SuspendDevice, {1, -2});
     }},
    {"TL_AutoPowerOff",
     [](Ctx& c) {
         Check(c, "TL_AutoPowerOff", TL_AutoPowerOff(c.h, c.P.Int()))
             .Results({-100})
             .Always(c.term.exchanges == 0, "contacted the terminal");
     }},
    {"TL_PowerOffTime",
     [](Ctx& c) {
         const int a = c.P.Int(), b = c.P.Int(), d = c.P.Int();
         Check(c, "TL_PowerOffTime", TL_PowerOffTime(c.h, a, b, d, c.P.Int(), c.P.Int()))
             .Results({-100})
             .Always(c.term.exchanges == 0, "contacted the terminal");
     }},
    {"TL_WriteLCD",
     [](Ctx& c) {
         const auto text = c.P.OneIn(8) ? nullptr : InText(c.P.Text(150));
         const int row = c.P.Int(), column = c.P.Int();
         Check(c, "TL_WriteLCD", TL_WriteLCD(c.h, row, column, Ptr(text))).Results({1, -2, 4});
     }},
    {"TL_ClearLCD",
     [](Ctx& c) {
         NoArgs(c, "TL_ClearLCD", TL_ClearLCD, {1, -2});
     }},
    {"TL_Beep", [](Ctx& c) { SetNumber(c, "TL_Beep", TL_Beep); }},
    {"TL_PlayVoice",
     [](Ctx& c) {
         const int first = c.P.Int();
         Check(c, "TL_PlayVoice", TL_PlayVoice(c.h, first, c.P.Int())).Results({1, -2});
     }},
    {"TL_PlayVoiceByIndex",
     [](Ctx& c) { SetNumber(c, "TL_PlayVoiceByIndex", TL_PlayVoiceByIndex); }},
    {"TL_EnableClock", [](Ctx& c) { SetNumber(c, "TL_EnableClock", TL_EnableClock); }},
    {"TL_ClearData",
     [](Ctx& c) {
         NoArgs(c, "TL_ClearData", TL_ClearData, {1, -2});
     }},
    {"TL_ClearDataEx",
     [](Ctx& c) {
         const int kind = c.P.Pick({1, 2, 3, 4, 5, 0, 6, 257, -1});
         const int r = TL_ClearDataEx(c.h, kind);
         // The kind is checked before the session.
         if (kind < 1 || kind > 5) {
             if (r != 4) Fail("TL_ClearDataEx", "a kind outside 1-5 was not refused");
             c.term.StartCall();
             return;
         }
         Check(c, "TL_ClearDataEx", r).Results({1, -2});
     }},
    {"TL_ClearLogData",
     [](Ctx& c) {
         NoArgs(c, "TL_ClearLogData", TL_ClearLogData, {1, -2});
     }},
    {"TL_ClearOpLogData",
     [](Ctx& c) {
         NoArgs(c, "TL_ClearOpLogData", TL_ClearOpLogData, {1, -2});
     }},
    {"TL_RefreshData",
     [](Ctx& c) {
         NoArgs(c, "TL_RefreshData", TL_RefreshData, {1, -2});
     }},
    {"TL_ClearSMS",
     [](Ctx& c) {
         NoArgs(c, "TL_ClearSMS", TL_ClearSMS, {1, -2});
     }},
    {"TL_ClearUData",
     [](Ctx& c) {
         NoArgs(c, "TL_ClearUData", TL_ClearUData, {1, -2});
     }},
};

}  // namespace

std::span<const Call> ControlCalls() {
    return kCalls;
}

}  // namespace hostile
