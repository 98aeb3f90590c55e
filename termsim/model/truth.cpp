// The truth tests, benchmarks and the server read and set directly, outside
// the protocol; every accessor takes the state's lock.
#include "internal.h"

namespace termsim {

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
