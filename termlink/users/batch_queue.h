// Appending to the lists of an open batch. Every list has a fixed capacity,
// and the upload block that carries them all has one too; an entry that
// would not fit is not written and the append reports false, so the
// operation that wanted it can fail without queuing half of its work.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/bytes.h"
#include "session/session.h"

namespace tl {

constexpr std::size_t kBatchUserCmdsCapacity = 0x200000;
constexpr std::size_t kBatchTmpCmdsCapacity = 0x200000;
constexpr std::size_t kBatchTmpDataCapacity = 0x1400000;
constexpr std::size_t kBatchNewUsersCapacity = 0x400000;
// The upload block: three u32 lengths, then the three lists back to back.
constexpr std::size_t kBatchUploadCapacity = 0x1000000;
constexpr std::size_t kBatchUploadHeader = 12;

// Template-command entry forms: 8 bytes by internal number, 30 by user ID.
constexpr std::size_t kTmpCmdNumberSize = 8;
constexpr std::size_t kTmpCmdIdSize = 30;
constexpr std::uint8_t kAllFingers = 255;
constexpr std::uint32_t kNoDataOffset = 0xFFFFFFFF;

// Room for `userCmdBytes` more bytes of user commands (op bytes included),
// `tmpCmdBytes` of template commands and `tmpDataBytes` of template data,
// each in its list and all of them together in the upload block. An
// operation that queues several entries asks for all of them at once, so it
// queues all or none.
bool BatchFits(const DeviceSession& s, std::size_t userCmdBytes, std::size_t tmpCmdBytes,
               std::size_t tmpDataBytes);
bool NewUserFits(const DeviceSession& s);

// A user-command entry: the op byte followed by `data`.
bool AppendUserCmd(DeviceSession& s, std::uint8_t op, Bytes data);
// Template-command entries in the number and ID forms.
bool AppendTmpCmd(DeviceSession& s, std::uint8_t op, std::uint16_t pin, std::uint8_t finger,
                  std::uint32_t offset);
bool AppendTmpCmdById(DeviceSession& s, std::uint8_t op, const std::uint8_t id[24],
                      std::uint8_t finger, std::uint32_t offset);
// A template for the data area: its u16 length and its bytes. The offset it
// was placed at is the data area's length before the call.
bool AppendTmpData(DeviceSession& s, Bytes tmp);
// A 28-byte user record created during the batch.
bool AppendNewUser(DeviceSession& s, Bytes record);

}  // namespace tl
