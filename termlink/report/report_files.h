// The report engine's input files and work-file records.
//
// Every input file is read once, whole, and decoded through the byte helpers;
// a record is used only when all of its bytes are in the file, so a truncated
// or garbled file can shorten a table but never make the engine read outside
// its buffers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/bytes.h"

namespace tl::report {

constexpr std::uint32_t kDaySeconds = 86400;

// Sizes of the records the engine reads and writes.
constexpr std::size_t kLogRecordSize = 40;
constexpr std::size_t kUserRecordSize = 72;
constexpr std::size_t kDeptRecordSize = 36;
constexpr std::size_t kShiftRecordSize = 20;
constexpr std::size_t kRuleRecordSize = 136;
constexpr std::size_t kPunchRecordSize = 16;
constexpr std::size_t kDayRecordSize = 60;
constexpr std::size_t kTotalsRecordSize = 104;

// Only this many department records are ever searched.
constexpr std::size_t kDeptSearchLimit = 16;

// Opens `path` for reading and writing, creating it when it does not exist
// (an input that is missing reads as empty), and returns its whole content.
// Nothing when the path is null or the file cannot be opened or created.
std::optional<std::vector<std::uint8_t>> LoadInputFile(const char* path);

// True when `path` names something other than a regular file or a symbolic
// link (a device, a pipe, a folder): such a path is never deleted or replaced.
bool IsSpecialFile(const char* path);

// Deletes `path` and creates it empty; false when it cannot be created. A
// device or pipe is opened for writing instead of being deleted.
bool RecreateFile(const std::string& path);
// Appends `data` to `path` completely; false when the file cannot be opened or
// not every byte was written.
bool AppendToFile(const std::string& path, std::span<const std::uint8_t> data);
inline bool AppendToFile(const std::string& path, const std::string& text) {
    return AppendToFile(path, std::span<const std::uint8_t>(
                                  reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

// Seconds of a packed hour/minute time of day (high byte hour, low byte minute).
constexpr std::uint32_t PackedTimeSeconds(std::uint16_t v) {
    return ((static_cast<std::uint32_t>(v >> 8)) * 60u + (v & 0xFFu)) * 60u;
}

// State character of a log record's state byte.
constexpr std::uint8_t StateCharacter(std::uint8_t state) {
    constexpr char kChars[] = {'I', 'O', 'T', 'B', 'i', 'o'};
    return state < 6 ? static_cast<std::uint8_t>(kChars[state]) : static_cast<std::uint8_t>('N');
}

// AttRuleRecord: the attendance rule, decoded from the first 136 bytes.
struct AttRuleRecord {
    std::string title;  // offset 0, NUL-terminated within the first 48 bytes
    std::uint32_t earlyAbsentOn = 0;
    std::uint32_t lateAbsentOn = 0;
    std::uint32_t stateRuleMinutes = 0;
    std::uint32_t repeatMinutes = 0;
    std::uint32_t earlyAbsentMinutes = 0;
    std::uint32_t graceMinutes = 0;
    std::uint32_t lateAbsentMinutes = 0;
    std::uint32_t unitMinutes = 0;
    std::uint8_t stateRuleA = 0;
    std::uint8_t stateRuleB = 0;
    std::uint32_t dateByEnd = 0;
    // Display unit codes: scheduled/attended time, lateness, early leave, absence.
    std::array<std::uint32_t, 4> unitCodes{};

    // Decodes a rule from `bytes`; fields outside the given bytes read as 0.
    static AttRuleRecord Parse(Bytes bytes);
};

// The fields of an SsrUserRecord the engine uses.
struct UserEntry {
    std::uint16_t pin = 0;
    std::string name;                       // offset 11, 24 bytes
    std::uint8_t group = 0;                 // offset 39, the department number
    std::array<std::uint16_t, 4> shifts{};  // offset 40, the four time-zone numbers
    std::string id;                         // offset 48, 24 bytes
};

// DeptRecord, as searched by the writers.
struct DeptRecord {
    std::uint8_t number = 0;
    std::string name;  // offset 4, 32 bytes
};

// ShiftRecord, with times still packed.
struct ShiftRecord {
    std::uint16_t number = 0;
    std::string name;  // offset 2, 10 bytes
    std::uint16_t start = 0;
    std::uint16_t end = 0;
};

// The users file: whole records in file order and the first record of each PIN.
class UsersFile {
  public:
    UsersFile() = default;
    explicit UsersFile(const std::optional<std::vector<std::uint8_t>>& content);
    bool open() const { return open_; }
    const std::vector<UserEntry>& records() const { return records_; }
    // First record whose PIN equals `pin`, or null.
    const UserEntry* Find(std::uint16_t pin) const;

  private:
    bool open_ = false;
    std::vector<UserEntry> records_;
    std::vector<std::int32_t> firstByPin_;
};

class ShiftsFile {
  public:
    ShiftsFile() = default;
    explicit ShiftsFile(const std::optional<std::vector<std::uint8_t>>& content);
    bool open() const { return open_; }
    // First record whose number equals `number`, or null.
    const ShiftRecord* Find(std::uint16_t number) const;

  private:
    bool open_ = false;
    std::vector<ShiftRecord> records_;
    std::vector<std::int32_t> firstByNumber_;
};

class DeptsFile {
  public:
    DeptsFile() = default;
    explicit DeptsFile(const std::optional<std::vector<std::uint8_t>>& content);
    // Name of the first of the first 16 departments with this number, or null.
    const std::string* Find(std::uint8_t number) const;

  private:
    std::vector<DeptRecord> records_;
};

// The attendance log decoded once, with the records of each PIN listed in file
// order so that a user's punches are found without scanning the whole log.
class LogFile {
  public:
    LogFile() = default;
    explicit LogFile(const std::optional<std::vector<std::uint8_t>>& content);
    std::size_t size() const { return time_.size(); }
    std::uint16_t pin(std::size_t i) const { return pin_[i]; }
    std::uint32_t time(std::size_t i) const { return time_[i]; }
    std::uint8_t state(std::size_t i) const { return state_[i]; }
    // Indices of the records of `pin`, in file order.
    std::span<const std::uint32_t> ForPin(std::uint16_t pin) const;

  private:
    std::vector<std::uint16_t> pin_;
    std::vector<std::uint32_t> time_;
    std::vector<std::uint8_t> state_;
    std::vector<std::uint32_t> start_;  // 65,537 offsets into order_
    std::vector<std::uint32_t> order_;
};

// User ID as the reports show it: five characters, shorter IDs padded on the
// left with '0', longer IDs in full.
std::string PaddedUserId(const std::string& id);

}  // namespace tl::report
