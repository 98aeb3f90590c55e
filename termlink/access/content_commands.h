// Command codes of the terminal-content exchanges: short messages and their
// user links, work codes, custom attendance states and voices, short keys.
#pragma once

namespace tl {

constexpr int CMD_SET_SMS = 70;
constexpr int CMD_GET_SMS = 71;
constexpr int CMD_DEL_SMS = 72;
constexpr int CMD_SET_USER_SMS = 73;
constexpr int CMD_DEL_USER_SMS = 74;
constexpr int CMD_SET_WORKCODE = 82;
constexpr int CMD_GET_WORKCODE = 83;
constexpr int CMD_DEL_WORKCODE = 84;
constexpr int CMD_SET_SHORTKEY = 85;
constexpr int CMD_READ_SHORTKEYS = 86;
constexpr int CMD_SET_ATT_STATE = 1703;
constexpr int CMD_SET_VOICE = 1704;
constexpr int CMD_ENABLE_ATT_STATE = 1705;
constexpr int CMD_ENABLE_VOICE = 1706;
constexpr int CMD_DEL_ATT_STATE = 1707;
constexpr int CMD_DEL_VOICE = 1708;

}  // namespace tl
