// Face templates: read, write and delete one face of a user, named by the
// user's 24-byte text ID and a face index.
#pragma once

#include <cstdint>

#include "session/session.h"

namespace tl {

constexpr int kFaceHeaderSize = 28;
constexpr int kMaxFaceSize = 131072;

// The caller's userId buffer is read as exactly 24 bytes.
int GetUserFace(DeviceSession& s, const char* userId, int faceIndex, std::uint8_t* buffer,
                int* length);
int SetUserFace(DeviceSession& s, const char* userId, int faceIndex, const std::uint8_t* data,
                int length);
int DelUserFace(DeviceSession& s, const char* userId, int faceIndex);

}  // namespace tl
