// Command codes of the access-control exchanges.
#pragma once

namespace tl {

constexpr int CMD_GET_GROUP_TZ = 25;
constexpr int CMD_SET_GROUP_TZ = 26;
constexpr int CMD_GET_TZ = 27;
constexpr int CMD_SET_TZ = 28;
constexpr int CMD_GET_UNLOCK_COMB = 29;
constexpr int CMD_SET_UNLOCK_COMB = 30;
constexpr int CMD_UNLOCK = 31;
constexpr int CMD_GET_DOOR_STATE = 75;
constexpr int CMD_GET_HOLIDAY_TZ = 91;
constexpr int CMD_SET_HOLIDAY_TZ = 92;
constexpr int CMD_GET_HOLIDAYS = 300;
constexpr int CMD_SET_HOLIDAYS = 301;

}  // namespace tl
