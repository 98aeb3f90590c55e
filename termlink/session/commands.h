// termlink's whole command and reply vocabulary, in one place.
//
// Every command code the library places in the transport's command word is
// defined here, once, grouped by the subsystem that sends it; no other file
// under termlink/ defines one (a test checks this). The header lives in
// session/ beside the command exchange itself (session/transport.h), the
// lowest room every subsystem already depends on.
//
// The reply codes the terminal answers with, REPLY_OK (2000) and REPLY_ERROR
// (2001), are part of the transport's fixed binary interface and are defined
// by portmux.h, included below, not a second time here.
//
// Only command words belong here. Values carried in request data (table ids,
// clear-data kinds, the request blocks of CMD_UPDATE) stay with the code that
// builds those requests.
//
// The simulated terminal keeps its own definitions, written apart from these,
// and tests name the codes by number: a wrong code here must not hide behind
// the same wrong code on the other side.
#pragma once

#include "portmux.h"  // REPLY_OK, REPLY_ERROR

namespace tl {

// --- session: connection probe, real-time events, keypad lock ---
constexpr int CMD_READ_RTLOG = 90;
constexpr int CMD_REG_EVENT = 500;
constexpr int CMD_ENABLE_DEVICE = 1002;
constexpr int CMD_DISABLE_DEVICE = 1003;
constexpr int CMD_GET_VERSION = 1100;

// --- records: bulk table reads into the session cache ---
constexpr int CMD_READ_TABLE = 7;
// Reads the user table; also reads one template (see templates below).
constexpr int CMD_READ_USERS = 9;
constexpr int CMD_READ_ATTLOG = 13;
constexpr int CMD_READ_OPLOG = 34;
constexpr int CMD_PREPARE_TABLE = 120;
constexpr int CMD_FREE_TABLE = 121;

// --- users: the user-table exchanges ---
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

// --- templates: the single-template exchanges ---
// One template is read with the user-table read's code (CMD_READ_USERS).
constexpr int CMD_SET_TMP = 10;
constexpr int CMD_APPEND_TMP = 17;
constexpr int CMD_DEL_TMP = 19;
constexpr int CMD_SET_TMP_EX = 87;
constexpr int CMD_GET_TMP_EX = 88;
constexpr int CMD_SET_TMP_ID = 132;
constexpr int CMD_DEL_TMP_ID = 134;
constexpr int CMD_TEST_TMP = 1011;

// --- faces: face templates and enrolment control ---
constexpr int CMD_START_VERIFY = 60;  // with a 3-byte request: verify; without: identify
constexpr int CMD_START_ENROLL = 61;
constexpr int CMD_CANCEL_CAPTURE = 62;
constexpr int CMD_GET_STATE = 64;
constexpr int CMD_GET_FACE = 150;
constexpr int CMD_SET_FACE = 151;
constexpr int CMD_DEL_FACE = 152;

// --- access: time zones, groups, holidays, unlock combinations, the door ---
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

// --- content: short messages and their user links, work codes, custom
// attendance states and voices, short keys ---
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

// --- config: the option exchange ---
constexpr int CMD_GET_OPTION = 11;
constexpr int CMD_SET_OPTION = 12;
constexpr int CMD_REFRESH_OPTIONS = 1014;

// --- config: identity, clock, status counters, user-number width ---
constexpr int CMD_GET_DEVICE_STATUS = 50;
constexpr int CMD_GET_PIN_WIDTH = 69;
constexpr int CMD_GET_TIME = 201;
constexpr int CMD_SET_TIME = 202;

// --- config: device control ---
constexpr int CMD_CLEAR_DATA = 14;
constexpr int CMD_CLEAR_ATTLOG = 15;
constexpr int CMD_CLEAR_OPLOG = 33;
constexpr int CMD_ENABLE_CLOCK = 57;
constexpr int CMD_WRITE_LCD = 66;
constexpr int CMD_CLEAR_LCD = 67;
constexpr int CMD_RESTART = 1004;
constexpr int CMD_POWER_OFF = 1005;
constexpr int CMD_SLEEP = 1006;
constexpr int CMD_RESUME = 1007;
constexpr int CMD_REFRESH_DATA = 1013;
constexpr int CMD_PLAY_VOICE = 1017;
constexpr int CMD_SIGNAL = 1020;
constexpr int CMD_SUSPEND = 1022;

// --- maintenance: files, firmware, backup, MF cards, image capture ---
constexpr int CMD_GET_BACKUP_MAP = 51;
constexpr int CMD_MF_WRITE = 76;
constexpr int CMD_MF_EMPTY = 78;
constexpr int CMD_UPDATE = 110;
constexpr int CMD_READ_MEMORY = 111;
constexpr int CMD_CAPTURE_FINGER = 1009;
constexpr int CMD_CAPTURE_IMAGE = 1012;
constexpr int CMD_UPDATE_LANGUAGE = 1701;
constexpr int CMD_READ_FILE = 1702;

// --- report: the rule, department and shift tables ---
constexpr int CMD_READ_ATTRULE = 35;
constexpr int CMD_READ_DEPT = 36;
constexpr int CMD_READ_SHIFT = 37;

}  // namespace tl
