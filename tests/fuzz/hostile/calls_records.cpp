// Bulk table reads and the iteration over the logs they download.
#include "hostile/caller.h"

namespace hostile {
namespace {

const Call kCalls[] = {
    // -- bulk table reads and log iteration
    {"TL_ReadLog",
     [](Ctx& c) {
         Check(c, "TL_ReadLog", TL_ReadLog(c.h, c.P.Pick({1, 0, 2, 3, -1}))).Results({1, 0, -2});
     }},
    {"TL_ReadLogEx",
     [](Ctx& c) {
         const int mode = c.P.Pick({2, 1, 0, 3});
         Check(c, "TL_ReadLogEx", TL_ReadLogEx(c.h, mode, c.P.Int())).Results({1, 0, -2});
     }},
    {"TL_ReadOpLog",
     [](Ctx& c) {
         Check(c, "TL_ReadOpLog", TL_ReadOpLog(c.h, c.P.Pick({1, 0, 2}))).Results({1, 0, -2});
     }},
    {"TL_ReadTempData",
     [](Ctx& c) {
         NoArgs(c, "TL_ReadTempData", TL_ReadTempData, {1, 0, -2});
     }},
    {"TL_ReadUserInfo",
     [](Ctx& c) {
         NoArgs(c, "TL_ReadUserInfo", TL_ReadUserInfo, {1, 0, -2});
     }},
    {"TL_ReadData",
     [](Ctx& c) {
         // The table lands in the caller's buffer whatever the outcome, so only
         // the result is judged.
         const int size = c.P.Pick({4096, 1, 4, 8, 100, 0, -1});
         Buf buffer(static_cast<std::size_t>(std::max(size, 1)), c.P.OneIn(8));
         const std::uint8_t table = static_cast<std::uint8_t>(c.P.Pick({1, 2, 4, 5, 0, 7}));
         buffer.SetBytes(&table, 1);
         Check(c, "TL_ReadData", TL_ReadData(c.h, buffer.bytes(), size)).Results({1, -2, 4});
     }},
    {"TL_GetLog",
     [](Ctx& c) {
         Buf pin(4, c.P.OneIn(8)), mode(1, c.P.OneIn(8)), state(1, c.P.OneIn(8));
         Clock t(c.P);
         for (int i = 0; i < kMaxRecords; ++i) {
             for (Buf* b : {&pin, &mode, &state}) b->Reset();
             t.Reset();
             const int r = TL_GetLog(c.h, pin.ints(), mode.bytes(), state.bytes(), t.y.ints(),
                                     t.mo.ints(), t.d.ints(), t.h.ints(), t.mi.ints(), t.s.ints());
             Check k(c, "TL_GetLog", r);
             k.Results({1, 0, -2}).Kept({&pin, &mode, &state});
             t.Judge(k);
             if (r != 1) break;
         }
     }},
    {"TL_GetExtLog",
     [](Ctx& c) {
         Buf pin(4, c.P.OneIn(8)), mode(1, c.P.OneIn(8)), state(1, c.P.OneIn(8));
         Buf extraCode(4, c.P.OneIn(8)), extraWord(4, c.P.OneIn(8));
         Clock t(c.P);
         for (int i = 0; i < kMaxRecords; ++i) {
             for (Buf* b : {&pin, &mode, &state, &extraCode, &extraWord}) b->Reset();
             t.Reset();
             const int r = TL_GetExtLog(c.h, pin.ints(), mode.bytes(), state.bytes(), t.y.ints(),
                                        t.mo.ints(), t.d.ints(), t.h.ints(), t.mi.ints(),
                                        t.s.ints(), extraCode.ints(), extraWord.ints());
             Check k(c, "TL_GetExtLog", r);
             k.Results({1, 0, -2})
                 .Kept({&pin, &mode, &state, &extraCode, &extraWord})
                 .IntIn(extraWord, 0, 65535);
             t.Judge(k);
             if (r != 1) break;
         }
     }},
    {"TL_SSR_GetLog",
     [](Ctx& c) {
         // A 24-character ID fills idText without a terminator.
         Buf id(24, c.P.OneIn(8)), mode(1, c.P.OneIn(8)), state(1, c.P.OneIn(8));
         Buf extraCode(4, c.P.OneIn(8));
         Clock t(c.P);
         for (int i = 0; i < kMaxRecords; ++i) {
             for (Buf* b : {&id, &mode, &state, &extraCode}) b->Reset();
             t.Reset();
             const int r =
                 TL_SSR_GetLog(c.h, id.text(), mode.bytes(), state.bytes(), t.y.ints(), t.mo.ints(),
                               t.d.ints(), t.h.ints(), t.mi.ints(), t.s.ints(), extraCode.ints());
             Check k(c, "TL_SSR_GetLog", r);
             k.Results({1, 0, -2}).Kept({&id, &mode, &state, &extraCode});
             t.Judge(k);
             if (r != 1) break;
         }
     }},
    {"TL_GetOpLog",
     [](Ctx& c) {
         Buf op(4, c.P.OneIn(8)), code(4, c.P.OneIn(8)), params(16, c.P.OneIn(8));
         Clock t(c.P);
         for (int i = 0; i < kMaxRecords; ++i) {
             for (Buf* b : {&op, &code, &params}) b->Reset();
             t.Reset();
             const int r =
                 TL_GetOpLog(c.h, op.ints(), code.ints(), params.ints(), t.y.ints(), t.mo.ints(),
                             t.d.ints(), t.h.ints(), t.mi.ints(), t.s.ints());
             Check k(c, "TL_GetOpLog", r);
             k.Results({1, 0, -2}).Kept({&op, &code, &params}).IntIn(code, 0, 255);
             t.Judge(k);
             if (r != 1) break;
         }
     }},
    {"TL_SSR_GetOpLog",
     [](Ctx& c) {
         Buf op(24, c.P.OneIn(8)), user(24, c.P.OneIn(8)), code(4, c.P.OneIn(8));
         Buf time(17, c.P.OneIn(8)), params(12, c.P.OneIn(8));
         for (int i = 0; i < kMaxRecords; ++i) {
             for (Buf* b : {&op, &user, &code, &time, &params}) b->Reset();
             const int r = TL_SSR_GetOpLog(c.h, op.text(), user.text(), code.ints(), time.text(),
                                           params.ints());
             Check(c, "TL_SSR_GetOpLog", r)
                 .Results({1, 0, -2})
                 .Kept({&op, &user, &code, &time, &params})
                 .IntIn(code, 0, 255)
                 .IntIn(params, 0, 65535, 3)
                 .TextOf(time, 16, false);
             if (r != 1) break;
         }
     }},
};

}  // namespace

std::span<const Call> RecordCalls() {
    return kCalls;
}

}  // namespace hostile
