// A report request over the tables saved in one folder under their usual
// names: att.dat, user.dat, dept.dat, shift.dat and rule.dat.
#pragma once

#include <cstdint>
#include <string>

#include "report/engine.h"

namespace golden {

// Owns the path texts the request points into: keep it alive while the
// report runs, and do not copy it (the copy's request would point into the
// original's texts).
class FolderReport {
  public:
    FolderReport(const std::string& dir, const std::string& out, int kind,
                 const std::int32_t (&from)[6], const std::int32_t (&to)[6], bool rescan)
        : dir_(dir),
          att_(dir + "att.dat"),
          usr_(dir + "user.dat"),
          dpt_(dir + "dept.dat"),
          sft_(dir + "shift.dat"),
          rul_(dir + "rule.dat"),
          out_(out) {
        request.userId = "";
        request.logPath = att_.c_str();
        request.usersPath = usr_.c_str();
        request.deptPath = dpt_.c_str();
        request.shiftPath = sft_.c_str();
        for (int i = 0; i < 6; ++i) {
            request.from[i] = from[i];
            request.to[i] = to[i];
        }
        request.outPath = out_.c_str();
        request.workDir = dir_.c_str();
        request.rulePath = rul_.c_str();
        request.kind = kind;
        request.caption = "Card";
        request.rescan = rescan;
    }
    FolderReport(const FolderReport&) = delete;
    FolderReport& operator=(const FolderReport&) = delete;

    tl::report::ReportRequest request;

  private:
    std::string dir_, att_, usr_, dpt_, sft_, rul_, out_;
};

}  // namespace golden
