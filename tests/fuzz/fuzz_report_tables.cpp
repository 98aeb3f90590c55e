// The report engine's file readers and calculation on arbitrary file contents.
// Input: five length-prefixed parts (log, users, shifts, departments, rule),
// then a range and the user to calculate.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "common/bytes.h"
#include "report/calc.h"
#include "report/report_files.h"

using namespace tl::report;

namespace {

struct Reader {
    const std::uint8_t* p;
    std::size_t n;
    std::vector<std::uint8_t> Part() {
        std::size_t len = 0;
        if (n >= 2) {
            len = tl::load_u16(p);
            p += 2;
            n -= 2;
        }
        if (len > n) len = n;
        std::vector<std::uint8_t> out(p, p + len);
        p += len;
        n -= len;
        return out;
    }
    std::uint32_t U32() {
        if (n < 4) return 0;
        std::uint32_t v = tl::load_u32(p);
        p += 4;
        n -= 4;
        return v;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static bool quiet = [] { return std::freopen("/dev/null", "w", stdout) != nullptr; }();
    (void)quiet;
    Reader r{data, size};
    RunInputs in;
    in.log = LogFile(r.Part());
    in.users = UsersFile(r.Part());
    in.shifts = ShiftsFile(r.Part());
    in.depts = DeptsFile(r.Part());
    const auto rule = AttRuleRecord::Parse(r.Part());
    // At most about 40 days, anywhere on the 32-bit scale.
    const std::uint32_t d1 = r.U32();
    const std::uint32_t d2 = d1 + r.U32() % (40u * 86400u);
    Calculator calc(rule, in);
    for (const UserEntry& u : in.users.records()) {
        calc.CalculateUser(u.pin, d1, d2);
        (void)HasPunchBetween(in, u.pin, d1, d2);
        if (in.depts.Find(u.group)) (void)u.name.size();
    }
    calc.CalculateUser(0, d1, d2);
    tl::Bytes days(calc.dayOut), totals(calc.totalsOut);
    for (std::size_t o = 0; o + kDayRecordSize <= days.size(); o += kDayRecordSize)
        (void)DayRecord::Parse(days.subspan(o, kDayRecordSize));
    for (std::size_t o = 0; o + kTotalsRecordSize <= totals.size(); o += kTotalsRecordSize)
        (void)TotalsRecord::Parse(totals.subspan(o, kTotalsRecordSize));
    return 0;
}
