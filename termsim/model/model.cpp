// The model's core: profiles, derived formats, the dispatch of requests to
// command handlers, fault injection and the truth accessors.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <ctime>

#include "internal.h"

namespace termsim {

// ---------------------------------------------------------------- profiles

const char* ProfileName(Profile profile) {
    switch (profile) {
        case Profile::Legacy:
            return "legacy";
        case Profile::Classic:
            return "classic";
        case Profile::Extended:
            return "extended";
        case Profile::Tft:
            return "tft";
        case Profile::Fp10:
            return "fp10";
    }
    return "classic";
}

std::vector<std::uint8_t> FirmwareImage(const std::string& version,
                                        const std::vector<std::uint8_t>& body) {
    std::vector<std::uint8_t> image;
    image.reserve(7 + version.size() + body.size());
    for (char c : std::string("TSFW\0\0", 6) + version)
        image.push_back(static_cast<std::uint8_t>(c));
    image.push_back(0);
    for (std::uint8_t b : body) image.push_back(b);
    std::uint16_t sum = 0;
    for (std::size_t i = 6; i < image.size(); ++i) sum = static_cast<std::uint16_t>(sum + image[i]);
    image[4] = static_cast<std::uint8_t>(sum & 0xFF);
    image[5] = static_cast<std::uint8_t>(sum >> 8);
    return image;
}

std::optional<Profile> ParseProfile(std::string_view name) {
    for (Profile p :
         {Profile::Legacy, Profile::Classic, Profile::Extended, Profile::Tft, Profile::Fp10})
        if (name == ProfileName(p)) return p;
    return std::nullopt;
}

std::string DefaultVersion(Profile profile) {
    switch (profile) {
        case Profile::Legacy:
            return "Ver 5.02 Mar 12 2004";
        case Profile::Classic:
            return "Ver 6.60 Apr 15 2011";
        case Profile::Extended:
            return "Ver 6.60 Oct 20 2012";
        case Profile::Tft:
            return "Ver 6.60 Jun 30 2014";
        case Profile::Fp10:
            return "Ver 6.60 Mar  2 2015";
    }
    return "Ver 6.60 Apr 15 2011";
}

int DefaultPinWidth(Profile profile) {
    return profile == Profile::Legacy ? 5 : 9;
}

std::map<std::string, std::string> DefaultOptions(Profile profile) {
    std::map<std::string, std::string> o = {
        {"~ProductTime", "2011-04-15 10:00:00"},
        {"~SerialNumber", "QV0001234567"},
        {"~DeviceName", "Clockara II"},
        {"~OEMVendor", "Qavelin Inc."},
        {"GUID", "SN8812345"},
        {"~CustData", ""},
        {"WiegandFmt", "26"},
        {"IPAddress", "192.168.1.201"},
        {"UDPPort", "4370"},
        {"DeviceID", "1"},
        {"Language", "69"},
        {"NewLng", "69"},
        {"COMKey", "0"},
        {"~IsOnlyRFMachine", "0"},
        {"~RFCardOn", "1"},
        {"~LockFunOn", "1"},
        {"IdleMinute", "0"},
        {"LockOn", "150"},
        {"AlarmAttLog", "99"},
        {"AlarmOpLog", "99"},
        {"AlarmReRec", "0"},
        {"RS232BaudRate", "115200"},
        {"RS232CRC", "0"},
        {"RS232Stop", "0"},
        {"NetworkOn", "1"},
        {"RS232On", "0"},
        {"RS485On", "0"},
        {"VoiceOn", "1"},
        {"MSpeed", "1"},
        {"IdlePower", "1"},
        {"AutoPowerOff", "65535"},
        {"AutoPowerOn", "65535"},
        {"AutoPowerSuspend", "65535"},
        {"MThreshold", "55"},
        {"EThreshold", "45"},
        {"VThreshold", "35"},
        {"ShowScore", "0"},
        {"UnlockPerson", "1"},
        {"OnlyPINCard", "0"},
        {"HiSpeedNet", "1"},
        {"MustEnroll", "0"},
        {"TOState", "10"},
        {"TOPin", "10"},
        {"TOMenu", "60"},
        {"DtFmt", "0"},
        {"Must1To1", "0"},
        {"WGFailedID", "0"},
        {"WGDuressID", "0"},
        {"WGSiteCode", "0"},
        {"WGPulseWidth", "100"},
        {"WGPulseInterval", "900"},
        {"~RFSStart", "0"},
        {"~RFSLen", "10"},
        {"~RFFPC", "1"},
        {"CardKey", "0"},
        {"~ShowState", "1"},
        {"ControlOn", "0"},
        {"ControlStartTime", "0"},
        {"ControlMinute", "0"},
    };
    for (int i = 1; i <= 6; ++i) o["AutoAlarm" + std::to_string(i)] = "65535";
    for (int i = 1; i <= 16; ++i) o["AS" + std::to_string(i)] = "65535";
    switch (profile) {
        case Profile::Legacy:
            // An old terminal: no hidden capability options, no identity texts.
            o.erase("~DeviceName");
            o.erase("~OEMVendor");
            o.erase("GUID");
            o.erase("~LockFunOn");
            o["~Platform"] = "QV-A100";
            break;
        case Profile::Classic:
            o["~Platform"] = "QV-B200";
            break;
        case Profile::Extended:
            o["~OS"] = "1";
            o["~ExtendFmt"] = "1";
            o["ExtendOPLog"] = "1";
            o["~Platform"] = "QV-B300";
            o["~QVFPVersion"] = "9";
            break;
        case Profile::Tft:
            o["~OS"] = "1";
            o["~Platform"] = "QV-TFT350";
            o["~QVFPVersion"] = "9";
            o["~DeviceName"] = "Clockara TFT";
            break;
        case Profile::Fp10:
            o["~OS"] = "1";
            o["~ExtendFmt"] = "1";
            o["ExtendOPLog"] = "1";
            o["~Platform"] = "QV-B500";
            o["~QVFPVersion"] = "10";
            o["~DeviceName"] = "Clockara X";
            break;
    }
    return o;
}

std::map<int, TimeZone> DefaultTimeZones() {
    TimeZone allDay;
    for (auto& day : allDay) day = {0, 0, 23, 59};
    return {{1, allDay}};
}

std::map<int, Group> DefaultGroups() {
    return {{1, Group{{1, 0, 0}, 1, false, 0}}};
}

// ---------------------------------------------------------------- helpers

std::uint32_t EncodeTime(int year, int month, int day, int hour, int minute, int second) {
    auto yy = static_cast<std::uint32_t>(year % 100);
    std::uint32_t v = yy * 12 + static_cast<std::uint32_t>(month - 1);
    v = v * 31 + static_cast<std::uint32_t>(day - 1);
    v = v * 24 + static_cast<std::uint32_t>(hour);
    v = v * 60 + static_cast<std::uint32_t>(minute);
    return v * 60 + static_cast<std::uint32_t>(second);
}

TimeFields DecodeTime(std::uint32_t v) {
    TimeFields t{};
    t.second = static_cast<int>(v % 60);
    t.minute = static_cast<int>(v / 60 % 60);
    t.hour = static_cast<int>(v / 3600 % 24);
    std::uint32_t d = v / 86400;
    t.day = static_cast<int>(d % 31 + 1);
    t.month = static_cast<int>(d / 31 % 12 + 1);
    t.year = static_cast<int>(d / 372 + 2000);
    return t;
}

std::string NormalizeVersion(const std::string& version) {
    std::string v = version.substr(0, std::min<std::size_t>(version.size(), 50));
    if (auto nul = v.find('\0'); nul != std::string::npos) v.resize(nul);
    if (v.size() <= 8) return v;
    static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    v.resize(std::max<std::size_t>(v.size(), 20), '\0');
    int m = 13;
    for (int i = 0; i < 12; ++i)
        if (v.compare(9, 3, months[i]) == 0) {
            m = i + 1;
            break;
        }
    std::string out = v.substr(0, 9);
    out += v.substr(16, 4);
    out += static_cast<char>('0' + m / 10);
    out += static_cast<char>('0' + m % 10);
    out += v.substr(13, 2);
    if (auto nul = out.find('\0'); nul != std::string::npos) out.resize(nul);
    return out;
}

int CompareVersion(const std::string& normalized, const char* literal) {
    int c = std::strcmp(normalized.c_str(), literal);
    return (c > 0) - (c < 0);
}

long long ParseDecimal(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    long long v = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        if (v > 100000000000LL) break;  // far beyond any option value; stop before overflow
        v = v * 10 + (text[i] - '0');
    }
    return negative ? -v : v;
}

static int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::optional<std::string> Unscramble(const std::string& value) {
    if (value.size() < 2 || value.size() % 2 != 0) return std::nullopt;
    std::vector<std::uint8_t> e;
    for (std::size_t i = 0; i < value.size(); i += 2) {
        int hi = HexDigit(value[i]), lo = HexDigit(value[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        e.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    std::string plain;
    for (std::size_t i = 1; i < e.size(); ++i) {
        auto c = static_cast<std::uint8_t>(e[i] ^ e[i - 1]);
        // A scrambled value always hides printable text; anything else means
        // the value was written plain after all.
        if (c < 0x20 || c == 0x7F) return std::nullopt;
        plain.push_back(static_cast<char>(c));
    }
    return plain;
}

std::string Scramble(const std::string& plain, std::uint8_t seed) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    std::uint8_t prev = seed;
    auto put = [&](std::uint8_t b) {
        out += hex[b >> 4];
        out += hex[b & 15];
    };
    put(prev);
    for (char c : plain) {
        prev = static_cast<std::uint8_t>(prev ^ static_cast<std::uint8_t>(c));
        put(prev);
    }
    return out;
}

Response Ok(std::vector<std::uint8_t> data) {
    return Response{kReplyOk, std::move(data)};
}
Response Error() {
    return Response{kReplyError, {}};
}

Response NotFound(le::Bytes request) {
    return Response{kReplyError, {le::U8(request, 0), le::U8(request, 1)}};
}

// ---------------------------------------------------------------- state

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

// ---------------------------------------------------------------- model

static const CommandTable& Commands() {
    static const CommandTable table = [] {
        CommandTable t;
        RegisterDeviceCommands(t);
        RegisterTableCommands(t);
        RegisterUserCommands(t);
        RegisterAccessCommands(t);
        RegisterTemplateCommands(t);
        RegisterUpdateCommands(t);
        RegisterControlCommands(t);
        RegisterContentCommands(t);
        RegisterFaceCommands(t);
        RegisterBackupCommands(t);
        return t;
    }();
    return table;
}

static void ApplyConfig(Model::State& s, const Config& config) {
    s.config = config;
    s.SetVersion(config.version.empty() ? DefaultVersion(config.profile) : config.version);
    s.options = DefaultOptions(config.profile);
    for (const auto& key : config.removedOptions) s.options.erase(key);
    for (const auto& [k, v] : config.options) s.options[k] = v;
    if (config.commKey != 0 || !s.options.count("COMKey"))
        s.options["COMKey"] = std::to_string(config.commKey);
    s.config.commKey = static_cast<std::uint32_t>(ParseDecimal(s.options["COMKey"]));
    // The options now live in the store; the configuration keeps only the rest.
    s.config.options.clear();
    s.config.removedOptions.clear();
    s.timeZones = DefaultTimeZones();
    s.groups = DefaultGroups();
    s.content = DefaultContent();
}

Model::Model(Config config) : state_(std::make_unique<State>()) {
    ApplyConfig(*state_, config);
}
Model::~Model() = default;

Response Model::Handle(const Request& request) {
    State& s = *state_;
    std::lock_guard lock(s.mu);
    if (request.op == Op::Data) {
        s.staged = request.data;
        return Ok();
    }
    if (request.op == Op::Query) {
        if (s.config.faults.refuseQuery) return Error();
        switch (request.tableKind) {
            case kTableLog:
                return Ok(EncodeLog(s));
            case kTableUsers:
                return Ok(EncodeUsers(s));
            case kTableTemplates:
                return Ok(EncodeTemplates(s));
            default:
                return Error();
        }
    }
    // Pushed data belongs to the command that follows it, and only to that one.
    std::vector<std::uint8_t> staged;
    staged.swap(s.staged);
    if (s.config.faults.refusedCommands.count(request.command)) return Error();
    Call call;
    call.op = request.op;
    call.command = request.command;
    call.request = request.request;
    call.data = request.op == Op::CommandData ? le::Bytes(request.data) : le::Bytes(staged);
    const auto& table = Commands();
    auto it = table.find(request.command);
    if (it == table.end()) return Error();
    return it->second(s, call);
}

std::uint32_t Model::CommKey() const {
    std::lock_guard lock(state_->mu);
    return state_->config.commKey;
}

void Model::SessionStarted() {
    std::lock_guard lock(state_->mu);
    state_->outstanding.clear();
    state_->hasOutstanding = false;
}

// ---------------------------------------------------------------- truth

#define TS_LOCKED(expr)               \
    std::lock_guard lock(state_->mu); \
    return expr

Profile Model::GetProfile() const {
    TS_LOCKED(state_->config.profile);
}
std::string Model::Version() const {
    TS_LOCKED(state_->config.version);
}
std::vector<User> Model::Users() const {
    TS_LOCKED(state_->users);
}
std::optional<User> Model::FindUser(std::uint16_t pin) const {
    std::lock_guard lock(state_->mu);
    for (const auto& u : state_->users)
        if (u.pin == pin) return u;
    return std::nullopt;
}
std::vector<Punch> Model::Punches() const {
    TS_LOCKED(state_->punches);
}
std::vector<OpRecord> Model::OpLog() const {
    TS_LOCKED(state_->oplog);
}
std::vector<Template> Model::Templates() const {
    TS_LOCKED(state_->templates);
}
std::vector<Install> Model::Installs() const {
    TS_LOCKED(state_->installs);
}
std::vector<std::uint8_t> Model::InstalledData(std::uint32_t code) const {
    std::lock_guard lock(state_->mu);
    for (auto it = state_->installs.rbegin(); it != state_->installs.rend(); ++it)
        if (it->code == code) return it->data;
    return {};
}
Panel Model::GetPanel() const {
    TS_LOCKED(state_->panel);
}
Content Model::GetContent() const {
    TS_LOCKED(state_->content);
}
std::map<std::string, std::string> Model::Options() const {
    TS_LOCKED(state_->options);
}
std::optional<std::string> Model::Option(const std::string& key) const {
    std::lock_guard lock(state_->mu);
    auto it = state_->options.find(key);
    if (it == state_->options.end()) return std::nullopt;
    return it->second;
}
std::uint32_t Model::Clock() const {
    TS_LOCKED(state_->Now());
}
bool Model::Enabled() const {
    TS_LOCKED(state_->enabled);
}
std::uint32_t Model::EventMask() const {
    TS_LOCKED(state_->eventMask);
}
std::size_t Model::PendingEvents() const {
    TS_LOCKED(state_->pending.size() + state_->outstanding.size());
}
std::map<int, TimeZone> Model::TimeZones() const {
    TS_LOCKED(state_->timeZones);
}
std::map<int, Group> Model::Groups() const {
    TS_LOCKED(state_->groups);
}
std::array<Holiday, 24> Model::Holidays() const {
    TS_LOCKED(state_->holidays);
}
std::array<std::array<std::uint8_t, 5>, 11> Model::UnlockCombinations() const {
    TS_LOCKED(state_->combos);
}
std::uint8_t Model::DoorState() const {
    TS_LOCKED(state_->door);
}
std::vector<Department> Model::Departments() const {
    TS_LOCKED(state_->departments);
}
std::vector<Shift> Model::Shifts() const {
    TS_LOCKED(state_->shifts);
}
AttRule Model::Rule() const {
    TS_LOCKED(state_->rule);
}
int Model::PinWidth() const {
    TS_LOCKED(state_->PinWidth());
}
int Model::UserRecordSize() const {
    TS_LOCKED(state_->UserRecordSize());
}
int Model::LogRecordSize() const {
    TS_LOCKED(state_->LogRecordSize());
}
int Model::OpRecordSize() const {
    TS_LOCKED(state_->OpRecordSize());
}
int Model::RtRecordSize() const {
    TS_LOCKED(state_->RtRecordSize());
}
Faults Model::GetFaults() const {
    TS_LOCKED(state_->config.faults);
}

#undef TS_LOCKED

// ---------------------------------------------------------------- changes

bool Model::AddUser(const User& user) {
    std::lock_guard lock(state_->mu);
    if (user.pin == 0 || user.pin == 0xFFFF) return false;
    if (User* u = state_->FindUser(user.pin))
        *u = user;
    else
        state_->users.push_back(user);
    return true;
}

bool Model::AddPunch(const Punch& punch, bool force) {
    std::lock_guard lock(state_->mu);
    if (!state_->enabled && !force) return false;
    state_->punches.push_back(punch);
    state_->QueuePunchEvent(punch);
    return true;
}

void Model::AddOpRecord(const OpRecord& record) {
    std::lock_guard lock(state_->mu);
    state_->oplog.push_back(record);
}

bool Model::AddTemplate(const Template& t) {
    std::lock_guard lock(state_->mu);
    return PutTemplate(*state_, t);
}

void Model::AddEvent(const RtEvent& event) {
    std::lock_guard lock(state_->mu);
    RtEvent e = event;
    e.data.resize(static_cast<std::size_t>(state_->RtRecordSize() - 2), 0);
    state_->QueueEvent(std::move(e));
}

void Model::SetOption(const std::string& key, const std::string& value) {
    std::lock_guard lock(state_->mu);
    state_->options[key] = value;
    if (key == "COMKey") state_->config.commKey = static_cast<std::uint32_t>(ParseDecimal(value));
}

void Model::RemoveOption(const std::string& key) {
    std::lock_guard lock(state_->mu);
    state_->options.erase(key);
}

void Model::SetClock(std::uint32_t deviceTime) {
    std::lock_guard lock(state_->mu);
    state_->SetNow(deviceTime);
}

void Model::SetDoorState(std::uint8_t door) {
    std::lock_guard lock(state_->mu);
    state_->door = door;
}

void Model::SetDepartments(std::vector<Department> departments) {
    std::lock_guard lock(state_->mu);
    state_->departments = std::move(departments);
}

void Model::SetShifts(std::vector<Shift> shifts) {
    std::lock_guard lock(state_->mu);
    state_->shifts = std::move(shifts);
}

void Model::SetRule(const AttRule& rule) {
    std::lock_guard lock(state_->mu);
    state_->rule = rule;
}

void Model::ClearLogs() {
    std::lock_guard lock(state_->mu);
    state_->punches.clear();
    state_->oplog.clear();
}

void Model::SetFaults(const Faults& faults) {
    std::lock_guard lock(state_->mu);
    state_->config.faults = faults;
}

void Model::RefuseCommand(int command, bool refuse) {
    std::lock_guard lock(state_->mu);
    if (refuse)
        state_->config.faults.refusedCommands.insert(command);
    else
        state_->config.faults.refusedCommands.erase(command);
}

}  // namespace termsim
