#include "report/engine.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "records/device_time.h"
#include "report/calc.h"
#include "report/html.h"
#include "report/report_files.h"

namespace tl::report {

namespace {

// The engine's working state is process-wide: one run at a time. Of it only
// the calculation's rule outlives a run: a rule file that cannot supply a
// whole record leaves the rule of the previous run in force (all zeros in a
// fresh process).
std::mutex g_runMutex;
AttRuleRecord g_rule;

std::uint32_t Encode(const std::int32_t (&t)[6]) {
    return EncodeDeviceTime(t[0], t[1], t[2], t[3], t[4], t[5]);
}

}  // namespace

void ResetProcessState() {
    std::lock_guard<std::mutex> lock(g_runMutex);
    g_rule = AttRuleRecord{};
}

int RunReport(const ReportRequest& r, const UserChooser& choose) {
    std::lock_guard<std::mutex> lock(g_runMutex);
    const std::uint32_t d1 = Encode(r.from);
    const std::uint32_t d2 = Encode(r.to);

    // Work files: re-created empty at the start of every run.
    const std::string dir = r.workDir ? r.workDir : "";
    const std::string punchFile = dir + "RecAbnormite.dat";
    const std::string exceptionFile = dir + "attexception.dat";
    const std::string dayFile = dir + "AttAbnormite.dat";
    const std::string totalsFile = dir + "AttDay.dat";
    for (const std::string* f : {&punchFile, &exceptionFile, &dayFile, &totalsFile})
        RecreateFile(*f);

    // Inputs, each read once for the whole run.
    RunInputs in;
    in.rescan = r.rescan;
    in.logPath = r.logPath ? r.logPath : "";
    {
        auto log = LoadInputFile(r.logPath);
        if (!r.rescan) in.log = LogFile(log);
    }
    in.users = UsersFile(LoadInputFile(r.usersPath));
    in.depts = DeptsFile(LoadInputFile(r.deptPath));
    in.shifts = ShiftsFile(LoadInputFile(r.shiftPath));
    const auto ruleFile = LoadInputFile(r.rulePath);
    if (ruleFile && ruleFile->size() >= kRuleRecordSize)
        g_rule = AttRuleRecord::Parse(Bytes(*ruleFile).first(kRuleRecordSize));

    std::vector<std::uint16_t> pins;
    const int chosen = choose(pins);
    if (chosen != 1) {
        std::fflush(stdout);
        return chosen;
    }

    // Each user number is worked out once, at its first place in the list: a
    // user table that repeats a number (a faulty terminal's) would otherwise
    // repeat that user's whole calculation and rows, at a cost of users times
    // punches.
    Calculator calc(g_rule, in);
    std::vector<bool> done(0x10000, false);
    for (std::uint16_t pin : pins) {
        if (done[pin]) continue;
        done[pin] = true;
        calc.CalculateUser(pin, d1, d2);
    }
    AppendToFile(punchFile, calc.punchOut);
    AppendToFile(dayFile, calc.dayOut);
    AppendToFile(totalsFile, calc.totalsOut);

    // The pages take the title and the display units from their own copy of
    // the rule file's record (zeros where the file has no bytes).
    AttRuleRecord copy;
    if (ruleFile) {
        Bytes b(*ruleFile);
        copy = AttRuleRecord::Parse(b.first(std::min(b.size(), kRuleRecordSize)));
    }
    // The pages cover the same whole days as the calculation: the punch list
    // has one cell per day from d1's to d2's, whatever the times of day.
    const std::uint32_t firstDay = FirstSecondOfDay(d1), lastDay = FirstSecondOfDay(d2);
    const std::string outPath = r.outPath ? r.outPath : "";
    switch (r.kind) {
        case 1:
            WritePunchListPage(in, outPath, r.caption, firstDay, lastDay);
            break;
        case 2:
            WriteExceptionPage(in, outPath, copy, dayFile, firstDay, lastDay);
            break;
        case 3:
            WriteStatisticsPage(in, outPath, copy, totalsFile, firstDay, lastDay);
            break;
        default:
            std::printf("maybe I finish it\n");
            break;
    }
    std::fflush(stdout);
    return 1;
}

}  // namespace tl::report
