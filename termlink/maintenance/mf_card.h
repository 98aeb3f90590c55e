// Writing to and erasing the MF card presented to the terminal.
#pragma once

#include <cstdint>

#include "session/session.h"

namespace tl {

constexpr int kMfDescriptorSize = 12;
constexpr int kMfDataSize = 4096;

// Pushes the user number (u32 when pinWidth is above 5, else u16), the
// 12-byte descriptor and the first (sum of the descriptor's four u16
// lengths) of the 4096 data bytes, then sends CMD_MF_WRITE.
// Results: 1 written; otherwise by the transport's reply byte count: 2 -> 0,
// 1 -> -4, 4 -> -5, any other -> -2; -2 also when the push failed; 4 with
// nothing sent when descriptor or data is null, the four lengths add up to
// more than 4096, or the user number does not fit its field (negative, or
// above 65535 when sent as u16).
int MFWrite(DeviceSession& s, int userNumber, const std::uint8_t* descriptor,
            const std::uint8_t* data);

// CMD_MF_EMPTY; results as MFWrite's reply mapping.
int MFEmpty(DeviceSession& s);

}  // namespace tl
