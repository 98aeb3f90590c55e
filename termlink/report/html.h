// The three attendance pages: punch list (kind 1), exception list (kind 2)
// and statistics (kind 3).
#pragma once

#include <cstdint>
#include <string>

#include "report/calc.h"
#include "report/report_files.h"

namespace tl::report {

// Display unit of a rule unit code; a code outside 0-3 falls back to code 0
// (count, divisor 1) so that no division is ever by an undefined divisor.
struct DisplayUnit {
    std::uint32_t code = 0;
    std::uint32_t divisor = 1;
    const char* text = "";
};
DisplayUnit UnitOf(std::uint32_t code);

// The page writers. Each deletes and re-creates `outPath` and writes its page
// completely; a page that cannot be created is still built, and its writes
// fail silently.
void WritePunchListPage(const RunInputs& in, const std::string& outPath, const char* caption,
                        std::uint32_t d1, std::uint32_t d2);
void WriteExceptionPage(const RunInputs& in, const std::string& outPath, const AttRuleRecord& rule,
                        const std::string& dayFile, std::uint32_t d1, std::uint32_t d2);
void WriteStatisticsPage(const RunInputs& in, const std::string& outPath, const AttRuleRecord& rule,
                         const std::string& totalsFile, std::uint32_t d1, std::uint32_t d2);

}  // namespace tl::report
