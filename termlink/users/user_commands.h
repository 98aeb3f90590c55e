// Command codes of the user-table exchanges.
#pragma once

namespace tl {

constexpr int CMD_SET_USER = 8;
constexpr int CMD_DEL_USER = 18;
constexpr int CMD_CLEAR_ADMINS = 20;
constexpr int CMD_GET_USER_GROUP = 21;
constexpr int CMD_SET_USER_GROUP = 22;
constexpr int CMD_GET_USER_TZ = 23;
constexpr int CMD_SET_USER_TZ = 24;
constexpr int CMD_SET_USER_EX = 79;
constexpr int CMD_GET_USER_EX = 80;
constexpr int CMD_DEL_USER_EX = 81;
constexpr int CMD_DEL_USER_ID = 133;

}  // namespace tl
