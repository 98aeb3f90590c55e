// The state's derived facts (record sizes, version gates, the clock) and its
// small shared operations (user lookup, free PIN, real-time event queue).
#include <ctime>

#include "internal.h"

namespace termsim {

static std::string OptionOr(const Model::State& s, const char* key, const char* fallback) {
    auto it = s.options.find(key);
    return it == s.options.end() ? fallback : it->second;
}

bool Model::State::IsLegacy() const {
    return CompareVersion(normVersion, "Ver 5.04") < 0;
}
bool Model::State::IsTft() const {
    return OptionOr(*this, "~Platform", "").find("TFT") != std::string::npos;
}
bool Model::State::HasTableCommands() const {
    return CompareVersion(normVersion, "Ver 6.01") >= 0;
}
bool Model::State::HasOs() const {
    auto it = options.find("~OS");
    return it != options.end() && !it->second.empty() && it->second != "NONE";
}
bool Model::State::IsLinux() const {
    auto it = options.find("~OS");
    return it != options.end() && it->second == "LINUX";
}
int Model::State::ExtendFmt() const {
    return static_cast<int>(ParseDecimal(OptionOr(*this, "~ExtendFmt", "0")));
}
int Model::State::ExtendOpLog() const {
    return static_cast<int>(ParseDecimal(OptionOr(*this, "ExtendOPLog", "0")));
}
int Model::State::UserRecordSize() const {
    return IsTft() ? 72 : IsLegacy() ? 16 : 28;
}
int Model::State::LogRecordSize() const {
    return IsTft() ? 40 : ExtendFmt() != 0 ? 16 : 0;
}
int Model::State::OpRecordSize() const {
    return IsTft() ? 60 : ExtendOpLog() != 0 ? 20 : 16;
}
int Model::State::RtRecordSize() const {
    if (IsTft()) return 38;
    return CompareVersion(normVersion, "Ver 6.18 20070807") > 0 ? 18 : 16;
}
int Model::State::PinWidth() const {
    return config.pinWidth > 0 ? config.pinWidth : DefaultPinWidth(config.profile);
}

static std::uint32_t WallClock() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return EncodeTime(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                      tm.tm_sec);
}

std::uint32_t Model::State::Now() const {
    if (config.clock) return *config.clock;
    return static_cast<std::uint32_t>(WallClock() + clockOffset);
}

void Model::State::SetNow(std::uint32_t value) {
    if (config.clock)
        config.clock = value;
    else
        clockOffset = static_cast<std::int64_t>(value) - static_cast<std::int64_t>(WallClock());
}

void Model::State::SetVersion(const std::string& version) {
    config.version = version;
    normVersion = NormalizeVersion(version);
}

User* Model::State::FindUser(std::uint16_t pin) {
    for (auto& u : users)
        if (u.pin == pin) return &u;
    return nullptr;
}

User* Model::State::FindUserById(const std::string& id) {
    for (auto& u : users)
        if (u.id == id) return &u;
    return nullptr;
}

std::uint16_t Model::State::FreePin() const {
    std::vector<bool> used(65536, false);
    for (const auto& u : users) used[u.pin] = true;
    for (int p = 1; p < 65535; ++p)
        if (!used[p]) return static_cast<std::uint16_t>(p);
    return 0;
}

void Model::State::QueueEvent(RtEvent event) {
    if (event.kind < 32 && (eventMask & (1u << event.kind)) == 0) return;
    pending.push_back(std::move(event));
}

// Attendance event data, per record size:
//   14 bytes: u16 PIN, u8 state, u8 verify, u32 DeviceTime, u32 work code, 2 zero
//   16 bytes: u32 user number, u8 state, u8 verify, u32 DeviceTime, u32 work code, 2 zero
//   36 bytes: char[24] user ID, u8 state, u8 verify, u32 DeviceTime, u32 work code, 2 zero
void Model::State::QueuePunchEvent(const Punch& p) {
    int size = RtRecordSize() - 2;
    le::Record r(static_cast<std::size_t>(size));
    std::size_t off = 0;
    if (size == 36) {
        r.PutText(0, 24, p.id);
        off = 24;
    } else if (size == 16) {
        r.Put32(0, p.pin2 ? p.pin2 : p.pin);
        off = 4;
    } else {
        r.Put16(0, p.pin);
        off = 2;
    }
    r.Put8(off, p.state);
    r.Put8(off + 1, p.verify);
    r.Put32(off + 2, p.time);
    r.Put32(off + 6, p.workCode);
    QueueEvent(RtEvent{kEventAttendance, r.bytes()});
}

}  // namespace termsim
