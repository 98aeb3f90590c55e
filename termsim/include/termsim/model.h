// The simulated terminal's model: one terminal's whole state (options, users,
// logs, access-control tables, report tables, real-time events) and the
// answers to the commands a host sends it. The transport feeds it through the
// Handler interface; tests and benchmarks read its truth through the accessors
// below and compare it with what the host library delivers.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "termsim/handler.h"

namespace termsim {

// A refusal that is neither success nor "nothing to return": a host treats it
// as a failed transfer (and falls back to the query read where it has one).
constexpr int kReplyDenied = 2005;

// Firmware generations the simulator can play.
enum class Profile {
    Legacy,    // below "Ver 5.04": 16-byte users, compact logs, no PIN2
    Classic,   // "Ver 6.60 ...": 28-byte users, compact 4/8-byte logs
    Extended,  // "~ExtendFmt" 1, "ExtendOPLog" 1: 16-byte logs, 20-byte op records
    Tft,       // "~Platform" with "TFT": 72-byte text-ID users, 40-byte logs
    Fp10,      // extended format with "~QVFPVersion" 10
};

const char* ProfileName(Profile profile);

// A firmware image in the simulator's own form: "TSFW", a u16 sum of every
// byte after it, the version text ("Ver ...") and a NUL, then `body`. A
// terminal that accepts it answers that version from then on.
std::vector<std::uint8_t> FirmwareImage(const std::string& version,
                                        const std::vector<std::uint8_t>& body = {});
std::optional<Profile> ParseProfile(std::string_view name);

// Faults injected at the model level. They can be set per start (Config) or
// switched at run time (Model::SetFaults).
struct Faults {
    std::set<int> refusedCommands;       // answered REPLY_ERROR whatever the request
    bool refusePrimaryBulkRead = false;  // bulk reads answered kReplyDenied (query still works)
    bool refuseQuery = false;            // PMX_QUERYDATA answered REPLY_ERROR
    bool operator==(const Faults&) const = default;
};

struct Config {
    Profile profile = Profile::Classic;
    std::string version;                         // CMD_GET_VERSION answer; empty = profile's
    std::map<std::string, std::string> options;  // added to / overriding the profile's options
    std::set<std::string> removedOptions;        // profile options the terminal lacks
    std::uint32_t commKey = 0;                   // also stored as option "COMKey"
    std::optional<std::uint32_t> clock;          // frozen DeviceTime; none = follows wall clock
    int pinWidth = 0;                            // user-number width; 0 = profile's
    Faults faults;
};

// One enrolled user as the terminal holds it.
struct User {
    std::uint16_t pin = 0;   // internal number 1..65534
    std::uint32_t pin2 = 0;  // enrolled number (0 on legacy terminals)
    std::string id;          // text user ID (text-ID terminals), up to 24 bytes
    std::string name;
    std::string password;
    std::uint8_t privilege = 0;  // stored privilege byte: 0, 2, 6, 14 ...; bit 0 = disabled
    std::uint64_t card = 0;      // up to 40 bits
    std::uint8_t group = 1;
    // Time zones. Numeric terminals use zones 0-2 (6 bits each); text-ID
    // terminals keep four 16-bit numbers (the report engine reads them as
    // shift numbers). ownZones false = the user follows the group's zones.
    std::array<std::uint16_t, 4> zones{};
    bool ownZones = false;
    std::optional<std::uint8_t> ex;  // extended byte (CMD_SET_USER_EX)
    bool operator==(const User&) const = default;
};

// One attendance record. pin2 and id are what the user had when punching.
struct Punch {
    std::uint16_t pin = 0;
    std::uint32_t pin2 = 0;
    std::string id;
    std::uint32_t time = 0;   // DeviceTime
    std::uint8_t state = 0;   // attState: 0 in, 1 out, 2 break out, 3 break in, ...
    std::uint8_t verify = 1;  // modeCode: 0 password, 1 fingerprint, 2 card, 3 other
    std::uint32_t workCode = 0;
    bool operator==(const Punch&) const = default;
};

// One operation-log record. For the user operations (codes 6-12 and 30)
// target* name the user operated on; params[0] is then that user's number in
// the form of the record.
struct OpRecord {
    std::uint16_t operatorPin = 0;
    std::uint32_t operatorNumber = 0;  // enrolled number (PIN2, or the PIN when none)
    std::string operatorId;
    std::uint8_t code = 0;
    std::uint32_t time = 0;
    std::array<std::uint32_t, 4> params{};
    std::uint16_t targetPin = 0;
    std::uint32_t targetNumber = 0;
    std::string targetId;
    bool operator==(const OpRecord&) const = default;
};

// One stored fingerprint template; the simulator keeps its bytes as sent.
struct Template {
    std::uint16_t pin = 0;
    std::uint8_t finger = 0;
    std::uint8_t flag = 0;
    std::vector<std::uint8_t> data;
    bool operator==(const Template&) const = default;
};

// One stored face template of a user, at a face index; the simulator keeps
// its bytes as sent. Requests name the user by text ID; the face stays with
// the user's internal number.
struct Face {
    std::uint16_t pin = 0;
    std::uint8_t index = 0;
    std::vector<std::uint8_t> data;  // 1 to 131072 bytes
    bool operator==(const Face&) const = default;
};

// What the terminal's sensor is doing for the host (enrolment control). The
// state's number is what CMD_GET_STATE tells the host.
enum class CaptureState : std::uint8_t { Idle = 0, Enrolling = 1, Verifying = 2, Identifying = 3 };
struct Capture {
    CaptureState state = CaptureState::Idle;
    std::uint16_t pin = 0;    // enrolling or verifying: the user
    std::uint8_t finger = 0;  // enrolling or verifying
    std::uint8_t flag = 0;    // enrolling by text ID: the host's flag byte
    bool operator==(const Capture&) const = default;
};

// Something pushed to the terminal and installed with CMD_UPDATE: firmware,
// a file, language or voice data, a restore. Batch uploads are applied to the
// users and templates instead and recorded with code 12.
struct Install {
    std::uint32_t code = 0;   // first request word (2 firmware, 1700 file, ...)
    std::uint32_t value = 0;  // second request word
    std::string name;         // file name (code 1700)
    std::vector<std::uint8_t> data;
    bool operator==(const Install&) const = default;
};

// Content the owner configures: short messages and their user links, work
// codes (numeric and named), custom attendance states and voices, short keys.
struct Message {
    std::uint8_t kind = 0;
    std::uint16_t period = 0;
    std::uint32_t start = 0;            // DeviceTime
    std::vector<std::uint8_t> content;  // 60 bytes (320 on TFT terminals)
    bool operator==(const Message&) const = default;
};

struct CustomEntry {         // a custom attendance state or voice
    std::uint16_t code = 0;  // state code (states)
    std::string file;        // file name (voices)
    bool enabled = false;
    bool operator==(const CustomEntry&) const = default;
};

struct ShortKey {
    std::uint8_t function = 0;  // 1 = state key
    std::uint8_t state = 255;
    std::string label;                     // 14 or 16 bytes on the terminal
    std::array<std::uint16_t, 7> times{};  // hour * 100 + minute, 0 = none
    std::uint8_t autoSwitch = 0;
    bool operator==(const ShortKey&) const = default;
};

struct Content {
    std::map<int, Message> messages;                          // by message id
    std::set<std::pair<std::uint16_t, std::uint16_t>> links;  // (PIN, message id)
    std::map<int, std::uint32_t> workCodes;                   // numeric form: id -> code
    std::map<std::string, std::string> workCodeNames;         // text form: id text -> name
    std::map<int, CustomEntry> states;                        // 0..7
    std::map<int, CustomEntry> voices;                        // 0..20
    std::map<int, ShortKey> shortKeys;                        // by key id
    bool operator==(const Content&) const = default;
};

// An MF card as the terminal last wrote it: the user number, the 12-byte
// descriptor and the data bytes the descriptor's four lengths cover. A new
// or erased card is all zero with no data.
struct MfCard {
    std::uint32_t user = 0;
    std::array<std::uint8_t, 12> descriptor{};
    std::vector<std::uint8_t> data;
    bool operator==(const MfCard&) const = default;
};

// The synthetic fingerprint the simulated sensor delivers: width x height
// grey bytes, rows top to bottom, ridges in a whorl on a light background.
std::vector<std::uint8_t> SyntheticFingerprint(int width, int height);

// What the terminal's panel has been told to do by device-control commands.
struct Panel {
    struct Text {
        int row = 0, column = 0;
        std::string text;
        bool operator==(const Text&) const = default;
    };
    std::vector<Text> lcd;  // since the last clear
    bool clockShown = true;
    int restarts = 0;
    bool poweredOff = false, sleeping = false, suspended = false;
    std::vector<int> beeps;                         // signal data bytes (duration / 20 ms)
    std::vector<std::vector<std::uint8_t>> voices;  // play-voice requests
    int refreshes = 0;                              // CMD_REFRESH_DATA count
    bool operator==(const Panel&) const = default;
};

struct RtEvent {
    std::uint16_t kind = 0;
    std::vector<std::uint8_t> data;  // cut or zero-padded to the profile's record
    bool operator==(const RtEvent&) const = default;
};

// Time zone: for each of the seven days start hour, start minute, end hour,
// end minute.
using TimeZone = std::array<std::array<std::uint8_t, 4>, 7>;

struct Group {
    std::array<std::uint16_t, 3> zones{};
    std::int32_t count = 0;  // count sent with the integer-array write
    bool flag = false;       // record form: bit 7 of byte 7
    std::uint8_t value = 0;  // record form: bits 0-6 of byte 7
    bool operator==(const Group&) const = default;
};

struct Holiday {
    std::uint8_t startMonth = 0, startDay = 0, endMonth = 0, endDay = 0;
    std::uint16_t zone = 0;
    bool operator==(const Holiday&) const = default;
};

struct Department {
    std::uint8_t number = 0;
    std::string name;
    bool operator==(const Department&) const = default;
};

struct Shift {
    std::uint16_t number = 0;
    std::string name;
    std::uint16_t start = 0;  // hour << 8 | minute
    std::uint16_t end = 0;
    bool operator==(const Shift&) const = default;
};

// The attendance rule record (136 bytes on the terminal).
struct AttRule {
    std::string title = "Attendance";
    std::uint32_t earlyAbsentOn = 0, lateAbsentOn = 0, stateRuleMinutes = 0;
    std::uint32_t repeatMinutes = 5, earlyAbsentMinutes = 120, graceMinutes = 5;
    std::uint32_t lateAbsentMinutes = 120, unitMinutes = 30;
    std::uint8_t stateRuleA = 0, stateRuleB = 0;
    std::uint32_t dateByEnd = 0;
    std::array<std::uint32_t, 4> units{1, 1, 1, 3};  // display unit codes
    bool operator==(const AttRule&) const = default;
};

// What Model::Generate produces. All of it follows from the seed.
struct GenerateParams {
    std::uint64_t seed = 1;
    int users = 20;
    int punches = 200;
    int days = 10;                                       // calendar days; punches fall on weekdays
    int startYear = 2024, startMonth = 3, startDay = 4;  // first day (real calendar)
    int opRecords = 20;
    int events = 0;  // pending real-time punches after the log
    int departments = 4;
    int shifts = 3;
};

// DeviceTime helpers of the simulator's own (31-day months from 2000-01-01).
std::uint32_t EncodeTime(int year, int month, int day, int hour, int minute, int second);
struct TimeFields {
    int year, month, day, hour, minute, second;
};
TimeFields DecodeTime(std::uint32_t value);

class Model final : public Handler {
  public:
    explicit Model(Config config = {});
    ~Model() override;
    Model(const Model&) = delete;
    Model& operator=(const Model&) = delete;

    Response Handle(const Request& request) override;
    std::uint32_t CommKey() const override;
    // A new host session numbers its polls from 0 again: the batch served to
    // the previous session counts as delivered.
    void SessionStarted() override;

    // Replaces users, logs and tables with generated ones.
    void Generate(const GenerateParams& plan);

    // The whole state (configuration, options, data, faults) to and from a
    // file. Load replaces everything; on failure the model is unchanged and
    // error (when given) says why.
    bool Save(const std::string& path, std::string* error = nullptr) const;
    bool Load(const std::string& path, std::string* error = nullptr);
    std::string Serialize() const;
    bool Deserialize(const std::string& text, std::string* error = nullptr);

    // Truth.
    Profile GetProfile() const;
    std::string Version() const;
    std::vector<User> Users() const;
    std::optional<User> FindUser(std::uint16_t pin) const;
    std::vector<Punch> Punches() const;
    std::vector<OpRecord> OpLog() const;
    std::vector<Template> Templates() const;
    std::vector<Face> Faces() const;
    Capture GetCapture() const;
    std::vector<Install> Installs() const;
    // The data of the latest accepted install with this section code (8 the
    // voice, 3 or 10 the language, 2 the firmware image); empty when none.
    std::vector<std::uint8_t> InstalledData(std::uint32_t code) const;
    Panel GetPanel() const;
    Content GetContent() const;
    std::map<std::string, std::string> Options() const;
    std::optional<std::string> Option(const std::string& key) const;
    std::uint32_t Clock() const;
    bool Enabled() const;
    std::uint32_t EventMask() const;
    std::size_t PendingEvents() const;
    std::map<int, TimeZone> TimeZones() const;
    std::map<int, Group> Groups() const;
    std::array<Holiday, 24> Holidays() const;
    std::array<std::array<std::uint8_t, 5>, 11> UnlockCombinations() const;
    std::uint8_t DoorState() const;
    std::vector<Department> Departments() const;
    std::vector<Shift> Shifts() const;
    AttRule Rule() const;
    int PinWidth() const;
    // Record sizes of the profile as configured now.
    int UserRecordSize() const;
    int LogRecordSize() const;  // 0 = compact (4 or 8 bytes)
    int OpRecordSize() const;
    int RtRecordSize() const;

    // Changes from the terminal's own side (keypad, sensor, test set-up).
    bool AddUser(const User& user);  // replaces a user with the same PIN
    // A punch at the keypad: logged and queued as a real-time event. Refused
    // (false) while the host has the terminal disabled, unless forced.
    bool AddPunch(const Punch& punch, bool force = false);
    void AddOpRecord(const OpRecord& record);
    bool AddTemplate(const Template& t);  // the user must exist; replaces the same finger
    bool AddFace(const Face& face);       // the user must exist; replaces the same index
    // The running capture completes, as when the person at the sensor is
    // done: the terminal goes back to idle. What was running, or nothing
    // when the terminal was idle.
    std::optional<Capture> FinishCapture();
    void AddEvent(const RtEvent& event);
    void SetOption(const std::string& key, const std::string& value);
    void RemoveOption(const std::string& key);
    void SetClock(std::uint32_t deviceTime);
    void SetDoorState(std::uint8_t state);
    void SetDepartments(std::vector<Department> departments);
    void SetShifts(std::vector<Shift> shifts);
    void SetRule(const AttRule& rule);
    void ClearLogs();
    // Holds the card with this serial number to the reader (none: the reader
    // is empty). Card writes and erases go to the card held there.
    void PresentCard(std::optional<std::uint64_t> serial);
    // Every card written or erased so far, by serial number.
    std::map<std::uint64_t, MfCard> Cards() const;

    Faults GetFaults() const;
    void SetFaults(const Faults& faults);
    void RefuseCommand(int command, bool refuse = true);

    struct State;

  private:
    std::unique_ptr<State> state_;
};

}  // namespace termsim
