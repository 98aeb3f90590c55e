// The three attendance pages, the fixed GB2312 texts, the indexed and the
// straightforward forms, and runs from two threads.
#include <map>
#include <random>
#include <thread>

#include "report/gb2312.h"
#include "report/html.h"
#include "report_fixture.h"

using namespace tltest;
namespace gb = tl::report::gb;

namespace {

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t p = 0; (p = text.find(what, p)) != std::string::npos; p += what.size()) ++n;
    return n;
}

// The GB2312 code of each character the fixed texts use (from the GB2312
// code chart), so the texts are checked the same way on every platform
// without a conversion library. A byte pair not in this table fails.
std::string Utf8FromGb2312(const std::string& in) {
    static const std::map<unsigned, std::string> chart = {
        {0xA1A1, "\u3000"}, {0xB0E0, "班"}, {0xB2BF, "部"}, {0xB3A3, "常"}, {0xB3A4, "长"},
        {0xB3D9, "迟"},     {0xB4CE, "次"}, {0xB5BD, "到"}, {0xB6A8, "定"}, {0xB7D6, "分"},
        {0xB9A4, "工"},     {0xBAC5, "号"}, {0xBCC6, "计"}, {0xBCCD, "纪"}, {0xBCD3, "加"},
        {0xBCD9, "假"},     {0xBCE4, "间"}, {0xBFBC, "考"}, {0xBFF5, "旷"}, {0xC1F7, "流"},
        {0xC2BC, "录"},     {0xC3C5, "门"}, {0xC3FB, "名"}, {0xC6DA, "期"}, {0xC6E4, "其"},
        {0xC7A9, "签"},     {0xC7DA, "勤"}, {0xC7EB, "请"}, {0xC8D5, "日"}, {0xC9CF, "上"},
        {0xC9E8, "设"},     {0xCAB1, "时"}, {0xCAB5, "实"}, {0xCBAE, "水"}, {0xCBFC, "它"},
        {0xCCEC, "天"},     {0xCDB3, "统"}, {0xCDCB, "退"}, {0xCEB4, "未"}, {0xD0A1, "小"},
        {0xD0D5, "姓"},     {0xD2EC, "异"}, {0xD3A6, "应"}, {0xD4E7, "早"}, {0xD6C1, "至"},
        {0xD6D3, "钟"},     {0xD7F7, "作"},
    };
    std::string out;
    for (std::size_t i = 0; i < in.size(); ++i) {
        const auto lead = static_cast<unsigned char>(in[i]);
        if (lead < 0x80) {
            out += in[i];
            continue;
        }
        const auto found = i + 1 < in.size()
                               ? chart.find(lead << 8 | static_cast<unsigned char>(in[i + 1]))
                               : chart.end();
        EXPECT_NE(found, chart.end()) << "not a GB2312 code of the chart at byte " << i;
        if (found == chart.end()) return out;
        out += found->second;
        ++i;
    }
    return out;
}

TEST(ReportTexts, FixedHeadingsAreTheirGb2312Bytes) {
    const std::pair<const char*, const char*> texts[] = {
        {gb::kPunchList, "流水纪录"},
        {gb::kExceptions, "考勤异常"},
        {gb::kStatistics, "考勤统计"},
        {gb::kDate, "日期"},
        {gb::kTo, "至"},
        {gb::kUserNo, "工号"},
        {gb::kName, "姓名"},
        {gb::kDept, "部门"},
        {gb::kShift, "班次"},
        {gb::kOnDuty, "上班时间"},
        {gb::kSignIn, "签到时间"},
        {gb::kException, "异常"},
        {gb::kWorkTime, "工作时长"},
        {gb::kOvertime, "加班"},
        {gb::kLeave, "请假"},
        {gb::kOther, "其它"},
        {gb::kNotSet, "未设定"},
        {gb::kAbsent, "旷工"},
        {gb::kLate, "迟到"},
        {gb::kEarly, "早退"},
        {gb::kExpected, "应到"},
        {gb::kAttended, "实到"},
        {gb::kUnitCount, "次"},
        {gb::kUnitMinutes, "分钟"},
        {gb::kUnitHours, "小时"},
        {gb::kUnitDays, "天"},
        {gb::kIdeoSpace, "\u3000"},
    };
    for (const auto& [bytes, unicode] : texts) EXPECT_EQ(Utf8FromGb2312(bytes), unicode);
}

TEST(ReportTexts, UserIdsAndUnits) {
    EXPECT_EQ(tl::report::PaddedUserId("42"), "00042");
    EXPECT_EQ(tl::report::PaddedUserId("12345"), "12345");
    EXPECT_EQ(tl::report::PaddedUserId(""), "00000");
    EXPECT_EQ(tl::report::PaddedUserId("1234567"), "1234567");  // longer IDs in full
    EXPECT_EQ(tl::report::UnitOf(2).divisor, 3600u);
    EXPECT_EQ(tl::report::UnitOf(3).divisor, 86400u);
    auto odd = tl::report::UnitOf(9);  // outside 0-3: as code 0
    EXPECT_EQ(odd.code, 0u);
    EXPECT_EQ(odd.divisor, 1u);
    EXPECT_STREQ(odd.text, gb::kUnitCount);
}

Company OneUser(const std::string& id = "42") {
    Company c;
    c.Shift(1, "Day", 9, 0, 18, 0);
    c.User(42, id, "Ann", 1, {1, 0, 0, 0});
    c.Dept(1, "Ops");
    return c;
}

using Pages = ReportTest;

TEST_F(Pages, PunchListFollowsTheRangeUpToThirtyOneDays) {
    Company c = OneUser();
    c.Punch(42, At(4, 8, 59));
    c.Punch(42, At(4, 18, 2));
    ASSERT_EQ(Run(c, {42}, 1, 4, 13), 1);  // ten days
    std::string page = Page();
    const std::string dayCell = "<td width=6% height=1 align=center>\r\n<table";
    EXPECT_EQ(Count(page, dayCell), 10u);
    EXPECT_EQ(Count(page, "<td width=6% height=32 align=center>"), 32u);
    // The second data row holds only the filler cell.
    const std::string second =
        "align=center>&nbsp;</td></tr>\r\n<tr>\r\n<td width=6% height=1 align=center>\r\n"
        "<p align=left>&nbsp;</p>";
    EXPECT_NE(page.find(second), std::string::npos);
    EXPECT_NE(page.find("<td width=100% align=left>08:59</td>"), std::string::npos);
    EXPECT_NE(page.find("<p align = left>Card:42&nbsp;&nbsp;Card:Ann&nbsp;&nbsp;&nbsp;&nbsp;"
                        "&nbsp;Card:Ops</p>"),
              std::string::npos);

    const std::int32_t from[6] = {2024, 1, 1, 0, 0, 0};
    const std::int32_t to[6] = {2024, 2, 9, 0, 0, 0};  // 40 days in 31-day months
    auto r = Request(1, 1, 1);
    std::copy(std::begin(from), std::end(from), r.from);
    std::copy(std::begin(to), std::end(to), r.to);
    Company d = OneUser();
    d.Punch(42, tl::EncodeDeviceTime(2024, 2, 9, 10, 0, 0));  // day 40 only
    Save(d);
    ASSERT_EQ(RunRequest(r, {42}), 1);
    page = Page();
    EXPECT_EQ(Count(page, dayCell), 31u);
    EXPECT_EQ(page.find("10:00"), std::string::npos);  // day 40 has no cell, but the user is listed
    EXPECT_EQ(Count(page, "<p align = left>"), 1u);

    // No punch in the whole range: no table for the user.
    ASSERT_EQ(Run(c, {42}, 1, 20, 25), 1);
    EXPECT_EQ(Count(Page(), "<table"), 0u);
}

// A report covers the whole days from d1's to d2's, whatever the times of day
// passed: the last day named as 00:00 or as 23:59:59, or a first day that
// starts late in the morning, give the same five days on every page, and the
// last day's punches count.
TEST_F(Pages, ReportCoversTheWholeDaysAskedForWhateverTheTimeOfDay) {
    Company c = OneUser();
    for (int day = 4; day <= 8; ++day) {
        c.Punch(42, At(day, 8, 55));
        c.Punch(42, At(day, 18, 5));
    }
    c.Punch(42, At(3, 9, 0));  // the days around the range hold punches too
    c.Punch(42, At(9, 9, 0));
    c.Units(1, 1, 1, 1);
    Save(c);
    struct Case {
        std::int32_t from[3], to[3];  // hour, minute, second of 03-04 and 03-08
    };
    const Case cases[] = {{{0, 0, 0}, {0, 0, 0}},
                          {{0, 0, 0}, {23, 59, 59}},
                          {{10, 30, 0}, {6, 0, 0}},
                          {{23, 59, 59}, {0, 0, 1}}};
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << "from 03-04 " << k.from[0] << ":" << k.from[1]
                                        << ", to 03-08 " << k.to[0] << ":" << k.to[1]);
        for (int kind = 1; kind <= 3; ++kind) {
            auto r = Request(kind, 4, 8);
            std::copy(std::begin(k.from), std::end(k.from), r.from + 3);
            std::copy(std::begin(k.to), std::end(k.to), r.to + 3);
            ASSERT_EQ(RunRequest(r, {42}), 1);
            const std::string page = Page();
            // The trace line shows the values passed.
            char trace[64];
            std::snprintf(trace, sizeof trace, "d1: %ld\td2: %ld\n",
                          static_cast<long>(At(4, k.from[0], k.from[1], k.from[2])),
                          static_cast<long>(At(8, k.to[0], k.to[1], k.to[2])));
            EXPECT_EQ(stdout_.rfind(trace, 0), 0u) << stdout_;

            auto days = Days();
            ASSERT_EQ(days.size(), 5u);
            for (std::size_t i = 0; i < days.size(); ++i) {
                EXPECT_EQ(days[i].date, At(4 + static_cast<int>(i), 0, 0));
                EXPECT_EQ(days[i].start, At(4 + static_cast<int>(i), 9, 0));
                EXPECT_EQ(days[i].absent, 0);
                EXPECT_EQ(days[i].checkOut, At(4 + static_cast<int>(i), 18, 5));
            }
            auto totals = Totals();
            ASSERT_EQ(totals.size(), 1u);
            EXPECT_EQ(totals[0].scheduledTime, 5u * 9 * 3600);
            EXPECT_EQ(totals[0].absentDays, 0u);
            for (int outside : {3, 9}) {
                char date[16];
                std::snprintf(date, sizeof date, ">03-%02d<", outside);
                EXPECT_EQ(page.find(date), std::string::npos) << kind;
                std::snprintf(date, sizeof date, ">03-%02d\r\n", outside);
                EXPECT_EQ(page.find(date), std::string::npos) << kind;
            }
            if (kind == 1) {
                EXPECT_EQ(Count(page, "<td width=6% height=1 align=center>\r\n<table"), 5u);
                EXPECT_EQ(Count(page, "align=left>08:55</td>"), 5u);
                EXPECT_EQ(Count(page, "align=left>18:05</td>"), 5u);
                EXPECT_EQ(Count(page, "align=left>09:00</td>"), 0u);
            } else if (kind == 2) {
                EXPECT_EQ(Count(page, "<td width=8%>03-0"), 5u);
                EXPECT_EQ(Count(page, "<td width=8%>03-08</td>"), 1u);
            } else {
                EXPECT_NE(page.find("<td width=8%>2700("), std::string::npos) << page;
                EXPECT_NE(page.find(std::string("<td width=8%>0(") + gb::kUnitMinutes +
                                    ")</td>\r\n<td width=8%>45</td>"),
                          std::string::npos)
                    << page;
            }
        }
    }
}

TEST_F(Pages, ExceptionCellsFollowTheDisplayUnits) {
    Company c = OneUser();
    c.Punch(42, At(4, 9, 10));
    c.Punch(42, At(4, 17, 30));
    c.Units(0, 1, 1, 0);
    c.Title("Rules");
    ASSERT_EQ(Run(c, {42}, 2), 1);
    std::string page = Page();
    EXPECT_NE(page.find(std::string("<td width=12%>") + gb::kLate + "(10" + gb::kUnitMinutes +
                        ")\r\n<p>" + gb::kEarly + "(30" + gb::kUnitMinutes + ")</td>\r\n"),
              std::string::npos);
    EXPECT_NE(page.find("<td width=8%>00042</td>\r\n<td width=8%>Ann</td>\r\n"
                        "<td width=8%>Ops</td>\r\n<td width=8%>Day</td>\r\n"
                        "<td width=11%>09:00\r\n<p>18:00</td>\r\n"
                        "<td width=11%>09:10\r\n<p>17:30</td>\r\n"),
              std::string::npos);
    EXPECT_NE(page.find("<td width=8%>8</td>\r\n"), std::string::npos);  // 8 h 20 min
    EXPECT_NE(page.find("<p align=left>Rules</p>\r\n"), std::string::npos);

    c.Units(0, 2, 2, 0);  // 600 s in hours is 0: nothing shown
    ASSERT_EQ(Run(c, {42}, 2), 1);
    EXPECT_NE(Page().find("<td width=12%>&nbsp\r\n<p>&nbsp</td>\r\n"), std::string::npos);

    Company a = OneUser();
    a.Shift(2, "Late", 13, 0, 19, 0);
    a.Punch(42, At(5, 9, 0));  // a punch elsewhere in the range; the 4th is absent
    ASSERT_EQ(Run(a, {42}, 2, 4, 5), 1);
    page = Page();
    EXPECT_EQ(Count(page, std::string("<td width=12%>") + gb::kAbsent + "</td>\r\n"), 1u);
    EXPECT_NE(page.find("<td width=11%>&nbsp\r\n<p>&nbsp\r\n</td>"), std::string::npos);
}

TEST_F(Pages, StatisticsShowCountsOrTimes) {
    Company c = OneUser();
    for (int day = 4; day <= 6; ++day) {
        c.Punch(42, At(day, 9, 5));
        c.Punch(42, At(day, 18, 0));
    }
    c.Units(2, 0, 1, 0);
    ASSERT_EQ(Run(c, {42}, 3, 4, 7), 1);
    std::string page = Page();
    const std::string expect =
        std::string("<tr>\r\n<td width=8%>00042</td>\r\n") +
        "<td width=8%>Ann</td>\r\n<td width=8%>Ops</td>\r\n" + "<td width=8%>36(" + gb::kUnitHours +
        ")</td>\r\n" + "<td width=8%>27(" + gb::kUnitHours + ")</td>\r\n" + "<td width=8%>3(" +
        gb::kUnitCount + ")</td>\r\n" + "<td width=8%>0(" + gb::kUnitMinutes + ")</td>\r\n" +
        "<td width=8%>1(" + gb::kUnitCount + ")</td>\r\n" +
        "<td width=8%>26</td>\r\n<td width=8%>&nbsp</td>\r\n" +
        "<td width=9%>&nbsp</td>\r\n<td width=9%>&nbsp</td>\r\n</tr>\r\n";
    EXPECT_NE(page.find(expect), std::string::npos) << page;

    // A user whose shift numbers name no shift gets a totals record of user
    // 0, shown as 00000 with no name and no department.
    c.User(44, "44", "Bob", 1, {9, 0, 0, 0});
    c.Punch(44, At(4, 9, 0));
    ASSERT_EQ(Run(c, {42, 44}, 3, 4, 7), 1);
    EXPECT_NE(Page().find("<tr>\r\n<td width=8%>00000</td>\r\n<td width=8%></td>\r\n"
                          "<td width=8%>&nbsp</td>\r\n<td width=8%>0("),
              std::string::npos);
}

TEST_F(Pages, UnknownKindRunsTheCalculationOnly) {
    Company c = OneUser();
    c.Punch(42, At(4, 9, 0));
    WriteBytes(dir_ / "out.htm", {'o', 'l', 'd'});
    ASSERT_EQ(Run(c, {42}, 4), 1);
    EXPECT_EQ(Page(), "old");
    EXPECT_EQ(Days().size(), 1u);
    EXPECT_EQ(stdout_.substr(stdout_.size() - 18), "maybe I finish it\n");
    EXPECT_TRUE(std::filesystem::exists(dir_ / "attexception.dat"));
}

TEST_F(Pages, LargeExceptionPageIsWrittenWhole) {
    Company c;
    c.Shift(1, "Day", 9, 0, 18, 0);
    std::vector<std::uint16_t> pins;
    for (std::uint16_t pin = 1; pin <= 200; ++pin) {
        c.User(pin, std::to_string(pin), "U", 1, {1, 0, 0, 0});
        c.Punch(pin, At(1, 9, 0));
        pins.push_back(pin);
    }
    ASSERT_EQ(Run(c, pins, 2, 1, 20), 1);
    std::string page = Page();
    EXPECT_GT(page.size(), 307200u);
    EXPECT_EQ(Count(page, "<tr>\r\n<td width=8%>"), 200u * 20u);
    EXPECT_TRUE(page.ends_with("</table>\r\n</body>\r\n</html>\r\n"));
    EXPECT_EQ(Count(page, "<html>"), 1u);
}

// A company with irregular punches, several shifts and odd records, used to
// prove that the index gives exactly what re-reading the log gives.
Company RandomCompany(unsigned seed, int users) {
    std::mt19937 rng(seed);
    Company c;
    c.Shift(1, "AM", 8, 0, 12, 0);
    c.Shift(2, "PM", 13, 0, 17, 0);
    c.Shift(3, "Day", 9, 0, 18, 0);
    c.Shift(4, "Night", 22, 0, 6, 0);
    c.Dept(1, "A");
    c.Dept(2, "B");
    c.Repeat(3);
    c.Grace(5);
    c.RuleU8(102, 1);
    c.Units(1, 1, 0, 3);
    for (int u = 1; u <= users; ++u) {
        std::array<std::uint16_t, 4> z{};
        switch (u % 5) {
            case 0:
                z = {1, 2, 0, 0};
                break;
            case 1:
                z = {3, 0, 0, 0};
                break;
            case 2:
                z = {4, 0, 0, 0};
                break;
            case 3:
                z = {0, 3, 0, 9};
                break;
            default:
                z = {0, 0, 0, 0};
                break;
        }
        c.User(static_cast<std::uint16_t>(u), std::to_string(u), "U" + std::to_string(u),
               static_cast<std::uint8_t>(u % 3), z);
    }
    for (int i = 0; i < users * 40; ++i) {
        auto pin = static_cast<std::uint16_t>(rng() % static_cast<unsigned>(users + 2));
        int day = 1 + static_cast<int>(rng() % 12);
        int minute = static_cast<int>(rng() % (24 * 60));
        c.Punch(pin, At(day, minute / 60, minute % 60, static_cast<int>(rng() % 3)),
                static_cast<std::uint8_t>(rng() % 7));
    }
    return c;
}

TEST_F(Pages, IndexedAndStraightforwardFormsAgreeByteForByte) {
    Company c = RandomCompany(7, 40);
    std::vector<std::uint16_t> pins;
    for (std::uint16_t p = 0; p <= 42; ++p) pins.push_back(p);
    for (int kind : {1, 2, 3}) {
        ASSERT_EQ(Run(c, pins, kind, 2, 11, false), 1);
        const std::string page = Page(), out = stdout_;
        const auto punches = ReadBytes(dir_ / "RecAbnormite.dat");
        const auto days = ReadBytes(dir_ / "AttAbnormite.dat");
        const auto totals = ReadBytes(dir_ / "AttDay.dat");
        ASSERT_EQ(Run(c, pins, kind, 2, 11, true), 1);
        EXPECT_EQ(Page(), page) << "kind " << kind;
        EXPECT_EQ(stdout_, out);
        EXPECT_EQ(ReadBytes(dir_ / "RecAbnormite.dat"), punches);
        EXPECT_EQ(ReadBytes(dir_ / "AttAbnormite.dat"), days);
        EXPECT_EQ(ReadBytes(dir_ / "AttDay.dat"), totals);
        EXPECT_FALSE(days.empty());
    }
}

TEST_F(Pages, ARepeatedUserNumberIsWorkedOutOnce) {
    // A faulty terminal's user table repeats one number: pages, work files
    // and trace lines are those of the table without the repeats.
    Company c = RandomCompany(5, 10);
    std::vector<std::uint16_t> pins{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    Company repeated = c;
    std::vector<std::uint16_t> repeatedPins = pins;
    const std::vector<std::uint8_t> third(c.users.begin() + 2 * 72, c.users.begin() + 3 * 72);
    for (int i = 0; i < 40; ++i) {
        repeated.users.insert(repeated.users.end(), third.begin(), third.end());
        repeatedPins.insert(repeatedPins.begin() + 3, 3);
    }
    for (int kind : {1, 2, 3}) {
        ASSERT_EQ(Run(c, pins, kind, 1, 12), 1);
        const std::string page = Page(), out = stdout_;
        const auto days = ReadBytes(dir_ / "AttAbnormite.dat");
        const auto totals = ReadBytes(dir_ / "AttDay.dat");
        ASSERT_EQ(Run(repeated, repeatedPins, kind, 1, 12), 1);
        EXPECT_EQ(Page(), page) << "kind " << kind;
        EXPECT_EQ(stdout_, out);
        EXPECT_EQ(ReadBytes(dir_ / "AttAbnormite.dat"), days);
        EXPECT_EQ(ReadBytes(dir_ / "AttDay.dat"), totals);
    }
}

TEST_F(Pages, RunsFromTwoThreadsDoNotMix) {
    // Two companies in two folders; each thread's page must equal the page of
    // the same run made alone.
    Company a = RandomCompany(1, 20), b = RandomCompany(2, 25);
    std::vector<std::uint16_t> pins;
    for (std::uint16_t p = 1; p <= 25; ++p) pins.push_back(p);
    auto folder = [&](const char* name) {
        auto d = dir_ / name;
        std::filesystem::create_directories(d);
        return d;
    };
    const auto da = folder("a"), db = folder("b");
    auto request = [&](const std::filesystem::path& d, std::vector<std::string>& keep) {
        keep = {(d / "att").string(), (d / "usr").string(), (d / "dpt").string(),
                (d / "sft").string(), (d / "out").string(), (d / "").string(),
                (d / "rule").string()};
        tl::report::ReportRequest r = Request(2, 1, 12);
        r.logPath = keep[0].c_str();
        r.usersPath = keep[1].c_str();
        r.deptPath = keep[2].c_str();
        r.shiftPath = keep[3].c_str();
        r.outPath = keep[4].c_str();
        r.workDir = keep[5].c_str();
        r.rulePath = keep[6].c_str();
        return r;
    };
    auto save = [](const std::filesystem::path& d, const Company& c) {
        WriteBytes(d / "att", c.log);
        WriteBytes(d / "usr", c.users);
        WriteBytes(d / "dpt", c.depts);
        WriteBytes(d / "sft", c.shifts);
        WriteBytes(d / "rule", c.rule);
    };
    save(da, a);
    save(db, b);
    std::vector<std::string> ka, kb;
    auto ra = request(da, ka), rb = request(db, kb);
    auto chooser = [&](std::vector<std::uint16_t>& out) {
        out = pins;
        return 1;
    };
    testing::internal::CaptureStdout();
    tl::report::RunReport(ra, chooser);
    const std::string aloneA = ReadText(da / "out");
    tl::report::RunReport(rb, chooser);
    const std::string aloneB = ReadText(db / "out");
    for (int round = 0; round < 3; ++round) {
        std::thread ta([&] { tl::report::RunReport(ra, chooser); });
        std::thread tb([&] { tl::report::RunReport(rb, chooser); });
        ta.join();
        tb.join();
        EXPECT_EQ(ReadText(da / "out"), aloneA);
        EXPECT_EQ(ReadText(db / "out"), aloneB);
    }
    testing::internal::GetCapturedStdout();
}

TEST_F(Pages, DamagedFilesShortenTablesButNeverBreakTheRun) {
    Company c = RandomCompany(3, 10);
    c.log.resize(c.log.size() - 13);  // a torn last record
    c.users.resize(c.users.size() - 5);
    c.shifts.push_back(0x01);
    c.depts.resize(40);
    c.rule.resize(60);
    std::vector<std::uint16_t> pins{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    for (int kind : {1, 2, 3}) EXPECT_EQ(Run(c, pins, kind, 1, 12), 1);
    // A terminal without a rule table leaves an empty rule file.
    c.rule.clear();
    for (int kind : {1, 2, 3}) EXPECT_EQ(Run(c, pins, kind, 1, 12), 1);

    // Missing input files are created empty and read as empty.
    auto r = Request(2, 1, 2);
    std::string missing = P("none.dat");
    r.logPath = missing.c_str();
    r.usersPath = nullptr;
    ASSERT_EQ(RunRequest(r, {1}), 1);
    EXPECT_TRUE(std::filesystem::exists(missing));
    EXPECT_EQ(Count(Page(), "<tr>"), 2u);

    // A users file that cannot be opened (here a folder): kind 1 creates the
    // page and writes nothing into it.
    auto k1 = Request(1, 1, 2);
    std::string folder = dir_.string();
    k1.usersPath = folder.c_str();
    ASSERT_EQ(RunRequest(k1, {1}), 1);
    EXPECT_TRUE(std::filesystem::exists(dir_ / "out.htm"));
    EXPECT_EQ(Page(), "");

    // An output path that names something other than a file (here an empty
    // folder; a device such as /dev/null the same) is never deleted.
    auto dev = Request(3, 1, 2);
    std::filesystem::create_directory(dir_ / "pagedir");
    std::string pageDir = (dir_ / "pagedir").string();
    dev.outPath = pageDir.c_str();
    ASSERT_EQ(RunRequest(dev, {1}), 1);
    EXPECT_TRUE(std::filesystem::is_directory(pageDir));

    // A work folder that does not exist: nothing to read back, still a page.
    auto w = Request(3, 1, 2);
    std::string bad = P("no/such/");
    w.workDir = bad.c_str();
    ASSERT_EQ(RunRequest(w, {1}), 1);
    EXPECT_EQ(Count(Page(), "<tr>"), 1u);
}

}  // namespace
