// Command codes and limits of the single-template exchanges.
#pragma once

#include <cstddef>

namespace tl {

// One template is read with the user-table read's code (CMD_READ_USERS).
constexpr int CMD_GET_TMP = 9;
constexpr int CMD_SET_TMP = 10;
constexpr int CMD_APPEND_TMP = 17;
constexpr int CMD_DEL_TMP = 19;
constexpr int CMD_SET_TMP_EX = 87;
constexpr int CMD_GET_TMP_EX = 88;
constexpr int CMD_SET_TMP_ID = 132;
constexpr int CMD_DEL_TMP_ID = 134;
constexpr int CMD_TEST_TMP = 1011;

// Longest standard template each write sends; longer ones are shrunk.
constexpr std::size_t kTmpLimitClassic = 1011;
constexpr std::size_t kTmpLimitEx = 598;
// Shorter standard templates are too poor to be worth storing.
constexpr std::size_t kTmpMinUseful = 50;
// Requests are built in a buffer of this size: header, then the template.
constexpr std::size_t kTmpRequestSize = 2048;
// Version-10 containers: at most this long; the Ex write wants at least 128.
constexpr std::size_t kV10MaxLength = 32768;
constexpr std::size_t kV10MinLengthEx = 128;
// The finger the text-ID write accepts for a version-10 container.
constexpr int kV10Finger = 15;
// Answer room of the identification test.
constexpr int kTestAnswerSize = 1024;
constexpr int kTestTimeoutMs = 5000;

}  // namespace tl
