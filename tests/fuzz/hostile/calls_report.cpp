// The report tables and the report output built from them.
#include "hostile/caller.h"

namespace hostile {
namespace {

const Call kCalls[] = {
    // -- report tables and report output
    {"TL_SSR_ReadAttRule",
     [](Ctx& c) {
         NoArgs(c, "TL_SSR_ReadAttRule", TL_SSR_ReadAttRule, {1, 0, -2});
     }},
    {"TL_SSR_ReadDPT",
     [](Ctx& c) {
         NoArgs(c, "TL_SSR_ReadDPT", TL_SSR_ReadDPT, {1, 0, -2});
     }},
    {"TL_SSR_ReadTurn",
     [](Ctx& c) {
         NoArgs(c, "TL_SSR_ReadTurn", TL_SSR_ReadTurn, {1, 0, -2});
     }},
    {"TL_SSR_SaveDate",
     [](Ctx& c) {
         // Each kind has its file; other kinds and an unwritable path too.
         const int kind = c.P.Pick({1, 2, 3, 4, 5, 0, 6, -1});
         const int file = c.P.OneIn(16) ? 11 : (kind >= 1 && kind <= 5 ? kind - 1 : 5);
         const auto path = InText(InDir(kReportFiles[file]));
         Check(c, "TL_SSR_SaveDate", TL_SSR_SaveDate(c.h, path->text(), kind)).Results({1, 0, -2});
     }},
    {"TL_SSR_OutPutHtml",
     [](Ctx& c) {
         Program& P = c.P;
         const auto userId = InText(P.OneIn(2) ? "" : P.Text(24));
         const auto log = InText(InDir("log.dat")), users = InText(InDir("users.dat"));
         const auto dept = InText(InDir("dept.dat")), shift = InText(InDir("shift.dat"));
         const auto rule = InText(InDir("rule.dat")), out = InText(InDir("out.html"));
         const auto work = InText(ReportDir() + "/");
         const auto caption = InText(P.OneIn(2) ? "Attendance" : P.Text(40));
         // Ranges of up to a few months: the calculation walks every day.
         const int y = 2000 + P.Small(40), mo = 1 + P.Small(12), d = 1 + P.Small(31);
         const int toMo = mo + P.Small(3), toD = 1 + P.Small(31);
         const int kind = P.Pick({1, 2, 3, 0, 4});
         const int r =
             TL_SSR_OutPutHtml(c.h, userId->text(), log->text(), users->text(), dept->text(),
                               shift->text(), y, mo, d, 0, 0, 0, y, toMo, toD, 23, 59, 59,
                               out->text(), work->text(), rule->text(), kind, caption->text());
         Check(c, "TL_SSR_OutPutHtml", r).Results({1, 0, -2});
     }},
};

}  // namespace

std::span<const Call> ReportCalls() {
    return kCalls;
}

}  // namespace hostile
