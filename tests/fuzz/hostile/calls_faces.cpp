// Faces and enrolment control.
#include "hostile/caller.h"

namespace hostile {
namespace {

// The enrolment starters give 1 when the terminal accepts, else the
// transport's result, which may be any number: only -1 and the argument
// refusal 4 are judged.
void Started(Ctx& c, const char* name, int r, bool argumentsOk) {
    Check(c, name, r, true, Check::kValue)
        .Always(argumentsOk || !c.h || r == 4, "an argument out of range was not refused");
}

const Call kCalls[] = {
    // -- faces and enrolment control
    {"TL_GetUserFace",
     [](Ctx& c) {
         // The request is built in the buffer and *length gets the transport's
         // result whatever the reply; only a refused argument leaves them alone.
         const auto id = IdFieldArg(c.P);
         const int index = c.P.Pick({0, 1, 255, 256, -1});
         const int capacity = c.P.Pick({4096, 28, 27, 100, 131076});
         Buf buffer(static_cast<std::size_t>(capacity), c.P.OneIn(16)), length(4, c.P.OneIn(16));
         length.SetInt(0, capacity);
         const int r = TL_GetUserFace(c.h, Ptr(id), index, buffer.bytes(), length.ints());
         Check k(c, "TL_GetUserFace", r);
         k.Results({1, 0, -2, 4}).IntIn(length, 0, capacity);
         if (r == 4 || r == -1) k.Kept({&buffer, &length});
     }},
    {"TL_SetUserFace",
     [](Ctx& c) {
         const auto id = IdFieldArg(c.P);
         const int index = c.P.Pick({0, 1, 255, 256, -1});
         const int length = c.P.Pick({100, 0, 1000, 65535, 131072, 131073, -1});
         Buf face(static_cast<std::size_t>(std::clamp(length, 1, 131072)), c.P.OneIn(16));
         Check(c, "TL_SetUserFace", TL_SetUserFace(c.h, Ptr(id), index, face.bytes(), length))
             .Results({1, 0, -2, -3, -4, -5, 4})
             .Always(face.Untouched(), "changed the face data");
     }},
    {"TL_DelUserFace",
     [](Ctx& c) {
         const auto id = IdFieldArg(c.P);
         const int index = c.P.Pick({0, 1, 255, 256, -1});
         Check(c, "TL_DelUserFace", TL_DelUserFace(c.h, Ptr(id), index)).Results({1, 0, -2, 4});
     }},
    {"TL_StartEnroll",
     [](Ctx& c) {
         const int number = c.P.Int(), finger = FingerArg(c.P);
         Started(c, "TL_StartEnroll", TL_StartEnroll(c.h, number, finger),
                 finger >= 0 && finger <= 255);
     }},
    {"TL_StartEnrollEx",
     [](Ctx& c) {
         const auto id = IdArg(c.P);
         const int finger = FingerArg(c.P), flag = c.P.Pick({0, 1, 255, 256});
         Started(
             c, "TL_StartEnrollEx", TL_StartEnrollEx(c.h, Ptr(id), finger, flag),
             id && std::strlen(id->text()) <= 24 && finger >= 0 && finger <= 255 && flag <= 255);
     }},
    {"TL_StartVerify",
     [](Ctx& c) {
         const int number = c.P.Int(), finger = FingerArg(c.P);
         Started(c, "TL_StartVerify", TL_StartVerify(c.h, number, finger),
                 finger >= 0 && finger <= 255);
     }},
    {"TL_StartIdentify",
     [](Ctx& c) { Started(c, "TL_StartIdentify", TL_StartIdentify(c.h), true); }},
    {"TL_CancelOperation",
     [](Ctx& c) { Started(c, "TL_CancelOperation", TL_CancelOperation(c.h), true); }},
    {"TL_QueryState",
     [](Ctx& c) {
         Buf state(4, c.P.OneIn(16));
         Check(c, "TL_QueryState", TL_QueryState(c.h, state.ints()))
             .Results({1, -2, 4})
             .Kept({&state})
             .IntIn(state, -1, 100);
     }},
};

}  // namespace

std::span<const Call> FaceCalls() {
    return kCalls;
}

}  // namespace hostile
