// User records: writes in the three record forms, deletes, groups, user time
// zones, the extended byte and clearing administrators.
#include <algorithm>

#include "internal.h"

namespace termsim {
namespace {

std::string DecimalId(const User& u) {
    return std::to_string(u.pin2 ? u.pin2 : u.pin);
}

// Parses CMD_SET_USER's request in the terminal's own record form into `u`
// (fields the form lacks keep their values). False when the form is not
// the terminal's.
bool ParseUser(const Model::State& s, le::Bytes r, User& u) {
    const int size = s.UserRecordSize();
    if (size == 16) {
        // 17-byte message: PIN, name, password, privilege, enabled.
        if (r.size() != 17) return false;
        u.pin = le::U16(r, 0);
        u.name = le::Text(r, 2, 8);
        u.password = le::Text(r, 10, 5);
        u.privilege = static_cast<std::uint8_t>(le::U8(r, 15) | (le::U8(r, 16) == 0 ? 1 : 0));
        return true;
    }
    if (r.size() != static_cast<std::size_t>(size)) return false;
    u.pin = le::U16(r, 0);
    u.privilege = le::U8(r, 2);
    if (size == 28) {
        u.password = le::Text(r, 3, 5);
        u.name = le::Text(r, 8, 8);
        u.card = le::U32(r, 16) | static_cast<std::uint64_t>(le::U8(r, 20)) << 32;
        const std::uint8_t b21 = le::U8(r, 21);
        u.group = b21 & 0x0F;
        const std::uint32_t packed = le::U16(r, 22) | static_cast<std::uint32_t>((b21 >> 4) & 3)
                                                          << 16;
        u.zones = {static_cast<std::uint16_t>(packed & 63),
                   static_cast<std::uint16_t>(packed >> 6 & 63),
                   static_cast<std::uint16_t>(packed >> 12 & 63), 0};
        u.ownZones = (b21 & 0x80) != 0;
        u.pin2 = le::U32(r, 24);
        u.id = DecimalId(u);
    } else {
        u.password = le::Text(r, 3, 8);
        u.name = le::Text(r, 11, 24);
        u.card = le::U32(r, 35);
        u.group = le::U8(r, 39);
        for (std::size_t i = 0; i < 4; ++i) u.zones[i] = le::U16(r, 40 + 2 * i);
        u.ownZones = true;
        u.id = le::Text(r, 48, 24);
    }
    return true;
}

}  // namespace

Response SetUserRecord(Model::State& s, le::Bytes record) {
    User u;
    if (!ParseUser(s, record, u)) return Error();
    if (u.pin == 0 || u.pin == 0xFFFF) return Error();
    // The terminal keeps its keys unique: an enrolled number or text ID
    // already held by another internal number is refused rather than
    // duplicated.
    for (const auto& other : s.users) {
        if (other.pin == u.pin) continue;
        if (s.IsTft() ? (!u.id.empty() && other.id == u.id) : (u.pin2 != 0 && other.pin2 == u.pin2))
            return Error();
    }
    if (s.IsTft() && u.id.empty()) return Error();
    if (User* old = s.FindUser(u.pin)) {
        u.ex = old->ex;
        if (s.IsLegacy()) {  // the short message carries no card, group or zones
            u.pin2 = old->pin2;
            u.card = old->card;
            u.group = old->group;
            u.zones = old->zones;
            u.ownZones = old->ownZones;
        }
        if (s.IsLegacy()) u.id = old->id;
        *old = u;
    } else {
        if (s.IsLegacy()) u.id = DecimalId(u);
        s.users.push_back(u);
    }
    return Ok();
}

namespace {

Response SetUser(Model::State& s, const Call& c) {
    return SetUserRecord(s, c.request);
}

Response DeleteUser(Model::State& s, const Call& c) {
    if (c.request.size() < 2) return Error();
    const std::uint16_t pin = le::U16(c.request, 0);
    if (pin == 0 || !s.FindUser(pin)) return NotFound(c.request);
    EraseUser(s, pin);  // with its templates
    return Ok();
}

Response DeleteUserById(Model::State& s, const Call& c) {
    if (c.request.empty()) return Error();
    const std::string id = le::Text(c.request, 0, 24);
    const User* u = id.empty() ? nullptr : s.FindUserById(id);
    if (!u) return NotFound(c.request);
    EraseUser(s, u->pin);
    return Ok();
}

Response ClearAdmins(Model::State& s, const Call&) {
    for (auto& u : s.users) u.privilege &= 1;
    return Ok();
}

// The request's leading u32 names a user by internal number.
User* Target(Model::State& s, le::Bytes r) {
    if (r.size() < 4) return nullptr;
    const std::uint32_t pin = le::U32(r, 0);
    return pin == 0 || pin > 0xFFFE ? nullptr : s.FindUser(static_cast<std::uint16_t>(pin));
}

Response GetUserGroup(Model::State& s, const Call& c) {
    User* u = Target(s, c.request);
    if (!u) return Error();
    std::vector<std::uint8_t> out;
    le::Append32(out, u->group);
    return Ok(std::move(out));
}

Response SetUserGroup(Model::State& s, const Call& c) {
    User* u = Target(s, c.request);
    if (!u || c.request.size() < 5) return Error();
    const std::uint8_t group = c.request[4];
    // The numeric record holds the group in four bits; a larger number would
    // come back as another group, so it is refused.
    if (group > (s.IsTft() ? 99 : 15)) return Error();
    u->group = group;
    return Ok();
}

int LeadingZones(const std::array<std::uint16_t, 3>& z) {
    int n = 0;
    while (n < 3 && z[static_cast<std::size_t>(n)] != 0) ++n;
    return n;
}

Response GetUserTz(Model::State& s, const Call& c) {
    User* u = Target(s, c.request);
    if (!u) return Error();
    std::vector<std::uint8_t> out;
    if (s.IsTft()) {
        for (auto z : u->zones) le::Append16(out, z);
        return Ok(std::move(out));
    }
    // Count and three zones; a negative count -1 - n says the user follows
    // its group, whose n zones follow.
    std::array<std::uint16_t, 3> zones{u->zones[0], u->zones[1], u->zones[2]};
    std::int32_t n;
    if (u->ownZones) {
        n = LeadingZones(zones);
    } else {
        auto g = s.groups.find(u->group);
        zones = g == s.groups.end() ? std::array<std::uint16_t, 3>{} : g->second.zones;
        n = -1 - LeadingZones(zones);
    }
    le::Append32(out, static_cast<std::uint32_t>(n));
    for (auto z : zones) le::Append32(out, z);
    return Ok(std::move(out));
}

Response SetUserTz(Model::State& s, const Call& c) {
    User* u = Target(s, c.request);
    if (!u) return Error();
    if (c.request.size() == 4) {  // no list: the user follows its group
        u->zones = {};
        u->ownZones = false;
        return Ok();
    }
    if (c.request.size() != 20) return Error();
    const std::int32_t count = le::I32(c.request, 4);
    std::array<std::int32_t, 3> z{le::I32(c.request, 8), le::I32(c.request, 12),
                                  le::I32(c.request, 16)};
    if (s.IsTft()) {
        for (auto v : z)
            if (v < 0 || v > 0xFFFF) return Error();
        u->zones = {static_cast<std::uint16_t>(z[0]), static_cast<std::uint16_t>(z[1]),
                    static_cast<std::uint16_t>(z[2]), static_cast<std::uint16_t>(count)};
        u->ownZones = true;
        return Ok();
    }
    if (count < 0 || count > 3) return Error();
    std::array<std::uint16_t, 4> zones{};
    for (int i = 0; i < count; ++i) {
        // Zones are stored in six bits each.
        if (z[static_cast<std::size_t>(i)] < 0 || z[static_cast<std::size_t>(i)] > 63)
            return Error();
        zones[static_cast<std::size_t>(i)] =
            static_cast<std::uint16_t>(z[static_cast<std::size_t>(i)]);
    }
    u->zones = zones;
    u->ownZones = count > 0;
    return Ok();
}

User* TargetU16(Model::State& s, le::Bytes r) {
    if (r.size() < 2) return nullptr;
    const std::uint16_t pin = le::U16(r, 0);
    return pin == 0 ? nullptr : s.FindUser(pin);
}

Response SetUserEx(Model::State& s, const Call& c) {
    User* u = TargetU16(s, c.request);
    if (!u || c.request.size() < 3) return Error();
    u->ex = c.request[2];
    return Ok();
}

Response GetUserEx(Model::State& s, const Call& c) {
    User* u = TargetU16(s, c.request);
    if (!u || !u->ex) return Error();
    le::Record r(24);
    r.Put16(0, u->pin);
    r.Put8(2, *u->ex);
    return Ok(r.bytes());
}

Response DeleteUserEx(Model::State& s, const Call& c) {
    User* u = TargetU16(s, c.request);
    if (!u || !u->ex) return NotFound(c.request);
    u->ex.reset();
    return Ok();
}

}  // namespace

void RegisterUserCommands(CommandTable& t) {
    t[CMD_SET_USER] = SetUser;
    t[CMD_DEL_USER] = DeleteUser;
    t[CMD_DEL_USER_ID] = DeleteUserById;
    t[CMD_CLEAR_ADMINS] = ClearAdmins;
    t[CMD_GET_USER_GROUP] = GetUserGroup;
    t[CMD_SET_USER_GROUP] = SetUserGroup;
    t[CMD_GET_USER_TZ] = GetUserTz;
    t[CMD_SET_USER_TZ] = SetUserTz;
    t[CMD_SET_USER_EX] = SetUserEx;
    t[CMD_GET_USER_EX] = GetUserEx;
    t[CMD_DEL_USER_EX] = DeleteUserEx;
}

}  // namespace termsim
