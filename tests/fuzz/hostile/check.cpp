// The rules every export shares, applied to each call's result, and the
// shapes of call several families share.
#include "hostile/caller.h"
#include "session/session.h"

namespace hostile {

Check::Check(Ctx& c, const char* name, int r, bool needsSession, Refusal rule)
    : name_(name), r_(r), null_(needsSession && !c.h) {
    // TL_FUZZ_TRACE=1 lists every call and its result, to read a
    // finding's input.
    static const bool trace = std::getenv("TL_FUZZ_TRACE") != nullptr;
    if (trace) std::fprintf(stderr, "%s -> %d (%d exchanges)\n", name, r, c.term.exchanges);
    if (null_ && r != -1) Fail(name, "a null session did not give -1");
    const hostile::Terminal& t = c.term;
    // While a batch is open, writes are queued: their one exchange may be
    // a refused user-table read, and 1 is still right.
    const bool batchOpen = c.h && tl::as_session(c.h)->batchActive;
    if (r == 1 && rule != kValue && !batchOpen && t.exchanges == 1 && t.onlyReplyKnown &&
        t.lastReply != REPLY_OK && !(rule == kDefaulted && t.lastReply == REPLY_ERROR))
        Fail(name, "reported 1 although its only exchange was refused");
    c.term.StartCall();
}

void SetNumber(Ctx& c, const char* name, int (*set)(TL_HANDLE, int)) {
    Check(c, name, set(c.h, c.P.Int())).Results({1, -2});
}
void NoArgs(Ctx& c, const char* name, int (*call)(TL_HANDLE), std::initializer_list<int> results) {
    Check(c, name, call(c.h)).Results(results);
}
void GetInt(Ctx& c, const char* name, int (*get)(TL_HANDLE, int*), int lo, int hi) {
    Buf v(4, c.P.OneIn(8));
    Check(c, name, get(c.h, v.ints())).Results({1, -2}).Kept({&v}).IntIn(v, lo, hi);
}

}  // namespace hostile
