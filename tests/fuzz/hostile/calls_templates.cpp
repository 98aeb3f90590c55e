// Fingerprint templates on the terminal, and the batch that queues writes.
#include "hostile/caller.h"

namespace hostile {
namespace {

// A template to write: a standard template at exactly its own length or,
// where the terminal keeps version-10 containers and the export takes them,
// a container of exactly its length field (at least the 10 bytes holding it).
std::unique_ptr<Buf> WriteArg(Ctx& c, bool containers) {
    if (c.P.OneIn(16)) return nullptr;
    int fp = 0;
    if (!containers || TL_GetKeyOptions(c.h, &fp) != 1 || fp != 10) return TemplateArg(c.P);
    std::vector<std::uint8_t> bytes = c.P.Blob(3000);
    const std::size_t len =
        bytes.size() >= 10 ? static_cast<std::size_t>(bytes[8] << 8 | bytes[9]) : 0;
    bytes.resize(std::clamp<std::size_t>(len, 10, 32768), 0);
    auto b = std::make_unique<Buf>(bytes.size());
    b->SetBytes(bytes.data(), bytes.size());
    return b;
}

// The template readers build their request in the caller's buffer of
// *length bytes and the answer replaces it. *length receives the transport's
// result (Ex: one less) on every result but -1 and 4, or from the cached
// table the template's own length; the flag is written only on 1.
template <typename Read>
void ReadTemplate(Ctx& c, const char* name, bool ex, Read read) {
    const int capacity = c.P.Pick({1024, 2048, 3, 64, 2, 0});
    Buf buffer(static_cast<std::size_t>(std::max(capacity, 1)), c.P.OneIn(16));
    Buf length(4, c.P.OneIn(16)), flag(4, c.P.OneIn(8));
    length.SetInt(0, capacity);
    const int r = read(buffer.bytes(), length.ints(), flag.ints());
    Check k(c, name, r);
    k.Results({1, 0, -2, 4}).Kept({&flag}).IntInOrKept(flag, 0, 255);
    k.IntIn(length, ex ? -1 : 0, ex ? capacity - 1 : capacity);
    if (r == 4 || r == -1) k.Kept({&buffer, &length});
}

const Call kCalls[] = {
    // -- fingerprint templates on the terminal, batch update
    {"TL_GetUserTmp",
     [](Ctx& c) {
         const int number = c.P.Int(), finger = FingerArg(c.P);
         ReadTemplate(c, "TL_GetUserTmp", false, [&](unsigned char* b, int* l, int*) {
             return TL_GetUserTmp(c.h, number, finger, b, l);
         });
     }},
    {"TL_QueryUserTemp",
     [](Ctx& c) {
         const int number = c.P.Int(), finger = FingerArg(c.P);
         ReadTemplate(c, "TL_QueryUserTemp", false, [&](unsigned char* b, int* l, int*) {
             return TL_QueryUserTemp(c.h, number, finger, b, l);
         });
     }},
    {"TL_GetUserTmpEx",
     [](Ctx& c) {
         const auto id = IdArg(c.P);
         const int finger = FingerArg(c.P);
         ReadTemplate(c, "TL_GetUserTmpEx", true, [&](unsigned char* b, int* l, int* f) {
             return TL_GetUserTmpEx(c.h, Ptr(id), finger, f, b, l);
         });
     }},
    {"TL_QueryUserTempEx",
     [](Ctx& c) {
         const auto id = IdArg(c.P);
         const int finger = FingerArg(c.P);
         ReadTemplate(c, "TL_QueryUserTempEx", true, [&](unsigned char* b, int* l, int* f) {
             return TL_QueryUserTempEx(c.h, Ptr(id), finger, f, b, l);
         });
     }},
    {"SSR_TL_GetUserTmp",
     [](Ctx& c) {
         const auto id = IdArg(c.P);
         const int finger = FingerArg(c.P);
         ReadTemplate(c, "SSR_TL_GetUserTmp", false, [&](unsigned char* b, int* l, int*) {
             return SSR_TL_GetUserTmp(c.h, Ptr(id), finger, b, l);
         });
     }},
    {"SSR_TL_QueryUserTemp",
     [](Ctx& c) {
         const auto id = IdArg(c.P);
         const int finger = FingerArg(c.P);
         ReadTemplate(c, "SSR_TL_QueryUserTemp", false, [&](unsigned char* b, int* l, int*) {
             return SSR_TL_QueryUserTemp(c.h, Ptr(id), finger, b, l);
         });
     }},
    {"TL_SetUserTmp",
     [](Ctx& c) {
         const int number = c.P.Int(), finger = FingerArg(c.P);
         const auto tmp = WriteArg(c, false);
         Check(c, "TL_SetUserTmp", TL_SetUserTmp(c.h, number, finger, tmp ? tmp->bytes() : nullptr))
             .Results({1, 0, -2, -3, -4, -5, -100, 4});
     }},
    {"TL_AppendUserTmp",
     [](Ctx& c) {
         const int number = c.P.Int();
         const auto tmp = WriteArg(c, false);
         Check(c, "TL_AppendUserTmp", TL_AppendUserTmp(c.h, number, tmp ? tmp->bytes() : nullptr))
             .Results({1, 0, -2, -3, -4, -100, 4});
     }},
    {"TL_SetUserTmpEx",
     [](Ctx& c) {
         const auto id = IdArg(c.P);
         const int finger = FingerArg(c.P), flag = c.P.Pick({0, 1, 3});
         const auto tmp = WriteArg(c, true);
         Check(c, "TL_SetUserTmpEx",
               TL_SetUserTmpEx(c.h, Ptr(id), finger, flag, tmp ? tmp->bytes() : nullptr))
             .Results({1, 0, -2, -3, -4, -5, -100, 4});
     }},
    {"SSR_TL_SetUserTmp",
     [](Ctx& c) {
         const auto id = IdArg(c.P);
         const int finger = FingerArg(c.P);
         const auto tmp = WriteArg(c, true);
         Check(c, "SSR_TL_SetUserTmp",
               SSR_TL_SetUserTmp(c.h, Ptr(id), finger, tmp ? tmp->bytes() : nullptr))
             .Results({1, 0, -2, -3, -4, -5, -100, 4});
     }},
    {"SSR_TL_SetUserTmpExt",
     [](Ctx& c) {
         const int flag = c.P.Pick({0, 1, 3});
         const auto id = IdFieldArg(c.P);
         const int finger = FingerArg(c.P);
         const auto tmp = WriteArg(c, false);
         Check(c, "SSR_TL_SetUserTmpExt",
               SSR_TL_SetUserTmpExt(c.h, flag, Ptr(id), finger, tmp ? tmp->bytes() : nullptr))
             .Results({1, 0, -2, -3, -4, -5, -100, 4});
     }},
    {"TL_DelUserTmp",
     [](Ctx& c) {
         const int number = c.P.Int();
         Check(c, "TL_DelUserTmp", TL_DelUserTmp(c.h, number, FingerArg(c.P))).Results({1, 0, -2});
     }},
    {"SSR_TL_DelUserTmp",
     [](Ctx& c) {
         const auto id = IdArg(c.P);
         Check(c, "SSR_TL_DelUserTmp", SSR_TL_DelUserTmp(c.h, Ptr(id), FingerArg(c.P)))
             .Results({1, 0, -2, 4});
     }},
    {"SSR_TL_DelUserTmpExt",
     [](Ctx& c) {
         const auto id = IdFieldArg(c.P);
         Check(c, "SSR_TL_DelUserTmpExt", SSR_TL_DelUserTmpExt(c.h, Ptr(id), FingerArg(c.P)))
             .Results({1, 0, -2, 4});
     }},
    {"TL_TestUserTmp",
     [](Ctx& c) {
         Buf number(4, c.P.OneIn(16));
         const auto tmp = c.P.OneIn(16) ? nullptr : TemplateArg(c.P);
         Check(c, "TL_TestUserTmp",
               TL_TestUserTmp(c.h, number.ints(), tmp ? tmp->bytes() : nullptr))
             .Results({1, 0, -2, -3, 4})
             .Kept({&number})
             .Always(!tmp || tmp->Untouched(), "changed the template");
     }},
    {"TL_BeginBatchUpdate",
     [](Ctx& c) {
         Check(c, "TL_BeginBatchUpdate", TL_BeginBatchUpdate(c.h, c.P.Pick({1, 0})))
             .Results({1, -100, -2});
     }},
    {"TL_BatchUpdate",
     [](Ctx& c) {
         NoArgs(c, "TL_BatchUpdate", TL_BatchUpdate, {1, 0, -2, -100});
     }},
    {"TL_CancelBatchUpdate",
     [](Ctx& c) { NoArgs(c, "TL_CancelBatchUpdate", TL_CancelBatchUpdate, {1}); }},
};

}  // namespace

std::span<const Call> TemplateCalls() {
    return kCalls;
}

}  // namespace hostile
