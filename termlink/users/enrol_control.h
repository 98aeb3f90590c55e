// Enrolment control: making the terminal itself enrol a finger, verify a
// user, identify whoever presents a finger, cancel, and report its state.
// The capture runs on the terminal; nothing is kept here.
#pragma once

#include "session/session.h"

namespace tl {

int StartEnroll(DeviceSession& s, int number, int finger);
int StartEnrollEx(DeviceSession& s, const char* userId, int finger, int flag);
int StartVerify(DeviceSession& s, int number, int finger);
int StartIdentify(DeviceSession& s);
int CancelOperation(DeviceSession& s);
int QueryState(DeviceSession& s, int* state);

}  // namespace tl
