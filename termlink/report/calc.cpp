#include "report/calc.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <memory>

namespace tl::report {

namespace {

// Inserts by time with the engine's binary search: an equal element ends the
// search and the new record goes before it.
void InsertByTime(std::vector<Punch>& arr, Punch p) {
    if (arr.empty() || arr.back().time < p.time) {  // where the search would end too
        arr.push_back(p);
        return;
    }
    std::ptrdiff_t lo = 0, hi = static_cast<std::ptrdiff_t>(arr.size()) - 1, pos = -1;
    while (lo <= hi) {
        std::ptrdiff_t mid = (lo + hi) / 2;
        std::uint32_t m = arr[static_cast<std::size_t>(mid)].time;
        if (m > p.time) {
            hi = mid - 1;
        } else if (m < p.time) {
            lo = mid + 1;
        } else {
            pos = mid;
            break;
        }
    }
    if (pos < 0) pos = lo;
    arr.insert(arr.begin() + pos, p);
}

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};

// Walks the attendance-log file record by record from its start, as the
// straightforward form does for every selection.
template <typename F>
void ScanLogFile(const std::string& path, F&& visit) {
    std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
    if (!f) return;
    std::uint8_t rec[kLogRecordSize];
    while (std::fread(rec, 1, sizeof rec, f.get()) == sizeof rec) {
        if (!visit(load_u16(rec), load_u32(rec + 27), rec[31])) return;
    }
}

// A double sum stored in an unsigned 32-bit field, truncated toward zero and
// kept in range instead of converting an out-of-range value.
std::uint32_t TruncToU32(double v) {
    if (!(v > 0)) return 0;
    v = std::fmod(std::trunc(v), 4294967296.0);
    return static_cast<std::uint32_t>(v);
}

std::uint32_t SubFloor0(std::uint64_t a, std::uint64_t b) {
    return static_cast<std::uint32_t>(a > b ? a - b : 0);
}

}  // namespace

std::vector<Punch> SelectPunches(const RunInputs& in, std::uint16_t pin, std::uint32_t d1,
                                 std::uint32_t d2, std::size_t capacity) {
    std::vector<Punch> out;
    auto keep = [&](std::uint16_t recPin, std::uint32_t t, std::uint8_t state) {
        if ((pin == 0 || recPin == pin) && d1 <= t && t <= d2 && t != 0) {
            InsertByTime(out, Punch{t, state});
        }
        return out.size() < capacity;
    };
    if (capacity == 0) return out;
    if (in.rescan) {
        ScanLogFile(in.logPath, keep);
    } else if (pin == 0) {
        for (std::size_t i = 0; i < in.log.size(); ++i)
            if (!keep(in.log.pin(i), in.log.time(i), in.log.state(i))) break;
    } else {
        for (std::uint32_t i : in.log.ForPin(pin))
            if (!keep(pin, in.log.time(i), in.log.state(i))) break;
    }
    return out;
}

bool HasPunchBetween(const RunInputs& in, std::uint16_t pin, std::uint32_t lo, std::uint32_t hi) {
    bool found = false;
    if (in.rescan) {
        ScanLogFile(in.logPath, [&](std::uint16_t p, std::uint32_t t, std::uint8_t) {
            found = p == pin && t != 0 && lo <= t && t <= hi;
            return !found;
        });
        return found;
    }
    for (std::uint32_t i : in.log.ForPin(pin)) {
        std::uint32_t t = in.log.time(i);
        if (t != 0 && lo <= t && t <= hi) return true;
    }
    return false;
}

void TotalsRecord::AppendTo(std::vector<std::uint8_t>& out) const {
    std::uint8_t r[kTotalsRecordSize] = {};
    store_u32(r + 0, pin);
    store_u32(r + 4, scheduledUnitTime);
    store_u32(r + 8, scheduledTime);
    store_u32(r + 12, attendedUnitTime);
    store_u32(r + 16, attendedTime);
    store_u32(r + 20, lateDays);
    store_u32(r + 24, lateSeconds);
    store_u32(r + 28, earlyDays);
    store_u32(r + 32, earlySeconds);
    store_u32(r + 36, absentUnitTime);
    store_u32(r + 40, absentTime);
    store_u32(r + 44, absentDays);
    store_u16(r + 72, checkInMissing);
    store_u16(r + 74, checkOutMissing);
    store_u32(r + 92, workSeconds);
    store_u16(r + 96, requiredPunches);
    store_u16(r + 98, checkInDays);
    store_u16(r + 100, checkOutDays);
    store_u16(r + 102, workDays);
    out.insert(out.end(), r, r + sizeof r);
}

TotalsRecord TotalsRecord::Parse(Bytes rec) {
    TotalsRecord t;
    if (rec.size() < kTotalsRecordSize) return t;
    const std::uint8_t* r = rec.data();
    t.pin = load_u32(r + 0);
    t.scheduledUnitTime = load_u32(r + 4);
    t.scheduledTime = load_u32(r + 8);
    t.attendedUnitTime = load_u32(r + 12);
    t.attendedTime = load_u32(r + 16);
    t.lateDays = load_u32(r + 20);
    t.lateSeconds = load_u32(r + 24);
    t.earlyDays = load_u32(r + 28);
    t.earlySeconds = load_u32(r + 32);
    t.absentUnitTime = load_u32(r + 36);
    t.absentTime = load_u32(r + 40);
    t.absentDays = load_u32(r + 44);
    t.checkInMissing = load_u16(r + 72);
    t.checkOutMissing = load_u16(r + 74);
    t.workSeconds = load_u32(r + 92);
    t.requiredPunches = load_u16(r + 96);
    t.checkInDays = load_u16(r + 98);
    t.checkOutDays = load_u16(r + 100);
    t.workDays = load_u16(r + 102);
    return t;
}

void DayRecord::AppendTo(std::vector<std::uint8_t>& out) const {
    std::uint8_t r[kDayRecordSize] = {};
    store_u32(r + 0, pin);
    store_u32(r + 4, static_cast<std::uint32_t>(index));
    r[8] = shift;
    r[11] = inState;
    r[12] = outState;
    r[13] = absent;
    r[14] = inRequired;
    r[15] = outRequired;
    store_u32(r + 16, date);
    store_u32(r + 20, start);
    store_u32(r + 24, end);
    store_u32(r + 28, checkIn);
    store_u32(r + 32, checkOut);
    store_u32(r + 40, std::bit_cast<std::uint32_t>(units));
    store_u32(r + 44, static_cast<std::uint32_t>(lateness));
    store_u32(r + 48, static_cast<std::uint32_t>(earlyLeave));
    store_u32(r + 56, static_cast<std::uint32_t>(workTime));
    out.insert(out.end(), r, r + sizeof r);
}

DayRecord DayRecord::Parse(Bytes rec) {
    DayRecord d;
    if (rec.size() < kDayRecordSize) return d;
    const std::uint8_t* r = rec.data();
    d.pin = load_u32(r + 0);
    d.index = static_cast<std::int32_t>(load_u32(r + 4));
    d.shift = r[8];
    d.inState = r[11];
    d.outState = r[12];
    d.absent = r[13];
    d.inRequired = r[14];
    d.outRequired = r[15];
    d.date = load_u32(r + 16);
    d.start = load_u32(r + 20);
    d.end = load_u32(r + 24);
    d.checkIn = load_u32(r + 28);
    d.checkOut = load_u32(r + 32);
    d.units = std::bit_cast<float>(load_u32(r + 40));
    d.lateness = static_cast<std::int32_t>(load_u32(r + 44));
    d.earlyLeave = static_cast<std::int32_t>(load_u32(r + 48));
    d.workTime = static_cast<std::int32_t>(load_u32(r + 56));
    return d;
}

Calculator::Calculator(const AttRuleRecord& rule, const RunInputs& in) : rule_(rule), in_(in) {
    // A rule without a counting unit (unitMinutes 0) counts in whole minutes:
    // the division stays defined and unit times equal the minutes worked.
    unitSeconds_ = static_cast<std::uint64_t>(rule.unitMinutes == 0 ? 1 : rule.unitMinutes) * 60u;
}

bool Calculator::IsSpecial(std::uint8_t ch) const {
    if (rule_.stateRuleA != 0 && (ch == 'i' || ch == 'o')) return true;
    if (rule_.stateRuleB != 0 && (ch == '0' || ch == '1')) return true;
    return false;
}

std::uint64_t Calculator::RepeatSeconds() const {
    return static_cast<std::uint64_t>(rule_.repeatMinutes) * 60u;
}

void Calculator::CalculateUser(std::uint16_t pin, std::uint32_t d1, std::uint32_t d2) {
    pin_ = pin;
    SetRange(d1, d2);
    std::printf("d1: %ld\td2: %ld\n", static_cast<long>(static_cast<std::int32_t>(d1)),
                static_cast<long>(static_cast<std::int32_t>(d2)));
    // The trace line shows the caller's values; the punches are those of the
    // whole days from d1's to d2's, the same range the schedule covers. Any
    // other end would either add a day to the schedule or drop the last day's
    // punches and report that day absent.
    punches_ = SelectPunches(in_, pin, rangeStart_, rangeEnd_, kMaxPunches);
    if (punches_.empty()) return;
    std::printf("logcount: %d\n", static_cast<int>(punches_.size()));
    const bool hasShifts = GetEasyWorkTime(pin);
    std::printf("after prepare!\n");
    if (hasShifts) {
        for (std::size_t i = 0; i < schedule_.size(); ++i)
            schedule_[i].index = static_cast<std::int32_t>(i);
        PairingLoop();
        totals_.AppendTo(totalsOut);
        totals_ = TotalsRecord{};
    }
    schedule_.clear();
    punches_.clear();
}

bool Calculator::GetEasyWorkTime(std::uint16_t pin) {
    schedule_.clear();
    const UserEntry* user = pin != 0 ? in_.users.Find(pin) : nullptr;
    if (!user) return false;
    std::uint32_t sum = 0;
    for (auto s : user->shifts) sum += s;
    if (sum == 0) return false;
    BuildSchedule(*user);
    std::printf("after GetEasyWorkTime User: %d\n", static_cast<int>(pin));
    return true;
}

void Calculator::BuildSchedule(const UserEntry& user) {
    const auto& s = user.shifts;
    std::printf("user.tineszone: %d\t%d\t%d\t%d\n", s[0], s[1], s[2], s[3]);
    if (!in_.shifts.open()) return;
    // Days run in 64-bit so that a range near the top of the 32-bit scale
    // cannot wrap into an endless loop; rangeEnd keeps its 32-bit value.
    for (std::uint64_t b = rangeStart_; b <= rangeEnd_; b += kDaySeconds) {
        const std::uint32_t B = static_cast<std::uint32_t>(b);
        for (std::size_t i = 0; i < 4; ++i) {
            if (s[i] == 0) continue;
            const ShiftRecord* sh = in_.shifts.Find(s[i]);
            if (!sh) continue;
            const std::uint32_t st = PackedTimeSeconds(sh->start);
            const std::uint32_t en = PackedTimeSeconds(sh->end);
            // A shift whose end equals its start has no length: it is not
            // scheduled. One that ends before it starts is a night shift and
            // ends on the following day.
            if (en == st) continue;
            const bool night = en < st;
            const std::uint32_t span = night ? en + kDaySeconds - st : en - st;
            const std::uint32_t half = span >> 1;
            ScheduleEntry e;
            e.shiftNumber = s[i];
            e.units = static_cast<float>(span / unitSeconds_);
            e.start = B + st;
            e.end = e.start + span;
            e.inWinStart = SubFloor0(std::uint64_t{B} + st, half);
            // Neighbouring shifts of the same day split the gap between them.
            // Only a neighbour that really lies on the right side of this
            // shift is used; otherwise the window keeps its half-shift width.
            if (i > 0 && s[i - 1] != 0) {
                if (const ShiftRecord* prev = in_.shifts.Find(s[i - 1])) {
                    const std::uint32_t pen = PackedTimeSeconds(prev->end);
                    if (pen <= st) e.inWinStart = B + st - (st - pen) / 2;
                }
            }
            e.inWinEnd = SubFloor0(std::uint64_t{B} + st + half, 60);
            e.outWinStart = e.end - half;
            e.outWinEnd = e.end + half;
            if (i < 3 && s[i + 1] != 0 && !night) {
                if (const ShiftRecord* next = in_.shifts.Find(s[i + 1])) {
                    const std::uint32_t nst = PackedTimeSeconds(next->start);
                    if (nst >= en)
                        e.outWinEnd = SubFloor0(std::uint64_t{B} + en + (nst - en) / 2, 60);
                }
            }
            e.inRequired = e.outRequired = 1;
            e.graceMinutes = rule_.graceMinutes;
            schedule_.push_back(e);
        }
    }
}

// ---- punch slots ----------------------------------------------------------

void Calculator::StartPunches() {
    auto at = [&](std::size_t i) {
        return i < punches_.size() ? Slot{punches_[i].time, StateCharacter(punches_[i].state)}
                                   : Slot{kEndMarker, 'N'};
    };
    slot_[0] = Slot{0, 'N'};
    slot_[1] = at(0);
    slot_[2] = at(1);
    slot_[3] = at(2);
    nextPunch_ = 3;
}

bool Calculator::AdvancePunches(bool keepLast) {
    if (!keepLast) slot_[0] = slot_[1];
    const bool wasEnd = slot_[2].time >= kEndMarker;
    slot_[1] = slot_[2];
    slot_[2] = slot_[3];
    if (nextPunch_ < punches_.size()) {
        slot_[3] = Slot{punches_[nextPunch_].time, StateCharacter(punches_[nextPunch_].state)};
        ++nextPunch_;
    } else {
        slot_[3] = Slot{kEndMarker, 'N'};
    }
    return !wasEnd;
}

// ---- window events --------------------------------------------------------

Calculator::Event Calculator::EventAt(std::size_t k) const {
    if (k >= 2 * schedule_.size()) return Event{kEndMarker, kEndMarker, kEndMarker, 'I', -1};
    const ScheduleEntry& e = schedule_[k / 2];
    if (k % 2 == 0) return Event{e.start, e.inWinStart, e.inWinEnd, 'I', e.index};
    Event ev{e.end, e.outWinStart, e.outWinEnd, 'O', e.index};
    if (ev.winStart > ev.anchor) ev.winStart -= kDaySeconds;
    if (std::uint64_t{ev.winEnd} > std::uint64_t{ev.anchor} + kDaySeconds) ev.winEnd -= kDaySeconds;
    return ev;
}

void Calculator::LowerCurrentWindow() {
    if (e_[1].winEnd > e_[2].anchor && e_[2].anchor > 0) e_[1].winEnd = e_[2].anchor - 1;
}

void Calculator::StartEvents() {
    e_[0] = Event{0, 0, 0, 'O', -1};
    e_[1] = EventAt(0);
    e_[2] = EventAt(1);
    nextEvent_ = 2;
    LowerCurrentWindow();
}

bool Calculator::AdvanceEvents() {
    e_[0] = e_[1];
    e_[1] = e_[2];
    e_[2] = EventAt(nextEvent_++);
    LowerCurrentWindow();
    return e_[1].anchor < kEndMarker;
}

// ---- pairing --------------------------------------------------------------

Calculator::Action Calculator::Classify() {
    const std::uint32_t t = slot_[1].time;
    const std::uint32_t n = slot_[2].time;
    const Event& e0 = e_[0];
    const Event& e1 = e_[1];
    const Event& e2 = e_[2];
    if (t < e1.winStart) return Action::Free;
    if (e1.kind == 'O') {
        if (t >= e1.winEnd) return Action::Close;
        if (slot_[3].ch != 'I') slot_[3].ch = 'O';
        // A later punch in the same window takes the check-out.
        if (n < e1.winEnd || n < e1.anchor || std::uint64_t{n} < std::uint64_t{t} + RepeatSeconds())
            return Action::Free;
    }
    if (t >= e1.winEnd) return Action::Close;
    if (IsSpecial(slot_[1].ch)) return Action::Free;
    if (n < e1.winEnd && (t < e0.winEnd || (t < e1.anchor && slot_[1].ch != slot_[2].ch))) {
        slot_[2].ch = e1.kind;
        slot_[1].ch = e0.kind;
    }
    if (t <= e2.winStart || n <= e2.anchor) return Action::Assign;
    slot_[1].ch = e2.kind;
    return Action::Close;
}

void Calculator::AppendPunch(std::uint32_t t, std::uint8_t ch, std::uint8_t use,
                             std::uint16_t code) {
    std::uint8_t r[kPunchRecordSize] = {};
    store_u32(r + 0, pin_);
    store_u32(r + 4, t);
    r[8] = ch;
    r[9] = use;
    store_u16(r + 10, code);
    punchOut.insert(punchOut.end(), r, r + sizeof r);
}

void Calculator::HandleFree() {
    const std::uint32_t t = slot_[1].time;
    const std::uint8_t ch = slot_[1].ch;
    if (IsSpecial(ch)) {
        AppendPunch(t, ch, ' ', 1);
        return;
    }
    // Both distances in signed 64-bit: a repeat interval longer than the next
    // punch's time clamps instead of wrapping.
    const std::int64_t rep = static_cast<std::int64_t>(RepeatSeconds());
    const bool repeated = std::int64_t{t} < std::int64_t{slot_[0].time} + rep ||
                          std::int64_t{t} > std::int64_t{slot_[2].time} - rep;
    AppendPunch(t, ch, ' ', repeated ? 2 : 1);
}

void Calculator::Pair() {
    const std::uint32_t t = slot_[1].time;
    if (e_[1].kind == 'I') {
        StartDay(e_[1].index);
        dayCheckIn_ = t;
        AppendPunch(t, slot_[1].ch, 'I', 0);
    } else if (dayOpen_) {
        dayCheckOut_ = t;
        AppendPunch(t, slot_[1].ch, 'O', 0);
    }
}

void Calculator::CloseEvent() {
    if (e_[1].kind == 'I') StartDay(e_[1].index);
}

void Calculator::StartDay(std::int32_t index) {
    if (dayOpen_) EvaluateDay();
    dayOpen_ = true;
    dayIndex_ = index;
    dayCheckIn_ = dayCheckOut_ = 0;
}

void Calculator::PairingLoop() {
    StartPunches();
    bool punches = !punches_.empty() && slot_[1].time < kEndMarker;
    bool events = false;
    if (!schedule_.empty()) {
        StartEvents();
        events = e_[1].anchor < kEndMarker;
    }
    while (punches) {
        if (!events) {
            HandleFree();
            punches = AdvancePunches(true);
            continue;
        }
        switch (Classify()) {
            case Action::Free:
                HandleFree();
                punches = AdvancePunches(true);
                break;
            case Action::Assign:
                Pair();
                punches = AdvancePunches(false);
                events = AdvanceEvents();
                break;
            case Action::Close:
                CloseEvent();
                events = AdvanceEvents();
                break;
        }
    }
    while (events) {
        CloseEvent();
        events = AdvanceEvents();
    }
    if (dayOpen_) EvaluateDay();
}

void Calculator::EvaluateDay() {
    dayOpen_ = false;
    if (dayIndex_ < 0 || static_cast<std::size_t>(dayIndex_) >= schedule_.size()) return;
    const ScheduleEntry& e = schedule_[static_cast<std::size_t>(dayIndex_)];
    DayRecord d;
    d.pin = pin_;
    d.index = dayIndex_;
    d.checkIn = dayCheckIn_;
    d.checkOut = dayCheckOut_;
    d.shift = static_cast<std::uint8_t>(e.shiftNumber);
    d.start = e.start;
    d.end = e.end;
    d.units = e.units;
    d.date = e.start - e.start % kDaySeconds;
    if (rule_.dateByEnd != 0 && e.end - e.end % kDaySeconds > d.date) d.date += kDaySeconds;
    const std::int64_t grace = std::int64_t{e.graceMinutes} * 60;
    if (d.checkIn == 0 && d.checkOut == 0) {
        d.absent = 1;
        d.inState = d.outState = 2;
    } else {
        if (d.checkIn != 0) {
            d.inState = 0;
            const auto late = static_cast<std::int32_t>(d.checkIn - d.start);
            if (late > grace) d.lateness = late;
        } else {
            d.inState = 1;
        }
        if (d.checkOut != 0) {
            d.outState = 0;
            const auto early = static_cast<std::int32_t>(d.end - d.checkOut);
            if (early > 0 && early > grace) d.earlyLeave = early;
        } else {
            d.outState = 1;
        }
    }
    d.inRequired = d.outRequired = 1;
    if (rule_.lateAbsentOn != 0 && d.lateness > std::int64_t{rule_.lateAbsentMinutes} * 60)
        d.absent = 1;
    if (rule_.earlyAbsentOn != 0 && d.earlyLeave > std::int64_t{rule_.earlyAbsentMinutes} * 60)
        d.absent = 1;
    if (d.absent) {
        d.lateness = d.earlyLeave = 0;
    } else if (d.inState != 1 && d.outState != 1) {
        d.workTime = static_cast<std::int32_t>(d.checkOut - d.checkIn);
    }
    d.AppendTo(dayOut);

    TotalsRecord& t = totals_;
    const std::uint32_t span = d.end - d.start;
    const double unitTime = static_cast<double>(d.units) * static_cast<double>(unitSeconds_);
    t.pin = d.pin;
    t.scheduledUnitTime = TruncToU32(unitTime + t.scheduledUnitTime);
    t.scheduledTime += span;
    if (!d.absent) {
        t.attendedUnitTime = TruncToU32(unitTime + t.attendedUnitTime);
        t.attendedTime += span;
    } else {
        t.absentUnitTime = TruncToU32(unitTime + t.absentUnitTime);
        t.absentTime += span;
        t.absentDays += 1;
    }
    if (d.lateness > 0) {
        t.lateDays += 1;
        t.lateSeconds += static_cast<std::uint32_t>(d.lateness);
    }
    if (d.earlyLeave > 0) {
        t.earlyDays += 1;
        t.earlySeconds += static_cast<std::uint32_t>(d.earlyLeave);
    }
    if (d.inState == 1 || d.inState == 2) ++t.checkInMissing;
    if (d.outState == 1 || d.outState == 2) ++t.checkOutMissing;
    if (d.checkIn > 0) ++t.checkInDays;
    if (d.checkOut > 0) ++t.checkOutDays;
    if (d.inRequired == 1) ++t.requiredPunches;
    if (d.outRequired == 1) ++t.requiredPunches;
    if (d.workTime > 0) {
        t.workSeconds += static_cast<std::uint32_t>(d.workTime);
        if (d.units > 0) ++t.workDays;
    }
}

}  // namespace tl::report
