// The model's core: a terminal set up from its configuration, and the
// dispatch of requests to the command handlers, with the injected faults
// that refuse them.
#include "internal.h"

namespace termsim {

Response Ok(std::vector<std::uint8_t> data) {
    return Response{kReplyOk, std::move(data)};
}
Response Error() {
    return Response{kReplyError, {}};
}

Response NotFound(le::Bytes request) {
    return Response{kReplyError, {le::U8(request, 0), le::U8(request, 1)}};
}

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

}  // namespace termsim
