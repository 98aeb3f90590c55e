// Messages, work codes, attendance states, voices and short keys.
#include "hostile/caller.h"

namespace hostile {
namespace {

// Short-message content: 320 bytes on TFT terminals, else 60.
std::size_t ContentSize(Ctx& c) {
    int tft = 0;
    return TL_IsTFTMachine(c.h, &tft) == 1 && tft == 1 ? 320 : 60;
}

const Call kCalls[] = {
    // -- messages, work codes, states, voices and short keys
    {"TL_GetSMS",
     [](Ctx& c) {
         // The content field is 320 bytes on TFT terminals, else 60; the
         // whole field is copied, so it need not be terminated.
         Clock t(c.P);
         Buf kind(4, c.P.OneIn(8)), period(4, c.P.OneIn(8));
         Buf content(ContentSize(c), c.P.OneIn(16));
         Check k(c, "TL_GetSMS",
                 TL_GetSMS(c.h, c.P.Int(), kind.ints(), period.ints(), t.y.ints(), t.mo.ints(),
                           t.d.ints(), t.h.ints(), t.mi.ints(), t.s.ints(), content.text()));
         k.Results({1, -2, 4})
             .Kept({&kind, &period, &content})
             .IntIn(kind, 0, 255)
             .IntIn(period, 0, 65535);
         t.Judge(k);
     }},
    {"TL_SetSMS",
     [](Ctx& c) {
         const auto text = c.P.OneIn(16) ? nullptr : InText(c.P.Text(c.P.OneIn(2) ? 330 : 60));
         Program& P = c.P;
         Check(c, "TL_SetSMS",
               TL_SetSMS(c.h, P.Int(), P.Int(), P.Int(), 2000 + P.Small(100), 1 + P.Small(12),
                         1 + P.Small(31), P.Small(24), P.Small(60), P.Small(60), Ptr(text)))
             .Results({1, -2, 4});
     }},
    {"TL_DeleteSMS",
     [](Ctx& c) {
         Check(c, "TL_DeleteSMS", TL_DeleteSMS(c.h, c.P.Int())).Results({1, 0, -2, 4});
     }},
    {"TL_SetUData",
     [](Ctx& c) {
         const int number = c.P.OneIn(2) ? 0 : c.P.Int();
         Check(c, "TL_SetUData", TL_SetUData(c.h, number, c.P.Int(), c.P.Int()))
             .Results({1, 0, -2, 4});
     }},
    {"TL_DeleteUData",
     [](Ctx& c) {
         const int number = c.P.OneIn(2) ? 0 : c.P.Int();
         Check(c, "TL_DeleteUData", TL_DeleteUData(c.h, number, c.P.Int(), c.P.Int()))
             .Results({1, 0, -2, 4});
     }},
    {"TL_SetSsrUData",
     [](Ctx& c) {
         const auto id = c.P.OneIn(16) ? nullptr : InText(c.P.Text(25));
         Check(c, "TL_SetSsrUData", TL_SetSsrUData(c.h, Ptr(id), c.P.Int())).Results({1, 0, -2, 4});
     }},
    {"TL_DelSsrUData",
     [](Ctx& c) {
         const auto id = c.P.OneIn(16) ? nullptr : InText(c.P.Text(25));
         Check(c, "TL_DelSsrUData", TL_DelSsrUData(c.h, Ptr(id), c.P.Int())).Results({1, 0, -2, 4});
     }},
    {"TL_GetWorkCode",
     [](Ctx& c) {
         Buf code(4, c.P.OneIn(8));
         Check(c, "TL_GetWorkCode", TL_GetWorkCode(c.h, c.P.Int(), code.ints()))
             .Results({1, -2, 4})
             .Kept({&code});
     }},
    {"TL_SetWorkCode",
     [](Ctx& c) {
         Check(c, "TL_SetWorkCode", TL_SetWorkCode(c.h, c.P.Int(), c.P.Int())).Results({1, -2, 4});
     }},
    {"TL_DeleteWorkCode",
     [](Ctx& c) {
         Check(c, "TL_DeleteWorkCode", TL_DeleteWorkCode(c.h, c.P.Int())).Results({1, 0, -2, 4});
     }},
    {"TL_ClearWorkCode",
     [](Ctx& c) {
         NoArgs(c, "TL_ClearWorkCode", TL_ClearWorkCode, {1, -2});
     }},
    {"TL_SSR_GetWorkCode",
     [](Ctx& c) {
         Buf name(25, c.P.OneIn(16));
         Check(c, "TL_SSR_GetWorkCode", TL_SSR_GetWorkCode(c.h, c.P.Int(), name.text()))
             .Results({1, -2, 4})
             .Kept({&name})
             .Text(name);
     }},
    {"TL_SSR_SetWorkCode",
     [](Ctx& c) {
         const auto name = FieldArg(c.P, 24);
         Check(c, "TL_SSR_SetWorkCode", TL_SSR_SetWorkCode(c.h, c.P.Int(), Ptr(name)))
             .Results({1, -2, 4});
     }},
    {"TL_SSR_DeleteWorkCode",
     [](Ctx& c) {
         Check(c, "TL_SSR_DeleteWorkCode", TL_SSR_DeleteWorkCode(c.h, c.P.Int()))
             .Results({1, 0, -2, 4});
     }},
    {"TL_SSR_ClearWorkCode",
     [](Ctx& c) {
         NoArgs(c, "TL_SSR_ClearWorkCode", TL_SSR_ClearWorkCode, {1, -2});
     }},
    {"TL_SetCustomizeAttState",
     [](Ctx& c) {
         const int index = c.P.Pick({0, 7, 8, -1}), code = c.P.Pick({0, 127, 128, -1});
         Check(c, "TL_SetCustomizeAttState", TL_SetCustomizeAttState(c.h, index, code))
             .Results({1, -2, 4});
     }},
    {"TL_EnableCustomizeAttState",
     [](Ctx& c) {
         Check(c, "TL_EnableCustomizeAttState",
               TL_EnableCustomizeAttState(c.h, c.P.Pick({0, 7, 8, -1}), c.P.Int()))
             .Results({1, -2, 4});
     }},
    {"TL_DelCustomizeAttState",
     [](Ctx& c) {
         Check(c, "TL_DelCustomizeAttState", TL_DelCustomizeAttState(c.h, c.P.Pick({0, 7, 8, -1})))
             .Results({1, 0, -2, 4});
     }},
    {"TL_SetCustomizeVoice",
     [](Ctx& c) {
         const auto file =
             c.P.OneIn(16) ? nullptr : InText(c.P.OneIn(4) ? "beep.wav" : c.P.Text(25));
         Check(c, "TL_SetCustomizeVoice",
               TL_SetCustomizeVoice(c.h, c.P.Pick({0, 20, 21, -1}), Ptr(file)))
             .Results({1, -2, 4});
     }},
    {"TL_EnableCustomizeVoice",
     [](Ctx& c) {
         Check(c, "TL_EnableCustomizeVoice",
               TL_EnableCustomizeVoice(c.h, c.P.Pick({0, 20, 21, -1}), c.P.Int()))
             .Results({1, -2, 4});
     }},
    {"TL_DelCustomizeVoice",
     [](Ctx& c) {
         Check(c, "TL_DelCustomizeVoice", TL_DelCustomizeVoice(c.h, c.P.Pick({0, 20, 21, -1})))
             .Results({1, 0, -2, 4});
     }},
    {"TL_SSR_SetShortKey",
     [](Ctx& c) {
         Program& P = c.P;
         // Switch times: mostly well formed, now and then out of range or odd.
         std::string times;
         for (int i = P.Small(8); i > 0; --i)
             times += std::to_string(P.Small(26)) + ":" + std::to_string(P.Small(62)) + ";";
         if (P.OneIn(8)) times = P.Text(50);
         const auto label = FieldArg(P, 16);
         const auto text = P.OneIn(16) ? nullptr : InText(times);
         const int key = P.Pick({1, 2, 5, 255, 256, -1}), function = P.Pick({1, 1, 2, 3, 4, 256});
         Check(c, "TL_SSR_SetShortKey",
               TL_SSR_SetShortKey(c.h, key, function, P.Pick({0, 3, 255, 256}), Ptr(label),
                                  P.Pick({0, 1, 256}), Ptr(text)))
             .Results({1, -2, 4, -4});
     }},
    {"TL_SSR_GetShortKey",
     [](Ctx& c) {
         Buf function(4, c.P.OneIn(8)), state(4, c.P.OneIn(8)), autoSwitch(4, c.P.OneIn(8));
         Buf label(16, c.P.OneIn(16)), times(43, c.P.OneIn(16));
         const int key = c.P.Pick({1, 2, 5, 255, 256, -1});
         Check(c, "TL_SSR_GetShortKey",
               TL_SSR_GetShortKey(c.h, key, function.ints(), state.ints(), label.text(),
                                  autoSwitch.ints(), times.text()))
             .Results({1, 0, -2, 4, -4})
             .Kept({&function, &state, &autoSwitch, &label, &times})
             .IntIn(function, 0, 255)
             .IntIn(state, 0, 255)
             .IntIn(autoSwitch, 0, 255)
             .Text(times)
             .OnSuccess(
                 times.omitted() || !times.Terminated() || std::strlen(times.text()) % 42 == 0,
                 "a switch-time text of another length");
     }},
};

}  // namespace

std::span<const Call> ContentCalls() {
    return kCalls;
}

}  // namespace hostile
