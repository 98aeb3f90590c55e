// Limits of the single-template exchanges: template lengths, request and
// answer sizes (the command codes are in session/commands.h).
#pragma once

#include <cstddef>

namespace tl {

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
