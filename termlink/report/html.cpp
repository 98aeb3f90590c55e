#include "report/html.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "records/device_time.h"
#include "report/gb2312.h"

namespace tl::report {

namespace {

// Kind 2 hands its text to the file whenever it grows past this many bytes.
constexpr std::size_t kExceptionFlushSize = 99999;

std::string DateText(std::uint32_t t) {
    CalendarTime c = DecodeDeviceTime(t);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d-%02d", c.month, c.day);
    return buf;
}

std::string ClockText(std::uint32_t t, bool lineEnd) {
    CalendarTime c = DecodeDeviceTime(t);
    char buf[32];
    std::snprintf(buf, sizeof buf, lineEnd ? "%02d:%02d\r\n" : "%02d:%02d", c.hour, c.minute);
    return buf;
}

// Kind 2's time texts: a time at 00:00 (also a missing punch) shows "&nbsp".
std::string ExceptionTime(std::uint32_t t, bool lineEnd) {
    CalendarTime c = DecodeDeviceTime(t);
    if (c.hour == 0 && c.minute == 0) return "&nbsp\r\n";
    return ClockText(t, lineEnd);
}

const UserEntry* FindUser(const RunInputs& in, std::uint32_t pin) {
    if (!in.users.open() || pin > 0xFFFFu) return nullptr;
    return in.users.Find(static_cast<std::uint16_t>(pin));
}

std::string DeptText(const RunInputs& in, const UserEntry* user) {
    if (!user) return "&nbsp";
    const std::string* name = in.depts.Find(user->group);
    return name ? *name : std::string("&nbsp");
}

// Head shared by kinds 2 and 3.
std::string TitledHead(const char* heading, const AttRuleRecord& rule, std::uint32_t d1,
                       std::uint32_t d2) {
    std::string p;
    p += "<html>\r\n<head>\r\n";
    p += "<meta http-equiv=Content-Type content=text/html; charset=gb2312>\r\n";
    p += std::string("<title>") + heading + "</title>\r\n";
    p += "</head>\r\n<body>\r\n";
    p += std::string("<p align=center>") + heading + "</p>\r\n";
    p += "<p align=left>" + rule.title + "</p>\r\n";
    p += std::string("<p align=left>") + gb::kDate + ":" + DateText(d1) + "&nbsp;" + gb::kTo +
         "&nbsp;" + DateText(d2) + "</p>\r\n";
    return p;
}

// The output page: deleted and re-created when its writer starts, then
// appended to through one open handle. A page that cannot be created is still
// built; its writes fail silently.
class PageFile {
  public:
    explicit PageFile(const std::string& path) {
        RecreateFile(path);
        f_ = std::fopen(path.c_str(), "ab");
        if (f_) std::setvbuf(f_, nullptr, _IOFBF, 1 << 20);
    }
    ~PageFile() {
        if (f_) std::fclose(f_);
    }
    PageFile(const PageFile&) = delete;
    PageFile& operator=(const PageFile&) = delete;
    // Writes all of `text`, however long.
    void Write(const std::string& text) {
        std::size_t done = 0;
        while (f_ && done < text.size()) {
            const std::size_t n = std::fwrite(text.data() + done, 1, text.size() - done, f_);
            if (n == 0) return;
            done += n;
        }
    }

  private:
    std::FILE* f_ = nullptr;
};

// Day cell of kind 1: the user's punches of day b, times only.
void AppendDayCell(std::string& p, const RunInputs& in, std::uint16_t pin, std::uint64_t b) {
    p += "<td width=6% height=1 align=center>\r\n";
    p += "<table border=0 cellpadding=0 cellspacing=0 width=59%>\r\n";
    const std::uint32_t lo = static_cast<std::uint32_t>(b);
    const std::uint32_t hi =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(b + 86399u, 0xFFFFFFFFu));
    std::vector<Punch> punches = SelectPunches(in, pin, lo, hi, 128);
    if (punches.empty()) {
        p += "<tr>\r\n<td width=100% align=left>&nbsp;</td>\r\n</tr>\r\n";
    }
    for (const Punch& punch : punches) {
        p += "<tr>\r\n<td width=100% align=left>" + ClockText(punch.time, false) +
             "</td>\r\n</tr>\r\n";
    }
    p += "</table>\r\n</td>\r\n";
}

}  // namespace

DisplayUnit UnitOf(std::uint32_t code) {
    switch (code) {
        case 1:
            return {1, 60, gb::kUnitMinutes};
        case 2:
            return {2, 3600, gb::kUnitHours};
        case 3:
            return {3, 86400, gb::kUnitDays};
        default:
            return {0, 1, gb::kUnitCount};
    }
}

void WritePunchListPage(const RunInputs& in, const std::string& outPath, const char* caption,
                        std::uint32_t d1, std::uint32_t d2) {
    PageFile page(outPath);
    if (!in.users.open()) return;
    const std::string cap = caption ? caption : "";
    std::string p;
    p += "<html>\r\n<head>\r\n";
    p += "<meta http-equiv=Content-Type content=text/html; charset=gb2312>\r\n";
    p += "<title>" + cap + "</title>\r\n";
    p += "</head>\r\n<body>\r\n";
    p += std::string("<p align=center>") + gb::kPunchList + "</p>\r\n";
    p += "<p align=left>" + cap + ":" + "</p>\r\n";
    p += std::string("<p>") + gb::kIdeoSpace + "</p>\r\n";

    // The days of the range (64-bit so that a range at the top of the scale
    // cannot wrap); a user is listed when any of them holds a punch.
    std::vector<std::uint64_t> days;
    std::uint64_t lastDay = 0;
    for (std::uint64_t b = d1; b <= d2; b += kDaySeconds) {
        if (days.size() < 31) days.push_back(b);
        lastDay = b;
    }
    const bool anyDay = d1 <= d2;
    const std::uint32_t hi =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(lastDay + 86399u, 0xFFFFFFFFu));

    // A user number is listed once, under its first record: repeats in a
    // faulty users file would cost a walk of that user's punches each.
    std::vector<bool> listed(0x10000, false);
    for (const UserEntry& user : in.users.records()) {
        if (listed[user.pin]) continue;
        listed[user.pin] = true;
        if (!anyDay || !HasPunchBetween(in, user.pin, d1, hi)) continue;
        p += "<table border=1 width=102% height=1 cellspacing=1 cellpadding=0>\r\n";
        p += "<tr>\r\n<td width=100% height=32 align=center colspan=16>\r\n<p align = left>";
        p += cap + ":" + user.id + "&nbsp;&nbsp;";
        p += cap + ":" + user.name;
        p += "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;";
        p += cap + ":" + DeptText(in, &user);
        p += "</p>\r\n</td>\r\n</tr>\r\n";
        char cell[64];
        p += "<tr>\r\n";
        for (int i = 1; i <= 16; ++i) {
            std::snprintf(cell, sizeof cell, "<td width=6%% height=32 align=center>%02d</td>", i);
            p += cell;
        }
        p += "</tr>\r\n<tr>\r\n";
        for (std::size_t i = 0; i < days.size() && i < 16; ++i)
            AppendDayCell(p, in, user.pin, days[i]);
        p += "</tr>\r\n<tr>\r\n";
        for (int i = 17; i <= 31; ++i) {
            std::snprintf(cell, sizeof cell, "<td width=6%% height=32 align=center>%02d</td>", i);
            p += cell;
        }
        p += "<td width=6% height=32 align=center>&nbsp;</td>";
        p += "</tr>\r\n<tr>\r\n";
        for (std::size_t i = 16; i < days.size(); ++i) AppendDayCell(p, in, user.pin, days[i]);
        p += "<td width=6% height=1 align=center>\r\n<p align=left>&nbsp;</p>\r\n</td>\r\n";
        p += "</tr>\r\n";
        p += std::string("</table>\r\n<p>") + gb::kIdeoSpace + "</p>\r\n";
    }
    p += "</body>\r\n</html>\r\n";
    page.Write(p);
}

void WriteExceptionPage(const RunInputs& in, const std::string& outPath, const AttRuleRecord& rule,
                        const std::string& dayFile, std::uint32_t d1, std::uint32_t d2) {
    PageFile page(outPath);
    const DisplayUnit lateUnit = UnitOf(rule.unitCodes[1]);
    const DisplayUnit earlyUnit = UnitOf(rule.unitCodes[2]);
    std::string p = TitledHead(gb::kExceptions, rule, d1, d2);
    p += "<table border=1 width=98%>\r\n<tr>\r\n";
    const std::pair<const char*, const char*> heads[] = {
        {" <td width=8% rowspan=2>", gb::kDate},
        {" <td width=8% rowspan=2>", gb::kUserNo},
        {" <td width=8% rowspan=2>", gb::kName},
        {" <td width=8% rowspan=2>", gb::kDept},
        {" <td width=8% rowspan=2>", gb::kShift},
        {" <td width=11%>", gb::kOnDuty},
        {" <td width=11%>", gb::kSignIn},
        {" <td width=12% rowspan=2>", gb::kException},
        {" <td width=8% rowspan=2>", gb::kWorkTime},
        {" <td width=3% rowspan=2>", nullptr},
        {" <td width=7% rowspan=2>", gb::kLeave},
        {" <td width=9% rowspan=2>", gb::kOther},
    };
    for (const auto& [open, heading] : heads) {
        p += open;
        p += heading ? std::string(heading) : std::string(gb::kOvertime) + " ";
        p += "</td>\r\n";
    }
    p += "</tr>\r\n<tr>\r\n";
    p += std::string(" <td width=11%>") + gb::kOnDuty + "</td>\r\n";
    p += std::string(" <td width=11%>") + gb::kSignIn + "</td>\r\n";
    p += "</tr>\r\n";

    auto days = LoadInputFile(dayFile.c_str());
    if (days) {
        Bytes all(*days);
        char buf[96];
        for (std::size_t off = 0; fits(all.size(), off, kDayRecordSize); off += kDayRecordSize) {
            const DayRecord d = DayRecord::Parse(all.subspan(off, kDayRecordSize));
            const UserEntry* user = FindUser(in, d.pin);
            const ShiftRecord* shift = in.shifts.open() ? in.shifts.Find(d.shift) : nullptr;
            p += "<tr>\r\n<td width=8%>" + DateText(d.date) + "</td>\r\n";
            p += "<td width=8%>" + (user ? PaddedUserId(user->id) : std::string("00000")) +
                 "</td>\r\n";
            p += "<td width=8%>" + (user ? user->name : std::string()) + "</td>\r\n";
            p += "<td width=8%>" + DeptText(in, user) + "</td>\r\n";
            p += "<td width=8%>" + (shift ? shift->name : std::string(gb::kNotSet)) + "</td>\r\n";
            p += "<td width=11%>" + ExceptionTime(d.start, true) + "<p>" +
                 ExceptionTime(d.end, false) + "</td>\r\n";
            p += "<td width=11%>" + ExceptionTime(d.checkIn, true) + "<p>" +
                 ExceptionTime(d.checkOut, false) + "</td>\r\n";
            if (d.absent) {
                p += std::string("<td width=12%>") + gb::kAbsent + "</td>\r\n";
            } else {
                p += "<td width=12%>";
                const std::int64_t n = std::int64_t{d.lateness} / lateUnit.divisor;
                if (n < 1) {
                    p += "&nbsp\r\n";
                } else {
                    std::snprintf(buf, sizeof buf, "%s(%" PRId64 "%s)\r\n", gb::kLate, n,
                                  lateUnit.text);
                    p += buf;
                }
                const std::int64_t m = std::int64_t{d.earlyLeave} / earlyUnit.divisor;
                if (m < 1) {
                    p += "<p>&nbsp</td>\r\n";
                } else {
                    std::snprintf(buf, sizeof buf, "<p>%s(%" PRId64 "%s)</td>\r\n", gb::kEarly, m,
                                  earlyUnit.text);
                    p += buf;
                }
            }
            std::snprintf(buf, sizeof buf, "<td width=8%%>%ld</td>\r\n",
                          static_cast<long>(d.workTime / 3600));
            p += buf;
            p += std::string("<td width=7%>") + gb::kIdeoSpace + "</td>\r\n";
            p += std::string("<td width=7%>") + gb::kIdeoSpace + "</td>\r\n";
            p += std::string("<td width=9%>") + gb::kIdeoSpace + "</td>\r\n";
            p += "</tr>\r\n";
            if (p.size() > kExceptionFlushSize) {
                page.Write(p);
                p.clear();
            }
        }
    }
    p += "</table>\r\n</body>\r\n</html>\r\n";
    page.Write(p);
}

void WriteStatisticsPage(const RunInputs& in, const std::string& outPath, const AttRuleRecord& rule,
                         const std::string& totalsFile, std::uint32_t d1, std::uint32_t d2) {
    PageFile page(outPath);
    const DisplayUnit timeUnit = UnitOf(rule.unitCodes[0]);
    const DisplayUnit lateUnit = UnitOf(rule.unitCodes[1]);
    const DisplayUnit earlyUnit = UnitOf(rule.unitCodes[2]);
    const DisplayUnit absentUnit = UnitOf(rule.unitCodes[3]);
    std::string p = TitledHead(gb::kStatistics, rule, d1, d2);
    p += "<table border=1 width=100%>\r\n<tr>\r\n";
    for (const char* h : {gb::kUserNo, gb::kName, gb::kDept, gb::kExpected, gb::kAttended,
                          gb::kLate, gb::kEarly, gb::kAbsent})
        p += std::string("<td width=8%>") + h + "</td>\r\n";
    p += std::string("<td width=9%>") + gb::kWorkTime + "</td>\r\n";
    p += std::string("<td width=8%>") + gb::kLeave + "</td>\r\n";
    p += std::string("<td width=9%>") + gb::kOvertime + "</td>\r\n";
    p += std::string("<td width=9%>") + gb::kOther + "</td>\r\n";
    p += "</tr>\r\n";

    auto quantity = [](std::uint32_t value, const DisplayUnit& unit) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%lu(%s)", static_cast<unsigned long>(value / unit.divisor),
                      unit.text);
        return std::string(buf);
    };
    auto cell = [&p](const char* open, const std::string& content) {
        p += open;
        p += content;
        p += "</td>\r\n";
    };

    auto totals = LoadInputFile(totalsFile.c_str());
    if (totals) {
        Bytes all(*totals);
        for (std::size_t off = 0; fits(all.size(), off, kTotalsRecordSize);
             off += kTotalsRecordSize) {
            const TotalsRecord t = TotalsRecord::Parse(all.subspan(off, kTotalsRecordSize));
            const UserEntry* user = FindUser(in, t.pin);
            p += "<tr>\r\n";
            cell("<td width=8%>", user ? PaddedUserId(user->id) : std::string("00000"));
            cell("<td width=8%>", user ? user->name : std::string());
            cell("<td width=8%>", DeptText(in, user));
            cell("<td width=8%>", quantity(t.scheduledTime, timeUnit));
            cell("<td width=8%>", quantity(t.attendedTime, timeUnit));
            cell("<td width=8%>",
                 quantity(lateUnit.code == 0 ? t.lateDays : t.lateSeconds, lateUnit));
            cell("<td width=8%>",
                 quantity(earlyUnit.code == 0 ? t.earlyDays : t.earlySeconds, earlyUnit));
            cell("<td width=8%>",
                 quantity(absentUnit.code == 0 ? t.absentDays : t.absentTime, absentUnit));
            cell("<td width=8%>", std::to_string(t.workSeconds / 3600u));
            cell("<td width=8%>", "&nbsp");
            cell("<td width=9%>", "&nbsp");
            cell("<td width=9%>", "&nbsp");
            p += "</tr>\r\n";
        }
    }
    p += "</table>\r\n</body>\r\n</html>\r\n";
    page.Write(p);
}

}  // namespace tl::report
