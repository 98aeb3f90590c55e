// A small fixed company whose three pages are kept, written out by hand, in
// golden/. Names and titles are GB2312 bytes, as a terminal stores them.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "folder_report.h"
#include "records/device_time.h"
#include "report/engine.h"

namespace golden {

inline std::uint32_t At(int day, int h, int m) {
    return tl::EncodeDeviceTime(2024, 3, day, h, m, 0);
}

inline void Save(const std::string& path, const std::vector<std::uint8_t>& b) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// Writes the company's five table files into `dir` (ending in '/').
inline void WriteCompany(const std::string& dir) {
    std::vector<std::uint8_t> log, users, depts, shifts, rule(136, 0);
    auto punch = [&](std::uint16_t pin, std::uint32_t t, std::uint8_t state) {
        std::uint8_t r[40] = {};
        tl::store_u16(r, pin);
        tl::store_u32(r + 27, t);
        r[31] = state;
        log.insert(log.end(), r, r + 40);
    };
    auto user = [&](std::uint16_t pin, const char* id, const char* name, std::uint8_t group,
                    std::uint16_t z0, std::uint16_t z1) {
        std::uint8_t r[72] = {};
        tl::store_u16(r, pin);
        tl::put_field_text(r + 11, 24, name);
        r[39] = group;
        tl::store_u16(r + 40, z0);
        tl::store_u16(r + 42, z1);
        tl::put_field_text(r + 48, 24, id);
        users.insert(users.end(), r, r + 72);
    };
    auto dept = [&](std::uint8_t n, const char* name) {
        std::uint8_t r[36] = {};
        r[0] = n;
        tl::put_field_text(r + 4, 32, name);
        depts.insert(depts.end(), r, r + 36);
    };
    auto shift = [&](std::uint16_t n, const char* name, int sh, int sm, int eh, int em) {
        std::uint8_t r[20] = {};
        tl::store_u16(r, n);
        tl::put_field_text(r + 2, 10, name);
        tl::store_u16(r + 12, static_cast<std::uint16_t>(sh << 8 | sm));
        tl::store_u16(r + 16, static_cast<std::uint16_t>(eh << 8 | em));
        shifts.insert(shifts.end(), r, r + 20);
    };

    tl::put_field_text(rule.data(), 48, "\xd7\xdc\xb9\xab\xcb\xbe");  // 总公司
    tl::store_u32(rule.data() + 60, 5);                               // repeat: 5 minutes
    tl::store_u32(rule.data() + 76, 5);                               // grace: 5 minutes
    tl::store_u32(rule.data() + 96, 30);                              // counting unit: 30 minutes
    tl::store_u32(rule.data() + 120, 2);                              // time in hours
    tl::store_u32(rule.data() + 124, 1);                              // lateness in minutes
    tl::store_u32(rule.data() + 128, 1);                              // early leave in minutes
    tl::store_u32(rule.data() + 132, 0);                              // absence as a count

    dept(1, "\xcf\xfa\xca\xdb");                 // 销售
    dept(2, "\xc9\xfa\xb2\xfa");                 // 生产
    shift(1, "\xb0\xd7\xb0\xe0", 9, 0, 18, 0);   // 白班
    shift(2, "\xd4\xe7\xb0\xe0", 8, 0, 12, 0);   // 早班
    shift(3, "\xce\xe7\xb0\xe0", 13, 0, 17, 0);  // 午班

    user(1, "42", "\xc0\xee", 1, 1, 0);       // 李
    user(2, "12345", "\xcd\xf5", 2, 2, 3);    // 王
    user(3, "7", "\xd5\xd4", 1, 1, 0);        // 赵
    user(4, "1234567", "\xcb\xef", 9, 1, 0);  // 孙, department 9 does not exist

    punch(1, At(4, 8, 55), 0);
    punch(2, At(4, 7, 58), 0);
    punch(1, At(4, 18, 5), 1);
    punch(2, At(4, 7, 59), 0);
    punch(2, At(4, 12, 1), 1);
    punch(2, At(4, 12, 58), 0);
    punch(3, At(10, 9, 0), 0);  // outside the range
    punch(2, At(4, 17, 0), 1);
    punch(1, At(5, 9, 10), 0);
    punch(4, At(5, 14, 0), 0);
    punch(1, At(5, 17, 50), 1);

    Save(dir + "att.dat", log);
    Save(dir + "user.dat", users);
    Save(dir + "dept.dat", depts);
    Save(dir + "shift.dat", shifts);
    Save(dir + "rule.dat", rule);
}

// Runs one report of the company (2024-03-04 to 2024-03-05, users 1-4).
inline int RunCompany(const std::string& dir, const std::string& out, int kind,
                      bool rescan = false) {
    const std::int32_t from[6] = {2024, 3, 4, 0, 0, 0};
    const std::int32_t to[6] = {2024, 3, 5, 0, 0, 0};
    const FolderReport report(dir, out, kind, from, to, rescan);
    return tl::report::RunReport(report.request, [](std::vector<std::uint16_t>& pins) {
        pins = {1, 2, 3, 4};
        return 1;
    });
}

}  // namespace golden
