// Command codes of the connection, probe and real-time exchanges.
#pragma once

namespace tl {

constexpr int CMD_GET_OPTION = 11;
constexpr int CMD_READ_RTLOG = 90;
constexpr int CMD_REG_EVENT = 500;
constexpr int CMD_ENABLE_DEVICE = 1002;
constexpr int CMD_DISABLE_DEVICE = 1003;
constexpr int CMD_GET_VERSION = 1100;

}  // namespace tl
