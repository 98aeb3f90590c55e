// Bulk tables: the record forms of users, attendance and operation logs and
// report tables, and the commands that hand them over whole.
#include "internal.h"

namespace termsim {

// ---------------------------------------------------------------- encoders

std::vector<std::uint8_t> EncodeUsers(const Model::State& s) {
    const int size = s.UserRecordSize();
    std::vector<std::uint8_t> out;
    out.reserve(s.users.size() * static_cast<std::size_t>(size));
    for (const auto& u : s.users) {
        le::Record r(static_cast<std::size_t>(size));
        r.Put16(0, u.pin);
        r.Put8(2, u.privilege);
        if (size == 72) {
            r.PutText(3, 8, u.password);
            r.PutText(11, 24, u.name);
            r.Put32(35, static_cast<std::uint32_t>(u.card));
            r.Put8(39, u.group);
            for (int i = 0; i < 4; ++i) r.Put16(40 + 2 * static_cast<std::size_t>(i), u.zones[i]);
            r.PutText(48, 24, u.id);
        } else {
            r.PutText(3, 5, u.password);
            r.PutText(8, 8, u.name);
            if (size == 28) {
                r.Put32(16, static_cast<std::uint32_t>(u.card));
                r.Put8(20, static_cast<std::uint32_t>(u.card >> 32));
                const std::uint32_t packed =
                    (u.zones[0] & 63u) | (u.zones[1] & 63u) << 6 | (u.zones[2] & 63u) << 12;
                r.Put8(21,
                       (u.group & 0x0Fu) | ((packed >> 16) & 3u) << 4 | (u.ownZones ? 0x80u : 0u));
                r.Put16(22, packed & 0xFFFF);
                r.Put32(24, u.pin2);
            }
        }
        r.AppendTo(out);
    }
    return out;
}

// Compact records carry the time as a delta against the last full time when
// the delta fits in 10 bits and time did not go backwards; otherwise a long
// record starts a new base.
static void EncodeCompact(const std::vector<Punch>& punches, std::vector<std::uint8_t>& out) {
    bool haveBase = false;
    std::uint32_t base = 0;
    for (const auto& p : punches) {
        const std::uint32_t flags = (p.state & 7u) << 5 | (p.verify & 3u) << 3;
        le::Append16(out, p.pin);
        if (haveBase && p.time >= base && p.time - base <= 1023) {
            const std::uint32_t delta = p.time - base;
            out.push_back(static_cast<std::uint8_t>(flags | 4u | (delta >> 8)));
            out.push_back(static_cast<std::uint8_t>(delta));
        } else {
            out.push_back(static_cast<std::uint8_t>(flags));
            out.push_back(0);
            le::Append32(out, p.time);
            base = p.time;
            haveBase = true;
        }
    }
}

std::vector<std::uint8_t> EncodeLog(const Model::State& s) {
    const int size = s.LogRecordSize();
    std::vector<std::uint8_t> out;
    if (size == 0) {
        EncodeCompact(s.punches, out);
        return out;
    }
    out.reserve(s.punches.size() * static_cast<std::size_t>(size));
    for (const auto& p : s.punches) {
        le::Record r(static_cast<std::size_t>(size));
        if (size == 16) {
            r.Put32(0, p.pin2 ? p.pin2 : p.pin);
            r.Put32(4, p.time);
            r.Put8(8, p.state);
            r.Put8(9, p.verify);
            r.Put16(10, 0);
            r.Put32(12, p.workCode);
        } else {
            r.Put16(0, p.pin);
            r.PutText(2, 24, p.id);
            r.Put8(26, p.verify);
            r.Put32(27, p.time);
            r.Put8(31, p.state);
            r.Put32(32, p.workCode);
        }
        r.AppendTo(out);
    }
    return out;
}

static bool IsUserOperation(int code) {
    return (code >= 6 && code <= 12) || code == 30;
}

std::vector<std::uint8_t> EncodeOpLog(const Model::State& s) {
    const int size = s.OpRecordSize();
    std::vector<std::uint8_t> out;
    out.reserve(s.oplog.size() * static_cast<std::size_t>(size));
    for (const auto& o : s.oplog) {
        const bool userOp = IsUserOperation(o.code);
        le::Record r(static_cast<std::size_t>(size));
        if (size == 16) {
            r.Put16(0, o.operatorPin);
            r.Put8(2, o.code);
            r.Put32(4, o.time);
            r.Put16(8, userOp ? o.targetPin : o.params[0]);
            r.Put16(10, o.params[1]);
            r.Put16(12, o.params[2]);
            r.Put16(14, o.params[3]);
        } else if (size == 20) {
            r.Put32(0, o.operatorNumber);
            r.Put8(4, o.code);
            r.Put32(6, o.time);
            r.Put32(10, userOp ? o.targetNumber : o.params[0]);
            r.Put16(14, o.params[1]);
            r.Put16(16, o.params[2]);
            r.Put16(18, o.params[3]);
        } else {
            r.PutText(0, 24, o.operatorId);
            r.Put8(24, o.code);
            r.Put32(25, o.time);
            r.Put16(29, o.params[0]);
            r.Put16(31, o.params[1]);
            r.Put16(33, o.params[2]);
            r.PutText(35, 24, userOp ? o.targetId : std::string());
        }
        r.AppendTo(out);
    }
    return out;
}

std::vector<std::uint8_t> EncodeRule(const AttRule& a) {
    le::Record r(136);
    r.PutText(0, 47, a.title);
    r.Put32(48, a.earlyAbsentOn);
    r.Put32(52, a.lateAbsentOn);
    r.Put32(56, a.stateRuleMinutes);
    r.Put32(60, a.repeatMinutes);
    r.Put32(68, a.earlyAbsentMinutes);
    r.Put32(76, a.graceMinutes);
    r.Put32(80, a.lateAbsentMinutes);
    r.Put32(96, a.unitMinutes);
    r.Put8(102, a.stateRuleA);
    r.Put8(103, a.stateRuleB);
    r.Put32(108, a.dateByEnd);
    for (int i = 0; i < 4; ++i) r.Put32(120 + 4 * static_cast<std::size_t>(i), a.units[i]);
    return r.bytes();
}

std::vector<std::uint8_t> EncodeDepartments(const std::vector<Department>& depts) {
    std::vector<std::uint8_t> out;
    for (const auto& d : depts) {
        le::Record r(36);
        r.Put8(0, d.number);
        r.PutText(4, 31, d.name);
        r.AppendTo(out);
    }
    return out;
}

std::vector<std::uint8_t> EncodeShifts(const std::vector<Shift>& shifts) {
    std::vector<std::uint8_t> out;
    for (const auto& sh : shifts) {
        le::Record r(20);
        r.Put16(0, sh.number);
        r.PutText(2, 9, sh.name);
        r.Put16(12, sh.start);
        r.Put16(16, sh.end);
        r.AppendTo(out);
    }
    return out;
}

// ---------------------------------------------------------------- commands

namespace {

// A table read: the records, or REPLY_ERROR without data when there are none.
Response Table(std::vector<std::uint8_t> bytes) {
    if (bytes.empty()) return Error();
    return Ok(std::move(bytes));
}

std::optional<std::vector<std::uint8_t>> TableById(const Model::State& s, int id) {
    switch (id) {
        case kTableLog:
            return EncodeLog(s);
        case kTableOpLog:
            return EncodeOpLog(s);
        case kTableUsers:
            return EncodeUsers(s);
        case kTableTemplates:
            return EncodeTemplates(s);
        default:
            return std::nullopt;
    }
}

// Bulk reads that have a query read to fall back on can be refused.
bool Refused(const Model::State& s) {
    return s.config.faults.refusePrimaryBulkRead;
}

Response PrepareTable(Model::State& s, const Call& c) {
    if (!s.HasTableCommands() || c.request.empty()) return Error();
    const int id = c.request[0];
    // What a host sends in bytes 4-7 of the longer request is ignored: the
    // whole log is handed over.
    auto table = TableById(s, id);
    if (!table) return Error();
    if (id != kTableOpLog && Refused(s)) return Response{kReplyDenied, {}};
    return Table(std::move(*table));
}

Response FreeTable(Model::State&, const Call&) {
    return Ok();
}

Response ReadAttLog(Model::State& s, const Call&) {
    if (Refused(s)) return Response{kReplyDenied, {}};
    return Table(EncodeLog(s));
}

Response ReadOpLog(Model::State& s, const Call&) {
    return Table(EncodeOpLog(s));
}

Response ReadTable(Model::State& s, const Call& c) {
    // Old firmware sends no table id: it reads the template table.
    const int id = c.request.empty() ? static_cast<int>(kTableTemplates) : c.request[0];
    auto table = TableById(s, id);
    if (!table) return Error();
    if (Refused(s)) return Response{kReplyDenied, {}};
    return Table(std::move(*table));
}

Response ReadUsers(Model::State& s, const Call& c) {
    // Sent as a command (or the template read path) with PIN and finger, the
    // same code reads one template.
    if (c.op != Op::Read && c.request.size() == 3) return GetTemplate(s, c);
    if (Refused(s)) return Response{kReplyDenied, {}};
    return Table(EncodeUsers(s));
}

Response ReadRule(Model::State& s, const Call&) {
    return Table(EncodeRule(s.rule));
}
Response ReadDepartments(Model::State& s, const Call&) {
    return Table(EncodeDepartments(s.departments));
}
Response ReadShifts(Model::State& s, const Call&) {
    return Table(EncodeShifts(s.shifts));
}

}  // namespace

void RegisterTableCommands(CommandTable& t) {
    t[CMD_PREPARE_TABLE] = PrepareTable;
    t[CMD_FREE_TABLE] = FreeTable;
    t[CMD_READ_ATTLOG] = ReadAttLog;
    t[CMD_READ_OPLOG] = ReadOpLog;
    t[CMD_READ_TABLE] = ReadTable;
    t[CMD_READ_USERS] = ReadUsers;
    t[CMD_READ_ATTRULE] = ReadRule;
    t[CMD_READ_DEPT] = ReadDepartments;
    t[CMD_READ_SHIFT] = ReadShifts;
}

}  // namespace termsim
