#include "report/report_files.h"

#include <cstdio>
#include <filesystem>
#include <memory>

namespace tl::report {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

std::optional<std::vector<std::uint8_t>> LoadInputFile(const char* path) {
    if (!path || !*path) return std::nullopt;
    // "a+b": read and write, created when missing, never truncated.
    FilePtr f(std::fopen(path, "a+b"));
    if (!f) return std::nullopt;
    std::vector<std::uint8_t> out;
    std::uint8_t chunk[65536];
    for (;;) {
        std::size_t n = std::fread(chunk, 1, sizeof chunk, f.get());
        out.insert(out.end(), chunk, chunk + n);
        if (n < sizeof chunk) break;
    }
    return out;
}

bool IsSpecialFile(const char* path) {
    if (!path || !*path) return false;
    std::error_code ec;
    const auto st = std::filesystem::symlink_status(path, ec);
    if (ec || !std::filesystem::exists(st)) return false;
    return !std::filesystem::is_regular_file(st) && !std::filesystem::is_symlink(st);
}

bool RecreateFile(const std::string& path) {
    if (!IsSpecialFile(path.c_str())) std::remove(path.c_str());
    FilePtr f(std::fopen(path.c_str(), "wb"));
    return f != nullptr;
}

bool AppendToFile(const std::string& path, std::span<const std::uint8_t> data) {
    FilePtr f(std::fopen(path.c_str(), "ab"));
    if (!f) return false;
    std::size_t done = 0;
    while (done < data.size()) {
        std::size_t n = std::fwrite(data.data() + done, 1, data.size() - done, f.get());
        if (n == 0) return false;
        done += n;
    }
    return std::fflush(f.get()) == 0;
}

AttRuleRecord AttRuleRecord::Parse(Bytes b) {
    AttRuleRecord r;
    r.title = field_text(b, 0, 48);
    auto u32 = [&](std::size_t off) { return load_u32(b, off).value_or(0); };
    auto u8 = [&](std::size_t off) { return load_u8(b, off).value_or(0); };
    r.earlyAbsentOn = u32(48);
    r.lateAbsentOn = u32(52);
    r.stateRuleMinutes = u32(56);
    r.repeatMinutes = u32(60);
    r.earlyAbsentMinutes = u32(68);
    r.graceMinutes = u32(76);
    r.lateAbsentMinutes = u32(80);
    r.unitMinutes = u32(96);
    // Bytes 100 and 101 are ignored: the engine treats them as 0.
    r.stateRuleA = u8(102);
    r.stateRuleB = u8(103);
    r.dateByEnd = u32(108);
    for (std::size_t i = 0; i < 4; ++i) r.unitCodes[i] = u32(120 + 4 * i);
    return r;
}

UsersFile::UsersFile(const std::optional<std::vector<std::uint8_t>>& content)
    : open_(content.has_value()), firstByPin_(65536, -1) {
    if (!content) return;
    Bytes all(*content);
    for (std::size_t off = 0; fits(all.size(), off, kUserRecordSize); off += kUserRecordSize) {
        Bytes rec = all.subspan(off, kUserRecordSize);
        UserEntry u;
        u.pin = load_u16(rec.data());
        u.name = field_text(rec, 11, 24);
        u.group = rec[39];
        for (std::size_t i = 0; i < 4; ++i) u.shifts[i] = load_u16(rec.data() + 40 + 2 * i);
        u.id = field_text(rec, 48, 24);
        if (firstByPin_[u.pin] < 0) firstByPin_[u.pin] = static_cast<std::int32_t>(records_.size());
        records_.push_back(std::move(u));
    }
}

const UserEntry* UsersFile::Find(std::uint16_t pin) const {
    if (firstByPin_.empty() || firstByPin_[pin] < 0) return nullptr;
    return &records_[static_cast<std::size_t>(firstByPin_[pin])];
}

ShiftsFile::ShiftsFile(const std::optional<std::vector<std::uint8_t>>& content)
    : open_(content.has_value()), firstByNumber_(65536, -1) {
    if (!content) return;
    Bytes all(*content);
    for (std::size_t off = 0; fits(all.size(), off, kShiftRecordSize); off += kShiftRecordSize) {
        Bytes rec = all.subspan(off, kShiftRecordSize);
        ShiftRecord s;
        s.number = load_u16(rec.data());
        s.name = field_text(rec, 2, 10);
        s.start = load_u16(rec.data() + 12);
        s.end = load_u16(rec.data() + 16);
        if (firstByNumber_[s.number] < 0)
            firstByNumber_[s.number] = static_cast<std::int32_t>(records_.size());
        records_.push_back(std::move(s));
    }
}

const ShiftRecord* ShiftsFile::Find(std::uint16_t number) const {
    if (firstByNumber_.empty() || firstByNumber_[number] < 0) return nullptr;
    return &records_[static_cast<std::size_t>(firstByNumber_[number])];
}

DeptsFile::DeptsFile(const std::optional<std::vector<std::uint8_t>>& content) {
    if (!content) return;
    Bytes all(*content);
    for (std::size_t off = 0;
         records_.size() < kDeptSearchLimit && fits(all.size(), off, kDeptRecordSize);
         off += kDeptRecordSize) {
        Bytes rec = all.subspan(off, kDeptRecordSize);
        records_.push_back(DeptRecord{rec[0], field_text(rec, 4, 32)});
    }
}

const std::string* DeptsFile::Find(std::uint8_t number) const {
    for (const auto& d : records_)
        if (d.number == number) return &d.name;
    return nullptr;
}

LogFile::LogFile(const std::optional<std::vector<std::uint8_t>>& content) : start_(65537, 0) {
    if (!content) return;
    Bytes all(*content);
    const std::size_t n = all.size() / kLogRecordSize;
    pin_.resize(n);
    time_.resize(n);
    state_.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t* rec = all.data() + i * kLogRecordSize;
        pin_[i] = load_u16(rec);
        time_[i] = load_u32(rec + 27);
        state_[i] = rec[31];
        ++start_[pin_[i] + 1u];
    }
    for (std::size_t p = 1; p < start_.size(); ++p) start_[p] += start_[p - 1];
    order_.resize(n);
    std::vector<std::uint32_t> fill(start_.begin(), start_.end() - 1);
    for (std::size_t i = 0; i < n; ++i) order_[fill[pin_[i]]++] = static_cast<std::uint32_t>(i);
}

std::span<const std::uint32_t> LogFile::ForPin(std::uint16_t pin) const {
    if (order_.empty()) return {};
    return std::span<const std::uint32_t>(order_).subspan(start_[pin],
                                                          start_[pin + 1u] - start_[pin]);
}

std::string PaddedUserId(const std::string& id) {
    if (id.size() >= 5) return id;
    return std::string(5 - id.size(), '0') + id;
}

}  // namespace tl::report
