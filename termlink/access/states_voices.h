// Custom attendance states (indexes 0-7, state codes 0-127, terminals with
// the extended record format only) and custom voice prompts (indexes 0-20).
#pragma once

#include "session/session.h"

namespace tl {

constexpr int kMaxStateIndex = 7;
constexpr int kMaxStateCode = 127;
constexpr int kMaxVoiceIndex = 20;
constexpr int kVoiceNameChars = 19;  // the file-name field holds 19 and a NUL

int SetCustomizeAttState(DeviceSession& s, int index, int code);
int EnableCustomizeAttState(DeviceSession& s, int index, int enable);
int DelCustomizeAttState(DeviceSession& s, int index);

// The file name: not empty, no '\', not exactly "beep.wav" (the terminal's
// own prompt), at most 19 characters; else 4.
int SetCustomizeVoice(DeviceSession& s, int index, const char* file);
int EnableCustomizeVoice(DeviceSession& s, int index, int enable);
int DelCustomizeVoice(DeviceSession& s, int index);

}  // namespace tl
