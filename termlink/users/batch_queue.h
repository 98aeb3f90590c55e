// Appending to the lists of an open batch. Every list has a fixed capacity;
// an entry that would not fit is not written and the append reports false,
// so the operation that wanted it can fail without queuing half of its work.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/bytes.h"
#include "session/session.h"

namespace tl {

constexpr std::size_t kBatchUserCmdsCapacity = 0x200000;
constexpr std::size_t kBatchTmpCmdsCapacity = 0x200000;
constexpr std::size_t kBatchNewUsersCapacity = 0x400000;

// Template-command entry forms: 8 bytes by internal number, 30 by user ID.
constexpr std::size_t kTmpCmdNumberSize = 8;
constexpr std::size_t kTmpCmdIdSize = 30;
constexpr std::uint8_t kAllFingers = 255;
constexpr std::uint32_t kNoDataOffset = 0xFFFFFFFF;

// Room checks, so that an operation queuing two entries queues both or none.
bool UserCmdFits(const DeviceSession& s, std::size_t dataSize);
bool TmpCmdFits(const DeviceSession& s, std::size_t entrySize);
bool NewUserFits(const DeviceSession& s);

// A user-command entry: the op byte followed by `data`.
bool AppendUserCmd(DeviceSession& s, std::uint8_t op, Bytes data);
// Template-command entries in the number and ID forms.
bool AppendTmpCmd(DeviceSession& s, std::uint8_t op, std::uint16_t pin, std::uint8_t finger,
                  std::uint32_t offset);
bool AppendTmpCmdById(DeviceSession& s, std::uint8_t op, const std::uint8_t id[24],
                      std::uint8_t finger, std::uint32_t offset);
// A 28-byte user record created during the batch.
bool AppendNewUser(DeviceSession& s, Bytes record);

}  // namespace tl
