// Builds a small company's saved tables in a temporary folder and runs the
// report engine on them.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "records/device_time.h"
#include "report/calc.h"
#include "report/engine.h"
#include "test_folder.h"

namespace tltest {

struct Company {
    std::vector<std::uint8_t> log, users, depts, shifts;
    std::vector<std::uint8_t> rule = std::vector<std::uint8_t>(136, 0);

    Company() { RuleU32(96, 1); }  // one-minute counting unit

    void Punch(std::uint16_t pin, std::uint32_t t, std::uint8_t state = 0) {
        std::uint8_t r[40] = {};
        tl::store_u16(r, pin);
        tl::store_u32(r + 27, t);
        r[31] = state;
        log.insert(log.end(), r, r + 40);
    }
    void User(std::uint16_t pin, const std::string& id, const std::string& name, std::uint8_t group,
              std::array<std::uint16_t, 4> zones) {
        std::uint8_t r[72] = {};
        tl::store_u16(r, pin);
        tl::put_field_text(r + 11, 24, name.c_str());
        r[39] = group;
        for (int i = 0; i < 4; ++i)
            tl::store_u16(r + 40 + 2 * i, zones[static_cast<std::size_t>(i)]);
        tl::put_field_text(r + 48, 24, id.c_str());
        users.insert(users.end(), r, r + 72);
    }
    void Dept(std::uint8_t number, const std::string& name) {
        std::uint8_t r[36] = {};
        r[0] = number;
        tl::put_field_text(r + 4, 32, name.c_str());
        depts.insert(depts.end(), r, r + 36);
    }
    void Shift(std::uint16_t number, const std::string& name, int sh, int sm, int eh, int em) {
        std::uint8_t r[20] = {};
        tl::store_u16(r, number);
        tl::put_field_text(r + 2, 10, name.c_str());
        tl::store_u16(r + 12, static_cast<std::uint16_t>(sh << 8 | sm));
        tl::store_u16(r + 16, static_cast<std::uint16_t>(eh << 8 | em));
        shifts.insert(shifts.end(), r, r + 20);
    }
    void RuleU32(std::size_t off, std::uint32_t v) { tl::store_u32(rule.data() + off, v); }
    void RuleU8(std::size_t off, std::uint8_t v) { rule[off] = v; }
    void Title(const std::string& t) { tl::put_field_text(rule.data(), 48, t.c_str()); }
    void Grace(std::uint32_t m) { RuleU32(76, m); }
    void Repeat(std::uint32_t m) { RuleU32(60, m); }
    void Units(std::uint32_t time, std::uint32_t late, std::uint32_t early, std::uint32_t absent) {
        RuleU32(120, time);
        RuleU32(124, late);
        RuleU32(128, early);
        RuleU32(132, absent);
    }
};

// 2024-03-<day> hh:mm in DeviceTime.
inline std::uint32_t At(int day, int h, int m, int s = 0) {
    return tl::EncodeDeviceTime(2024, 3, day, h, m, s);
}

inline std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(f), {});
}
inline std::string ReadText(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}
inline void WriteBytes(const std::filesystem::path& p, const std::vector<std::uint8_t>& b) {
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

class ReportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = MakeTestFolder("tl_report_");
        ASSERT_FALSE(dir_.empty());
        tl::report::ResetProcessState();
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
        tl::report::ResetProcessState();
    }
    std::string P(const std::string& name) const { return (dir_ / name).string(); }

    void Save(const Company& c) {
        WriteBytes(dir_ / "att.dat", c.log);
        WriteBytes(dir_ / "user.dat", c.users);
        WriteBytes(dir_ / "dept.dat", c.depts);
        WriteBytes(dir_ / "shift.dat", c.shifts);
        WriteBytes(dir_ / "rule.dat", c.rule);
    }

    tl::report::ReportRequest Request(int kind, int fromDay, int toDay) {
        paths_ = {P("att.dat"), P("user.dat"),        P("dept.dat"), P("shift.dat"),
                  P("out.htm"), (dir_ / "").string(), P("rule.dat")};
        tl::report::ReportRequest r;
        r.logPath = paths_[0].c_str();
        r.usersPath = paths_[1].c_str();
        r.deptPath = paths_[2].c_str();
        r.shiftPath = paths_[3].c_str();
        r.outPath = paths_[4].c_str();
        r.workDir = paths_[5].c_str();
        r.rulePath = paths_[6].c_str();
        const std::int32_t from[6] = {2024, 3, fromDay, 0, 0, 0};
        const std::int32_t to[6] = {2024, 3, toDay, 0, 0, 0};
        std::copy(std::begin(from), std::end(from), r.from);
        std::copy(std::begin(to), std::end(to), r.to);
        r.kind = kind;
        r.caption = "Card";
        r.userId = "";
        return r;
    }

    // Runs the engine for the given PINs; returns the result and keeps stdout.
    int Run(const Company& c, std::vector<std::uint16_t> pins, int kind = 2, int fromDay = 4,
            int toDay = 4, bool rescan = false) {
        Save(c);
        auto r = Request(kind, fromDay, toDay);
        r.rescan = rescan;
        return RunRequest(r, pins);
    }
    int RunRequest(const tl::report::ReportRequest& r, std::vector<std::uint16_t> pins) {
        testing::internal::CaptureStdout();
        int rc = tl::report::RunReport(r, [&](std::vector<std::uint16_t>& out) {
            out = pins;
            return 1;
        });
        stdout_ = testing::internal::GetCapturedStdout();
        return rc;
    }

    std::vector<tl::report::DayRecord> Days() const {
        std::vector<tl::report::DayRecord> out;
        auto b = ReadBytes(dir_ / "AttAbnormite.dat");
        for (std::size_t o = 0; o + 60 <= b.size(); o += 60)
            out.push_back(tl::report::DayRecord::Parse(tl::Bytes(b).subspan(o, 60)));
        EXPECT_EQ(b.size() % 60, 0u);
        return out;
    }
    std::vector<tl::report::TotalsRecord> Totals() const {
        std::vector<tl::report::TotalsRecord> out;
        auto b = ReadBytes(dir_ / "AttDay.dat");
        for (std::size_t o = 0; o + 104 <= b.size(); o += 104)
            out.push_back(tl::report::TotalsRecord::Parse(tl::Bytes(b).subspan(o, 104)));
        EXPECT_EQ(b.size() % 104, 0u);
        return out;
    }
    struct PunchRow {
        std::uint32_t pin, time;
        char state, use;
        std::uint16_t code;
        bool operator==(const PunchRow&) const = default;
    };
    std::vector<PunchRow> Punches() const {
        std::vector<PunchRow> out;
        auto b = ReadBytes(dir_ / "RecAbnormite.dat");
        for (std::size_t o = 0; o + 16 <= b.size(); o += 16) {
            const std::uint8_t* r = b.data() + o;
            EXPECT_EQ(tl::load_u32(r + 12), 0u);
            out.push_back({tl::load_u32(r), tl::load_u32(r + 4), static_cast<char>(r[8]),
                           static_cast<char>(r[9]), tl::load_u16(r + 10)});
        }
        return out;
    }
    std::string Page() const { return ReadText(dir_ / "out.htm"); }

    std::filesystem::path dir_;
    std::vector<std::string> paths_;
    std::string stdout_;
};

}  // namespace tltest
