// Command codes of the face-template and enrolment-control exchanges.
#pragma once

namespace tl {

constexpr int CMD_START_VERIFY = 60;  // with a 3-byte request: verify; without: identify
constexpr int CMD_START_ENROLL = 61;
constexpr int CMD_CANCEL_CAPTURE = 62;
constexpr int CMD_GET_STATE = 64;
constexpr int CMD_GET_FACE = 150;
constexpr int CMD_SET_FACE = 151;
constexpr int CMD_DEL_FACE = 152;

}  // namespace tl
