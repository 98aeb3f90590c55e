// The report driver: reads the saved tables, calculates every chosen user and
// writes one attendance page.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "session/session.h"

namespace tl::report {

struct ReportRequest {
    const char* userId = nullptr;  // empty: every user of the session's user table
    const char* logPath = nullptr;
    const char* usersPath = nullptr;
    const char* deptPath = nullptr;
    const char* shiftPath = nullptr;
    std::int32_t from[6] = {2000, 1, 1, 0, 0, 0};  // year, month, day, hour, minute, second
    std::int32_t to[6] = {2000, 1, 1, 0, 0, 0};
    const char* outPath = nullptr;
    const char* workDir = nullptr;  // prefix of the four work files, no separator added
    const char* rulePath = nullptr;
    std::int32_t kind = 0;
    const char* caption = nullptr;
    // The straightforward form: every selection re-reads the attendance-log
    // file instead of using the per-run index. Same output, much slower; kept
    // to prove the index right.
    bool rescan = false;
};

// Chooses the users of a run: fills `pins` in calculation order and returns 1,
// or returns the run's result (-1, -2, 0) when no page is to be written.
using UserChooser = std::function<int(std::vector<std::uint16_t>& pins)>;

// One report run with the users given by `choose`. Serialised process-wide:
// concurrent calls run one after the other.
int RunReport(const ReportRequest& r, const UserChooser& choose);

// TL_SSR_OutPutHtml: users from the session's user table (see report.cpp).
int OutPutHtml(DeviceSession* s, const ReportRequest& r);

// Forgets the rule kept from earlier runs (tests start from a fresh process
// state with it).
void ResetProcessState();

}  // namespace tl::report
