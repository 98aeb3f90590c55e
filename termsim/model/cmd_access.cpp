// Access control: time zones, group time zones, holidays, unlock
// combinations, door state and unlock.
#include <algorithm>
#include <cctype>

#include "internal.h"

namespace termsim {
namespace {

constexpr int kZones = 50;   // time zones 1..50
constexpr int kGroups = 99;  // groups 1..99
constexpr int kCombos = 10;  // combinations 0..10
constexpr std::uint32_t kHolidayTable = 103;

std::vector<std::uint8_t> GroupReplyOldForm(const Model::State& s, const Group& g) {
    std::vector<std::uint8_t> out;
    if (s.IsTft()) {
        for (auto z : g.zones) le::Append16(out, z);
        le::Append16(out, static_cast<std::uint32_t>(g.count));
        return out;
    }
    int n = 0;
    while (n < 3 && g.zones[static_cast<std::size_t>(n)] != 0) ++n;
    le::Append32(out, static_cast<std::uint32_t>(n));
    for (auto z : g.zones) le::Append32(out, z);
    return out;
}

Response GetGroupTz(Model::State& s, const Call& c) {
    const auto& r = c.request;
    const bool record = r.size() == 8;
    if (!record && r.size() != 4) return Error();
    const int number =
        record ? r[0] : static_cast<int>(std::min<std::uint32_t>(le::U32(r, 0), 1000));
    auto it = s.groups.find(number);
    if (number < 1 || number > kGroups || it == s.groups.end()) return Error();
    const Group& g = it->second;
    if (!record) return Ok(GroupReplyOldForm(s, g));
    le::Record out(8);
    out.Put8(0, static_cast<std::uint32_t>(number));
    for (std::size_t i = 0; i < 3; ++i) out.Put16(1 + 2 * i, g.zones[i]);
    out.Put8(7, (g.flag ? 0x80u : 0u) | (g.value & 0x7Fu));
    return Ok(out.bytes());
}

Response SetGroupTz(Model::State& s, const Call& c) {
    const auto& r = c.request;
    if (r.size() == 8) {
        const int number = r[0];
        if (number < 1 || number > kGroups) return Error();
        Group g;
        for (std::size_t i = 0; i < 3; ++i) g.zones[i] = le::U16(r, 1 + 2 * i);
        g.count = (g.zones[0] != 0) + (g.zones[1] != 0) + (g.zones[2] != 0);
        g.flag = (r[7] & 0x80) != 0;
        g.value = r[7] & 0x7F;
        s.groups[number] = g;
        return Ok();
    }
    if (r.size() != 4 && r.size() != 20) return Error();
    const std::uint32_t number = le::U32(r, 0);
    if (number < 1 || number > kGroups) return Error();
    Group& g = s.groups[static_cast<int>(number)];
    if (r.size() == 4) {  // no list: the group has no zones
        g.zones = {};
        g.count = 0;
        return Ok();
    }
    g.count = le::I32(r, 4);
    for (std::size_t i = 0; i < 3; ++i) {
        const std::int32_t z = le::I32(r, 8 + 4 * i);
        // Without a count naming it, a zone slot is empty.
        g.zones[i] = !s.IsTft() && static_cast<std::int32_t>(i) >= g.count
                         ? 0
                         : static_cast<std::uint16_t>(z);
    }
    return Ok();
}

Response GetTz(Model::State& s, const Call& c) {
    if (c.request.size() < 4) return Error();
    const std::uint32_t number = le::U32(c.request, 0);
    if (number < 1 || number > kZones) return Error();
    std::vector<std::uint8_t> out;
    if (s.IsTft()) le::Append16(out, number);
    auto it = s.timeZones.find(static_cast<int>(number));
    const TimeZone z = it == s.timeZones.end() ? TimeZone{} : it->second;
    for (const auto& d : z) out.insert(out.end(), d.begin(), d.end());
    return Ok(std::move(out));
}

Response SetTz(Model::State& s, const Call& c) {
    if (c.request.size() != 32) return Error();
    const std::uint32_t number = le::U32(c.request, 0);
    if (number < 1 || number > kZones) return Error();
    TimeZone z{};
    for (std::size_t d = 0; d < 7; ++d) {
        for (std::size_t k = 0; k < 4; ++k) z[d][k] = c.request[4 + 4 * d + k];
        if (z[d][0] > 23 || z[d][1] > 59 || z[d][2] > 23 || z[d][3] > 59) return Error();
    }
    s.timeZones[static_cast<int>(number)] = z;
    return Ok();
}

bool ValidDate(std::uint32_t month, std::uint32_t day) {
    return month <= 12 && day <= 31;
}

Response GetHolidays(Model::State& s, const Call& c) {
    if (c.request.size() < 4 || le::U32(c.request, 0) != kHolidayTable) return Error();
    std::vector<std::uint8_t> out;
    for (const auto& h : s.holidays)
        out.insert(out.end(), {h.startMonth, h.startDay, h.endMonth, h.endDay});
    return Ok(std::move(out));
}

Response SetHolidays(Model::State& s, const Call& c) {
    const auto& r = c.request;
    if (r.size() != 100 || le::U32(r, 0) != kHolidayTable) return Error();
    for (std::size_t i = 0; i < 24; ++i)
        if (!ValidDate(r[4 + 4 * i], r[5 + 4 * i]) || !ValidDate(r[6 + 4 * i], r[7 + 4 * i]))
            return Error();
    for (std::size_t i = 0; i < 24; ++i) {
        Holiday& h = s.holidays[i];
        h.startMonth = r[4 + 4 * i];
        h.startDay = r[5 + 4 * i];
        h.endMonth = r[6 + 4 * i];
        h.endDay = r[7 + 4 * i];
        // An emptied entry drops its time zone too.
        if (!h.startMonth && !h.startDay && !h.endMonth && !h.endDay) h.zone = 0;
    }
    return Ok();
}

bool HolidaySet(const Holiday& h) {
    return h.startMonth || h.startDay || h.endMonth || h.endDay;
}

Response GetHolidayTz(Model::State& s, const Call& c) {
    if (c.request.size() < 2) return Error();
    const std::uint16_t number = le::U16(c.request, 0);
    if (number < 1 || number > 24) return Error();
    const Holiday& h = s.holidays[number - 1u];
    if (!HolidaySet(h)) return Error();
    le::Record out(8);
    out.Put16(0, number);
    out.Put8(2, h.startMonth);
    out.Put8(3, h.startDay);
    out.Put8(4, h.endMonth);
    out.Put8(5, h.endDay);
    out.Put16(6, h.zone);
    return Ok(out.bytes());
}

Response SetHolidayTz(Model::State& s, const Call& c) {
    const auto& r = c.request;
    if (r.size() != 8) return Error();
    const std::uint16_t number = le::U16(r, 0);
    if (number < 1 || number > 24 || !ValidDate(r[2], r[3]) || !ValidDate(r[4], r[5]))
        return Error();
    s.holidays[number - 1u] = Holiday{r[2], r[3], r[4], r[5], le::U16(r, 6)};
    return Ok();
}

// Text form of the unlock combinations: combinations 1..10 in order,
// separated by ':', each a list of up to five group numbers separated by
// ','; trailing empty combinations are left out ("1,2:3" = combination 1
// needs groups 1 and 2 together, combination 2 group 3).
std::string CombosText(const Model::State& s) {
    std::vector<std::string> entries;
    for (int i = 1; i <= kCombos; ++i) {
        std::string e;
        for (auto g : s.combos[static_cast<std::size_t>(i)])
            if (g) e += (e.empty() ? "" : ",") + std::to_string(g);
        entries.push_back(e);
    }
    while (!entries.empty() && entries.back().empty()) entries.pop_back();
    std::string out;
    for (std::size_t i = 0; i < entries.size(); ++i) out += (i ? ":" : "") + entries[i];
    return out;
}

bool ParseCombosText(const std::string& text, std::array<std::array<std::uint8_t, 5>, 11>& combos) {
    std::size_t combo = 1, group = 0;
    int value = -1;
    auto flush = [&]() {
        if (value < 0) return true;
        if (value > 99 || group >= 5) return false;
        combos[combo][group++] = static_cast<std::uint8_t>(value);
        value = -1;
        return true;
    };
    for (std::size_t i = 0; i <= combos.size() - 1; ++i) combos[i] = {};
    for (char ch : text) {
        if (std::isdigit(static_cast<unsigned char>(ch))) {
            value = (value < 0 ? 0 : value) * 10 + (ch - '0');
            if (value > 99) return false;
        } else if (ch == ',') {
            if (value < 0 || !flush()) return false;
        } else if (ch == ':') {
            if (!flush() || ++combo > static_cast<std::size_t>(kCombos)) return false;
            group = 0;
        } else if (ch != ' ') {
            return false;
        }
    }
    return flush();
}

Response GetUnlockComb(Model::State& s, const Call& c) {
    if (c.request.empty()) {
        std::string text = CombosText(s);
        std::vector<std::uint8_t> out(text.begin(), text.end());
        out.push_back(0);
        return Ok(std::move(out));
    }
    const int number = c.request[0];
    if (number > kCombos) return Error();
    const auto& groups = s.combos[static_cast<std::size_t>(number)];
    if (groups == std::array<std::uint8_t, 5>{}) return Error();
    le::Record out(8);
    out.Put8(0, static_cast<std::uint32_t>(number));
    int count = 0;
    for (std::size_t i = 0; i < 5; ++i) {
        out.Put8(1 + i, groups[i]);
        count += groups[i] > 0;
    }
    out.Put8(6, static_cast<std::uint32_t>(count));
    return Ok(out.bytes());
}

Response SetUnlockComb(Model::State& s, const Call& c) {
    const auto& r = c.request;
    // The record form is 8 bytes ending in a zero byte; a text never holds a
    // NUL inside its length.
    if (r.size() == 8 && r[7] == 0) {
        if (r[0] > kCombos) return Error();
        std::array<std::uint8_t, 5> groups{};
        for (std::size_t i = 0; i < 5; ++i) {
            if (r[1 + i] > 99) return Error();
            groups[i] = r[1 + i];
        }
        s.combos[r[0]] = groups;
        return Ok();
    }
    std::array<std::array<std::uint8_t, 5>, 11> combos{};
    if (!ParseCombosText(le::Text(r, 0, r.size()), combos)) return Error();
    combos[0] = s.combos[0];  // the text form does not carry combination 0
    s.combos = combos;
    return Ok();
}

Response GetDoorState(Model::State& s, const Call&) {
    return Ok({s.door});
}

// Door event data: byte 0 the door state, bytes 1-4 the unlock delay.
Response Unlock(Model::State& s, const Call& c) {
    if (c.request.size() < 4) return Error();
    s.lastUnlockDelay = le::U32(c.request, 0);
    s.door = 1;
    le::Record data(static_cast<std::size_t>(s.RtRecordSize() - 2));
    data.Put8(0, s.door);
    data.Put32(1, s.lastUnlockDelay);
    s.QueueEvent(RtEvent{kEventDoor, data.bytes()});
    return Ok();
}

}  // namespace

void RegisterAccessCommands(CommandTable& t) {
    t[CMD_GET_GROUP_TZ] = GetGroupTz;
    t[CMD_SET_GROUP_TZ] = SetGroupTz;
    t[CMD_GET_TZ] = GetTz;
    t[CMD_SET_TZ] = SetTz;
    t[CMD_GET_HOLIDAYS] = GetHolidays;
    t[CMD_SET_HOLIDAYS] = SetHolidays;
    t[CMD_GET_HOLIDAY_TZ] = GetHolidayTz;
    t[CMD_SET_HOLIDAY_TZ] = SetHolidayTz;
    t[CMD_GET_UNLOCK_COMB] = GetUnlockComb;
    t[CMD_SET_UNLOCK_COMB] = SetUnlockComb;
    t[CMD_GET_DOOR_STATE] = GetDoorState;
    t[CMD_UNLOCK] = Unlock;
}

}  // namespace termsim
