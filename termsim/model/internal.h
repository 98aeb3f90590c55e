// The model's state and the pieces its command handlers share.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "le.h"
#include "termsim/model.h"

namespace termsim {

// Command codes the simulated terminal answers.
enum Cmd : int {
    CMD_READ_TABLE = 7,
    CMD_SET_USER = 8,
    CMD_READ_USERS = 9,  // with a 3-byte request through a command: one template
    CMD_SET_TMP = 10,
    CMD_GET_OPTION = 11,
    CMD_SET_OPTION = 12,
    CMD_READ_ATTLOG = 13,
    CMD_CLEAR_DATA = 14,
    CMD_CLEAR_ATTLOG = 15,
    CMD_APPEND_TMP = 17,
    CMD_DEL_USER = 18,
    CMD_DEL_TMP = 19,
    CMD_CLEAR_ADMINS = 20,
    CMD_GET_USER_GROUP = 21,
    CMD_SET_USER_GROUP = 22,
    CMD_GET_USER_TZ = 23,
    CMD_SET_USER_TZ = 24,
    CMD_GET_GROUP_TZ = 25,
    CMD_SET_GROUP_TZ = 26,
    CMD_GET_TZ = 27,
    CMD_SET_TZ = 28,
    CMD_GET_UNLOCK_COMB = 29,
    CMD_SET_UNLOCK_COMB = 30,
    CMD_UNLOCK = 31,
    CMD_CLEAR_OPLOG = 33,
    CMD_READ_OPLOG = 34,
    CMD_READ_ATTRULE = 35,
    CMD_READ_DEPT = 36,
    CMD_READ_SHIFT = 37,
    CMD_GET_DEVICE_STATUS = 50,
    CMD_GET_BACKUP_MAP = 51,
    CMD_ENABLE_CLOCK = 57,
    CMD_START_VERIFY = 60,  // no request: identify
    CMD_START_ENROLL = 61,
    CMD_CANCEL_CAPTURE = 62,
    CMD_GET_STATE = 64,
    CMD_WRITE_LCD = 66,
    CMD_CLEAR_LCD = 67,
    CMD_GET_PIN_WIDTH = 69,
    CMD_SET_SMS = 70,
    CMD_GET_SMS = 71,
    CMD_DEL_SMS = 72,
    CMD_SET_USER_SMS = 73,
    CMD_DEL_USER_SMS = 74,
    CMD_GET_DOOR_STATE = 75,
    CMD_MF_WRITE = 76,
    CMD_MF_EMPTY = 78,
    CMD_SET_USER_EX = 79,
    CMD_GET_USER_EX = 80,
    CMD_DEL_USER_EX = 81,
    CMD_SET_TMP_EX = 87,
    CMD_GET_TMP_EX = 88,
    CMD_SET_WORKCODE = 82,
    CMD_GET_WORKCODE = 83,
    CMD_DEL_WORKCODE = 84,
    CMD_SET_SHORTKEY = 85,
    CMD_READ_SHORTKEYS = 86,
    CMD_READ_RTLOG = 90,
    CMD_GET_HOLIDAY_TZ = 91,
    CMD_SET_HOLIDAY_TZ = 92,
    CMD_PREPARE_TABLE = 120,
    CMD_FREE_TABLE = 121,
    CMD_UPDATE = 110,
    CMD_READ_MEMORY = 111,
    CMD_SET_TMP_ID = 132,
    CMD_DEL_USER_ID = 133,
    CMD_DEL_TMP_ID = 134,
    CMD_GET_FACE = 150,
    CMD_SET_FACE = 151,
    CMD_DEL_FACE = 152,
    CMD_GET_TIME = 201,
    CMD_SET_TIME = 202,
    CMD_GET_HOLIDAYS = 300,
    CMD_SET_HOLIDAYS = 301,
    CMD_REG_EVENT = 500,
    CMD_ENABLE_DEVICE = 1002,
    CMD_DISABLE_DEVICE = 1003,
    CMD_RESTART = 1004,
    CMD_POWER_OFF = 1005,
    CMD_SLEEP = 1006,
    CMD_RESUME = 1007,
    CMD_CAPTURE_FINGER = 1009,
    CMD_TEST_TMP = 1011,
    CMD_CAPTURE_IMAGE = 1012,
    CMD_REFRESH_DATA = 1013,
    CMD_REFRESH_OPTIONS = 1014,
    CMD_PLAY_VOICE = 1017,
    CMD_SIGNAL = 1020,
    CMD_SUSPEND = 1022,
    CMD_GET_VERSION = 1100,
    CMD_UPDATE_LANGUAGE = 1701,
    CMD_READ_FILE = 1702,
    CMD_SET_ATT_STATE = 1703,
    CMD_SET_VOICE = 1704,
    CMD_ENABLE_ATT_STATE = 1705,
    CMD_ENABLE_VOICE = 1706,
    CMD_DEL_ATT_STATE = 1707,
    CMD_DEL_VOICE = 1708,
};

// Table ids of the bulk reads and of the query read.
enum TableId : int { kTableLog = 1, kTableTemplates = 2, kTableOpLog = 4, kTableUsers = 5 };

// Event kinds the terminal raises by itself (mask bit = 1 << kind).
constexpr std::uint16_t kEventAttendance = 1;
constexpr std::uint16_t kEventDoor = 3;
constexpr int kMaxRtReply = 1024;  // the host's poll buffer

struct Call {
    Op op = Op::Command;
    int command = 0;
    le::Bytes request;
    le::Bytes data;  // pushed data: staged (PMX_SENDDATA) or inline (PMX_SENDCMDDATA)
};

struct Model::State {
    mutable std::mutex mu;
    Config config;  // profile, version, key, clock, width, faults (options live below)
    std::string normVersion;
    std::map<std::string, std::string> options;
    std::vector<User> users;  // in table order
    std::vector<Punch> punches;
    std::vector<OpRecord> oplog;
    std::vector<Template> templates;
    std::vector<Face> faces;
    Capture capture;
    std::vector<Install> installs;
    Panel panel;
    Content content;

    // Real-time events: pending ones wait for a poll; the batch last served
    // stays outstanding until the host's next sequence number shows it
    // arrived, and is served again when the host repeats the number. A new
    // session acknowledges it: every session numbers its polls from 0.
    std::deque<RtEvent> pending;
    std::vector<RtEvent> outstanding;
    std::uint32_t outstandingSeq = 0;
    bool hasOutstanding = false;
    std::uint32_t eventMask = 0xFFFF;

    bool enabled = true;
    std::uint32_t disableArg = 0;
    std::int64_t clockOffset = 0;  // added to the wall clock's DeviceTime

    std::map<int, TimeZone> timeZones;
    std::map<int, Group> groups;
    std::array<Holiday, 24> holidays{};
    std::array<std::array<std::uint8_t, 5>, 11> combos{};
    std::uint8_t door = 0;
    std::uint32_t lastUnlockDelay = 0;

    std::vector<Department> departments;
    std::vector<Shift> shifts;
    AttRule rule;

    std::vector<std::uint8_t> staged;  // PMX_SENDDATA data for the next command

    // The data memory as the last block map described it: the blocks a
    // backup reads next are cut from this one snapshot.
    std::vector<std::uint8_t> memorySnapshot;
    std::optional<std::uint64_t> presentedCard;  // the MF card at the reader
    std::map<std::uint64_t, MfCard> cards;

    // Derived from the profile and the options as they are now.
    bool IsLegacy() const;  // firmware older than "Ver 5.04"
    bool IsTft() const;
    bool HasTableCommands() const;  // "Ver 6.01" or later
    bool HasOs() const;             // "~OS" usable: hidden values arrive plain
    bool IsLinux() const;           // "~OS" is "LINUX": language updates use code 10
    int ExtendFmt() const;
    int ExtendOpLog() const;
    int UserRecordSize() const;
    int LogRecordSize() const;
    int OpRecordSize() const;
    int RtRecordSize() const;
    int PinWidth() const;
    std::uint32_t Now() const;
    void SetNow(std::uint32_t value);
    void SetVersion(const std::string& version);

    User* FindUser(std::uint16_t pin);
    User* FindUserById(const std::string& id);
    std::uint16_t FreePin() const;
    void QueueEvent(RtEvent event);
    void QueuePunchEvent(const Punch& punch);
};

using CommandFn = Response (*)(Model::State&, const Call&);
using CommandTable = std::map<int, CommandFn>;

void RegisterDeviceCommands(CommandTable& table);
void RegisterTableCommands(CommandTable& table);
void RegisterUserCommands(CommandTable& table);
void RegisterAccessCommands(CommandTable& table);
void RegisterTemplateCommands(CommandTable& table);
void RegisterUpdateCommands(CommandTable& table);
void RegisterControlCommands(CommandTable& table);
void RegisterContentCommands(CommandTable& table);
void RegisterFaceCommands(CommandTable& table);
void RegisterBackupCommands(CommandTable& table);

// CMD_UPDATE's restore (request u32 7, u32 0x80000): the pushed backup image
// replaces the data state. False when the image is not one this terminal
// wrote.
bool ApplyRestore(Model::State& s, le::Bytes image);
// CMD_UPDATE's batch (request u32 12): user and template operations applied
// all together or not at all.
Response ApplyBatch(Model::State& s, le::Bytes block);

// The terminal's answer to a delete of something it does not have:
// REPLY_ERROR with two data bytes (the first two request bytes echoed).
Response NotFound(le::Bytes request);
// Default content of a fresh terminal (four state keys).
Content DefaultContent();
int ShortKeySize(const Model::State& s);  // 32 below "Ver 6.60", else 34

// CMD_SET_USER's record in the terminal's own form: stored, or refused.
Response SetUserRecord(Model::State& s, le::Bytes record);
// Removes a user and everything stored for it.
void EraseUser(Model::State& s, std::uint16_t pin);
// Stores a template for an existing user (same finger replaced).
bool PutTemplate(Model::State& s, Template t);
// CMD_READ_USERS through a command: one template.
Response GetTemplate(Model::State& s, const Call& c);
// Stores a face for an existing user (same index replaced).
bool PutFace(Model::State& s, Face face);
constexpr std::size_t kMaxFace = 131072;

// Table bytes in the profile's record form (no length prefix).
std::vector<std::uint8_t> EncodeUsers(const Model::State& s);
std::vector<std::uint8_t> EncodeLog(const Model::State& s);
std::vector<std::uint8_t> EncodeOpLog(const Model::State& s);
std::vector<std::uint8_t> EncodeTemplates(const Model::State& s);
std::vector<std::uint8_t> EncodeRule(const AttRule& rule);
std::vector<std::uint8_t> EncodeDepartments(const std::vector<Department>& d);
std::vector<std::uint8_t> EncodeShifts(const std::vector<Shift>& s);

// Version text helpers: the terminal answers "Ver X.YY Mmm dd yyyy"; version
// gates compare the form "Ver X.YY yyyymmdd" byte by byte.
std::string NormalizeVersion(const std::string& version);
int CompareVersion(const std::string& normalized, const char* literal);

// Decimal text to integer the way terminals read option values: leading
// blanks, optional sign, leading digits; 0 when none. Wider than 32 bits on
// every platform: a comm key runs to 4294967295.
long long ParseDecimal(const std::string& text);

// Hidden option values written by a host that saw no "~OS": hexadecimal
// digits of a seed byte and the chained XOR of the plain text. Gives the
// plain text, or nothing when the value is not in that form.
std::optional<std::string> Unscramble(const std::string& value);
std::string Scramble(const std::string& plain, std::uint8_t seed);

Response Ok(std::vector<std::uint8_t> data = {});
Response Error();

// The state as the text of the state file (docs/termsim.md); the caller
// holds the state's lock. Data leaves out what is not the terminal's data
// memory: installs and real-time events.
enum class StateParts { All, Data };
std::string SerializeState(const Model::State& s, StateParts parts);
// Parses state-file text into a fresh state `n` (not shared, no lock).
bool ParseState(const std::string& text, Model::State& n, std::string* error);

// Profile defaults.
std::string DefaultVersion(Profile profile);
std::map<std::string, std::string> DefaultOptions(Profile profile);
int DefaultPinWidth(Profile profile);
std::map<int, TimeZone> DefaultTimeZones();  // zone 1: the whole day, every day
std::map<int, Group> DefaultGroups();        // group 1: zone 1

}  // namespace termsim
