// Attendance calculation: schedule windows, pairing, day evaluation, totals.
#include "report_fixture.h"

using namespace tltest;
using tl::report::Calculator;
using tl::report::RunInputs;

namespace {

constexpr std::uint16_t kPin = 7;

// A company with one user on shift 1 (09:00-18:00) in slot 0.
Company DayShift() {
    Company c;
    c.Shift(1, "Day", 9, 0, 18, 0);
    c.User(kPin, "7", "Ann", 1, {1, 0, 0, 0});
    c.Dept(1, "Ops");
    c.Repeat(5);
    return c;
}

std::vector<tl::report::ScheduleEntry> ScheduleOf(const Company& c, std::uint32_t d1,
                                                  std::uint32_t d2) {
    RunInputs in;
    in.users = tl::report::UsersFile(c.users);
    in.shifts = tl::report::ShiftsFile(c.shifts);
    auto rule = tl::report::AttRuleRecord::Parse(c.rule);
    Calculator calc(rule, in);
    calc.SetRange(d1, d2);
    testing::internal::CaptureStdout();
    bool has = calc.GetEasyWorkTime(kPin);
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(has);
    return calc.schedule();
}

using Report = ReportTest;

TEST_F(Report, WindowsOfOneShiftAndOfTwoAdjacentShifts) {
    auto one = ScheduleOf(DayShift(), At(4, 0, 0), At(4, 0, 0));
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].start, At(4, 9, 0));
    EXPECT_EQ(one[0].end, At(4, 18, 0));
    EXPECT_EQ(one[0].inWinStart, At(4, 4, 30));
    EXPECT_EQ(one[0].inWinEnd, At(4, 13, 29));
    EXPECT_EQ(one[0].outWinStart, At(4, 13, 30));
    EXPECT_EQ(one[0].outWinEnd, At(4, 22, 30));
    EXPECT_EQ(one[0].units, 540.0f);  // one-minute units

    Company c;
    c.Shift(1, "AM", 8, 0, 12, 0);
    c.Shift(2, "PM", 13, 0, 17, 0);
    c.User(kPin, "7", "Ann", 1, {1, 2, 0, 0});
    auto two = ScheduleOf(c, At(4, 0, 0), At(5, 0, 0));
    ASSERT_EQ(two.size(), 4u);  // two days, two shifts each, day by day
    EXPECT_EQ(two[0].outWinEnd, At(4, 12, 29));
    EXPECT_EQ(two[1].inWinStart, At(4, 12, 30));
    EXPECT_EQ(two[2].start, At(5, 8, 0));
    EXPECT_EQ(two[3].end, At(5, 17, 0));

    // A range covers whole days: one that starts at 06:00 still schedules the
    // shift at 09:00 of its first day, and one that ends at 06:00 still
    // covers the whole of its last day.
    auto whole = ScheduleOf(DayShift(), At(4, 6, 0), At(5, 6, 0));
    ASSERT_EQ(whole.size(), 2u);
    EXPECT_EQ(whole[0].start, At(4, 9, 0));
    EXPECT_EQ(whole[1].end, At(5, 18, 0));
}

TEST_F(Report, NightShiftEndsNextDayAndIsDatedByItsEndWhenAsked) {
    Company c;
    c.Shift(3, "Night", 22, 0, 6, 0);
    c.User(kPin, "7", "Ann", 1, {3, 0, 0, 0});
    auto s = ScheduleOf(c, At(4, 0, 0), At(4, 0, 0));
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].start, At(4, 22, 0));
    EXPECT_EQ(s[0].end, At(5, 6, 0));
    EXPECT_EQ(s[0].inWinStart, At(4, 18, 0));
    EXPECT_EQ(s[0].outWinEnd, At(5, 10, 0));

    c.RuleU32(108, 1);  // dateByEnd
    c.Punch(kPin, At(4, 21, 50));
    c.Punch(kPin, At(5, 6, 5));  // after d2 itself: still inside the last day
    ASSERT_EQ(Run(c, {kPin}, 2, 4, 5), 1);
    auto days = Days();
    ASSERT_EQ(days.size(), 2u);  // the second night has no punch
    EXPECT_EQ(days[1].absent, 1);
    EXPECT_EQ(days[0].date, At(5, 0, 0));
    EXPECT_EQ(days[0].checkIn, At(4, 21, 50));
    EXPECT_EQ(days[0].checkOut, At(5, 6, 5));
    EXPECT_EQ(days[0].workTime, 8 * 3600 + 15 * 60);

    // A shift whose end equals its start schedules nothing.
    Company z;
    z.Shift(4, "Zero", 9, 0, 9, 0);
    z.User(kPin, "7", "Ann", 1, {4, 0, 0, 0});
    z.Punch(kPin, At(4, 9, 0));
    ASSERT_EQ(Run(z, {kPin}), 1);
    EXPECT_TRUE(Days().empty());
}

TEST_F(Report, OrdinaryDayIsPairedAndEvaluated) {
    Company c = DayShift();
    c.Punch(kPin, At(4, 18, 5), 1);  // file order need not be time order
    c.Punch(kPin, At(4, 8, 55), 0);
    ASSERT_EQ(Run(c, {kPin}), 1);
    auto days = Days();
    ASSERT_EQ(days.size(), 1u);
    const auto& d = days[0];
    EXPECT_EQ(d.pin, kPin);
    EXPECT_EQ(d.index, 0);
    EXPECT_EQ(d.shift, 1);
    EXPECT_EQ(d.date, At(4, 0, 0));
    EXPECT_EQ(d.checkIn, At(4, 8, 55));
    EXPECT_EQ(d.checkOut, At(4, 18, 5));
    EXPECT_EQ(d.lateness, 0);
    EXPECT_EQ(d.earlyLeave, 0);
    EXPECT_EQ(d.workTime, 33000);
    EXPECT_EQ(d.inState, 0);
    EXPECT_EQ(d.outState, 0);
    EXPECT_EQ(d.absent, 0);
    EXPECT_EQ(d.inRequired, 1);
    EXPECT_EQ(d.outRequired, 1);
    EXPECT_EQ(Punches(), (std::vector<PunchRow>{{kPin, At(4, 8, 55), 'I', 'I', 0},
                                                {kPin, At(4, 18, 5), 'O', 'O', 0}}));
    auto totals = Totals();
    ASSERT_EQ(totals.size(), 1u);
    const auto& t = totals[0];
    EXPECT_EQ(t.pin, kPin);
    EXPECT_EQ(t.scheduledTime, 32400u);
    EXPECT_EQ(t.scheduledUnitTime, 32400u);
    EXPECT_EQ(t.attendedTime, 32400u);
    EXPECT_EQ(t.attendedUnitTime, 32400u);
    EXPECT_EQ(t.absentDays, 0u);
    EXPECT_EQ(t.workSeconds, 33000u);
    EXPECT_EQ(t.requiredPunches, 2);
    EXPECT_EQ(t.checkInDays, 1);
    EXPECT_EQ(t.checkOutDays, 1);
    EXPECT_EQ(t.workDays, 1);
    EXPECT_EQ(t.checkInMissing, 0);
    EXPECT_EQ(t.checkOutMissing, 0);

    // The debug lines, exactly.
    char expect[256];
    std::snprintf(expect, sizeof expect,
                  "d1: %ld\td2: %ld\nlogcount: 2\nuser.tineszone: 1\t0\t0\t0\n"
                  "after GetEasyWorkTime User: 7\nafter prepare!\n",
                  static_cast<long>(At(4, 0, 0)), static_cast<long>(At(4, 0, 0)));
    EXPECT_EQ(stdout_, expect);
}

TEST_F(Report, RepeatedAndFreePunches) {
    Company c = DayShift();
    c.Punch(kPin, At(4, 9, 0));
    c.Punch(kPin, At(4, 18, 0));
    c.Punch(kPin, At(4, 18, 1));
    ASSERT_EQ(Run(c, {kPin}), 1);
    // 18:00 is free because 18:01 lies in the same window, and a repeat
    // because 18:01 is less than five minutes later. The state characters
    // stay as punched: only the punch two places ahead is re-marked "O".
    EXPECT_EQ(Punches(), (std::vector<PunchRow>{{kPin, At(4, 9, 0), 'I', 'I', 0},
                                                {kPin, At(4, 18, 0), 'I', ' ', 2},
                                                {kPin, At(4, 18, 1), 'I', 'O', 0}}));
    EXPECT_EQ(Days()[0].checkOut, At(4, 18, 1));

    Company m = DayShift();
    m.Punch(kPin, At(4, 9, 0));
    m.Punch(kPin, At(4, 12, 0));
    m.Punch(kPin, At(4, 18, 0));
    ASSERT_EQ(Run(m, {kPin}), 1);
    auto p = Punches();
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[1].time, At(4, 12, 0));
    EXPECT_EQ(p[1].use, ' ');
    EXPECT_EQ(p[1].code, 1);
    EXPECT_EQ(Days()[0].checkIn, At(4, 9, 0));
    EXPECT_EQ(Days()[0].checkOut, At(4, 18, 0));
}

TEST_F(Report, GraceDecidesLateness) {
    for (auto [grace, expected] : {std::pair{5u, 600}, std::pair{10u, 0}, std::pair{0u, 600}}) {
        Company c = DayShift();
        c.Grace(grace);
        c.Punch(kPin, At(4, 9, 10));
        c.Punch(kPin, At(4, 17, 50));
        ASSERT_EQ(Run(c, {kPin}), 1);
        auto d = Days();
        ASSERT_EQ(d.size(), 1u);
        EXPECT_EQ(d[0].lateness, expected) << "grace " << grace;
        EXPECT_EQ(d[0].earlyLeave, grace >= 10 ? 0 : 600) << "grace " << grace;
        EXPECT_EQ(Totals()[0].lateDays, expected > 0 ? 1u : 0u);
    }
}

TEST_F(Report, DayWithoutPunchIsAbsentAndRangeWithoutPunchWritesNothing) {
    Company c = DayShift();
    c.Punch(kPin, At(4, 9, 0));
    c.Punch(kPin, At(4, 18, 0));
    ASSERT_EQ(Run(c, {kPin}, 2, 4, 5), 1);
    auto d = Days();
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[1].date, At(5, 0, 0));
    EXPECT_EQ(d[1].absent, 1);
    EXPECT_EQ(d[1].inState, 2);
    EXPECT_EQ(d[1].outState, 2);
    EXPECT_EQ(d[1].workTime, 0);
    auto t = Totals();
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].absentDays, 1u);
    EXPECT_EQ(t[0].absentTime, 32400u);
    EXPECT_EQ(t[0].absentUnitTime, 32400u);
    EXPECT_EQ(t[0].scheduledTime, 64800u);
    EXPECT_EQ(t[0].attendedTime, 32400u);
    EXPECT_EQ(t[0].checkInMissing, 1);
    EXPECT_EQ(t[0].checkOutMissing, 1);
    EXPECT_EQ(t[0].requiredPunches, 4);

    // No punch in the range: nothing at all, not even the absences.
    ASSERT_EQ(Run(c, {kPin}, 2, 6, 8), 1);
    EXPECT_TRUE(Days().empty());
    EXPECT_TRUE(Totals().empty());
    EXPECT_TRUE(Punches().empty());
    EXPECT_EQ(stdout_.find("logcount"), std::string::npos);
}

TEST_F(Report, SinglePunchInTheAfternoonIsTheCheckOut) {
    Company c = DayShift();
    c.Grace(5);
    c.Punch(kPin, At(4, 14, 0));
    ASSERT_EQ(Run(c, {kPin}), 1);
    auto d = Days();
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].checkIn, 0u);
    EXPECT_EQ(d[0].checkOut, At(4, 14, 0));
    EXPECT_EQ(d[0].inState, 1);
    EXPECT_EQ(d[0].outState, 0);
    EXPECT_EQ(d[0].earlyLeave, 14400);
    EXPECT_EQ(d[0].workTime, 0);
    EXPECT_EQ(d[0].absent, 0);
    EXPECT_EQ(Totals()[0].earlySeconds, 14400u);
    EXPECT_EQ(Totals()[0].workDays, 0);
}

TEST_F(Report, SpecialStatePunchIsFreeAndLeavesTheDayAbsent) {
    Company c = DayShift();
    c.RuleU8(102, 1);  // stateRuleA
    c.Punch(kPin, At(4, 8, 58), 4);
    ASSERT_EQ(Run(c, {kPin}), 1);
    EXPECT_EQ(Punches(), (std::vector<PunchRow>{{kPin, At(4, 8, 58), 'i', ' ', 1}}));
    auto d = Days();
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].absent, 1);
    EXPECT_EQ(d[0].inState, 2);

    // Without the rule the same punch is the check-in.
    c.RuleU8(102, 0);
    ASSERT_EQ(Run(c, {kPin}), 1);
    EXPECT_EQ(Days()[0].checkIn, At(4, 8, 58));
}

TEST_F(Report, LateAndEarlyAbsenceThresholds) {
    Company c = DayShift();
    c.RuleU32(52, 1);   // lateAbsentOn
    c.RuleU32(80, 30);  // lateAbsentMinutes
    c.Punch(kPin, At(4, 9, 31));
    c.Punch(kPin, At(4, 18, 0));
    ASSERT_EQ(Run(c, {kPin}), 1);
    auto d = Days();
    EXPECT_EQ(d[0].absent, 1);
    EXPECT_EQ(d[0].lateness, 0);
    EXPECT_EQ(d[0].workTime, 0);
    EXPECT_EQ(d[0].inState, 0);  // the punches stay recorded
    EXPECT_EQ(Totals()[0].lateDays, 0u);
    EXPECT_EQ(Totals()[0].absentDays, 1u);

    Company e = DayShift();
    e.RuleU32(48, 1);   // earlyAbsentOn
    e.RuleU32(68, 60);  // earlyAbsentMinutes
    e.Punch(kPin, At(4, 9, 0));
    e.Punch(kPin, At(4, 16, 59));
    ASSERT_EQ(Run(e, {kPin}), 1);
    EXPECT_EQ(Days()[0].absent, 1);
    e.Punch(kPin, At(4, 17, 0));  // exactly 60 minutes: not more than the threshold
    Company e2 = DayShift();
    e2.RuleU32(48, 1);
    e2.RuleU32(68, 60);
    e2.Punch(kPin, At(4, 9, 0));
    e2.Punch(kPin, At(4, 17, 0));
    ASSERT_EQ(Run(e2, {kPin}), 1);
    EXPECT_EQ(Days()[0].absent, 0);
    EXPECT_EQ(Days()[0].earlyLeave, 3600);
}

TEST_F(Report, UsersWithoutUsableShifts) {
    Company c;
    c.Shift(1, "Day", 9, 0, 18, 0);
    c.User(1, "1", "NoZones", 1, {0, 0, 0, 0});
    c.User(2, "2", "Missing", 1, {9, 0, 0, 0});  // shift 9 does not exist
    c.Punch(1, At(4, 9, 0));
    c.Punch(2, At(4, 9, 0));
    c.Punch(2, At(4, 9, 2));
    c.Punch(3, At(4, 9, 0));  // no user record at all
    ASSERT_EQ(Run(c, {1, 2, 3}), 1);
    EXPECT_TRUE(Days().empty());
    // Only user 2 has shift numbers: free punches and an empty totals record.
    EXPECT_EQ(Punches(), (std::vector<PunchRow>{{2, At(4, 9, 0), 'I', ' ', 1},
                                                {2, At(4, 9, 2), 'I', ' ', 1}}));
    auto t = Totals();
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].pin, 0u);
    EXPECT_EQ(t[0].scheduledTime, 0u);
    EXPECT_EQ(t[0].requiredPunches, 0);
}

TEST_F(Report, AtMostAThousandPunchesInFileOrder) {
    Company c = DayShift();
    for (int i = 0; i < 1100; ++i) c.Punch(kPin, At(4, 0, 0) + 1 + static_cast<std::uint32_t>(i));
    ASSERT_EQ(Run(c, {kPin}), 1);
    EXPECT_NE(stdout_.find("logcount: 1000\n"), std::string::npos);
    EXPECT_EQ(Punches().size(), 1000u);
}

TEST_F(Report, ZeroCountingUnitCountsMinutesAndRuleOutlivesARun) {
    Company c = DayShift();
    c.RuleU32(96, 0);
    c.Punch(kPin, At(4, 9, 0));
    c.Punch(kPin, At(4, 18, 0));
    ASSERT_EQ(Run(c, {kPin}), 1);
    EXPECT_EQ(Days()[0].units, 540.0f);
    EXPECT_EQ(Totals()[0].scheduledUnitTime, 32400u);

    // Hourly units, then a run whose rule file is short: the hourly rule stays.
    c.RuleU32(96, 60);
    ASSERT_EQ(Run(c, {kPin}), 1);
    EXPECT_EQ(Days()[0].units, 9.0f);
    c.rule.resize(100);
    ASSERT_EQ(Run(c, {kPin}), 1);
    EXPECT_EQ(Days()[0].units, 9.0f);
}

}  // namespace
