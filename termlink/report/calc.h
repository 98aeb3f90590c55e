// Attendance calculation: pairs one user's punches with the shifts of the
// user's record and evaluates each scheduled shift occurrence.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "report/report_files.h"

namespace tl::report {

// Value that marks a missing punch and the end of the event stream.
constexpr std::uint32_t kEndMarker = 0x72B9F880u;
// At most this many punches of one user are calculated.
constexpr std::size_t kMaxPunches = 1000;

// The input files of one report run.
struct RunInputs {
    LogFile log;
    UsersFile users;
    ShiftsFile shifts;
    DeptsFile depts;
    // The straightforward form: every punch selection reads the attendance-log
    // file again from its start instead of using the index. Same results; kept
    // to check the index against.
    bool rescan = false;
    std::string logPath;
};

struct Punch {
    std::uint32_t time = 0;
    std::uint8_t state = 0;  // state byte of the log record
};

// The first and the last second of the day that holds t (the last one kept
// inside the 32-bit scale).
constexpr std::uint32_t FirstSecondOfDay(std::uint32_t t) {
    return t - t % kDaySeconds;
}
constexpr std::uint32_t LastSecondOfDay(std::uint32_t t) {
    const std::uint64_t last = std::uint64_t{FirstSecondOfDay(t)} + kDaySeconds - 1;
    return last > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(last);
}

// A user's punches with d1 <= time <= d2 (time non-zero; PIN 0 takes every
// record), in file order up to `capacity` records, ordered by time with the
// engine's binary insertion (equal times: the newer record goes before the
// equal one it meets).
std::vector<Punch> SelectPunches(const RunInputs& in, std::uint16_t pin, std::uint32_t d1,
                                 std::uint32_t d2, std::size_t capacity);

// True when the user has at least one punch of non-zero time with exactly
// this PIN inside [lo, hi].
bool HasPunchBetween(const RunInputs& in, std::uint16_t pin, std::uint32_t lo, std::uint32_t hi);

struct ScheduleEntry {
    std::uint32_t start = 0, end = 0;
    std::uint32_t inWinStart = 0, inWinEnd = 0;
    std::uint32_t outWinStart = 0, outWinEnd = 0;
    std::uint16_t shiftNumber = 0;
    std::uint8_t inRequired = 1, outRequired = 1;
    std::uint32_t graceMinutes = 0;
    float units = 0;
    std::int32_t index = 0;
};

// TotalsRecord being summed for one user.
struct TotalsRecord {
    std::uint32_t pin = 0;
    std::uint32_t scheduledUnitTime = 0, scheduledTime = 0;
    std::uint32_t attendedUnitTime = 0, attendedTime = 0;
    std::uint32_t lateDays = 0, lateSeconds = 0;
    std::uint32_t earlyDays = 0, earlySeconds = 0;
    std::uint32_t absentUnitTime = 0, absentTime = 0, absentDays = 0;
    std::uint16_t checkInMissing = 0, checkOutMissing = 0;
    std::uint32_t workSeconds = 0;
    std::uint16_t requiredPunches = 0, checkInDays = 0, checkOutDays = 0, workDays = 0;

    void AppendTo(std::vector<std::uint8_t>& out) const;
    static TotalsRecord Parse(Bytes rec);  // rec holds 104 bytes
};

// DayRecord of one scheduled shift occurrence.
struct DayRecord {
    std::uint32_t pin = 0;
    std::int32_t index = 0;
    std::uint8_t shift = 0;
    std::uint8_t inState = 0, outState = 0, absent = 0;
    std::uint8_t inRequired = 0, outRequired = 0;
    std::uint32_t date = 0, start = 0, end = 0;
    std::uint32_t checkIn = 0, checkOut = 0;
    float units = 0;
    std::int32_t lateness = 0, earlyLeave = 0, workTime = 0;

    void AppendTo(std::vector<std::uint8_t>& out) const;
    static DayRecord Parse(Bytes rec);  // rec holds 60 bytes
};

// The per-user calculation. The three work files are collected in memory
// (punchOut, dayOut, totalsOut) in the order they would be appended.
class Calculator {
  public:
    Calculator(const AttRuleRecord& rule, const RunInputs& in);

    void CalculateUser(std::uint16_t pin, std::uint32_t d1, std::uint32_t d2);
    // Decides whether the user has shifts and, when so, builds the schedule
    // over the range last set (CalculateUser sets it; SetRange for tests).
    bool GetEasyWorkTime(std::uint16_t pin);
    // A report covers whole days: from the start of d1's day to the last
    // second of d2's day, whatever time of day the caller passed. The schedule
    // and the punch selection both use this range.
    void SetRange(std::uint32_t d1, std::uint32_t d2) {
        rangeStart_ = FirstSecondOfDay(d1);
        rangeEnd_ = LastSecondOfDay(d2);
    }

    const std::vector<ScheduleEntry>& schedule() const { return schedule_; }

    std::vector<std::uint8_t> punchOut;   // RecAbnormite.dat
    std::vector<std::uint8_t> dayOut;     // AttAbnormite.dat
    std::vector<std::uint8_t> totalsOut;  // AttDay.dat

  private:
    struct Slot {
        std::uint32_t time = 0;
        std::uint8_t ch = 0;
    };
    struct Event {
        std::uint32_t anchor = 0, winStart = 0, winEnd = 0;
        std::uint8_t kind = 'O';
        std::int32_t index = -1;
    };
    enum class Action { Free, Assign, Close };

    void BuildSchedule(const UserEntry& user);
    void PairingLoop();
    // Punch slots.
    void StartPunches();
    bool AdvancePunches(bool keepLast);
    // Window events.
    Event EventAt(std::size_t k) const;
    void StartEvents();
    bool AdvanceEvents();
    void LowerCurrentWindow();
    Action Classify();
    void HandleFree();
    void Pair();
    void CloseEvent();
    void StartDay(std::int32_t index);
    void EvaluateDay();
    void AppendPunch(std::uint32_t t, std::uint8_t ch, std::uint8_t use, std::uint16_t code);
    bool IsSpecial(std::uint8_t ch) const;
    std::uint64_t RepeatSeconds() const;

    const AttRuleRecord& rule_;
    const RunInputs& in_;
    std::uint64_t unitSeconds_ = 60;  // one counting unit, never 0
    std::uint16_t pin_ = 0;
    std::uint32_t rangeStart_ = 0, rangeEnd_ = 0;

    std::vector<Punch> punches_;
    std::size_t nextPunch_ = 0;
    Slot slot_[4];

    std::vector<ScheduleEntry> schedule_;
    std::size_t nextEvent_ = 0;
    Event e_[3];

    bool dayOpen_ = false;
    std::int32_t dayIndex_ = 0;
    std::uint32_t dayCheckIn_ = 0, dayCheckOut_ = 0;
    TotalsRecord totals_;
};

}  // namespace tl::report
